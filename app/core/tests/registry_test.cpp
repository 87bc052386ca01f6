#include "appcore/registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace zentor::app {
namespace {

using os::testing::readBytes;
using os::testing::TempDir;
using os::testing::writeBytes;
using Kind = RegistryError::Kind;

TEST(Registry, LoadsAHandWrittenFileInOrder) {
  TempDir dir;
  writeBytes(dir.file("firmen.txt"),  // any case of the name
             "; Firmen\r\n"
             "modus = Mehrfirmen\r\n"
             "\r\n"
             "FIRMA=02;1;B\xE4" "ckerei Schmidt\r\n"
             "  Firma = 1 ; 3 ; Muster; GmbH & Co  \n"
             "FIRMA=10;0;Zehn");
  auto r = CompanyRegistry::load(dir.path());
  ASSERT_TRUE(r.ok()) << registryErrorText(r.error);
  EXPECT_EQ(r.registry->mode(), RegistryMode::kMulti);
  EXPECT_EQ(r.registry->entries(), (std::vector<CompanyEntry>{{2, 1, "Bäckerei Schmidt"},
                                                              {1, 3, "Muster; GmbH & Co"},
                                                              {10, 0, "Zehn"}}));
  EXPECT_EQ(r.registry->displayLines(),
            (std::vector<std::string>{"02 Bäckerei Schmidt", "01 Muster; GmbH & Co", "10 Zehn"}));
}

struct BadFile {
  const char* content;
  Kind kind;
  int line;
  const char* text;  // the message shown to the user
};

class RegistryLoadErrorTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(RegistryLoadErrorTest, GivesAClearMessage) {
  TempDir dir;
  writeBytes(dir.file("FIRMEN.TXT"), GetParam().content);
  const auto r = CompanyRegistry::load(dir.path());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error.kind, GetParam().kind);
  EXPECT_EQ(r.error.line, GetParam().line);
  EXPECT_EQ(registryErrorText(r.error), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryLoadErrorTest,
    ::testing::Values(
        BadFile{"", Kind::kEmpty, 0, "Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT enthält keine Firma."},
        BadFile{"; nur Kommentar\r\nMODUS=MEHRFIRMEN\r\n", Kind::kEmpty, 0,
                "Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT enthält keine Firma."},
        BadFile{"FIRMA=1;1;A\r\n", Kind::kNoMode, 0,
                "Die Firmenliste FIRMEN.TXT ist unvollständig: Es fehlt die Zeile MODUS=EINZELFIRMA oder "
                "MODUS=MEHRFIRMEN."},
        BadFile{"MODUS=MEHRFIRMEN\r\nFIRMA=1;1;A\r\nFirma 2\r\n", Kind::kDamaged, 3,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 3): Erwartet wird MODUS=… oder "
                "FIRMA=Nummer;Mandant;Name."},
        BadFile{"MODUS=MEHRFIRMEN\r\nFIRMA=100;1;A\r\n", Kind::kDamaged, 2,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 2): Die Firmennummer muss zwischen 1 und 99 liegen."},
        BadFile{"MODUS=MEHRFIRMEN\r\nFIRMA=0;1;A\r\n", Kind::kDamaged, 2,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 2): Die Firmennummer muss zwischen 1 und 99 liegen."},
        BadFile{"MODUS=MEHRFIRMEN\r\nFIRMA=1;x;A\r\n", Kind::kDamaged, 2,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 2): Die Mandantennummer muss zwischen 0 und 32767 "
                "liegen."},
        BadFile{"MODUS=MEHRFIRMEN\r\nFIRMA=1;1\r\n", Kind::kDamaged, 2,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 2): Erwartet wird FIRMA=Nummer;Mandant;Name."},
        BadFile{"MODUS=MEHRFIRMEN\r\nFIRMA=1;1;  \r\n", Kind::kDamaged, 2,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 2): Der Firmenname fehlt."},
        BadFile{"MODUS=MEHRFIRMEN\r\nFIRMA=1;1;A\r\nFIRMA=01;2;B\r\n", Kind::kDamaged, 3,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 3): Die Firmennummer 01 ist doppelt vergeben."},
        BadFile{"MODUS=ZWEI\r\nFIRMA=1;1;A\r\n", Kind::kDamaged, 1,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 1): Der Modus muss EINZELFIRMA oder MEHRFIRMEN sein."},
        BadFile{"MODUS=MEHRFIRMEN\r\nMODUS=MEHRFIRMEN\r\nFIRMA=1;1;A\r\n", Kind::kDamaged, 2,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 2): Die Zeile MODUS darf nur einmal vorkommen."},
        BadFile{"MODUS=EINZELFIRMA\r\n; x\r\nFIRMA=1;1;A\r\nFIRMA=2;1;B\r\n", Kind::kDamaged, 4,
                "Die Firmenliste FIRMEN.TXT ist fehlerhaft (Zeile 4): Im Einzelfirmenbetrieb darf nur eine Firma "
                "eingetragen sein."}));

