// Compiles arbitrary text as an expression against names of every type and evaluates what
// compiles. Beyond crashes and sanitizer reports it checks that a statically known result type
// is kept at evaluation (or the result is nil, for a run-time type error).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dbf/expr.h"

namespace {

using zentor::dbf::Date;
using zentor::dbf::Expression;
using zentor::dbf::MapResolver;
using zentor::dbf::Value;
using zentor::dbf::ValueType;

MapResolver makeNames() {
  MapResolver r;
  // The fields of the key expressions of the table catalogue, with their types.
  for (const char* n : {"ARTNR", "AGRNR", "KNDNR", "KGRNR", "FIBU", "AUFTRAG", "SORT", "TYPNR", "MWST"}) r.set(n, 4711);
  r.set("PREIS", -12.345);
  r.set("MENGE", 0.5);
  r.set("TXT", "Schraube M6 verzinkt, Ä-Qualität     ");
  r.set("ZUNAME", "Weiß                     ");
  r.set("PLZ", "04164");
  r.set("LAND", "D  ");
  r.set("TXTNR", "A1   ");
  r.set("LEER", "");
  r.set("DATUM", Date::fromYmd(2025, 3, 3));
  r.set("GEBURT", Date());
  r.set("AKTIV", Value::logical(true));
  r.set("FIBU_DONE", Value::logical(false));
  r.set("ART.TXT", "Mutter M6");
  r.set("ART.ARTNR", 42);
  r.set("KND.ZUNAME", "Öztürk");
  r.set("UMS.DATUM", Date::fromYmd(2024, 2, 29));
  r.set("NICHTS", Value());
  return r;
}

}  // namespace

MapResolver& namesOnce() {
  static MapResolver names = makeNames();
  return names;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  MapResolver& names = namesOnce();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto e = Expression::compile(text, names);
  if (!e.ok()) {
    if (e.status().message().empty()) std::abort();  // every failure must explain itself
    return 0;
  }
  const Value v = e->evaluate();
  const ValueType t = e->resultType();
  if (t != ValueType::kNil && !v.isNil() && v.type() != t) std::abort();
  std::string key;
  const bool isText = e->evaluateText(key);
  if (isText != (v.isCharacter() || (t == ValueType::kCharacter && !v.isNil()))) std::abort();
  if (isText && v.isCharacter() && key != v.text()) std::abort();
  (void)e->test();
  return 0;
}
