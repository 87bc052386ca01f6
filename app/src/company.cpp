#include "app/company.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <optional>

#include "data/functions.h"
#include "data/tables.h"
#include "dbf/table.h"

namespace zentor::app {
namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The existing file `name` of `dir` in any letter case, or "".
std::string findIn(dbf::FileSystem& fs, const std::string& dir, const std::string& name) {
  if (fs.exists(dir + name)) return dir + name;
  auto entries = fs.list(dir);
  if (!entries.ok()) return {};
  const std::string wanted = upper(name);
  for (const auto& e : entries.value())
    if (upper(e) == wanted) return dir + e;
  return {};
}

// A table object of the catalogue by table name ("ART", "UMS" with a year).
std::unique_ptr<data::CatalogueTable> tableObject(const data::Env& env, const std::string& table, bool shared,
                                                  const std::string& year = {}) {
  if (table == "AGR") return std::make_unique<data::DBAGR>(env, shared);
  if (table == "ART") return std::make_unique<data::DBART>(env, shared);
  if (table == "KND") return std::make_unique<data::DBKND>(env, shared);
  if (table == "KGR") return std::make_unique<data::DBKGR>(env, shared);
  if (table == "LND") return std::make_unique<data::DBLND>(env, shared);
  if (table == "MWS") return std::make_unique<data::DBMWS>(env, shared);
  if (table == "TXT") return std::make_unique<data::DBTXT>(env, shared);
  if (table == "AKO") return std::make_unique<data::DBAKO>(env, shared);
  if (table == "APO") return std::make_unique<data::DBAPO>(env, shared);
  if (table == "UMS") return std::make_unique<data::DBUMS>(env, shared, false, nullptr, 0, year);
  return nullptr;
}

// One table a conversion step looks at: its file stem and directory.
struct StepTable {
  std::string table;  // catalogue name
  std::string year;   // for UMS
  std::string stem() const { return table + year; }
};

class Converter {
 public:
  explicit Converter(Globals& g) : g_(g), env_(companyEnv(g)), fs_(g.session().fs()) {}

  std::string directoryOf(const StepTable& t) const {
    return (t.table == "KND" || t.table == "KGR" || t.table == "LND") ? env_.customerDir : env_.dataDir;
  }
  std::string dbfPath(const StepTable& t) const { return findIn(fs_, directoryOf(t), t.stem() + ".DBF"); }

  // The structure as the table object sees it; nullopt when the table file does not exist.
  std::optional<std::vector<dbf::FieldDef>> structure(const StepTable& t) {
    if (dbfPath(t).empty()) return std::nullopt;
    auto obj = tableObject(env_, t.table, true, t.year);
    if (!obj || !obj->ok()) return std::vector<dbf::FieldDef>{};
    auto fields = obj->table().fields();
    obj->close();
    return fields;
  }

  // Does the table pass `test`? A missing table counts as done.
  template <class Test>
  bool passes(const StepTable& t, Test test) {
    auto fields = structure(t);
    if (!fields) return true;
    return test(*fields);
  }

  // Rebuilds the table into its current layout through TMP.DBF in its directory.
  bool rebuild(const StepTable& t, bool sharedForRebuild = false) {
    const std::string dir = directoryOf(t);
    const std::string dbf = dbfPath(t);
    if (dbf.empty()) return true;
    const std::string stemPath = dbf.substr(0, dbf.size() - 4);
    const std::string tmp = dir + "TMP.DBF", tmpMemo = dir + "TMP.FPT";
    fs_.remove(tmp);
    fs_.remove(tmpMemo);
    {
      // The table must be free: a rename of a file another workstation holds open would leave
      // that workstation writing into the old file. Windows refuses such a rename by itself; here
      // the exclusive open asks the same question, and is held across the rename.
      auto probe = dbf::Table::open(g_.session(), dbf, dbf::OpenOptions{false, true});
      if (!probe.ok()) return false;
      if (!fs_.rename(dbf, tmp).ok()) return false;
      const std::string memo = findIn(fs_, dir, t.stem() + ".FPT");
      if (!memo.empty() && !fs_.rename(memo, tmpMemo).ok()) {
        fs_.rename(tmp, dbf);  // put the table back as it was
        return false;
      }
      probe.value()->close();
    }
    if (!fs_.exists(tmp)) return false;
    const std::string cdx = findIn(fs_, dir, t.stem() + ".CDX");
    if (!cdx.empty()) fs_.remove(cdx);
    bool ok = false;
    {
      auto obj = tableObject(env_, t.table, sharedForRebuild, t.year);
      if (obj && obj->ok()) {
        // Deleted records stay hidden here, so they are not carried over.
        ok = obj->table().appendFrom(tmp).ok();
        obj->close();
      }
    }
    if (!ok) return false;  // TMP.DBF keeps the old data for a second attempt by hand
    fs_.remove(tmp);
    fs_.remove(tmpMemo);
    return true;
  }

