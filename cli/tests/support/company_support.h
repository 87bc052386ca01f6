// Helpers of the zentorctl tests that work on a company: reading tables through `zentorctl dbf
// dump` by field name, changing a number-range counter the way a rival workstation would, and
// keeping the conversion question from waiting for a terminal.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zentor::cli::test {

// One record of a dump, by field name (the catalogue's names), values as dbf dump shows them.
using Row = std::map<std::string, std::string>;

// Every live record of the table file `path` (its name without extension names the catalogue
// table: KND, AKO, UMS2026, ...), in natural order. Fails the test when the dump fails.
std::vector<Row> dumpRows(const std::string& path);

// The text of `zentorctl dbf dump` of every table file of `dir`, keyed by file name.
std::map<std::string, std::string> dumpAll(const std::string& dir);

// Sets counter `field` of the one KRS record of `dataDir` to `value`, under the record lock.
void setCounter(const std::string& dataDir, const std::string& field, uint32_t value);

// Makes the test process's standard input (which the zentorctl children inherit) empty, so no
// question can wait for a person, whatever terminal the tests were started from.
void detachStandardInput();

// Cents written as zentorctl writes money: "1.234,56", "-0,05".
std::string germanMoney(int64_t cents);

// Round(numerator / denominator) with halves away from zero. REQUIRES: denominator > 0.
int64_t roundedDiv(int64_t numerator, int64_t denominator);

// Whole tenths or hundredths of a dumped number ("12.5" -> 125 with scale 10); a blank field is 0.
int64_t scaled(const std::string& number, int scale);

}  // namespace zentor::cli::test
