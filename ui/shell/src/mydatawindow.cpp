#include "shell/mydatawindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>

#include "appcore/format.h"
#include "dbf/expr.h"
#include "logic/valuation.h"
#include "shell/standard_shell_window.h"

namespace zentor::ui {
namespace {

struct BrowseItem {
  int id;
  int popup;  // id of the popup it belongs to
  const char* text;
  const char* key;  // accelerator, empty for none
  const char* status;
  const char* help;
  const char* toolTip;  // empty: not on the toolbar
  bool separatorBefore;
};

// MNUBROWSE, in menu order.
const BrowseItem kBrowseItems[] = {
    {kCmdClose, kMnuDatei, "&Schließen\tALT+F4", "Alt+F4", "Fenster schließen", "File_Close",
     "Fenster schließen (Alt+F4)", false},
    {kCmdGoTop, kMnuBearbeiten, "Datei&anfang\tSTRG+Home", "Ctrl+Home", "Zum ersten Satz", "Edit_GoTop",
     "Dateianfang (Strg+Pos1)", false},
    {kCmdSkipPrevious, kMnuBearbeiten, "&Vorgänger", "", "Zum vorhergehenden Satz", "Edit_SkipPrevious",
     "Vorgänger", false},
    {kCmdSkipNext, kMnuBearbeiten, "&Nachfolger", "", "Zum nächsten Satz", "Edit_SkipNext", "Nachfolger", false},
    {kCmdGoBottom, kMnuBearbeiten, "Datei&ende\tSTRG+End", "Ctrl+End", "Zum letzten Satz", "Edit_GoBottom",
     "Dateiende (Strg+Ende)", false},
    {kCmdNew, kMnuBearbeiten, "Neuer &Datensatz\tF2", "F2", "Neuen Datensatz erstellen", "Edit_New",
     "Neuer Datensatz (F2)", true},
    {kCmdEdit, kMnuBearbeiten, "Datensatz &ändern\tF3", "F3", "Markierten Datensatz ändern", "Edit_Edit",
     "Datensatz ändern (F3)", false},
    {kCmdDelete, kMnuBearbeiten, "Datensatz &löschen\tF10", "F10", "Markierten Datensatz löschen", "Edit_Delete",
     "Datensatz löschen (F10)", false},
    {kCmdHelp, kMnuHilfe, "&Doku\tF1", "F1", "Doku anzeigen", "Help_Index", "Doku anzeigen", false},
    {kCmdAbout, kMnuHilfe, "&Über", "", "Über die Anwendung", "Help_About", "", true},
};

const int kRecordCommands[] = {kCmdNew, kCmdEdit, kCmdDelete, kCmdGoTop, kCmdSkipPrevious, kCmdSkipNext, kCmdGoBottom};

// Toolbar groups, separated by a single separator (0).
const int kToolBar[] = {kCmdClose, 0, kCmdGoTop, kCmdSkipPrevious, kCmdSkipNext, kCmdGoBottom, 0,
                        kCmdNew, kCmdEdit, 0, kCmdDelete, 0, kCmdHelp};

const char* commandName(int id) {
  switch (id) {
    case kCmdClose: return "PSHCLOSE";
    case kCmdGoTop: return "GOTOP";
    case kCmdSkipPrevious: return "SKIPPREVIOUS";
    case kCmdSkipNext: return "SKIPNEXT";
    case kCmdGoBottom: return "GOBOTTOM";
    case kCmdNew: return "PSHNEW";
    case kCmdEdit: return "PSHEDIT";
    case kCmdDelete: return "PSHDELETE";
    case kCmdHelp: return "HELPCONTENTS";
    case kCmdAbout: return "DLGABOUT";
    default: return "";
  }
}

QString picture(double v, const char* pic) { return QString::fromStdString(app::transformNumber(v, pic)); }

}  // namespace

// ---- MYDATALISTVIEW ----------------------------------------------------------------------------

MYDATALISTVIEW::MYDATALISTVIEW(const QString& name, QWidget* parent) : toolkit::DataListView(name, parent) {}

QString MYDATALISTVIEW::fieldGet(const dbf::Table& row, const std::string& field) const {
  const std::string& alias = row.alias();
  auto lookup = [&]() -> QString {
    auto it = lookups_.find(field);
    return it == lookups_.end() ? QString() : it->second(row);
  };
  auto twoDigits = [&] { return QString::fromStdString(app::zeroPadded(static_cast<long long>(row.getNumber(field)), 2)); };
  if (alias == "MWS") {
    if (field == "MWST") return twoDigits();
    if (field == "DEFAULT" || field == "AKTIV") return row.getLogical(field) ? QStringLiteral("X") : QString();
  } else if ((alias == "AGR" && field == "AGRNR") || (alias == "KGR" && field == "KGRNR")) {
    return twoDigits();
  } else if (alias == "AKO") {
    if (field == "TYPNR") return picture(row.getNumber(field), "@Z 99999999");
    if (field == "STRASSE" || field == "ORT") return lookup();
  } else if (alias == "APO") {
    if (field == "SORT") return picture(row.getNumber(field), "@Z 9999");
    if (field == "MENGE") return picture(row.getNumber(field), "@Z 99999.9");
    if (field == "RABATT") return picture(row.getNumber(field), "@Z 99");
    if (field == "VKP") return picture(row.getNumber(field), "@Z 999999.99");
    if (field == "WERT") {
      return picture(logic::GETAPOWERT(row.getNumber("MENGE"), row.getNumber("VKP"), row.getNumber("RABATT")),
                     "@Z 9999999.99");
    }
  } else if (alias.rfind("UMS", 0) == 0 && field == "ARTNR") {
    return lookup();
  }
  return toolkit::DataListView::fieldGet(row, field);
}

namespace {

// The text of `field` of the record of `table` found under `number` in `tag`; "" otherwise.
QString lookUp(dbf::Table& table, const char* tag, double number, int width, const char* field) {
  if (!table.selectTag(tag).ok() || !table.seek(dbf::dbaseStr(number, width), false).ok() || !table.found()) {
    return QString();
  }
  return QString::fromStdString(table.getString(field));
}

}  // namespace

void MYDATALISTVIEW::lookUpCustomersIn(dbf::Table& knd) {
  for (const char* field : {"STRASSE", "ORT"}) {
    setLookup(field, [&knd, field](const dbf::Table& row) {
      return lookUp(knd, "KNDNR", row.getNumber("KNDNR"), 5, field);
    });
  }
}

void MYDATALISTVIEW::lookUpArticlesIn(dbf::Table& art) {
  setLookup("ARTNR", [&art](const dbf::Table& row) { return lookUp(art, "ARTNR", row.getNumber("ARTNR"), 5, "TXT"); });
}

// ---- MYDATAWINDOW ------------------------------------------------------------------------------

MYDATAWINDOW::MYDATAWINDOW(app::MessageService& messages, STANDARDSHELLWINDOW* shell, QWidget* parent)
    : toolkit::DataWindow(parent), messages_(messages), shell_(shell) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  buildMenu();
}

