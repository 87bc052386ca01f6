#include "shell/standard_shell_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "shell/app_icon.h"
#include "shell/dlg_about.h"
#include "shell/help_window.h"
#include "shell/mdi_menu_provider.h"

namespace zentor::ui {

namespace {

const char* const kIdProperty = "id";
const char* const kCommandProperty = "command";
const char* const kHelpContextProperty = "helpContext";

QString captionFor(const QString& company) { return QStringLiteral("Lumo-Zentor: ") + company; }

QMdiSubWindow* enclosingSubWindow(QWidget* w) {
  for (QWidget* p = w; p; p = p->parentWidget()) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(p)) return sub;
  }
  return nullptr;
}

}  // namespace

STANDARDSHELLWINDOW::STANDARDSHELLWINDOW(ShellSetup setup, QWidget* parent)
    : QMainWindow(parent), setup_(std::move(setup)) {
  Q_ASSERT(setup_.messages);
  setObjectName(QStringLiteral("STANDARDSHELLWINDOW"));

  mdi_ = new MdiClient(setup_.background, this);
  setCentralWidget(mdi_);

  clockLabel_ = new QLabel(this);
  clockLabel_->setObjectName(QStringLiteral("STATUSTIME"));
  statusBar()->addPermanentWidget(clockLabel_);
  clock_ = new QTimer(this);
  clock_->setObjectName(QStringLiteral("STATUSCLOCK"));
  auto tick = [this] { clockLabel_->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))); };
  connect(clock_, &QTimer::timeout, this, tick);
  tick();
  clock_->start(1000);

  setCommandHandler("MNUSHELL_CLOSE", [this] { MNUSHELL_CLOSE(); });
  setCommandHandler("MNUSHELL_FIRMENWECHSEL", [this] { MNUSHELL_FIRMENWECHSEL(); });
  setCommandHandler("HELPCONTENTS", [this] { HELPCONTENTS(); });
  setCommandHandler("DLGABOUT", [this] { showAbout(); });

  buildMenu();
  setWindowIcon(APPICON());
  setCompanyName(setup_.companyName);

  if (setup_.singleCompany) removeCommand(kCmdFirmenwechsel);
  if (!markerExists("DOIMPORT")) removeCommand(kCmdKundenImport);
  if (!markerExists("DORESET")) removeCommand(kCmdDatenReset);
  buildToolBar();

  connect(mdi_, &QMdiArea::subWindowActivated, this, &STANDARDSHELLWINDOW::showMenusOf);
}

STANDARDSHELLWINDOW::~STANDARDSHELLWINDOW() {
  // The MDI area reports activations while its children are torn down, when this window is
  // already half destroyed.
  disconnect(mdi_, nullptr, this, nullptr);
}

void STANDARDSHELLWINDOW::buildMenu() {
  QMenuBar* bar = menuBar();
  for (const MenuEntry& entry : MNUEMPTYSHELL()) {
    QMenu* menu = buildPopup(entry, this);
    mainMenus_.append(menu);
    bar->addMenu(menu);
  }
  for (const Accelerator& acc : MNUEMPTYSHELL_ACCELERATOR()) {
    if (QAction* a = menuCommand(acc.id)) a->setShortcut(acc.keys);
  }
}

QMenu* STANDARDSHELLWINDOW::buildPopup(const MenuEntry& entry, QWidget* parent) {
  auto* menu = new QMenu(QString::fromUtf8(entry.text), parent);
  QAction* self = menu->menuAction();
  self->setProperty(kIdProperty, entry.id);
  self->setProperty(kHelpContextProperty, QString::fromUtf8(entry.helpContext));
  self->setStatusTip(QString::fromUtf8(entry.statusText));
  commands_[entry.id] = self;
  for (const MenuEntry& child : entry.children) {
    switch (child.kind) {
      case MenuEntry::Kind::kSeparator:
        menu->addSeparator();
        break;
      case MenuEntry::Kind::kPopup:
        menu->addMenu(buildPopup(child, menu));
        break;
      case MenuEntry::Kind::kCommand: {
        auto* action = new QAction(QString::fromUtf8(child.text), this);
        action->setProperty(kIdProperty, child.id);
        action->setProperty(kCommandProperty, QString::fromUtf8(child.command));
        action->setProperty(kHelpContextProperty, QString::fromUtf8(child.helpContext));
        action->setStatusTip(QString::fromUtf8(child.statusText));
        const std::string command = child.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        menu->addAction(action);
        commands_[child.id] = action;
        break;
      }
    }
  }
  return menu;
}

