// `STANDARDSHELLWINDOW`: the program's one main window, an MDI frame with the menu
// `MNUEMPTYSHELL`, the shell toolbar, a status bar with the time of day, the drawn background
// and the registry `_aChildWindows` of the open data windows.
//
// Choosing a menu item or toolbar button runs the handler registered under the item's command
// name (the QAction carries the properties "id" and "command"); items without a handler do
// nothing, so windows that do not exist yet simply register themselves later. The shell itself
// handles MNUSHELL_CLOSE, MNUSHELL_FIRMENWECHSEL, HELPCONTENTS and DLGABOUT.
//
// While the active MDI child implements MdiMenuProvider the frame shows that child's menus and
// toolbar in place of its own; the own ones come back when no such child is active.
#pragma once

#include <QColor>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "appcore/messages.h"
#include "shell/mdi_client.h"
#include "shell/mnu_empty_shell.h"

class QLabel;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;
class QUrl;

namespace zentor::ui {

// Marker file whose presence makes program end skip its question (the Linux counterpart of
// the Windows installation's marker icon).
inline constexpr const char* kDefaultMarkerIcon = "/opt/winapps/zentor/LUMO.ICO";

// The company switch after the registered windows have closed: company selection with `owner`
// as owner, preparation of the data directory, data conversion, program-wide values. Returns the
// new company's name, or nullopt when the selection was cancelled or the conversion failed.
using CompanySwitch = std::function<std::optional<QString>(QWidget* owner)>;
using UrlOpener = std::function<bool(const QUrl&)>;

struct ShellSetup {
  std::filesystem::path programDir;  // holds ZENTOR.CHM, help/ and the marker files
  std::filesystem::path dataDir;     // the current company's directory
  bool singleCompany = false;        // data in the program directory: no company switch
  std::filesystem::path markerIcon = kDefaultMarkerIcon;
  QString companyName;                  // for the caption
  std::function<QString()> dataVersion;  // [ZENTOR] Version of FDT.INI, read when needed
  app::MessageService* messages = nullptr;  // REQUIRED; not owned, must outlive the shell
  QColor background = kClassicDesktopColour;
  CompanySwitch switchCompany;  // none: the company switch does nothing
  UrlOpener openUrl;            // none: QDesktopServices::openUrl
};

class STANDARDSHELLWINDOW : public QMainWindow {
  Q_OBJECT
 public:
  explicit STANDARDSHELLWINDOW(ShellSetup setup, QWidget* parent = nullptr);
  ~STANDARDSHELLWINDOW() override;

  // Registry of the open data windows. ADDCHILDWINDOW appends (duplicates allowed) and disables
  // command 3928; DELETECHILDWINDOW removes the first entry of `window` if there is one and,
  // found or not, enables 3928 again, even while other windows stay registered.
  void ADDCHILDWINDOW(QWidget* window);
  void DELETECHILDWINDOW(QWidget* window);
  // Entries of windows destroyed without unregistering read as null.
  const QList<QPointer<QWidget>>& childWindows() const { return _aChildWindows; }

  // Program end: closes at once when the marker file exists, otherwise after a Yes to the
  // question "Soll das Programm wirklich beendet werden?".
  void MNUSHELL_CLOSE();
  // Closes every registered window, then runs the company switch; closes the shell when that
  // reports nothing, else shows the new company in the caption. Nothing happens when a
  // registered window refuses to close.
  void MNUSHELL_FIRMENWECHSEL();
  // "ZENTOR.CHM" of the program directory when it exists and opens; otherwise the HTML help
  // help/index.html of the program directory in a new help window.
  void HELPCONTENTS();

  // The About dialog, modal over `owner` (the shell when null); data windows open it over
  // themselves.
  void showAbout(QWidget* owner = nullptr);

  // Opens `window` as a new MDI child and shows it; the frame takes ownership.
  QMdiSubWindow* addMdiChild(QWidget* window);

  // Registers (or replaces) the handler of a command name.
  void setCommandHandler(const std::string& command, std::function<void()> handler);
  // Runs the handler of `command`; false when there is none.
  bool runCommand(const std::string& command);

  // The menu item or popup with this id; nullptr when it was removed at start or never existed.
  QAction* menuCommand(int id) const;
  // The popups of the main menu, left to right.
  const QList<QMenu*>& mainMenus() const { return mainMenus_; }
  QToolBar* shellToolBar() const { return shellToolBar_; }
  QToolBar* childToolBar() const { return childToolBar_; }
  MdiClient* mdiArea() const { return mdi_; }

  // Caption "Lumo-Zentor: " + name.
  void setCompanyName(const QString& name);

 protected:
  // The title-bar button closes without the question; open MDI children are closed first, and
  // the shell stays open when one of them refuses. Open help windows close with the shell.
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  QMenu* buildPopup(const MenuEntry& entry, QWidget* parent);
  void removeCommand(int id);
  void buildToolBar();
  bool markerExists(const char* name) const;
  void showMenusOf(QMdiSubWindow* sub);
  bool openUrl(const QUrl& url) const;

  ShellSetup setup_;
  MdiClient* mdi_ = nullptr;
  QLabel* clockLabel_ = nullptr;
  QTimer* clock_ = nullptr;
  QToolBar* shellToolBar_ = nullptr;
  QToolBar* childToolBar_ = nullptr;
  QList<QMenu*> mainMenus_;
  std::map<int, QAction*> commands_;
  std::map<std::string, std::function<void()>> handlers_;
  QPointer<QWidget> shownProvider_;  // the child whose menus the frame shows, or null
  bool mainMenuShown_ = true;
  QList<QPointer<QWidget>> _aChildWindows;
};

}  // namespace zentor::ui
