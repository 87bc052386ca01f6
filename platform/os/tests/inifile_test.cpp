#include "os/inifile.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "os/files.h"
#include "support/temp_dir.h"

namespace zentor::os {
namespace {

using testing::fileExists;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

// A settings file as a person or another program leaves it: comments, odd spacing, a duplicate
// key and a duplicate section, a line without '=', Windows-1252 umlauts (0xE4 = ä, 0xDC = Ü).
const std::string kForeignFile =
    "; written by hand\r\n"
    "[ZENTOR]\r\n"
    "Version = 1.5 \r\n"
    "\r\n"
    "[Beleg]\r\n"
    "Werbetext1=Qualit\xE4t seit 1990\r\n"
    "Leer=\r\n"
    "Quoted=\"  mit Blanks  \"\r\n"
    "Single='x'\r\n"
    "Doppelt=erster\r\n"
    "DOPPELT=zweiter\r\n"
    "  Einger\xFC" "ckt  =  wert  \r\n"
    ";Kommentar=nein\r\n"
    "OhneGleich\r\n"
    "Logik=.T.\r\n"
    "Klein=.t.\r\n"
    "Blank= .T.\r\n"
    "Trailing=wert ;kein Kommentar\r\n"
    "Umbruch=Zeile1\xFFZeile2\r\n"
    "[beleg]\r\n"
    "Nachher=versteckt\r\n"
    "[SONSTIGES]\r\n"
    "Ziel=14/2/30";  // no line end after the last line

struct ReadCase {
  const char* section;
  const char* key;
  const char* expected;
};

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, ForeignFileReadsAsTheSystemFunctionsWould) {
  TempDir dir;
  writeBytes(dir.file("FDT.INI"), kForeignFile);
  INIFILE ini(dir.file("FDT.INI"));
  EXPECT_EQ(ini.GETSTRING(GetParam().section, GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    ::testing::Values(ReadCase{"ZENTOR", "Version", "1.5"},         // blanks around '=' dropped
                      ReadCase{"zentor", "VERSION", "1.5"},         // names ignore case
                      ReadCase{"BELEG", "Werbetext1", "Qualität seit 1990"},
                      ReadCase{"Beleg", "Leer", ""},                // present but empty
                      ReadCase{"Beleg", "Fehlt", " "},              // missing key: one blank
                      ReadCase{"Fehlt", "Version", " "},            // missing section
                      ReadCase{"Beleg", "Quoted", "  mit Blanks  "},  // one quote pair dropped
                      ReadCase{"Beleg", "Single", "x"},
                      ReadCase{"Beleg", "doppelt", "erster"},       // first duplicate wins
                      ReadCase{"BELEG", "EINGERÜCKT", "wert"},      // umlauts ignore case too
                      ReadCase{"Beleg", ";Kommentar", " "},         // comment lines are no keys
                      ReadCase{"Beleg", "OhneGleich", " "},
                      ReadCase{"Beleg", "Trailing", "wert ;kein Kommentar"},
                      ReadCase{"Beleg", "Umbruch", "Zeile1ÿZeile2"},  // 0xFF left to callers
                      ReadCase{"Beleg", "Nachher", " "},            // second [beleg] is never seen
                      ReadCase{"sonstiges", "Ziel", "14/2/30"}));

TEST(IniFile, LogicalIsTrueOnlyForUpperCaseDotTDot) {
  TempDir dir;
  writeBytes(dir.file("FDT.INI"), kForeignFile);
  INIFILE ini(dir.file("FDT.INI"));
  EXPECT_TRUE(ini.GETLOGIC("Beleg", "Logik"));
  EXPECT_FALSE(ini.GETLOGIC("Beleg", "Klein"));
  EXPECT_TRUE(ini.GETLOGIC("Beleg", "Blank"));  // the blank after '=' is trimmed by reading
  EXPECT_FALSE(ini.GETLOGIC("Beleg", "Fehlt"));
}

TEST(IniFile, MissingFileGivesBlankAndEmptySectionAndCreatesNothing) {
  TempDir dir;
  INIFILE ini(dir.file("FDT.INI"));
  EXPECT_FALSE(ini.EXISTS());
  EXPECT_EQ(ini.GETSTRING("ZENTOR", "Version"), " ");
  EXPECT_FALSE(ini.GETLOGIC("SONSTIGES", "Jahresnummern"));
  EXPECT_TRUE(ini.GETSECTION("ZENTOR").empty());
  EXPECT_TRUE(ini.DELETEENTRY("ZENTOR", "Version"));
  EXPECT_FALSE(fileExists(dir.file("FDT.INI")));
}

TEST(IniFile, LfOnlyFileReadsTheSame) {
  TempDir dir;
  std::string lf;
  for (char c : kForeignFile) {
    if (c != '\r') lf += c;
  }
  writeBytes(dir.file("FDT.INI"), lf);
  INIFILE ini(dir.file("FDT.INI"));
  EXPECT_EQ(ini.GETSTRING("ZENTOR", "Version"), "1.5");
  EXPECT_EQ(ini.GETSTRING("Beleg", "Werbetext1"), "Qualität seit 1990");
  EXPECT_EQ(ini.GETSTRING("SONSTIGES", "Ziel"), "14/2/30");
}

TEST(IniFile, SectionListsKeyNamesInFileOrderOnce) {
  TempDir dir;
  writeBytes(dir.file("FDT.INI"), kForeignFile);
  INIFILE ini(dir.file("FDT.INI"));
  EXPECT_EQ(ini.GETSECTION("beleg"),
            (std::vector<std::string>{"Werbetext1", "Leer", "Quoted", "Single", "Doppelt", "Eingerückt",
                                      "Logik", "Klein", "Blank", "Trailing", "Umbruch"}));
  EXPECT_TRUE(ini.GETSECTION("NICHTDA").empty());
}

// Key names are collected through a 4096-character buffer: each costs its length + 1 and the list
// ends at the first name that does not fit in 4095.
struct SectionBufferCase {
  size_t shortNames;  // names of 9 characters (cost 10 each)
  size_t lastLength;  // length of one more name after them
  size_t expectedCount;
};

class IniSectionBufferTest : public ::testing::TestWithParam<SectionBufferCase> {};

TEST_P(IniSectionBufferTest, NamesBeyondTheBufferAreNotReturned) {
  const auto& c = GetParam();
  std::string content = "[S]\r\n";
  for (size_t i = 0; i < c.shortNames; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "K%08zu", i);
    content += std::string(name) + "=1\r\n";
  }
  content += std::string(c.lastLength, 'L') + "=1\r\n";
  content += "Danach=1\r\n";  // a short name after the one that did not fit stays out as well
  TempDir dir;
  writeBytes(dir.file("X.INI"), content);
  INIFILE ini(dir.file("X.INI"));
  EXPECT_EQ(ini.GETSECTION("S").size(), c.expectedCount);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniSectionBufferTest,
                         ::testing::Values(SectionBufferCase{0, 4094, 1},     // 4095 fits; Danach would need 7 more
                                           SectionBufferCase{0, 4095, 0},     // 4096 never fits
                                           SectionBufferCase{409, 4, 410},    // 4090 + 5 = 4095
                                           SectionBufferCase{409, 5, 409}));  // 4090 + 6 = 4096

TEST(IniFile, ValuesAreCutAt1023Characters) {
  TempDir dir;
  const std::string umlauts1024 = std::string(1024, '\xE4');
  writeBytes(dir.file("L.INI"), "[S]\r\nA=" + std::string(1023, 'a') + "\r\nB=" + std::string(1024, 'b') +
                                    "\r\nC=" + umlauts1024 + "\r\n");
  INIFILE ini(dir.file("L.INI"));
  EXPECT_EQ(ini.GETSTRING("S", "A"), std::string(1023, 'a'));
  EXPECT_EQ(ini.GETSTRING("S", "B"), std::string(1023, 'b'));
  std::string expected;
  for (int i = 0; i < 1023; ++i) expected += "ä";  // characters, not UTF-8 bytes
  EXPECT_EQ(ini.GETSTRING("S", "C"), expected);
}

TEST(IniFile, WritingCreatesFileAndSectionsInTheSystemLayout) {
  TempDir dir;
  INIFILE ini(dir.file("FDT.INI"));
  ASSERT_TRUE(ini.WRITESTRING("ZENTOR", "Version", "1.5"));
  EXPECT_EQ(readBytes(dir.file("FDT.INI")), "[ZENTOR]\r\nVersion=1.5\r\n");
  ASSERT_TRUE(ini.WRITESTRING("BELEG", "Adresse", "Müller GmbH · Hauptstraße 1"));
  ASSERT_TRUE(ini.WRITESTRING("ZENTOR", "Neu", "x"));
  EXPECT_EQ(readBytes(dir.file("FDT.INI")),
            "[ZENTOR]\r\nVersion=1.5\r\nNeu=x\r\n\r\n[BELEG]\r\nAdresse=M\xFCller GmbH \xB7 Hauptstra\xDF" "e 1\r\n");
}

TEST(IniFile, RewritingKeepsForeignLinesAndLineEndsUntouched) {
  TempDir dir;
  const std::string original =
      "; Kommentar oben\n"
      "[ZENTOR]\n"
      "  version = 1.3   \n"
      "Unbekannt ohne Gleichheitszeichen\r\n"
      "\r\n"
      "; zu BELEG\r\n"
      "[BELEG]\r\n"
      "Bank1=alt";
  writeBytes(dir.file("FDT.INI"), original);
  INIFILE ini(dir.file("FDT.INI"));
  ASSERT_TRUE(ini.WRITESTRING("Zentor", "VERSION", "1.5"));  // existing key keeps its spelling
  ASSERT_TRUE(ini.WRITESTRING("ZENTOR", "Datum", "heute"));  // new key after the last key
  ASSERT_TRUE(ini.WRITESTRING("BELEG", "Bank2", "neu"));     // after a last line without line end
  EXPECT_EQ(readBytes(dir.file("FDT.INI")),
            "; Kommentar oben\n"
            "[ZENTOR]\n"
            "version=1.5\n"
            "Datum=heute\r\n"
            "Unbekannt ohne Gleichheitszeichen\r\n"
            "\r\n"
            "; zu BELEG\r\n"
            "[BELEG]\r\n"
            "Bank1=alt\r\n"
            "Bank2=neu\r\n");
}

TEST(IniFile, ValuesRoundTripExactly) {
  TempDir dir;
  INIFILE ini(dir.file("RT.INI"));
  const std::vector<std::string> values = {"",          "x",        "  Blanks aussen  ", "\"zitiert\"",
                                           "'einfach'", "\"",       "Zeile1ÿZeile2",     "a=b;c",
                                           "[kein]",    "€ 12,50",  std::string(1023, 'z')};
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string key = "K" + std::to_string(i);
    ASSERT_TRUE(ini.WRITESTRING("S", key, values[i])) << i;
    EXPECT_EQ(ini.GETSTRING("S", key), values[i]) << i;
  }
  // The second write of a key replaces, it does not add.
  ASSERT_TRUE(ini.WRITESTRING("S", "k0", "neu"));
  EXPECT_EQ(ini.GETSTRING("S", "K0"), "neu");
  EXPECT_EQ(ini.GETSECTION("S").size(), values.size());
}

TEST(IniFile, CharactersOutsideWindows1252BecomeQuestionMarks) {
  TempDir dir;
  INIFILE ini(dir.file("CP.INI"));
  ASSERT_TRUE(ini.WRITESTRING("S", "K", "Łódź"));
  EXPECT_EQ(ini.GETSTRING("S", "K"), "?ód?");
}

struct RefusedWrite {
  const char* section;
  const char* key;
  const char* value;
};

class IniRefusedWriteTest : public ::testing::TestWithParam<RefusedWrite> {};

TEST_P(IniRefusedWriteTest, UnusableNamesAndLineBreaksWriteNothing) {
  TempDir dir;
  INIFILE ini(dir.file("R.INI"));
  EXPECT_FALSE(ini.WRITESTRING(GetParam().section, GetParam().key, GetParam().value));
  EXPECT_FALSE(fileExists(dir.file("R.INI")));
}

INSTANTIATE_TEST_SUITE_P(Cases, IniRefusedWriteTest,
                         ::testing::Values(RefusedWrite{"BELEG", "Adresse", "Zeile1\r\nZeile2"},
                                           RefusedWrite{"BELEG", "Adresse", "nur LF\n"},
                                           RefusedWrite{"BELEG", "a=b", "x"}, RefusedWrite{"BELEG", " ", "x"},
                                           RefusedWrite{"BELEG", ";Kommentar", "x"},
                                           RefusedWrite{"BE]LEG", "Adresse", "x"}, RefusedWrite{"", "K", "x"}));

TEST(IniFile, WriteIntoMissingDirectoryFails) {
  TempDir dir;
  INIFILE ini(dir.file("FIRMA07/FDT.INI"));
  EXPECT_FALSE(ini.WRITESTRING("ZENTOR", "Version", "1.5"));
}

TEST(IniFile, DeleteRemovesTheKeyAndItsShadowedDuplicates) {
  TempDir dir;
  writeBytes(dir.file("FDT.INI"), "[SONSTIGES]\r\nMwst1=7\r\n; bleibt\r\nMWST1=16\r\nMwst2=16\r\n[X]\r\nMwst1=1\r\n");
  INIFILE ini(dir.file("FDT.INI"));
  ASSERT_TRUE(ini.DELETEENTRY("sonstiges", "mwst1"));
  EXPECT_EQ(ini.GETSTRING("SONSTIGES", "Mwst1"), " ");
  EXPECT_EQ(readBytes(dir.file("FDT.INI")), "[SONSTIGES]\r\n; bleibt\r\nMwst2=16\r\n[X]\r\nMwst1=1\r\n");
  ASSERT_TRUE(ini.DELETEENTRY("SONSTIGES", "fehlt"));
}

TEST(IniFile, NamesGetIniExtensionOnlyWithoutDotInTheFileName) {
  TempDir dir;
  EXPECT_EQ(INIFILE(dir.path() + "FDT").FULLPATH(), dir.path() + "FDT.INI");
  EXPECT_EQ(INIFILE(dir.path() + "zentor.cfg").FULLPATH(), dir.path() + "zentor.cfg");
  EXPECT_EQ(INIFILE("/opt/a.b/FDT").FULLPATH(), "/opt/a.b/FDT.INI");  // a dot in a directory does not count
}

TEST(IniFile, RelativeNameIsFixedAgainstTheDirectoryCurrentAtConstruction) {
  TempDir dir;
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  INIFILE ini("FDT");
  std::filesystem::current_path(old);
  EXPECT_EQ(std::filesystem::path(ini.FULLPATH()), std::filesystem::canonical(dir.path()) / "FDT.INI");
  ASSERT_TRUE(ini.WRITESTRING("ZENTOR", "Version", "1.5"));
  EXPECT_TRUE(fileExists(dir.file("FDT.INI")));
}

TEST(IniFile, EveryCallSeesChangesOfOtherHandlesAndPrograms) {
  TempDir dir;
  INIFILE a(dir.file("FDT.INI"));
  INIFILE b(dir.file("FDT.INI"));
  ASSERT_TRUE(a.WRITESTRING("ZENTOR", "Version", "1.3"));
  EXPECT_EQ(b.GETSTRING("ZENTOR", "Version"), "1.3");
  // Another program rewrites the file; the next write of `a` must keep its change.
  writeBytes(dir.file("FDT.INI"), readBytes(dir.file("FDT.INI")) + "[BELEG]\r\nBank1=fremd\r\n");
  ASSERT_TRUE(a.WRITESTRING("ZENTOR", "Version", "1.5"));
  EXPECT_EQ(b.GETSTRING("BELEG", "Bank1"), "fremd");
  EXPECT_EQ(b.GETSTRING("ZENTOR", "Version"), "1.5");
  // No temporary files are left in the directory.
  EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"FDT.INI"});
}

