// Test scaffolding for the shell: temporary program and data directories, a shell on a
// recording message service, dummy data windows that register like the real ones, and a
// printable listing of menus and toolbars.
#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "appcore/messages.h"
#include "shell/standard_shell_window.h"
#include "support/qt_app.h"

class QAction;
class QMdiSubWindow;
class QToolBar;

namespace zentor::testing {

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Creates an empty file and returns its path.
  std::filesystem::path touch(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

struct ShellRig {
  TempDir program;
  TempDir data;
  app::RecordingMessageService messages;
  ui::ShellSetup setup;  // filled by the constructor: both directories, messages, a company
  std::unique_ptr<ui::STANDARDSHELLWINDOW> shell;

  ShellRig();
  // Builds (again) from `setup` and shows the shell.
  ui::STANDARDSHELLWINDOW& open();
};

// A data window stand-in: unregisters when it closes, or refuses to close.
class DummyDataWindow : public QWidget {
 public:
  explicit DummyDataWindow(ui::STANDARDSHELLWINDOW* shell, bool refuseClose = false)
      : shell_(shell), refuseClose_(refuseClose) {}

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  ui::STANDARDSHELLWINDOW* shell_;
  bool refuseClose_;
};

// Opens `window` as an MDI child of the shell, shows it and registers it.
QMdiSubWindow* openRegistered(ui::STANDARDSHELLWINDOW& shell, QWidget* window);

// One line per action: "<id> <text> <command> [<keys>]", "<id> <text> >" for a popup followed
// by its items indented by two blanks, "----" for a separator.
std::vector<std::string> describeMenu(const QList<QAction*>& actions, int depth = 0);
// One line per toolbar entry: "<id> <tool tip>" or "----".
std::vector<std::string> describeToolBar(const QToolBar* bar);

}  // namespace zentor::testing
