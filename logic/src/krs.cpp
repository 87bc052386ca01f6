#include "logic/krs.h"

#include <chrono>
#include <optional>
#include <thread>

#include "data/functions.h"
#include "data/tables.h"
#include "os/inifile.h"

namespace zentor::logic {
namespace {

constexpr const char* kSection = "SONSTIGES";
constexpr const char* kYearlyKey = "Jahresnummern";

// The highest value of a numeric key field through its tag (the last record in tag order).
uint32_t highestInTag(data::DBSTANDARD& t, const char* tag, const char* field) {
  if (!t.ok() || !t->selectTag(tag).ok() || !t->goBottom().ok() || t->eof()) return 0;
  const double v = t->getNumber(field);
  return v > 0 ? static_cast<uint32_t>(v) : 0;
}

}  // namespace

uint32_t GETNEXTNUMMER(const Context& ctx, Counter counter, dbf::Status* error) {
  const int yy = ctx.today().year() % 100;
  // A station creating the number ranges holds the table exclusively for a moment: wait for it
  // like for the record lock.
  std::optional<data::DBKRS> opened;
  for (;;) {
    opened.emplace(ctx.env);
    if (opened->ok() || !opened->status().isLocked()) break;
    opened.reset();
    if (ctx.pendingEvents) ctx.pendingEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  data::DBKRS& krs = *opened;
  if (!krs.ok() || !krs->goTop().ok() || krs->eof()) {
    if (error) *error = krs.ok() ? dbf::Status::NotFound("KRS.DBF has no record") : krs.status();
    return 0;
  }
  data::WAIT4LOCK(krs, ctx.pendingEvents);
  const bool flag = ctx.ini && ctx.ini->GETLOGIC(kSection, kYearlyKey);
  const char* field = counterField(counter);
  const auto current = static_cast<uint32_t>(krs->getNumber(field));
  const NumberDraw d = nextNumber(current, flag, yy);
  if (current != 0 && d.yearly != flag && ctx.ini) {
    ctx.ini->WRITESTRING(kSection, kYearlyKey, d.yearly ? ".T." : ".F.");
  }
  if (d.storeCounter) {
    dbf::Status s = krs->put(field, dbf::Value(d.number));
    if (s.ok()) s = krs->commit();
    if (!s.ok()) {
      // A number that could not be stored must not be handed out: another workstation would
      // draw it again.
      if (error) *error = s;
      return 0;
    }
  }
  krs.close();
  return d.number;
}

uint32_t GETNEXTARTNR(const Context& ctx) {
  data::DBART art(ctx.env);
  return highestInTag(art, "ARTNR", "ARTNR") + 1;
}

uint32_t GETNEXTKNDNR(const Context& ctx) {
  data::DBKND knd(ctx.env);
  return highestInTag(knd, "KNDNR", "KNDNR") + 1;
}

uint32_t GETNEXTFIBU(const Context& ctx) {
  data::DBKND knd(ctx.env);
  return fibuAfter(highestInTag(knd, "FIBU", "FIBU"));
}

uint32_t storeWithNextNumber(const Context& ctx, const std::function<uint32_t()>& derive,
                             const std::function<bool(uint32_t)>& store) {
  data::DBKRS krs(ctx.env);
  const bool guarded = krs.ok() && krs->goTop().ok() && !krs->eof();
  if (guarded) data::WAIT4LOCK(krs, ctx.pendingEvents);
  const uint32_t n = derive();
  const bool stored = store(n);
  krs.close();
  return stored ? n : 0;
}

}  // namespace zentor::logic