TEST(IniFile, ConcurrentWritersInSeveralProcessesLoseNoKey) {
  TempDir dir;
  const std::string path = dir.file("FDT.INI");
  constexpr int kProcesses = 4;
  constexpr int kKeysEach = 25;
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(go[1]);
      char c;
      if (::read(go[0], &c, 1) != 0) ::_exit(3);  // wait until the parent releases all at once
      INIFILE ini(path);
      for (int k = 0; k < kKeysEach; ++k) {
        const std::string key = "P" + std::to_string(p) + "K" + std::to_string(k);
        if (!ini.WRITESTRING(p % 2 ? "EINS" : "ZWEI", key, std::to_string(k))) ::_exit(2);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  ::close(go[0]);
  ::close(go[1]);  // EOF starts every child
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  INIFILE ini(path);
  for (int p = 0; p < kProcesses; ++p) {
    for (int k = 0; k < kKeysEach; ++k) {
      const std::string key = "P" + std::to_string(p) + "K" + std::to_string(k);
      EXPECT_EQ(ini.GETSTRING(p % 2 ? "EINS" : "ZWEI", key), std::to_string(k)) << key;
    }
  }
  EXPECT_EQ(ini.GETSECTION("EINS").size() + ini.GETSECTION("ZWEI").size(), size_t{kProcesses * kKeysEach});
}

}  // namespace
}  // namespace zentor::os

