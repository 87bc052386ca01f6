// AUFTRAG.RPT through the Qt renderer, headless: laid out with Qt's font metrics and written as
// PDF and PNG, as the preview and the printer get it. The files stay in <build>/reports/out/ for
// a look at them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "report/qtrender.h"
#include "support/orders.h"

namespace zentor::reports {
namespace {

using logic::testing::Company;

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "reports_pdf";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string outDir() {
  const std::string d = ZENTOR_BINARY_DIR "/reports/out/";
  std::filesystem::create_directories(d);
  return d;
}

// Runs a command and gives what it wrote; "" when it could not be started.
std::string run(const std::string& cmd) {
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  std::string out;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

int pdfPages(const std::string& path) {
  int pages = -1;
  const std::string info = run("pdfinfo '" + path + "' 2>/dev/null");
  const size_t at = info.find("Pages:");
  if (at != std::string::npos) std::sscanf(info.c_str() + at, "Pages: %d", &pages);
  return pages;
}

// A company logo as the company data window would store it: a JPEG in the program directory.
void writeLogo(const std::string& path) {
  QImage img(600, 300, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(139, 90, 43));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(40, 60, 180, 180, 30, 30);
  p.setPen(QColor(60, 40, 20));
  QFont f = p.font();
  f.setPixelSize(70);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(250, 60, 340, 180), Qt::AlignVCenter | Qt::AlignLeft, "GRUBER");
  p.end();
  ASSERT_TRUE(img.save(QString::fromStdString(path), "JPG"));
}

testing::Order invoice(int extraPositions) {
  testing::Order o;
  o.lsadr1 = "Baustelle Wels-Nord";
  o.lsadr2 = "Halle 2, Tor 3";
  o.bedurch = "Herr Maier";
  o.versand = "10.03. bis 14.03.2025";
  o.bedatum = dbf::Date::fromYmd(2025, 3, 3);
  o.positions = {{2, "Esstisch Eiche massiv, geölt, 180 x 90 cm", 1290.00, 0, "Stk",
                  "Tischplatte 40 mm, Kanten gefast\r\nGestell Flachstahl schwarz pulverbeschichtet"},
                 {6, "Stuhl Buche, Sitz gepolstert", 189.90, 5},
                 {12.5, "Montage und Einbau vor Ort", 58.00, 0, "h"},
                 {1, "Anfahrt Linz - Wels, pauschal", 45.00, 0, ""},
                 {0, "Die Möbel bleiben bis zur vollständigen Bezahlung unser Eigentum.", 0, 0, ""}};
  for (int i = 1; i <= extraPositions; ++i) {
    o.positions.push_back({1, "Beschlag Nr. " + std::to_string(i), 2.35 + i, 0, "Stk"});
  }
  return o;
}

TEST(AuftragPdf, PagesWithQtMetricsAsPdfAndPng) {
  struct Case {
    const char* name;
    int extra;
    size_t pages;
  };
  for (const Case& k : {Case{"rechnung", 0, 1}, Case{"rechnung-lang", 90, 3}}) {
    SCOPED_TRACE(k.name);
    Company c;
    testing::prepareCompany(c);
    writeLogo(c.install.programDir + "Firma07.jpg");
    testing::addOrder(c, invoice(k.extra));
    report::QtTextMetrics metrics;
    report::PageListOutput out(&metrics);
    const testing::Printed p = testing::printOrder(c, out, 1, true);
    ASSERT_EQ(p.doc.pages.size(), k.pages);

    const std::string pdf = outDir() + k.name + ".pdf";
    ASSERT_TRUE(report::writePdf(p.doc, pdf, "Ausdruck Auftrag").ok());
    EXPECT_EQ(pdfPages(pdf), static_cast<int>(k.pages));

    // pdftoppm reads what we wrote; the first page has the logo and the letterhead on it.
    const std::string stem = outDir() + k.name;
    run("pdftoppm -r 100 -png -singlefile -f 1 -l 1 '" + pdf + "' '" + stem + "' 2>&1");
    const std::string png = stem + ".png";
    ASSERT_TRUE(std::filesystem::exists(png));
    QImage img(QString::fromStdString(png));
    ASSERT_FALSE(img.isNull());
    EXPECT_NEAR(static_cast<double>(img.height()) / img.width(), 297.0 / 210.0, 0.01);
    // The logo's brown square, top right (at 145..190 mm, 10..35 mm).
    bool brown = false;
    for (int y = img.height() * 10 / 297; y < img.height() * 35 / 297 && !brown; y += 2) {
      for (int x = img.width() * 145 / 210; x < img.width() * 190 / 210 && !brown; x += 2) {
        const QColor px = img.pixelColor(x, y);
        brown = px.red() > 110 && px.red() < 170 && px.green() > 60 && px.green() < 120 && px.blue() < 80;
      }
    }
    EXPECT_TRUE(brown);
  }
}


// The other documents of an order, for a look at them: delivery note, draft quotation, gross
// credit note. Each PDF has the pages the layout made.
TEST(AuftragPdf, OtherDocuments) {
  struct Case {
    const char* name;
    const char* typ;
    const char* ntobto;
    bool final, deliveryNote;
  };
  for (const Case& k : {Case{"lieferschein", "R", "N", true, true}, Case{"angebot-entwurf", "A", "N", false, false},
                        Case{"gutschrift-brutto", "G", "B", true, false}}) {
    SCOPED_TRACE(k.name);
    Company c;
    testing::prepareCompany(c);
    testing::Order o = invoice(0);
    o.typ = k.typ;
    o.ntobto = k.ntobto;
    testing::addOrder(c, o);
    report::QtTextMetrics metrics;
    report::PageListOutput out(&metrics);
    const testing::Printed p = testing::printOrder(c, out, 1, k.final, k.deliveryNote);
    ASSERT_EQ(p.doc.pages.size(), 1u);
    const std::string pdf = outDir() + k.name + ".pdf";
    ASSERT_TRUE(report::writePdf(p.doc, pdf, "Ausdruck Auftrag").ok());
    EXPECT_EQ(pdfPages(pdf), 1);
  }
}

}  // namespace
}  // namespace zentor::reports