TEST(Registry, MissingFileNamesTheDirectory) {
  TempDir dir;
  const auto r = CompanyRegistry::load(dir.path());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error.kind, Kind::kMissing);
  EXPECT_EQ(registryErrorText(r.error),
            "Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT fehlt im Programmverzeichnis " + dir.path() +
                ".");
}

struct AddCase {
  CompanyEntry entry;
  std::optional<Kind> refused;
};

class RegistryAddTest : public ::testing::TestWithParam<AddCase> {};

TEST_P(RegistryAddTest, AcceptsOrRefusesWithoutChange) {
  CompanyRegistry reg(RegistryMode::kMulti);
  ASSERT_FALSE(reg.add({5, 1, "Fünf"}));
  const auto err = reg.add(GetParam().entry);
  EXPECT_EQ(err ? std::optional<Kind>(err->kind) : std::nullopt, GetParam().refused);
  EXPECT_EQ(reg.entries().size(), GetParam().refused ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistryAddTest,
                         ::testing::Values(AddCase{{1, 0, "Eins"}, std::nullopt}, AddCase{{99, 32767, "X"}, std::nullopt},
                                           AddCase{{5, 1, "Doppelt"}, Kind::kDuplicate},
                                           AddCase{{0, 1, "Null"}, Kind::kOutOfRange},
                                           AddCase{{100, 1, "Hundert"}, Kind::kOutOfRange},
                                           AddCase{{7, -1, "X"}, Kind::kBadMandant},
                                           AddCase{{7, 32768, "X"}, Kind::kBadMandant},
                                           AddCase{{7, 1, "   "}, Kind::kEmptyName},
                                           AddCase{{7, 1, "Zwei\r\nZeilen"}, Kind::kEmptyName},
                                           AddCase{{7, 1, "Łódź GmbH"}, Kind::kUnstorableName}));

TEST(Registry, SingleCompanyTakesOneEntryAndRenameChecksNames) {
  CompanyRegistry reg(RegistryMode::kSingle);
  ASSERT_FALSE(reg.add({1, 1, "  Allein GmbH "}));
  EXPECT_EQ(reg.entries().front().cFirma, "Allein GmbH");
  const auto full = reg.add({2, 1, "Zweite"});
  ASSERT_TRUE(full);
  EXPECT_EQ(full->kind, Kind::kSingleFull);
  EXPECT_EQ(registryErrorText(*full), "Im Einzelfirmenbetrieb kann nur eine Firma eingerichtet werden.");
  ASSERT_FALSE(reg.rename(1, "Neu & Co"));
  EXPECT_EQ(reg.entries().front().cFirma, "Neu & Co");
  EXPECT_EQ(reg.rename(1, "")->kind, Kind::kEmptyName);
  const auto missing = reg.rename(3, "X");
  EXPECT_EQ(registryErrorText(*missing), "Die Firma 03 ist nicht eingerichtet.");
  EXPECT_EQ(reg.entries().front().cFirma, "Neu & Co");
}

TEST(Registry, NewRegistrySavesReadableWindowsFileAndLoadsBack) {
  TempDir dir;
  CompanyRegistry reg(RegistryMode::kMulti);
  ASSERT_FALSE(reg.add({3, 2, "Müller & Söhne"}));
  ASSERT_FALSE(reg.add({1, 1, "Erste"}));
  ASSERT_FALSE(reg.save(dir.path()));
  const std::string bytes = readBytes(dir.file("FIRMEN.TXT"));
  EXPECT_NE(bytes.find("MODUS=MEHRFIRMEN\r\nFIRMA=03;2;M\xFCller & S\xF6hne\r\nFIRMA=01;1;Erste\r\n"), std::string::npos)
      << bytes;
  const auto back = CompanyRegistry::load(dir.path());
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.registry->entries(), reg.entries());
  EXPECT_EQ(back.registry->mode(), RegistryMode::kMulti);
}

