#include <gtest/gtest.h>

#include "data/functions.h"
#include "data/tables.h"
#include "logic/finalise.h"
#include "support/company.h"

namespace zentor::logic {
namespace {

using testing::addRecord;
using testing::Company;
using Outcome = NumberingResult::Outcome;

struct Pos {
  int artnr;
  double menge, vkp;
  int rabatt = 0;
};

// Customer 5, article 7 and order 1 with the given kind, price mode and positions.
void makeOrder(Company& c, const char* typ, const char* ntobto, const std::vector<Pos>& positions, int mwst = 20) {
  data::DBKND knd(c.ctx.env);
  addRecord(knd.table(), {{"KNDNR", 5}, {"ZUNAME", "Huber"}, {"UMSBTO", 100.0}});
  data::DBART art(c.ctx.env);
  addRecord(art.table(), {{"ARTNR", 7}, {"TXT", "Schraube"}, {"VKMENGE", 1.0}, {"VKUMSNTO", 5.0}});
  data::DBAKO ako(c.ctx.env);
  addRecord(ako.table(), {{"AUFTRAG", 1}, {"KNDNR", 5}, {"TYP", typ}, {"NTOBTO", ntobto}, {"MWST", mwst}});
  data::DBAPO apo(c.ctx.env);
  int sort = 10;
  for (const Pos& p : positions) {
    addRecord(apo.table(), {{"AUFTRAG", 1}, {"ARTNR", p.artnr}, {"MENGE", p.menge}, {"VKP", p.vkp},
                            {"RABATT", p.rabatt}, {"SORT", sort}});
    sort += 10;
  }
}

struct Snapshot {
  double typnr, lsnr, vkmenge, vkumsnto, umsbto;
  dbf::Date typdatum, lsdatum, artLbw, kndLbw;
  std::vector<std::pair<double, double>> sales;  // MENGE, UMSNTO
};

Snapshot snapshot(Company& c) {
  Snapshot s{};
  data::DBAKO ako(c.ctx.env);
  ako->goTop();
  s.typnr = ako->getNumber("TYPNR");
  s.lsnr = ako->getNumber("LSNR");
  s.typdatum = ako->getDate("TYPDATUM");
  s.lsdatum = ako->getDate("LSDATUM");
  data::DBART art(c.ctx.env);
  art->goTop();
  s.vkmenge = art->getNumber("VKMENGE");
  s.vkumsnto = art->getNumber("VKUMSNTO");
  s.artLbw = art->getDate("LBWDAT");
  data::DBKND knd(c.ctx.env);
  knd->goTop();
  s.umsbto = knd->getNumber("UMSBTO");
  s.kndLbw = knd->getDate("LBWDAT");
  data::DBUMS ums(c.ctx.env, true, false, nullptr, 0, "2025");
  ums->eval([&](dbf::Table& u) {
    s.sales.emplace_back(u.getNumber("MENGE"), u.getNumber("UMSNTO"));
    return true;
  });
  return s;
}

NumberingResult finalise(Company& c, bool final, bool deliveryNote = false) {
  data::DBAKO ako(c.ctx.env);
  data::DBKND knd(c.ctx.env);
  knd->selectTag("KNDNR");
  ako->goTop();
  NumberingResult r = numberingStep(c.ctx, ako.table(), knd, final, deliveryNote);
  ako->commit();
  ako->unlock();
  return r;
}

struct PostingCase {
  const char* name;
  const char* typ;
  const char* ntobto;
  std::vector<Pos> positions;
  std::vector<std::pair<double, double>> sales;
  double vkmengeDelta, vkumsntoDelta, umsbtoDelta;
};

TEST(Finalise, PostingsOfTheFirstFinalPrint) {
  const PostingCase cases[] = {
      {"invoice", "R", "N", {{7, 2, 10.00}, {0, 0, 0}}, {{2, 20.00}}, 2, 20.00, 24.00},
      {"credit note", "G", "N", {{7, 2, 10.00}, {0, 0, 0}}, {{-2, -20.00}}, -2, -20.00, 24.00},
      {"negative price", "R", "N", {{7, 1, -5.00}}, {{-1, -5.00}}, -1, -5.00, -6.00},
      {"gross invoice", "R", "B", {{7, 1, 12.00}}, {{1, 10.00}}, 1, 10.00, 12.00},
      {"deleted article", "R", "N", {{8, 3, 1.00}}, {{3, 3.00}}, 0, 0, 3.60},
      {"free text position counts in the total", "R", "N", {{0, 1, 50.00}, {7, 1, 10.00}}, {{1, 10.00}}, 1, 10.00, 72.00},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Company c;
    makeOrder(c, k.typ, k.ntobto, k.positions);
    const NumberingResult r = finalise(c, true);
    ASSERT_EQ(r.outcome, Outcome::kPrint);
    EXPECT_EQ(r.number, 1u);
    EXPECT_EQ(r.date, c.today);
    const Snapshot s = snapshot(c);
    EXPECT_EQ(s.typnr, 1);
    EXPECT_EQ(s.typdatum, c.today);
    EXPECT_EQ(s.sales, k.sales);
    EXPECT_DOUBLE_EQ(s.vkmenge, 1.0 + k.vkmengeDelta);
    EXPECT_DOUBLE_EQ(s.vkumsnto, 5.0 + k.vkumsntoDelta);
    EXPECT_DOUBLE_EQ(s.umsbto, 100.0 + k.umsbtoDelta);
    EXPECT_EQ(s.kndLbw, c.today);
  }
}

TEST(Finalise, StatesAndReprints) {
  Company c;
  makeOrder(c, "R", "N", {{7, 2, 10.00}});
  // Not final: number 0 and today, nothing stored.
  NumberingResult r = finalise(c, false);
  EXPECT_EQ(r.outcome, Outcome::kPrint);
  EXPECT_EQ(r.number, 0u);
  EXPECT_EQ(snapshot(c).typnr, 0);
  // Delivery note final: LSNR and LSDATUM, no posting.
  r = finalise(c, true, true);
  EXPECT_EQ(r.number, 1u);
  EXPECT_EQ(r.counter, Counter::LSNR);
  Snapshot s = snapshot(c);
  EXPECT_EQ(s.lsnr, 1);
  EXPECT_EQ(s.lsdatum, c.today);
  EXPECT_TRUE(s.sales.empty());
  EXPECT_EQ(s.typnr, 0);
  // The invoice can still be printed final; then a reprint on another day keeps number and date.
  r = finalise(c, true);
  EXPECT_EQ(r.number, 1u);
  EXPECT_EQ(snapshot(c).sales.size(), 1u);
  const dbf::Date firstDay = c.today;
  c.today = c.today.addDays(3);
  r = finalise(c, true);
  EXPECT_EQ(r.number, 1u);
  EXPECT_EQ(r.date, firstDay);
  EXPECT_EQ(snapshot(c).sales.size(), 1u);
}

TEST(Finalise, QuotationIsNumberedFromItsOwnRangeAndNotPosted) {
  Company c;
  makeOrder(c, "A", "N", {{7, 2, 10.00}});
  {
    data::DBKRS krs(c.ctx.env);
    krs->goTop();
    krs->lock();
    krs->put("ANNR", dbf::Value(41));
    krs->commit();
  }
  const NumberingResult r = finalise(c, true);
  EXPECT_EQ(r.counter, Counter::ANNR);
  EXPECT_EQ(r.number, 42u);
  const Snapshot s = snapshot(c);
  EXPECT_TRUE(s.sales.empty());
  EXPECT_DOUBLE_EQ(s.umsbto, 100.0);
}

TEST(Finalise, ExhaustedRangeStoresPostsAndPrintsNothing) {
  Company c;
  makeOrder(c, "R", "N", {{7, 2, 10.00}});
  {
    data::DBKRS krs(c.ctx.env);
    krs->goTop();
    krs->lock();
    krs->put("RENR", dbf::Value(25999999));
    krs->commit();
  }
  const NumberingResult r = finalise(c, true);
  EXPECT_EQ(r.outcome, Outcome::kExhausted);
  EXPECT_FALSE(r.print());
  const Snapshot s = snapshot(c);
  EXPECT_EQ(s.typnr, 0);
  EXPECT_TRUE(s.typdatum.empty());
  EXPECT_TRUE(s.sales.empty());
  EXPECT_NE(exhaustedMessage(r.counter).find("Rechnungsnummern"), std::string::npos);
}

TEST(Finalise, OrderLockedElsewherePrintsNothing) {
  Company c;
  makeOrder(c, "R", "N", {{7, 2, 10.00}});
  data::DBAKO other(c.ctx.env);
  other->goTop();
  ASSERT_TRUE(other->lock());
  const NumberingResult r = finalise(c, true);
  EXPECT_EQ(r.outcome, Outcome::kLocked);
  EXPECT_EQ(snapshot(c).typnr, 0);
}

TEST(Finalise, TwoProcessesFinalisingAtOnceNumberAndPostOnce) {
  for (int round = 0; round < 5; ++round) {
    Company c;
    makeOrder(c, "R", "N", {{7, 2, 10.00}});
    data::testing::Pipe go;
    std::vector<data::testing::Pipe> ready(2);
    std::vector<pid_t> pids;
    for (int p = 0; p < 2; ++p) {
      pids.push_back(data::testing::spawn([&, p]() -> int {
        Company::Rival r(c);
        data::DBAKO ako(r.ctx.env);
        data::DBKND knd(r.ctx.env);
        knd->selectTag("KNDNR");
        ako->goTop();  // both have read the open order before either starts
        ready[p].send('r');
        go.wait();
        const NumberingResult res = numberingStep(r.ctx, ako.table(), knd, true, false);
        ako->commit();
        ako->unlock();
        return res.print() ? 10 + static_cast<int>(res.number) : static_cast<int>(res.outcome);
      }));
    }
    for (auto& r : ready) r.wait();
    go.send('g');
    go.send('g');
    std::vector<int> codes;
    for (pid_t pid : pids) codes.push_back(data::testing::join(pid));
    std::sort(codes.begin(), codes.end());
    // One printed number 1; the other found the order locked or already numbered.
    EXPECT_EQ(codes[1], 11) << round;
    EXPECT_TRUE(codes[0] == static_cast<int>(Outcome::kLocked) || codes[0] == static_cast<int>(Outcome::kTaken))
        << codes[0];
    const Snapshot s = snapshot(c);
    EXPECT_EQ(s.typnr, 1);
    EXPECT_EQ(s.sales.size(), 1u);
    EXPECT_DOUBLE_EQ(s.umsbto, 124.0);
    data::DBKRS krs(c.ctx.env);
    krs->goTop();
    EXPECT_EQ(krs->getNumber("RENR"), 1);
  }
}

TEST(Finalise, PostingWaitsForALockedArticleAndSkipsALockedCustomer) {
  Company c;
  makeOrder(c, "R", "N", {{7, 2, 10.00}});
  data::testing::Pipe locked, release;
  const pid_t holder = data::testing::spawn([&]() -> int {
    Company::Rival r(c);
    data::DBART art(r.ctx.env);
    data::DBKND knd(r.ctx.env);
    art->goTop();
    knd->goTop();
    if (!art->lock() || !knd->lock()) return 1;
    locked.send('l');
    release.wait();  // until the parent says so
    art->unlock();
    release.wait();  // keep the customer locked until the posting is over
    return 0;
  });
  ASSERT_EQ(locked.wait(), 'l');
  int waits = 0;
  c.ctx.pendingEvents = [&] {
    if (++waits == 50) release.send('a');  // the article comes free while the posting waits
  };
  const NumberingResult r = finalise(c, true);
  release.send('c');
  ASSERT_EQ(data::testing::join(holder), 0);
  EXPECT_EQ(r.outcome, Outcome::kPrint);
  EXPECT_GE(waits, 50);
  const Snapshot s = snapshot(c);
  EXPECT_DOUBLE_EQ(s.vkmenge, 3.0);       // the article was posted after its lock came free
  EXPECT_EQ(s.sales.size(), 1u);
  EXPECT_DOUBLE_EQ(s.umsbto, 100.0);      // the customer, locked elsewhere, was skipped
  EXPECT_TRUE(s.kndLbw.empty());
}

}  // namespace
}  // namespace zentor::logic
