#include "logic/rules.h"

#include "data/tables.h"
#include "dbf/expr.h"
#include "logic/texts.h"
#include "os/inifile.h"

namespace zentor::logic {
namespace {

// Exact search in `tag` for `key`; true when found in a record other than `recno`.
bool existsElsewhere(data::DBSTANDARD& t, const char* tag, const std::string& key, int64_t recno) {
  if (!t.ok() || !t->selectTag(tag).ok()) return false;
  if (!t->seek(key, false).ok() || !t->found()) return false;
  return static_cast<int64_t>(t->recno()) != recno;
}

bool referenced(data::DBSTANDARD& t, const char* tag, const std::string& key) {
  return existsElsewhere(t, tag, key, -1);
}

std::string padRight(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

}  // namespace

bool CHKEXISTAGRNR(const Context& ctx, int agrnr, int64_t recno) {
  data::DBAGR t(ctx.env);
  return existsElsewhere(t, "AGRNR", dbf::dbaseStr(agrnr, 2), recno);
}

bool CHKEXISTKGRNR(const Context& ctx, int kgrnr, int64_t recno) {
  data::DBKGR t(ctx.env);
  return existsElsewhere(t, "KGRNR", dbf::dbaseStr(kgrnr, 2), recno);
}

bool CHKEXISTMWST(const Context& ctx, int mwst, int64_t recno) {
  data::DBMWS t(ctx.env);
  return existsElsewhere(t, "MWST", dbf::dbaseStr(mwst, 2), recno);
}

bool CHKEXISTTXTNR(const Context& ctx, const std::string& txtnr, int64_t recno) {
  data::DBTXT t(ctx.env);
  // The key is the whole field, so a shorter code must not find a longer one by its prefix.
  return existsElsewhere(t, "TXTNR", padRight(txtnr, 5), recno);
}

bool CHKEXISTLAND(const Context& ctx, const std::string& land, int64_t recno) {
  data::DBLND t(ctx.env);
  return existsElsewhere(t, "LAND", padRight(land, 3), recno);
}

bool CHKDELETEAGRNR(const Context& ctx, int agrnr) {
  data::DBART t(ctx.env);
  return referenced(t, "AGRNR", dbf::dbaseStr(agrnr, 2));
}

bool CHKDELETEKGRNR(const Context& ctx, int kgrnr) {
  data::DBKND t(ctx.env);
  return referenced(t, "KGRNR", dbf::dbaseStr(kgrnr, 2));
}

bool CHKDELETEMWST(const Context& ctx, int mwst) {
  data::DBART t(ctx.env);
  if (!t.ok()) return false;
  auto n = t->count([mwst](const dbf::Table& a) { return a.getNumber("MWST") == mwst; });
  return n.ok() && n.value() > 0;
}

bool CHKDELETEAUFTRAG(const Context& ctx, uint32_t auftrag) {
  data::DBAPO t(ctx.env);
  return referenced(t, "AUFTRAG", dbf::dbaseStr(auftrag, 8));
}

std::string GETREADR(const Context& ctx, const dbf::Table& knd) {
  AddressFields f;
  f.anrede = knd.getString("ANREDE");
  f.titel = knd.getString("TITEL");
  f.vorname = knd.getString("VORNAME");
  f.zuname = knd.getString("ZUNAME");
  f.zusatz = knd.getString("ZUSATZ");
  f.strasse = knd.getString("STRASSE");
  f.plz = knd.getString("PLZ");
  f.ort = knd.getString("ORT");
  return invoiceAddress(f, GETLAND(ctx, knd.getString("LAND")));
}

std::string GETLAND(const Context& ctx, const std::string& code) {
  data::DBLND t(ctx.env);
  if (!t.ok() || !t->selectTag("LAND").ok()) return "";
  if (!t->seek(padRight(code, 3), false).ok() || !t->found()) return "";
  std::string name = t->getString("TXT");
  const size_t b = name.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return name.substr(b, name.find_last_not_of(' ') - b + 1);
}

std::string GETANGEBOTSTEXT(const Context& ctx) {
  if (!ctx.ini) return " \r\n\r\n \r\n ";
  const auto get = [&](const char* key) { return ctx.ini->GETSTRING("BELEG", key); };
  return get("Angebotstext") + "\r\n\r\n" + get("Grussformel") + "\r\n" + get("Unterschrift");
}

std::vector<double> GETMWSARR(const Context& ctx) {
  data::DBMWS t(ctx.env);
  std::vector<VatRateRecord> records;
  if (t.ok()) {
    t->eval([&](dbf::Table& m) {
      records.push_back({m.getNumber("MWST"), m.getLogical("DEFAULT"), m.getLogical("AKTIV")});
      return true;
    });
  }
  return orderVatRates(records);
}

std::vector<ReportTable> GETDBFARR(const Context& ctx) {
  std::vector<ReportTable> out;
  for (const char* name : {"KND", "KGR", "LND"}) {
    out.push_back({name, ctx.env.customerDir + name + ".DBF", ctx.env.customerDir + name + ".CDX"});
  }
  for (const char* name : {"ART", "AGR", "MWS", "TXT", "AKO", "APO"}) {
    out.push_back({name, ctx.env.dataDir + name + ".DBF", ctx.env.dataDir + name + ".CDX"});
  }
  return out;
}

std::vector<uint32_t> GETUMSAUFTRAEGE(const Context& ctx, const std::string& year) {
  std::vector<uint32_t> out;
  data::DBUMS t(ctx.env, true, false, nullptr, 0, year);
  if (!t.ok() || !t->selectTag("AUFTRAG").ok()) return out;
  t->eval([&](dbf::Table& u) {
    const auto n = static_cast<uint32_t>(u.getNumber("AUFTRAG"));
    if (out.empty() || out.back() != n) out.push_back(n);
    if (ctx.pendingEvents) ctx.pendingEvents();
    return true;
  });
  return out;
}

}  // namespace zentor::logic
