#include "db/err.h"

#include "common/text_field.h"
#include "db/transfer_buffer.h"
#include "db/runtime/runtime.h"

static const char* Err_Insert_Savepoint_Sql = "savepoint Err_Insert_Sp";
static const char* Err_Insert_Sql =
    "insert into Rvk746Err (ErrPlg,ErrKng,ErrDat,ErrLfn,ErrPnr,ErrEso,ErrEsa,ErrKnz,ErrBdt,ErrZtv,"
    "ErrZtb,ErrFnr,ErrErf,ErrJbd,ErrJbk) values (:b0,:b1,sysdate,:b2,:b3,:b4,:b5,:b6,"
    "TO_DATE(:b7,'yyyymmdd'),:b8,:b9,:b10,:b11,:b12,:b13)";
static const char* Err_Insert_Rollback_Sql = "rollback  to Err_Insert_Sp";

namespace {

// The statement's transfer buffers, as wide as announced to the database.
struct ErrBuffers {
  char ErrPlg[6];
  char ErrKng[6];
  int32_t ErrLfn;
  char ErrPnr[9];
  char ErrEso[6];
  char ErrEsa[6];
  char ErrKnz[6];
  char ErrBdt[11];
  int32_t ErrZtv;
  int32_t ErrZtb;
  int32_t ErrFnr;
  char ErrErf[51];
  char ErrJbd[15];
  char ErrJbk[33];
};

ErrBuffers buffers;

void FillBuffers(const ErrRecord& record) {
  CopyBounded(buffers.ErrPlg, record.ErrPlg);
  CopyBounded(buffers.ErrKng, record.ErrKng);
  buffers.ErrLfn = record.ErrLfn;
  CopyBounded(buffers.ErrPnr, record.ErrPnr);
  CopyBounded(buffers.ErrEso, record.ErrEso);
  CopyBounded(buffers.ErrEsa, record.ErrEsa);
  CopyBounded(buffers.ErrKnz, record.ErrKnz);
  CopyBounded(buffers.ErrBdt, record.ErrBdt);
  buffers.ErrZtv = record.ErrZtv;
  buffers.ErrZtb = record.ErrZtb;
  buffers.ErrFnr = record.ErrFnr;
  CopyBounded(buffers.ErrErf, record.ErrErf);
  CopyBounded(buffers.ErrJbd, record.ErrJbd);
  CopyBounded(buffers.ErrJbk, record.ErrJbk);
}

}  // namespace

// A failed insert undoes only itself; the row becomes permanent with its request.
int Err_Insert(const ErrRecord& record) {
  db::SqlExecute(Err_Insert_Savepoint_Sql);
  FillBuffers(record);
  int rc = db::SqlExecute(Err_Insert_Sql, {
      db::TextIn(buffers.ErrPlg, 6), db::TextIn(buffers.ErrKng, 6), db::IntIn(buffers.ErrLfn),
      db::TextIn(buffers.ErrPnr, 9), db::TextIn(buffers.ErrEso, 6), db::TextIn(buffers.ErrEsa, 6),
      db::TextIn(buffers.ErrKnz, 6), db::TextIn(buffers.ErrBdt, 11), db::IntIn(buffers.ErrZtv),
      db::IntIn(buffers.ErrZtb), db::IntIn(buffers.ErrFnr), db::TextIn(buffers.ErrErf, 51),
      db::TextIn(buffers.ErrJbd, 15), db::TextIn(buffers.ErrJbk, 33),
  });
  if (rc != 0) db::SqlExecute(Err_Insert_Rollback_Sql);
  return rc;
}
