// What an order's money amounts are: position values, net values for the statistics, article
// prices taken into an order, and order totals. Nothing here is stored; every caller computes from
// the stored quantities, prices, discounts and the order's VAT rate.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace zentor::logic {

// Position value = round(quantity x price x (100 - discount) / 100), halves away from zero, on the
// exact decimal values (quantity to 4 decimals, price to 4, discount to 2). In the order's price
// mode: net for "N", gross otherwise.
double GETAPOWERT(double quantity, double price, double discount);
int64_t apoWertCents(double quantity, double price, double discount);

// Net position value for the sales statistics: GETAPOWERT, and for any price mode but "N" the
// gross value brought to net: round(v x 100 / (100 + vatRate)).
double GETUMSNTO(std::string_view priceMode, double vatRate, double quantity, double price, double discount);

// Only the first character of a price mode counts; every test is made against "N".
inline bool isNetMode(std::string_view mode) { return !mode.empty() && mode.front() == 'N'; }

// The price an article brings into a position: unchanged when the article price mode equals the
// order's, net -> gross round(p x (100 + m) / 100), gross -> net round(p x 100 / (100 + m)); nullopt
// when the modes are no such pair (an empty or unknown setting): the price field is left alone.
std::optional<double> articlePriceForOrder(double articlePrice, char articleMode, char orderMode, double vatRate);

// The discount a new article position gets: the order discount unless it is 0, else the article's.
inline double discountForNewPosition(double orderDiscount, double articleDiscount) {
  return orderDiscount != 0 ? orderDiscount : articleDiscount;
}

struct PositionAmounts {
  double quantity = 0;
  double price = 0;
  double discount = 0;
};

struct OrderTotals {
  double net = 0;
  double vat = 0;
  double gross = 0;
  double positionsSum = 0;  // S: the sum of the (rounded) position values
};

// Net orders: net = S, VAT = round(S x m / 100), gross = S + VAT.
// Gross orders: gross = S, net = round(S x 100 / (100 + m)), VAT = S - net.
OrderTotals orderTotals(const std::vector<PositionAmounts>& positions, std::string_view priceMode, double vatRate);
OrderTotals orderTotalsFromSum(int64_t sumCents, std::string_view priceMode, double vatRate);

// The gross amount added to a customer's turnover at the first final print: S for gross orders,
// round(S x (100 + m) / 100) for net orders.
double customerGross(int64_t sumCents, std::string_view priceMode, double vatRate);

}  // namespace zentor::logic
