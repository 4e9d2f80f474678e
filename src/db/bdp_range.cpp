#include "db/bdp.h"

#include "common/text_field.h"
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

}  // namespace

int Bdp_PnrVonBis_Open(const char* person, const char* from, const char* to) {
  CopyField(buffers.BdpPnr, person);
  CopyField(fromDate, from);
  CopyField(toDate, to);
  return db::SqlOpen(rangeCursor, Bdp_PnrVonBis_Open_Sql, {
      db::TextIn(buffers.BdpPnr), db::TextIn(fromDate), db::TextIn(toDate)});
}

int Bdp_PnrVonBis_Read(BdpRecord& record) {
  return FetchBdpRow(rangeCursor, buffers, record, db::TextOut(plainDate, true));
}

int Bdp_PnrVonBis_Close() { return db::SqlClose(rangeCursor); }

// A failed delete undoes only itself; a successful one stays part of the request's transaction.
void Bdp_PKeyDel(db::SqlSeries& series, const BdpRecord& record, int& status) {
  FillBdpBuffers(buffers, record);  // the whole row, though only its key is bound
  series.AddChange({.savepoint = Bdp_PKeyDel_Savepoint_Sql,
                    .statement = Bdp_PKeyDel_Sql,
                    .rollback = Bdp_PKeyDel_Rollback_Sql}, {
      db::TextIn(buffers.BdpPnr), db::TextIn(buffers.BdpBdt),
      db::TextIn(buffers.BdpEso), db::TextIn(buffers.BdpEsa),
      db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpAkt), db::IntIn(buffers.BdpAsw)}, status);
}

// No indicator on the maximum: a person without rows gets a non-zero status.
void GetLastPlnDat(db::SqlSeries& series, const char* person, char (&lastPlanDate)[9],
                   int& status) {
  CopyField(buffers.BdpPnr, person);
  series.Add(GetLastPlnDat_Sql, {db::TextIn(buffers.BdpPnr)}, {db::TextOut(lastDate)}, status,
             [&lastPlanDate] { CopyField(lastPlanDate, lastDate); });
}

void BdpRange_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Bdp_PnrVonBis_Open", Bdp_PnrVonBis_Open_Sql},
      {"Bdp_PKeyDel", Bdp_PKeyDel_Sql},
      {"GetLastPlnDat", GetLastPlnDat_Sql},
  });
}