MYDATAWINDOW::~MYDATAWINDOW() {
  // Not through the shell here: a window destroyed with the shell outlives the shell's own
  // part, and the registry reads a destroyed window as null anyway.
  if (!closed_) closeTable();
}

void MYDATAWINDOW::buildMenu() {
  auto* datei = new QMenu(QStringLiteral("&Datei"), this);
  auto* bearbeiten = new QMenu(QStringLiteral("&Bearbeiten"), this);
  auto* hilfe = new QMenu(QStringLiteral("&Hilfe"), this);
  const std::pair<int, QMenu*> popups[] = {{kMnuDatei, datei}, {kMnuBearbeiten, bearbeiten}, {kMnuHilfe, hilfe}};
  const char* popupHelp[] = {"File", "Edit", ""};
  int p = 0;
  for (auto [id, menu] : popups) {
    menu->menuAction()->setProperty("id", id);
    menu->menuAction()->setProperty("helpContext", QString::fromUtf8(popupHelp[p++]));
    menus_.push_back(menu);
  }
  for (const BrowseItem& item : kBrowseItems) {
    QMenu* menu = item.popup == kMnuDatei ? datei : item.popup == kMnuBearbeiten ? bearbeiten : hilfe;
    if (item.separatorBefore) menu->addSeparator();
    const QString text = QString::fromUtf8(item.text);
    auto* a = new QAction(text.section(QLatin1Char('\t'), 0, 0), this);
    a->setProperty("id", item.id);
    a->setProperty("command", QString::fromLatin1(commandName(item.id)));
    a->setProperty("menuText", text);
    a->setProperty("helpContext", QString::fromUtf8(item.help));
    a->setStatusTip(QString::fromUtf8(item.status));
    if (*item.toolTip) a->setToolTip(QString::fromUtf8(item.toolTip));
    if (*item.key) {
      a->setShortcut(QKeySequence(QString::fromLatin1(item.key)));
      // Active while the focus is inside this window, so two data windows never compete.
      a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      addAction(a);
    }
    menu->addAction(a);
    commands_[item.id] = a;
  }
  for (int id : kToolBar) toolBar_.push_back(id ? commands_[id] : nullptr);

  connect(commands_[kCmdClose], &QAction::triggered, this, [this] { PSHCLOSE(); });
  connect(commands_[kCmdGoTop], &QAction::triggered, this, [this] { goTop(); });
  connect(commands_[kCmdSkipPrevious], &QAction::triggered, this, [this] { skipPrevious(); });
  connect(commands_[kCmdSkipNext], &QAction::triggered, this, [this] { skipNext(); });
  connect(commands_[kCmdGoBottom], &QAction::triggered, this, [this] { goBottom(); });
  connect(commands_[kCmdNew], &QAction::triggered, this, [this] { PSHNEW(); });
  connect(commands_[kCmdEdit], &QAction::triggered, this, [this] { PSHEDIT(); });
  connect(commands_[kCmdDelete], &QAction::triggered, this, [this] { PSHDELETE(); });
  connect(commands_[kCmdHelp], &QAction::triggered, this, [this] { HELPCONTENTS(); });
  connect(commands_[kCmdAbout], &QAction::triggered, this, [this] { DLGABOUT(); });
}

