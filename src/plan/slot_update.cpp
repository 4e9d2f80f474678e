#include "plan/slot_update.h"

#include "common/text_field.h"
#include "db/bsm.h"
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

  int status = Bsm_PKeyRead(slot);
  if (status != 0) {
    LogError("Bsm_PKeyRead()", "Fehler: Read BsmSatz", status);
    return;
  }
  Bsm_Recount(slot);
  Bsm_CheckErr(slot, RunErrRecord());
}
