#pragma once
// Rvk740Pud: the queue of plan-update requests.
#include <cstdint>

struct PudRecord {
  char PudPnr[9];   // person number
  char PudDtm[15];  // request date yyyymmdd
  int32_t PudTyp;   // 1 single day, 2 date range
  int32_t PudKng;   // 1 pending, 3 done
  int32_t PudTxc;
  char PudPlg[6];   // planning group
  char PudErf[51];
  char PudDat[23];  // time stamp yyyymmddHH24MISS, identifies the row
};

int Pud_TSCur_Open(const char* planGroup);
int Pud_TSCur_Read(PudRecord& record);
int Pud_TSCur_Close();
int Pud_PKeyUpd(const PudRecord& record);
int Pud_KngDel(const char* planGroup, int32_t state);
