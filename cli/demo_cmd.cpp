// zentorctl demo: a complete installation to try the program with, two companies of a
// multi-company registry filled with the contents of demo_data.h. Everything is written the way
// the program writes it: the companies are opened and prepared like at start-up, order numbers
// come from the number ranges, article prices are converted into each order's price mode, and a
// few invoices and a credit note are numbered and posted as at their first final print.

#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "company_ctx.h"
#include "data/tables.h"
#include "dbf/expr.h"
#include "demo_data.h"
#include "logic/finalise.h"
#include "logic/krs.h"
#include "logic/valuation.h"
#include "os/inifile.h"

namespace zentor::cli {
namespace {

namespace fs = std::filesystem;
using dbf::Value;

using FieldValues = std::initializer_list<std::pair<const char*, Value>>;

// One new record with `values`, committed and unlocked; the first failure wins.
dbf::Status addRecord(data::DBSTANDARD& t, FieldValues values) {
  if (!t.ok()) return t.status();
  dbf::Status s = t->append();
  for (const auto& [name, value] : values) {
    if (!s.ok()) break;
    s = t->put(name, value);
  }
  if (s.ok()) s = t->commit();
  t->unlock();
  return s;
}

Value logical(bool b) { return Value::logical(b); }

struct CompanyCounts {
  size_t articles = 0, groups = 0, rates = 0, texts = 0, orders = 0, positions = 0, finalised = 0;
};

class DemoWriter {
 public:
  DemoWriter(const Invocation& inv, CompanySession& company) : inv_(inv), company_(company) {}

  // Each returns kExitOk or the failure status after writing the line.
  int settings(const demo::Company& c) {
    os::INIFILE& ini = *company_.globals().goIni;
    for (const auto& [key, value] : c.letterhead) {
      if (!ini.WRITESTRING("BELEG", key, value)) return fail("cannot write " + ini.FULLPATH());
    }
    for (const auto& [key, value] : c.defaults) {
      if (!ini.WRITESTRING("SONSTIGES", key, value)) return fail("cannot write " + ini.FULLPATH());
    }
    return kExitOk;
  }

  int customerTables(const std::vector<demo::Customer>& customers) {
    const data::Env& env = company_.env();
    {
      data::DBKGR kgr(env);
      for (const auto& g : demo::customerGroups()) {
        if (auto s = addRecord(kgr, {{"KGRNR", g.number}, {"TXT", g.text}}); !s.ok()) return fail(s);
      }
    }
    {
      data::DBLND lnd(env);
      for (const auto& l : demo::countries()) {
        if (auto s = addRecord(lnd, {{"LAND", l.code}, {"TXT", l.name}}); !s.ok()) return fail(s);
      }
    }
    data::DBKND knd(env);
    for (const auto& c : customers) {
      auto s = addRecord(knd, {{"KNDNR", c.number},
                               {"KGRNR", c.group},
                               {"ANREDE", c.salutation},
                               {"TITEL", c.title},
                               {"ZUNAME", c.surname},
                               {"VORNAME", c.firstName},
                               {"ZUSATZ", c.extra},
                               {"STRASSE", c.street},
                               {"LAND", c.country},
                               {"PLZ", c.postcode},
                               {"ORT", c.town},
                               {"TEL_BUERO", c.phoneOffice},
                               {"TEL_PRIVAT", c.phonePrivate},
                               {"FAX", c.fax},
                               {"GEBURT", c.birthday},
                               {"BEMERK", c.remark},
                               {"RABATT", c.discount},
                               {"UIDNR", c.vatId},
                               {"FIBU", c.account},
                               {"ZIEL", c.terms},
                               {"ANLDAT", c.created}});
      if (!s.ok()) return fail(s);
    }
    return kExitOk;
  }

  int masterData(const demo::Company& c) {
    const data::Env& env = company_.env();
    {
      data::DBMWS mws(env);
      for (const auto& v : demo::vatRates()) {
        auto s = addRecord(mws, {{"MWST", v.rate}, {"FIBU", v.account}, {"DEFAULT", logical(v.isDefault)},
                                 {"AKTIV", logical(true)}});
        if (!s.ok()) return fail(s);
        ++counts_.rates;
      }
    }
    {
      data::DBAGR agr(env);
      for (const auto& g : c.articleGroups) {
        if (auto s = addRecord(agr, {{"AGRNR", g.number}, {"TXT", g.text}}); !s.ok()) return fail(s);
        ++counts_.groups;
      }
    }
    {
      data::DBART art(env);
      for (const auto& a : c.articles) {
        auto s = addRecord(art, {{"ARTNR", a.number},
                                 {"AGRNR", a.group},
                                 {"EINHEIT", a.unit},
                                 {"EKP", a.purchasePrice},
                                 {"VKP", a.price},
                                 {"RABATT", a.discount},
                                 {"MWST", a.vat},
                                 {"TXT", a.text},
                                 {"ZUSATZ", a.extra},
                                 {"ANLDAT", a.created}});
        if (!s.ok()) return fail(s);
        ++counts_.articles;
      }
    }
    data::DBTXT txt(env);
    for (const auto& t : c.texts) {
      if (auto s = addRecord(txt, {{"TXTNR", t.key}, {"TXT", t.text}, {"ZUSATZ", t.extra}}); !s.ok()) return fail(s);
      ++counts_.texts;
    }
    return kExitOk;
  }

