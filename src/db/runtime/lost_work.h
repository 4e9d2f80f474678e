#pragma once
// Lost work: pending work of a transaction that the database had to roll back as a whole
// after a failure. Every backend notes it the same way; the commit meant for that work
// reports it (-2091) once and rolls back what was done since, which is only the rest of a
// transaction that is gone; a rollback forgets it.
namespace db {

class LostWork {
 public:
  void Note() { lost_ = true; }
  // Whether work was lost since the last call; forgets it.
  bool Take() {
    bool lost = lost_;
    lost_ = false;
    return lost;
  }

 private:
  bool lost_ = false;
};

}  // namespace db
