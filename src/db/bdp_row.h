#pragma once
// The transfer buffers of one duty-plan row, shared in shape by the day walk, its write-back
// and the range walk. Texts are as wide as the statements announce them to the database.
#include <cstdint>

#include "db/bdp.h"

struct BdpRowBuffers {
  char BdpPnr[9];
  char BdpBdt[11];
  char BdpEso[6];
  char BdpEsa[6];
  int32_t BdpSzv;
  int32_t BdpSzb;
  char BdpBsz[4];
  int32_t BdpJhr;
  int32_t BdpMon;
  int32_t BdpWoc;
  int32_t BdpJwc;
  char BdpTtp[4];
  int32_t BdpTag;
  int32_t BdpZtv;
  int32_t BdpZtb;
  char BdpKst[11];
  char BdpFc1[4];
  char BdpFc2[4];
  char BdpFc3[4];
  char BdpOso[6];
  char BdpOsa[6];
  int32_t BdpOsv;
  int32_t BdpOsb;
  char BdpOsz[4];
  int32_t BdpOsw;
  char BdpPlg[6];
  int32_t BdpAsw;
  int32_t BdpAwp;
  char BdpSts[2];
  int32_t BdpFnr;
  int32_t BdpSta;
  char BdpTxt[61];
  char BdpErf[51];
  int32_t BdpAzt;
  int32_t BdpId1;
  int32_t BdpId2;
  int32_t BdpId3;
  int32_t BdpId4;
  int32_t BdpId5;
  int32_t BdpId6;
  int32_t BdpId7;
  int32_t BdpId8;
  int32_t BdpRnd;
  int32_t BdpAkt;
  int32_t BdpBnr;
  int32_t BdpPau;
  int32_t BdpBzt;
};

// Every column but the change time stamp BdpDat, which no statement carries.
void FillBdpBuffers(BdpRowBuffers& buffers, const BdpRecord& record);
void CopyBdpBuffers(const BdpRowBuffers& buffers, BdpRecord& record);
