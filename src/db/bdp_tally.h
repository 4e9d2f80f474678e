#pragma once
// The six counts of duty-plan rows that make up a staffing slot's recount.
#include <cstdint>

#include "db/statement_list.h"

struct BdpTally {
  char BdpBdt[9];
  char BdpEso[6];
  char BdpEsa[6];
  int32_t BdpAsw;
  int32_t BdpSzv;
  int32_t BdpSzb;
  int32_t cntExact;
  int32_t cntPartial;
  int32_t cntTotal;
  int32_t cntFc1;
  int32_t cntFc2;
  int32_t cntFc3;
  int32_t cntUM;
};

namespace db {
class SqlSeries;
}

// The counts go out when `series` runs; `tally` must live until then. They stop at the first
// failing count, whose field and every later one keep their entry values. `status` gets 0
// once all six are taken, else the status that stopped them.
void Bdp_SlotTally(db::SqlSeries& series, BdpTally& tally, int& status);

// The module's statements that reach a table.
void BdpTally_Statements(std::vector<db::NamedStatement>& statements);
