#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "data/tables.h"
#include "logic/krs.h"
#include "support/company.h"

namespace zentor::logic {
namespace {

using testing::Company;

void setCounter(Company& c, const char* field, uint32_t value) {
  data::DBKRS krs(c.ctx.env);
  ASSERT_TRUE(krs.ok());
  ASSERT_TRUE(krs->goTop().ok());
  ASSERT_TRUE(krs->lock());
  ASSERT_TRUE(krs->put(field, dbf::Value(value)).ok());
  ASSERT_TRUE(krs->commit().ok());
}

uint32_t counter(Company& c, const char* field) {
  data::DBKRS krs(c.ctx.env);
  krs->goTop();
  return static_cast<uint32_t>(krs->getNumber(field));
}

TEST(GetNextNummer, FreshYearlyRange) {
  Company c;
  c.ini->WRITESTRING("SONSTIGES", "Jahresnummern", ".T.");
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::RENR), 25000001u);
  EXPECT_EQ(counter(c, "RENR"), 25000001u);
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::RENR), 25000002u);
  EXPECT_EQ(counter(c, "AUNR"), 0u);
}

TEST(GetNextNummer, CounterDecidesTheModeAndRewritesTheKey) {
  struct Case {
    const char* field;
    Counter counter;
    uint32_t start;
    const char* key;
    uint32_t expected;
    const char* keyAfter;
  };
  const Case cases[] = {
      {"RENR", Counter::RENR, 24000017, ".F.", 25000001, ".T."},
      {"ANNR", Counter::ANNR, 17, ".T.", 18, ".F."},
      {"AUNR", Counter::AUNR, 25999999, ".T.", 0, ".T."},
      {"LSNR", Counter::LSNR, 999999, ".F.", 1000000, ".F."},
      {"GUNR", Counter::GUNR, 0, ".F.", 1, ".F."},
  };
  for (const auto& k : cases) {
    Company c;
    c.ini->WRITESTRING("SONSTIGES", "Jahresnummern", k.key);
    setCounter(c, k.field, k.start);
    EXPECT_EQ(GETNEXTNUMMER(c.ctx, k.counter), k.expected) << k.field;
    EXPECT_EQ(c.ini->GETSTRING("SONSTIGES", "Jahresnummern"), k.keyAfter) << k.field;
    EXPECT_EQ(counter(c, k.field), k.expected == 0 ? k.start : k.expected) << k.field;
  }
}

TEST(GetNextNummer, SequentialMillionTurnsYearly) {
  Company c;
  setCounter(c, "LSNR", 999999);
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::LSNR), 1000000u);
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::LSNR), 25000001u);
  EXPECT_EQ(c.ini->GETSTRING("SONSTIGES", "Jahresnummern"), ".T.");
}

TEST(GetNextNummer, ExhaustedUntilTheYearTurns) {
  Company c;
  setCounter(c, "RENR", 25999998);
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::RENR), 25999999u);
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::RENR), 0u);
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::RENR), 0u);
  EXPECT_EQ(counter(c, "RENR"), 25999999u);
  c.today = dbf::Date::fromYmd(2026, 1, 2);
  EXPECT_EQ(GETNEXTNUMMER(c.ctx, Counter::RENR), 26000001u);
}

// Several workstations drawing at once get distinct numbers, and the counter ends on the highest.
void raceDraws(Company& c, int processes, int draws, const std::vector<dbf::Date>& days) {
  std::vector<data::testing::Pipe> ready(processes);
  data::testing::Pipe go;
  std::string outDir = c.install.programDir;
  std::vector<pid_t> pids;
  for (int p = 0; p < processes; ++p) {
    pids.push_back(data::testing::spawn([&, p]() -> int {
      Company::Rival r(c);
      int day = 0;
      r.ctx.clock = [&] { return days[static_cast<size_t>(day)]; };
      FILE* out = std::fopen((outDir + "draws" + std::to_string(p)).c_str(), "w");
      ready[p].send('r');
      go.wait();
      for (int i = 0; i < draws; ++i) {
        day = static_cast<int>(static_cast<size_t>(i) * days.size() / static_cast<size_t>(draws));
        std::fprintf(out, "%u\n", GETNEXTNUMMER(r.ctx, Counter::RENR));
      }
      std::fclose(out);
      return 0;
    }));
  }
  for (auto& r : ready) r.wait();
  for (int p = 0; p < processes; ++p) go.send('g');
  for (pid_t pid : pids) ASSERT_EQ(data::testing::join(pid), 0);
}

std::vector<uint32_t> readDraws(Company& c, int processes) {
  std::vector<uint32_t> all;
  for (int p = 0; p < processes; ++p) {
    FILE* in = std::fopen((c.install.programDir + "draws" + std::to_string(p)).c_str(), "r");
    unsigned n;
    while (in && std::fscanf(in, "%u", &n) == 1) all.push_back(n);
    if (in) std::fclose(in);
  }
  return all;
}

