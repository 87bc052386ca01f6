// zentorctl demo: a sound, plausible and repeatable installation, and the refusal to write into a
// directory that holds anything.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "dbf/value.h"
#include "support/cli_support.h"
#include "support/company_support.h"

namespace zentor::cli::test {
namespace {

namespace fs = std::filesystem;

class DemoCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    detachStandardInput();
    home_ = new ScratchDir;
    day_ = dbf::Date::today().julian();
    const auto r = runZentorctl({"demo", home_->path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    out_ = r.out;
  }
  static void TearDownTestSuite() {
    delete home_;
    home_ = nullptr;
  }
  static std::string file(const std::string& name) { return home_->file(name); }
  static std::string salesTable() { return "UMS" + std::to_string(dbf::Date::today().year()) + ".DBF"; }

  static ScratchDir* home_;
  static std::string out_;
  static int32_t day_;  // when the suite's demo was made
};

ScratchDir* DemoCommand::home_ = nullptr;
std::string DemoCommand::out_;
int32_t DemoCommand::day_ = 0;

size_t countWhere(const std::vector<Row>& rows, const std::string& field, const std::string& value) {
  size_t n = 0;
  for (const auto& r : rows) n += r.at(field) == value;
  return n;
}

TEST_F(DemoCommand, InstallsTwoCompaniesWhoseTablesAreSound) {
  EXPECT_EQ(out_.rfind("demo installation in " + home_->path() + "/ with 2 companies\n", 0), 0u) << out_;
  EXPECT_NE(out_.find("company 01 Tischlerei Berger GmbH in "), std::string::npos);
  EXPECT_NE(out_.find("company 02 Elektro Wimmer KG in "), std::string::npos);
  EXPECT_EQ(runZentorctl({"--home", home_->path(), "company", "list"}).out,
            "01 Tischlerei Berger GmbH\n02 Elektro Wimmer KG\n");
  for (const std::string dir : {"", "FIRMA01", "FIRMA02"}) {
    const auto r = runZentorctl({"dbf", "check", file(dir)});
    EXPECT_EQ(r.exitCode, 0) << dir << ":\n" << r.out << r.err;
  }
  // The customer tables are shared in the program directory; no company has its own.
  for (const char* t : {"KND", "KGR", "LND"}) {
    EXPECT_TRUE(fs::exists(file(std::string(t) + ".DBF")));
    EXPECT_FALSE(fs::exists(file(std::string("FIRMA01/") + t + ".DBF")));
  }
  EXPECT_FALSE(fs::exists(file("AKO.DBF")));
}

TEST_F(DemoCommand, SharedMasterDataArePlausible) {
  const auto knd = dumpRows(file("KND.DBF"));
  EXPECT_EQ(knd.size(), 150u);
  std::set<std::string> salutations, numbers;
  size_t withAccount = 0, firmsWithVatId = 0;
  for (const auto& k : knd) {
    salutations.insert(k.at("ANREDE"));
    numbers.insert(k.at("KNDNR"));
    EXPECT_FALSE(k.at("ZUNAME").empty());
    EXPECT_FALSE(k.at("ORT").empty());
    const int fibu = std::stoi(k.at("FIBU"));
    EXPECT_TRUE(fibu == 0 || (fibu >= 20000 && fibu <= 29999)) << fibu;
    withAccount += fibu != 0;
    firmsWithVatId += k.at("ANREDE") == "Firma" && k.at("UIDNR").rfind("ATU", 0) == 0;
    EXPECT_EQ(std::count(k.at("ZIEL").begin(), k.at("ZIEL").end(), '/'), 2) << k.at("ZIEL");
  }
  EXPECT_EQ(salutations, (std::set<std::string>{"Herrn", "Frau", "Firma"}));
  EXPECT_EQ(numbers.size(), 150u);
  EXPECT_GT(withAccount, 10u);
  EXPECT_GT(firmsWithVatId, 10u);
  EXPECT_EQ(dumpRows(file("KGR.DBF")).size(), 5u);

  const auto lnd = dumpRows(file("LND.DBF"));
  std::map<std::string, std::string> countries;
  for (const auto& l : lnd) countries[l.at("LAND")] = l.at("TXT");
  EXPECT_EQ(countries.at("A"), "ÖSTERREICH");
  EXPECT_EQ(countries.at("D"), "DEUTSCHLAND");
  EXPECT_EQ(countries.at("CH"), "SCHWEIZ");
  EXPECT_EQ(countries.at("I"), "ITALIEN");
  // Stored in the OEM code page: Ö is 0x99 in code page 850.
  EXPECT_NE(readFile(file("LND.DBF")).find("\x99STERREICH"), std::string::npos);
}

TEST_F(DemoCommand, EachCompanyHasItsMasterDataAndSettings) {
  for (const std::string dir : {"FIRMA01", "FIRMA02"}) {
    SCOPED_TRACE(dir);
    const auto mws = dumpRows(file(dir + "/MWS.DBF"));
    ASSERT_EQ(mws.size(), 4u);
    std::map<std::string, Row> rates;
    for (const auto& m : mws) rates[m.at("MWST")] = m;
    for (const auto& [rate, account] :
         std::map<std::string, std::string>{{"20", "4000"}, {"13", "4010"}, {"10", "4020"}, {"0", "4030"}}) {
      EXPECT_EQ(rates.at(rate).at("FIBU"), account);
      EXPECT_EQ(rates.at(rate).at("AKTIV"), "T");
      EXPECT_EQ(rates.at(rate).at("DEFAULT"), rate == "20" ? "T" : "F");
    }
    EXPECT_EQ(dumpRows(file(dir + "/AGR.DBF")).size(), 8u);
    const auto art = dumpRows(file(dir + "/ART.DBF"));
    EXPECT_GE(art.size(), 100u);
    std::set<std::string> units, agr;
    size_t withExtra = 0;
    for (const auto& a : art) {
      units.insert(a.at("EINHEIT"));
      agr.insert(a.at("AGRNR"));
      withExtra += !a.at("ZUSATZ").empty();
      EXPECT_GT(std::stod(a.at("VKP")), 0.0) << a.at("TXT");
      EXPECT_LE(std::stod(a.at("EKP")), std::stod(a.at("VKP"))) << a.at("TXT");
    }
    EXPECT_EQ(agr.size(), 8u);
    EXPECT_GT(withExtra, 5u);
    EXPECT_TRUE(units.count("Stk") && units.count("m") && units.count("Std") && units.count("Pkg") &&
                units.count("kg"));
    std::set<std::string> keys;
    for (const auto& t : dumpRows(file(dir + "/TXT.DBF"))) keys.insert(t.at("TXTNR"));
    EXPECT_TRUE(keys.count("GRUSS") && keys.count("LIEF") && keys.count("ZAHL"));

    const std::string ini = readFile(file(dir + "/FDT.INI"));
    EXPECT_EQ(ini.rfind("[ZENTOR]\r\nVersion=1.5\r\n", 0), 0u);
    for (const char* key : {"Werbetext1=", "Werbetext2=", "Adresse=", "Bank1=", "Bank2=", "Gericht=",
                            "Angebotstext=", "Grussformel=", "Unterschrift="}) {
      EXPECT_NE(ini.find(std::string("\r\n") + key), std::string::npos) << key;
    }
    EXPECT_NE(ini.find("IBAN AT"), std::string::npos);
    EXPECT_NE(ini.find("[SONSTIGES]\r\nZiel=14/2/30\r\nEinheit=Stk\r\nKundengruppe=1\r\nJahresnummern=.T.\r\n"
                       "BtoNto=N\r\n"),
              std::string::npos);
  }
}

TEST_F(DemoCommand, OrdersAreNumberedFromTheRangesAndPricedAsTheOrderWindowPricesThem) {
  const uint32_t yy = static_cast<uint32_t>(dbf::Date::today().year() % 100);
  for (const std::string dir : {"FIRMA01", "FIRMA02"}) {
    SCOPED_TRACE(dir);
    const auto ako = dumpRows(file(dir + "/AKO.DBF"));
    const auto apo = dumpRows(file(dir + "/APO.DBF"));
    const auto ums = dumpRows(file(dir + "/" + salesTable()));
    std::map<std::string, Row> articles;
    for (const auto& a : dumpRows(file(dir + "/ART.DBF"))) articles[a.at("ARTNR")] = a;
    ASSERT_GE(ako.size(), 24u);

    // Yearly order numbers from AUNR, one after the other; KRS holds the last.
    for (size_t i = 0; i < ako.size(); ++i) EXPECT_EQ(ako[i].at("AUFTRAG"), std::to_string(yy * 1000000 + i + 1));
    EXPECT_EQ(dumpRows(file(dir + "/KRS.DBF")).at(0).at("AUNR"), ako.back().at("AUFTRAG"));

    EXPECT_GT(countWhere(ako, "TYP", "R"), 0u);
    EXPECT_GT(countWhere(ako, "TYP", "G"), 0u);
    EXPECT_GT(countWhere(ako, "TYP", "A"), 0u);
    EXPECT_GT(countWhere(ako, "NTOBTO", "B"), 0u);
    const size_t open = countWhere(ako, "TYPNR", "0");
    EXPECT_GE(open * 4, ako.size() * 3);  // most orders stay open
    EXPECT_LT(open, ako.size());
    EXPECT_LT(countWhere(ako, "LSADR1", ""), ako.size());

    std::set<std::string> posted;
    for (const auto& u : ums) posted.insert(u.at("AUFTRAG"));
    for (const auto& o : ako) {
      const std::string auftrag = o.at("AUFTRAG");
      EXPECT_FALSE(o.at("BEDATUM").empty());
      EXPECT_FALSE(o.at("BEDURCH").empty());
      EXPECT_FALSE(o.at("VERSAND").empty());
      // Invoices and credit notes that carry a number are posted, nothing else is.
      const bool numbered = o.at("TYPNR") != "0";
      EXPECT_EQ(posted.count(auftrag) == 1, numbered && o.at("TYP") != "A") << auftrag;

      int expectedSort = 10;
      for (const auto& p : apo) {
        if (p.at("AUFTRAG") != auftrag) continue;
        EXPECT_EQ(p.at("SORT"), std::to_string(expectedSort));
        expectedSort += 10;
        if (p.at("ARTNR") == "0") continue;  // text and free positions
        const Row& a = articles.at(p.at("ARTNR"));
        EXPECT_EQ(p.at("TXT"), a.at("TXT"));
        EXPECT_EQ(p.at("EINHEIT"), a.at("EINHEIT"));
        const int64_t net = scaled(a.at("VKP"), 100);
        const int64_t rate = scaled(o.at("MWST"), 1);
        // The company's article prices are net; gross orders get round(p x (100 + m) / 100).
        const int64_t price = o.at("NTOBTO") == "N" ? net : roundedDiv(net * (100 + rate), 100);
        EXPECT_EQ(scaled(p.at("VKP"), 100), price) << auftrag << " " << a.at("TXT");
        const std::string discount = o.at("RABATT") != "0" ? o.at("RABATT") : a.at("RABATT");
        EXPECT_EQ(p.at("RABATT"), discount);
      }
      EXPECT_GT(expectedSort, 10) << "order " << auftrag << " has no positions";
    }
  }
}

TEST_F(DemoCommand, TheSameDemoComesOutEveryTime) {
  ScratchDir second;
  const auto r = runZentorctl({"demo", second.path()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The demo's dates are counted back from today; a run on each side of midnight differs in them.
  if (dbf::Date::today().julian() != day_) GTEST_SKIP() << "the date changed between the two runs";
  for (const std::string dir : {"", "FIRMA01", "FIRMA02"}) {
    const auto a = dumpAll(file(dir)), b = dumpAll(second.file(dir));
    EXPECT_EQ(a.size(), b.size()) << dir;
    for (const auto& [name, text] : a) {
      ASSERT_TRUE(b.count(name)) << dir << "/" << name;
      EXPECT_EQ(text, b.at(name)) << dir << "/" << name;
    }
    EXPECT_EQ(readFile(file(dir + "/FDT.INI")), readFile(second.file(dir + "/FDT.INI")));
  }
}

TEST(DemoRefusal, OnlyANewOrEmptyDirectoryIsUsed) {
  ScratchDir dir;
  {
    std::ofstream(dir.file("notiz.txt")) << "bleibt";
  }
  auto r = runZentorctl({"demo", dir.path()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: " + dir.path() + " is not empty; the demo needs a new or empty directory\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  r = runZentorctl({"demo", dir.file("notiz.txt")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: " + dir.file("notiz.txt") + " exists and is no directory\n");

  r = runZentorctl({"demo", dir.file("neu/tiefer")});  // a new directory may be nested
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.file("neu/tiefer/FIRMEN.TXT")));

  r = runZentorctl({"demo"});
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace zentor::cli::test
