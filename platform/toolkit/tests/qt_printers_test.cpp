#include <gtest/gtest.h>

#include <QPrinterInfo>

#include "support/qt_app.h"
#include "toolkit/qt_printers.h"

namespace zentor::toolkit {
namespace {

// The machine's printers as the system lists them, with at most the one default printer marked.
TEST(QtPrinters, ListsTheSystemsPrintersWithTheDefaultMarked) {
  zentor::testing::ensureApplication();
  const auto printers = QtPrinterSource().GETPRINTERS();
  std::vector<std::string> names;
  for (const QString& n : QPrinterInfo::availablePrinterNames()) {
    if (!n.isEmpty()) names.push_back(n.toStdString());
  }
  ASSERT_EQ(os::printerNames(printers), names);
  int defaults = 0;
  for (const auto& p : printers) {
    if (!p.isDefault) continue;
    ++defaults;
    EXPECT_EQ(QString::fromStdString(p.name).toUpper().trimmed(), QPrinterInfo::defaultPrinterName().toUpper().trimmed());
  }
  EXPECT_LE(defaults, 1);
}

}  // namespace
}  // namespace zentor::toolkit
