// Text builders of the order logic that need no table: payment terms, export fields, quoting,
// the invoice address from a customer's fields, the order of VAT rates.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dbf/value.h"

namespace zentor::logic {

// The payment-terms sentence for a code "days/discount/net days", e.g. "14/2/30" ->
// "Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto"; "0/0/30" ->
// "Zahlbar innerhalb von 30 Tagen netto"; no net days -> "".
std::string GETZIEL(std::string_view code);

// One field of a semicolon-separated export line, always ending with ";". Text: trimmed, every ";"
// removed. Number: whole numbers as plain digits, otherwise `decimals` places (2 when -1) with a
// decimal comma, no thousands separator; with blankZero a 0 gives "". Date: ddmmyyyy. Anything
// else: "".
std::string RZL(const dbf::Value& v, bool blankZero = false, int decimals = -1);

// The text in single quotes, for filter expressions.
std::string QUOTE(std::string_view text);

// The customer fields GETREADR reads, as stored (fixed width, trailing blanks kept).
struct AddressFields {
  std::string anrede, titel, vorname, zuname, zusatz, strasse, plz, ort;
};
// The six invoice-address lines joined with CR LF (no break after the sixth); `country` is the
// country's name (GETLAND), possibly empty.
std::string invoiceAddress(const AddressFields& f, std::string_view country);

struct VatRateRecord {
  double rate = 0;
  bool isDefault = false;
  bool active = false;
};
// The active rates, the ones marked default first (higher first), then the others ascending; not
// made unique.
std::vector<double> orderVatRates(const std::vector<VatRateRecord>& records);

// Numbers written the program's way for texts: no blanks, no decimals for whole numbers, otherwise
// a decimal comma.
std::string numberText(double v);

}  // namespace zentor::logic
