#include "db/statement_list.h"

#include "db/bak.h"
#include "db/bdp.h"
#include "db/bdp_tally.h"
#include "db/bsm.h"
#include "db/err.h"
#include "db/pud.h"
#include "db/tag.h"

std::vector<db::NamedStatement> ProgramStatements() {
  std::vector<db::NamedStatement> statements;
  Bak_Statements(statements);
  BdpDay_Statements(statements);
  BdpRange_Statements(statements);
  BdpTally_Statements(statements);
  Bsm_Statements(statements);
  Err_Statements(statements);
  Pud_Statements(statements);
  Tag_Statements(statements);
  return statements;
}
