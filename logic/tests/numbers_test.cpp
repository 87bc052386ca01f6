#include <gtest/gtest.h>

#include "logic/numbers.h"

namespace zentor::logic {
namespace {

struct DrawCase {
  uint32_t counter;
  bool flag;
  int yy;
  uint32_t number;
  bool yearly;
};

TEST(NextNumber, ModesYearsAndExhaustion) {
  const DrawCase cases[] = {
      {0, true, 25, 25000001, true},          // fresh, yearly numbering asked for
      {25000001, true, 25, 25000002, true},
      {24000017, false, 25, 25000001, true},  // the counter decides, not the key
      {17, true, 25, 18, false},              // sequential counter, key says yearly
      {0, false, 25, 1, false},
      {999999, false, 25, 1000000, false},    // sequential reaches a million ...
      {1000000, false, 25, 25000001, true},   // ... and is read as yearly from then on
      {25999998, true, 25, 25999999, true},
      {25999999, true, 25, 0, true},          // exhausted for the rest of the year
      {25999999, true, 26, 26000001, true},   // the next year starts again
      {26000005, true, 25, 26000006, true},   // a clock still in the old year continues the new one
      {26999999, true, 25, 0, true},
  };
  for (const auto& c : cases) {
    const NumberDraw d = nextNumber(c.counter, c.flag, c.yy);
    EXPECT_EQ(d.number, c.number) << c.counter;
    EXPECT_EQ(d.yearly, c.yearly) << c.counter;
    EXPECT_EQ(d.storeCounter, c.number != 0) << c.counter;
  }
}

TEST(NumberHelpers, KrsConversions) {
  EXPECT_EQ(GETKRSOHNE(25000123), 123u);
  EXPECT_EQ(GETKRSOHNE(7), 7u);
  EXPECT_EQ(GETKRSMIT("25", 7), 250007u);
}

TEST(NumberHelpers, AccountBlocks) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 20000},     {19999, 20000}, {20000, 20001}, {29999, 40000}, {39999, 40000},
      {49999, 60000}, {59999, 60000}, {69999, 80000}, {79999, 80000}, {89998, 89999},
      {89999, 20000},
  };
  for (const auto& [highest, next] : cases) EXPECT_EQ(fibuAfter(highest), next) << highest;
  const std::pair<uint32_t, int> classes[] = {{20000, 5}, {29999, 5}, {30000, 0}, {45000, 6},
                                              {60000, 9}, {89999, 10}, {90000, 0}, {0, 0}};
  for (const auto& [account, cls] : classes) EXPECT_EQ(GETKONTENART(account), cls) << account;
}

}  // namespace
}  // namespace zentor::logic
