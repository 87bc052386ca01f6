#include "logic/finalise.h"

#include "data/functions.h"
#include "dbf/expr.h"
#include "logic/krs.h"
#include "logic/money.h"
#include "logic/valuation.h"

namespace zentor::logic {
namespace {

std::string firstChar(const std::string& s) { return s.empty() ? std::string(" ") : s.substr(0, 1); }

}  // namespace

Counter documentCounter(const std::string& typ) {
  const std::string t = firstChar(typ);
  if (t == "A") return Counter::ANNR;
  if (t == "G") return Counter::GUNR;
  return Counter::RENR;
}

std::string exhaustedMessage(Counter c) {
  const char* what = "Belegnummern";
  switch (c) {
    case Counter::RENR: what = "Rechnungsnummern"; break;
    case Counter::GUNR: what = "Gutschriftsnummern"; break;
    case Counter::ANNR: what = "Angebotsnummern"; break;
    case Counter::LSNR: what = "Lieferscheinnummern"; break;
    case Counter::AUNR: what = "Auftragsnummern"; break;
  }
  return std::string("Keine ") + what + " mehr verfügbar: der Nummernkreis dieses Jahres ist erschöpft. "
         "Der Beleg wurde nicht gedruckt.";
}

NumberingResult numberingStep(const Context& ctx, dbf::Table& ako, data::DBKND& knd, bool final,
                              bool deliveryNote) {
  NumberingResult r;
  const std::string typ = ako.getString("TYP");
  r.counter = deliveryNote ? Counter::LSNR : documentCounter(typ);
  const char* numberField = deliveryNote ? "LSNR" : "TYPNR";
  const char* dateField = deliveryNote ? "LSDATUM" : "TYPDATUM";

  auto stored = [&] { return static_cast<uint32_t>(ako.getNumber(numberField)); };
  if (stored() != 0) {
    r.number = stored();
    r.date = ako.getDate(dateField);
    return r;
  }
  r.date = ctx.today();
  if (!final) return r;

  if (!ako.lock()) {
    r.outcome = NumberingResult::Outcome::kLocked;
    return r;
  }
  // The lock re-read the record: a workstation that numbered it between our look and our lock
  // has printed and posted it already.
  if (stored() != 0) {
    r.outcome = NumberingResult::Outcome::kTaken;
    return r;
  }
  const uint32_t number = GETNEXTNUMMER(ctx, r.counter, &r.error);
  if (number == 0) {
    r.outcome = r.error.ok() ? NumberingResult::Outcome::kExhausted : NumberingResult::Outcome::kFailed;
    return r;
  }
  dbf::Status s = ako.put(numberField, dbf::Value(number));
  if (s.ok()) s = ako.put(dateField, dbf::Value(r.date));
  // Written at once: an order whose number is only in memory would be posted again after a crash.
  if (s.ok()) s = ako.commit();
  if (!s.ok()) {
    r.outcome = NumberingResult::Outcome::kFailed;
    r.error = s;
    return r;
  }
  r.number = number;
  if (!deliveryNote && (r.counter == Counter::RENR || r.counter == Counter::GUNR)) {
    s = DOAUFTRAGSAVE(ctx, ako, knd, number, static_cast<uint32_t>(ako.getNumber("KNDNR")),
                      static_cast<uint32_t>(ako.getNumber("AUFTRAG")), typ);
    if (!s.ok()) r.error = s;  // the document is numbered; a posting failure is reported, not undone
  }
  return r;
}

dbf::Status DOAUFTRAGSAVE(const Context& ctx, dbf::Table& ako, data::DBKND& knd, uint32_t number,
                          uint32_t kndnr, uint32_t auftrag, const std::string& typ) {
  const dbf::Date today = ctx.today();
  const std::string mode = ako.getString("NTOBTO");
  const double mwst = ako.getNumber("MWST");
  const double sign = firstChar(typ) == "R" ? 1.0 : -1.0;

  data::DBAPO apo(ctx.env);
  data::DBART art(ctx.env);
  data::DBUMS ums(ctx.env, true, false, nullptr, 0, std::to_string(today.year()));
  if (!apo.ok()) return apo.status();
  if (!ums.ok()) return ums.status();
  dbf::Status s = apo->selectTag("AUFTRAG");
  if (!s.ok()) return s;
  if (art.ok()) art->selectTag("ARTNR");

  int64_t sumCents = 0;
  s = apo->seek(dbf::dbaseStr(auftrag, 8), false);
  if (!s.ok()) return s;
  while (!apo->eof() && static_cast<uint32_t>(apo->getNumber("AUFTRAG")) == auftrag) {
    const double menge = apo->getNumber("MENGE"), vkp = apo->getNumber("VKP"), rabatt = apo->getNumber("RABATT");
    double q = menge, p = vkp;
    if (p < 0) {
      q = -q;
      p = -p;
    }
    const double net = GETUMSNTO(mode, mwst, q, p, rabatt);
    const double qs = q * sign, nets = net * sign;
    sumCents += apoWertCents(menge, vkp, rabatt);
    const auto artnr = static_cast<uint32_t>(apo->getNumber("ARTNR"));
    if (artnr != 0) {
      if (art.ok() && art->seek(dbf::dbaseStr(artnr, 5), false).ok() && art->found()) {
        data::WAIT4LOCK(art, ctx.pendingEvents);
        art->put("VKMENGE", dbf::Value(round2(art->getNumber("VKMENGE") + qs)));
        art->put("VKUMSNTO", dbf::Value(round2(art->getNumber("VKUMSNTO") + nets)));
        art->put("LBWDAT", dbf::Value(today));
        art->commit();
        art->unlock();
      }
      s = ums->append();
      if (s.ok()) s = ums->put("DATUM", dbf::Value(today));
      if (s.ok()) s = ums->put("ARTNR", dbf::Value(artnr));
      if (s.ok()) s = ums->put("KNDNR", dbf::Value(kndnr));
      if (s.ok()) s = ums->put("MENGE", dbf::Value(qs));
      if (s.ok()) s = ums->put("UMSNTO", dbf::Value(nets));
      if (s.ok()) s = ums->put("MWST", dbf::Value(mwst));
      if (s.ok()) s = ums->put("AUFTRAG", dbf::Value(auftrag));
      if (s.ok()) s = ums->put("TYPNR", dbf::Value(number));
      if (s.ok()) s = ums->commit();
      if (!s.ok()) return s;
    }
    s = apo->skip(1);
    if (!s.ok()) return s;
  }
  ums->unlock();

  if (knd.ok() && knd->seek(dbf::dbaseStr(kndnr, 5), false).ok() && knd->found() && knd->lock()) {
    knd->put("LBWDAT", dbf::Value(today));
    knd->put("UMSBTO", dbf::Value(round2(knd->getNumber("UMSBTO") + customerGross(sumCents, mode, mwst))));
    knd->commit();
  }
  return dbf::Status::OK();
}

}  // namespace zentor::logic
