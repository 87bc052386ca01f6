// Exact decimal arithmetic for money.
//
// Amounts are held as doubles everywhere (that is what the tables store), but every rounding the
// program does is computed on the exact decimal value of its inputs: a quantity with one decimal,
// a price with two and a whole percentage are scaled to integers first, so 0.5 x 2.01 = 1.005 is
// seen as exactly half a cent and rounds to 1.01, where the binary double 1.00499999... would not.
#pragma once

#include <cstdint>

namespace zentor::logic {

// 128-bit intermediate products keep quantity x price x percentage exact at any field width.
__extension__ typedef __int128 Int128;

// Integer division rounding halves away from zero. REQUIRES: den != 0.
Int128 roundDiv(Int128 num, Int128 den);

// The decimal value a stored double stands for, scaled by 10^decimals (nearest integer).
// REQUIRES: 0 <= decimals <= 6.
int64_t toScaled(double v, int decimals);

// Cents of an amount, and the amount of cents, as the nearest double.
inline int64_t toCents(double amount) { return toScaled(amount, 2); }
inline double fromCents(int64_t cents) { return static_cast<double>(cents) / 100.0; }

// round(v) to two decimals, halves away from zero, taking v as the decimal it stands for with up to
// four decimals (anything finer is first rounded to four decimals).
double round2(double v);

}  // namespace zentor::logic
