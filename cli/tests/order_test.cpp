// zentorctl order finalise|totals on a demo installation: numbering once, posting once, the
// refusals of a final print, and totals checked against a computation of their own.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/session.h"
#include "dbf/table.h"
#include "dbf/value.h"
#include "support/cli_support.h"
#include "support/company_support.h"

namespace zentor::cli::test {
namespace {

std::string todayText() {
  const dbf::Date d = dbf::Date::today();
  const std::string s = d.dtos();
  return s.substr(6, 2) + "." + s.substr(4, 2) + "." + s.substr(0, 4);
}

// Sum of the position values in cents, computed on the decimal digits as dumped: quantity in
// tenths x price in cents x (100 - discount) / 1000, rounded half away from zero per position.
int64_t positionsSum(const std::vector<Row>& apo, const std::string& auftrag) {
  int64_t sum = 0;
  for (const auto& p : apo) {
    if (p.at("AUFTRAG") != auftrag) continue;
    sum += roundedDiv(scaled(p.at("MENGE"), 10) * scaled(p.at("VKP"), 100) * (100 - scaled(p.at("RABATT"), 1)), 1000);
  }
  return sum;
}

// The number a yearly counter of the demo (Jahresnummern=.T.) issues after `last`.
std::string nextYearly(const std::string& last) {
  const uint32_t yy = static_cast<uint32_t>(dbf::Date::today().year() % 100);
  const uint32_t n = static_cast<uint32_t>(std::stoul(last));
  return std::to_string(n / 1000000 == yy ? n + 1 : yy * 1000000 + 1);
}

struct Totals {
  int64_t net, vat, gross;
};

Totals expectedTotals(int64_t sum, const std::string& mode, int64_t rate) {
  if (mode == "N") {
    const int64_t vat = roundedDiv(sum * rate, 100);
    return {sum, vat, sum + vat};
  }
  const int64_t net = roundedDiv(sum * 100, 100 + rate);
  return {net, sum - net, sum};
}

class OrderCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { detachStandardInput(); }
  void SetUp() override {
    const auto r = runZentorctl({"demo", home_.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    data_ = home_.file("FIRMA01");
  }
  RunResult order(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--home", home_.path(), "--company", "1", "order"};
    all.insert(all.end(), args.begin(), args.end());
    return runZentorctl(all);
  }
  // The first open order of kind `typ`.
  Row openOrder(const std::string& typ) {
    for (const auto& o : dumpRows(data_ + "/AKO.DBF"))
      if (o.at("TYP") == typ && o.at("TYPNR") == "0" && o.at("LSNR") == "0") return o;
    ADD_FAILURE() << "no open order of kind " << typ;
    return {};
  }
  Row ako(const std::string& auftrag) {
    for (const auto& o : dumpRows(data_ + "/AKO.DBF"))
      if (o.at("AUFTRAG") == auftrag) return o;
    return {};
  }
  size_t postings(const std::string& auftrag) {
    size_t n = 0;
    for (const auto& u : dumpRows(data_ + "/UMS" + std::to_string(dbf::Date::today().year()) + ".DBF"))
      n += u.at("AUFTRAG") == auftrag;
    return n;
  }
  std::string counter(const std::string& field) { return dumpRows(data_ + "/KRS.DBF").at(0).at(field); }

  ScratchDir home_;
  std::string data_;
};

TEST_F(OrderCommand, FinaliseNumbersAndPostsAnInvoiceOnce) {
  const Row invoice = openOrder("R");
  ASSERT_FALSE(invoice.empty());
  const std::string auftrag = invoice.at("AUFTRAG");
  size_t articlePositions = 0;
  const auto apo = dumpRows(data_ + "/APO.DBF");
  for (const auto& p : apo) articlePositions += p.at("AUFTRAG") == auftrag && p.at("ARTNR") != "0";
  ASSERT_GT(articlePositions, 0u);
  const std::string expectedNumber = nextYearly(counter("RENR"));
  const auto customerBefore = [&] {
    for (const auto& k : dumpRows(home_.file("KND.DBF")))
      if (k.at("KNDNR") == invoice.at("KNDNR")) return k;
    return Row{};
  }();
  ASSERT_EQ(postings(auftrag), 0u);

  auto r = order({"finalise", auftrag});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, expectedNumber + " " + todayText() + "\n");
  EXPECT_EQ(r.err, "");
  const Row after = ako(auftrag);
  EXPECT_EQ(after.at("TYPNR"), expectedNumber);
  EXPECT_EQ(after.at("TYPDATUM"), dbf::Date::today().dtos());
  EXPECT_EQ(after.at("LSNR"), "0");
  EXPECT_EQ(postings(auftrag), articlePositions);
  for (const auto& k : dumpRows(home_.file("KND.DBF"))) {
    if (k.at("KNDNR") != invoice.at("KNDNR")) continue;
    const Totals t = expectedTotals(positionsSum(apo, auftrag), invoice.at("NTOBTO"), scaled(invoice.at("MWST"), 1));
    EXPECT_EQ(scaled(k.at("UMSBTO"), 100), scaled(customerBefore.at("UMSBTO"), 100) + t.gross);
    EXPECT_EQ(k.at("LBWDAT"), dbf::Date::today().dtos());
  }

  // A second final print prints the stored number and date and neither numbers nor posts again.
  r = order({"finalise", auftrag});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, expectedNumber + " " + todayText() + "\n");
  EXPECT_EQ(postings(auftrag), articlePositions);
  EXPECT_EQ(counter("RENR"), expectedNumber);
}

TEST_F(OrderCommand, QuotationsAndDeliveryNotesAreNumberedButNotPosted) {
  const std::string quotation = openOrder("A").at("AUFTRAG");
  const std::string annr = nextYearly(counter("ANNR"));
  auto r = order({"finalise", quotation});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, annr + " " + todayText() + "\n");
  EXPECT_EQ(postings(quotation), 0u);

