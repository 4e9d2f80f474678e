#include "plan/deviation.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "common/text_field.h"

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

void Err_Init(const char* planGroup, ErrRecord& record, const char* erfText,
              const char* jbdText, const char* jbkText, int32_t jobType) {
  record = ErrRecord{};
  CopyField(record.ErrPlg, planGroup);
  CopyField(record.ErrErf, erfText);
  CopyField(record.ErrJbd, jbdText);
  CopyField(record.ErrJbk, jbkText);
  CopyField(record.ErrKng, JobCode(jobType));
}

// The counts are 32-bit; the difference is taken in 64 bits and saturated, so a corrupt row
// gives an extreme value instead of undefined overflow.
int32_t NetStaffing(const BsmRecord& record) {
  int64_t net = int64_t{record.BsmIst} - record.BsmHtg - std::min(record.BsmHtv, record.BsmHtn);
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(net, kLow, kHigh));
}

int32_t DeviationCode(const BsmRecord& slot) {
  const int32_t net = NetStaffing(slot);
  if (net == 0 && slot.BsmSol > 0) return 1601;
  if (net < slot.BsmSol) return net < slot.BsmMin ? 1602 : 1603;
  if (net > slot.BsmSol) return net > slot.BsmMax ? 1605 : 1604;
  return 0;
}

int Bsm_CheckErr(const BsmRecord& slot, ErrRecord& record, ErrRecord& row) {
  int32_t code = DeviationCode(slot);
  if (code == 0) return 0;
  Err_Record(slot, code, record, row);
  return 1;
}

void Err_Record(const BsmRecord& slot, int32_t code, ErrRecord& record, ErrRecord& row) {
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
  row = record;
  ClearDeviationFields(record);
  if (record.ErrLfn >= kLastRunningNumber) record.ErrLfn = 0;
}
