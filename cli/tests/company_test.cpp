// zentorctl company list|add|rename, run as a child process on scratch installations.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_support.h"

namespace zentor::cli::test {
namespace {

namespace fs = std::filesystem;

RunResult company(const ScratchDir& home, std::vector<std::string> args) {
  args.insert(args.begin(), {"--home", home.path(), "company"});
  return runZentorctl(args);
}

TEST(CompanyCommand, AddCreatesASingleCompanyRegistryAndListShowsIt) {
  ScratchDir home;
  auto r = company(home, {"add", "1", "Müller & Söhne", "--mandant", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "01 Müller & Söhne\n");
  const std::string file = readFile(home.file("FIRMEN.TXT"));
  EXPECT_NE(file.find("MODUS=EINZELFIRMA\r\nFIRMA=01;2;M\xFCller & S\xF6hne\r\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(home.file("FIRMA01")));  // single company: data in the program directory

  r = company(home, {"list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "01 Müller & Söhne\n");

  r = company(home, {"add", "2", "Zweite"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: Im Einzelfirmenbetrieb kann nur eine Firma eingerichtet werden.\n");
}

TEST(CompanyCommand, MultiCompanyRegistryGetsDirectoriesAndKeepsOrder) {
  ScratchDir home;
  ASSERT_EQ(company(home, {"add", "5", "Fünf", "--multi"}).exitCode, 0);
  ASSERT_EQ(company(home, {"add", "02", "Zwei"}).exitCode, 0);
  EXPECT_TRUE(fs::is_directory(home.file("FIRMA05")));
  EXPECT_TRUE(fs::is_directory(home.file("FIRMA02")));
  auto r = company(home, {"rename", "5", "Fünf GmbH"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "05 Fünf GmbH\n");
  r = company(home, {"list"});
  EXPECT_EQ(r.out, "05 Fünf GmbH\n02 Zwei\n");
}

struct Refusal {
  std::vector<std::string> args;
  const char* err;
};

class CompanyRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(CompanyRefusalTest, ExitsWithTheRegistryMessage) {
  ScratchDir home;
  ASSERT_EQ(company(home, {"add", "1", "Eins", "--multi"}).exitCode, 0);
  const std::string before = readFile(home.file("FIRMEN.TXT"));
  const auto r = company(home, GetParam().args);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, GetParam().err);
  EXPECT_EQ(readFile(home.file("FIRMEN.TXT")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompanyRefusalTest,
    ::testing::Values(Refusal{{"add", "1", "Doppelt"}, "zentorctl: Die Firmennummer 01 ist bereits vergeben.\n"},
                      Refusal{{"add", "100", "X"}, "zentorctl: Die Firmennummer muss zwischen 1 und 99 liegen.\n"},
                      Refusal{{"add", "0", "X"}, "zentorctl: Die Firmennummer muss zwischen 1 und 99 liegen.\n"},
                      Refusal{{"add", "3", "X", "--mandant", "-1"},
                              "zentorctl: Die Mandantennummer muss zwischen 0 und 32767 liegen.\n"},
                      Refusal{{"add", "3", " "},
                              "zentorctl: Der Firmenname darf nicht leer sein und keine Zeilenumbrüche oder "
                              "Steuerzeichen enthalten.\n"},
                      Refusal{{"rename", "9", "Neu"}, "zentorctl: Die Firma 09 ist nicht eingerichtet.\n"}));

TEST(CompanyCommand, MissingRegistryOrHomeIsAFailure) {
  ScratchDir home;
  auto r = company(home, {"list"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT fehlt im "
                   "Programmverzeichnis " + home.path() + ".\n");
  r = runZentorctl({"company", "list"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: company list needs --home DIR (the program directory)\n");
}

}  // namespace
}  // namespace zentor::cli::test