  const std::string invoice = openOrder("R").at("AUFTRAG");
  const std::string lsnr = nextYearly(counter("LSNR"));
  r = order({"finalise", invoice, "--delivery-note"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, lsnr + " " + todayText() + "\n");
  EXPECT_EQ(ako(invoice).at("LSNR"), lsnr);
  EXPECT_EQ(ako(invoice).at("TYPNR"), "0");  // the invoice itself is still open
  EXPECT_EQ(postings(invoice), 0u);

  // Only invoices have delivery notes.
  r = order({"finalise", quotation, "--delivery-note"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: order " + quotation + " is no invoice, so it has no delivery note\n");
}

TEST_F(OrderCommand, AnOrderLockedByAnotherWorkstationIsNotFinalised) {
  const std::string auftrag = openOrder("R").at("AUFTRAG");
  const std::string renr = counter("RENR");
  dbf::Session s;
  auto t = dbf::Table::open(s, data_ + "/AKO.DBF");
  ASSERT_TRUE(t.ok()) << t.status().toString();
  dbf::Table& rival = **t;
  // With its index attached, as every workstation opens it: the lock scheme depends on it.
  ASSERT_TRUE(rival.attachIndex(data_ + "/AKO.CDX").ok());
  for (rival.goTop(); !rival.eof(); rival.skip(1))
    if (std::to_string(static_cast<uint32_t>(rival.getNumber("AUFTRAG"))) == auftrag) break;
  ASSERT_FALSE(rival.eof());
  ASSERT_TRUE(rival.lock());

  auto r = order({"finalise", auftrag});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "zentorctl: Auftrag kann nicht gesperrt werden\n");
  EXPECT_EQ(ako(auftrag).at("TYPNR"), "0");
  EXPECT_EQ(counter("RENR"), renr);
  EXPECT_EQ(postings(auftrag), 0u);

  rival.unlock();
  r = order({"finalise", auftrag});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(OrderCommand, AnExhaustedRangeNumbersNothing) {
  const std::string auftrag = openOrder("R").at("AUFTRAG");
  const uint32_t yy = static_cast<uint32_t>(dbf::Date::today().year() % 100);
  setCounter(data_, "RENR", yy * 1000000 + 999999);  // the demo counts within the year
  const auto r = order({"finalise", auftrag});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "zentorctl: Keine Rechnungsnummern mehr verfügbar: der Nummernkreis dieses Jahres ist "
                   "erschöpft. Der Beleg wurde nicht gedruckt.\n");
  EXPECT_EQ(ako(auftrag).at("TYPNR"), "0");
  EXPECT_EQ(postings(auftrag), 0u);
}

TEST_F(OrderCommand, TotalsAgreeWithTheSumOfThePositions) {
  const auto apo = dumpRows(data_ + "/APO.DBF");
  const auto orders = dumpRows(data_ + "/AKO.DBF");
  ASSERT_FALSE(orders.empty());
  bool sawNet = false, sawGross = false;
  for (const auto& o : orders) {
    const std::string auftrag = o.at("AUFTRAG");
    const Totals t = expectedTotals(positionsSum(apo, auftrag), o.at("NTOBTO"), scaled(o.at("MWST"), 1));
    (o.at("NTOBTO") == "N" ? sawNet : sawGross) = true;
    const auto r = order({"totals", auftrag});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Netto " + germanMoney(t.net) + "\nMwSt " + germanMoney(t.vat) + "\nBrutto " +
                         germanMoney(t.gross) + "\n")
        << "order " << auftrag << " " << o.at("NTOBTO") << " " << o.at("MWST");
  }
  EXPECT_TRUE(sawNet && sawGross);
}

TEST_F(OrderCommand, BadArgumentsAreRefused) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"totals", "abc"}, "zentorctl: ORDER must be an order number of 1 to 8 digits\n"},
      {{"totals", "123456789"}, "zentorctl: ORDER must be an order number of 1 to 8 digits\n"},
      {{"finalise", "0"}, "zentorctl: ORDER must be an order number of 1 to 8 digits\n"},
      {{"totals", "99999999"}, "zentorctl: order 99999999 does not exist\n"},
      {{"finalise", "99999999"}, "zentorctl: order 99999999 does not exist\n"},
      {{"finalise"}, "zentorctl: missing argument; usage: zentorctl order finalise ORDER [--delivery-note] [--yes]\n"},
  };
  for (const auto& c : cases) {
    const auto r = order(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.err;
    EXPECT_EQ(r.err, c.err);
  }
  const auto r = runZentorctl({"--home", home_.path(), "order", "totals", "1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "zentorctl: FIRMEN.TXT serves several companies; choose one with --company N (01 Tischlerei "
                   "Berger GmbH, 02 Elektro Wimmer KG)\n");
}

}  // namespace
}  // namespace zentor::cli::test
