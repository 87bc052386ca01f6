#include "logic/money.h"

#include <cmath>

namespace zentor::logic {

Int128 roundDiv(Int128 num, Int128 den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  // Halves away from zero: compare twice the remainder with the divisor.
  const bool negative = num < 0;
  const Int128 a = negative ? -num : num;
  Int128 q = a / den;
  if ((a % den) * 2 >= den) ++q;
  return negative ? -q : q;
}

int64_t toScaled(double v, int decimals) {
  static constexpr double kPow[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  return std::llround(v * kPow[decimals]);
}

double round2(double v) { return fromCents(static_cast<int64_t>(roundDiv(toScaled(v, 4), 100))); }

}  // namespace zentor::logic