TEST(GetNextNummer, FourProcessesDrawDistinctNumbers) {
  Company c;
  c.ini->WRITESTRING("SONSTIGES", "Jahresnummern", ".F.");
  raceDraws(c, 4, 2000, {c.today});
  const auto all = readDraws(c, 4);
  ASSERT_EQ(all.size(), 8000u);
  const std::set<uint32_t> distinct(all.begin(), all.end());
  EXPECT_EQ(distinct.size(), 8000u);
  EXPECT_EQ(*distinct.begin(), 1u);
  EXPECT_EQ(*distinct.rbegin(), 8000u);
  EXPECT_EQ(counter(c, "RENR"), 8000u);
}

TEST(GetNextNummer, RaceAcrossTheYearChangeAndTheExhaustionEdge) {
  Company c;
  c.ini->WRITESTRING("SONSTIGES", "Jahresnummern", ".T.");
  // 4 x 300 draws, each process's first half on 31 Dec 2025 close to the end of the range, its
  // second half in 2026. The processes cross midnight at different moments, as workstations with
  // slightly different clocks do.
  setCounter(c, "RENR", 25999999 - 400);
  raceDraws(c, 4, 300, {dbf::Date::fromYmd(2025, 12, 31), dbf::Date::fromYmd(2026, 1, 1)});
  auto all = readDraws(c, 4);
  ASSERT_EQ(all.size(), 1200u);
  std::erase(all, 0u);
  const std::set<uint32_t> distinct(all.begin(), all.end());
  EXPECT_EQ(distinct.size(), all.size()) << "a number was issued twice";
  // Each year's numbers run without gaps from where they stood.
  std::vector<uint32_t> y25, y26;
  for (uint32_t n : distinct) (n / 1000000 == 25 ? y25 : y26).push_back(n);
  ASSERT_FALSE(y26.empty());
  for (size_t i = 0; i < y25.size(); ++i) EXPECT_EQ(y25[i], 25999600u + i);
  for (size_t i = 0; i < y26.size(); ++i) EXPECT_EQ(y26[i], 26000001u + i);
  EXPECT_LE(y25.size(), 400u);
  EXPECT_EQ(counter(c, "RENR"), y26.back());
}

TEST(NextNumbers, HighestPlusOneAndAccountBlocks) {
  Company c;
  EXPECT_EQ(GETNEXTARTNR(c.ctx), 1u);
  EXPECT_EQ(GETNEXTKNDNR(c.ctx), 1u);
  EXPECT_EQ(GETNEXTFIBU(c.ctx), 20000u);
  {
    data::DBKND knd(c.ctx.env);
    testing::addRecord(knd.table(), {{"KNDNR", 41}, {"FIBU", 29999}});
    testing::addRecord(knd.table(), {{"KNDNR", 7}, {"FIBU", 0}});
    data::DBART art(c.ctx.env);
    testing::addRecord(art.table(), {{"ARTNR", 99}});
  }
  EXPECT_EQ(GETNEXTARTNR(c.ctx), 100u);
  EXPECT_EQ(GETNEXTKNDNR(c.ctx), 42u);
  EXPECT_EQ(GETNEXTFIBU(c.ctx), 40000u);
}

TEST(NextNumbers, TwoProcessesCreatingCustomersNeverStoreTheSameNumber) {
  Company c;
  { data::DBKND create(c.ctx.env); }
  constexpr int kEach = 150;
  data::testing::Pipe go;
  std::vector<pid_t> pids;
  for (int p = 0; p < 2; ++p) {
    pids.push_back(data::testing::spawn([&]() -> int {
      Company::Rival r(c);
      go.wait();
      for (int i = 0; i < kEach; ++i) {
        data::DBKND knd(r.ctx.env);
        const uint32_t n = storeWithNextNumber(
            r.ctx, [&] { return GETNEXTKNDNR(r.ctx); },
            [&](uint32_t nr) {
              return knd.APPENDRECYCLE() && knd->put("KNDNR", dbf::Value(nr)).ok() && knd->commit().ok();
            });
        if (n == 0) return 1;
      }
      return 0;
    }));
  }
  go.send('g');
  go.send('g');
  for (pid_t pid : pids) ASSERT_EQ(data::testing::join(pid), 0);
  data::DBKND knd(c.ctx.env);
  std::set<double> numbers;
  knd->eval([&](dbf::Table& t) {
    numbers.insert(t.getNumber("KNDNR"));
    return true;
  });
  EXPECT_EQ(numbers.size(), 2u * kEach);
  EXPECT_EQ(*numbers.rbegin(), 2.0 * kEach);
}

}  // namespace
}  // namespace zentor::logic
