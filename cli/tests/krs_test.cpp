// zentorctl krs next on prepared companies, alone and with rival processes drawing at once.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "dbf/value.h"
#include "support/cli_support.h"
#include "support/company_support.h"

namespace zentor::cli::test {
namespace {

class KrsNext : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { detachStandardInput(); }
  void SetUp() override {
    const auto r = runZentorctl({"--home", home_.path(), "init", "--name", "Nummern"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  RunResult next(const std::string& counter, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--home", home_.path(), "krs", "next", counter};
    args.insert(args.end(), more.begin(), more.end());
    return runZentorctl(args);
  }
  ScratchDir home_;
};

TEST_F(KrsNext, EachCounterCountsOnByItself) {
  // Fresh data without [SONSTIGES] Jahresnummern: sequential numbers; the name in any case.
  for (const char* counter : {"AUNR", "renr", "Gunr", "ANNR", "lsnr"}) {
    auto r = next(counter);
    ASSERT_EQ(r.exitCode, 0) << counter << ": " << r.err;
    EXPECT_EQ(r.out, "1\n") << counter;
  }
  auto r = next("RENR");
  EXPECT_EQ(r.out, "2\n");
  r = next("RENR");
  EXPECT_EQ(r.out, "3\n");
  EXPECT_EQ(next("AUNR").out, "2\n");
  const auto krs = dumpRows(home_.file("KRS.DBF"));
  ASSERT_EQ(krs.size(), 1u);
  EXPECT_EQ(krs[0].at("RENR"), "3");
  EXPECT_EQ(krs[0].at("AUNR"), "2");
  EXPECT_EQ(krs[0].at("LSNR"), "1");
}

TEST_F(KrsNext, YearlyNumbersFollowTheSettingAndRunOutAtTheEndOfTheYear) {
  std::string ini = readFile(home_.file("FDT.INI"));
  {
    std::ofstream(home_.file("FDT.INI"), std::ios::binary) << ini << "[SONSTIGES]\r\nJahresnummern=.T.\r\n";
  }
  const uint32_t yy = static_cast<uint32_t>(dbf::Date::today().year() % 100);
  auto r = next("RENR");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, std::to_string(yy * 1000000 + 1) + "\n");

  setCounter(home_.path(), "RENR", yy * 1000000 + 999999);
  r = next("RENR");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "0\n");
  EXPECT_EQ(r.err, "zentorctl: Keine Nummern mehr verfügbar\n");
  EXPECT_EQ(dumpRows(home_.file("KRS.DBF")).at(0).at("RENR"), std::to_string(yy * 1000000 + 999999));
  EXPECT_EQ(next("RENR").exitCode, 1);  // and stays used up for the rest of the year
}

TEST_F(KrsNext, RivalProcessesNeverDrawTheSameNumber) {
  constexpr int kRivals = 3, kDraws = 6;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::vector<pid_t> pids;
  for (int i = 0; i < kRivals; ++i) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      std::string numbers;
      for (int d = 0; d < kDraws; ++d) {
        const RunResult r = next("LSNR");
        numbers += r.exitCode == 0 ? r.out : "fail\n";
      }
      // One write below PIPE_BUF is atomic, so the rivals' lists do not interleave.
      ssize_t written = write(fds[1], numbers.data(), numbers.size());
      _exit(written == static_cast<ssize_t>(numbers.size()) ? 0 : 1);
    }
    pids.push_back(pid);
  }
  close(fds[1]);
  std::string all;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) all.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  for (pid_t p : pids) {
    int status = 0;
    waitpid(p, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<std::string> drawn;
  for (const auto& line : splitLines(all)) {
    EXPECT_NE(line, "fail");
    EXPECT_TRUE(drawn.insert(line).second) << "drawn twice: " << line;
  }
  ASSERT_EQ(drawn.size(), static_cast<size_t>(kRivals * kDraws));
  std::set<int> numbers;
  for (const auto& s : drawn) numbers.insert(std::stoi(s));
  EXPECT_EQ(*numbers.begin(), 1);
  EXPECT_EQ(*numbers.rbegin(), kRivals * kDraws);  // no gaps either
}

TEST_F(KrsNext, BadArgumentsAreRefused) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--home", home_.path(), "krs", "next", "KDNR"},
       "zentorctl: unknown counter 'KDNR' (AUNR, RENR, GUNR, ANNR or LSNR)\n"},
      {{"--home", home_.path(), "krs", "next"}, "zentorctl: missing argument; usage: zentorctl krs next COUNTER [--yes]\n"},
      {{"krs", "next", "AUNR"}, "zentorctl: krs next needs --home DIR (the program directory)\n"},
      {{"--home", home_.path(), "--company", "2", "krs", "next", "AUNR"},
       "zentorctl: FIRMEN.TXT is a single-company registry for 01 Nummern; leave out --company or give 1\n"},
      {{"--home", home_.path(), "krs", "next", "AUNR", "--delivery-note"},
       "zentorctl: option --delivery-note does not apply to 'krs next'\n"},
  };
  for (const auto& c : cases) {
    const auto r = runZentorctl(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(home_.file("KRS.DBF")));  // nothing was drawn
}

}  // namespace
}  // namespace zentor::cli::test
