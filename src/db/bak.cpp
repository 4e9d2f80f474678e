#include "db/bak.h"

#include "common/text_field.h"
#include "db/transfer_buffer.h"
#include "db/runtime/runtime.h"

static const char* Bak_DayRead_Sql =
    "select TO_CHAR(BakDtm,'yyyymmdd') ,BakJhr ,BakMon ,BakTag ,BakWch ,BakWtg ,BakJtg into :b0,"
    ":b1,:b2,:b3,:b4,:b5,:b6  from RVKSTAMM.Rvk133Bak where "
    "BakDtm=(TO_DATE(:b7,'yyyymmdd')+:b8)";

namespace {

// The statement's transfer buffers, as wide as announced to the database: the start date and
// the shift go in, the day found comes out.
char startDate[11];
CalendarDayRow<11> buffers;

constexpr int32_t kDateShift = 2;

}  // namespace

int Bak_DayRead(CalendarDay& day) {
  TransferField(startDate, day.BakDtm);
  buffers.BakDays = day.BakDays;
  int rc = db::SqlExecute(Bak_DayRead_Sql, {
      db::TextIn(startDate), db::IntIn(buffers.BakDays),
  }, {
      db::TextOut(buffers.BakDtm), db::IntOut(buffers.BakJhr), db::IntOut(buffers.BakMon),
      db::IntOut(buffers.BakTag), db::IntOut(buffers.BakWch), db::IntOut(buffers.BakWtg),
      db::IntOut(buffers.BakJtg),
  });
  if (rc != 0) return rc;
  CopyField(day.BakDtm, buffers.BakDtm);
  day.BakJhr = buffers.BakJhr;
  day.BakMon = buffers.BakMon;
  day.BakTag = buffers.BakTag;
  day.BakWch = buffers.BakWch;
  day.BakWtg = buffers.BakWtg;
  day.BakJtg = buffers.BakJtg;
  return rc;
}

// A failed lookup leaves the calendar day at the start date, so the result is never empty.
int Bak_Calc(int32_t mode, int32_t days, const char* date, char (&resultDate)[9]) {
  if (mode != kDateShift) return 0;
  CalendarDay day{};
  CopyField(day.BakDtm, date);
  day.BakDays = days;
  int rc = Bak_DayRead(day);
  CopyField(resultDate, day.BakDtm);
  return rc;
}

void Bak_Statements(std::vector<db::NamedStatement>& statements) {
  statements.insert(statements.end(), {
      {"Bak_DayRead", Bak_DayRead_Sql},
  });
}
