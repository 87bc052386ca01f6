#include "logic/valuation.h"

#include "logic/money.h"

namespace zentor::logic {
namespace {

// Scales used for the exact products: four decimals for quantity and price, two for percentages.
constexpr int kQtyDec = 4, kPriceDec = 4, kPctDec = 2;

Int128 pow10(int n) {
  Int128 r = 1;
  while (n-- > 0) r *= 10;
  return r;
}

int64_t pct(double p) { return toScaled(p, kPctDec); }  // percent x 100

}  // namespace

int64_t apoWertCents(double quantity, double price, double discount) {
  const Int128 q = toScaled(quantity, kQtyDec);
  const Int128 p = toScaled(price, kPriceDec);
  const Int128 c = pct(100.0) - pct(discount);  // (100 - discount) x 100
  // The value in cents is quantity x price x (100 - discount) / 100 x 100, so q p c carries exactly
  // the scale factors of the three inputs on top of it.
  return static_cast<int64_t>(roundDiv(q * p * c, pow10(kQtyDec + kPriceDec + kPctDec)));
}

double GETAPOWERT(double quantity, double price, double discount) {
  return fromCents(apoWertCents(quantity, price, discount));
}

double GETUMSNTO(std::string_view priceMode, double vatRate, double quantity, double price, double discount) {
  const int64_t v = apoWertCents(quantity, price, discount);
  if (isNetMode(priceMode)) return fromCents(v);
  const Int128 m = pct(vatRate);
  return fromCents(static_cast<int64_t>(roundDiv(static_cast<Int128>(v) * pct(100.0), pct(100.0) + m)));
}

std::optional<double> articlePriceForOrder(double articlePrice, char articleMode, char orderMode, double vatRate) {
  const Int128 p = toScaled(articlePrice, kPriceDec);
  const Int128 hundred = pct(100.0), m = pct(vatRate);
  if (articleMode == orderMode) return articlePrice;
  // Both conversions give cents: p is price x 10^4, so divide by 100 more.
  if (articleMode == 'N' && orderMode == 'B') {
    return fromCents(static_cast<int64_t>(roundDiv(p * (hundred + m), hundred * 100)));
  }
  if (articleMode == 'B' && orderMode == 'N') {
    return fromCents(static_cast<int64_t>(roundDiv(p * hundred, (hundred + m) * 100)));
  }
  return std::nullopt;
}

OrderTotals orderTotalsFromSum(int64_t s, std::string_view priceMode, double vatRate) {
  const Int128 hundred = pct(100.0), m = pct(vatRate);
  OrderTotals t;
  t.positionsSum = fromCents(s);
  if (isNetMode(priceMode)) {
    const auto vat = static_cast<int64_t>(roundDiv(static_cast<Int128>(s) * m, hundred));
    t.net = fromCents(s);
    t.vat = fromCents(vat);
    t.gross = fromCents(s + vat);
  } else {
    const auto net = static_cast<int64_t>(roundDiv(static_cast<Int128>(s) * hundred, hundred + m));
    t.gross = fromCents(s);
    t.net = fromCents(net);
    t.vat = fromCents(s - net);
  }
  return t;
}

OrderTotals orderTotals(const std::vector<PositionAmounts>& positions, std::string_view priceMode, double vatRate) {
  int64_t s = 0;
  for (const auto& p : positions) s += apoWertCents(p.quantity, p.price, p.discount);
  return orderTotalsFromSum(s, priceMode, vatRate);
}

double customerGross(int64_t s, std::string_view priceMode, double vatRate) {
  if (!isNetMode(priceMode)) return fromCents(s);
  const Int128 hundred = pct(100.0), m = pct(vatRate);
  return fromCents(static_cast<int64_t>(roundDiv(static_cast<Int128>(s) * (hundred + m), hundred)));
}

}  // namespace zentor::logic
