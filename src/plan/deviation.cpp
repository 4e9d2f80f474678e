#include "plan/deviation.h"

#include "common/text_field.h"
#include "log/message_log.h"
#include "plan/recount.h"

namespace {

ErrRecord runErrRecord{};

constexpr int32_t kLastRunningNumber = 9999;

const char* JobCode(int32_t jobType) {
  switch (jobType) {
    case 1: return "PLANG";
    case 2: return "PLANO";
    case 3: return "PLANK";
    case 4: return "PLANU";
    default: return "";
  }
}

// Between two deviation rows only the run-wide fields and the running number hold values.
void ClearDeviationFields(ErrRecord& record) {
  CopyField(record.ErrPnr, "");
  CopyField(record.ErrEso, "");
  CopyField(record.ErrEsa, "");
  CopyField(record.ErrKnz, "");
  CopyField(record.ErrBdt, "");
  record.ErrZtv = 0;
  record.ErrZtb = 0;
  record.ErrFnr = 0;
}

}  // namespace

ErrRecord& RunErrRecord() { return runErrRecord; }

void Err_Init(const char* planGroup, ErrRecord& record, const RunParameters& parameters,
              int32_t jobType) {
  record = ErrRecord{};
  CopyField(record.ErrPlg, planGroup);
  CopyField(record.ErrErf, parameters.erfText);
  CopyField(record.ErrJbd, parameters.jbdText);
  CopyField(record.ErrJbk, parameters.jbkText);
  CopyField(record.ErrKng, JobCode(jobType));
}

int Bsm_CheckErr(const BsmRecord& slot, ErrRecord& record) {
  const int32_t net = NetStaffing(slot);
  if (net == 0 && slot.BsmSol > 0) {
    Err_Record(slot, 1601, record);
    return 1;
  }
  if (net < slot.BsmSol) {
    Err_Record(slot, net < slot.BsmMin ? 1602 : 1603, record);
    return 1;
  }
  if (net > slot.BsmSol) {
    Err_Record(slot, net > slot.BsmMax ? 1605 : 1604, record);
    return 1;
  }
  return 0;
}

void Err_Record(const BsmRecord& slot, int32_t code, ErrRecord& record) {
  CopyField(record.ErrPnr, "");
  CopyField(record.ErrEso, slot.BsmEso);
  CopyField(record.ErrEsa, slot.BsmEsa);
  CopyField(record.ErrKnz, slot.BsmBsz);
  CopyField(record.ErrBdt, slot.BsmBdt);
  record.ErrZtv = slot.BsmSzv;
  record.ErrZtb = slot.BsmSzb;
  // A number outside 0..9998 (never left by this module) starts the count again.
  record.ErrLfn = record.ErrLfn >= 0 && record.ErrLfn < kLastRunningNumber ? record.ErrLfn + 1 : 1;
  record.ErrFnr = code;

  int status = Err_Insert(record);
  if (status != 0) LogError("Err_Insert()", "Fehler Insert", status);

  ClearDeviationFields(record);
  if (record.ErrLfn >= kLastRunningNumber) record.ErrLfn = 0;
}
