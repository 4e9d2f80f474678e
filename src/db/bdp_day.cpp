#include "db/bdp.h"

#include "common/text_field.h"
#include "db/bdp_row.h"
#include "db/runtime/runtime.h"

static const char* Bdp_PnrBszDmy_Open_Sql =
    "select BdpPnr ,TO_CHAR(BdpBdt,'yyyymmdd') ,BdpEso ,BdpEsa ,BdpBsz ,BdpSzv ,BdpSzb ,BdpJhr "
    ",BdpMon ,BdpWoc ,BdpJwc ,BdpTag ,BdpTtp ,BdpZtv ,BdpZtb ,BdpKst ,BdpFc1 ,BdpFc2 ,BdpFc3 "
    ",BdpOso ,BdpOsa ,BdpOsv ,BdpOsb ,BdpOsz ,BdpPlg ,BdpAsw ,BdpSts ,BdpFnr ,BdpSta ,BdpTxt "
    ",BdpErf ,BdpAzt ,BdpId1 ,BdpId2 ,BdpId3 ,BdpId4 ,BdpId5 ,BdpId6 ,BdpId7 ,BdpId8 ,BdpRnd "
    ",BdpAkt ,BdpBnr ,BdpAwp ,BdpPau ,BdpBzt ,BdpOsw  from Rvk730Bdp where (BdpPnr=:b0 and "
    "BdpBdt=TO_DATE(:b1,'yyyymmdd')) order by BdpPnr,BdpBdt,BdpSzv";

static const char* Bdp_PKeyUpd_Sql =
    "update Rvk730Bdp  set BdpPnr=:b0,BdpBdt=TO_DATE(:b1,'yyyymmdd'),BdpEso=:b2,BdpEsa=:b3,"
    "BdpBsz=:b4,BdpSzv=:b5,BdpSzb=:b6,BdpJhr=:b7,BdpMon=:b8,BdpWoc=:b9,BdpJwc=:b10,BdpTag=:b11,"
    "BdpTtp=:b12,BdpZtv=:b13,BdpZtb=:b14,BdpKst=:b15,BdpFc1=:b16,BdpFc2=:b17,BdpFc3=:b18,"
    "BdpOso=:b19,BdpOsa=:b20,BdpOsv=:b21,BdpOsb=:b22,BdpOsz=:b23,BdpPlg=:b24,BdpAsw=:b25,"
    "BdpSts=:b26,BdpFnr=:b27,BdpSta=:b28,BdpDat=sysdate,BdpTxt=:b29,BdpErf=:b30,BdpAzt=:b31,"
    "BdpId1=:b32,BdpId2=:b33,BdpId3=:b34,BdpId4=:b35,BdpId5=:b36,BdpId6=:b37,BdpId7=:b38,"
    "BdpId8=:b39,BdpRnd=:b40,BdpAkt=:b41,BdpBnr=:b42,BdpAwp=:b43,BdpPau=:b44,BdpBzt=:b45,"
    "BdpOsw=:b46 where ((((((BdpPnr=:b0 and BdpBdt=TO_DATE(:b1,'yyyymmdd')) and BdpEso=:b2) and "
    "BdpEsa=:b3) and BdpSzv=:b5) and BdpAkt=:b41) and BdpAsw=:b25)";

static const char* Bdp_Update_Savepoint_Sql = "savepoint Bdp_Update_Sp";
static const char* Bdp_Update_Rollback_Sql = "rollback  to Bdp_Update_Sp";

namespace {

BdpRowBuffers buffers;
db::SqlCursor dayCursor;

}  // namespace

void Bdp_PnrBszDmy_Open(db::SqlSeries& series, const char* person, const char* day,
                        int& status) {
  CopyField(buffers.BdpPnr, person);
  CopyField(buffers.BdpBdt, day);
  series.AddOpen(dayCursor, Bdp_PnrBszDmy_Open_Sql,
                 {db::TextIn(buffers.BdpPnr), db::TextIn(buffers.BdpBdt)}, status);
}

int Bdp_PnrBszDmy_Read(BdpRecord& record) { return FetchBdpRow(dayCursor, buffers, record); }

int Bdp_PnrBszDmy_Close() { return db::SqlClose(dayCursor); }

// The set list in statement order, then the key once more for the where clause.
void Bdp_PKeyUpd(db::SqlSeries& series, const BdpRecord& record, int& status) {
  FillBdpBuffers(buffers, record);
  series.AddChange({.savepoint = Bdp_Update_Savepoint_Sql,
                    .statement = Bdp_PKeyUpd_Sql,
                    .rollback = Bdp_Update_Rollback_Sql}, {
      db::TextIn(buffers.BdpPnr), db::TextIn(buffers.BdpBdt),
      db::TextIn(buffers.BdpEso), db::TextIn(buffers.BdpEsa),
      db::TextIn(buffers.BdpBsz), db::IntIn(buffers.BdpSzv),
      db::IntIn(buffers.BdpSzb), db::IntIn(buffers.BdpJhr),
      db::IntIn(buffers.BdpMon), db::IntIn(buffers.BdpWoc),
      db::IntIn(buffers.BdpJwc), db::IntIn(buffers.BdpTag),
      db::TextIn(buffers.BdpTtp), db::IntIn(buffers.BdpZtv),
      db::IntIn(buffers.BdpZtb), db::TextIn(buffers.BdpKst),
      db::TextIn(buffers.BdpFc1), db::TextIn(buffers.BdpFc2),
      db::TextIn(buffers.BdpFc3), db::TextIn(buffers.BdpOso),
      db::TextIn(buffers.BdpOsa), db::IntIn(buffers.BdpOsv),
      db::IntIn(buffers.BdpOsb), db::TextIn(buffers.BdpOsz),
      db::TextIn(buffers.BdpPlg), db::IntIn(buffers.BdpAsw),
      db::TextIn(buffers.BdpSts), db::IntIn(buffers.BdpFnr),
      db::IntIn(buffers.BdpSta), db::TextIn(buffers.BdpTxt),
      db::TextIn(buffers.BdpErf), db::IntIn(buffers.BdpAzt),
      db::IntIn(buffers.BdpId1), db::IntIn(buffers.BdpId2),
      db::IntIn(buffers.BdpId3), db::IntIn(buffers.BdpId4),
      db::IntIn(buffers.BdpId5), db::IntIn(buffers.BdpId6),
      db::IntIn(buffers.BdpId7), db::IntIn(buffers.BdpId8),
      db::IntIn(buffers.BdpRnd), db::IntIn(buffers.BdpAkt),
      db::IntIn(buffers.BdpBnr), db::IntIn(buffers.BdpAwp),
      db::IntIn(buffers.BdpPau), db::IntIn(buffers.BdpBzt),
      db::IntIn(buffers.BdpOsw),
      // the where clause
      db::TextIn(buffers.BdpPnr), db::TextIn(buffers.BdpBdt),
      db::TextIn(buffers.BdpEso), db::TextIn(buffers.BdpEsa),
      db::IntIn(buffers.BdpSzv), db::IntIn(buffers.BdpAkt),
      db::IntIn(buffers.BdpAsw),
  }, status);
}

void BdpDay_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Bdp_PnrBszDmy_Open", Bdp_PnrBszDmy_Open_Sql},
      {"Bdp_PKeyUpd", Bdp_PKeyUpd_Sql},
  });
}
