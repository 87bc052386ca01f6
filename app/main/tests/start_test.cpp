// The start-up sequence in one process, with the company selection and the event loop replaced:
// which messages appear, whether the selection is asked, what the shell shows, the company switch.
#include <gtest/gtest.h>

#include <QAction>
#include <QMdiSubWindow>
#include <QApplication>
#include <QLocale>
#include <clocale>
#include <cstring>
#include <deque>
#include <filesystem>

#include "appcore/registry.h"
#include "main/app_start.h"
#include "support/qt_app.h"
#include "support/testenv.h"

namespace zentor::start {
namespace {

namespace fs = std::filesystem;
using data::testing::fileExists;
using data::testing::writeFile;

constexpr int kCmdFirmenwechsel = 3928;

// A program directory with FIRMEN.TXT, a lock directory, and the pieces of one program run.
struct Installation {
  data::testing::TempDir program;
  data::testing::TempDir locks;
  app::RecordingMessageService messages;
  std::deque<std::optional<size_t>> choices;  // answers of the selection, cancel when used up
  std::vector<std::vector<std::string>> asked;  // the lines each selection showed
  std::vector<QWidget*> owners;
  std::function<void(ui::STANDARDSHELLWINDOW&)> inShell = [](ui::STANDARDSHELLWINDOW&) {};
  int shellRuns = 0;

  explicit Installation(const std::string& registry) {
    zentor::testing::ensureApplication();
    if (!registry.empty()) writeFile(program.path() + "FIRMEN.TXT", registry);
  }

  StartPieces pieces() {
    StartPieces p;
    p.messages = &messages;
    p.programDir = program.path();
    p.lockDirectory = locks.path();
    p.desktop = "test";
    p.markerIcon = program.path() + "no-marker";
    p.chooseCompany = [this](QWidget* owner, const std::vector<std::string>& lines) -> std::optional<size_t> {
      asked.push_back(lines);
      owners.push_back(owner);
      if (choices.empty()) return std::nullopt;
      auto c = choices.front();
      choices.pop_front();
      return c;
    };
    p.runShell = [this](ui::STANDARDSHELLWINDOW& shell) {
      ++shellRuns;
      inShell(shell);
    };
    return p;
  }

