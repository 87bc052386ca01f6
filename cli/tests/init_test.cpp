// zentorctl init, and the opening of a company that every company command shares: registry,
// company choice, program directory check, preparation and data conversion.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "support/cli_support.h"
#include "support/company_support.h"

namespace zentor::cli::test {
namespace {

namespace fs = std::filesystem;

const char* const kTables[] = {"KND", "KGR", "LND", "ART", "AGR", "MWS", "TXT", "AKO", "APO"};

RunResult init(const ScratchDir& home, std::vector<std::string> args) {
  args.insert(args.begin(), {"--home", home.path(), "init"});
  return runZentorctl(args);
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class InitCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { detachStandardInput(); }
};

TEST_F(InitCommand, PreparesASingleCompanyInAnEmptyDirectory) {
  ScratchDir home;
  auto r = init(home, {"--name", "Müller & Söhne", "--mandant", "7"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("created " + home.path() + "/FIRMEN.TXT (single-company registry)\n"), std::string::npos);
  EXPECT_NE(r.out.find("registered company 01 Müller & Söhne\n"), std::string::npos);
  EXPECT_NE(r.out.find("created " + home.path() + "/FDT.INI\n"), std::string::npos);
  for (const char* t : kTables) {
    EXPECT_TRUE(fs::exists(home.file(std::string(t) + ".DBF"))) << t;
    EXPECT_TRUE(fs::exists(home.file(std::string(t) + ".CDX"))) << t;
    EXPECT_NE(r.out.find("created " + home.path() + "/" + t + ".DBF\n"), std::string::npos) << t;
  }
  EXPECT_TRUE(fs::exists(home.file("APO.FPT")));
  EXPECT_FALSE(fs::exists(home.file("KRS.DBF")));  // made when the first number is drawn
  EXPECT_EQ(readFile(home.file("FDT.INI")), "[ZENTOR]\r\nVersion=1.5\r\n");
  EXPECT_NE(readFile(home.file("FIRMEN.TXT")).find("MODUS=EINZELFIRMA\r\nFIRMA=01;7;M\xFCller & S\xF6hne"),
            std::string::npos);
  EXPECT_NE(r.out.find("company 01 Müller & Söhne ready: data in " + home.path() + "/, customers in " +
                       home.path() + "/\n"),
            std::string::npos);
  EXPECT_EQ(runZentorctl({"dbf", "check", home.path()}).exitCode, 0);

  // Again, on the prepared company: nothing to create, nothing changed.
  const std::string registry = readFile(home.file("FIRMEN.TXT"));
  r = init(home, {});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "company 01 Müller & Söhne ready: data in " + home.path() + "/, customers in " + home.path() +
                       "/\n");
  EXPECT_EQ(readFile(home.file("FIRMEN.TXT")), registry);
}

TEST_F(InitCommand, MultiCompanyDataGoIntoTheCompanyDirectoryAndCustomersStayShared) {
  ScratchDir home;
  auto r = init(home, {"--company", "3", "--name", "Drei"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("(multi-company registry)"), std::string::npos);
  EXPECT_TRUE(fs::exists(home.file("FIRMA03/AKO.CDX")));
  EXPECT_TRUE(fs::exists(home.file("FIRMA03/FDT.INI")));
  EXPECT_TRUE(fs::exists(home.file("KND.DBF")));  // the customer tables live in the program directory
  EXPECT_FALSE(fs::exists(home.file("FIRMA03/KND.DBF")));
  EXPECT_FALSE(fs::exists(home.file("AKO.DBF")));

  r = init(home, {"--company", "4", "--name", "Vier", "--mandant", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("registered company 04 Vier\n"), std::string::npos);
  EXPECT_EQ(r.out.find("created " + home.path() + "/KND.DBF"), std::string::npos);  // shared, there already
  const std::string file = readFile(home.file("FIRMEN.TXT"));
  EXPECT_NE(file.find("MODUS=MEHRFIRMEN\r\nFIRMA=03;1;Drei\r\nFIRMA=04;2;Vier"), std::string::npos);
  EXPECT_EQ(runZentorctl({"--home", home.path(), "company", "list"}).out, "03 Drei\n04 Vier\n");
}

TEST_F(InitCommand, CustomerTablesPlacedInTheCompanyDirectoryStayThere) {
  ScratchDir home;
  ASSERT_EQ(init(home, {"--company", "1", "--name", "Eins"}).exitCode, 0);
  ASSERT_EQ(runZentorctl({"--home", home.path(), "company", "add", "2", "Zwei"}).exitCode, 0);
  for (const char* ext : {".DBF", ".CDX"}) fs::copy_file(home.file(std::string("KND") + ext), home.file(std::string("FIRMA02/KND") + ext));
  const auto r = init(home, {"--company", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("customers in " + home.path() + "/FIRMA02/\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(home.file("FIRMA02/KGR.DBF")));
}

struct Refusal {
  const char* what;
  std::vector<std::string> setup;  // an init run before, on the same home; empty for none
  std::vector<std::string> args;
  std::string err;  // the expected error stream, "@" standing for the home directory
};

class InitRefusal : public ::testing::TestWithParam<Refusal> {
 protected:
  static void SetUpTestSuite() { detachStandardInput(); }
};

TEST_P(InitRefusal, ExitsWithOneLineAndLeavesTheRegistry) {
  ScratchDir home;
  const Refusal& c = GetParam();
  if (!c.setup.empty()) {
    ASSERT_EQ(init(home, c.setup).exitCode, 0);
  }
  const std::string before = readFile(home.file("FIRMEN.TXT"));
  const auto r = init(home, c.args);
  EXPECT_EQ(r.exitCode, 2);
  std::string err = c.err;
  for (size_t at; (at = err.find('@')) != std::string::npos;) err.replace(at, 1, home.path() + "/");
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(readFile(home.file("FIRMEN.TXT")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitRefusal,
    ::testing::Values(
        Refusal{"no registry, no name", {}, {},
                "zentorctl: Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT fehlt im Programmverzeichnis "
                "@. (--name NAME creates it)\n"},
        Refusal{"single company, other number", {"--name", "Eins"}, {"--company", "2"},
                "zentorctl: FIRMEN.TXT is a single-company registry for 01 Eins; leave out --company or give 1\n"},
        Refusal{"multi company without choice", {"--company", "1", "--name", "Eins"}, {},
                "zentorctl: FIRMEN.TXT serves several companies; choose one with --company N (01 Eins)\n"},
        Refusal{"unknown company without name", {"--company", "1", "--name", "Eins"}, {"--company", "5"},
                "zentorctl: Die Firma 05 ist nicht eingerichtet. (--name NAME registers it)\n"},
        Refusal{"another name", {"--name", "Eins"}, {"--name", "Anders"},
                "zentorctl: company 01 Eins is registered under that name already; zentorctl company rename "
                "changes it\n"},
        Refusal{"bad company number", {}, {"--company", "x1", "--name", "X"},
                "zentorctl: Die Firmennummer muss zwischen 1 und 99 liegen.\n"},
        Refusal{"bad client number", {}, {"--name", "X", "--mandant", "40000"},
                "zentorctl: Die Mandantennummer muss zwischen 0 und 32767 liegen.\n"},
        Refusal{"empty name", {}, {"--name", " "},
                "zentorctl: Der Firmenname darf nicht leer sein und keine Zeilenumbrüche oder Steuerzeichen "
                "enthalten.\n"}),
    [](const ::testing::TestParamInfo<Refusal>& info) {
      std::string n;
      for (const char* p = info.param.what; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return n;
    });

TEST_F(InitCommand, NeedsTheProgramDirectory) {
  auto r = runZentorctl({"init", "--name", "X"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: init needs --home DIR (the program directory)\n");
  r = runZentorctl({"--home", "/nonexistent/zentor-home", "init", "--name", "X"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: the program directory /nonexistent/zentor-home/ does not exist\n");
}

TEST_F(InitCommand, DataFilesInTheProgramDirectoryOfAMultiCompanyInstallationAreRefused) {
  ScratchDir home;
  ASSERT_EQ(init(home, {"--company", "1", "--name", "Eins"}).exitCode, 0);
  writeFile(home.file("ako.dbf"), "");  // any case counts
  const std::string before = readFile(home.file("FIRMEN.TXT"));
  const auto r = init(home, {"--company", "2", "--name", "Zwei"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Fehler (ZENTOR): Datenfiles im Programmverzeichnis\n"
                   "zentorctl: company 02 Zwei not opened: the program directory " + home.path() +
                       "/ holds company data files, which belong in the FIRMAnn directories\n");
  EXPECT_EQ(readFile(home.file("FIRMEN.TXT")), before);  // not registered after all
  EXPECT_FALSE(fs::exists(home.file("FIRMA02/FDT.INI")));
}

TEST_F(InitCommand, OldDataAreConvertedOnlyWhenTheQuestionIsAnsweredYes) {
  ScratchDir home;
  ASSERT_EQ(init(home, {"--name", "Alt"}).exitCode, 0);
  writeFile(home.file("FDT.INI"), "[ZENTOR]\r\nVersion=1.4\r\n");

  // No terminal, no --yes: the question is answered No and nothing runs.
  auto r = runZentorctl({"--home", home.path(), "krs", "next", "AUNR"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Frage (Lumo-Zentor): Neue Programmversion (V1.4/1.50)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[j/n] n (keine Eingabe möglich)\n"), std::string::npos);
  EXPECT_NE(r.err.find("zentorctl: company 01 Alt not opened: its data must be converted to version 1.5 first "
                       "(answer Yes, or give --yes)\n"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(home.file("KRS.DBF")));
  EXPECT_EQ(readFile(home.file("FDT.INI")), "[ZENTOR]\r\nVersion=1.4\r\n");

  r = runZentorctl({"--home", home.path(), "krs", "next", "AUNR", "--yes"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_NE(r.err.find("[j/n] j\nHinweis (Lumo-Zentor): Datenumstellung durchgeführt\n"), std::string::npos) << r.err;
  EXPECT_NE(readFile(home.file("FDT.INI")).find("Version=1.5"), std::string::npos);
}

}  // namespace
}  // namespace zentor::cli::test