STANDARDSHELLWINDOW* MYDATAWINDOW::shell() const { return shell_.data(); }

QAction* MYDATAWINDOW::command(int id) const {
  auto it = commands_.find(id);
  return it == commands_.end() ? nullptr : it->second;
}

void MYDATAWINDOW::DOINIT() {
  DISABLEFIELDS();
  if (dbf::Table* t = table(); t && t->isOpen()) {
    t->setFilter("!Deleted()");
    t->goTop();
  }
}

void MYDATAWINDOW::DONEW() {
  nRecNo = -1;
  UNLINKFIELDS();
  CLEARFIELDS();
  ENABLEFIELDS();
}

void MYDATAWINDOW::DOEDIT() {
  dbf::Table* t = table();
  if (!t || !t->isOpen() || t->eof()) return;
  if (!t->lock()) {
    messages_.error("Datensatz derzeit gesperrt", "Datensatz bearbeiten");
    return;
  }
  nRecNo = static_cast<int>(t->recno());
  UNLINKFIELDS();
  ENABLEFIELDS();
}

bool MYDATAWINDOW::DODELETE() {
  dbf::Table* t = table();
  if (!t || !t->isOpen() || t->eof()) return false;
  if (!t->lock()) {
    messages_.error("Datensatz derzeit gesperrt", "Datensatz löschen");
    return false;
  }
  if (!messages_.question("Soll der Datensatz gelöscht werden?", windowTitle().toStdString(), this)) {
    t->unlock();
    return false;
  }
  const bool ok = t->deleteRecord().ok() && t->commit().ok();
  t->unlock();
  t->skip(1);
  if (t->eof()) t->goBottom();
  return ok;
}

void MYDATAWINDOW::PSHCANCEL() {
  nRecNo = 0;
  dbf::Table* t = table();
  if (t && t->isOpen()) t->unlock();
  DISABLEFIELDS();
  LINKFIELDS();
  if (t && t->isOpen()) t->skip(0);
}

void MYDATAWINDOW::PSHCLOSE() {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    sub->close();
  } else {
    close();
  }
}

void MYDATAWINDOW::ENABLEMENUITEMS() {
  for (int id : kRecordCommands) commands_[id]->setEnabled(true);
}

void MYDATAWINDOW::DISABLEMENUITEMS() {
  for (int id : kRecordCommands) commands_[id]->setEnabled(false);
}

void MYDATAWINDOW::LISTVIEWMOUSEBUTTONDOUBLECLICK() {
  if (nRecNo == 0) PSHEDIT();
}

void MYDATAWINDOW::HELPCONTENTS() {
  if (shell_) shell_->HELPCONTENTS();
}

void MYDATAWINDOW::DLGABOUT() {
  if (shell_) shell_->showAbout(this);
}

void MYDATAWINDOW::closeTable() {
  if (dbf::Table* t = table(); t && t->isOpen()) t->close();
}

bool MYDATAWINDOW::QUERYCLOSE() {
  closeTable();
  return true;
}

void MYDATAWINDOW::CLOSE() {
  closed_ = true;
  if (registered_ && shell_) shell_->DELETECHILDWINDOW(this);
  registered_ = false;
}

void MYDATAWINDOW::registerWithShell() {
  if (!shell_ || registered_) return;
  shell_->ADDCHILDWINDOW(this);
  registered_ = true;
}

void MYDATAWINDOW::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    QUERYCLOSE();
    CLOSE();
  }
  event->accept();
}

void MYDATAWINDOW::DISPATCH(int command) {
  if (nRecNo == 0) return;
  if (command == 2) {
    PSHCANCEL();
  } else if (command == 1) {
    PSHOK();
  }
}

void MYDATAWINDOW::EDITCHANGE(const QString& text) {
  dbf::Table* t = table();
  if (!t || !t->isOpen() || t->currentTag().empty()) return;
  t->seek(text.toUpper().toStdString(), true);
}

void MYDATAWINDOW::connectBrowseControls(MYDATALISTVIEW* list) {
  if (list) {
    connect(list, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) {
      LISTVIEWMOUSEBUTTONDOUBLECLICK();
    });
  }
  if (auto* search = findChild<QLineEdit*>(QStringLiteral("SLESUCHE"))) {
    connect(search, &QLineEdit::textChanged, this, [this](const QString& text) { EDITCHANGE(text); });
  }
}

void MYDATAWINDOW::routeKeys() {
  for (QWidget* w : findChildren<QWidget*>()) {
    if (qobject_cast<QMenu*>(w) || qobject_cast<QAbstractItemView*>(w) ||
        qobject_cast<QAbstractItemView*>(w->parentWidget())) {
      continue;
    }
    w->installEventFilter(this);
  }
}

bool MYDATAWINDOW::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && nRecNo != 0) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    // Shift+Enter still breaks a line in a multi-line edit.
    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      DISPATCH(1);
      return true;
    }
    if (plain && key->key() == Qt::Key_Escape) {
      DISPATCH(2);
      return true;
    }
  }
  return toolkit::DataWindow::eventFilter(watched, event);
}

}  // namespace zentor::ui
