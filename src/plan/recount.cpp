#include "plan/recount.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "common/text_field.h"
#include "db/bdp_tally.h"
#include "db/runtime/runtime.h"
#include "db/runtime/status.h"
#include "db/runtime/status_kind.h"
#include "plan/deviation.h"
#include "plan/failure_report.h"

namespace {

// Counts and limits are 32-bit; the intermediate products are taken in 64 bits and the result
// saturated, so a corrupt row gives an extreme level instead of undefined overflow.
int32_t Saturate(int64_t value) {
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(value, kLow, kHigh));
}

// The shortfall below `reference` as a percentage of reference + 1, truncated toward zero.
// Only a reference of -1 (a corrupt row) makes the divisor 0; it is then taken as 1, so the
// level is simply the shortfall times 100. Every other negative divisor divides as it is.
int64_t ShortfallPercent(int32_t net, int32_t reference) {
  int64_t divisor = int64_t{reference} + 1;
  if (divisor == 0) divisor = 1;
  return (int64_t{net} - reference) * 100 / divisor;
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

namespace {

// Takes the counts for the slot's end unless `counted` holds them; returns the status of the
// counts taken here. A failed tally leaves the counts it did not reach at 0, and they are used
// as such.
int Bsm_Count(BsmRecord& record, const BdpTally* counted) {
  bool takenForThisEnd = counted != nullptr && counted->BdpSzb == record.BsmSzb;
  BdpTally tally = takenForThisEnd ? *counted : SlotTallyFor(record, record.BsmSzb);
  int status = db::status::kOk;
  if (!takenForThisEnd) {
    db::SqlSeries counts;
    Bdp_SlotTally(counts, tally, status);
    counts.Run();
  }

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

// The slot's update and its deviation row do not depend on each other: they go out together.
int Bsm_Recount(BsmRecord& record, const BdpTally* counted) {
  const int tallied = Bsm_Count(record, counted);
  if (db::status::IsFault(tallied)) {  // the request is over: nothing rests on these counts
    ReportFailure("Bdp_SlotTally", "Fehler: Zaehlung BdpSatz", tallied);
    return 0;
  }
  db::SqlSeries writes;
  int saved = db::status::kOk;
  int recorded = db::status::kOk;
  Bsm_PKeyUpd(writes, record, saved);
  Bsm_CheckErr(writes, record, RunErrRecord(), recorded);
  writes.Run();
  if (saved != 0) ReportFailure("Bsm_PKeyUpd", "Fehler: Update BsmSatz", saved);
  if (recorded != 0) ReportFailure("Err_Insert()", "Fehler Insert", recorded);
  return saved == 0 ? 1 : 0;
}
