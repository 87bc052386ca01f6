// zentorctl krs next: draws a number from a company's number ranges exactly as the program does
// (under the KRS record lock, in the mode the counter or FDT.INI decides), for scripts and for
// testing several workstations against each other.

#include <cctype>
#include <string>

#include "company_ctx.h"
#include "logic/krs.h"

namespace zentor::cli {
namespace {

std::optional<logic::Counter> parseCounter(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (auto c : {logic::Counter::AUNR, logic::Counter::RENR, logic::Counter::GUNR, logic::Counter::ANNR,
                 logic::Counter::LSNR}) {
    if (name == logic::counterField(c)) return c;
  }
  return std::nullopt;
}

int runNext(const Invocation& inv) {
  const auto counter = parseCounter(inv.args.positional[0]);
  if (!counter) {
    return inv.fail("unknown counter '" + inv.args.positional[0] + "' (AUNR, RENR, GUNR, ANNR or LSNR)");
  }
  std::unique_ptr<CompanySession> company;
  if (int s = openCompany(inv, "krs next", &company); s != kExitOk) return s;
  dbf::Status error;
  const uint32_t n = logic::GETNEXTNUMMER(company->context(), *counter, &error);
  if (n == 0 && !error.ok()) return inv.fail("no number drawn: " + error.toString());
  inv.out << n << '\n';
  if (n == 0) {
    inv.err << "zentorctl: Keine Nummern mehr verfügbar\n";
    return kExitProblems;
  }
  return kExitOk;
}

}  // namespace

std::vector<Command> krsCommands() {
  return {
      {"krs next",
       "COUNTER",
       "draws the next number of AUNR, RENR, GUNR, ANNR or LSNR; 0 and status 1 when the range is used up",
       1,
       1,
       {yesOption()},
       runNext},
  };
}

}  // namespace zentor::cli
