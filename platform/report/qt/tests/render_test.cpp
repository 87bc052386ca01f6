// The Qt renderer, headless: PDF page counts, PNG pages, real font metrics, the preview dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "dbf/session.h"
#include "dbf/table.h"
#include "report/layout.h"
#include "report/qtoutput.h"
#include "report/qtrender.h"
#include "report/rowsource.h"
#include "report/rpreport.h"

namespace zentor::report {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "report_qt_render";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string tempStem(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("zentor-report-" + std::to_string(::getpid()) + "-" + name)).string();
}

// pdfinfo's "Pages:" line; -1 when it cannot be read.
int pdfPages(const std::string& path) {
  const std::string cmd = "pdfinfo '" + path + "' 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char line[512];
  int pages = -1;
  while (fgets(line, sizeof line, p)) {
    if (std::sscanf(line, "Pages: %d", &pages) == 1) break;
  }
  pclose(p);
  return pages;
}

// A list of `rows` lines with a page number footer, laid out with Qt's metrics.
Document listOf(int rows, const TextMetrics& metrics) {
  std::vector<std::vector<dbf::Value>> data;
  for (int i = 1; i <= rows; ++i) data.push_back({dbf::Value("Zeile " + std::to_string(i) + " – Größe äöü ß")});
  MemoryRowSource src({"T.TXT"}, std::move(data));
  VariableStore vars;
  auto doc = layoutReport(R"rpt(
page format=A4 left=20 right=20 top=20 bottom=20
band pageheader height=10
  static x=0 y=0 w=170 text="Artikelliste" size=14 bold
  line x=0 y=8 x2=170 y2=8 width=0.3
end
band detail height=6
  text x=0 y=0 w=120 value={T.TXT}
  box x=125 y=0.5 w=4 h=4 fill=200
end
band pagefooter height=6
  text x=0 y=0 w=170 value={"Seite " + ltrim(str(nPage)) + " von " + ltrim(str(nPageCount))} align=right size=8
end
)rpt",
                          src, vars, metrics);
  EXPECT_TRUE(doc.ok()) << doc.status().toString();
  return doc.ok() ? std::move(doc.value()) : Document();
}

TEST(QtRender, PdfHasOnePagePerLaidOutPage) {
  QtTextMetrics metrics;
  for (int rows : {1, 40, 100}) {
    const Document doc = listOf(rows, metrics);
    ASSERT_FALSE(doc.pages.empty());
    const std::string path = tempStem("list-" + std::to_string(rows)) + ".pdf";
    ASSERT_TRUE(writePdf(doc, path, "Artikelliste").ok());
    EXPECT_EQ(pdfPages(path), static_cast<int>(doc.pages.size())) << rows << " rows";
    std::filesystem::remove(path);
  }
  // 100 rows of 6 mm on a 241 mm body: 41 a page.
  EXPECT_EQ(listOf(100, metrics).pages.size(), 3u);
}

TEST(QtRender, PngPagesHaveThePageSizeAndInk) {
  QtTextMetrics metrics;
  const Document doc = listOf(45, metrics);
  ASSERT_EQ(doc.pages.size(), 2u);
  const std::string stem = tempStem("png");
  auto files = writePngPages(doc, stem, 50);
  ASSERT_TRUE(files.ok()) << files.status().toString();
  ASSERT_EQ(files->size(), 2u);
  for (const std::string& f : files.value()) {
    QImage img(QString::fromStdString(f));
    ASSERT_FALSE(img.isNull()) << f;
    EXPECT_EQ(img.width(), 413);  // 210 mm at 50 dpi
    EXPECT_EQ(img.height(), 585);
    // The header rule at 28 mm from the top, from 20 to 190 mm: ink in its middle (thin at this
    // resolution, so antialiased over a pixel or two).
    int darkest = 255;
    for (int y = 53; y <= 58; ++y) darkest = std::min(darkest, qGray(img.pixel(img.width() / 2, y)));
    EXPECT_LT(darkest, 200) << f;
    EXPECT_EQ(qGray(img.pixel(5, 5)), 255);  // margins stay white
    std::filesystem::remove(f);
  }
}

