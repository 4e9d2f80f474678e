#pragma once
// Rvk746Err: deviation rows.
#include <cstdint>

struct ErrRecord {
  char ErrPlg[6];
  char ErrKng[6];
  int32_t ErrLfn;
  char ErrPnr[9];
  char ErrEso[6];
  char ErrEsa[6];
  char ErrKnz[6];
  char ErrBdt[9];
  int32_t ErrZtv;
  int32_t ErrZtb;
  int32_t ErrFnr;
  char ErrErf[51];
  char ErrJbd[15];
  char ErrJbk[33];
};

int Err_Insert(const ErrRecord& record);
