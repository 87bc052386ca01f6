// The frame shows the active child's own menus and toolbar in place of the main menu.
#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "shell/mdi_menu_provider.h"
#include "support/shell_fixture.h"

namespace zentor::ui {
namespace {

using testing::ShellRig;

// A data window stand-in with a browse menu of its own.
class BrowseWindow : public QWidget, public MdiMenuProvider {
 public:
  BrowseWindow() {
    file_ = new QMenu(QStringLiteral("&Datei"), this);
    close_ = file_->addAction(QString::fromUtf8("&Schließen"));
    close_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    QObject::connect(close_, &QAction::triggered, [this] { ++closeRuns; });
    edit_ = new QMenu(QStringLiteral("&Bearbeiten"), this);
    first_ = edit_->addAction(QStringLiteral("Datei&anfang"));
  }
  QList<QMenu*> mdiMenus() const override { return {file_, edit_}; }
  QList<QAction*> mdiToolBarActions() const override { return {close_, nullptr, first_}; }

  int closeRuns = 0;
  QMenu* file_;
  QMenu* edit_;
  QAction* close_;
  QAction* first_;
};

QList<QAction*> menuActionsOf(const QList<QMenu*>& menus) {
  QList<QAction*> out;
  for (QMenu* m : menus) out.append(m->menuAction());
  return out;
}

TEST(ShellMdiMenu, ActiveChildMenusReplaceTheMainMenu) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  auto* browse = new BrowseWindow;
  QMdiSubWindow* browseSub = shell.mdiArea()->addSubWindow(browse);
  browseSub->show();
  QMdiSubWindow* plainSub = shell.mdiArea()->addSubWindow(new QWidget);
  plainSub->show();

  shell.mdiArea()->setActiveSubWindow(browseSub);
  EXPECT_EQ(shell.menuBar()->actions(), menuActionsOf(browse->mdiMenus()));
  EXPECT_FALSE(shell.shellToolBar()->isVisibleTo(&shell));
  EXPECT_TRUE(shell.childToolBar()->isVisibleTo(&shell));
  const QList<QAction*> buttons = shell.childToolBar()->actions();
  ASSERT_EQ(buttons.size(), 3);
  EXPECT_EQ(buttons[0], browse->close_);
  EXPECT_TRUE(buttons[1]->isSeparator());
  EXPECT_EQ(buttons[2], browse->first_);

  shell.mdiArea()->setActiveSubWindow(plainSub);  // a window without menus of its own
  EXPECT_EQ(shell.menuBar()->actions(), menuActionsOf(shell.mainMenus()));
  EXPECT_TRUE(shell.shellToolBar()->isVisibleTo(&shell));
  EXPECT_FALSE(shell.childToolBar()->isVisibleTo(&shell));

  shell.mdiArea()->setActiveSubWindow(browseSub);
  delete plainSub;
  browseSub->close();  // the last child goes: the main menu comes back
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(shell.menuBar()->actions(), menuActionsOf(shell.mainMenus()));
  EXPECT_TRUE(shell.shellToolBar()->isVisibleTo(&shell));
}

TEST(ShellMdiMenu, AcceleratorsFollowTheShownMenu) {
  ShellRig rig;
  STANDARDSHELLWINDOW& shell = rig.open();
  shell.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&shell));

  auto* browse = new BrowseWindow;
  QMdiSubWindow* sub = shell.mdiArea()->addSubWindow(browse);
  sub->show();
  shell.mdiArea()->setActiveSubWindow(sub);
  QTest::keyClick(&shell, Qt::Key_F4, Qt::AltModifier);
  EXPECT_EQ(browse->closeRuns, 1);
  EXPECT_TRUE(rig.messages.messages.empty());  // not the shell's program end

  delete sub;
  QCoreApplication::processEvents();
  rig.messages.answers = {false};
  QTest::keyClick(&shell, Qt::Key_F4, Qt::AltModifier);
  ASSERT_EQ(rig.messages.messages.size(), 1u);
  EXPECT_EQ(rig.messages.messages[0].title, "Programmende");
}

}  // namespace
}  // namespace zentor::ui
