#include "db/bdp.h"

#include "common/text_field.h"
#include "db/transfer_buffer.h"
#include "db/bdp_row.h"
#include "db/runtime/runtime.h"

static const char* Bdp_PnrVonBis_Open_Sql =
    "select BdpPnr ,TO_CHAR(BdpBdt,'yyyymmdd') ,BdpEso ,BdpEsa ,BdpBsz ,BdpSzv ,BdpSzb ,BdpJhr "
    ",BdpMon ,BdpWoc ,BdpJwc ,BdpTag ,BdpTtp ,BdpZtv ,BdpZtb ,BdpKst ,BdpFc1 ,BdpFc2 ,BdpFc3 "
    ",BdpOso ,BdpOsa ,BdpOsv ,BdpOsb ,BdpOsz ,BdpPlg ,BdpAsw ,BdpSts ,BdpFnr ,BdpSta ,BdpTxt "
    ",BdpErf ,BdpAzt ,BdpId1 ,BdpId2 ,BdpId3 ,BdpId4 ,BdpId5 ,BdpId6 ,BdpId7 ,BdpId8 ,BdpRnd "
    ",BdpBdt ,BdpAkt ,BdpBnr ,BdpAwp ,BdpPau ,BdpBzt ,BdpOsw  from Rvk730Bdp where ((BdpPnr=:b0 "
    "and BdpBdt>=TO_DATE(:b1,'yyyymmdd')) and BdpBdt<=TO_DATE(:b2,'yyyymmdd')) order by "
    "BdpPnr,BdpBdt";

static const char* Bdp_PKeyDel_Savepoint_Sql = "savepoint Bdp_PKeyDel_Sp";
static const char* Bdp_PKeyDel_Sql =
    "delete  from Rvk730Bdp  where ((((((BdpPnr=:b0 and BdpBdt=TO_DATE(:b1,'yyyymmdd')) and "
    "BdpEso=:b2) and BdpEsa=:b3) and BdpSzv=:b4) and BdpAkt=:b5) and BdpAsw=:b6)";
static const char* Bdp_PKeyDel_Rollback_Sql = "rollback  to Bdp_PKeyDel_Sp";

static const char* GetLastPlnDat_Sql =
    "select max(TO_CHAR(BdpBdt,'yyyymmdd')) into :b0  from Rvk730Bdp where BdpPnr=:b1 order by "
    "BdpPnr,BdpBdt";

namespace {

BdpRowBuffers buffers;
char fromDate[11];
char toDate[11];
char lastDate[11];
char plainDate[27];  // the second, unconverted date column: fetched and dropped
db::SqlCursor rangeCursor;

// The caller's date field holds at least 9 bytes: yyyymmdd and its terminator.
using DateField = char[9];

}  // namespace

int Bdp_PnrVonBis_Open(const char* person, const char* from, const char* to) {
  CopyField(buffers.BdpPnr, person);
  CopyField(fromDate, from);
  CopyField(toDate, to);
  return db::SqlOpen(rangeCursor, Bdp_PnrVonBis_Open_Sql, {
      db::TextIn(buffers.BdpPnr, 9), db::TextIn(fromDate, 11), db::TextIn(toDate, 11)});
}

