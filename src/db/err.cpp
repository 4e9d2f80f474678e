#include "db/err.h"

#include "common/text_field.h"
#include "db/batch.h"
#include "db/transfer_buffer.h"

static const char* Err_Insert_Savepoint_Sql = "savepoint Err_Insert_Sp";
static const char* Err_Insert_Sql =
    "insert into Rvk746Err (ErrPlg,ErrKng,ErrDat,ErrLfn,ErrPnr,ErrEso,ErrEsa,ErrKnz,ErrBdt,ErrZtv,"
    "ErrZtb,ErrFnr,ErrErf,ErrJbd,ErrJbk) values (:b0,:b1,sysdate,:b2,:b3,:b4,:b5,:b6,"
    "TO_DATE(:b7,'yyyymmdd'),:b8,:b9,:b10,:b11,:b12,:b13)";
static const char* Err_Insert_Rollback_Sql = "rollback  to Err_Insert_Sp";

namespace {

// The statement's transfer buffers, as wide as announced to the database.
using ErrBuffers = ErrRow<11>;

ErrBuffers buffers;

void FillBuffers(const ErrRecord& record) {
  TransferField(buffers.ErrPlg, record.ErrPlg);
  TransferField(buffers.ErrKng, record.ErrKng);
  buffers.ErrLfn = record.ErrLfn;
  TransferField(buffers.ErrPnr, record.ErrPnr);
  TransferField(buffers.ErrEso, record.ErrEso);
  TransferField(buffers.ErrEsa, record.ErrEsa);
  TransferField(buffers.ErrKnz, record.ErrKnz);
  TransferField(buffers.ErrBdt, record.ErrBdt);
  buffers.ErrZtv = record.ErrZtv;
  buffers.ErrZtb = record.ErrZtb;
  buffers.ErrFnr = record.ErrFnr;
  TransferField(buffers.ErrErf, record.ErrErf);
  TransferField(buffers.ErrJbd, record.ErrJbd);
  TransferField(buffers.ErrJbk, record.ErrJbk);
}

}  // namespace

// A failed insert undoes only itself; the row becomes permanent with its request.
void Err_Insert(db::Batch& batch, const ErrRecord& record, int& status) {
  FillBuffers(record);
  batch.series.AddChange({.savepoint = Err_Insert_Savepoint_Sql,
                    .statement = Err_Insert_Sql,
                    .rollback = Err_Insert_Rollback_Sql}, {
      db::TextIn(buffers.ErrPlg), db::TextIn(buffers.ErrKng), db::IntIn(buffers.ErrLfn),
      db::TextIn(buffers.ErrPnr), db::TextIn(buffers.ErrEso), db::TextIn(buffers.ErrEsa),
      db::TextIn(buffers.ErrKnz), db::TextIn(buffers.ErrBdt), db::IntIn(buffers.ErrZtv),
      db::IntIn(buffers.ErrZtb), db::IntIn(buffers.ErrFnr), db::TextIn(buffers.ErrErf),
      db::TextIn(buffers.ErrJbd), db::TextIn(buffers.ErrJbk),
  }, status);
}

void Err_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Err_Insert", Err_Insert_Sql},
  });
}
