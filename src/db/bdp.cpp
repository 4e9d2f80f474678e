#include "db/bdp.h"

#include "common/text_field.h"
#include "db/batch.h"
#include "db/status_kind.h"
#include "db/transfer_buffer.h"

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

// Texts as wide as the statements announce them to the database. BdpDat, which no statement
// carries, stays unused.
using BdpRowBuffers = BdpRow<11>;

// The columns both directions carry, each named once.
template <typename Target, typename Source>
void TransferBdpRow(Target& target, const Source& source) {
  TransferField(target.BdpPnr, source.BdpPnr);
  TransferField(target.BdpBdt, source.BdpBdt);
  TransferField(target.BdpEso, source.BdpEso);
  TransferField(target.BdpEsa, source.BdpEsa);
  TransferField(target.BdpSzv, source.BdpSzv);
  TransferField(target.BdpSzb, source.BdpSzb);
  TransferField(target.BdpBsz, source.BdpBsz);
  TransferField(target.BdpJhr, source.BdpJhr);
  TransferField(target.BdpMon, source.BdpMon);
  TransferField(target.BdpWoc, source.BdpWoc);
  TransferField(target.BdpJwc, source.BdpJwc);
  TransferField(target.BdpTtp, source.BdpTtp);
  TransferField(target.BdpTag, source.BdpTag);
  TransferField(target.BdpZtv, source.BdpZtv);
  TransferField(target.BdpZtb, source.BdpZtb);
  TransferField(target.BdpKst, source.BdpKst);
  TransferField(target.BdpFc1, source.BdpFc1);
  TransferField(target.BdpFc2, source.BdpFc2);
  TransferField(target.BdpFc3, source.BdpFc3);
  TransferField(target.BdpOso, source.BdpOso);
  TransferField(target.BdpOsa, source.BdpOsa);
  TransferField(target.BdpOsv, source.BdpOsv);
  TransferField(target.BdpOsb, source.BdpOsb);
  TransferField(target.BdpOsz, source.BdpOsz);
  TransferField(target.BdpOsw, source.BdpOsw);
  TransferField(target.BdpPlg, source.BdpPlg);
  TransferField(target.BdpAsw, source.BdpAsw);
  TransferField(target.BdpAwp, source.BdpAwp);
  TransferField(target.BdpSts, source.BdpSts);
  TransferField(target.BdpFnr, source.BdpFnr);
  TransferField(target.BdpSta, source.BdpSta);
  TransferField(target.BdpTxt, source.BdpTxt);
  TransferField(target.BdpErf, source.BdpErf);
  TransferField(target.BdpAzt, source.BdpAzt);
  TransferField(target.BdpId1, source.BdpId1);
  TransferField(target.BdpId2, source.BdpId2);
  TransferField(target.BdpId3, source.BdpId3);
  TransferField(target.BdpId4, source.BdpId4);
  TransferField(target.BdpId5, source.BdpId5);
  TransferField(target.BdpId6, source.BdpId6);
  TransferField(target.BdpId7, source.BdpId7);
  TransferField(target.BdpId8, source.BdpId8);
  TransferField(target.BdpRnd, source.BdpRnd);
  TransferField(target.BdpAkt, source.BdpAkt);
  TransferField(target.BdpBnr, source.BdpBnr);
  TransferField(target.BdpPau, source.BdpPau);
  TransferField(target.BdpBzt, source.BdpBzt);
}

