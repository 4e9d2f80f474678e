#include "db/bsm.h"

#include "common/text_field.h"
#include "db/transfer_buffer.h"
#include "db/runtime/runtime.h"

static const char* Bsm_PKeyRead_Sql =
    "select TO_CHAR(BsmBdt,'yyyymmdd') ,BsmEso ,BsmEsa ,BsmBsz ,BsmSzv ,BsmSzb ,BsmJhr ,BsmMon "
    ",BsmWoc ,BsmJwc ,BsmTag ,BsmTtp ,BsmSol ,BsmMin ,BsmMax ,BsmIst ,BsmPlg ,BsmHtg ,BsmHtv "
    ",BsmHtn ,BsmKng ,BsmFkt ,BsmAsw ,BsmSta ,TO_CHAR(BsmDat,'yyyymmddHH24MISS') ,BsmErf ,BsmId1 "
    ",BsmId2 ,BsmId3 ,BsmId4 ,BsmId5 ,BsmId6 ,BsmId7 ,BsmId8 ,BsmKor into :b0,:b1,:b2,:b3:b4,:b5,"
    ":b6:b7,:b8:b9,:b10:b11,:b12:b13,:b14:b15,:b16:b17,:b18:b19,:b20:b21,:b22:b23,:b24:b25,"
    ":b26:b27,:b28:b29,:b30:b31,:b32:b33,:b34:b35,:b36:b37,:b38:b39,:b40:b41,:b42:b43,:b44:b45,"
    ":b46:b47,:b48:b49,:b50:b51,:b52:b53,:b54:b55,:b56:b57,:b58:b59,:b60:b61,:b62:b63,:b64:b65  "
    "from Rvk725Bsm where ((((BsmBdt=TO_DATE(:b0,'yyyymmdd') and BsmEso=:b1) and BsmEsa=:b2) and "
    "BsmSzv=:b69) and BsmAsw=:b40)";

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
struct BsmBuffers {
  char BsmBdt[11];
  char BsmEso[6];
  char BsmEsa[6];
  int32_t BsmSzv;
  int32_t BsmSzb;
  char BsmBsz[4];
  int32_t BsmJhr;
  int32_t BsmMon;
  int32_t BsmWoc;
  int32_t BsmJwc;
  int32_t BsmTag;
  char BsmTtp[4];
  int32_t BsmSol;
  int32_t BsmMin;
  int32_t BsmMax;
  int32_t BsmIst;
  char BsmPlg[6];
  int32_t BsmHtg;
  int32_t BsmHtv;
  int32_t BsmHtn;
  int32_t BsmKng;
  int32_t BsmFkt;
  int32_t BsmAsw;
  int32_t BsmSta;
  char BsmDat[27];
  char BsmErf[51];
  int32_t BsmId1;
  int32_t BsmId2;
  int32_t BsmId3;
  int32_t BsmId4;
  int32_t BsmId5;
  int32_t BsmId6;
  int32_t BsmId7;
  int32_t BsmId8;
  int32_t BsmKor;
};

BsmBuffers buffers;

void FillKey(const BsmRecord& record) {
  CopyBounded(buffers.BsmBdt, record.BsmBdt);
  CopyBounded(buffers.BsmEso, record.BsmEso);
  CopyBounded(buffers.BsmEsa, record.BsmEsa);
  buffers.BsmSzv = record.BsmSzv;
  buffers.BsmAsw = record.BsmAsw;
}

// Everything the update sends besides the key.
void FillValues(const BsmRecord& record) {
  CopyBounded(buffers.BsmBsz, record.BsmBsz);
  buffers.BsmSzb = record.BsmSzb;
  buffers.BsmJhr = record.BsmJhr;
  buffers.BsmMon = record.BsmMon;
  buffers.BsmWoc = record.BsmWoc;
  buffers.BsmJwc = record.BsmJwc;
  buffers.BsmTag = record.BsmTag;
  CopyBounded(buffers.BsmTtp, record.BsmTtp);
  buffers.BsmSol = record.BsmSol;
  buffers.BsmMin = record.BsmMin;
  buffers.BsmMax = record.BsmMax;
  buffers.BsmIst = record.BsmIst;
  CopyBounded(buffers.BsmPlg, record.BsmPlg);
  buffers.BsmHtg = record.BsmHtg;
  buffers.BsmHtv = record.BsmHtv;
  buffers.BsmHtn = record.BsmHtn;
  buffers.BsmKng = record.BsmKng;
  buffers.BsmFkt = record.BsmFkt;
  buffers.BsmSta = record.BsmSta;
  CopyBounded(buffers.BsmErf, record.BsmErf);
  buffers.BsmId1 = record.BsmId1;
  buffers.BsmId2 = record.BsmId2;
  buffers.BsmId3 = record.BsmId3;
  buffers.BsmId4 = record.BsmId4;
  buffers.BsmId5 = record.BsmId5;
  buffers.BsmId6 = record.BsmId6;
  buffers.BsmId7 = record.BsmId7;
  buffers.BsmId8 = record.BsmId8;
  buffers.BsmKor = record.BsmKor;
}