TEST(Registry, SavingKeepsCommentsAndPlacesNewEntriesAfterTheLast) {
  TempDir dir;
  writeBytes(dir.file("FIRMEN.TXT"),
             "; Verwaltet von Frau Meier\r\n"
             "MODUS=MEHRFIRMEN\r\n"
             "FIRMA=01;1;Alt\r\n"
             "; Filiale\r\n"
             "FIRMA=02;1;Filiale\r\n"
             "\r\n"
             "; Ende der Liste\r\n");
  auto r = CompanyRegistry::load(dir.path());
  ASSERT_TRUE(r.ok());
  ASSERT_FALSE(r.registry->rename(1, "Neu"));
  ASSERT_FALSE(r.registry->add({7, 2, "Sieben"}));
  ASSERT_FALSE(r.registry->save(dir.path()));
  EXPECT_EQ(readBytes(dir.file("FIRMEN.TXT")),
            "; Verwaltet von Frau Meier\r\n"
            "MODUS=MEHRFIRMEN\r\n"
            "FIRMA=01;1;Neu\r\n"
            "; Filiale\r\n"
            "FIRMA=02;1;Filiale\r\n"
            "FIRMA=07;2;Sieben\r\n"
            "\r\n"
            "; Ende der Liste\r\n");
}

TEST(Registry, SaveIntoMissingDirectoryIsAnError) {
  TempDir dir;
  CompanyRegistry reg;
  ASSERT_FALSE(reg.add({1, 1, "A"}));
  const auto err = reg.save(dir.file("fehlt/"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->kind, Kind::kUnwritable);
}

CompanyRegistry registry(RegistryMode mode, std::vector<CompanyEntry> entries) {
  CompanyRegistry reg(mode);
  for (auto& e : entries) EXPECT_FALSE(reg.add(e));
  return reg;
}

TEST(GetFirma, SingleCompanyUsesTheProgramDirectoryWithoutAsking) {
  Globals g;
  g.setProgramDirectory("/opt/zentor/");
  bool asked = false;
  const auto got = GETFIRMA(g, registry(RegistryMode::kSingle, {{4, 2, "Allein"}}), [&](const auto&) {
    asked = true;
    return std::optional<size_t>(0);
  });
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, (CompanyEntry{4, 2, "Allein"}));
  EXPECT_FALSE(asked);
  EXPECT_EQ(g.dataDirectory(), "/opt/zentor/");
  EXPECT_EQ(g.gnFirma, 0);  // copied by start-up later
}

TEST(GetFirma, MultiCompanyAsksEvenForOneEntry) {
  Globals g;
  g.setProgramDirectory("/opt/zentor/");
  std::vector<std::string> shown;
  const auto got = GETFIRMA(g, registry(RegistryMode::kMulti, {{4, 2, "Vier"}}), [&](const auto& lines) {
    shown = lines;
    return std::optional<size_t>(0);
  });
  EXPECT_EQ(shown, std::vector<std::string>{"04 Vier"});
  ASSERT_TRUE(got);
  EXPECT_EQ(g.dataDirectory(), "/opt/zentor/FIRMA04/");
  EXPECT_EQ(g.session().searchPath(), std::vector<std::string>{"/opt/zentor/FIRMA04/"});
}

