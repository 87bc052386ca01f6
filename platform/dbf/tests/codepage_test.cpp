#include "dbf/codepage.h"

#include <gtest/gtest.h>

namespace zentor::dbf {
namespace {

TEST(CodepageTest, GermanLettersInCp850) {
  EXPECT_EQ(utf8ToCp850("ÄÖÜäöüß"), "\x8E\x99\x9A\x84\x94\x81\xE1");
  EXPECT_EQ(cp850ToUtf8("\x8E\x99\x9A\x84\x94\x81\xE1"), "ÄÖÜäöüß");
  EXPECT_EQ(fromUtf8("ÄÖÜäöüß", CodePage::kCp1252), "\xC4\xD6\xDC\xE4\xF6\xFC\xDF");
  EXPECT_EQ(utf8ToCp850("Preis 12,50"), "Preis 12,50");
}

TEST(CodepageTest, EveryByteRoundTrips) {
  for (CodePage cp : {CodePage::kCp850, CodePage::kCp1252}) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = toUtf8(all, cp);
    EXPECT_EQ(utf8Length(utf8), 256u);
    EXPECT_TRUE(representable(utf8, cp));
    EXPECT_EQ(fromUtf8(utf8, cp), all);
  }
}

TEST(CodepageTest, EuroOnlyInWindows1252) {
  EXPECT_FALSE(representable("5 €", CodePage::kCp850));
  EXPECT_TRUE(representable("5 €", CodePage::kCp1252));
  EXPECT_EQ(utf8ToCp850("5 €"), "5 ?");
  EXPECT_EQ(fromUtf8("5 €", CodePage::kCp850, '_'), "5 _");
  EXPECT_EQ(fromUtf8("5 €", CodePage::kCp1252), "5 \x80");
  EXPECT_EQ(toUtf8("\x80", CodePage::kCp1252), "€");
  EXPECT_EQ(toUtf8("\x80", CodePage::kCp850), "Ç");
}

TEST(CodepageTest, MalformedUtf8IsTakenAsLatin1) {
  // A lone 0xE4 is Latin-1 'ä', which cp850 holds as 0x84.
  EXPECT_EQ(fromUtf8("a\xE4z", CodePage::kCp850), "a\x84z");
  EXPECT_EQ(utf8Length("a\xE4z"), 3u);
  EXPECT_EQ(utf8Length("Müller"), 6u);
  EXPECT_EQ(utf8Length(""), 0u);
}

}  // namespace
}  // namespace zentor::dbf
