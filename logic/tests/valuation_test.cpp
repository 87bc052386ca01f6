#include <gtest/gtest.h>

#include "logic/money.h"
#include "logic/valuation.h"

namespace zentor::logic {
namespace {

struct WertCase {
  double quantity, price, discount, expected;
};

TEST(ApoWert, RoundsTheExactDecimalValueHalfAwayFromZero) {
  const WertCase cases[] = {
      {3, 9.99, 10, 26.97},       // 29.97 x 0.9 = 26.973
      {0.5, 0.25, 0, 0.13},       // 0.125
      {-0.5, 0.25, 0, -0.13},     // -0.125 away from zero
      {0.5, 2.01, 0, 1.01},       // 1.005: the double product lies just below the half
      {0.5, -2.01, 0, -1.01},
      {1.5, 0.33, 0, 0.50},       // 0.495
      {0.1, 0.05, 0, 0.01},       // 0.005
      {2.5, 4.01, 0, 10.03},      // 10.025
      {1, 10.05, 10, 9.05},       // 9.045
      {0, 123.45, 5, 0},
      {12345.6, 99999.99, 0, 1234559876.54},  // 1234559876.543456 -> widest realistic inputs stay exact
      {1, 12.00, 0, 12.00},
      {3, 0.35, 50, 0.53},        // 0.525
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(GETAPOWERT(c.quantity, c.price, c.discount), c.expected)
        << c.quantity << " x " << c.price << " - " << c.discount << "%";
  }
}

TEST(ApoWert, NegativeDiscountRaisesTheValue) {
  EXPECT_DOUBLE_EQ(GETAPOWERT(1, 10, -5), 10.50);
}

TEST(UmsNto, GrossPositionsAreBroughtToNetOneByOne) {
  EXPECT_DOUBLE_EQ(GETUMSNTO("B", 20, 1, 12.00, 0), 10.00);
  EXPECT_DOUBLE_EQ(GETUMSNTO("N", 20, 1, 12.00, 0), 12.00);
  EXPECT_DOUBLE_EQ(GETUMSNTO(" ", 20, 1, 12.00, 0), 10.00);  // anything but "N" is gross
  EXPECT_DOUBLE_EQ(GETUMSNTO("B", 20, 1, 0.03, 0), 0.03);    // 0.025 -> 0.03
  EXPECT_DOUBLE_EQ(GETUMSNTO("B", 10, -1, 5.50, 0), -5.00);
}

TEST(ArticlePrice, ConvertsBetweenNetAndGrossOrLeavesThePriceAlone) {
  EXPECT_EQ(articlePriceForOrder(10.00, 'N', 'B', 20), 12.00);
  EXPECT_EQ(articlePriceForOrder(12.00, 'B', 'N', 20), 10.00);
  EXPECT_EQ(articlePriceForOrder(10.00, 'B', 'B', 20), 10.00);
  EXPECT_EQ(articlePriceForOrder(10.00, 'N', 'N', 20), 10.00);
  EXPECT_EQ(articlePriceForOrder(0.05, 'N', 'B', 10), 0.06);   // 0.055
  EXPECT_EQ(articlePriceForOrder(1.00, 'B', 'N', 13), 0.88);   // 0.884955...
  EXPECT_FALSE(articlePriceForOrder(10.00, ' ', 'N', 20).has_value());
  EXPECT_FALSE(articlePriceForOrder(10.00, 'X', 'B', 20).has_value());
}

TEST(ArticlePrice, OrderDiscountWinsUnlessZero) {
  EXPECT_EQ(discountForNewPosition(5, 10), 5);
  EXPECT_EQ(discountForNewPosition(0, 10), 10);
}

struct TotalsCase {
  const char* mode;
  double vat;
  std::vector<PositionAmounts> positions;
  double net, vatAmount, gross;
};

TEST(OrderTotals, NetAndGrossOrders) {
  const TotalsCase cases[] = {
      {"N", 20, {{1, 10.00, 0}, {1, 5.55, 0}}, 15.55, 3.11, 18.66},
      {"B", 20, {{1, 10.00, 0}, {1, 5.55, 0}}, 12.96, 2.59, 15.55},
      {"N", 0, {{2, 9.99, 0}}, 19.98, 0, 19.98},
      {"N", 20, {}, 0, 0, 0},
      {"N", 20, {{1, -10.00, 0}, {1, 5.55, 0}}, -4.45, -0.89, -5.34},  // -0.89: half away from zero
      {"B", 13, {{0.5, 2.01, 0}}, 0.89, 0.12, 1.01},
  };
  for (const auto& c : cases) {
    const OrderTotals t = orderTotals(c.positions, c.mode, c.vat);
    EXPECT_DOUBLE_EQ(t.net, c.net) << c.mode;
    EXPECT_DOUBLE_EQ(t.vat, c.vatAmount) << c.mode;
    EXPECT_DOUBLE_EQ(t.gross, c.gross) << c.mode;
  }
}

TEST(OrderTotals, SumOfShownPositionValues) {
  // Each position is rounded before it is summed: three positions of 0.125 show 0.13 each.
  const std::vector<PositionAmounts> p = {{0.5, 0.25, 0}, {0.5, 0.25, 0}, {0.5, 0.25, 0}};
  const OrderTotals t = orderTotals(p, "N", 20);
  EXPECT_DOUBLE_EQ(t.positionsSum, 0.39);
  EXPECT_DOUBLE_EQ(t.net, 3 * GETAPOWERT(0.5, 0.25, 0));
}

TEST(OrderTotals, CustomerGrossEqualsTheGrossTotal) {
  EXPECT_DOUBLE_EQ(customerGross(toCents(20.00), "N", 20), 24.00);
  EXPECT_DOUBLE_EQ(customerGross(toCents(12.00), "B", 20), 12.00);
  for (const char* mode : {"N", "B"}) {
    const int64_t s = toCents(15.55);
    EXPECT_DOUBLE_EQ(customerGross(s, mode, 20), orderTotalsFromSum(s, mode, 20).gross) << mode;
  }
}

TEST(Money, RoundDivHalvesAwayFromZero) {
  EXPECT_EQ(roundDiv(5, 10), 1);
  EXPECT_EQ(roundDiv(-5, 10), -1);
  EXPECT_EQ(roundDiv(4, 10), 0);
  EXPECT_EQ(roundDiv(-4, 10), 0);
  EXPECT_EQ(roundDiv(15, -10), -2);
  EXPECT_DOUBLE_EQ(round2(1.005), 1.01);
  EXPECT_DOUBLE_EQ(round2(-1.005), -1.01);
  EXPECT_DOUBLE_EQ(round2(26.973), 26.97);
}

}  // namespace
}  // namespace zentor::logic
