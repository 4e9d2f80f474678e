#include "db/bdp_tally.h"

#include "common/text_field.h"
#include "db/transfer_buffer.h"
#include "db/runtime/runtime.h"

static const char* Bdp_SlotTally_UM_Sql =
    "select count(*)  into :b0  from Rvk730bdp where (((((BdpBdt=TO_DATE(:b1,'yyyymmdd') and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpAsw=:b5) and (BdpSts='U' or BdpSts='M'))";

static const char* Bdp_SlotTally_Exact_Sql =
    "select count(*)  into :b0  from Rvk730bdp where (((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpZtv=:b4) and BdpZtb=:b5) "
    "and BdpAsw=:b8) and BdpSts<>'O') and BdpSts<>'D')";

static const char* Bdp_SlotTally_Partial_Sql =
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and (BdpZtv<>:b4 "
    "or BdpZtb<>:b5)) and BdpSts<>'O') and BdpSts<>'D')";

static const char* Bdp_SlotTally_Fc1_Sql =
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and "
    "BdpFc1<>'   ') and BdpSts<>'O') and BdpSts<>'D')";

static const char* Bdp_SlotTally_Fc2_Sql =
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and "
    "BdpFc2<>'   ') and BdpSts<>'O') and BdpSts<>'D')";

static const char* Bdp_SlotTally_Fc3_Sql =
    "select count(*)  into :b0  from Rvk730bdp where ((((((((BdpBdt=TO_DATE(:b1,'yyyymmdd') and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpSzb=:b5) and BdpAsw=:b6) and "
    "BdpFc3<>'   ') and BdpSts<>'O') and BdpSts<>'D')";

namespace {

// The statements' transfer buffers, as wide as announced to the database; a count each.
struct TallyBuffers {
  char BdpBdt[11];
  char BdpEso[6];
  char BdpEsa[6];
  int32_t BdpAsw;
  int32_t BdpSzv;
  int32_t BdpSzb;
  int32_t cntUM;
  int32_t cntExact;
  int32_t cntPartial;
  int32_t cntFc1;
  int32_t cntFc2;
  int32_t cntFc3;
};

TallyBuffers buffers;

}  // namespace

// The six counts do not depend on each other and go out together, with other queries when
// the caller has some. Each count is taken as it arrives, so that a failing count leaves its
// field and every later one at their entry values; each writes `status`, the last one to
// arrive or the one that stopped them.
void Bdp_SlotTally(db::SqlSeries& series, BdpTally& tally, int& status) {
  CopyBounded(buffers.BdpBdt, tally.BdpBdt);
  CopyBounded(buffers.BdpEso, tally.BdpEso);
  CopyBounded(buffers.BdpEsa, tally.BdpEsa);
  buffers.BdpAsw = tally.BdpAsw;
  buffers.BdpSzv = tally.BdpSzv;
  buffers.BdpSzb = tally.BdpSzb;
  const db::HostVar day = db::TextIn(buffers.BdpBdt);
  const db::HostVar eso = db::TextIn(buffers.BdpEso);
  const db::HostVar esa = db::TextIn(buffers.BdpEsa);
  const db::HostVar szv = db::IntIn(buffers.BdpSzv);
  const db::HostVar szb = db::IntIn(buffers.BdpSzb);
  const db::HostVar asw = db::IntIn(buffers.BdpAsw);

  series.Add(Bdp_SlotTally_UM_Sql, {day, eso, esa, szv, asw}, {db::IntOut(buffers.cntUM)}, status,
             [&tally] { tally.cntUM = buffers.cntUM; });
  // The working time compared with the slot's span: start and end bound twice.
  series.Add(Bdp_SlotTally_Exact_Sql, {day, eso, esa, szv, szb, szv, szb, asw},
             {db::IntOut(buffers.cntExact)}, status,
             [&tally] { tally.cntExact = buffers.cntExact; });
  series.Add(Bdp_SlotTally_Partial_Sql, {day, eso, esa, szv, szb, asw, szv, szb},
             {db::IntOut(buffers.cntPartial)}, status, [&tally] {
               tally.cntPartial = buffers.cntPartial;
               tally.cntTotal = tally.cntExact + tally.cntPartial;
             });
  series.Add(Bdp_SlotTally_Fc1_Sql, {day, eso, esa, szv, szb, asw}, {db::IntOut(buffers.cntFc1)},
             status, [&tally] { tally.cntFc1 = buffers.cntFc1; });
  series.Add(Bdp_SlotTally_Fc2_Sql, {day, eso, esa, szv, szb, asw}, {db::IntOut(buffers.cntFc2)},
             status, [&tally] { tally.cntFc2 = buffers.cntFc2; });
  series.Add(Bdp_SlotTally_Fc3_Sql, {day, eso, esa, szv, szb, asw}, {db::IntOut(buffers.cntFc3)},
             status, [&tally] { tally.cntFc3 = buffers.cntFc3; });
}

void BdpTally_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Bdp_SlotTally_UM", Bdp_SlotTally_UM_Sql},
      {"Bdp_SlotTally_Exact", Bdp_SlotTally_Exact_Sql},
      {"Bdp_SlotTally_Partial", Bdp_SlotTally_Partial_Sql},
      {"Bdp_SlotTally_Fc1", Bdp_SlotTally_Fc1_Sql},
      {"Bdp_SlotTally_Fc2", Bdp_SlotTally_Fc2_Sql},
      {"Bdp_SlotTally_Fc3", Bdp_SlotTally_Fc3_Sql},
  });
}