// The select list's order, not the record's; `plainDate` is the range walk's extra column, or
// nothing. The key columns carry no indicator; a NULL elsewhere arrives as "" or 0, so no
// value of an earlier row survives.
template <typename... PlainDate>
int Fetch(db::SqlCursor& cursor, BdpRowBuffers& buffers, BdpRecord& record,
          PlainDate... plainDate) {
  int rc = db::SqlFetch(cursor, {
      db::TextOut(buffers.BdpPnr), db::TextOut(buffers.BdpBdt),
      db::TextOut(buffers.BdpEso), db::TextOut(buffers.BdpEsa),
      db::TextOut(buffers.BdpBsz, true), db::IntOut(buffers.BdpSzv),
      db::IntOut(buffers.BdpSzb, true), db::IntOut(buffers.BdpJhr, true),
      db::IntOut(buffers.BdpMon, true), db::IntOut(buffers.BdpWoc, true),
      db::IntOut(buffers.BdpJwc, true), db::IntOut(buffers.BdpTag, true),
      db::TextOut(buffers.BdpTtp, true), db::IntOut(buffers.BdpZtv, true),
      db::IntOut(buffers.BdpZtb, true), db::TextOut(buffers.BdpKst, true),
      db::TextOut(buffers.BdpFc1, true), db::TextOut(buffers.BdpFc2, true),
      db::TextOut(buffers.BdpFc3, true), db::TextOut(buffers.BdpOso, true),
      db::TextOut(buffers.BdpOsa, true), db::IntOut(buffers.BdpOsv, true),
      db::IntOut(buffers.BdpOsb, true), db::TextOut(buffers.BdpOsz, true),
      db::TextOut(buffers.BdpPlg, true), db::IntOut(buffers.BdpAsw, true),
      db::TextOut(buffers.BdpSts, true), db::IntOut(buffers.BdpFnr, true),
      db::IntOut(buffers.BdpSta, true), db::TextOut(buffers.BdpTxt, true),
      db::TextOut(buffers.BdpErf, true), db::IntOut(buffers.BdpAzt, true),
      db::IntOut(buffers.BdpId1, true), db::IntOut(buffers.BdpId2, true),
      db::IntOut(buffers.BdpId3, true), db::IntOut(buffers.BdpId4, true),
      db::IntOut(buffers.BdpId5, true), db::IntOut(buffers.BdpId6, true),
      db::IntOut(buffers.BdpId7, true), db::IntOut(buffers.BdpId8, true),
      db::IntOut(buffers.BdpRnd, true), plainDate...,
      db::IntOut(buffers.BdpAkt, true), db::IntOut(buffers.BdpBnr, true),
      db::IntOut(buffers.BdpAwp, true), db::IntOut(buffers.BdpPau, true),
      db::IntOut(buffers.BdpBzt, true), db::IntOut(buffers.BdpOsw, true),
  });
  if (rc == 0) TransferBdpRow(record, buffers);
  return rc;
}

// The counts' transfer buffers, as wide as announced to the database (cntTotal stays unused).
using TallyBuffers = BdpTallyRow<11>;

BdpRowBuffers dayBuffers;
BdpRowBuffers rangeBuffers;
db::SqlCursor dayCursor;
db::SqlCursor rangeCursor;
char fromDate[11];
char toDate[11];
char lastDate[11];
char plainDate[27];  // the range walk's second, unconverted date column: fetched and dropped
TallyBuffers tallyBuffers;
int countStatus[6];  // of the six counts, in the order they go out

}  // namespace

// The set list in statement order, then the key once more for the where clause.
void Bdp_PKeyUpd(db::Batch& batch, const BdpRecord& record, int& status) {
  TransferBdpRow(dayBuffers, record);
  const BdpRowBuffers& b = dayBuffers;
  batch.series.AddChange({.savepoint = Bdp_Update_Savepoint_Sql,
                          .statement = Bdp_PKeyUpd_Sql,
                          .rollback = Bdp_Update_Rollback_Sql}, {
      db::TextIn(b.BdpPnr), db::TextIn(b.BdpBdt),
      db::TextIn(b.BdpEso), db::TextIn(b.BdpEsa),
      db::TextIn(b.BdpBsz), db::IntIn(b.BdpSzv),
      db::IntIn(b.BdpSzb), db::IntIn(b.BdpJhr),
      db::IntIn(b.BdpMon), db::IntIn(b.BdpWoc),
      db::IntIn(b.BdpJwc), db::IntIn(b.BdpTag),
      db::TextIn(b.BdpTtp), db::IntIn(b.BdpZtv),
      db::IntIn(b.BdpZtb), db::TextIn(b.BdpKst),
      db::TextIn(b.BdpFc1), db::TextIn(b.BdpFc2),
      db::TextIn(b.BdpFc3), db::TextIn(b.BdpOso),
      db::TextIn(b.BdpOsa), db::IntIn(b.BdpOsv),
      db::IntIn(b.BdpOsb), db::TextIn(b.BdpOsz),
      db::TextIn(b.BdpPlg), db::IntIn(b.BdpAsw),
      db::TextIn(b.BdpSts), db::IntIn(b.BdpFnr),
      db::IntIn(b.BdpSta), db::TextIn(b.BdpTxt),
      db::TextIn(b.BdpErf), db::IntIn(b.BdpAzt),
      db::IntIn(b.BdpId1), db::IntIn(b.BdpId2),
      db::IntIn(b.BdpId3), db::IntIn(b.BdpId4),
      db::IntIn(b.BdpId5), db::IntIn(b.BdpId6),
      db::IntIn(b.BdpId7), db::IntIn(b.BdpId8),
      db::IntIn(b.BdpRnd), db::IntIn(b.BdpAkt),
      db::IntIn(b.BdpBnr), db::IntIn(b.BdpAwp),
      db::IntIn(b.BdpPau), db::IntIn(b.BdpBzt),
      db::IntIn(b.BdpOsw),
      // the where clause
      db::TextIn(b.BdpPnr), db::TextIn(b.BdpBdt),
      db::TextIn(b.BdpEso), db::TextIn(b.BdpEsa),
      db::IntIn(b.BdpSzv), db::IntIn(b.BdpAkt),
      db::IntIn(b.BdpAsw),
  }, status);
}