  template <class Test>
  bool step(const StepTable& t, Test test, bool* rebuilt = nullptr, bool sharedForRebuild = false) {
    if (rebuilt) *rebuilt = false;
    if (passes(t, test)) return true;
    if (rebuilt) *rebuilt = true;
    return rebuild(t, sharedForRebuild);
  }

  Globals& g_;
  data::Env env_;
  dbf::FileSystem& fs_;
};

const dbf::FieldDef* field(const std::vector<dbf::FieldDef>& fs, const char* name) {
  for (const auto& f : fs)
    if (f.name == name) return &f;
  return nullptr;
}

auto hasField(const char* name) {
  return [name](const std::vector<dbf::FieldDef>& fs) { return field(fs, name) != nullptr; };
}
auto decimalsAtLeast(const char* name, int d) {
  return [name, d](const std::vector<dbf::FieldDef>& fs) {
    const auto* f = field(fs, name);
    return f && f->decimals >= d;
  };
}
auto widthAtLeast(const char* name, int w) {
  return [name, w](const std::vector<dbf::FieldDef>& fs) {
    const auto* f = field(fs, name);
    return f && f->width >= w;
  };
}

int wholeNumber(const std::string& s) { return static_cast<int>(std::strtol(s.c_str(), nullptr, 10)); }

// The additional texts of quotation positions, from their articles (after APO got its memo).
void fillQuotationTexts(Globals& g) {
  const data::Env env = companyEnv(g);
  data::DBAKO ako(env);
  data::DBAPO apo(env);
  data::DBART art(env);
  if (!ako.ok() || !apo.ok() || !art.ok()) return;
  ako->selectTag("AUFTRAG");
  apo->selectTag("AUFTRAG");
  art->selectTag("ARTNR");
  for (ako->goTop(); !ako->eof(); ako->skip(1)) {
    if (ako->getString("TYP") != "A") continue;
    const auto auftrag = static_cast<uint32_t>(ako->getNumber("AUFTRAG"));
    apo->seek(dbf::dbaseStr(auftrag, 8), true);
    while (!apo->eof() && static_cast<uint32_t>(apo->getNumber("AUFTRAG")) == auftrag) {
      const auto artnr = static_cast<uint32_t>(apo->getNumber("ARTNR"));
      if (artnr > 0 && art->seek(dbf::dbaseStr(artnr, 5), false).ok() && art->found() && apo->lock()) {
        apo->put("ZUSATZ", art->get("ZUSATZ"));
        apo->commit();
      }
      apo->skip(1);
    }
  }
  apo->unlock();
}

}  // namespace

data::Env companyEnv(Globals& g) {
  data::Env env;
  env.session = &g.session();
  env.programDir = g.programDirectory();
  env.dataDir = g.dataDirectory();
  env.customerDir = g.gcKndPfad.empty() ? g.programDirectory() : g.gcKndPfad;
  return env;
}

logic::Context logicContext(Globals& g, std::function<void()> pendingEvents) {
  logic::Context ctx;
  ctx.env = companyEnv(g);
  ctx.ini = g.goIni.get();
  ctx.pendingEvents = std::move(pendingEvents);
  return ctx;
}

double versionNumber(const std::string& v) {
  char* end = nullptr;
  const double d = std::strtod(v.c_str(), &end);
  return end == v.c_str() ? 0.0 : d;
}

void SETGLOBALSFNR(Globals& g) {
  dbf::FileSystem& fs = g.session().fs();
  const std::string& dataDir = g.dataDirectory();
  std::string iniPath = findIn(fs, dataDir, "FDT.INI");
  if (iniPath.empty()) iniPath = dataDir + "FDT.INI";
  g.goIni = std::make_unique<os::INIFILE>(iniPath);
  if (!g.goIni->EXISTS()) g.goIni->WRITESTRING("ZENTOR", "Version", kDataVersion);
  g.gcKndPfad = findIn(fs, dataDir, "KND.DBF").empty() ? g.programDirectory() : dataDir;
  if (findIn(fs, dataDir, "AKO.CDX").empty() || findIn(fs, dataDir, "APO.CDX").empty()) {
    const data::Env env = companyEnv(g);
    for (const char* t : {"KND", "KGR", "LND", "ART", "AGR", "MWS", "TXT", "AKO", "APO"}) {
      auto obj = tableObject(env, t, true);
      if (obj) obj->close();
    }
  }
}

bool CHKUPGRADE11(Globals& g) {
  Converter c(g);
  bool ok = c.step({"ART"}, decimalsAtLeast("VKMENGE", 1));
  ok = c.step({"APO"}, decimalsAtLeast("MENGE", 1)) && ok;
  for (const std::string& year : data::GETUMSARR(c.env_)) {
    ok = c.step({"UMS", year}, decimalsAtLeast("MENGE", 1), nullptr, true) && ok;
  }
  return ok;
}

