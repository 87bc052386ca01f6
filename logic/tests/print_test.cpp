#include <gtest/gtest.h>

#include <functional>

#include "data/tables.h"
#include "logic/print.h"
#include "logic/rules.h"
#include "os/inifile.h"
#include "report/recording.h"
#include "support/company.h"
#include "support/testenv.h"

namespace zentor::logic {
namespace {

using dbf::Value;
using dbf::ValueType;
using testing::addRecord;
using testing::Company;
using Outcome = PrintResult::Outcome;

// A recording report that lets a test look at the tables at the moment the report opens.
class WatchedReport : public report::RecordingRpReport {
 public:
  using RecordingRpReport::RecordingRpReport;
  std::function<void()> onInit;
  dbf::Status outputStatus;  // what PrintPreview and Print answer
  dbf::Status PrintPreview(const std::string& a, const std::string& b, const std::string& c,
                           const std::string& d) override {
    RecordingRpReport::PrintPreview(a, b, c, d);
    return outputStatus;
  }
  bool Init(void* owner, const std::string& reportPath, const std::string& directory,
            const std::vector<report::TableEntry>& tables) override {
    if (onInit) onInit();
    return RecordingRpReport::Init(owner, reportPath, directory, tables);
  }
  Value value(const std::string& name) const {
    for (const auto& [n, v] : variables()) {
      if (n == name) return v;
    }
    return Value();
  }
  bool has(const std::string& name) const {
    for (const auto& [n, v] : variables()) {
      if (n == name) return true;
    }
    return false;
  }
};

struct Pos {
  double menge, vkp;
  int rabatt = 0;
  uint32_t auftrag = 1;
};

// Customer 5 with terms and VAT id, article 7, order 1 of kind `typ` with the positions.
void makeOrder(Company& c, const char* typ, const std::vector<Pos>& positions, bool withCustomer = true) {
  c.ini->WRITESTRING("BELEG", "Werbetext1", "Tischlerei Gruber");
  c.ini->WRITESTRING("BELEG", "Werbetext2", "Möbel nach Maß");
  c.ini->WRITESTRING("BELEG", "Adresse", "Tischlerei Gruber · Hauptplatz 4 · 4020 Linz");
  c.ini->WRITESTRING("BELEG", "Bank1", "Raiffeisenbank Linz");
  c.ini->WRITESTRING("BELEG", "Bank2", "IBAN AT12 3456");
  c.ini->WRITESTRING("BELEG", "Gericht", "Landesgericht Linz");
  c.ini->WRITESTRING("BELEG", "Angebotstext", "Gültig vier Wochen.");
  c.ini->WRITESTRING("BELEG", "Grussformel", "Mit freundlichen Grüßen");
  c.ini->WRITESTRING("BELEG", "Unterschrift", "Franz Gruber");
  data::DBKND knd(c.ctx.env);
  if (withCustomer) {
    addRecord(knd.table(), {{"KNDNR", 5}, {"ZUNAME", "Huber"}, {"ORT", "Wels"}, {"LAND", "A"},
                            {"UIDNR", "ATU12345678"}, {"ZIEL", "14/2/30"}});
  }
  data::DBART art(c.ctx.env);
  addRecord(art.table(), {{"ARTNR", 7}, {"TXT", "Schraube"}});
  data::DBAKO ako(c.ctx.env);
  addRecord(ako.table(), {{"AUFTRAG", 1}, {"KNDNR", 5}, {"TYP", typ}, {"NTOBTO", "N"}, {"MWST", 20},
                          {"LSADR1", "Halle 2"}, {"BEDURCH", "Herr Maier"}, {"VERSAND", "KW 12"},
                          {"BEDATUM", dbf::Date::fromYmd(2025, 3, 10)}});
  data::DBAPO apo(c.ctx.env);
  int sort = 1;
  for (const Pos& p : positions) {
    addRecord(apo.table(), {{"AUFTRAG", p.auftrag}, {"ARTNR", 7}, {"MENGE", p.menge}, {"VKP", p.vkp},
                            {"RABATT", p.rabatt}, {"SORT", sort++}});
  }
}

struct Options {
  bool final = false;
  bool complete = true;
  std::string printer;
  bool deliveryNote = false;
};

PrintResult print(Company& c, report::RpReport& r, const Options& o = {}) {
  data::DBAKO ako(c.ctx.env);
  ako->goTop();
  return DOAUFTRAGPRINT(r, c.ctx, {3, 7}, nullptr, ako.table(), o.final, o.complete, o.printer, o.deliveryNote);
}

struct AkoState {
  double typnr, lsnr;
  dbf::Date typdatum, lsdatum;
};
AkoState akoState(Company& c) {
  data::DBAKO ako(c.ctx.env);
  ako->goTop();
  return {ako->getNumber("TYPNR"), ako->getNumber("LSNR"), ako->getDate("TYPDATUM"), ako->getDate("LSDATUM")};
}

size_t salesRecords(Company& c) {
  data::DBUMS ums(c.ctx.env, true, false, nullptr, 0, "2025");
  size_t n = 0;
  ums->eval([&](dbf::Table&) { return ++n, true; });
  return n;
}

TEST(Print, NonFinalPrintOfAnOpenInvoiceHandsEveryValueInOrder) {
  Company c;
  makeOrder(c, "R", {{2, 10.00}, {1, 5.55}});
  WatchedReport r;
  const PrintResult res = print(c, r);
  EXPECT_EQ(res.outcome, Outcome::kOutput);
  EXPECT_TRUE(res.message.empty());

  EXPECT_EQ(r.callNames().front(), "Init");
  ASSERT_GE(r.calls().size(), 3u);
  EXPECT_EQ(r.calls()[0].args[0], c.install.programDir + "AUFTRAG.RPT");
  EXPECT_EQ(r.calls()[0].args[1], c.install.dataDir);
  const std::vector<ReportTable> dbfs = GETDBFARR(c.ctx);
  ASSERT_EQ(r.tables().size(), dbfs.size());
  for (size_t i = 0; i < dbfs.size(); ++i) {
    EXPECT_EQ(r.tables()[i].alias, dbfs[i].alias);
    EXPECT_EQ(r.tables()[i].tablePath, dbfs[i].file);
    EXPECT_EQ(r.tables()[i].indexPath, dbfs[i].index);
  }

  const std::string knd = [&] {
    data::DBKND k(c.ctx.env);
    k->goTop();
    return GETREADR(c.ctx, k.table());
  }();
  const std::vector<std::pair<std::string, Value>> expected = {
      {"nMandant", Value(3)},
      {"nFirma", Value(7)},
      {"cLogo", Value(c.install.programDir + "Firma07.jpg")},
      {"lKomplett", Value::logical(true)},
      {"lRabatt", Value::logical(false)},
      {"nAuftrag", Value(1)},
      {"nNrKreis", Value(0)},
      {"dDatum", Value(c.today)},
      {"cWerbetext1", Value("Tischlerei Gruber")},
      {"cWerbetext2", Value("Möbel nach Maß")},
      {"cAdresse", Value("Tischlerei Gruber · Hauptplatz 4 · 4020 Linz")},
      {"cBank1", Value("Raiffeisenbank Linz")},
      {"cBank2", Value("IBAN AT12 3456")},
      {"cGericht", Value("Landesgericht Linz")},
      {"cZiel", Value("Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto")},
      {"cKndAdresse", Value(knd)},
      {"cKndLand", Value("A  ")},           // as stored, C(3)
      {"cKndUid", Value("ATU12345678 ")},   // as stored, C(12)
      {"cAkoArt", Value("R")},
      {"dAkoBedatum", Value(dbf::Date::fromYmd(2025, 3, 10))},
      {"cAkoBedurch", Value("Herr Maier" + std::string(15, ' '))},
      {"cAkoVersand", Value("KW 12" + std::string(20, ' '))},
      {"nAkoMwst", Value(20)},
      {"cAkoLsadr", Value("Halle 2\r\n\r\n\r\n")},
      {"cAkoNtoBto", Value("N")},
      // Ours, after the listed ones: 20.00 + 5.55 net at 20 %.
      {"nSumme", Value(25.55)},
      {"nNetto", Value(25.55)},
      {"nMwstBetrag", Value(5.11)},
      {"nBrutto", Value(30.66)},
  };
  EXPECT_EQ(r.variables(), expected);
  EXPECT_NE(knd.find("Huber"), std::string::npos);

  std::vector<std::string> names = {"Init", "IsValid"};
  names.insert(names.end(), expected.size(), "SetVariableValue");
  names.insert(names.end(), {"PrintPreview", "Close"});
  EXPECT_EQ(r.callNames(), names);
  EXPECT_EQ(r.calls()[names.size() - 2].args,
            (std::vector<std::string>{"AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "Bericht in Bearbeitung..."}));

  const AkoState s = akoState(c);
  EXPECT_EQ(s.typnr, 0);
  EXPECT_TRUE(s.typdatum.empty());
  EXPECT_EQ(salesRecords(c), 0u);
}

TEST(Print, ValueKindsFollowTheirNames) {
  // Whatever the values, a name's first letter tells its kind, which report files rely on.
  Company c;
  makeOrder(c, "A", {{1, 1.00}});
  WatchedReport r;
  print(c, r);
  ASSERT_FALSE(r.variables().empty());
  for (const auto& [name, v] : r.variables()) {
    SCOPED_TRACE(name);
    const ValueType want = name[0] == 'n'   ? ValueType::kNumeric
                           : name[0] == 'c' ? ValueType::kCharacter
                           : name[0] == 'd' ? ValueType::kDate
                                            : ValueType::kLogical;
    EXPECT_EQ(v.type(), want);
  }
}

TEST(Print, FirstFinalPrintStoresTheNumberBeforeTheReportOpens) {
  Company c;
  makeOrder(c, "R", {{2, 10.00}});
  WatchedReport r;
  AkoState atInit{};
  size_t salesAtInit = 0;
  r.onInit = [&] {
    atInit = akoState(c);  // read through another handle: on disk already
    salesAtInit = salesRecords(c);
  };
  const PrintResult res = print(c, r, {.final = true});
  EXPECT_EQ(res.outcome, Outcome::kOutput);
  EXPECT_EQ(res.numbering.number, 1u);
  EXPECT_EQ(atInit.typnr, 1);
  EXPECT_EQ(atInit.typdatum, c.today);
  EXPECT_EQ(salesAtInit, 1u);
  EXPECT_EQ(r.value("nNrKreis"), Value(1));
  EXPECT_EQ(r.value("dDatum"), Value(c.today));

  // A reprint another day, not final: the stored number and date, nothing posted again.
  c.today = dbf::Date::fromYmd(2025, 4, 2);
  WatchedReport again;
  print(c, again);
  EXPECT_EQ(again.value("nNrKreis"), Value(1));
  EXPECT_EQ(again.value("dDatum"), Value(dbf::Date::fromYmd(2025, 3, 15)));
  EXPECT_EQ(salesRecords(c), 1u);
}

TEST(Print, MissingReportFileStillNumbersAndPostsWithoutMessage) {
  // The real engine on a program directory without AUFTRAG.RPT, and a recording report that
  // answers invalid: the same outcome.
  for (bool realEngine : {true, false}) {
    SCOPED_TRACE(realEngine ? "real engine" : "recording report");
    Company c;
    makeOrder(c, "R", {{2, 10.00}});
    report::PageListOutput out;
    report::RecordingRpReport recording(false);
    report::RpReport real(out);
    report::RpReport& r = realEngine ? real : static_cast<report::RpReport&>(recording);
    const PrintResult res = print(c, r, {.final = true});
    EXPECT_EQ(res.outcome, Outcome::kNoReport);
    EXPECT_TRUE(res.message.empty());
    EXPECT_EQ(akoState(c).typnr, 1);
    EXPECT_EQ(salesRecords(c), 1u);
    EXPECT_TRUE(out.deliveries.empty());
    if (!realEngine) {
      EXPECT_EQ(recording.callNames(), (std::vector<std::string>{"Init", "IsValid", "Close"}));
    }
  }
}

TEST(Print, DeliveryNote) {
  Company c;
  makeOrder(c, "R", {{2, 10.00}});
  {
    WatchedReport r;  // not final, before it was numbered
    print(c, r, {.deliveryNote = true});
    EXPECT_EQ(r.value("cAkoArt"), Value("L"));
    EXPECT_EQ(r.value("nNrKreis"), Value(0));
    EXPECT_EQ(r.value("dDatum"), Value(c.today));
    EXPECT_EQ(akoState(c).lsnr, 0);
  }
  {
    WatchedReport r;  // final: LSNR drawn, nothing posted, the invoice stays open
    const PrintResult res = print(c, r, {.final = true, .deliveryNote = true});
    EXPECT_EQ(res.numbering.counter, Counter::LSNR);
    EXPECT_EQ(r.value("nNrKreis"), Value(1));
    const AkoState s = akoState(c);
    EXPECT_EQ(s.lsnr, 1);
    EXPECT_EQ(s.lsdatum, c.today);
    EXPECT_EQ(s.typnr, 0);
    EXPECT_EQ(salesRecords(c), 0u);
  }
  c.today = dbf::Date::fromYmd(2025, 3, 20);
  {
    WatchedReport r;  // later, not final: the stored number and date
    print(c, r, {.deliveryNote = true});
    EXPECT_EQ(r.value("nNrKreis"), Value(1));
    EXPECT_EQ(r.value("dDatum"), Value(dbf::Date::fromYmd(2025, 3, 15)));
    EXPECT_EQ(r.value("cAkoArt"), Value("L"));
  }
}

TEST(Print, QuotationTextOnlyForQuotations) {
  for (const char* typ : {"A", "R", "G"}) {
    SCOPED_TRACE(typ);
    Company c;
    makeOrder(c, typ, {{1, 1.00}});
    WatchedReport r;
    print(c, r);
    EXPECT_EQ(r.value("cAkoArt"), Value(typ));
    if (std::string(typ) == "A") {
      EXPECT_EQ(r.value("cAngebotstext"), Value("Gültig vier Wochen.\r\n\r\nMit freundlichen Grüßen\r\nFranz Gruber"));
    } else {
      EXPECT_FALSE(r.has("cAngebotstext"));
    }
  }
}

TEST(Print, DiscountFlagLooksAtThisOrdersPositionsOnly) {
  struct Case {
    const char* name;
    std::vector<Pos> positions;
    bool lRabatt;
  };
  const Case cases[] = {
      {"no discount", {{1, 10.00}, {2, 3.00}}, false},
      {"one position with 5 %", {{1, 10.00}, {2, 3.00, 5}}, true},
      {"a discount on another order", {{1, 10.00}, {1, 3.00, 10, 2}}, false},
      {"no positions", {}, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Company c;
    makeOrder(c, "R", k.positions);
    WatchedReport r;
    print(c, r);
    EXPECT_EQ(r.value("lRabatt"), Value::logical(k.lRabatt));
  }
}

TEST(Print, CustomerMissingGivesEmptyCustomerValues) {
  Company c;
  makeOrder(c, "R", {{1, 1.00}}, /*withCustomer=*/false);
  WatchedReport r;
  const PrintResult res = print(c, r, {.final = true});
  EXPECT_EQ(res.outcome, Outcome::kOutput);
  for (const char* name : {"cZiel", "cKndAdresse", "cKndLand", "cKndUid"}) {
    EXPECT_EQ(r.value(name), Value("")) << name;
  }
  EXPECT_EQ(r.value("nNrKreis"), Value(1));
}

TEST(Print, PrinterOrPreview) {
  struct Case {
    const char* name;
    std::string printer;
    std::string marker;  // where a NOPRINT file lies: "program", "data" or ""
    bool preview;
  };
  const Case cases[] = {
      {"no printer name", "", "", true},
      {"a printer", "Buero", "", false},
      {"NOPRINT in the program directory", "Buero", "program", true},
      {"NOPRINT in the data directory", "Buero", "data", true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Company c;
    makeOrder(c, "R", {{1, 1.00}});
    if (k.marker == "program") data::testing::writeFile(c.install.programDir + "NOPRINT", "");
    if (k.marker == "data") data::testing::writeFile(c.install.dataDir + "NOPRINT", "");
    WatchedReport r;
    print(c, r, {.printer = k.printer});
    const std::vector<std::string> names = r.callNames();
    const std::vector<std::string> tail(names.end() - (k.preview ? 2 : 4), names.end());
    if (k.preview) {
      EXPECT_EQ(tail, (std::vector<std::string>{"PrintPreview", "Close"}));
      EXPECT_EQ(r.calls()[r.calls().size() - 2].args[3], "Bericht in Bearbeitung...");
    } else {
      EXPECT_EQ(tail, (std::vector<std::string>{"PrinterDevice", "SetPrinterByName", "Print", "Close"}));
      EXPECT_EQ(r.calls()[r.calls().size() - 3].args, std::vector<std::string>{"Buero"});
      EXPECT_EQ(r.calls()[r.calls().size() - 2].args,
                (std::vector<std::string>{"AUFTRAG", "AUFTRAG.PRN", "Ausdruck Auftrag", "Bericht in Bearbeitung ..."}));
    }
  }
}

TEST(Print, StoppedNumberingPrintsNothing) {
  {
    SCOPED_TRACE("order locked elsewhere");
    Company c;
    makeOrder(c, "R", {{1, 1.00}});
    data::DBAKO rival(c.ctx.env);
    rival->goTop();
    ASSERT_TRUE(rival->lock());
    WatchedReport r;
    const PrintResult res = print(c, r, {.final = true});
    EXPECT_EQ(res.outcome, Outcome::kStopped);
    EXPECT_EQ(res.numbering.outcome, NumberingResult::Outcome::kLocked);
    EXPECT_TRUE(res.message.empty());
    EXPECT_TRUE(r.calls().empty());
    rival->unlock();
    EXPECT_EQ(akoState(c).typnr, 0);
  }
  {
    SCOPED_TRACE("range exhausted");
    Company c;
    makeOrder(c, "R", {{1, 1.00}});
    {
      data::DBKRS krs(c.ctx.env);
      krs->goTop();
      krs->lock();
      krs->put("RENR", Value(25999999));
      krs->commit();
    }
    WatchedReport r;
    const PrintResult res = print(c, r, {.final = true});
    EXPECT_EQ(res.outcome, Outcome::kStopped);
    EXPECT_EQ(res.message, exhaustedMessage(Counter::RENR));
    EXPECT_TRUE(r.calls().empty());
    EXPECT_EQ(akoState(c).typnr, 0);
    EXPECT_EQ(salesRecords(c), 0u);
  }
}

TEST(Print, FailedOutputIsReportedAndTheNumberStays) {
  Company c;
  makeOrder(c, "R", {{1, 1.00}});
  WatchedReport r;
  r.outputStatus = dbf::Status::IoError("Drucker nicht bereit");
  const PrintResult res = print(c, r, {.final = true});
  EXPECT_EQ(res.outcome, Outcome::kOutputFailed);
  EXPECT_NE(res.message.find("Der Beleg konnte nicht ausgegeben werden."), std::string::npos);
  EXPECT_NE(res.message.find("Drucker nicht bereit"), std::string::npos);
  EXPECT_EQ(r.callNames().back(), "Close");
  EXPECT_EQ(akoState(c).typnr, 1);
}

TEST(Print, CallersOrderLockIsReleased) {
  Company c;
  makeOrder(c, "R", {{1, 1.00}});
  data::DBAKO ako(c.ctx.env);
  ako->goTop();
  ASSERT_TRUE(ako->lock());  // as the order window holds it
  WatchedReport r;
  DOAUFTRAGPRINT(r, c.ctx, {3, 7}, nullptr, ako.table(), true, false, "");
  data::DBAKO other(c.ctx.env);
  other->goTop();
  EXPECT_TRUE(other->lock());
}

// The posting locks the customer; the lock lasts while the report is out and ends with the
// print. A rival process and a second handle in this process both try it.
TEST(Print, CustomerLockOfThePostingEndsWithThePrint) {
  Company c;
  makeOrder(c, "R", {{2, 10.00}});
  auto rivalCanLock = [&] {
    const pid_t pid = data::testing::spawn([&] {
      Company::Rival rival(c);
      data::DBKND knd(rival.ctx.env);
      knd->goTop();
      return knd->lock() ? 0 : 1;
    });
    return data::testing::join(pid) == 0;
  };
  auto handleCanLock = [&] {
    data::DBKND knd(c.ctx.env);
    knd->goTop();
    const bool ok = knd->lock();
    knd->unlock();
    return ok;
  };
  WatchedReport r;
  bool rivalDuring = true, handleDuring = true;
  r.onInit = [&] {
    rivalDuring = rivalCanLock();
    handleDuring = handleCanLock();
  };
  print(c, r, {.final = true});
  EXPECT_FALSE(rivalDuring);
  EXPECT_FALSE(handleDuring);
  EXPECT_TRUE(rivalCanLock());
  EXPECT_TRUE(handleCanLock());
}

}  // namespace
}  // namespace zentor::logic