TEST(GetFirma, CancelLeavesTheDataDirectory) {
  Globals g;
  g.setProgramDirectory("/opt/zentor/");
  g.setDataDirectory("/opt/zentor/FIRMA01/");
  const auto reg = registry(RegistryMode::kMulti, {{1, 1, "A"}, {2, 1, "B"}});
  EXPECT_FALSE(GETFIRMA(g, reg, [](const auto&) { return std::optional<size_t>(); }));
  EXPECT_FALSE(GETFIRMA(g, reg, [](const auto&) { return std::optional<size_t>(2); }));  // out of range
  EXPECT_EQ(g.dataDirectory(), "/opt/zentor/FIRMA01/");
  const auto got = GETFIRMA(g, reg, [](const auto&) { return std::optional<size_t>(1); });
  ASSERT_TRUE(got);
  EXPECT_EQ(got->cFirma, "B");
  EXPECT_EQ(g.dataDirectory(), "/opt/zentor/FIRMA02/");
}

TEST(GetFirma, UsesAnExistingCompanyDirectoryInAnyCase) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("firma03"));
  Globals g;
  g.setProgramDirectory(dir.path());
  ASSERT_TRUE(GETFIRMA(g, registry(RegistryMode::kMulti, {{3, 1, "C"}}), [](const auto&) { return std::optional<size_t>(0); }));
  EXPECT_EQ(g.dataDirectory(), dir.path() + "firma03/");
}

struct ProjectDirCase {
  std::vector<const char*> programFiles;
  bool multi;
  bool expected;
};

class ChkProjectDirTest : public ::testing::TestWithParam<ProjectDirCase> {};

TEST_P(ChkProjectDirTest, RefusesDataFilesInTheProgramDirectory) {
  const auto& c = GetParam();
  TempDir dir;
  std::filesystem::create_directory(dir.file("FIRMA01"));
  for (const char* f : c.programFiles) writeBytes(dir.file(f), "x");
  Globals g;
  g.setProgramDirectory(dir.path());
  g.setDataDirectory(c.multi ? dir.file("FIRMA01/") : dir.path());
  RecordingMessageService messages;
  EXPECT_EQ(CHKPROJECTDIR(g, messages), c.expected);
  if (c.expected) {
    EXPECT_TRUE(messages.messages.empty());
  } else {
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Datenfiles im Programmverzeichnis");
    EXPECT_EQ(messages.messages[0].title, "ZENTOR");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kError);
    EXPECT_EQ(messages.messages[0].owner, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChkProjectDirTest,
    ::testing::Values(ProjectDirCase{{}, true, true}, ProjectDirCase{{"AGR.DBF"}, true, false},
                      ProjectDirCase{{"agr.dbf"}, true, false}, ProjectDirCase{{"Apo.Dbf"}, true, false},
                      ProjectDirCase{{"UMS2024.DBF"}, true, false}, ProjectDirCase{{"ums.dbf"}, true, false},
                      ProjectDirCase{{"fdt.ini"}, true, false},
                      // customer tables, counters and VAT rates may be shared from the program directory
                      ProjectDirCase{{"KND.DBF", "KGR.DBF", "LND.DBF", "MWS.DBF", "KRS.DBF", "AGR.CDX", "UMS2024.CDX"},
                                     true, true},
                      ProjectDirCase{{"AGR.DBF", "FDT.INI"}, false, true}));  // single company: data belong there

}  // namespace
}  // namespace zentor::app

namespace zentor::app {
namespace {

TEST(Registry, FileSavedAsUtf8ByAnEditorKeepsItsEncoding) {
  for (const std::string& bom : {std::string("\xEF\xBB\xBF"), std::string()}) {
    TempDir dir;
    writeBytes(dir.file("FIRMEN.TXT"), bom + "; Fa. Müller\r\nMODUS=MEHRFIRMEN\r\nFIRMA=1;1;Bäckerei Łukasz\r\n");
    auto r = CompanyRegistry::load(dir.path());
    ASSERT_TRUE(r.ok()) << registryErrorText(r.error);
    EXPECT_EQ(r.registry->entries().front().cFirma, "Bäckerei Łukasz");
    ASSERT_FALSE(r.registry->add({2, 1, "Köln"}));
    ASSERT_FALSE(r.registry->save(dir.path()));
    EXPECT_EQ(readBytes(dir.file("FIRMEN.TXT")),
              bom + "; Fa. Müller\r\nMODUS=MEHRFIRMEN\r\nFIRMA=01;1;Bäckerei Łukasz\r\nFIRMA=02;1;Köln\r\n");
  }
}

}  // namespace
}  // namespace zentor::app
