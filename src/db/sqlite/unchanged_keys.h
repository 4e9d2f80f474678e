#pragma once
// An update that sets a column to the value its where clause requires of it ("set K=?, V=?
// where K=?") leaves it as it was, yet SQLite rewrites every index of a set column. Without
// those assignments only the indexes of the columns that change are written: for a duty row
// two B-trees of four. The run takes the full statement when the inputs differ, and on a
// table with triggers, for which "UPDATE OF K" would no longer fire.
#include <string>
#include <utility>
#include <vector>

namespace db::sqlite {

struct UnchangedKeys {
  std::string table;                 // the updated table, as written
  std::vector<std::string> columns;  // the columns no longer set
  std::string body;                  // the update without the assignments that change nothing
  std::vector<int> kept;             // the inputs ('?' positions from 0) it binds, in order
  // Pairs of inputs (set list, where clause) whose values must be equal for `body` to hold.
  std::vector<std::pair<int, int>> equal;
};

// Finds the assignments of `body` (an update with '?' inputs) that repeat an equality of its
// where clause, a conjunction: the same column and expression, inputs aside. False when there is
// none, or when nothing would be left to set.
bool FindUnchangedKeys(const std::string& body, UnchangedKeys& found);

}  // namespace db::sqlite
