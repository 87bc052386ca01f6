// `MYDATAWINDOW`, the base of every data window, and `MYDATALISTVIEW`, the list of its table.
//
// A data window has three states kept in `nRecNo`: 0 browse, -1 a new record is being entered,
// n > 0 record n is being edited and is locked by this window's table object. The base gives the
// state changes with their locks and messages, the browse menu `MNUBROWSE` with its toolbar and
// keys, Enter/Esc routing and the closing; the concrete windows fill in the hooks.
//
// Messages go only through the MessageService handed in. The window does not own its table:
// the concrete window keeps the table object and closeTable() closes it when the window closes.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <string>

#include "appcore/messages.h"
#include "shell/mdi_menu_provider.h"
#include "toolkit/data_list_view.h"
#include "toolkit/data_window.h"

class QAction;
class QMenu;

namespace zentor::ui {

class STANDARDSHELLWINDOW;

// Command ids of MNUBROWSE.
enum BrowseCommand : int {
  kMnuDatei = 30587,
  kCmdClose = 30588,
  kMnuBearbeiten = 30589,
  kCmdGoTop = 30590,
  kCmdSkipPrevious = 30591,
  kCmdSkipNext = 30592,
  kCmdGoBottom = 30593,
  kCmdNew = 30595,
  kCmdEdit = 30596,
  kCmdDelete = 30597,
  kMnuHilfe = 30598,
  kCmdHelp = 30599,
  kCmdAbout = 32031,
};

class MYDATALISTVIEW : public toolkit::DataListView {
  Q_OBJECT
 public:
  // Looks a cell up in another table the window keeps open (customer of an order, article of
  // a sales posting); empty text when not found.
  using Lookup = std::function<QString(const dbf::Table& row)>;

  explicit MYDATALISTVIEW(const QString& name, QWidget* parent = nullptr);

  // The program's cell formatting, chosen by the table's alias (UMS tables by name prefix).
  QString fieldGet(const dbf::Table& row, const std::string& field) const override;
  // Cells that need another table: AKO STRASSE/ORT (the order's customer), UMS ARTNR (the
  // article's text). The windows that keep those tables open set them.
  void setLookup(const std::string& field, Lookup fn) { lookups_[field] = std::move(fn); }
  // The two lookups of the program: STRASSE and ORT of an order's customer from `knd` (tag
  // KNDNR), and TXT of a posting's article from `art` (tag ARTNR), each sought by the number as
  // right-aligned text of its width. The tables belong to the window and must outlive the list.
  void lookUpCustomersIn(dbf::Table& knd);
  void lookUpArticlesIn(dbf::Table& art);

 private:
  std::map<std::string, Lookup> lookups_;
};

class MYDATAWINDOW : public toolkit::DataWindow, public MdiMenuProvider {
  Q_OBJECT
 public:
  // `shell` may be null (a window on its own, as in tests): registering, help and About are
  // then skipped.
  MYDATAWINDOW(app::MessageService& messages, STANDARDSHELLWINDOW* shell, QWidget* parent = nullptr);
  ~MYDATAWINDOW() override;

  int nRecNo = 0;

  void DOINIT();
  void DONEW();
  void DOEDIT();
  bool DODELETE();

  virtual void PSHOK() {}
  virtual void PSHCANCEL();
  virtual void PSHNEW() {}
  virtual void PSHEDIT() {}
  virtual void PSHDELETE() {}
  // Closes the window, dropping unsaved input.
  virtual void PSHCLOSE();
  virtual void ENABLEFIELDS() {}
  virtual void DISABLEFIELDS() {}
  virtual void LINKFIELDS() {}
  virtual void UNLINKFIELDS() {}
  virtual void CLEARFIELDS() {}

  // The record commands (new, edit, delete, first, previous, next, last).
  void ENABLEMENUITEMS();
  void DISABLEMENUITEMS();
  void LISTVIEWMOUSEBUTTONDOUBLECLICK();
  void HELPCONTENTS();
  void DLGABOUT();
  // Closes the window's table; closing is always allowed.
  bool QUERYCLOSE();
  // Unregisters from the shell (once).
  virtual void CLOSE();
  // Enter (1) and Esc (2) while a record is new or being edited: PSHOK / PSHCANCEL.
  void DISPATCH(int command);
  // Incremental search: soft seek of the upper-cased text in the current order.
  void EDITCHANGE(const QString& text);

  // Registers with the shell (`ADDCHILDWINDOW`); the windows call it at the end of POSTINIT.
  void registerWithShell();

  QAction* command(int id) const;
  QList<QMenu*> mdiMenus() const override { return menus_; }
  QList<QAction*> mdiToolBarActions() const override { return toolBar_; }
  app::MessageService& messages() const { return messages_; }
  STANDARDSHELLWINDOW* shell() const;

 protected:
  // Binds the list: double click edits. The search field `SLESUCHE`, when the form has one, is
  // connected by name.
  void connectBrowseControls(MYDATALISTVIEW* list);
  // Makes Enter and Esc typed in any control of the form reach DISPATCH.
  void routeKeys();
  // Closes the table object the concrete window keeps.
  virtual void closeTable();
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildMenu();

  app::MessageService& messages_;
  QPointer<STANDARDSHELLWINDOW> shell_;
  QList<QMenu*> menus_;
  QList<QAction*> toolBar_;
  std::map<int, QAction*> commands_;
  bool registered_ = false;
  bool closed_ = false;
};

}  // namespace zentor::ui
