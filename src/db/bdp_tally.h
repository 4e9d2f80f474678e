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

int Bdp_SlotTally(BdpTally& tally);
