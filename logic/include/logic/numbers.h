// The arithmetic of the number ranges, apart from the tables that hold them.
#pragma once

#include <cstdint>

namespace zentor::logic {

// The five counters of the number-range record.
enum class Counter { AUNR, ANNR, LSNR, RENR, GUNR };
const char* counterField(Counter c);  // "AUNR", ...

struct NumberDraw {
  uint32_t number = 0;    // the number issued; 0 when a yearly range is exhausted
  bool yearly = false;    // the mode that was used
  bool storeCounter = false;  // whether the counter takes `number`
};

// The next number of a counter holding `counter`, with the settings flag `yearlyFlag` (only
// deciding for a counter that is still 0) and the two-digit year `yy` of today. A counter of
// 1,000,000 or more is yearly, any other non-zero counter sequential. Yearly: same year -> +1,
// an earlier year (or 0) -> yy000001, running number 999999 reached -> 0 for the rest of the year.
// A counter already in a later year than `yy` (a workstation whose clock lags at New Year) goes
// on counting in that year instead of restarting `yy`, which would issue numbers twice.
NumberDraw nextNumber(uint32_t counter, bool yearlyFlag, int yy);

// The last four digits of the eight-digit zero-padded form of `number`.
uint32_t GETKRSOHNE(uint32_t number);
// year text x 10,000 + n (the year text read as a number).
uint32_t GETKRSMIT(const char* yearText, uint32_t n);

// The account number after the highest one in use, moved into the four customer-account blocks
// 20000-29999, 40000-49999, 60000-69999, 80000-89999 (beyond the last block: 20000 again).
uint32_t fibuAfter(uint32_t highestInUse);

// Account class of an accounting account: 5, 6, 9, 10 for the four blocks, else 0.
int GETKONTENART(uint32_t account);

}  // namespace zentor::logic