bool CHKUPGRADE12(Globals& g) {
  Converter c(g);
  bool ok = c.step({"AKO"}, widthAtLeast("LSADR1", 28));
  return c.step({"APO"}, hasField("SORT")) && ok;
}

bool CHKUPGRADE13(Globals& g) {
  Converter c(g);
  bool ok = c.step({"AKO"}, hasField("FIBU_DONE"));
  if (findIn(c.fs_, c.env_.dataDir, "MWS.DBF").empty()) {
    data::DBMWS mws(c.env_, false);
    if (!mws.ok()) return false;
    const int m1 = wholeNumber(g.goIni->GETSTRING("SONSTIGES", "Mwst1"));
    const int m2 = wholeNumber(g.goIni->GETSTRING("SONSTIGES", "Mwst2"));
    auto add = [&](int rate, bool isDefault) {
      return mws->append().ok() && mws->put("MWST", dbf::Value(rate)).ok() &&
             mws->put("DEFAULT", dbf::Value::logical(isDefault)).ok() &&
             mws->put("AKTIV", dbf::Value::logical(true)).ok() && mws->commit().ok();
    };
    if (m1 != 0) ok = add(m1, true) && ok;
    if (m2 != 0) ok = add(m2, false) && ok;
    ok = add(0, false) && ok;
    mws.close();
    g.goIni->DELETEENTRY("SONSTIGES", "Mwst1");
    g.goIni->DELETEENTRY("SONSTIGES", "Mwst2");
  }
  return ok;
}

bool CHKUPGRADE14(Globals& g) {
  Converter c(g);
  bool ok = c.step({"ART"}, widthAtLeast("ZUSATZ", 300));
  ok = c.step({"TXT"}, hasField("ZUSATZ")) && ok;
  bool apoRebuilt = false;
  const bool apoOk = c.step({"APO"}, hasField("ZUSATZ"), &apoRebuilt);
  if (apoOk && apoRebuilt) fillQuotationTexts(g);
  return apoOk && ok;
}

bool CHKUPGRADE15(Globals& g) {
  Converter c(g);
  return c.step({"KND"}, widthAtLeast("VORNAME", 25));
}

bool CHKUPGRADE(Globals& g, MessageService& messages) {
  if (!g.goIni) g.goIni = std::make_unique<os::INIFILE>(g.dataDirectory() + "FDT.INI");
  const std::string v = g.goIni->GETSTRING("ZENTOR", "Version");
  const double found = versionNumber(v);
  if (!(1.5 > found)) return true;
  const std::string question = std::string("Neue Programmversion (V") + v + "/" + kProgramVersion +
                               ") - sollen die Daten umgestellt werden \r\n"
                               "(Dazu darf auf anderen PC's nicht im Programm gearbeitet werden)?";
  if (!messages.ask({MessageKind::kQuestion, "Lumo-Zentor", question, MessageIcon::kQuestion, nullptr})) return false;
  bool ok = true;
  if (found < 1.1) ok = CHKUPGRADE11(g) && ok;
  if (found < 1.2) ok = CHKUPGRADE12(g) && ok;
  if (found < 1.3) ok = CHKUPGRADE13(g) && ok;
  if (found < 1.4) ok = CHKUPGRADE14(g) && ok;
  ok = CHKUPGRADE15(g) && ok;
  if (ok) {
    g.goIni->WRITESTRING("ZENTOR", "Version", kDataVersion);
    messages.show({MessageKind::kInformation, "Lumo-Zentor", "Datenumstellung durchgeführt",
                   MessageIcon::kInformation, nullptr});
    return true;
  }
  messages.show({MessageKind::kError, "Lumo-Zentor", "Datenumstellung nicht durchführbar", MessageIcon::kError,
                 nullptr});
  return false;
}

void CHKAPOREINDEX(Globals& g) {
  const std::string dir = upper(g.programDirectory());
  if (dir.find("PROGRAMME") == std::string::npos && dir.find("WINAPPS") == std::string::npos) return;
  g.session().setDeletedHidden(false);  // the program is ending; the setting is not restored
  const data::Env env = companyEnv(g);
  uint32_t deleted = 0;
  {
    data::DBAPO apo(env, false);
    if (!apo.ok()) return;
    auto n = apo->count([](const dbf::Table& t) { return t.deleted(); });
    deleted = n.ok() ? n.value() : 0;
    apo.close();
  }
  if (deleted < 20) return;
  const std::string cdx = findIn(g.session().fs(), env.dataDir, "APO.CDX");
  if (!cdx.empty()) g.session().fs().remove(cdx);
  data::DBAPO rebuild(env, false);
  rebuild.close();
}

}  // namespace zentor::app
