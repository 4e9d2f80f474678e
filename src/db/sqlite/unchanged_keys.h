#pragma once
// An update that sets a column to the very value its where clause requires of that column
// ("set K=?, V=? where K=?") leaves the column as it was. SQLite does not see that: it
// rewrites every index that holds a column of the set list, so the program's updates, which
// set the whole row key included, touched every index of their table. Without those
// assignments only the indexes of the columns that really change are written: for a duty row
// two B-trees of four, for a staffing row one of two, each a page less to log and sync.
//
// The text cannot tell whether both inputs carry the same value; the run compares them and
// takes the full statement when they differ. A trigger "UPDATE OF K" would no longer fire
// for the shorter text, so a table with triggers keeps the full statement too.
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

// Finds the assignments of `body` (an update in the Oracle dialect with '?' inputs) that
// repeat an equality of its where clause: the same column and the same expression, inputs
// aside. Only a where clause of equalities joined by AND qualifies. False when there is none,
// or when nothing would be left to set.
bool FindUnchangedKeys(const std::string& body, UnchangedKeys& found);

}  // namespace db::sqlite
