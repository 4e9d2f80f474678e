#include "db/bsm.h"

#include "common/text_field.h"
#include "db/batch.h"
#include "db/transfer_buffer.h"

// The row stays locked until the request commits: a run of another group that recounts the
// same slot meanwhile waits, and then counts this run's rows too.
static const char* Bsm_PKeyRead_Sql =
    "select TO_CHAR(BsmBdt,'yyyymmdd') ,BsmEso ,BsmEsa ,BsmBsz ,BsmSzv ,BsmSzb ,BsmJhr ,BsmMon "
    ",BsmWoc ,BsmJwc ,BsmTag ,BsmTtp ,BsmSol ,BsmMin ,BsmMax ,BsmIst ,BsmPlg ,BsmHtg ,BsmHtv "
    ",BsmHtn ,BsmKng ,BsmFkt ,BsmAsw ,BsmSta ,TO_CHAR(BsmDat,'yyyymmddHH24MISS') ,BsmErf ,BsmId1 "
    ",BsmId2 ,BsmId3 ,BsmId4 ,BsmId5 ,BsmId6 ,BsmId7 ,BsmId8 ,BsmKor into :b0,:b1,:b2,:b3:b4,:b5,"
    ":b6:b7,:b8:b9,:b10:b11,:b12:b13,:b14:b15,:b16:b17,:b18:b19,:b20:b21,:b22:b23,:b24:b25,"
    ":b26:b27,:b28:b29,:b30:b31,:b32:b33,:b34:b35,:b36:b37,:b38:b39,:b40:b41,:b42:b43,:b44:b45,"
    ":b46:b47,:b48:b49,:b50:b51,:b52:b53,:b54:b55,:b56:b57,:b58:b59,:b60:b61,:b62:b63,:b64:b65  "
    "from Rvk725Bsm where ((((BsmBdt=TO_DATE(:b0,'yyyymmdd') and BsmEso=:b1) and BsmEsa=:b2) and "
    "BsmSzv=:b69) and BsmAsw=:b40) for update";

static const char* Bsm_PKeyUpd_Sql =
    "update Rvk725Bsm  set BsmBsz=:b0,BsmSzb=:b1,BsmJhr=:b2,BsmMon=:b3,BsmWoc=:b4,BsmJwc=:b5,"
    "BsmTag=:b6,BsmTtp=:b7,BsmSol=:b8,BsmMin=:b9,BsmMax=:b10,BsmIst=:b11,BsmPlg=:b12,BsmHtg=:b13,"
    "BsmHtv=:b14,BsmHtn=:b15,BsmKng=:b16,BsmFkt=:b17,BsmAsw=:b18,BsmSta=:b19,BsmDat=sysdate,"
    "BsmErf=:b20,BsmId1=:b21,BsmId2=:b22,BsmId3=:b23,BsmId4=:b24,BsmId5=:b25,BsmId6=:b26,"
    "BsmId7=:b27,BsmId8=:b28,BsmKor=:b29 where ((((BsmBdt=TO_DATE(:b30,'yyyymmdd') and "
    "BsmEso=:b31) and BsmEsa=:b32) and BsmSzv=:b33) and BsmAsw=:b18)";

static const char* Bsm_Update_Savepoint_Sql = "savepoint Bsm_Update_Sp";
static const char* Bsm_Update_Rollback_Sql = "rollback  to Bsm_Update_Sp";

namespace {

// The statements' transfer buffers, as wide as announced to the database.
using BsmBuffers = BsmRow<11, 27>;

BsmBuffers buffers;

// The columns that pick the row. The first four, fetched without indicator, are not copied
// back: they keep what the caller set.
void FillKey(const BsmRecord& record) {
  TransferField(buffers.BsmBdt, record.BsmBdt);
  TransferField(buffers.BsmEso, record.BsmEso);
  TransferField(buffers.BsmEsa, record.BsmEsa);
  buffers.BsmSzv = record.BsmSzv;
  buffers.BsmAsw = record.BsmAsw;
}

// The columns that travel both ways, each named once; BsmDat only comes back.
template <typename Target, typename Source>
void TransferValues(Target& target, const Source& source) {
  TransferField(target.BsmSzb, source.BsmSzb);
  TransferField(target.BsmBsz, source.BsmBsz);
  TransferField(target.BsmJhr, source.BsmJhr);
  TransferField(target.BsmMon, source.BsmMon);
  TransferField(target.BsmWoc, source.BsmWoc);
  TransferField(target.BsmJwc, source.BsmJwc);
  TransferField(target.BsmTag, source.BsmTag);
  TransferField(target.BsmTtp, source.BsmTtp);
  TransferField(target.BsmSol, source.BsmSol);
  TransferField(target.BsmMin, source.BsmMin);
  TransferField(target.BsmMax, source.BsmMax);
  TransferField(target.BsmIst, source.BsmIst);
  TransferField(target.BsmPlg, source.BsmPlg);
  TransferField(target.BsmHtg, source.BsmHtg);
  TransferField(target.BsmHtv, source.BsmHtv);
  TransferField(target.BsmHtn, source.BsmHtn);
  TransferField(target.BsmKng, source.BsmKng);
  TransferField(target.BsmFkt, source.BsmFkt);
  TransferField(target.BsmAsw, source.BsmAsw);
  TransferField(target.BsmSta, source.BsmSta);
  TransferField(target.BsmErf, source.BsmErf);
  TransferField(target.BsmId1, source.BsmId1);
  TransferField(target.BsmId2, source.BsmId2);
  TransferField(target.BsmId3, source.BsmId3);
  TransferField(target.BsmId4, source.BsmId4);
  TransferField(target.BsmId5, source.BsmId5);
  TransferField(target.BsmId6, source.BsmId6);
  TransferField(target.BsmId7, source.BsmId7);
  TransferField(target.BsmId8, source.BsmId8);
  TransferField(target.BsmKor, source.BsmKor);
}

void CopyToRecord(BsmRecord& record) {
  TransferValues(record, buffers);
  TransferField(record.BsmDat, buffers.BsmDat);
}

}  // namespace

