// Page breaks inside the data against the carried totals: a row is counted on the page it is
// printed on, also when its text starts below the top of its band. Fixed test metrics: 10 pt text
// is 2 mm a character and 5 mm a line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "report/layout.h"
#include "support/layout_fixture.h"

namespace zentor::report {
namespace {

using dbf::Value;
using testing::layout;
using testing::linesWithY;

// Body from 10 to 47 mm: 37 mm on page 1 (six 6 mm rows and 1 mm to spare), 32 mm below the 5 mm
// header of later pages (five rows and 2 mm). A row's text stands 1 mm below the top of its band,
// so the spare millimetres would hold an empty slice of the next row. `@DECOR@` is replaced by
// extra elements of the detail band.
const char* kRows = R"rpt(
page width=100 height=62 left=10 right=10 top=10 bottom=10
total name=nSum sum={POS.BETRAG}
total name=nSeite sum={POS.BETRAG} reset=page
band pageheader height=5 if={nPage > 1}
  static x=0 y=0 w=20 text="Übertrag"
  text x=20 y=0 w=30 value={nSum} decimals=2 align=right
end
band detail height=6
@DECOR@
  text x=0 y=1 w=40 h=5 value={"Pos " + ltrim(str(POS.NR))}
  text x=40 y=1 w=40 h=5 value={POS.BETRAG} decimals=2 align=right
end
band pagefooter height=5 if={!lLastPage}
  static x=0 y=0 w=20 text="Übertrag"
  text x=20 y=0 w=30 value={nSum} decimals=2 align=right
  text x=50 y=0 w=30 value={nSeite} decimals=2 align=right
end
band summary height=5
  static x=0 y=0 w=20 text="Summe"
  text x=20 y=0 w=30 value={nSum} decimals=2 align=right
end
)rpt";

constexpr double kBodyTop = 10, kHeader = 5, kFooterY = 47, kRowHeight = 6;

std::string withDecor(const std::string& decor) {
  std::string s = kRows;
  s.replace(s.find("@DECOR@"), 7, decor);
  return s;
}

// "1,25" -> 125 (the test values have no thousands); -1 for a missing text.
long cents(const std::string& german) {
  if (german.empty()) return -1;
  std::string s = german;
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  return std::lround(std::stod(s) * 100);
}

// The texts of a page by their box position, "x|y" to 0.1 mm.
std::map<std::string, std::string> byPosition(const Page& page) {
  std::map<std::string, std::string> out;
  for (const Item& it : page.items) {
    if (const auto* t = std::get_if<TextRun>(&it)) {
      char key[32];
      std::snprintf(key, sizeof key, "%.1f|%.1f", t->x, t->y);
      out[key] = t->text;
    }
  }
  return out;
}

std::string at(const std::map<std::string, std::string>& texts, double x, double y) {
  char key[32];
  std::snprintf(key, sizeof key, "%.1f|%.1f", x, y);
  auto it = texts.find(key);
  return it == texts.end() ? std::string() : it->second;
}

TEST(PageBreak, CarriedTotalOfEveryPageIsTheSumOfItsRows) {
  struct Case {
    const char* what;
    std::string decor;
  };
  const Case cases[] = {
      {"text only", ""},
      {"rule above the text", "  line x=0 y=0 x2=80 y2=0"},
      {"frame around the row", "  box x=0 y=0 w=80 h=6"},
  };
  const int kCount = 14;
  std::vector<std::vector<Value>> data;
  for (int i = 1; i <= kCount; ++i) data.push_back({Value(i), Value(i * 1.25)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryRowSource rows({"POS.NR", "POS.BETRAG"}, data);
    const Document doc = layout(withDecor(c.decor), rows);
    // Six rows on page 1, five on page 2, three and the summary on page 3.
    ASSERT_EQ(doc.pages.size(), 3u);
    int next = 1;
    long carried = 0;
    for (size_t p = 0; p < doc.pages.size(); ++p) {
      SCOPED_TRACE("page " + std::to_string(p + 1));
      const auto texts = byPosition(doc.pages[p]);
      double rowTop = kBodyTop;
      if (p > 0) {
        EXPECT_EQ(cents(at(texts, 30, kBodyTop)), carried) << "header";
        rowTop += kHeader;
      }
      // Every row whole, one under the other from the top of the body: no empty slice of a row
      // at the foot of a page that pushes its text overleaf.
      long pageSum = 0;
      int onPage = 0;
      for (; next <= kCount && rowTop + kRowHeight <= kFooterY; ++next, ++onPage, rowTop += kRowHeight) {
        const std::string name = at(texts, 10, rowTop + 1);
        if (name.empty()) break;
        EXPECT_EQ(name, "Pos " + std::to_string(next));
        pageSum += cents(at(texts, 50, rowTop + 1));
      }
      EXPECT_EQ(onPage, p == 0 ? 6 : p == 1 ? 5 : 3) << ::testing::PrintToString(linesWithY(doc.pages[p]));
      carried += pageSum;
      if (p + 1 < doc.pages.size()) {
        EXPECT_EQ(at(texts, 10, kFooterY), "Übertrag");
        EXPECT_EQ(cents(at(texts, 30, kFooterY)), carried) << "carried total in the footer";
        EXPECT_EQ(cents(at(texts, 60, kFooterY)), pageSum) << "page total in the footer";
      } else {
        EXPECT_EQ(at(texts, 10, rowTop), "Summe");
        EXPECT_EQ(cents(at(texts, 30, rowTop)), carried);
      }
    }
    EXPECT_EQ(next, kCount + 1) << "every row printed once";
  }
}

TEST(PageBreak, GrowingTextLongerThanAPageIsStillSplit) {
  // The memo starts 1 mm down in its band and is 50 lines long: it begins on page 1 below the
  // first row and runs on over the following pages, seven lines (35 of 37 mm) a page.
  const std::string rpt = R"rpt(
page width=100 height=57 left=10 right=10 top=10 bottom=10
band detail height=6
  text x=0 y=1 w=40 h=5 value={POS.TXT} grow
end
)rpt";
  std::string memo;
  for (int i = 1; i <= 50; ++i) memo += (i > 1 ? "\r\n" : "") + std::string(i < 10 ? "z0" : "z") + std::to_string(i);
  MemoryRowSource rows({"POS.TXT"}, {{Value("Erste")}, {Value(memo)}});
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 8u);
  // Page 1: "Erste" at 11, the memo from 17 on: lines z01..z06 up to 47 mm.
  const auto p1 = linesWithY(doc.pages[0]);
  ASSERT_EQ(p1.size(), 7u) << ::testing::PrintToString(p1);
  EXPECT_EQ(p1[0], "11.0|Erste");
  EXPECT_EQ(p1[1], "17.0|z01");
  EXPECT_EQ(p1[6], "42.0|z06");
  const auto p2 = linesWithY(doc.pages[1]);
  ASSERT_EQ(p2.size(), 7u) << ::testing::PrintToString(p2);
  EXPECT_EQ(p2[0], "10.0|z07");
  EXPECT_EQ(p2[6], "40.0|z13");
  EXPECT_EQ(linesWithY(doc.pages[7]), (std::vector<std::string>{"10.0|z49", "15.0|z50"}));
}

