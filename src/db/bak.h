#pragma once
// RVKSTAMM.Rvk133Bak: the calendar, one row per day.
#include <cstddef>
#include <cstdint>

#include "db/statement_list.h"

// The one description of a calendar day. The caller's day and the lookup's transfer buffers
// share it and differ only in the width of the date, which the lookup announces as 11.
template <size_t DateWidth>
struct CalendarDayRow {
  char BakDtm[DateWidth];
  int32_t BakJhr;
  int32_t BakMon;
  int32_t BakTag;
  int32_t BakWch;
  int32_t BakWtg;
  int32_t BakJtg;
  int32_t BakDays;  // the shift from BakDtm that the lookup asks for
};

using CalendarDay = CalendarDayRow<9>;

int Bak_DayRead(CalendarDay& day);
// Mode 2: the calendar day `days` after `date` into `resultDate`, or `date` itself when the
// lookup fails; returns the lookup's status. Other modes: 0.
int Bak_Calc(int32_t mode, int32_t days, const char* date, char (&resultDate)[9]);

// The module's statements that reach a table.
void Bak_Statements(std::vector<db::NamedStatement>& statements);