  int orders(const demo::Company& c, const std::vector<demo::Customer>& customers,
             const std::vector<demo::Order>& orders) {
    const logic::Context& ctx = company_.context();
    char articleMode = 'N';
    for (const auto& [key, value] : c.defaults)
      if (key == "BtoNto" && !value.empty()) articleMode = value.front();
    std::vector<std::pair<uint32_t, const demo::Order*>> toFinalise;
    {
      data::DBAKO ako(ctx.env);
      data::DBAPO apo(ctx.env);
      for (const auto& o : orders) {
        dbf::Status error;
        const uint32_t auftrag = logic::GETNEXTNUMMER(ctx, logic::Counter::AUNR, &error);
        if (auftrag == 0) return fail(error.ok() ? "the order number range AUNR is exhausted" : error.toString());
        const demo::Customer& k = customers[o.customer];
        auto s = addRecord(ako, {{"AUFTRAG", auftrag},
                                 {"KNDNR", k.number},
                                 {"LSADR1", o.deliveryAddress[0]},
                                 {"LSADR2", o.deliveryAddress[1]},
                                 {"LSADR3", o.deliveryAddress[2]},
                                 {"LSADR4", o.deliveryAddress[3]},
                                 {"TYP", o.kind},
                                 {"VERSAND", o.delivery},
                                 {"BEDATUM", o.ordered},
                                 {"BEDURCH", o.orderedBy},
                                 {"RABATT", k.discount},
                                 {"ZUNAME", k.surname},
                                 {"MWST", o.vat},
                                 {"NTOBTO", o.priceMode},
                                 {"LSNR", 0},
                                 {"TYPNR", 0},
                                 {"FIBU_DONE", logical(false)}});
        if (!s.ok()) return fail(s);
        int sort = 0;
        for (const auto& l : o.lines) {
          sort += 10;
          if (l.kind == demo::OrderLine::Kind::kArticle) {
            const demo::Article& a = c.articles[l.index];
            const auto price = logic::articlePriceForOrder(a.price, articleMode, o.priceMode.front(), o.vat);
            s = addRecord(apo, {{"AUFTRAG", auftrag},
                                {"ARTNR", a.number},
                                {"MENGE", l.quantity},
                                {"EINHEIT", a.unit},
                                {"TXT", a.text},
                                {"VKP", price.value_or(0.0)},
                                {"RABATT", logic::discountForNewPosition(k.discount, a.discount)},
                                {"SORT", sort},
                                {"ZUSATZ", a.extra}});
          } else if (l.kind == demo::OrderLine::Kind::kText) {
            const demo::TextBlock& t = c.texts[l.index];
            s = addRecord(apo, {{"AUFTRAG", auftrag},
                                {"ARTNR", 0},
                                {"MENGE", 0},
                                {"TXT", t.text},
                                {"VKP", 0},
                                {"RABATT", 0},
                                {"SORT", sort},
                                {"ZUSATZ", t.extra}});
          } else {
            s = addRecord(apo, {{"AUFTRAG", auftrag},
                                {"ARTNR", 0},
                                {"MENGE", l.quantity},
                                {"EINHEIT", "Stk"},
                                {"TXT", l.text},
                                {"VKP", l.price},
                                {"RABATT", 0},
                                {"SORT", sort}});
          }
          if (!s.ok()) return fail(s);
          ++counts_.positions;
        }
        ++counts_.orders;
        if (o.finalise) toFinalise.emplace_back(auftrag, &o);
      }
    }
    for (const auto& [auftrag, o] : toFinalise) {
      if (int s = finalise(auftrag, false); s != kExitOk) return s;
      if (o->deliveryNote) {
        if (int s = finalise(auftrag, true); s != kExitOk) return s;
      }
      ++counts_.finalised;
    }
    return kExitOk;
  }

  const CompanyCounts& counts() const { return counts_; }

