// Help, the About dialog, command dispatch and the status bar clock.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

#include "shell/dlg_about.h"
#include "shell/help_window.h"
#include "support/qt_app.h"
#include "support/shell_fixture.h"

namespace zentor::ui {
namespace {

using testing::ShellRig;
namespace fs = std::filesystem;

void installHelp(const fs::path& programDir) {
  fs::create_directories(programDir / "help");
  fs::copy_file(fs::path(ZENTOR_SOURCE_DIR) / "docs" / "help" / "index.html",
                programDir / "help" / "index.html");
}

QList<HelpWindow*> helpWindows(const QWidget& shell) { return shell.findChildren<HelpWindow*>(); }

TEST(ShellHelp, ChmOpensWithTheSystemViewer) {
  ShellRig rig;
  rig.program.touch("ZENTOR.CHM");
  std::vector<QUrl> opened;
  rig.setup.openUrl = [&](const QUrl& url) {
    opened.push_back(url);
    return true;
  };
  STANDARDSHELLWINDOW& shell = rig.open();
  shell.HELPCONTENTS();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString((rig.program.path() / "ZENTOR.CHM").string())));
  EXPECT_TRUE(helpWindows(shell).isEmpty());
}

TEST(ShellHelp, OwnHtmlHelpWhenThereIsNoChmOrNoViewer) {
  struct Case {
    const char* name;
    bool chm;
  } const cases[] = {{"no ZENTOR.CHM", false}, {"ZENTOR.CHM without a viewer", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ShellRig rig;
    if (c.chm) rig.program.touch("ZENTOR.CHM");
    installHelp(rig.program.path());
    STANDARDSHELLWINDOW& shell = rig.open();
    shell.menuCommand(kCmdDokuAnzeigen)->trigger();
    const auto windows = helpWindows(shell);
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows[0]->isVisible());
    EXPECT_EQ(windows[0]->windowTitle(), QStringLiteral("Lumo-Zentor: Hilfe"));
    EXPECT_TRUE(windows[0]->browser()->source().path().endsWith(QStringLiteral("help/index.html")));
    EXPECT_EQ(windows[0]->browser()->documentTitle(), QString::fromUtf8("Lumo-Zentor – Hilfe"));
  }
}

TEST(ShellHelp, EveryCallMakesANewWindowAndAMissingHelpIsSaid) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  shell.HELPCONTENTS();
  shell.HELPCONTENTS();
  const auto windows = helpWindows(shell);
  ASSERT_EQ(windows.size(), 2);
  EXPECT_TRUE(windows[0]->browser()->toPlainText().contains(QStringLiteral("Hilfe nicht gefunden")));

  // Help windows must not keep the program alive once the shell has closed.
  ASSERT_TRUE(shell.close());
  for (HelpWindow* w : windows) EXPECT_FALSE(w->isVisible());
}

TEST(ShellAbout, DialogShowsVersionAndLink) {
  testing::ensureApplication();
  std::vector<QUrl> opened;
  DLGABOUT dialog(nullptr, QStringLiteral("1.5"), [&](const QUrl& u) {
    opened.push_back(u);
    return true;
  });
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Lumo-Zentor: Über"));
  auto* product = dialog.findChild<QLabel*>(QStringLiteral("TXT101"));
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(product->text(), QStringLiteral("Lumo-Zentor"));
  EXPECT_TRUE(product->font().bold());
  EXPECT_EQ(product->font().pointSize(), 10);
  auto* version = dialog.findChild<QLabel*>(QStringLiteral("TXT103"));
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->text(), QStringLiteral("Version: V1.5/1.50 (Qt ") + QLatin1String(qVersion()) + QLatin1Char(')'));
  auto* link = dialog.findChild<QLabel*>(QStringLiteral("LINK"));
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->size(), QSize(150, 20));
  emit link->linkActivated(QLatin1String(kMakerUrl));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl(QLatin1String(kMakerUrl)));
}

TEST(ShellAbout, CommandOpensItModallyOverTheShellWithTheCurrentDataVersion) {
  ShellRig rig;
  QString version = QStringLiteral("1.4");
  rig.setup.dataVersion = [&] { return version; };
  STANDARDSHELLWINDOW& shell = rig.open();
  version = QStringLiteral("1.5");  // read when the dialog opens, not when the shell was built

  QString seenVersion;
  QWidget* seenOwner = nullptr;
  bool seenModal = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* d = qobject_cast<DLGABOUT*>(w);
      if (!d || !d->isVisible()) continue;
      seenVersion = d->findChild<QLabel*>(QStringLiteral("TXT103"))->text();
      seenOwner = d->parentWidget();
      seenModal = d->isModal();
      d->accept();
    }
  });
  poll.start(5);
  shell.menuCommand(kCmdUeber)->trigger();  // returns once the poller has closed it
  poll.stop();
  EXPECT_TRUE(seenVersion.startsWith(QStringLiteral("Version: V1.5/1.50 (")));
  EXPECT_EQ(seenOwner, &shell);
  EXPECT_TRUE(seenModal);
}

TEST(ShellDispatch, MenuAndToolbarRunTheHandlerOfTheCommandName) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  int customers = 0;
  shell.setCommandHandler("MNUSHELL_KND", [&] { ++customers; });
  QAction* item = shell.menuCommand(3903);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->property("command").toString(), QStringLiteral("MNUSHELL_KND"));
  item->trigger();
  auto* button = qobject_cast<QToolButton*>(shell.shellToolBar()->widgetForAction(item));
  ASSERT_NE(button, nullptr);
  button->click();
  EXPECT_EQ(customers, 2);

  shell.menuCommand(3900)->trigger();  // no window behind it yet: nothing happens
  EXPECT_FALSE(shell.runCommand("MNUSHELL_ART_STAMMDATEN"));
  EXPECT_TRUE(rig.messages.messages.empty());
  EXPECT_TRUE(shell.isVisible());
}

TEST(ShellDispatch, DisabledSwitchButtonDoesNotRun) {
  ShellRig rig;
  int switches = 0;
  rig.setup.switchCompany = [&](QWidget*) -> std::optional<QString> {
    ++switches;
    return QStringLiteral("X");
  };
  STANDARDSHELLWINDOW& shell = rig.open();
  QWidget window;
  shell.ADDCHILDWINDOW(&window);
  auto* button = qobject_cast<QToolButton*>(
      shell.shellToolBar()->widgetForAction(shell.menuCommand(kCmdFirmenwechsel)));
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(switches, 0);
}

TEST(ShellStatusBar, ShowsTheTimeFromTheWindowsOnlyTimer) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  auto* clock = shell.findChild<QLabel*>(QStringLiteral("STATUSTIME"));
  ASSERT_NE(clock, nullptr);
  EXPECT_TRUE(QTime::fromString(clock->text(), QStringLiteral("HH:mm:ss")).isValid()) << clock->text().toStdString();
  const auto timers = shell.findChildren<QTimer*>();
  ASSERT_EQ(timers.size(), 1);
  EXPECT_EQ(timers[0]->interval(), 1000);
  EXPECT_TRUE(timers[0]->isActive());
}

TEST(ShellStatusBar, HighlightedMenuShowsItsDescription) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  shell.mainMenus()[0]->menuAction()->showStatusText(shell.menuBar());
  EXPECT_EQ(shell.statusBar()->currentMessage(), QStringLiteral("Diverse Stammdaten"));
  shell.mainMenus()[1]->menuAction()->showStatusText(shell.menuBar());
  EXPECT_EQ(shell.statusBar()->currentMessage(), QString());
}

}  // namespace
}  // namespace zentor::ui