// The four key columns fetched without indicator keep what the caller set.
void CopyToRecord(BsmRecord& record) {
  record.BsmSzb = buffers.BsmSzb;
  CopyField(record.BsmBsz, buffers.BsmBsz);
  record.BsmJhr = buffers.BsmJhr;
  record.BsmMon = buffers.BsmMon;
  record.BsmWoc = buffers.BsmWoc;
  record.BsmJwc = buffers.BsmJwc;
  record.BsmTag = buffers.BsmTag;
  CopyField(record.BsmTtp, buffers.BsmTtp);
  record.BsmSol = buffers.BsmSol;
  record.BsmMin = buffers.BsmMin;
  record.BsmMax = buffers.BsmMax;
  record.BsmIst = buffers.BsmIst;
  CopyField(record.BsmPlg, buffers.BsmPlg);
  record.BsmHtg = buffers.BsmHtg;
  record.BsmHtv = buffers.BsmHtv;
  record.BsmHtn = buffers.BsmHtn;
  record.BsmKng = buffers.BsmKng;
  record.BsmFkt = buffers.BsmFkt;
  record.BsmAsw = buffers.BsmAsw;
  record.BsmSta = buffers.BsmSta;
  CopyField(record.BsmDat, buffers.BsmDat);
  CopyField(record.BsmErf, buffers.BsmErf);
  record.BsmId1 = buffers.BsmId1;
  record.BsmId2 = buffers.BsmId2;
  record.BsmId3 = buffers.BsmId3;
  record.BsmId4 = buffers.BsmId4;
  record.BsmId5 = buffers.BsmId5;
  record.BsmId6 = buffers.BsmId6;
  record.BsmId7 = buffers.BsmId7;
  record.BsmId8 = buffers.BsmId8;
  record.BsmKor = buffers.BsmKor;
}

}  // namespace

// A NULL outside the key arrives as "" or 0; a failed read leaves the record as it was.
int Bsm_PKeyRead(BsmRecord& record) {
  FillKey(record);
  int rc = db::SqlExecute(Bsm_PKeyRead_Sql, {
      db::TextIn(buffers.BsmBdt, 11), db::TextIn(buffers.BsmEso, 6),
      db::TextIn(buffers.BsmEsa, 6), db::IntIn(buffers.BsmSzv), db::IntIn(buffers.BsmAsw),
  }, {
      db::TextOut(buffers.BsmBdt, 11), db::TextOut(buffers.BsmEso, 6),
      db::TextOut(buffers.BsmEsa, 6), db::TextOut(buffers.BsmBsz, 4, true),
      db::IntOut(buffers.BsmSzv), db::IntOut(buffers.BsmSzb, true),
      db::IntOut(buffers.BsmJhr, true), db::IntOut(buffers.BsmMon, true),
      db::IntOut(buffers.BsmWoc, true), db::IntOut(buffers.BsmJwc, true),
      db::IntOut(buffers.BsmTag, true), db::TextOut(buffers.BsmTtp, 4, true),
      db::IntOut(buffers.BsmSol, true), db::IntOut(buffers.BsmMin, true),
      db::IntOut(buffers.BsmMax, true), db::IntOut(buffers.BsmIst, true),
      db::TextOut(buffers.BsmPlg, 6, true), db::IntOut(buffers.BsmHtg, true),
      db::IntOut(buffers.BsmHtv, true), db::IntOut(buffers.BsmHtn, true),
      db::IntOut(buffers.BsmKng, true), db::IntOut(buffers.BsmFkt, true),
      db::IntOut(buffers.BsmAsw, true), db::IntOut(buffers.BsmSta, true),
      db::TextOut(buffers.BsmDat, 27, true), db::TextOut(buffers.BsmErf, 51, true),
      db::IntOut(buffers.BsmId1, true), db::IntOut(buffers.BsmId2, true),
      db::IntOut(buffers.BsmId3, true), db::IntOut(buffers.BsmId4, true),
      db::IntOut(buffers.BsmId5, true), db::IntOut(buffers.BsmId6, true),
      db::IntOut(buffers.BsmId7, true), db::IntOut(buffers.BsmId8, true),
      db::IntOut(buffers.BsmKor, true),
  });
  if (rc == 0) CopyToRecord(record);
  return rc;
}

// BsmDat takes the database's time; the key and BsmAsw only pick the row.
int Bsm_PKeyUpd(const BsmRecord& record) {
  FillKey(record);
  FillValues(record);
  db::SqlExecute(Bsm_Update_Savepoint_Sql);
  int rc = db::SqlExecute(Bsm_PKeyUpd_Sql, {
      db::TextIn(buffers.BsmBsz, 4), db::IntIn(buffers.BsmSzb),
      db::IntIn(buffers.BsmJhr), db::IntIn(buffers.BsmMon),
      db::IntIn(buffers.BsmWoc), db::IntIn(buffers.BsmJwc),
      db::IntIn(buffers.BsmTag), db::TextIn(buffers.BsmTtp, 4),
      db::IntIn(buffers.BsmSol), db::IntIn(buffers.BsmMin),
      db::IntIn(buffers.BsmMax), db::IntIn(buffers.BsmIst),
      db::TextIn(buffers.BsmPlg, 6), db::IntIn(buffers.BsmHtg),
      db::IntIn(buffers.BsmHtv), db::IntIn(buffers.BsmHtn),
      db::IntIn(buffers.BsmKng), db::IntIn(buffers.BsmFkt),
      db::IntIn(buffers.BsmAsw), db::IntIn(buffers.BsmSta),
      db::TextIn(buffers.BsmErf, 51), db::IntIn(buffers.BsmId1),
      db::IntIn(buffers.BsmId2), db::IntIn(buffers.BsmId3),
      db::IntIn(buffers.BsmId4), db::IntIn(buffers.BsmId5),
      db::IntIn(buffers.BsmId6), db::IntIn(buffers.BsmId7),
      db::IntIn(buffers.BsmId8), db::IntIn(buffers.BsmKor),
      // the where clause
      db::TextIn(buffers.BsmBdt, 11), db::TextIn(buffers.BsmEso, 6),
      db::TextIn(buffers.BsmEsa, 6), db::IntIn(buffers.BsmSzv),
      db::IntIn(buffers.BsmAsw),
  });
  if (rc != 0) db::SqlExecute(Bsm_Update_Rollback_Sql);
  return rc;
}
