#include "appcore/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zentor::app {
namespace {

struct DateCase {
  const char* input;
  int y, m, d;  // 0 = empty date; -1 = rejected
};

class ParseDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(ParseDateTest, ReadsGermanInput) {
  const auto& c = GetParam();
  const auto got = parseDate(c.input);
  if (c.y < 0) {
    EXPECT_FALSE(got.has_value()) << c.input;
  } else if (c.y == 0) {
    ASSERT_TRUE(got.has_value()) << c.input;
    EXPECT_TRUE(got->empty()) << c.input;
  } else {
    ASSERT_TRUE(got.has_value()) << c.input;
    EXPECT_EQ(*got, dbf::Date::fromYmd(c.y, c.m, c.d)) << c.input;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDateTest,
    ::testing::Values(DateCase{"31.12.2025", 2025, 12, 31}, DateCase{"1.2.25", 2025, 2, 1},
                      DateCase{"01.02.1999", 1999, 2, 1}, DateCase{"1.2.2029", 2029, 2, 1},
                      DateCase{"010229", 2029, 2, 1},     // 29 -> 2029
                      DateCase{"010230", 1930, 2, 1},     // 30 -> 1930
                      DateCase{"1.1.00", 2000, 1, 1}, DateCase{"31.12.99", 1999, 12, 31},
                      DateCase{"29022024", 2024, 2, 29}, DateCase{"  5. 6.26 ", 2026, 6, 5},
                      DateCase{"", 0, 0, 0}, DateCase{"   ", 0, 0, 0}, DateCase{"  .  .    ", 0, 0, 0},
                      DateCase{"29.02.2025", -1, 0, 0},  // no leap year
                      DateCase{"31.04.2025", -1, 0, 0}, DateCase{"0.1.2025", -1, 0, 0},
                      DateCase{"1.13.2025", -1, 0, 0}, DateCase{"1.1.225", -1, 0, 0},
                      DateCase{"1.1", -1, 0, 0}, DateCase{"1.1.2025.", -1, 0, 0},
                      DateCase{"1/1/2025", -1, 0, 0}, DateCase{"0101250", -1, 0, 0},
                      DateCase{"morgen", -1, 0, 0}, DateCase{"123.1.2025", -1, 0, 0},
                      DateCase{"-1.1.2025", -1, 0, 0}));

TEST(Format, DatesShowDayMonthCenturyYear) {
  EXPECT_EQ(formatDate(dbf::Date::fromYmd(2025, 12, 31)), "31.12.2025");
  EXPECT_EQ(formatDate(dbf::Date::fromYmd(1930, 1, 5)), "05.01.1930");
  EXPECT_EQ(formatDate(dbf::Date()), "");
  EXPECT_EQ(windowYear(29), 2029);
  EXPECT_EQ(windowYear(30), 1930);
  EXPECT_EQ(windowYear(0), 2000);
  EXPECT_EQ(windowYear(99), 1999);
}

struct NumberFormatCase {
  double value;
  int decimals;
  bool grouped;
  const char* expected;
};

class FormatNumberTest : public ::testing::TestWithParam<NumberFormatCase> {};

TEST_P(FormatNumberTest, UsesGermanSeparators) {
  const auto& c = GetParam();
  EXPECT_EQ(formatNumber(c.value, c.decimals, c.grouped), c.expected) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatNumberTest,
    ::testing::Values(NumberFormatCase{1234.56, 2, true, "1.234,56"}, NumberFormatCase{1234.56, 2, false, "1234,56"},
                      NumberFormatCase{-1234.5, 2, true, "-1.234,50"}, NumberFormatCase{0, 2, false, "0,00"},
                      NumberFormatCase{7, 0, false, "7"}, NumberFormatCase{999.5, 0, true, "1.000"},
                      NumberFormatCase{2.675, 2, false, "2,68"},   // the decimal value, not its binary neighbour
                      NumberFormatCase{1.005, 2, false, "1,01"}, NumberFormatCase{-2.5, 0, false, "-3"},  // half away from zero
                      NumberFormatCase{0.1 + 0.2, 2, false, "0,30"}, NumberFormatCase{-0.004, 2, false, "0,00"},  // no "-0,00"
                      NumberFormatCase{-0.0, 1, false, "0,0"}, NumberFormatCase{123456789.0, 0, true, "123.456.789"},
                      NumberFormatCase{99.999, 2, true, "100,00"}, NumberFormatCase{0.5, 3, false, "0,500"},
                      NumberFormatCase{std::numeric_limits<double>::infinity(), 2, false, "*"},
                      NumberFormatCase{std::nan(""), 2, false, "*"}));

struct NumberParseCase {
  const char* input;
  bool ok;
  double value;
};

class ParseNumberTest : public ::testing::TestWithParam<NumberParseCase> {};

TEST_P(ParseNumberTest, ReadsGermanInputAndRejectsGarbage) {
  const auto& c = GetParam();
  const auto got = parseNumber(c.input);
  ASSERT_EQ(got.has_value(), c.ok) << c.input;
  if (c.ok) {
    EXPECT_DOUBLE_EQ(*got, c.value) << c.input;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseNumberTest,
    ::testing::Values(NumberParseCase{"1.234,56", true, 1234.56}, NumberParseCase{"-0,5", true, -0.5},
                      NumberParseCase{"1234,5", true, 1234.5}, NumberParseCase{"1.234", true, 1234},
                      NumberParseCase{"1.234.567", true, 1234567}, NumberParseCase{",5", true, 0.5},
                      NumberParseCase{"5,", true, 5}, NumberParseCase{"+7", true, 7},
                      NumberParseCase{"  42  ", true, 42}, NumberParseCase{"", true, 0},
                      NumberParseCase{"   ", true, 0}, NumberParseCase{"0", true, 0},
                      NumberParseCase{"1.5", false, 0},      // a "." is no decimal point here
                      NumberParseCase{"12.34", false, 0}, NumberParseCase{"1234.567", false, 0},
                      NumberParseCase{".234", false, 0}, NumberParseCase{"1..234", false, 0},
                      NumberParseCase{"1,2,3", false, 0}, NumberParseCase{"1.234,5.6", false, 0},
                      NumberParseCase{"abc", false, 0}, NumberParseCase{"12a", false, 0},
                      NumberParseCase{"--1", false, 0}, NumberParseCase{"-", false, 0},
                      NumberParseCase{",", false, 0}, NumberParseCase{"1e5", false, 0},
                      NumberParseCase{"1 234", false, 0}, NumberParseCase{"5-", false, 0}));

TEST(Format, ZeroPadded) {
  EXPECT_EQ(zeroPadded(7, 2), "07");
  EXPECT_EQ(zeroPadded(16, 2), "16");
  EXPECT_EQ(zeroPadded(123, 2), "123");
  EXPECT_EQ(zeroPadded(0, 2), "00");
  EXPECT_EQ(zeroPadded(-7, 3), "-07");
}

struct PictureCase {
  dbf::Value value;
  const char* picture;
  const char* expected;
};

class TransformTest : public ::testing::TestWithParam<PictureCase> {};

TEST_P(TransformTest, FormatsAsTheToolkitWould) {
  const auto& c = GetParam();
  EXPECT_EQ(transform(c.value, c.picture), c.expected) << c.picture;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, TransformTest,
    ::testing::Values(PictureCase{12.5, "@Z 99999.9", "   12,5"}, PictureCase{0, "@Z 99999.9", "       "},
                      PictureCase{0, "99999.9", "    0,0"}, PictureCase{0.04, "@Z 9999999.99", "      0,04"},
                      PictureCase{0.004, "@Z 9999999.99", "          "},  // shows as zero, so blanks
                      PictureCase{12345678, "@Z 99999999", "12345678"}, PictureCase{7, "@Z 9999", "   7"},
                      PictureCase{3.456, "999999.99", "     3,46"}, PictureCase{12345, "999", "***"},
                      PictureCase{1234.5, "99.9", "**,*"}, PictureCase{-5, "99", "-5"},
                      PictureCase{-15, "99", "**"},  // no room for the sign
                      PictureCase{-0.5, "99.9", "-0,5"}, PictureCase{0.5, ".99", ",50"},
                      PictureCase{1234567.891, "9,999,999.99", "1.234.567,89"},
                      PictureCase{-123, "9,999", " -123"}, PictureCase{12, "9,999", "   12"},
                      PictureCase{12.5, "@B 9999.9", "12,5  "}, PictureCase{5, "EUR 999", "EUR   5"},
                      PictureCase{19.99, "", "19,99"}, PictureCase{3, "@Z", "3"}, PictureCase{0, "@Z", ""},
                      PictureCase{99.95, "99.9", "**,*"}));  // rounding carries into an extra digit

INSTANTIATE_TEST_SUITE_P(
    Texts, TransformTest,
    ::testing::Values(PictureCase{"deu", "!!!", "DEU"}, PictureCase{"äöüß", "!!!!", "ÄÖÜß"},
                      PictureCase{"de", "!!!", "DE "}, PictureCase{"deutsch", "!!!", "DEU"},
                      PictureCase{"14/2/30", "99/9/999", "14/2/30 "}, PictureCase{"1423030", "@R 99/9/999", "14/2/303"},
                      PictureCase{"142", "@R 99/9/999", "14/2/   "}, PictureCase{"abc", "", "abc"},
                      PictureCase{"abc", "@!", "ABC"}, PictureCase{"abcd", "@! XX", "AB"},
                      PictureCase{"Straße", "XXXXXXXX", "Straße  "}));

INSTANTIATE_TEST_SUITE_P(
    Others, TransformTest,
    ::testing::Values(PictureCase{dbf::Date::fromYmd(2025, 3, 1), "", "01.03.2025"},
                      PictureCase{dbf::Date(), "", "          "}, PictureCase{dbf::Value::logical(true), "", "T"},
                      PictureCase{dbf::Value::logical(false), "", "F"}, PictureCase{dbf::Value(), "99", ""}));

}  // namespace
}  // namespace zentor::app
