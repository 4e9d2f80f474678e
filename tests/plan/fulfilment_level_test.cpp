// The fulfilment level and the net staffing it rests on: pure arithmetic, no database.
#include <gtest/gtest.h>

#include <climits>

#include "plan/recount.h"

namespace {

struct LevelCase {
  const char* name;
  int32_t ist, htg, htv, htn;  // net staffing = ist - htg - min(htv, htn)
  int32_t sol, min, max;
  int32_t level;
};

BsmRecord Slot(const LevelCase& c) {
  BsmRecord slot{};
  slot.BsmIst = c.ist;
  slot.BsmHtg = c.htg;
  slot.BsmHtv = c.htv;
  slot.BsmHtn = c.htn;
  slot.BsmSol = c.sol;
  slot.BsmMin = c.min;
  slot.BsmMax = c.max;
  slot.BsmFkt = 12345;
  return slot;
}

TEST(FulfilmentLevel, FollowsTheShortfallAndTheLimits) {
  const LevelCase cases[] = {
      {"on target", 4, 0, 0, 0, 4, 2, 6, 0},
      {"short, above minimum", 3, 0, 0, 0, 4, 2, 6, -20},
      {"short, at minimum", 2, 0, 0, 0, 4, 2, 6, -40},
      {"below minimum, truncated toward zero", 1, 0, 0, 0, 4, 2, 6, -133},
      {"empty slot below minimum", 0, 0, 0, 0, 4, 2, 6, -166},
      {"over target within maximum", 5, 0, 0, 0, 4, 2, 6, 90},
      {"over target at maximum", 6, 0, 0, 0, 4, 2, 6, 90},
      {"over maximum", 7, 0, 0, 0, 4, 2, 6, 190},
      {"all zero", 0, 0, 0, 0, 0, 0, 0, 0},
      {"all zero, one over", 1, 0, 0, 0, 0, 0, 0, 190},
      {"target equals minimum", 0, 0, 0, 0, 3, 3, 3, -175},
      {"empty slot, target 2 minimum 1", 0, 0, 0, 0, 2, 1, 4, -150},
      {"smaller reducing count subtracted", 5, 1, 2, 1, 3, 0, 9, 0},
      {"minimum above target", 1, 0, 0, 0, 2, 5, 9, -166},
      {"maximum below target", 5, 0, 0, 0, 4, 0, 2, 190},
      {"large target, small excess", 101, 0, 0, 0, 100, 0, 200, 90},
      {"large maximum, small excess", 151, 0, 0, 0, 150, 0, 150, 190},
      {"very large target", 1001, 0, 0, 0, 1000, 0, 5000, 90},
      {"target at the integer limit", 0, 0, 0, 0, INT32_MAX, 0, INT32_MAX, -99},
      // Corrupt rows: a limit of -1 would make the divisor 0; it is taken as 1. Below -1 the
      // divisor is negative and the formula holds as it stands.
      {"minimum -1", 0, 3, 0, 0, 0, -1, 0, -300},
      {"target -1", 0, 3, 0, 0, -1, -5, 0, -200},
      {"target -2", 0, 4, 0, 0, -2, -5, 0, 200},
      {"minimum -3", 0, 4, 0, 0, 0, -3, 0, -50},
      {"minimum -4, truncated toward zero", 0, 5, 0, 0, 0, -4, 0, -67},
      {"negative divisor, shortfall beyond 32 bits", INT32_MIN, 0, 0, 0, -2, INT32_MIN, 0, INT32_MAX},
  };
  for (const LevelCase& c : cases) {
    BsmRecord slot = Slot(c);
    Bsm_CalcFkt(slot);
    EXPECT_EQ(slot.BsmFkt, c.level) << c.name;
  }
}

TEST(NetStaffing, SubtractsTheSmallerReducingCountAndSaturates) {
  const struct {
    int32_t ist, htg, htv, htn, net;
  } cases[] = {
      {5, 1, 2, 1, 3},
      {3, 0, 2, 0, 3},
      {0, 1, 0, 0, -1},
      {INT32_MAX, -5, 0, 0, INT32_MAX},
      {INT32_MIN, 5, 0, 0, INT32_MIN},
  };
  for (const auto& c : cases) {
    BsmRecord slot{};
    slot.BsmIst = c.ist;
    slot.BsmHtg = c.htg;
    slot.BsmHtv = c.htv;
    slot.BsmHtn = c.htn;
    EXPECT_EQ(NetStaffing(slot), c.net) << c.ist << " " << c.htg << " " << c.htv << " " << c.htn;
  }
}

}  // namespace