// A failed delete undoes only itself; a successful one stays part of the request's transaction.
void Bdp_PKeyDel(db::Batch& batch, const BdpRecord& record, int& status) {
  TransferBdpRow(rangeBuffers, record);  // the whole row, though only its key is bound
  const BdpRowBuffers& b = rangeBuffers;
  batch.series.AddChange({.savepoint = Bdp_PKeyDel_Savepoint_Sql,
                          .statement = Bdp_PKeyDel_Sql,
                          .rollback = Bdp_PKeyDel_Rollback_Sql}, {
      db::TextIn(b.BdpPnr), db::TextIn(b.BdpBdt),
      db::TextIn(b.BdpEso), db::TextIn(b.BdpEsa),
      db::IntIn(b.BdpSzv), db::IntIn(b.BdpAkt), db::IntIn(b.BdpAsw)}, status);
}

void Bdp_PnrBszDmy_Open(db::Batch& batch, const char* person, const char* day, int& status) {
  CopyField(dayBuffers.BdpPnr, person);
  CopyField(dayBuffers.BdpBdt, day);
  batch.series.AddOpen(dayCursor, Bdp_PnrBszDmy_Open_Sql,
                       {db::TextIn(dayBuffers.BdpPnr), db::TextIn(dayBuffers.BdpBdt)}, status);
}

int Bdp_PnrBszDmy_Read(BdpRecord& record) { return Fetch(dayCursor, dayBuffers, record); }

int Bdp_PnrBszDmy_Close() { return db::SqlClose(dayCursor); }

int Bdp_PnrVonBis_Open(const char* person, const char* from, const char* to) {
  CopyField(rangeBuffers.BdpPnr, person);
  CopyField(fromDate, from);
  CopyField(toDate, to);
  return db::SqlOpen(rangeCursor, Bdp_PnrVonBis_Open_Sql, {
      db::TextIn(rangeBuffers.BdpPnr), db::TextIn(fromDate), db::TextIn(toDate)});
}

int Bdp_PnrVonBis_Read(BdpRecord& record) {
  return Fetch(rangeCursor, rangeBuffers, record, db::TextOut(plainDate, true));
}

int Bdp_PnrVonBis_Close() { return db::SqlClose(rangeCursor); }

// No indicator on the maximum: a person without rows gets a non-zero status.
void GetLastPlnDat(db::Batch& batch, const char* person, char (&lastPlanDate)[9], int& status) {
  CopyField(rangeBuffers.BdpPnr, person);
  batch.series.Add(GetLastPlnDat_Sql, {db::TextIn(rangeBuffers.BdpPnr)}, {db::TextOut(lastDate)},
                   status);
  batch.After([&lastPlanDate, &status] {
    if (status == 0) CopyField(lastPlanDate, lastDate);
  });
}