void Bsm_PKeyRead(db::Batch& batch, BsmRecord& record, int& status) {
  FillKey(record);
  batch.series.Add(Bsm_PKeyRead_Sql, {
      db::TextIn(buffers.BsmBdt), db::TextIn(buffers.BsmEso),
      db::TextIn(buffers.BsmEsa), db::IntIn(buffers.BsmSzv), db::IntIn(buffers.BsmAsw),
  }, {
      db::TextOut(buffers.BsmBdt), db::TextOut(buffers.BsmEso),
      db::TextOut(buffers.BsmEsa), db::TextOut(buffers.BsmBsz, true),
      db::IntOut(buffers.BsmSzv), db::IntOut(buffers.BsmSzb, true),
      db::IntOut(buffers.BsmJhr, true), db::IntOut(buffers.BsmMon, true),
      db::IntOut(buffers.BsmWoc, true), db::IntOut(buffers.BsmJwc, true),
      db::IntOut(buffers.BsmTag, true), db::TextOut(buffers.BsmTtp, true),
      db::IntOut(buffers.BsmSol, true), db::IntOut(buffers.BsmMin, true),
      db::IntOut(buffers.BsmMax, true), db::IntOut(buffers.BsmIst, true),
      db::TextOut(buffers.BsmPlg, true), db::IntOut(buffers.BsmHtg, true),
      db::IntOut(buffers.BsmHtv, true), db::IntOut(buffers.BsmHtn, true),
      db::IntOut(buffers.BsmKng, true), db::IntOut(buffers.BsmFkt, true),
      db::IntOut(buffers.BsmAsw, true), db::IntOut(buffers.BsmSta, true),
      db::TextOut(buffers.BsmDat, true), db::TextOut(buffers.BsmErf, true),
      db::IntOut(buffers.BsmId1, true), db::IntOut(buffers.BsmId2, true),
      db::IntOut(buffers.BsmId3, true), db::IntOut(buffers.BsmId4, true),
      db::IntOut(buffers.BsmId5, true), db::IntOut(buffers.BsmId6, true),
      db::IntOut(buffers.BsmId7, true), db::IntOut(buffers.BsmId8, true),
      db::IntOut(buffers.BsmKor, true),
  }, status);
  batch.After([&record, &status] {
    if (status == 0) CopyToRecord(record);
  });
}

// BsmDat takes the database's time; the key and BsmAsw only pick the row.
void Bsm_PKeyUpd(db::Batch& batch, const BsmRecord& record, int& status) {
  FillKey(record);
  TransferValues(buffers, record);
  batch.series.AddChange({.savepoint = Bsm_Update_Savepoint_Sql,
                    .statement = Bsm_PKeyUpd_Sql,
                    .rollback = Bsm_Update_Rollback_Sql}, {
      db::TextIn(buffers.BsmBsz), db::IntIn(buffers.BsmSzb),
      db::IntIn(buffers.BsmJhr), db::IntIn(buffers.BsmMon),
      db::IntIn(buffers.BsmWoc), db::IntIn(buffers.BsmJwc),
      db::IntIn(buffers.BsmTag), db::TextIn(buffers.BsmTtp),
      db::IntIn(buffers.BsmSol), db::IntIn(buffers.BsmMin),
      db::IntIn(buffers.BsmMax), db::IntIn(buffers.BsmIst),
      db::TextIn(buffers.BsmPlg), db::IntIn(buffers.BsmHtg),
      db::IntIn(buffers.BsmHtv), db::IntIn(buffers.BsmHtn),
      db::IntIn(buffers.BsmKng), db::IntIn(buffers.BsmFkt),
      db::IntIn(buffers.BsmAsw), db::IntIn(buffers.BsmSta),
      db::TextIn(buffers.BsmErf), db::IntIn(buffers.BsmId1),
      db::IntIn(buffers.BsmId2), db::IntIn(buffers.BsmId3),
      db::IntIn(buffers.BsmId4), db::IntIn(buffers.BsmId5),
      db::IntIn(buffers.BsmId6), db::IntIn(buffers.BsmId7),
      db::IntIn(buffers.BsmId8), db::IntIn(buffers.BsmKor),
      // the where clause
      db::TextIn(buffers.BsmBdt), db::TextIn(buffers.BsmEso),
      db::TextIn(buffers.BsmEsa), db::IntIn(buffers.BsmSzv),
      db::IntIn(buffers.BsmAsw),
  }, status);
}

SlotSave Bsm_SaveSlot(const BsmRecord& record, const ErrRecord* deviation) {
  SlotSave result;
  db::Batch writes;
  Bsm_PKeyUpd(writes, record, result.saved);
  if (deviation != nullptr) Err_Insert(writes, *deviation, result.recorded);
  writes.Run();
  return result;
}

void Bsm_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Bsm_PKeyRead", Bsm_PKeyRead_Sql},
      {"Bsm_PKeyUpd", Bsm_PKeyUpd_Sql},
  });
}
