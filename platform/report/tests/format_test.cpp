#include <gtest/gtest.h>

#include "report/format.h"
#include "report/textmetrics.h"

namespace zentor::report {
namespace {

using dbf::Value;

struct NumberCase {
  double n;
  int decimals;
  bool thousands;
  bool blankZero;
  const char* want;
};

TEST(FormatValue, NumbersTheGermanWay) {
  const NumberCase cases[] = {
      {1234.5, 2, true, false, "1.234,50"},
      {1234567.891, 2, true, false, "1.234.567,89"},
      {-1234.5, 2, true, false, "-1.234,50"},
      {1.005, 2, false, false, "1,01"},    // half away from zero, despite binary 1.00499..
      {-2.5, 0, false, false, "-3"},
      {-0.004, 2, false, false, "0,00"},   // no "-0,00"
      {0, 2, false, true, ""},
      {999, 0, true, false, "999"},
      {1000, 0, true, false, "1.000"},
      {19.9, -1, false, false, "19,9"},
      {42, -1, false, false, "42"},
  };
  for (const auto& c : cases) {
    FormatSpec style;
    style.decimals = c.decimals;
    style.thousands = c.thousands;
    style.blankZero = c.blankZero;
    EXPECT_EQ(formatValue(Value(c.n), style), c.want) << c.n;
  }
}

TEST(FormatValue, DatesLogicalsAndNil) {
  EXPECT_EQ(formatValue(Value(dbf::Date::fromYmd(2025, 3, 7))), "07.03.2025");
  EXPECT_EQ(formatValue(Value(dbf::Date())), "");
  EXPECT_EQ(formatValue(Value::logical(true)), "Ja");
  EXPECT_EQ(formatValue(Value()), "");
  EXPECT_EQ(formatValue(Value("Müller")), "Müller");
}

TEST(FormatPicture, NumbersAndTexts) {
  struct Case {
    Value v;
    const char* picture;
    const char* want;
  };
  const Case cases[] = {
      {Value(1234.5), "9.999.999,99", "    1.234,50"},
      {Value(0.5), "9.999,99", "    0,50"},
      {Value(-12.0), "9.999", "  -12"},
      {Value(123456.0), "9.999", "*****"},
      {Value(-999.0), "999", "***"},  // no room for the sign
      {Value(0.0), "@Z 9.999,99", "        "},
      {Value(7.0), "Nr. 9999", "Nr.    7"},
      {Value("abc12"), "!!-99", "AB-c1"},
      {Value("müller"), "@!", "MÜLLER"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatPicture(c.v, c.picture), c.want) << c.picture;
}

TEST(WrapText, BreaksAtBlanksLineEndsAndInsideLongWords) {
  const FixedTextMetrics m;  // 10 pt: 2 mm per character
  const Font f;
  using V = std::vector<std::string>;
  EXPECT_EQ(wrapText("eins zwei drei", 20, f, m), (V{"eins zwei", "drei"}));
  EXPECT_EQ(wrapText("Halle 2\r\n\r\n\r\n", 20, f, m), (V{"Halle 2"}));
  EXPECT_EQ(wrapText("a\r\n\r\nb", 20, f, m), (V{"a", "", "b"}));
  EXPECT_EQ(wrapText("Donaudampfschiff", 10, f, m), (V{"Donau", "dampf", "schif", "f"}));
  EXPECT_EQ(wrapText("", 10, f, m), V{});
  EXPECT_EQ(wrapText("äöü äöü", 6, f, m), (V{"äöü", "äöü"}));  // characters, not bytes
}

}  // namespace
}  // namespace zentor::report