TEST(QtRender, MetricsScaleWithFontAndDistinguishGlyphs) {
  QtTextMetrics m;
  Font f;
  const double narrow = m.width("iiiiiiiiii", f);
  const double wide = m.width("MMMMMMMMMM", f);
  EXPECT_GT(wide, narrow * 1.5);
  Font big = f;
  big.size = 20;
  EXPECT_NEAR(m.width("Rechnung", big), 2 * m.width("Rechnung", f), 0.05 * m.width("Rechnung", big));
  EXPECT_GT(m.lineHeight(f), 3.0);  // 10 pt is 3.5 mm; lines are a bit taller
  EXPECT_LT(m.lineHeight(f), 6.0);
  EXPECT_EQ(qtFontFamily("Arial"), qtFontFamily("Sans"));
  EXPECT_NE(qtFontFamily("Courier New"), qtFontFamily("Sans"));
}

TEST(QtOutput, PreviewIsModalAndReturnsWhenClosed) {
  QtOutput out;
  QtTextMetrics metrics;
  const Document doc = listOf(50, metrics);
  QString title;
  out.onPreviewOpen = [&title](QPrintPreviewDialog& dlg) {
    title = dlg.windowTitle();
    QTimer::singleShot(0, &dlg, &QDialog::reject);
  };
  const auto s = out.preview(nullptr, doc, OutputTexts{"ARTSTGRP", "ARTSTGRP.PRN", "Artikel nach Gruppen", "Bericht in Bearbeitung..."});
  EXPECT_TRUE(s.ok()) << s.toString();
  EXPECT_EQ(title, QStringLiteral("Artikel nach Gruppen"));
}

TEST(PdfOutput, ReportOverTablesBecomesAPdfWithItsPageCount) {
  const std::string dir = tempStem("pdfout");
  std::filesystem::create_directories(dir);
  {
    dbf::Session s;
    s.setSyncOnCommit(false);
    ASSERT_TRUE(dbf::Table::create(s, dir + "/ART.DBF", {{"ARTNR", 'N', 5, 0}, {"TXT", 'C', 40, 0}}, true).ok());
    auto t = dbf::Table::open(s, dir + "/ART.DBF", dbf::OpenOptions{false, false});
    ASSERT_TRUE(t.ok());
    for (int i = 1; i <= 120; ++i) {
      ASSERT_TRUE((*t)->append().ok());
      ASSERT_TRUE((*t)->put("ARTNR", dbf::Value(i)).ok());
      ASSERT_TRUE((*t)->put("TXT", dbf::Value("Artikel Nr. " + std::to_string(i))).ok());
      ASSERT_TRUE((*t)->commit().ok());
    }
    ASSERT_TRUE((*t)->createTag("ARTNR", "str(ARTNR,5)", {}, dir + "/ART.CDX").ok());
  }
  std::FILE* f = std::fopen((dir + "/ARTSTTXT.RPT").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("master alias=ART\nband pageheader height=10\n  static x=0 y=0 text=\"Artikel\" size=14 bold\nend\n"
             "band detail height=5\n  text x=0 y=0 w=20 value={Art.Artnr} align=right\n"
             "  text x=25 y=0 w=100 value={trim(Art.Txt)}\nend\n",
             f);
  std::fclose(f);
  PdfOutput out(dir);
  RpReport r(out);
  ASSERT_TRUE(r.Init(nullptr, dir + "/ARTSTTXT.RPT", dir, {{"ART", dir + "/ART.DBF", dir + "/ART.CDX"}}))
      << r.lastStatus().toString();
  r.SeekExpression("'   11'");
  r.WhileExpression("Art.Artnr<=110");
  ASSERT_TRUE(r.PrintPreview("ARTSTTXT", "ARTSTTXT.PRN", "Artikel nach Bezeichnung", "Bericht in Bearbeitung...").ok())
      << r.lastStatus().toString();
  ASSERT_EQ(out.written.size(), 1u);
  // 100 articles of 5 mm under a 10 mm header on a 267 mm body (A4, 15 mm margins): 51 a page.
  EXPECT_EQ(pdfPages(out.written[0]), 2);
  r.Close();
  std::filesystem::remove_all(dir);
}

TEST(QtOutput, UnknownPrinterIsRefused) {
  QtOutput out;
  EXPECT_FALSE(out.hasPrinter("Kein Drucker mit diesem Namen"));
  Document doc;
  doc.pages.emplace_back();
  const auto s = out.print(nullptr, doc, "Kein Drucker mit diesem Namen", {});
  EXPECT_TRUE(s.isNotFound()) << s.toString();
}

}  // namespace
}  // namespace zentor::report
