#include "plan/slot_update.h"

#include "common/text_field.h"
#include "db/bdp_tally.h"
#include "db/bsm.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"
#include "plan/failure_report.h"
#include "plan/recount.h"

namespace {

BsmRecord SlotOf(const BdpRecord& row) {
  BsmRecord slot{};
  CopyField(slot.BsmBdt, row.BdpBdt);
  CopyField(slot.BsmEso, row.BdpEso);
  CopyField(slot.BsmEsa, row.BdpEsa);
  slot.BsmSzv = row.BdpSzv;
  slot.BsmAsw = row.BdpAsw;
  return slot;
}

}  // namespace

void ChangeRowAndUpdateSlot(const BdpRecord& row, bool counts, const RowChange& change) {
  BsmRecord slot = SlotOf(row);
  // The slot's end comes with its read. The row's own end is the likely one, so the counts
  // for it go out with the read; they are taken again only when the slot ends elsewhere.
  BdpTally likely = SlotTallyFor(slot, row.BdpSzb);
  db::SqlSeries work;
  int changed = db::status::kOk;
  int read = db::status::kOk;
  int tallied = db::status::kOk;
  change.add(work, row, changed);
  // After the change, in the same round trip: the counts see the plan as changed.
  if (counts) {
    Bsm_PKeyRead(work, slot, read);
    Bdp_SlotTally(work, likely, tallied);
  }
  work.Run();
  if (changed != 0) ReportFailure(change.function, change.message, changed);
  // A fault holds back what follows it, which then reads nothing: only its own statement is
  // told, and the request is over.
  if (!counts || db::status::IsFault(changed)) return;
  if (read != 0) {
    ReportFailure("Bsm_PKeyRead()", "Fehler: Read BsmSatz", read);
    return;
  }
  if (db::status::IsFault(tallied)) {
    ReportFailure("Bdp_SlotTally", "Fehler: Zaehlung BdpSatz", tallied);
    return;
  }
  Bsm_Recount(slot, &likely);
}
