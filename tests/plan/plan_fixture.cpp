#include "plan_fixture.h"

#include "common/program_run.h"
#include "db/runtime/fault_seam.h"
#include "db/runtime/runtime.h"
#include "db/work.h"
#include "log/message_log.h"
#include "plan/recount.h"

namespace plan_test {
namespace {

std::string Quoted(const Cell& text) { return text ? "'" + *text + "'" : "NULL"; }
std::string Number(const std::optional<int>& value) {
  return value ? std::to_string(*value) : "NULL";
}
// yyyymmdd as the fixture's date columns take it.
std::string Date(const std::string& day) {
  return "'" + day.substr(0, 4) + "-" + day.substr(4, 2) + "-" + day.substr(6, 2) + " 00:00:00'";
}
std::string Text(const Cell& cell) { return cell ? *cell : "NULL"; }

}  // namespace

void PlanDbTest::SetUp() {
  BackendTest::SetUp();
  if (HasFatalFailure()) return;
  logDir_ = std::make_unique<testing_db::TempDir>();
  logPath_ = logDir_->Path() + "/plan.log";
  SetLogFile(7, logPath_.c_str());
  Err_Init("PG001", RunErrRecord(), "ERFTEXT", "20240101120000", "JOBKENNUNG", 4);
  db::FaultSeam_Clear();
}

void PlanDbTest::CommitRequest() { EXPECT_EQ(Work_Commit(), 0); }

void PlanDbTest::Insert(const DutyRow& row) {
  db->Exec("insert into Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpSzb, BdpZtv, BdpZtb, "
           "BdpAsw, BdpAkt, BdpSts, BdpFc1, BdpFc2, BdpFc3) values (" +
           Quoted(row.pnr) + ", " + Date(row.date) + ", " + Quoted(row.eso) + ", " +
           Quoted(row.esa) + ", " + Number(row.szv) + ", " + Number(row.szb) + ", " +
           Number(row.ztv) + ", " + Number(row.ztb) + ", " + Number(row.asw) + ", " +
           Number(row.akt) + ", " + Quoted(row.sts) + ", " + Quoted(row.fc1) + ", " +
           Quoted(row.fc2) + ", " + Quoted(row.fc3) + ")");
}

void PlanDbTest::Insert(const SlotRow& slot) {
  const std::string counts = Number(slot.counts);
  db->Exec("insert into Rvk725Bsm (BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmSzb, BsmAsw, BsmBsz, BsmSol, "
           "BsmMin, BsmMax, BsmIst, BsmHtg, BsmHtv, BsmHtn, BsmKor, BsmFkt) values (" +
           Date(slot.date) + ", " + Quoted(slot.eso) + ", " + Quoted(slot.esa) + ", " +
           Number(slot.szv) + ", " + Number(slot.szb) + ", " + Number(slot.asw) + ", " +
           Quoted(slot.bsz) + ", " + Number(slot.sol) + ", " + Number(slot.min) + ", " +
           Number(slot.max) + ", " + counts + ", " + counts + ", " + counts + ", " + counts + ", " +
           counts + ", " + Number(slot.fkt) + ")");
}

void PlanDbTest::InsertDayCodes(const std::string& pnr, const std::string& day, const Cell& tgb,
                                const Cell& htv, const Cell& htn) {
  db->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb, TagHtv, TagHtn) values (" + Quoted(pnr) +
           ", " + Date(day) + ", " + Quoted(tgb) + ", " + Quoted(htv) + ", " + Quoted(htn) + ")");
}

void PlanDbTest::InsertCalendarDay(const std::string& day) {
  db->Exec("insert into RVKSTAMM.Rvk133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, "
           "BakJtg) values (" + Date(day) + ", " + day.substr(0, 4) + ", " + day.substr(4, 2) +
           ", " + day.substr(6, 2) + ", 10, 2, 65)");
}

std::string PlanDbTest::SlotState(const std::string& eso) {
  testing_db::Rows rows = db->Query(
      "select BsmIst, BsmHtg, BsmHtv, BsmHtn, BsmKor, BsmFkt from Rvk725Bsm where BsmEso='" + eso +
      "'");
  if (rows.size() != 1) return "<" + std::to_string(rows.size()) + " rows>";
  std::string state;
  for (const Cell& cell : rows[0]) state += (state.empty() ? "" : " ") + Text(cell);
  return state;
}

std::vector<std::string> PlanDbTest::Deviations() {
  std::vector<std::string> result;
  for (const auto& row : db->Query("select ErrEso, ErrFnr from Rvk746Err order by ErrLfn")) {
    result.push_back(Text(row[0]) + ":" + Text(row[1]));
  }
  return result;
}

std::vector<std::string> PlanDbTest::DayCodesOfRows(const std::string& pnr) {
  std::vector<std::string> result;
  for (const auto& row : db->Query("select BdpFc1, BdpFc2, BdpFc3 from Rvk730Bdp where BdpPnr='" +
                                   pnr + "' order by BdpSzv, BdpAkt")) {
    result.push_back(Text(row[0]) + "|" + Text(row[1]) + "|" + Text(row[2]));
  }
  return result;
}

long PlanDbTest::DutyRowCount(const std::string& where) {
  return db->Count("select count(*) from Rvk730Bdp where " + where);
}

std::vector<std::string> PlanDbTest::LogLines() {
  testing_run::ParsedLog log = testing_run::ReadLog(logPath_);
  EXPECT_TRUE(log.whole) << log.problem;
  std::vector<std::string> lines;
  for (const auto& entry : log.entries) {
    lines.push_back(entry.func + "|" + entry.message + "|" + std::to_string(entry.code));
  }
  return lines;
}

}  // namespace plan_test
