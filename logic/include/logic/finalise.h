// Finalising an order: the numbering step that runs before a document is printed, and the
// posting of an invoice or credit note into the sales table of the year and the statistics.
#pragma once

#include <cstdint>
#include <string>

#include "data/tables.h"
#include "dbf/value.h"
#include "logic/context.h"
#include "logic/numbers.h"

namespace zentor::logic {

// The counter of an order's own document: ANNR for "A", GUNR for "G", RENR for every other kind.
Counter documentCounter(const std::string& typ);

struct NumberingResult {
  enum class Outcome {
    kPrint,       // print `number` and `date`
    kLocked,      // the order record could not be locked: print nothing, nothing changed
    kTaken,       // another workstation numbered the document meanwhile: print nothing here
    kExhausted,   // the year's range is used up: nothing stored, posted or printed
    kFailed,      // storing the number failed (see `error`): nothing posted or printed
  };
  Outcome outcome = Outcome::kPrint;
  uint32_t number = 0;  // 0 for a non-final print of a document without number
  dbf::Date date;
  Counter counter = Counter::RENR;
  dbf::Status error;

  bool print() const { return outcome == Outcome::kPrint; }
};

// The numbering step. `ako` is positioned on the order; `knd` is open with tag KNDNR (the posting
// locks the customer there, and the lock lasts until the caller closes it). A stored number is
// printed as it is; without one a non-final print gets 0 and today; a final print locks the order
// once, draws the number, stores number and date and, for invoices and credit notes, posts.
// The order record stays locked; the caller commits and unlocks it before the report opens.
NumberingResult numberingStep(const Context& ctx, dbf::Table& ako, data::DBKND& knd, bool final,
                              bool deliveryNote);

// Posts one document: every position of the order into the sales table of today's year (article
// positions only), the article statistics (waiting for each article's lock) and the customer's
// gross turnover (only when its lock is granted at once; the lock is kept). Signs by kind: "R"
// positive, every other kind negative in the sales table and article statistics; the customer's
// turnover always grows by the gross total.
dbf::Status DOAUFTRAGSAVE(const Context& ctx, dbf::Table& ako, data::DBKND& knd, uint32_t number,
                          uint32_t kndnr, uint32_t auftrag, const std::string& typ);

// The German message for an exhausted range, for the callers that show it.
std::string exhaustedMessage(Counter c);

}  // namespace zentor::logic
