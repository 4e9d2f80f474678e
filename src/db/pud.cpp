#include "db/pud.h"

#include "common/text_field.h"
#include "db/transfer_buffer.h"
#include "db/runtime/runtime.h"

static const char* Pud_TSCur_Open_Sql =
    "select PudPnr ,TO_CHAR(PudDtm,'yyyymmdd') ,PudTyp ,PudKng ,PudTxc ,PudPlg ,PudErf "
    ",TO_CHAR(PudDat,'yyyymmddHH24MISS')  from Rvk740Pud where (PudPlg=:b0 and PudKng=1) "
    "order by PudPlg,PudKng,PudDat";

// Besides the time stamp, the row's other unchanging fields pick it: two requests may share a
// time stamp to the second, and each write-back must reach only its own row. Each field is
// compared as it was fetched: the request date as its day (a stored time of day still
// matches), and a NULL, fetched as "" or 0, as equal to that, so no request stays pending
// for ever because a field of it is NULL. Only a pending row is marked done; the group, the
// state and the time stamp together make the write-back one lookup in the queue's index.
static const char* Pud_PKeyUpd_Sql =
    "update Rvk740Pud  set PudPnr=:b0,PudDtm=TO_DATE(:b1,'yyyymmdd'),PudTyp=:b2,PudKng=:b3,"
    "PudTxc=:b4,PudPlg=:b5,PudErf=:b6,PudDat=TO_DATE(:b7,'yyyymmddHH24MISS') where "
    "(((((PudDat=TO_DATE(:b7,'yyyymmddHH24MISS') and PudPlg=:b5) and PudKng=1) and "
    "coalesce(PudPnr,'-')=coalesce(:b0,'-')) and "
    "coalesce(TO_CHAR(PudDtm,'yyyymmdd'),'-')=coalesce(:b1,'-')) and coalesce(PudTyp,0)=:b2)";

static const char* Pud_KngDel_Savepoint_Sql = "savepoint Pub_KngDel_Sp";
static const char* Pud_KngDel_Sql = "delete  from Rvk740Pud  where (PudPlg=:b0 and PudKng=:b1)";
static const char* Pud_KngDel_Rollback_Sql = "rollback  to Pub_KngDel_Sp";
static const char* Commit_Sql = "commit";

namespace {

// The statements' transfer buffers, as wide as announced to the database.
struct PudBuffers {
  char PudPnr[9];
  char PudDtm[11];
  int32_t PudTyp;
  int32_t PudKng;
  int32_t PudTxc;
  char PudPlg[6];
  char PudErf[51];
  char PudDat[27];
};

PudBuffers buffers;
db::SqlCursor requestCursor;

void FillBuffers(const PudRecord& record) {
  CopyBounded(buffers.PudPnr, record.PudPnr);
  CopyBounded(buffers.PudDtm, record.PudDtm);
  buffers.PudTyp = record.PudTyp;
  buffers.PudKng = record.PudKng;
  buffers.PudTxc = record.PudTxc;
  CopyBounded(buffers.PudPlg, record.PudPlg);
  CopyBounded(buffers.PudErf, record.PudErf);
  CopyBounded(buffers.PudDat, record.PudDat);
}

void CopyToRecord(PudRecord& record) {
  CopyField(record.PudPnr, buffers.PudPnr);
  CopyField(record.PudDtm, buffers.PudDtm);
  record.PudTyp = buffers.PudTyp;
  record.PudKng = buffers.PudKng;
  record.PudTxc = buffers.PudTxc;
  CopyField(record.PudPlg, buffers.PudPlg);
  CopyField(record.PudErf, buffers.PudErf);
  CopyField(record.PudDat, buffers.PudDat);
}

}  // namespace

int Pud_TSCur_Open(const char* planGroup) {
  CopyField(buffers.PudPlg, planGroup);
  return db::SqlOpen(requestCursor, Pud_TSCur_Open_Sql, {db::TextIn(buffers.PudPlg, 6)});
}

// Every column tolerates NULL, which arrives as "" or 0: no value of an earlier row survives.
int Pud_TSCur_Read(PudRecord& record) {
  int rc = db::SqlFetch(requestCursor, {
      db::TextOut(buffers.PudPnr, 9, true),
      db::TextOut(buffers.PudDtm, 11, true),
      db::IntOut(buffers.PudTyp, true),
      db::IntOut(buffers.PudKng, true),
      db::IntOut(buffers.PudTxc, true),
      db::TextOut(buffers.PudPlg, 6, true),
      db::TextOut(buffers.PudErf, 51, true),
      db::TextOut(buffers.PudDat, 27, true),
  });
  if (rc == 0) CopyToRecord(record);
  return rc;
}

int Pud_TSCur_Close() { return db::SqlClose(requestCursor); }

// No savepoint and no commit: the write-back becomes permanent with its request's commit.
int Pud_PKeyUpd(const PudRecord& record) {
  FillBuffers(record);
  return db::SqlExecute(Pud_PKeyUpd_Sql, {
      db::TextIn(buffers.PudPnr, 9),
      db::TextIn(buffers.PudDtm, 11),
      db::IntIn(buffers.PudTyp),
      db::IntIn(buffers.PudKng),
      db::IntIn(buffers.PudTxc),
      db::TextIn(buffers.PudPlg, 6),
      db::TextIn(buffers.PudErf, 51),
      db::TextIn(buffers.PudDat, 27),
      // the where clause
      db::TextIn(buffers.PudDat, 27),
      db::TextIn(buffers.PudPlg, 6),
      db::TextIn(buffers.PudPnr, 9),
      db::TextIn(buffers.PudDtm, 11),
      db::IntIn(buffers.PudTyp),
  });
}

int Pud_KngDel(const char* planGroup, int32_t state) {
  CopyField(buffers.PudPlg, planGroup);
  buffers.PudKng = state;
  db::SqlExecute(Pud_KngDel_Savepoint_Sql);
  int rc = db::SqlExecute(Pud_KngDel_Sql,
                          {db::TextIn(buffers.PudPlg, 6), db::IntIn(buffers.PudKng)});
  db::SqlExecute(rc == 0 ? Commit_Sql : Pud_KngDel_Rollback_Sql);
  return rc;
}
