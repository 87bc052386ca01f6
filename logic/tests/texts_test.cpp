#include <gtest/gtest.h>

#include "logic/texts.h"

namespace zentor::logic {
namespace {

TEST(Ziel, PaymentTermsSentences) {
  const std::pair<const char*, const char*> cases[] = {
      {"14/2/30", "Zahlbar innerhalb von 14 Tagen mit 2% Skonto oder 30 Tage netto"},
      {"0/0/30", "Zahlbar innerhalb von 30 Tagen netto"},
      {"14/2/0", ""},
      {"", ""},
      {"30", ""},
      {"/ /30", "Zahlbar innerhalb von 30 Tagen netto"},
      {"10/ 3 /60 ", "Zahlbar innerhalb von 10 Tagen mit 3% Skonto oder 60 Tage netto"},
      {"8/1.5/14", "Zahlbar innerhalb von 8 Tagen mit 1.5% Skonto oder 14 Tage netto"},
      {"xx/2/30", "Zahlbar innerhalb von 30 Tagen netto"},
  };
  for (const auto& [code, sentence] : cases) EXPECT_EQ(GETZIEL(code), sentence) << code;
}

TEST(Rzl, ExportFields) {
  EXPECT_EQ(RZL(dbf::Value("A;B ")), "AB;");
  EXPECT_EQ(RZL(dbf::Value(0), true), ";");
  EXPECT_EQ(RZL(dbf::Value(0)), "0;");
  EXPECT_EQ(RZL(dbf::Value(20000)), "20000;");
  EXPECT_EQ(RZL(dbf::Value(1234.56)), "1234,56;");
  EXPECT_EQ(RZL(dbf::Value(-20.0), false, 2), "-20,00;");
  EXPECT_EQ(RZL(dbf::Value(0.0), false, 2), "0,00;");
  EXPECT_EQ(RZL(dbf::Value(-0.004), false, 2), "0,00;");
  EXPECT_EQ(RZL(dbf::Value(dbf::Date::fromYmd(2025, 12, 31))), "31122025;");
  EXPECT_EQ(RZL(dbf::Value(dbf::Date())), ";");
  EXPECT_EQ(RZL(dbf::Value::logical(true)), ";");
  EXPECT_EQ(RZL(dbf::Value()), ";");
}

TEST(Quote, WrapsInSingleQuotes) { EXPECT_EQ(QUOTE("Müller"), "'Müller'"); }

TEST(InvoiceAddress, SixLinesNoneDropped) {
  AddressFields f;
  f.anrede = "Herrn    ";
  f.titel = "Dr.       ";
  f.vorname = "                         ";
  f.zuname = "Maier                    ";
  f.zusatz = "     ";
  f.strasse = "Hauptstr. 1  ";
  f.plz = "  1010";
  f.ort = "Wien     ";
  EXPECT_EQ(invoiceAddress(f, "Österreich"),
            "Herrn    \r\nDr.  Maier                    \r\n     \r\nHauptstr. 1  \r\n1010 Wien     \r\nÖsterreich");
  AddressFields empty;
  EXPECT_EQ(invoiceAddress(empty, ""), "\r\n\r\n\r\n\r\n \r\n");
}

TEST(VatRates, DefaultFirstThenAscending) {
  EXPECT_EQ(orderVatRates({{10, false, true}, {20, true, true}, {13, false, true}}), (std::vector<double>{20, 10, 13}));
  EXPECT_EQ(orderVatRates({{10, true, true}, {20, true, true}, {0, false, true}, {13, false, false}}),
            (std::vector<double>{20, 10, 0}));
  EXPECT_EQ(orderVatRates({{20, false, true}, {20, false, true}}), (std::vector<double>{20, 20}));
  EXPECT_TRUE(orderVatRates({{20, true, false}}).empty());
}

}  // namespace
}  // namespace zentor::logic
