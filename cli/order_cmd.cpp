// zentorctl order finalise|totals: the numbering and posting of a final print, and an order's
// totals, without the windows. finalise does what a final print does before its report opens,
// so it numbers and posts exactly once however often it is run.

#include <string>
#include <vector>

#include "appcore/format.h"
#include "company_ctx.h"
#include "data/tables.h"
#include "dbf/expr.h"
#include "logic/finalise.h"
#include "logic/valuation.h"

namespace zentor::cli {
namespace {

// Positions `ako` (tag AUFTRAG) on order `auftrag`; false, after writing the line, when it is not
// there.
bool seekOrder(const Invocation& inv, data::DBAKO& ako, uint32_t auftrag, int* status) {
  if (!ako.ok()) {
    *status = inv.fail("cannot open AKO: " + ako.status().toString());
    return false;
  }
  dbf::Status s = ako->selectTag("AUFTRAG");
  if (s.ok()) s = ako->seek(dbf::dbaseStr(auftrag, 8), false);
  if (!s.ok()) {
    *status = inv.fail("cannot search AKO: " + s.toString());
    return false;
  }
  if (!ako->found()) {
    *status = inv.fail("order " + std::to_string(auftrag) + " does not exist");
    return false;
  }
  return true;
}

int runFinalise(const Invocation& inv) {
  const auto auftrag = parseOrderNumber(inv.args.positional[0]);
  if (!auftrag) return inv.fail("ORDER must be an order number of 1 to 8 digits");
  const bool deliveryNote = inv.args.has("delivery-note");
  std::unique_ptr<CompanySession> company;
  if (int s = openCompany(inv, "order finalise", &company); s != kExitOk) return s;
  const logic::Context& ctx = company->context();

  data::DBAKO ako(ctx.env);
  int status = kExitOk;
  if (!seekOrder(inv, ako, *auftrag, &status)) return status;
  // The order window offers the delivery-note print for invoices only.
  if (deliveryNote && ako->getString("TYP").substr(0, 1) != "R") {
    return inv.fail("order " + std::to_string(*auftrag) + " is no invoice, so it has no delivery note");
  }
  data::DBKND knd(ctx.env);
  if (!knd.ok()) return inv.fail("cannot open KND: " + knd.status().toString());
  knd->selectTag("KNDNR");

  const logic::NumberingResult r = logic::numberingStep(ctx, ako.table(), knd, true, deliveryNote);
  // What the print function does once the positions are read: the number is stored whatever the
  // report does afterwards.
  const dbf::Status committed = ako->commit();
  ako->unlock();
  knd.close();

  using Outcome = logic::NumberingResult::Outcome;
  switch (r.outcome) {
    case Outcome::kPrint:
      break;
    case Outcome::kLocked:
      inv.err << "zentorctl: Auftrag kann nicht gesperrt werden\n";
      return kExitProblems;
    case Outcome::kTaken:
      inv.err << "zentorctl: Der Beleg wurde inzwischen an einem anderen Arbeitsplatz nummeriert.\n";
      return kExitProblems;
    case Outcome::kExhausted:
      inv.err << "zentorctl: " << logic::exhaustedMessage(r.counter) << '\n';
      return kExitProblems;
    case Outcome::kFailed:
      inv.err << "zentorctl: Die Belegnummer konnte nicht gespeichert werden (" << r.error.toString()
              << "). Der Beleg wurde nicht gedruckt.\n";
      return kExitProblems;
  }
  if (!committed.ok()) return inv.fail("cannot write order " + std::to_string(*auftrag) + ": " + committed.toString());
  inv.out << r.number << ' ' << app::formatDate(r.date) << '\n';
  if (!r.error.ok()) {
    // Numbered but not completely posted: the number stands, the posting is not repeated.
    inv.err << "zentorctl: Die Buchung des Belegs ist unvollständig (" << r.error.toString() << ").\n";
    return kExitProblems;
  }
  return kExitOk;
}

int runTotals(const Invocation& inv) {
  const auto auftrag = parseOrderNumber(inv.args.positional[0]);
  if (!auftrag) return inv.fail("ORDER must be an order number of 1 to 8 digits");
  std::unique_ptr<CompanySession> company;
  if (int s = openCompany(inv, "order totals", &company); s != kExitOk) return s;
  const logic::Context& ctx = company->context();

  data::DBAKO ako(ctx.env);
  int status = kExitOk;
  if (!seekOrder(inv, ako, *auftrag, &status)) return status;
  const std::string mode = ako->getString("NTOBTO");
  const double vat = ako->getNumber("MWST");
  ako.close();

  data::DBAPO apo(ctx.env, true, true);
  if (!apo.ok()) return inv.fail("cannot open APO: " + apo.status().toString());
  const std::string key = dbf::dbaseStr(*auftrag, 8);
  dbf::Status s = apo->selectTag("AUFTRAG");
  if (s.ok()) s = apo->setScope(key, key);
  std::vector<logic::PositionAmounts> positions;
  if (s.ok()) {
    s = apo->eval([&](dbf::Table& t) {
      positions.push_back({t.getNumber("MENGE"), t.getNumber("VKP"), t.getNumber("RABATT")});
      return true;
    });
  }
  if (!s.ok()) return inv.fail("cannot read the positions of order " + std::to_string(*auftrag) + ": " + s.toString());
  const logic::OrderTotals totals = logic::orderTotals(positions, mode, vat);
  inv.out << "Netto " << app::formatNumber(totals.net, 2, true) << '\n'
          << "MwSt " << app::formatNumber(totals.vat, 2, true) << '\n'
          << "Brutto " << app::formatNumber(totals.gross, 2, true) << '\n';
  return kExitOk;
}

}  // namespace

std::vector<Command> orderCommands() {
  return {
      {"order finalise",
       "ORDER",
       "numbers (and posts) the order's document as a final print does; prints number and date",
       1,
       1,
       {{"delivery-note", "", "numbers the delivery note of the invoice instead"}, yesOption()},
       runFinalise},
      {"order totals", "ORDER", "net, VAT and gross of the order", 1, 1, {yesOption()}, runTotals},
  };
}

}  // namespace zentor::cli
