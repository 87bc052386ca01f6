#include "logic/print.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "data/tables.h"
#include "dbf/expr.h"
#include "dbf/session.h"
#include "logic/money.h"
#include "logic/rules.h"
#include "logic/texts.h"
#include "logic/valuation.h"
#include "os/inifile.h"
#include "report/rpreport.h"

namespace zentor::logic {
namespace {

using dbf::Value;
using Outcome = PrintResult::Outcome;

std::string rtrim(std::string s) {
  const size_t e = s.find_last_not_of(' ');
  s.erase(e == std::string::npos ? 0 : e + 1);
  return s;
}

std::string twoDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// What step 3 learns from the positions: whether any carries a discount, and their value sum in
// cents (for the totals handed to the report).
struct PositionFacts {
  bool anyDiscount = false;
  int64_t sumCents = 0;
};

PositionFacts readPositions(const Context& ctx, uint32_t auftrag) {
  PositionFacts f;
  data::DBAPO apo(ctx.env);
  if (!apo.ok() || !apo->selectTag("AUFTRAG").ok()) return f;
  const std::string key = dbf::dbaseStr(auftrag, 8);
  if (!apo->setScope(key, key).ok() || !apo->goTop().ok()) return f;
  double discounts = 0;
  while (!apo->eof()) {
    const double rabatt = apo->getNumber("RABATT");
    discounts += rabatt;
    f.sumCents += apoWertCents(apo->getNumber("MENGE"), apo->getNumber("VKP"), rabatt);
    if (!apo->skip(1).ok()) break;
  }
  f.anyDiscount = discounts != 0;
  apo.close();
  return f;
}

std::string belegSetting(const Context& ctx, const char* key) {
  return ctx.ini ? ctx.ini->GETSTRING("BELEG", key) : std::string();
}

std::string numberingMessage(const NumberingResult& n) {
  switch (n.outcome) {
    case NumberingResult::Outcome::kExhausted:
      return exhaustedMessage(n.counter);
    case NumberingResult::Outcome::kFailed:
      return "Die Belegnummer konnte nicht gespeichert werden. Der Beleg wurde nicht gedruckt.\n" +
             n.error.toString();
    default:
      return {};  // a refused lock or a document numbered elsewhere: the caller knows, or nothing to say
  }
}

}  // namespace

std::string deliveryAddress(const dbf::Table& ako) {
  return rtrim(ako.getString("LSADR1")) + "\r\n" + rtrim(ako.getString("LSADR2")) + "\r\n" +
         rtrim(ako.getString("LSADR3")) + "\r\n" + rtrim(ako.getString("LSADR4"));
}

bool markerFileExists(const Context& ctx, const std::string& name) {
  if (ctx.env.session) return !ctx.env.session->findFile(name).empty();
  std::error_code ec;
  for (const std::string& dir : {ctx.env.programDir, ctx.env.dataDir}) {
    if (!dir.empty() && std::filesystem::exists(dir + name, ec)) return true;
  }
  return false;
}

PrintResult DOAUFTRAGPRINT(report::RpReport& report, const Context& ctx, const CompanyValues& company,
                           void* owner, dbf::Table& ako, bool final, bool complete,
                           const std::string& printerName, bool deliveryNote) {
  PrintResult result;

  // 1. The customer; missing, every customer value is empty.
  data::DBKND knd(ctx.env);
  bool customerFound = false;
  if (knd.ok() && knd->selectTag("KNDNR").ok()) {
    const auto kndnr = static_cast<uint32_t>(ako.getNumber("KNDNR"));
    customerFound = knd->seek(dbf::dbaseStr(kndnr, 5), false).ok() && knd->found();
  }

  // 2. The number and date to print, or nothing at all.
  result.numbering = numberingStep(ctx, ako, knd, final, deliveryNote);
  if (!result.numbering.print()) {
    result.outcome = Outcome::kStopped;
    result.message = numberingMessage(result.numbering);
    result.status = result.numbering.error;
    knd.close();
    return result;
  }
  if (!result.numbering.error.ok()) {
    // Numbered, but the posting broke off: the document stands and is printed; the user must
    // know that the statistics are incomplete, since a reprint will not post again.
    result.message = "Der Beleg wurde nummeriert, aber nicht vollständig in die Umsätze gebucht.\n" +
                     result.numbering.error.toString();
    result.status = result.numbering.error;
  }

  // 3. The positions.
  const auto auftrag = static_cast<uint32_t>(ako.getNumber("AUFTRAG"));
  const PositionFacts positions = readPositions(ctx, auftrag);

  // 4. The number is on disk before the report opens, whatever the user does in the preview.
  if (auto s = ako.commit(); !s.ok() && result.status.ok()) result.status = s;
  ako.unlock();

  // 5. The report.
  std::vector<report::TableEntry> tables;
  for (const ReportTable& t : GETDBFARR(ctx)) tables.push_back({t.alias, t.file, t.index});
  report.Init(owner, ctx.env.programDir + "AUFTRAG.RPT", ctx.env.dataDir, tables);

  if (!report.IsValid()) {
    result.outcome = Outcome::kNoReport;  // no message: the file is the administrator's business
  } else {
    // 6. The values every order report may read, in their fixed order, then our totals.
    const std::string typ = ako.getString("TYP");
    const std::string mode = ako.getString("NTOBTO");
    const double mwst = ako.getNumber("MWST");
    const auto text = [&](const char* field) { return customerFound ? knd->getString(field) : std::string(); };

    report.SetVariableValue("nMandant", Value(company.nMandant));
    report.SetVariableValue("nFirma", Value(company.nFirma));
    report.SetVariableValue("cLogo", Value(ctx.env.programDir + "Firma" + twoDigits(company.nFirma) + ".jpg"));
    report.SetVariableValue("lKomplett", Value::logical(complete));
    report.SetVariableValue("lRabatt", Value::logical(positions.anyDiscount));
    report.SetVariableValue("nAuftrag", Value(auftrag));
    report.SetVariableValue("nNrKreis", Value(result.numbering.number));
    report.SetVariableValue("dDatum", Value(result.numbering.date));
    report.SetVariableValue("cWerbetext1", Value(belegSetting(ctx, "Werbetext1")));
    report.SetVariableValue("cWerbetext2", Value(belegSetting(ctx, "Werbetext2")));
    report.SetVariableValue("cAdresse", Value(belegSetting(ctx, "Adresse")));
    report.SetVariableValue("cBank1", Value(belegSetting(ctx, "Bank1")));
    report.SetVariableValue("cBank2", Value(belegSetting(ctx, "Bank2")));
    report.SetVariableValue("cGericht", Value(belegSetting(ctx, "Gericht")));
    if (typ == "A") report.SetVariableValue("cAngebotstext", Value(GETANGEBOTSTEXT(ctx)));
    report.SetVariableValue("cZiel", Value(GETZIEL(text("ZIEL"))));
    report.SetVariableValue("cKndAdresse", Value(customerFound ? GETREADR(ctx, knd.table()) : std::string()));
    report.SetVariableValue("cKndLand", Value(text("LAND")));
    report.SetVariableValue("cKndUid", Value(text("UIDNR")));
    report.SetVariableValue("cAkoArt", Value(deliveryNote ? std::string("L") : typ));
    report.SetVariableValue("dAkoBedatum", Value(ako.getDate("BEDATUM")));
    report.SetVariableValue("cAkoBedurch", Value(ako.getString("BEDURCH")));
    report.SetVariableValue("cAkoVersand", Value(ako.getString("VERSAND")));
    report.SetVariableValue("nAkoMwst", Value(mwst));
    report.SetVariableValue("cAkoLsadr", Value(deliveryAddress(ako)));
    report.SetVariableValue("cAkoNtoBto", Value(mode));
    // The report language rounds in binary floating point; the totals must agree to the cent with
    // what the accounting transfer books, so they come from the same computation.
    const OrderTotals totals = orderTotalsFromSum(positions.sumCents, mode, mwst);
    report.SetVariableValue("nSumme", Value(totals.positionsSum));
    report.SetVariableValue("nNetto", Value(totals.net));
    report.SetVariableValue("nMwstBetrag", Value(totals.vat));
    report.SetVariableValue("nBrutto", Value(totals.gross));

    // 7. Output.
    dbf::Status out;
    if (printerName.empty() || markerFileExists(ctx, "NOPRINT")) {
      out = report.PrintPreview("AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "Bericht in Bearbeitung...");
    } else {
      report.PrinterDevice().SetPrinterByName(printerName);
      out = report.Print("AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "Bericht in Bearbeitung ...");
    }
    if (!out.ok()) {
      result.outcome = Outcome::kOutputFailed;
      if (!result.message.empty()) result.message += "\n\n";
      result.message += "Der Beleg konnte nicht ausgegeben werden.\n" + out.toString();
      result.status = out;
    }
  }

  // 8., 9.
  report.Close();
  knd.close();
  return result;
}

PrintResult DOAUFTRAGPRINT(const Context& ctx, const CompanyValues& company, void* owner, dbf::Table& ako,
                           bool final, bool complete, const std::string& printerName, bool deliveryNote) {
  report::RpReport report;
  return DOAUFTRAGPRINT(report, ctx, company, owner, ako, final, complete, printerName, deliveryNote);
}

}  // namespace zentor::logic
