#pragma once
// A fresh database per test on each backend, the runtime connected to it, the log in a
// temporary directory and the run-wide deviation record initialised; helpers that fill the
// duty plan, the staffing slots, the day codes and the calendar and read the results back.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/backend_test.h"
#include "common/test_db.h"

namespace plan_test {

using testing_db::Cell;

struct DutyRow {
  std::string pnr = "P1";
  std::string date = "20240305";
  std::string eso = "ST1";
  std::string esa = "A";
  int szv = 600;
  int szb = 1400;
  std::optional<int> ztv = 600;
  std::optional<int> ztb = 1400;
  int asw = 1;
  int akt = 1;
  Cell sts = "P";
  std::string fc1 = "   ";
  std::string fc2 = "   ";
  std::string fc3 = "   ";
};

struct SlotRow {
  std::string date = "20240305";
  std::string eso = "ST1";
  std::string esa = "A";
  int szv = 600;
  int szb = 1400;
  int asw = 1;
  std::string bsz = "F1";
  int sol = 1;
  int min = 1;
  int max = 2;
  int fkt = 77;
  int counts = 9;  // BsmIst, BsmHtg, BsmHtv, BsmHtn and BsmKor: a value no recount gives here
};

class PlanDbTest : public testing_db::BackendTest {
 protected:
  void SetUp() override;

  void Insert(const DutyRow& row);
  void Insert(const SlotRow& slot);
  void InsertDayCodes(const std::string& pnr, const std::string& day, const Cell& tgb,
                      const Cell& htv, const Cell& htn);
  void InsertCalendarDay(const std::string& day);
  // Commits the runtime's work, as the request loop does after each request, so that the
  // admin connection sees it.
  void CommitRequest();

  // "BsmIst BsmHtg BsmHtv BsmHtn BsmKor BsmFkt" of the slot with that BsmEso.
  std::string SlotState(const std::string& eso);
  // One "BsmEso:ErrFnr" per deviation row, in the order of their running numbers.
  std::vector<std::string> Deviations();
  // BdpFc1|BdpFc2|BdpFc3 of each duty row of the person, by BdpSzv and BdpAkt.
  std::vector<std::string> DayCodesOfRows(const std::string& pnr);
  long DutyRowCount(const std::string& where = "1=1");
  // One "function|message|code" per log entry.
  std::vector<std::string> LogLines();

 private:
  std::unique_ptr<testing_db::TempDir> logDir_;
  std::string logPath_;
};

}  // namespace plan_test

#define INSTANTIATE_PLAN_DB_TEST(suite) INSTANTIATE_BACKEND_TEST(suite)
