#include "os/printers.h"

#include <gtest/gtest.h>

namespace zentor::os {
namespace {

TEST(Printers, DefaultNameIsTheTrimmedUpperCasedTextBeforeTheFirstComma) {
  EXPECT_EQ(defaultPrinterName("HP LaserJet 4,winspool,Ne00:"), "HP LASERJET 4");
  EXPECT_EQ(defaultPrinterName("  Büro-Drucker  "), "BÜRO-DRUCKER");
  EXPECT_EQ(defaultPrinterName(""), "");
  EXPECT_EQ(defaultPrinterName(",winspool,LPT1:"), "");
}

TEST(Printers, ListSkipsNamelessPrintersAndMarksTheDefault) {
  const std::vector<RawPrinter> raw = {{"Büro-Drucker", true, "HP PCL", "LPT1:"},
                                       {"", true, "x", "y"},
                                       {"\\\\server\\Etiketten", false, "Zebra", "IP_10.0.0.9"}};
  const auto list = buildPrinterList(raw, defaultPrinterName("büro-drucker,winspool,LPT1:"));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], (PrinterEntry{"Büro-Drucker", true, true, "HP PCL", "LPT1:"}));
  EXPECT_EQ(list[1], (PrinterEntry{"\\\\server\\Etiketten", false, false, "Zebra", "IP_10.0.0.9"}));
  EXPECT_EQ(printerNames(list), (std::vector<std::string>{"Büro-Drucker", "\\\\server\\Etiketten"}));
  // Without a default printer nothing is marked.
  for (const auto& p : buildPrinterList(raw, "")) EXPECT_FALSE(p.isDefault);
}

TEST(Printers, FixedSourceReturnsItsList) {
  FixedPrinterSource none;
  EXPECT_TRUE(none.GETPRINTERS().empty());
  FixedPrinterSource two({{"A", true, true, "d", "p"}, {"B", false, false, "d", "q"}});
  EXPECT_EQ(printerNames(two.GETPRINTERS()), (std::vector<std::string>{"A", "B"}));
}

}  // namespace
}  // namespace zentor::os