void STANDARDSHELLWINDOW::removeCommand(int id) {
  auto it = commands_.find(id);
  if (it == commands_.end()) return;
  delete it->second;  // leaves its menu (and any toolbar) by itself
  commands_.erase(it);
}

void STANDARDSHELLWINDOW::buildToolBar() {
  shellToolBar_ = addToolBar(QStringLiteral("Symbolleiste"));
  shellToolBar_->setObjectName(QStringLiteral("SHELLTOOLBAR"));
  shellToolBar_->setMovable(false);
  for (const auto& group : shellToolBarGroups()) {
    QList<QAction*> present;
    for (const ToolButton& button : group) {
      QAction* a = menuCommand(button.id);
      if (!a) continue;  // removed with its menu command
      a->setToolTip(QString::fromUtf8(button.toolTip));
      a->setIcon(style()->standardIcon(button.image));
      a->setIconVisibleInMenu(false);
      present.append(a);
    }
    if (present.isEmpty()) continue;  // no pair of separators around nothing
    shellToolBar_->addSeparator();
    shellToolBar_->addSeparator();
    shellToolBar_->addActions(present);
  }

  childToolBar_ = addToolBar(QStringLiteral("Fenster-Symbolleiste"));
  childToolBar_->setObjectName(QStringLiteral("CHILDTOOLBAR"));
  childToolBar_->setMovable(false);
  childToolBar_->hide();
}

bool STANDARDSHELLWINDOW::markerExists(const char* name) const {
  std::error_code ec;
  return std::filesystem::exists(setup_.programDir / name, ec) ||
         std::filesystem::exists(setup_.dataDir / name, ec);
}

QAction* STANDARDSHELLWINDOW::menuCommand(int id) const {
  auto it = commands_.find(id);
  return it == commands_.end() ? nullptr : it->second;
}

void STANDARDSHELLWINDOW::setCompanyName(const QString& name) { setWindowTitle(captionFor(name)); }

void STANDARDSHELLWINDOW::setCommandHandler(const std::string& command,
                                            std::function<void()> handler) {
  handlers_[command] = std::move(handler);
}

bool STANDARDSHELLWINDOW::runCommand(const std::string& command) {
  auto it = handlers_.find(command);
  if (it == handlers_.end() || !it->second) return false;
  // A copy: the handler may replace itself or close the shell.
  const std::function<void()> handler = it->second;
  handler();
  return true;
}

void STANDARDSHELLWINDOW::ADDCHILDWINDOW(QWidget* window) {
  _aChildWindows.append(QPointer<QWidget>(window));
  if (QAction* a = menuCommand(kCmdFirmenwechsel)) a->setEnabled(false);
}

void STANDARDSHELLWINDOW::DELETECHILDWINDOW(QWidget* window) {
  for (qsizetype i = 0; i < _aChildWindows.size(); ++i) {
    if (_aChildWindows[i] == window) {
      _aChildWindows.removeAt(i);
      break;
    }
  }
  if (QAction* a = menuCommand(kCmdFirmenwechsel)) a->setEnabled(true);
}

void STANDARDSHELLWINDOW::MNUSHELL_CLOSE() {
  std::error_code ec;
  if (!setup_.markerIcon.empty() && std::filesystem::exists(setup_.markerIcon, ec)) {
    close();
    return;
  }
  if (setup_.messages->question("Soll das Programm wirklich beendet werden?", "Programmende", this)) {
    close();
  }
}