namespace zentor::os {
namespace {

// Files saved by an editor as UTF-8 must not lose their first section to the byte-order mark nor
// show their umlauts garbled; they stay UTF-8 when rewritten.
TEST(IniFile, Utf8FilesFromEditorsStayReadableAndUtf8) {
  TempDir dir;
  for (const std::string& prefix : {std::string(kUtf8Bom), std::string()}) {
    writeBytes(dir.file("FDT.INI"), prefix + "[ZENTOR]\r\nVersion=1.5\r\n[BELEG]\r\nAdresse=Müller, Hauptstraße 1\r\n");
    INIFILE ini(dir.file("FDT.INI"));
    EXPECT_EQ(ini.GETSTRING("zentor", "Version"), "1.5");
    EXPECT_EQ(ini.GETSTRING("BELEG", "Adresse"), "Müller, Hauptstraße 1");
    ASSERT_TRUE(ini.WRITESTRING("BELEG", "Bank1", "Sparkasse Köln"));
    EXPECT_EQ(readBytes(dir.file("FDT.INI")), prefix +
                                                  "[ZENTOR]\r\nVersion=1.5\r\n[BELEG]\r\nAdresse=Müller, "
                                                  "Hauptstraße 1\r\nBank1=Sparkasse Köln\r\n");
  }
}

TEST(IniFile, Windows1252BytesSurviveARewriteUntouched) {
  TempDir dir;
  // Every byte from 0x80 to 0xFF in a comment, including the five Windows-1252 leaves unassigned.
  std::string comment = "; ";
  for (int b = 0x80; b <= 0xFF; ++b) comment += static_cast<char>(b);
  writeBytes(dir.file("FDT.INI"), comment + "\r\n[ZENTOR]\r\nVersion=1.3\r\n");
  INIFILE ini(dir.file("FDT.INI"));
  ASSERT_TRUE(ini.WRITESTRING("ZENTOR", "Version", "1.5"));
  EXPECT_EQ(readBytes(dir.file("FDT.INI")), comment + "\r\n[ZENTOR]\r\nVersion=1.5\r\n");
}

}  // namespace
}  // namespace zentor::os
