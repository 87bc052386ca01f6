// The registry of open data windows, the company switch and program end.
#include <QAction>
#include <QMdiSubWindow>
#include <fstream>
#include <gtest/gtest.h>

#include "support/shell_fixture.h"

namespace zentor::ui {
namespace {

using testing::DummyDataWindow;
using testing::openRegistered;
using testing::ShellRig;

bool switchEnabled(const STANDARDSHELLWINDOW& shell) {
  return shell.menuCommand(kCmdFirmenwechsel)->isEnabled();
}

TEST(ShellRegistry, ClosingOneOfTwoWindowsEnablesTheSwitchAgain) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  EXPECT_TRUE(switchEnabled(shell));

  auto* first = new DummyDataWindow(&shell);
  auto* second = new DummyDataWindow(&shell);
  QMdiSubWindow* firstSub = openRegistered(shell, first);
  openRegistered(shell, second);
  ASSERT_EQ(shell.childWindows().size(), 2);
  EXPECT_FALSE(switchEnabled(shell));

  firstSub->close();
  ASSERT_EQ(shell.childWindows().size(), 1);
  EXPECT_EQ(shell.childWindows()[0], second);
  EXPECT_TRUE(switchEnabled(shell));  // although `second` is still registered
}

TEST(ShellRegistry, DuplicatesAndUnknownWindows) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  QWidget window;
  QWidget stranger;
  shell.ADDCHILDWINDOW(&window);
  shell.ADDCHILDWINDOW(&window);
  EXPECT_EQ(shell.childWindows().size(), 2);

  shell.DELETECHILDWINDOW(&stranger);  // not registered: list unchanged, switch enabled
  EXPECT_EQ(shell.childWindows().size(), 2);
  EXPECT_TRUE(switchEnabled(shell));

  shell.DELETECHILDWINDOW(&window);  // one entry per call
  EXPECT_EQ(shell.childWindows().size(), 1);
  shell.DELETECHILDWINDOW(&window);
  EXPECT_TRUE(shell.childWindows().isEmpty());
}

TEST(ShellRegistry, SingleCompanyRegistryWorksWithoutTheSwitchItem) {
  ShellRig rig;
  rig.setup.singleCompany = true;
  STANDARDSHELLWINDOW& shell = rig.open();
  ASSERT_EQ(shell.menuCommand(kCmdFirmenwechsel), nullptr);
  QWidget window;
  shell.ADDCHILDWINDOW(&window);
  shell.DELETECHILDWINDOW(&window);
  EXPECT_TRUE(shell.childWindows().isEmpty());
}

TEST(ShellCompanySwitch, ClosesEveryRegisteredWindowBeforeTheSelection) {
  ShellRig rig;
  int registeredAtSwitch = -1;
  QWidget* owner = nullptr;
  STANDARDSHELLWINDOW* shellPtr = nullptr;
  rig.setup.switchCompany = [&](QWidget* o) -> std::optional<QString> {
    owner = o;
    registeredAtSwitch = static_cast<int>(shellPtr->childWindows().size());
    return QStringLiteral("Zweite Firma KG");
  };
  STANDARDSHELLWINDOW& shell = rig.open();
  shellPtr = &shell;
  QPointer<QMdiSubWindow> a = openRegistered(shell, new DummyDataWindow(&shell));
  QPointer<QMdiSubWindow> b = openRegistered(shell, new DummyDataWindow(&shell));
  QMdiSubWindow* c = openRegistered(shell, new DummyDataWindow(&shell));
  ASSERT_FALSE(switchEnabled(shell));
  c->close();  // enables the item while `a` and `b` stay registered
  ASSERT_EQ(shell.childWindows().size(), 2);

  shell.menuCommand(kCmdFirmenwechsel)->trigger();
  EXPECT_EQ(registeredAtSwitch, 0);
  EXPECT_EQ(owner, &shell);
  EXPECT_FALSE(a && a->isVisible());
  EXPECT_FALSE(b && b->isVisible());
  EXPECT_TRUE(shell.isVisible());
  EXPECT_EQ(shell.windowTitle(), QStringLiteral("Lumo-Zentor: Zweite Firma KG"));
  EXPECT_TRUE(switchEnabled(shell));
}

TEST(ShellCompanySwitch, CancelledSelectionClosesTheShell) {
  ShellRig rig;
  rig.setup.switchCompany = [](QWidget*) -> std::optional<QString> { return std::nullopt; };
  STANDARDSHELLWINDOW& shell = rig.open();
  shell.MNUSHELL_FIRMENWECHSEL();
  EXPECT_FALSE(shell.isVisible());
  EXPECT_TRUE(rig.messages.messages.empty());  // the selection shows its own messages
}

TEST(ShellCompanySwitch, AWindowThatStaysOpenStopsTheSwitch) {
  ShellRig rig;
  int calls = 0;
  rig.setup.switchCompany = [&](QWidget*) -> std::optional<QString> {
    ++calls;
    return QStringLiteral("Andere");
  };
  STANDARDSHELLWINDOW& shell = rig.open();
  openRegistered(shell, new DummyDataWindow(&shell, /*refuseClose=*/true))->showMinimized();
  shell.MNUSHELL_FIRMENWECHSEL();
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(shell.isVisible());
  EXPECT_EQ(shell.windowTitle(), QStringLiteral("Lumo-Zentor: Muster GmbH"));
}

TEST(ShellProgramEnd, QuestionDecides) {
  struct Case {
    bool answer;
    bool stillOpen;
  } const cases[] = {{false, true}, {true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    ShellRig rig;
    rig.messages.answers = {c.answer};
    STANDARDSHELLWINDOW& shell = rig.open();
    openRegistered(shell, new DummyDataWindow(&shell));
    shell.menuCommand(kCmdProgrammende)->trigger();
    ASSERT_EQ(rig.messages.messages.size(), 1u);
    const app::Message& m = rig.messages.messages[0];
    EXPECT_EQ(m.kind, app::MessageKind::kQuestion);
    EXPECT_EQ(m.icon, app::MessageIcon::kQuestion);
    EXPECT_EQ(m.title, "Programmende");
    EXPECT_EQ(m.text, "Soll das Programm wirklich beendet werden?");
    EXPECT_EQ(m.owner, static_cast<void*>(&shell));
    EXPECT_EQ(shell.isVisible(), c.stillOpen);
    EXPECT_EQ(shell.childWindows().size(), c.stillOpen ? 1 : 0);
  }
}

TEST(ShellProgramEnd, MarkerFileEndsWithoutAsking) {
  ShellRig rig;
  rig.setup.markerIcon = rig.program.touch("LUMO.ICO");
  STANDARDSHELLWINDOW& shell = rig.open();
  shell.MNUSHELL_CLOSE();
  EXPECT_TRUE(rig.messages.messages.empty());
  EXPECT_FALSE(shell.isVisible());
}

TEST(ShellProgramEnd, TitleBarCloseDoesNotAsk) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  EXPECT_TRUE(shell.close());
  EXPECT_TRUE(rig.messages.messages.empty());
}

TEST(ShellProgramEnd, AChildThatRefusesKeepsTheShellOpen) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  openRegistered(shell, new DummyDataWindow(&shell, /*refuseClose=*/true));
  EXPECT_FALSE(shell.close());
  EXPECT_TRUE(shell.isVisible());
}

}  // namespace
}  // namespace zentor::ui
