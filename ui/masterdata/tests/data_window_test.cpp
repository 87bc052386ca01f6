// The data window states on the article-group window: new, edit, delete, Enter/Esc, double
// click, the record commands, locks held by a rival process, closing, and the browse menu.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QMenu>
#include <QTest>

#include "data/tables.h"
#include "shell/standard_shell_window.h"
#include "support/window_fixture.h"

namespace zentor::ui {
namespace {

using logic::testing::addRecord;
using testing::focusName;
using testing::liveRecords;
using testing::press;
using testing::WindowFixture;

const int kRecordIds[] = {kCmdNew, kCmdEdit, kCmdDelete, kCmdGoTop, kCmdSkipPrevious, kCmdSkipNext, kCmdGoBottom};

void addGroups(WindowFixture& f, std::initializer_list<std::pair<int, const char*>> groups) {
  data::DBAGR agr(f.company.ctx.env);
  for (auto [nr, txt] : groups) addRecord(agr.table(), {{"AGRNR", nr}, {"TXT", txt}});
}

bool recordCommandsEnabled(MYDATAWINDOW& w, bool enabled) {
  for (int id : kRecordIds) {
    if (w.command(id)->isEnabled() != enabled) return false;
  }
  return true;
}

TEST(DataWindow, EditAndDeleteOnAnEmptyTableDoNothing) {
  WindowFixture f;
  auto w = f.open<DTAAGR>();
  w->command(kCmdEdit)->trigger();
  EXPECT_EQ(w->nRecNo, 0);
  w->command(kCmdDelete)->trigger();
  EXPECT_EQ(w->nRecNo, 0);
  EXPECT_TRUE(f.messages.messages.empty());
  EXPECT_EQ(w->list()->model()->rowCount(), 0);
}

TEST(DataWindow, NewRecordByEnterAndCommandsDisabledMeanwhile) {
  WindowFixture f;
  auto w = f.open<DTAAGR>();
  // Enter in browse state neither saves nor changes the state.
  press(w->list(), Qt::Key_Return);
  EXPECT_EQ(w->nRecNo, 0);

  w->command(kCmdNew)->trigger();
  EXPECT_EQ(w->nRecNo, -1);
  EXPECT_EQ(focusName(*w), "AGRNR");
  EXPECT_TRUE(recordCommandsEnabled(*w, false));
  EXPECT_TRUE(w->command(kCmdClose)->isEnabled());
  EXPECT_TRUE(w->command(kCmdHelp)->isEnabled());
  EXPECT_FALSE(w->list()->isEnabled());
  EXPECT_TRUE(w->okButton()->isEnabled());

  QTest::keyClicks(w->AGRNR, "7");
  QTest::keyClicks(w->TXT, "Sieben");
  press(w->TXT, Qt::Key_Return);
  EXPECT_TRUE(f.messages.messages.empty()) << f.messages.texts().front();
  EXPECT_EQ(w->nRecNo, 0);
  EXPECT_TRUE(recordCommandsEnabled(*w, true));
  EXPECT_FALSE(w->AGRNR->isEnabled());
  EXPECT_EQ(liveRecords<data::DBAGR>(f.company.ctx), 1);
  ASSERT_EQ(w->list()->model()->rowCount(), 1);
  EXPECT_EQ(w->list()->model()->index(0, 0).data().toString(), "07");
  EXPECT_EQ(w->TXT->value().trimmed(), "Sieben");
  // The save keeps no lock behind: another table object can take it.
  data::DBAGR other(f.company.ctx.env);
  other->goTop();
  EXPECT_TRUE(other->lock());
}

TEST(DataWindow, EscCancelsNewAndEditAndRestoresTheRecord) {
  WindowFixture f;
  addGroups(f, {{1, "Eins"}, {2, "Zwei"}});
  auto w = f.open<DTAAGR>();
  EXPECT_EQ(w->TXT->value().trimmed(), "Eins");

  w->command(kCmdNew)->trigger();
  EXPECT_TRUE(w->TXT->value().isEmpty());
  press(w->TXT, Qt::Key_Escape);
  EXPECT_EQ(w->nRecNo, 0);
  EXPECT_EQ(w->TXT->value().trimmed(), "Eins");

  w->command(kCmdEdit)->trigger();
  ASSERT_EQ(w->nRecNo, 1);
  EXPECT_FALSE(w->AGRNR->isEnabled());  // the key cannot change while editing
  EXPECT_TRUE(w->TXT->isEnabled());
  EXPECT_EQ(focusName(*w), "TXT");
  w->TXT->setValue("Geändert");
  press(w->TXT, Qt::Key_Escape);
  EXPECT_EQ(w->nRecNo, 0);
  EXPECT_EQ(w->TXT->value().trimmed(), "Eins");
  data::DBAGR other(f.company.ctx.env);
  other->goTop();
  EXPECT_EQ(other->getString("TXT").substr(0, 4), "Eins");
  EXPECT_TRUE(other->lock());  // cancel released the lock
  EXPECT_TRUE(f.messages.messages.empty());
}

TEST(DataWindow, EditSavesByEnterAndDoubleClickStartsEditing) {
  WindowFixture f;
  addGroups(f, {{1, "Eins"}, {2, "Zwei"}});
  auto w = f.open<DTAAGR>();
  w->command(kCmdSkipNext)->trigger();
  EXPECT_EQ(w->TXT->value().trimmed(), "Zwei");
  const QModelIndex second = w->list()->model()->index(1, 0);
  const QPoint at = w->list()->visualRect(second).center();
  QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(w->list()->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(w->nRecNo, 2);
  w->TXT->setValue("Zwo");
  press(w->TXT, Qt::Key_Enter);
  EXPECT_EQ(w->nRecNo, 0);
  data::DBAGR other(f.company.ctx.env);
  other->go(2);
  EXPECT_EQ(other->getString("TXT").substr(0, 3), "Zwo");
  EXPECT_EQ(other->getNumber("AGRNR"), 2);
}

TEST(DataWindow, DeletingTheLastAndTheOnlyRecord) {
  WindowFixture f;
  addGroups(f, {{1, "Eins"}, {2, "Zwei"}});
  auto w = f.open<DTAAGR>();
  // Declined: nothing changes.
  w->command(kCmdGoBottom)->trigger();
  w->command(kCmdDelete)->trigger();
  ASSERT_EQ(f.messages.messages.size(), 1u);
  const app::Message& q = f.messages.messages[0];
  EXPECT_EQ(q.kind, app::MessageKind::kQuestion);
  EXPECT_EQ(q.text, "Soll der Datensatz gelöscht werden?");
  EXPECT_EQ(q.title, "Lumo-Zentor: Artikelgruppen");
  EXPECT_EQ(q.owner, static_cast<void*>(w.get()));
  EXPECT_EQ(liveRecords<data::DBAGR>(f.company.ctx), 2);

  // The last in the order: the new last one is shown.
  f.messages.answers = {true, true};
  w->command(kCmdDelete)->trigger();
  EXPECT_EQ(liveRecords<data::DBAGR>(f.company.ctx), 1);
  EXPECT_EQ(w->TXT->value().trimmed(), "Eins");
  EXPECT_EQ(w->list()->model()->rowCount(), 1);

  // The only one: end of file, empty controls, an empty list.
  w->command(kCmdDelete)->trigger();
  EXPECT_EQ(liveRecords<data::DBAGR>(f.company.ctx), 0);
  EXPECT_TRUE(w->table()->eof());
  EXPECT_TRUE(w->TXT->value().isEmpty());
  EXPECT_TRUE(w->AGRNR->value().trimmed().isEmpty());
  EXPECT_EQ(w->list()->model()->rowCount(), 0);
  EXPECT_EQ(f.messages.messages.size(), 3u);
}

// A rival process holds the lock of record 1 until told to let go.
TEST(DataWindow, RecordLockedByAnotherProcessIsRefused) {
  WindowFixture f;
  addGroups(f, {{1, "Eins"}});
  int locked[2], release[2];
  ASSERT_EQ(pipe(locked), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    logic::testing::Company::Rival rival(f.company);
    data::DBAGR agr(rival.ctx.env);
    char c = agr.ok() && agr->go(1).ok() && agr->lock() ? 'L' : 'F';
    (void)!write(locked[1], &c, 1);
    (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(locked[0], &c, 1), 1);
  ASSERT_EQ(c, 'L');
  auto w = f.open<DTAAGR>();
  w->command(kCmdEdit)->trigger();
  w->command(kCmdDelete)->trigger();
  (void)!write(release[1], "x", 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(w->nRecNo, 0);
  ASSERT_EQ(f.messages.messages.size(), 2u);
  EXPECT_EQ(f.messages.messages[0].text, "Datensatz derzeit gesperrt");
  EXPECT_EQ(f.messages.messages[0].title, "Datensatz bearbeiten");
  EXPECT_EQ(f.messages.messages[0].owner, nullptr);
  EXPECT_EQ(f.messages.messages[1].text, "Datensatz derzeit gesperrt");
  EXPECT_EQ(f.messages.messages[1].title, "Datensatz löschen");
  EXPECT_EQ(liveRecords<data::DBAGR>(f.company.ctx), 1);
  // Once the rival has gone the same window may edit.
  w->command(kCmdEdit)->trigger();
  EXPECT_EQ(w->nRecNo, 1);
  for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
}

TEST(DataWindow, OpenedFromTheShellRegistersAndClosingInEditDropsInputAndLock) {
  WindowFixture f;
  addGroups(f, {{1, "Eins"}});
  ShellSetup setup;
  setup.messages = &f.messages;
  setup.companyName = "Test";
  STANDARDSHELLWINDOW shell(setup);
  registerCodeTableCommands(shell, f.company.ctx, f.messages);
  ASSERT_TRUE(shell.runCommand("MNUSHELL_AGR"));
  ASSERT_EQ(shell.childWindows().size(), 1);
  auto* w = qobject_cast<DTAAGR*>(shell.childWindows().front().data());
  ASSERT_NE(w, nullptr);
  w->command(kCmdEdit)->trigger();
  ASSERT_EQ(w->nRecNo, 1);
  w->TXT->setValue("Verworfen");
  w->command(kCmdClose)->trigger();
  QCoreApplication::processEvents();
  EXPECT_TRUE(shell.childWindows().isEmpty());
  data::DBAGR other(f.company.ctx.env);
  other->goTop();
  EXPECT_TRUE(other->lock());
  EXPECT_EQ(other->getString("TXT").substr(0, 4), "Eins");
  EXPECT_TRUE(f.messages.messages.empty());
  for (const char* cmd : {"MNUSHELL_KGR", "MNUSHELL_LND", "MNUSHELL_MWS", "MNUSHELL_TXT"}) {
    EXPECT_TRUE(shell.runCommand(cmd)) << cmd;
  }
  EXPECT_EQ(shell.childWindows().size(), 4);
}

TEST(DataWindow, BrowseMenuTextsKeysAndToolTips) {
  WindowFixture f;
  auto w = f.open<DTAAGR>();
  struct Row {
    int id;
    const char* text;
    const char* key;
    const char* tip;
  };
  const Row rows[] = {
      {kCmdClose, "&Schließen\tALT+F4", "Alt+F4", "Fenster schließen (Alt+F4)"},
      {kCmdGoTop, "Datei&anfang\tSTRG+Home", "Ctrl+Home", "Dateianfang (Strg+Pos1)"},
      {kCmdSkipPrevious, "&Vorgänger", "", "Vorgänger"},
      {kCmdSkipNext, "&Nachfolger", "", "Nachfolger"},
      {kCmdGoBottom, "Datei&ende\tSTRG+End", "Ctrl+End", "Dateiende (Strg+Ende)"},
      {kCmdNew, "Neuer &Datensatz\tF2", "F2", "Neuer Datensatz (F2)"},
      {kCmdEdit, "Datensatz &ändern\tF3", "F3", "Datensatz ändern (F3)"},
      {kCmdDelete, "Datensatz &löschen\tF10", "F10", "Datensatz löschen (F10)"},
      {kCmdHelp, "&Doku\tF1", "F1", "Doku anzeigen"},
      {kCmdAbout, "&Über", "", nullptr},
  };
  for (const Row& r : rows) {
    QAction* a = w->command(r.id);
    ASSERT_NE(a, nullptr) << r.id;
    EXPECT_EQ(a->property("menuText").toString(), QString::fromUtf8(r.text));
    EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(r.key))) << r.id;
    if (r.tip) {
      EXPECT_EQ(a->toolTip(), QString::fromUtf8(r.tip));
    }
  }
  ASSERT_EQ(w->mdiMenus().size(), 3);
  EXPECT_EQ(w->mdiMenus()[0]->title(), "&Datei");
  EXPECT_EQ(w->mdiMenus()[1]->title(), "&Bearbeiten");
  EXPECT_EQ(w->mdiMenus()[2]->title(), "&Hilfe");
  EXPECT_EQ(w->mdiToolBarActions().size(), 13);
}

}  // namespace
}  // namespace zentor::ui
