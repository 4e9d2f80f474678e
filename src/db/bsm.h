#pragma once
// Rvk725Bsm: one staffing row per slot (date, BsmEso, BsmEsa, BsmSzv, BsmAsw).
#include <cstddef>
#include <cstdint>

#include "db/err.h"

// The one description of a staffing row, for the record and the transfer buffers, which the
// statements announce with a date 11 and a time stamp 27 wide.
template <size_t DateWidth, size_t StampWidth>
struct BsmRow {
  char BsmBdt[DateWidth];
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
  char BsmDat[StampWidth];
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

using BsmRecord = BsmRow<10, 15>;

// Both go out when `batch` runs, their status to `status`. A read with status 0 fills `record`,
// which must live until then (a NULL outside the key as "" or 0); a failed one leaves it be.
void Bsm_PKeyRead(db::Batch& batch, BsmRecord& record, int& status);
void Bsm_PKeyUpd(db::Batch& batch, const BsmRecord& record, int& status);

// A recounted slot saved together with its deviation row, when it has one (`deviation` not
// null): they do not depend on each other and go out together.
struct SlotSave {
  int saved = 0;
  int recorded = 0;
};
SlotSave Bsm_SaveSlot(const BsmRecord& record, const ErrRecord* deviation);

// The module's statements that reach a table.
void Bsm_Statements(std::vector<db::NamedStatement>& statements);
