#include "table_test.h"

#include <sstream>
#include <utility>
#include <vector>

#include "db/runtime/runtime.h"

namespace table_test {
namespace {

// A text host variable announces its array's own width, and a flag after it stays the indicator
// instead of becoming a width of 1.
char buffer[27];
static_assert(db::TextIn(buffer).size == 27 && db::TextOut(buffer).size == 27);
static_assert(db::TextOut(buffer, true).size == 27 && db::TextOut(buffer, true).indicator);

using Column = std::pair<std::string, std::string>;

const std::vector<Column>& DutyDefaults() {
  static const std::vector<Column> columns = [] {
    std::vector<Column> list;
    std::istringstream text(
        "BdpPnr='P0000001' BdpBdt='2024-03-15_00:00:00' BdpEso='ESO01' BdpEsa='ESA01' BdpSzv=600 "
        "BdpAkt=1 BdpAsw=2 BdpSzb=1400 BdpBsz='BSZ' BdpJhr=2024 BdpMon=3 BdpWoc=11 BdpJwc=202411 "
        "BdpTtp='TTP' BdpTag=15 BdpZtv=610 BdpZtb=1390 BdpKst='KST4567890' BdpFc1='F1a' "
        "BdpFc2='F2b' BdpFc3='F3c' BdpOso='OSO01' BdpOsa='OSA01' BdpOsv=21 BdpOsb=22 BdpOsz='OSZ' "
        "BdpOsw=23 BdpPlg='PLG01' BdpAwp=24 BdpSts='P' BdpFnr=25 BdpSta=26 BdpErf='ERF' BdpAzt=27 "
        "BdpId1=31 BdpId2=32 BdpId3=33 BdpId4=34 BdpId5=35 BdpId6=36 BdpId7=37 BdpId8=38 "
        "BdpRnd=41 BdpBnr=42 BdpPau=43 BdpBzt=44");
    for (std::string item; text >> item;) {
      size_t equals = item.find('=');
      std::string value = item.substr(equals + 1);
      if (size_t blank = value.find('_'); blank != std::string::npos) value[blank] = ' ';
      list.emplace_back(item.substr(0, equals), value);
    }
    list.emplace_back("BdpTxt", "'" + std::string(59, 't') + "T'");  // full width
    return list;
  }();
  return columns;
}

}  // namespace

void TableTest::InsertDutyRow(const std::map<std::string, std::string>& changes) {
  std::string names, values;
  for (const auto& [name, value] : DutyDefaults()) {
    auto change = changes.find(name);
    names += (names.empty() ? "" : ",") + name;
    values += (values.empty() ? "" : ",") + (change != changes.end() ? change->second : value);
  }
  database->Exec("insert into Rvk730Bdp (" + names + ") values (" + values + ")");
}

testing_db::Rows TableTest::DutyRows() {
  std::string names = "BdpDat";
  for (const auto& column : DutyDefaults()) names += "," + column.first;
  return database->Query("select " + names +
                         " from Rvk730Bdp order by BdpBdt, BdpSzv, BdpAkt, BdpAsw, BdpPnr");
}

std::string Interpreted(const BdpRecord& r) {
  std::ostringstream text;
  text << r.BdpPnr << " " << r.BdpBdt << " " << r.BdpEso << "/" << r.BdpEsa << " " << r.BdpSzv
       << "-" << r.BdpSzb << " " << r.BdpZtv << "-" << r.BdpZtb << " " << r.BdpFc1 << "|"
       << r.BdpFc2 << "|" << r.BdpFc3 << " " << r.BdpSts << " " << r.BdpAsw << " " << r.BdpAkt;
  return text.str();
}

}  // namespace table_test