// The select list's order, not the record's. The key columns carry no indicator; a NULL
// elsewhere arrives as "" or 0, so no value of an earlier row survives.
int Bdp_PnrVonBis_Read(BdpRecord& record) {
  int rc = db::SqlFetch(rangeCursor, {
      db::TextOut(buffers.BdpPnr, 9), db::TextOut(buffers.BdpBdt, 11),
      db::TextOut(buffers.BdpEso, 6), db::TextOut(buffers.BdpEsa, 6),
      db::TextOut(buffers.BdpBsz, 4, true), db::IntOut(buffers.BdpSzv),
      db::IntOut(buffers.BdpSzb, true), db::IntOut(buffers.BdpJhr, true),
      db::IntOut(buffers.BdpMon, true), db::IntOut(buffers.BdpWoc, true),
      db::IntOut(buffers.BdpJwc, true), db::IntOut(buffers.BdpTag, true),
      db::TextOut(buffers.BdpTtp, 4, true), db::IntOut(buffers.BdpZtv, true),
      db::IntOut(buffers.BdpZtb, true), db::TextOut(buffers.BdpKst, 11, true),
      db::TextOut(buffers.BdpFc1, 4, true), db::TextOut(buffers.BdpFc2, 4, true),
      db::TextOut(buffers.BdpFc3, 4, true), db::TextOut(buffers.BdpOso, 6, true),
      db::TextOut(buffers.BdpOsa, 6, true), db::IntOut(buffers.BdpOsv, true),
      db::IntOut(buffers.BdpOsb, true), db::TextOut(buffers.BdpOsz, 4, true),
      db::TextOut(buffers.BdpPlg, 6, true), db::IntOut(buffers.BdpAsw, true),
      db::TextOut(buffers.BdpSts, 2, true), db::IntOut(buffers.BdpFnr, true),
      db::IntOut(buffers.BdpSta, true), db::TextOut(buffers.BdpTxt, 61, true),
      db::TextOut(buffers.BdpErf, 51, true), db::IntOut(buffers.BdpAzt, true),
      db::IntOut(buffers.BdpId1, true), db::IntOut(buffers.BdpId2, true),
      db::IntOut(buffers.BdpId3, true), db::IntOut(buffers.BdpId4, true),
      db::IntOut(buffers.BdpId5, true), db::IntOut(buffers.BdpId6, true),
      db::IntOut(buffers.BdpId7, true), db::IntOut(buffers.BdpId8, true),
      db::IntOut(buffers.BdpRnd, true), db::TextOut(plainDate, 27, true),
      db::IntOut(buffers.BdpAkt, true), db::IntOut(buffers.BdpBnr, true),
      db::IntOut(buffers.BdpAwp, true), db::IntOut(buffers.BdpPau, true),
      db::IntOut(buffers.BdpBzt, true), db::IntOut(buffers.BdpOsw, true),
  });
  if (rc == 0) CopyBdpBuffers(buffers, record);
  return rc;
}

int Bdp_PnrVonBis_Close() { return db::SqlClose(rangeCursor); }

// A failed delete undoes only itself; a successful one stays part of the request's transaction.
int Bdp_PKeyDel(const BdpRecord& record) {
  db::SqlExecute(Bdp_PKeyDel_Savepoint_Sql);
  CopyBounded(buffers.BdpPnr, record.BdpPnr);
  CopyBounded(buffers.BdpBdt, record.BdpBdt);
  CopyBounded(buffers.BdpEso, record.BdpEso);
  CopyBounded(buffers.BdpEsa, record.BdpEsa);
  buffers.BdpSzv = record.BdpSzv;
  buffers.BdpAkt = record.BdpAkt;
  buffers.BdpAsw = record.BdpAsw;
  int rc = db::SqlExecute(Bdp_PKeyDel_Sql, {
      db::TextIn(buffers.BdpPnr, 9), db::TextIn(buffers.BdpBdt, 11),
      db::TextIn(buffers.BdpEso, 6), db::TextIn(buffers.BdpEsa, 6),
      db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpAkt), db::IntIn(buffers.BdpAsw)});
  if (rc != 0) db::SqlExecute(Bdp_PKeyDel_Rollback_Sql);
  return rc;
}

// No indicator on the maximum: a person without rows gets a non-zero status.
int GetLastPlnDat(const char* person, char* lastPlanDate) {
  CopyField(buffers.BdpPnr, person);
  int rc = db::SqlExecute(GetLastPlnDat_Sql, {db::TextIn(buffers.BdpPnr, 9)},
                          {db::TextOut(lastDate, 11)});
  if (rc == 0) CopyField(*reinterpret_cast<DateField*>(lastPlanDate), lastDate);
  return rc;
}