// The six counts are independent and go out together, with the caller's other queries. The
// batch stops at the first failing count, which keeps its entry value, as every later one does.
void Bdp_SlotTally(db::Batch& batch, BdpTally& tally, int& status) {
  TallyBuffers& b = tallyBuffers;
  TransferField(b.BdpBdt, tally.BdpBdt);
  TransferField(b.BdpEso, tally.BdpEso);
  TransferField(b.BdpEsa, tally.BdpEsa);
  b.BdpAsw = tally.BdpAsw;
  b.BdpSzv = tally.BdpSzv;
  b.BdpSzb = tally.BdpSzb;
  const db::HostVar day = db::TextIn(b.BdpBdt);
  const db::HostVar eso = db::TextIn(b.BdpEso);
  const db::HostVar esa = db::TextIn(b.BdpEsa);
  const db::HostVar szv = db::IntIn(b.BdpSzv);
  const db::HostVar szb = db::IntIn(b.BdpSzb);
  const db::HostVar asw = db::IntIn(b.BdpAsw);
  int* s = countStatus;
  db::SqlSeries& series = batch.series;
  series.Add(Bdp_SlotTally_UM_Sql, {day, eso, esa, szv, asw}, {db::IntOut(b.cntUM)}, s[0]);
  // The working time compared with the slot's span: start and end bound twice.
  series.Add(Bdp_SlotTally_Exact_Sql, {day, eso, esa, szv, szb, szv, szb, asw},
             {db::IntOut(b.cntExact)}, s[1]);
  series.Add(Bdp_SlotTally_Partial_Sql, {day, eso, esa, szv, szb, asw, szv, szb},
             {db::IntOut(b.cntPartial)}, s[2]);
  series.Add(Bdp_SlotTally_Fc1_Sql, {day, eso, esa, szv, szb, asw}, {db::IntOut(b.cntFc1)}, s[3]);
  series.Add(Bdp_SlotTally_Fc2_Sql, {day, eso, esa, szv, szb, asw}, {db::IntOut(b.cntFc2)}, s[4]);
  series.Add(Bdp_SlotTally_Fc3_Sql, {day, eso, esa, szv, szb, asw}, {db::IntOut(b.cntFc3)}, s[5]);
  batch.After([&tally, &status] {
    const TallyBuffers& counted = tallyBuffers;
    const int* took = countStatus;
    if (took[0] == 0) tally.cntUM = counted.cntUM;
    if (took[1] == 0) tally.cntExact = counted.cntExact;
    if (took[2] == 0) {
      tally.cntPartial = counted.cntPartial;
      tally.cntTotal = tally.cntExact + tally.cntPartial;
    }
    if (took[3] == 0) tally.cntFc1 = counted.cntFc1;
    if (took[4] == 0) tally.cntFc2 = counted.cntFc2;
    if (took[5] == 0) tally.cntFc3 = counted.cntFc3;
    status = 0;
    for (int k = 5; k >= 0; --k) {
      if (took[k] != 0) status = took[k];
    }
  });
}

// The done mark, the day's rows and the day codes go out together, the opening before the codes,
// as a batch stops at its first failing read: a day without codes costs no second trip.
// Codes a failed open held back are read alone.
DayOpening Bdp_OpenRequestDay(const PudRecord& request, TagRecord& codes) {
  DayOpening result;
  db::Batch first;
  Pud_PKeyUpd(first, request, result.marked);
  Bdp_PnrBszDmy_Open(first, request.PudPnr, request.PudDtm, result.opened);
  Read_UrlKrk_Tgb(first, codes, result.read);
  first.Run();
  if (db::status::IsFault(result.marked) || db::status::IsFault(result.opened)) return result;
  if (result.opened != 0) {
    db::Batch codesAlone;
    Read_UrlKrk_Tgb(codesAlone, codes, result.read);
    codesAlone.Run();
  }
  return result;
}

LastDateLookup Bdp_MarkAndFindLastDate(const PudRecord& request, char (&lastPlannedDate)[9]) {
  LastDateLookup result;
  db::Batch first;
  Pud_PKeyUpd(first, request, result.marked);
  GetLastPlnDat(first, request.PudPnr, lastPlannedDate, result.found);
  first.Run();
  return result;
}

// The change goes first, so that the read and the counts after it, in the same round trip,
// see the plan as changed.
RowChange Bdp_ChangeRowAndReadSlot(RowChangeKind kind, const BdpRecord& row, bool counts,
                                   BsmRecord& slot, BdpTally& likely) {
  RowChange result;
  db::Batch work;
  if (kind == RowChangeKind::Update) {
    Bdp_PKeyUpd(work, row, result.changed);
  } else {
    Bdp_PKeyDel(work, row, result.changed);
  }
  if (counts) {
    Bsm_PKeyRead(work, slot, result.read);
    Bdp_SlotTally(work, likely, result.tallied);
  }
  work.Run();
  return result;
}

int Bdp_CountSlot(BdpTally& tally) {
  int status = 0;
  db::Batch counts;
  Bdp_SlotTally(counts, tally, status);
  counts.Run();
  return status;
}

void Bdp_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Bdp_PnrBszDmy_Open", Bdp_PnrBszDmy_Open_Sql},
      {"Bdp_PKeyUpd", Bdp_PKeyUpd_Sql},
      {"Bdp_PnrVonBis_Open", Bdp_PnrVonBis_Open_Sql},
      {"Bdp_PKeyDel", Bdp_PKeyDel_Sql},
      {"GetLastPlnDat", GetLastPlnDat_Sql},
      {"Bdp_SlotTally_UM", Bdp_SlotTally_UM_Sql},
      {"Bdp_SlotTally_Exact", Bdp_SlotTally_Exact_Sql},
      {"Bdp_SlotTally_Partial", Bdp_SlotTally_Partial_Sql},
      {"Bdp_SlotTally_Fc1", Bdp_SlotTally_Fc1_Sql},
      {"Bdp_SlotTally_Fc2", Bdp_SlotTally_Fc2_Sql},
      {"Bdp_SlotTally_Fc3", Bdp_SlotTally_Fc3_Sql},
  });
}
