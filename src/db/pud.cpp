#include "db/pud.h"

#include "common/text_field.h"
#include "db/batch.h"
#include "db/transfer_buffer.h"

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
// The queue's index answers it, as it answers the cursor.
static const char* Pud_PendingCount_Sql =
    "select count(*) into :b0  from Rvk740Pud  where (PudPlg=:b1 and PudKng=1)";

namespace {

// The statements' transfer buffers, as wide as announced to the database.
using PudBuffers = PudRow<11, 27>;

PudBuffers buffers;
db::SqlCursor requestCursor;

// Every column, each named once for both directions.
template <typename Target, typename Source>
void TransferRow(Target& target, const Source& source) {
  TransferField(target.PudPnr, source.PudPnr);
  TransferField(target.PudDtm, source.PudDtm);
  TransferField(target.PudTyp, source.PudTyp);
  TransferField(target.PudKng, source.PudKng);
  TransferField(target.PudTxc, source.PudTxc);
  TransferField(target.PudPlg, source.PudPlg);
  TransferField(target.PudErf, source.PudErf);
  TransferField(target.PudDat, source.PudDat);
}

}  // namespace

int Pud_TSCur_Open(const char* planGroup) {
  CopyField(buffers.PudPlg, planGroup);
  return db::SqlOpen(requestCursor, Pud_TSCur_Open_Sql, {db::TextIn(buffers.PudPlg)});
}

// Every column tolerates NULL, which arrives as "" or 0: no value of an earlier row survives.
int Pud_TSCur_Read(PudRecord& record) {
  int rc = db::SqlFetch(requestCursor, {
      db::TextOut(buffers.PudPnr, true), db::TextOut(buffers.PudDtm, true),
      db::IntOut(buffers.PudTyp, true), db::IntOut(buffers.PudKng, true),
      db::IntOut(buffers.PudTxc, true), db::TextOut(buffers.PudPlg, true),
      db::TextOut(buffers.PudErf, true), db::TextOut(buffers.PudDat, true),
  });
  if (rc == 0) TransferRow(record, buffers);
  return rc;
}

int Pud_TSCur_Close() { return db::SqlClose(requestCursor); }

// No savepoint and no commit: the write-back becomes permanent with its request's commit.
void Pud_PKeyUpd(db::Batch& batch, const PudRecord& record, int& status) {
  TransferRow(buffers, record);
  batch.series.AddChange(Pud_PKeyUpd_Sql, {
      db::TextIn(buffers.PudPnr), db::TextIn(buffers.PudDtm), db::IntIn(buffers.PudTyp),
      db::IntIn(buffers.PudKng), db::IntIn(buffers.PudTxc), db::TextIn(buffers.PudPlg),
      db::TextIn(buffers.PudErf), db::TextIn(buffers.PudDat),
      // the where clause
      db::TextIn(buffers.PudDat), db::TextIn(buffers.PudPlg), db::TextIn(buffers.PudPnr),
      db::TextIn(buffers.PudDtm), db::IntIn(buffers.PudTyp),
  }, status);
}

int Pud_MarkDone(const PudRecord& record) {
  int status = 0;
  db::Batch alone;
  Pud_PKeyUpd(alone, record, status);
  alone.Run();
  return status;
}

int Pud_KngDel(const char* planGroup, int32_t state) {
  CopyField(buffers.PudPlg, planGroup);
  buffers.PudKng = state;
  int status = 0;
  db::SqlSeries change;
  change.AddChange({.savepoint = Pud_KngDel_Savepoint_Sql,
                    .statement = Pud_KngDel_Sql,
                    .rollback = Pud_KngDel_Rollback_Sql,
                    .onSuccess = Commit_Sql},
                   {db::TextIn(buffers.PudPlg), db::IntIn(buffers.PudKng)}, status);
  change.Run();
  return status;
}

int Pud_PendingCount(const char* planGroup, int32_t& count) {
  CopyField(buffers.PudPlg, planGroup);
  int32_t counted = 0;
  int rc = db::SqlExecute(Pud_PendingCount_Sql, {db::TextIn(buffers.PudPlg)}, {db::IntOut(counted)});
  if (rc == 0) count = counted;
  return rc;
}

void Pud_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Pud_PendingCount", Pud_PendingCount_Sql},
      {"Pud_TSCur_Open", Pud_TSCur_Open_Sql},
      {"Pud_PKeyUpd", Pud_PKeyUpd_Sql},
      {"Pud_KngDel", Pud_KngDel_Sql},
  });
}
