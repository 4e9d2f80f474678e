#include "every_operation.h"

#include "common/run_alone.h"
#include "db/bak.h"
#include "db/bdp.h"
#include "db/bdp_tally.h"
#include "db/bsm.h"
#include "db/err.h"
#include "db/pud.h"
#include "db/runtime/precompiler.h"
#include "db/runtime/runtime.h"
#include "db/tag.h"

namespace table_test {
namespace {

using testing_db::RunAlone;

// Statuses don't matter: a statement is prepared, and so cached, whether it finds a row or not.
void CallEveryOperation() {
  PudRecord request{};
  Pud_TSCur_Open("PLG01");
  Pud_TSCur_Read(request);
  Pud_TSCur_Close();
  RunAlone(Pud_PKeyUpd, request);
  Pud_KngDel("PLG01", 3);

  BdpRecord duty{};
  RunAlone(Bdp_PnrBszDmy_Open, "P0000001", "20240315");
  Bdp_PnrBszDmy_Read(duty);
  Bdp_PnrBszDmy_Close();
  RunAlone(Bdp_PKeyUpd, duty);
  Bdp_PnrVonBis_Open("P0000001", "20240301", "20240331");
  Bdp_PnrVonBis_Read(duty);
  Bdp_PnrVonBis_Close();
  RunAlone(Bdp_PKeyDel, duty);
  char lastDate[9];
  RunAlone(GetLastPlnDat, "P0000001", lastDate);

  BsmRecord slot{};
  RunAlone(Bsm_PKeyRead, slot);
  RunAlone(Bsm_PKeyUpd, slot);
  BdpTally tally{};
  RunAlone(Bdp_SlotTally, tally);

  CalendarDay day{};
  Bak_DayRead(day);
  char shifted[9];
  Bak_Calc(2, 1, "20240315", shifted);
  TagRecord codes{};
  RunAlone(Read_UrlKrk_Tgb, codes);
  ErrRecord deviation{};
  RunAlone(Err_Insert, deviation);
}

}  // namespace

std::vector<std::string> LookupsOfEveryOperation() {
  CallEveryOperation();
  std::vector<std::string> bodies;
  for (const std::string& text : db::SqlPreparedTexts()) {
    db::ParsedStatement parsed;
    if (db::Precompile(text.c_str(), parsed) != 0) continue;  // never cached
    bool query = parsed.kind == db::ParsedStatement::Kind::Query;
    bool modify = parsed.kind == db::ParsedStatement::Kind::Modify;
    if (query || (modify && parsed.body.rfind("insert", 0) != 0)) bodies.push_back(parsed.body);
  }
  return bodies;
}

}  // namespace table_test