TEST(PageBreak, GroupHeaderStaysWithTheFirstLineOfARowThatStartsLowInItsBand) {
  // Body 10..49 mm. Group A ends at 39; B's header (5 mm) would fit, with its first row's first
  // line (down to 6 mm into the row) it does not: B starts on page 2.
  const std::string rpt = R"rpt(
page width=100 height=59 left=10 right=10 top=10 bottom=10
group name=G key={POS.GRP}
band groupheader group=G height=5
  text x=0 y=0 w=40 value={"Gruppe " + POS.GRP}
end
band detail height=6
  text x=0 y=1 w=40 h=5 value={ltrim(str(POS.NR))}
end
)rpt";
  std::vector<std::vector<Value>> data;
  for (int i = 1; i <= 4; ++i) data.push_back({Value("A"), Value(i)});
  data.push_back({Value("B"), Value(5)});
  MemoryRowSource rows({"POS.GRP", "POS.NR"}, std::move(data));
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 2u);
  EXPECT_EQ(pageTexts(doc.pages[0]), (std::vector<std::string>{"Gruppe A", "1", "2", "3", "4"}));
  EXPECT_EQ(linesWithY(doc.pages[1]), (std::vector<std::string>{"10.0|Gruppe B", "16.0|5"}));
}

TEST(PageBreak, BandWithMoreBlankSpaceThanAPageIsCutOnAnEmptyPage) {
  // Body 10..47 mm; the text stands 40 mm down in a 50 mm band: the blank top fills page 1.
  const std::string rpt = R"rpt(
page width=100 height=57 left=10 right=10 top=10 bottom=10
band detail height=50
  text x=0 y=40 w=40 value={POS.TXT}
end
)rpt";
  MemoryRowSource rows({"POS.TXT"}, {{Value("tief")}});
  const Document doc = layout(rpt, rows);
  ASSERT_EQ(doc.pages.size(), 2u);
  EXPECT_TRUE(doc.pages[0].items.empty());
  EXPECT_EQ(linesWithY(doc.pages[1]), (std::vector<std::string>{"13.0|tief"}));
}

}  // namespace
}  // namespace zentor::report
