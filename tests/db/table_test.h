#pragma once
// A fresh database per test on each backend with the runtime connected to it, and duty-plan
// rows whose columns all hold values of their own.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "common/backend_test.h"
#include "common/test_db.h"
#include "db/bdp.h"

namespace table_test {

class TableTest : public testing_db::BackendTest {
 protected:

  // A duty row with `changes` (column to SQL literal) over the defaults, which are P0000001,
  // 20240315, ESO01/ESA01, BdpSzv 600, BdpSzb 1400, BdpAkt 1, BdpAsw 2, BdpZtv 610, BdpZtb 1390,
  // codes F1a/F2b/F3c, status P, 60 characters of BdpTxt and distinct values elsewhere.
  void InsertDutyRow(const std::map<std::string, std::string>& changes = {});
  // BdpDat and every column of the duty rows, in the order of date, start, BdpAkt, BdpAsw.
  testing_db::Rows DutyRows();

  std::unique_ptr<testing_db::TestDb>& database = db;
};

// The fields of a duty record that the program interprets, in the form
// "pnr date eso/esa szv-szb ztv-ztb fc1|fc2|fc3 sts asw akt".
std::string Interpreted(const BdpRecord& record);

#define INSTANTIATE_TABLE_TEST(Suite) INSTANTIATE_BACKEND_TEST(Suite)

}  // namespace table_test