void STANDARDSHELLWINDOW::MNUSHELL_FIRMENWECHSEL() {
  if (!setup_.switchCompany) return;
  const QList<QPointer<QWidget>> registered = _aChildWindows;
  for (const QPointer<QWidget>& w : registered) {
    if (!w) continue;
    QWidget* target = enclosingSubWindow(w);
    (target ? target : w.data())->close();
  }
  // Switching under a window that is still open would leave it on the old company's tables.
  // The frame around a child tells, since a minimised child hides its inner widget.
  for (const QPointer<QWidget>& w : _aChildWindows) {
    if (!w) continue;
    QWidget* frame = enclosingSubWindow(w);
    if ((frame ? frame : w.data())->isVisible()) return;
  }
  const std::optional<QString> company = setup_.switchCompany(this);
  if (!company) {
    close();
    return;
  }
  setCompanyName(*company);
}

bool STANDARDSHELLWINDOW::openUrl(const QUrl& url) const {
  return setup_.openUrl ? setup_.openUrl(url) : QDesktopServices::openUrl(url);
}

void STANDARDSHELLWINDOW::HELPCONTENTS() {
  std::error_code ec;
  const std::filesystem::path chm = setup_.programDir / "ZENTOR.CHM";
  if (std::filesystem::is_regular_file(chm, ec) &&
      openUrl(QUrl::fromLocalFile(QString::fromStdString(chm.string())))) {
    return;
  }
  auto* help = new HelpWindow(setup_.programDir / "help" / "index.html", this);
  help->show();
}

void STANDARDSHELLWINDOW::showAbout(QWidget* owner) {
  DLGABOUT dialog(owner ? owner : this, setup_.dataVersion ? setup_.dataVersion() : QString(),
                  [this](const QUrl& url) { return openUrl(url); });
  dialog.exec();
}

QMdiSubWindow* STANDARDSHELLWINDOW::addMdiChild(QWidget* window) {
  QMdiSubWindow* sub = mdi_->addSubWindow(window);
  sub->show();
  return sub;
}

void STANDARDSHELLWINDOW::showMenusOf(QMdiSubWindow* sub) {
  // Without an active child (also while the whole frame is inactive) the current one counts.
  if (!sub) sub = mdi_->currentSubWindow();
  QWidget* widget = sub ? sub->widget() : nullptr;
  auto* provider = dynamic_cast<MdiMenuProvider*>(widget);
  if (!provider) widget = nullptr;
  if (provider ? widget == shownProvider_.data() : mainMenuShown_) return;

  QMenuBar* bar = menuBar();
  for (QAction* a : bar->actions()) bar->removeAction(a);
  childToolBar_->clear();
  shownProvider_ = widget;
  mainMenuShown_ = provider == nullptr;
  if (provider) {
    for (QMenu* m : provider->mdiMenus()) bar->addMenu(m);
    const QList<QAction*> buttons = provider->mdiToolBarActions();
    for (QAction* a : buttons) {
      if (a) {
        childToolBar_->addAction(a);
      } else {
        childToolBar_->addSeparator();
      }
    }
    shellToolBar_->hide();
    childToolBar_->setVisible(!buttons.isEmpty());
  } else {
    for (QMenu* m : mainMenus_) bar->addMenu(m);
    childToolBar_->hide();
    shellToolBar_->show();
  }
}

void STANDARDSHELLWINDOW::closeEvent(QCloseEvent* event) {
  mdi_->closeAllSubWindows();
  for (QMdiSubWindow* sub : mdi_->subWindowList()) {
    if (sub->isVisible()) {
      event->ignore();
      return;
    }
  }
  for (HelpWindow* help : findChildren<HelpWindow*>()) help->close();
  event->accept();
}

}  // namespace zentor::ui
