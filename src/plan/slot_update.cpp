#include "plan/slot_update.h"

#include "common/text_field.h"
#include "db/bdp_tally.h"
#include "db/bsm.h"
#include "db/runtime/runtime.h"
#include "log/message_log.h"
#include "plan/deviation.h"
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

// The slot's update and its deviation row do not depend on each other: they go out together.
void SaveSlotAndDeviation(const BsmRecord& slot) {
  ErrRecord& deviation = RunErrRecord();
  const int32_t code = DeviationCode(slot);
  db::SqlSeries writes;
  int saved = 0;
  int recorded = 0;
  Bsm_PKeyUpd_Add(writes, slot, saved);
  if (code != 0) Err_Record_Add(writes, slot, code, deviation, recorded);
  writes.Run();
  if (saved != 0) LogError("Bsm_PKeyUpd", "Fehler: Update BsmSatz", saved);
  if (code != 0) Err_Recorded(deviation, recorded);
}

}  // namespace

void ChangeRowAndUpdateSlot(const BdpRecord& row, bool counts, const RowChange& change) {
  BsmRecord slot = SlotOf(row);
  // The slot's end comes with its read. The row's own end is the likely one, so the counts
  // for it go out with the read; they are taken again only when the slot ends elsewhere.
  BdpTally likely = SlotTallyFor(slot, row.BdpSzb);
  db::SqlSeries work;
  int changed = 0;
  change.add(work, row, changed);
  // After the change, in the same round trip: the counts see the plan as changed.
  if (counts) {
    Bsm_PKeyRead_Add(work, slot);
    Bdp_SlotTally_Add(work, likely);
  }
  int status = work.Run();
  if (changed != 0) LogError(change.function, change.message, changed);
  if (!counts || (db::SqlFault() != 0 && status == 0)) return;
  if (work.Succeeded() == 0) {
    LogError("Bsm_PKeyRead()", "Fehler: Read BsmSatz", status);
    return;
  }
  if (int fault = db::SqlFault()) {  // the tally met it: the request is over
    LogError("Bdp_SlotTally", "Fehler: Zaehlung BdpSatz", fault);
    return;
  }
  Bsm_Count(slot, &likely);
  SaveSlotAndDeviation(slot);
}