  int start() {
    APP app(pieces());
    return app.START();
  }
};

const char* const kTwoCompanies =
    "MODUS=MEHRFIRMEN\r\nFIRMA=01;1;Muster GmbH\r\nFIRMA=02;2;Beispiel KG\r\n";

TEST(Start, MultiCompanyRegistryWithOneEntryStillAsksAndOpensTheShell) {
  Installation inst("MODUS=MEHRFIRMEN\r\nFIRMA=01;1;Muster GmbH\r\n");
  inst.choices = {0};
  QString caption;
  bool switchPresent = false;
  inst.inShell = [&](ui::STANDARDSHELLWINDOW& shell) {
    caption = shell.windowTitle();
    switchPresent = shell.menuCommand(kCmdFirmenwechsel) != nullptr;
  };
  std::setlocale(LC_NUMERIC, "C.UTF-8");

  EXPECT_EQ(inst.start(), kExitOk);

  ASSERT_EQ(inst.asked.size(), 1u);
  EXPECT_EQ(inst.asked[0], (std::vector<std::string>{"01 Muster GmbH"}));
  EXPECT_EQ(inst.owners[0], nullptr);  // at start the selection has no owner
  EXPECT_TRUE(inst.messages.messages.empty());
  EXPECT_EQ(inst.shellRuns, 1);
  EXPECT_EQ(caption, QString::fromUtf8("Lumo-Zentor: Muster GmbH"));
  EXPECT_TRUE(switchPresent);
  // The fresh company directory was made and prepared.
  EXPECT_TRUE(fileExists(inst.program.path() + "FIRMA01/FDT.INI"));
  EXPECT_TRUE(fileExists(inst.program.path() + "FIRMA01/AKO.CDX"));
  // The run-time settings: the C library parses numbers with "." whatever the machine says.
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  EXPECT_EQ(QLocale().language(), QLocale::German);
}

TEST(Start, SingleCompanyNeitherAsksNorOffersTheSwitch) {
  Installation inst("MODUS=EINZELFIRMA\r\nFIRMA=01;1;Muster GmbH\r\n");
  bool switchPresent = true;
  inst.inShell = [&](ui::STANDARDSHELLWINDOW& shell) {
    switchPresent = shell.menuCommand(kCmdFirmenwechsel) != nullptr;
  };
  EXPECT_EQ(inst.start(), kExitOk);
  EXPECT_TRUE(inst.asked.empty());
  EXPECT_EQ(inst.shellRuns, 1);
  EXPECT_FALSE(switchPresent);
  EXPECT_TRUE(fileExists(inst.program.path() + "FDT.INI"));
}

TEST(Start, CancelledSelectionEndsWithoutAnyMessage) {
  Installation inst(kTwoCompanies);
  EXPECT_EQ(inst.start(), kExitOk);
  EXPECT_EQ(inst.asked.size(), 1u);
  EXPECT_TRUE(inst.messages.messages.empty());
  EXPECT_EQ(inst.shellRuns, 0);
  EXPECT_FALSE(fs::exists(inst.program.path() + "FIRMA01"));
}

TEST(Start, DataFilesInTheProgramDirectoryOfAMultiCompanyInstallationAreRefused) {
  for (const char* file : {"AGR.DBF", "UMS2025.DBF", "fdt.ini"}) {
    SCOPED_TRACE(file);
    Installation inst(kTwoCompanies);
    writeFile(inst.program.path() + file, "x");
    inst.choices = {1};
    EXPECT_EQ(inst.start(), kExitRefused);
    ASSERT_EQ(inst.messages.messages.size(), 1u);
    const app::Message& m = inst.messages.messages[0];
    EXPECT_EQ(m.text, "Datenfiles im Programmverzeichnis");
    EXPECT_EQ(m.title, "ZENTOR");
    EXPECT_EQ(m.icon, app::MessageIcon::kError);
    EXPECT_EQ(m.owner, nullptr);
    EXPECT_EQ(inst.shellRuns, 0);
    EXPECT_FALSE(fileExists(inst.program.path() + "FIRMA02/FDT.INI"));
  }
}

TEST(Start, MissingOrEmptyRegistryShowsItsMessageAndDoesNotStart) {
  const struct {
    const char* registry;
    const char* textStart;
  } cases[] = {
      {"", "Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT fehlt"},
      {"MODUS=MEHRFIRMEN\r\n", "Es ist keine Firma eingerichtet: Die Firmenliste FIRMEN.TXT enthält keine Firma."},
      {"FIRMA=01;1;Muster GmbH\r\n", "Die Firmenliste FIRMEN.TXT ist unvollständig"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.registry);
    Installation inst(c.registry);
    EXPECT_EQ(inst.start(), kExitRefused);
    ASSERT_EQ(inst.messages.messages.size(), 1u);
    EXPECT_EQ(inst.messages.messages[0].text.rfind(c.textStart, 0), 0u) << inst.messages.messages[0].text;
    EXPECT_EQ(inst.messages.messages[0].title, "Lumo-Zentor");
    EXPECT_EQ(inst.messages.messages[0].icon, app::MessageIcon::kError);
    EXPECT_TRUE(inst.asked.empty());
    EXPECT_EQ(inst.shellRuns, 0);
  }
}

TEST(Start, ADataDirectoryThatCannotBeMadeIsReportedNotOpened) {
  Installation inst(kTwoCompanies);
  writeFile(inst.program.path() + "FIRMA01", "a file where the directory belongs");
  inst.choices = {0};
  EXPECT_EQ(inst.start(), kExitRefused);
  ASSERT_EQ(inst.messages.messages.size(), 1u);
  EXPECT_NE(inst.messages.messages[0].text.find("Das Datenverzeichnis"), std::string::npos);
  EXPECT_NE(inst.messages.messages[0].text.find("kann nicht angelegt werden"), std::string::npos);
  EXPECT_EQ(inst.shellRuns, 0);
}

TEST(Start, ASecondStartIsRefusedWhileTheFirstIsStillInItsSelection) {
  Installation first(kTwoCompanies);
  app::RecordingMessageService secondMessages;
  int secondResult = -1;
  bool secondAsked = false;
  StartPieces p = first.pieces();
  p.chooseCompany = [&](QWidget*, const std::vector<std::string>&) -> std::optional<size_t> {
    StartPieces rival = first.pieces();
    rival.messages = &secondMessages;
    rival.chooseCompany = [&](QWidget*, const std::vector<std::string>&) -> std::optional<size_t> {
      secondAsked = true;
      return 0;
    };
    APP second(rival);
    secondResult = second.START();
    return std::nullopt;
  };
  APP app(p);
  EXPECT_EQ(app.START(), kExitOk);

  EXPECT_EQ(secondResult, kExitRefused);
  EXPECT_FALSE(secondAsked);
  ASSERT_EQ(secondMessages.messages.size(), 1u);
  const app::Message& m = secondMessages.messages[0];
  EXPECT_EQ(m.text, "Das Programm läuft bereits");
  EXPECT_EQ(m.title, "Lumo-Zentor");
  EXPECT_EQ(m.icon, app::MessageIcon::kError);
  EXPECT_EQ(m.owner, nullptr);

  // The first one has ended and let go: the next start gets as far as its selection.
  EXPECT_EQ(first.start(), kExitOk);
  EXPECT_EQ(first.asked.size(), 1u);
  EXPECT_TRUE(first.messages.messages.empty());
}

TEST(Start, ASecondStartIsRefusedWhileTheFirstShowsItsShell) {
  Installation first(kTwoCompanies);
  first.choices = {0};
  Installation second(kTwoCompanies);
  int secondResult = -1;
  first.inShell = [&](ui::STANDARDSHELLWINDOW&) {
    StartPieces rival = second.pieces();
    rival.lockDirectory = first.locks.path();
    secondResult = APP(rival).START();
  };
  EXPECT_EQ(first.start(), kExitOk);
  EXPECT_EQ(secondResult, kExitRefused);
  EXPECT_EQ(second.messages.texts(), (std::vector<std::string>{"Das Programm läuft bereits"}));
  EXPECT_TRUE(second.asked.empty());
}

TEST(Start, CompanySwitchThroughTheMenuChangesTheCaptionAndCancelClosesTheShell) {
  Installation inst(kTwoCompanies);
  inst.choices = {0, 1};  // start: Muster GmbH; first switch: Beispiel KG; second switch: cancel
  APP* program = nullptr;
  std::vector<QString> captions;
  bool visibleAfterCancel = true;
  int16_t firmaAfterSwitch = 0, mandantAfterSwitch = 0;
  std::string dataDirAfterSwitch;
  inst.inShell = [&](ui::STANDARDSHELLWINDOW& shell) {
    captions.push_back(shell.windowTitle());
    QAction* command = shell.menuCommand(kCmdFirmenwechsel);
    ASSERT_NE(command, nullptr);
    command->trigger();
    captions.push_back(shell.windowTitle());
    firmaAfterSwitch = program->globals()->gnFirma;
    mandantAfterSwitch = program->globals()->gnMandant;
    dataDirAfterSwitch = program->globals()->dataDirectory();
    // The window commands follow the company: a code-table window opens over company 2.
    EXPECT_TRUE(shell.runCommand("MNUSHELL_MWS"));
    ASSERT_EQ(shell.mdiArea()->subWindowList().size(), 1);
    shell.mdiArea()->closeAllSubWindows();
    command->trigger();
    visibleAfterCancel = shell.isVisible();
  };
  APP run(inst.pieces());
  program = &run;
  EXPECT_EQ(run.START(), kExitOk);

  EXPECT_EQ(captions, (std::vector<QString>{QStringLiteral("Lumo-Zentor: Muster GmbH"),
                                            QStringLiteral("Lumo-Zentor: Beispiel KG")}));
  EXPECT_EQ(firmaAfterSwitch, 2);
  EXPECT_EQ(mandantAfterSwitch, 2);
  EXPECT_EQ(dataDirAfterSwitch, inst.program.path() + "FIRMA02/");
  EXPECT_TRUE(fileExists(inst.program.path() + "FIRMA02/FDT.INI"));
  EXPECT_FALSE(visibleAfterCancel);
  ASSERT_EQ(inst.owners.size(), 3u);
  EXPECT_EQ(inst.owners[0], nullptr);
  EXPECT_NE(inst.owners[1], nullptr);  // at a switch the shell owns the selection
  EXPECT_EQ(inst.owners[1], inst.owners[2]);
  EXPECT_TRUE(inst.messages.messages.empty());
}

TEST(CommandLine, HomeIsTheOnlyOption) {
  const struct {
    std::vector<std::string> args;
    std::optional<std::string> home;
    bool help;
    bool error;
  } cases[] = {
      {{}, std::nullopt, false, false},
      {{"--home", "demo"}, "demo", false, false},
      {{"--home=/opt/z"}, "/opt/z", false, false},
      {{"--help"}, std::nullopt, true, false},
      {{"--home"}, std::nullopt, false, true},
      {{"--home="}, std::nullopt, false, true},
      {{"FIRMA01"}, std::nullopt, false, true},
  };
  for (const auto& c : cases) {
    const CommandLine cl = parseCommandLine(c.args);
    EXPECT_EQ(cl.home, c.home);
    EXPECT_EQ(cl.help, c.help);
    EXPECT_EQ(!cl.error.empty(), c.error);
  }
}

}  // namespace
}  // namespace zentor::start
