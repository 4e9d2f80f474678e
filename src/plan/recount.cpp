#include "plan/recount.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "common/text_field.h"
#include "db/status_kind.h"
#include "plan/failure_report.h"

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

// Counts and limits are 32-bit; differences and products are taken in 64 bits and saturated,
// so a corrupt row gives an extreme value instead of undefined overflow.
int32_t Saturate(int64_t value) {
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(value, kLow, kHigh));
}

// The shortfall below `reference` as a percentage of reference + 1, truncated toward zero; a
// divisor of 0 (reference -1, a corrupt row) is taken as 1, other negative ones as they are.
int64_t ShortfallPercent(int32_t net, int32_t reference) {
  int64_t divisor = int64_t{reference} + 1;
  if (divisor == 0) divisor = 1;
  return (int64_t{net} - reference) * 100 / divisor;
}

BsmRecord SlotOf(const BdpRecord& row) {
  BsmRecord slot{};
  CopyField(slot.BsmBdt, row.BdpBdt);
  CopyField(slot.BsmEso, row.BdpEso);
  CopyField(slot.BsmEsa, row.BdpEsa);
  slot.BsmSzv = row.BdpSzv;
  slot.BsmAsw = row.BdpAsw;
  return slot;
}

// The tally of `slot`'s rows that end at `end`, its counts still 0.
BdpTally SlotTallyFor(const BsmRecord& slot, int32_t end) {
  BdpTally tally{};
  CopyField(tally.BdpBdt, slot.BsmBdt);
  CopyField(tally.BdpEso, slot.BsmEso);
  CopyField(tally.BdpEsa, slot.BsmEsa);
  tally.BdpAsw = slot.BsmAsw;
  tally.BdpSzv = slot.BsmSzv;
  tally.BdpSzb = end;
  return tally;
}

// One deviation row into `row`; `record` keeps only the run-wide fields and the running number,
// readied for the next row.
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
  // Between two rows only the run-wide fields and the running number hold values.
  CopyField(record.ErrPnr, "");
  CopyField(record.ErrEso, "");
  CopyField(record.ErrEsa, "");
  CopyField(record.ErrKnz, "");
  CopyField(record.ErrBdt, "");
  record.ErrZtv = 0;
  record.ErrZtb = 0;
  record.ErrFnr = 0;
  if (record.ErrLfn >= kLastRunningNumber) record.ErrLfn = 0;
}

// Takes the counts for the slot's end unless `counted` holds them; returns their status. A
// failed tally leaves the counts it did not reach at 0, used as such.
int Bsm_Count(BsmRecord& record, const BdpTally* counted) {
  bool takenForThisEnd = counted != nullptr && counted->BdpSzb == record.BsmSzb;
  BdpTally tally = takenForThisEnd ? *counted : SlotTallyFor(record, record.BsmSzb);
  int status = takenForThisEnd ? 0 : Bdp_CountSlot(tally);

  record.BsmIst = tally.cntTotal;
  record.BsmHtg = tally.cntFc1;
  record.BsmHtv = tally.cntFc2;
  record.BsmHtn = tally.cntFc3;
  record.BsmKor = tally.cntUM;
  // Slots of kinds 3 and 4 keep the level they were given.
  if (record.BsmAsw != 3 && record.BsmAsw != 4) Bsm_CalcFkt(record);
  return status;
}

}  // namespace

void Bsm_CalcFkt(BsmRecord& record) {
  const int32_t net = NetStaffing(record);
  const int32_t target = record.BsmSol;
  if (net == target) {
    record.BsmFkt = 0;
  } else if (net < target) {
    record.BsmFkt = net >= record.BsmMin
                        ? Saturate(ShortfallPercent(net, target))
                        : Saturate(ShortfallPercent(net, record.BsmMin) - 100);
  } else {
    // Above the target the level does not grow with the excess.
    record.BsmFkt = net <= record.BsmMax ? 90 : 190;
  }
}

// The slot is saved with its deviation row, which the check readies from the recounted values.
int Bsm_Recount(BsmRecord& record, const BdpTally* counted) {
  const int tallied = Bsm_Count(record, counted);
  if (db::status::IsFault(tallied)) {  // the request is over: nothing rests on these counts
    ReportFailure("Bdp_SlotTally", "Fehler: Zaehlung BdpSatz", tallied);
    return 0;
  }
  ErrRecord deviation{};
  const bool deviates = Bsm_CheckErr(record, RunErrRecord(), deviation) == 1;
  const SlotSave written = Bsm_SaveSlot(record, deviates ? &deviation : nullptr);
  if (written.saved != 0) ReportFailure("Bsm_PKeyUpd", "Fehler: Update BsmSatz", written.saved);
  if (written.recorded != 0) ReportFailure("Err_Insert()", "Fehler Insert", written.recorded);
  return written.saved == 0 ? 1 : 0;
}

void ChangeRowAndUpdateSlot(const BdpRecord& row, bool counts, const RowChangeReport& change) {
  BsmRecord slot = SlotOf(row);
  // The slot's end comes with its read. The row's own end is the likely one, so the counts
  // for it go out with the read; they are taken again only when the slot ends elsewhere.
  BdpTally likely = SlotTallyFor(slot, row.BdpSzb);
  const RowChange done = Bdp_ChangeRowAndReadSlot(change.kind, row, counts, slot, likely);
  if (done.changed != 0) ReportFailure(change.function, change.message, done.changed);
  // A fault holds back what follows it, which then reads nothing: only its own statement is
  // told, and the request is over.
  if (!counts || db::status::IsFault(done.changed)) return;
  if (done.read != 0) {
    ReportFailure("Bsm_PKeyRead()", "Fehler: Read BsmSatz", done.read);
    return;
  }
  if (db::status::IsFault(done.tallied)) {
    ReportFailure("Bdp_SlotTally", "Fehler: Zaehlung BdpSatz", done.tallied);
    return;
  }
  Bsm_Recount(slot, &likely);
}

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

int32_t NetStaffing(const BsmRecord& record) {
  return Saturate(int64_t{record.BsmIst} - record.BsmHtg - std::min(record.BsmHtv, record.BsmHtn));
}

int32_t DeviationCode(const BsmRecord& slot) {
  const int32_t net = NetStaffing(slot);
  if (net == 0 && slot.BsmSol > 0) return 1601;
  if (net < slot.BsmSol) return net < slot.BsmMin ? 1602 : 1603;
  if (net > slot.BsmSol) return net > slot.BsmMax ? 1605 : 1604;
  return 0;
}

int Bsm_CheckErr(const BsmRecord& slot, ErrRecord& record, ErrRecord& row) {
  const int32_t code = DeviationCode(slot);
  if (code == 0) return 0;
  Err_Record(slot, code, record, row);
  return 1;
}

