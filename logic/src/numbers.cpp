#include "logic/numbers.h"

#include <cstdlib>
#include <string>

namespace zentor::logic {

const char* counterField(Counter c) {
  switch (c) {
    case Counter::AUNR: return "AUNR";
    case Counter::ANNR: return "ANNR";
    case Counter::LSNR: return "LSNR";
    case Counter::RENR: return "RENR";
    case Counter::GUNR: return "GUNR";
  }
  return "";
}

NumberDraw nextNumber(uint32_t counter, bool yearlyFlag, int yy) {
  NumberDraw d;
  // The eight-digit form's first two characters are counter / 1,000,000 (a counter cannot exceed
  // eight digits: the field is N 8,0).
  d.yearly = counter != 0 ? (counter / 1000000) > 0 : yearlyFlag;
  if (!d.yearly) {
    d.number = counter + 1;
    d.storeCounter = true;
    return d;
  }
  const uint32_t prefix = counter / 1000000;
  const uint32_t running = counter % 1000000;
  if (running >= 999999) {
    // Exhausted for its year. In a later year the range starts again: that is what keeps the
    // counter from returning 0 forever once the year has turned.
    if (counter != 0 && prefix < static_cast<uint32_t>(yy)) {
      d.number = static_cast<uint32_t>(yy) * 1000000 + 1;
      d.storeCounter = true;
    }
    return d;
  }
  // A counter of a later year than today's is continued, never restarted: a workstation whose
  // clock is still in the old year at New Year would otherwise issue the old year's numbers again.
  d.number = (counter != 0 && prefix >= static_cast<uint32_t>(yy)) ? counter + 1
                                                                    : static_cast<uint32_t>(yy) * 1000000 + 1;
  d.storeCounter = true;
  return d;
}

uint32_t GETKRSOHNE(uint32_t number) { return number % 10000; }

uint32_t GETKRSMIT(const char* yearText, uint32_t n) {
  return static_cast<uint32_t>(std::strtoul(yearText, nullptr, 10)) * 10000 + n;
}

uint32_t fibuAfter(uint32_t highestInUse) {
  uint32_t r = highestInUse + 1;
  if (r > 89999) r = 0;
  if (r >= 70000 && r <= 79999) r = 80000;
  if (r >= 50000 && r <= 59999) r = 60000;
  if (r >= 30000 && r <= 39999) r = 40000;
  if (r < 20000) r = 20000;
  return r;
}

int GETKONTENART(uint32_t a) {
  if (a >= 20000 && a <= 29999) return 5;
  if (a >= 40000 && a <= 49999) return 6;
  if (a >= 60000 && a <= 69999) return 9;
  if (a >= 80000 && a <= 89999) return 10;
  return 0;
}

}  // namespace zentor::logic
