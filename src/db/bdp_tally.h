#pragma once
// The six counts of duty-plan rows that make up a staffing slot's recount.
#include <cstdint>

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

// Stops at the first failing count; its field and every later one keep their entry values.
int Bdp_SlotTally(BdpTally& tally);
// The same counts as part of a series of independent queries; `tally` must live until the
// series has run.
void Bdp_SlotTally_Add(db::SqlSeries& series, BdpTally& tally);