 private:
  // The numbering step of a final print, with the commit and unlock of the print function.
  int finalise(uint32_t auftrag, bool deliveryNote) {
    const logic::Context& ctx = company_.context();
    data::DBAKO ako(ctx.env);
    data::DBKND knd(ctx.env);
    if (!ako.ok()) return fail(ako.status());
    if (!knd.ok()) return fail(knd.status());
    knd->selectTag("KNDNR");
    ako->selectTag("AUFTRAG");
    if (auto s = ako->seek(dbf::dbaseStr(auftrag, 8), false); !s.ok() || !ako->found()) {
      return fail("order " + std::to_string(auftrag) + " vanished before it was finalised");
    }
    const logic::NumberingResult r = logic::numberingStep(ctx, ako.table(), knd, true, deliveryNote);
    const dbf::Status committed = ako->commit();
    ako->unlock();
    if (!r.print() || !r.error.ok()) {
      return fail("finalising order " + std::to_string(auftrag) + " failed" +
                  (r.error.ok() ? std::string() : ": " + r.error.toString()));
    }
    if (!committed.ok()) return fail(committed);
    return kExitOk;
  }

  int fail(const dbf::Status& s) { return fail(s.toString()); }
  int fail(const std::string& what) {
    return inv_.fail("demo company " + company_.entry().displayText() + ": " + what);
  }

  const Invocation& inv_;
  CompanySession& company_;
  CompanyCounts counts_;
};

int runDemo(const Invocation& inv) {
  std::error_code ec;
  fs::path dir = fs::absolute(inv.args.positional[0], ec);
  if (ec) return inv.fail("cannot use " + inv.args.positional[0] + ": " + ec.message());
  dir = dir.lexically_normal();
  if (fs::exists(dir, ec)) {
    if (!fs::is_directory(dir, ec)) return inv.fail(dir.string() + " exists and is no directory");
    if (!fs::is_empty(dir, ec)) return inv.fail(dir.string() + " is not empty; the demo needs a new or empty directory");
  }
  fs::create_directories(dir, ec);
  if (ec) return inv.fail("cannot create " + dir.string() + ": " + ec.message());
  std::string home = dir.string();
  if (home.back() != '/') home += '/';

  const dbf::Date today = dbf::Date::today();
  const std::vector<demo::Company> companies = demo::companies(today);
  const std::vector<demo::Customer> customers = demo::customers(today);

  app::CompanyRegistry registry(app::RegistryMode::kMulti);
  for (const auto& c : companies) {
    if (auto refused = registry.add({c.number, c.mandant, c.name})) return inv.fail(app::registryErrorText(*refused));
  }
  if (auto failed = registry.save(home)) return inv.fail(app::registryErrorText(*failed));
  std::string copyError;
  const std::vector<std::string> reportFiles = installReportFiles(home, &copyError);
  if (!copyError.empty()) return inv.fail(copyError);

  std::vector<std::string> summary;
  for (size_t i = 0; i < companies.size(); ++i) {
    const demo::Company& c = companies[i];
    CompanyRequest request;
    request.home = home;
    request.company = c.number;
    request.createDataDirectory = true;
    std::unique_ptr<CompanySession> session;
    if (int s = openCompany(inv, registry, request, &session); s != kExitOk) return s;
    // The demo is made in one go and thrown away when anything fails, so waiting for the disk
    // after every record buys nothing.
    session->globals().session().setSyncOnCommit(false);
    DemoWriter w(inv, *session);
    if (int s = w.settings(c); s != kExitOk) return s;
    if (i == 0) {
      if (int s = w.customerTables(customers); s != kExitOk) return s;
      const std::string& where = session->globals().gcKndPfad;
      summary.push_back("customers (shared, in " + where + "): " + std::to_string(customers.size()) +
                        " customers, " + std::to_string(demo::customerGroups().size()) + " customer groups, " +
                        std::to_string(demo::countries().size()) + " countries");
    }
    if (int s = w.masterData(c); s != kExitOk) return s;
    if (int s = w.orders(c, customers, demo::orders(c, customers, today)); s != kExitOk) return s;
    const CompanyCounts& n = w.counts();
    summary.push_back("company " + session->entry().displayText() + " in " + session->globals().dataDirectory() +
                      ": " + std::to_string(n.articles) + " articles in " + std::to_string(n.groups) + " groups, " +
                      std::to_string(n.rates) + " VAT rates, " + std::to_string(n.texts) + " text blocks, " +
                      std::to_string(n.orders) + " orders with " + std::to_string(n.positions) + " positions (" +
                      std::to_string(n.finalised) + " numbered and posted)");
  }
  inv.out << "demo installation in " << home << " with " << companies.size() << " companies\n";
  for (const auto& line : summary) inv.out << line << '\n';
  std::string reportList;
  for (const auto& f : reportFiles) reportList += (reportList.empty() ? "" : ", ") + f;
  inv.out << (reportList.empty() ? "no report files found beside zentorctl: copy reports/*.RPT into " + home
                                 : "report files: " + reportList) << '\n';
  return kExitOk;
}

}  // namespace

std::vector<Command> demoCommands() {
  return {
      {"demo", "DIR", "creates a demo installation with two companies in DIR (new or empty)", 1, 1, {}, runDemo},
  };
}

}  // namespace zentor::cli
