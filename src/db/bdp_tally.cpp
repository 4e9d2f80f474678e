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

// The statements' transfer buffers, as wide as announced to the database.
struct TallyBuffers {
  char BdpBdt[11];
  char BdpEso[6];
  char BdpEsa[6];
  int32_t BdpAsw;
  int32_t BdpSzv;
  int32_t BdpSzb;
  int32_t count;
};

TallyBuffers buffers;

// Rows of the slot whose code column (named by the text) is set.
int CountCoded(const char* text, int32_t& result) {
  int rc = db::SqlExecute(text, {
      db::TextIn(buffers.BdpBdt), db::TextIn(buffers.BdpEso),
      db::TextIn(buffers.BdpEsa), db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpSzb),
      db::IntIn(buffers.BdpAsw),
  }, {db::IntOut(buffers.count)});
  if (rc == 0) result = buffers.count;
  return rc;
}

int CountUM(int32_t& result) {
  int rc = db::SqlExecute(Bdp_SlotTally_UM_Sql, {
      db::TextIn(buffers.BdpBdt), db::TextIn(buffers.BdpEso),
      db::TextIn(buffers.BdpEsa), db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpAsw),
  }, {db::IntOut(buffers.count)});
  if (rc == 0) result = buffers.count;
  return rc;
}

// The working time compared with the slot's span: start and end bound twice.
int CountExact(int32_t& result) {
  int rc = db::SqlExecute(Bdp_SlotTally_Exact_Sql, {
      db::TextIn(buffers.BdpBdt), db::TextIn(buffers.BdpEso),
      db::TextIn(buffers.BdpEsa), db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpSzb),
      db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpSzb), db::IntIn(buffers.BdpAsw),
  }, {db::IntOut(buffers.count)});
  if (rc == 0) result = buffers.count;
  return rc;
}

int CountPartial(int32_t& result) {
  int rc = db::SqlExecute(Bdp_SlotTally_Partial_Sql, {
      db::TextIn(buffers.BdpBdt), db::TextIn(buffers.BdpEso),
      db::TextIn(buffers.BdpEsa), db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpSzb),
      db::IntIn(buffers.BdpAsw), db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpSzb),
  }, {db::IntOut(buffers.count)});
  if (rc == 0) result = buffers.count;
  return rc;
}

}  // namespace

// Stops at the first failing count; its field and every later one keep their entry values.
int Bdp_SlotTally(BdpTally& tally) {
  CopyBounded(buffers.BdpBdt, tally.BdpBdt);
  CopyBounded(buffers.BdpEso, tally.BdpEso);
  CopyBounded(buffers.BdpEsa, tally.BdpEsa);
  buffers.BdpAsw = tally.BdpAsw;
  buffers.BdpSzv = tally.BdpSzv;
  buffers.BdpSzb = tally.BdpSzb;

  int rc = CountUM(tally.cntUM);
  if (rc != 0) return rc;
  rc = CountExact(tally.cntExact);
  if (rc != 0) return rc;
  rc = CountPartial(tally.cntPartial);
  if (rc != 0) return rc;
  tally.cntTotal = tally.cntExact + tally.cntPartial;
  rc = CountCoded(Bdp_SlotTally_Fc1_Sql, tally.cntFc1);
  if (rc != 0) return rc;
  rc = CountCoded(Bdp_SlotTally_Fc2_Sql, tally.cntFc2);
  if (rc != 0) return rc;
  return CountCoded(Bdp_SlotTally_Fc3_Sql, tally.cntFc3);
}
