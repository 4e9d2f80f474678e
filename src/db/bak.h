#pragma once
// RVKSTAMM.Rvk133Bak: the calendar, one row per day.
#include <cstdint>

struct CalendarDay {
  char BakDtm[9];
  int32_t BakJhr;
  int32_t BakMon;
  int32_t BakTag;
  int32_t BakWch;
  int32_t BakWtg;
  int32_t BakJtg;
  int32_t BakDays;
};

int Bak_DayRead(CalendarDay& day);
// Mode 2: the calendar day `days` after `date` into `resultDate` (at least 9 bytes), or
// `date` itself when the lookup fails; returns the lookup's status. Other modes: 0.
int Bak_Calc(int32_t mode, int32_t days, const char* date, char* resultDate);
