#include "plan/slot_update.h"

#include "common/text_field.h"
#include "db/bdp_tally.h"
#include "db/bsm.h"
#include "db/runtime/runtime.h"
#include "log/message_log.h"
#include "plan/deviation.h"
#include "plan/recount.h"

void UpdateSlotOfRow(const BdpRecord& row) {
  BsmRecord slot{};
  CopyField(slot.BsmBdt, row.BdpBdt);
  CopyField(slot.BsmEso, row.BdpEso);
  CopyField(slot.BsmEsa, row.BdpEsa);
  slot.BsmSzv = row.BdpSzv;
  slot.BsmAsw = row.BdpAsw;

  // The slot's end comes with its read. The row's own end is the likely one, so the counts
  // for it go out with the read; they are taken again only when the slot ends elsewhere.
  BdpTally likely = SlotTallyFor(slot, row.BdpSzb);
  db::SqlSeries reads;
  Bsm_PKeyRead_Add(reads, slot);
  Bdp_SlotTally_Add(reads, likely);
  int status = reads.Run();
  if (reads.Succeeded() == 0) {
    LogError("Bsm_PKeyRead()", "Fehler: Read BsmSatz", status);
    return;
  }
  Bsm_Recount(slot, &likely);
  Bsm_CheckErr(slot, RunErrRecord());
}
