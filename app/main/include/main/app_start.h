// `APP:START`, the program's start-up sequence, and the company switch it hands to the shell.
//
// The sequence, in order: run-time settings; SETGLOBALSAPP; the program directory; the
// single-instance check (CHKWINLIST, before any company is chosen); the company registry;
// GETFIRMA with the dialog DLGFIRMAUSWAHL; CHKPROJECTDIR; SETGLOBALSFNR; CHKUPGRADE; the company
// values; the shell STANDARDSHELLWINDOW and its event loop; then the colours are released, every
// table is closed and CHKAPOREINDEX runs.
//
// Every piece that talks to the user or the desktop can be replaced (StartPieces), so that tests
// run the whole sequence without a real event loop.
#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "appcore/globals.h"
#include "appcore/messages.h"
#include "appcore/registry.h"
#include "shell/standard_shell_window.h"

class QWidget;

namespace zentor::start {

class InstanceLock;

// Process exit codes of the program.
inline constexpr int kExitOk = 0;        // normal end, also after a cancelled company selection
inline constexpr int kExitRefused = 1;   // the program did not start (its message has been shown)
inline constexpr int kExitUsage = 2;     // bad command line

// What the command line asks for. The program itself takes no options; `--home DIR` is a
// developer option that names the program directory (so a build tree can run on a demo
// installation) and is never needed in an installation.
struct CommandLine {
  std::optional<std::string> home;
  bool help = false;
  std::string error;  // set when the command line is wrong
};
// `args` without the program name (and without the options Qt has already taken).
CommandLine parseCommandLine(const std::vector<std::string>& args);
// The usage text for --help and for a wrong command line.
std::string usageText();

// Step 1: number and date conventions of the C library and of Qt independent of the machine's
// regional settings. Qt sets the C locale from the environment when the application object is
// made; the table engine reads and writes numbers through the C library and needs "." there.
// Qt's default locale becomes German, so that the few texts Qt formats itself (print preview)
// read like ours. REQUIRES: after the QApplication has been created.
void applyRuntimeSettings();

struct StartPieces {
  app::MessageService* messages = nullptr;  // REQUIRED; not owned; outlives the APP object
  // The program directory; empty: detectProgramDirectory().
  std::string programDir;
  // Where the single-instance lock lives and which desktop it stands for; empty: the user's
  // runtime directory and this process's desktop.
  std::string lockDirectory;
  std::string desktop;
  // The company selection over `owner` (null at start, the shell at a switch); returns the
  // chosen line's index or nothing for cancel. Empty: DLGFIRMAUSWAHL.
  std::function<std::optional<size_t>(QWidget* owner, const std::vector<std::string>& lines)> chooseCompany;
  // Runs while the shown shell is open and returns when it has closed. Empty: the application's
  // event loop (QApplication::exec).
  std::function<void(ui::STANDARDSHELLWINDOW& shell)> runShell;
  // Marker file that makes program end skip its question (handed to the shell).
  std::filesystem::path markerIcon = ui::kDefaultMarkerIcon;
};

class APP {
 public:
  explicit APP(StartPieces pieces);
  ~APP();
  APP(const APP&) = delete;
  APP& operator=(const APP&) = delete;

  // Runs the start-up sequence and, when it gets that far, the shell until it closes. Returns
  // the exit code. May be called once per object. The instance lock is held from the check to
  // the return.
  int START();

  // The company switch of the shell, run with the shell as `owner` after its data windows have
  // closed: GETFIRMA, SETGLOBALSFNR, CHKUPGRADE, the company values. Returns the new company's
  // name, or nothing when the selection was cancelled or the company cannot be worked with
  // (its message has then been shown); the shell then closes.
  std::optional<QString> switchCompany(QWidget* owner);

  // The program-wide values; null before START has made them.
  app::Globals* globals() { return globals_.get(); }
  // The shell while it is open, else null.
  ui::STANDARDSHELLWINDOW* shell() { return shell_; }

 private:
  enum class Opened { kOk, kCancelled, kRefused };
  // GETFIRMA over `owner` and the preparation of the chosen company; at start also
  // CHKPROJECTDIR. A refusal has shown its message, a cancel shows nothing.
  Opened openCompany(QWidget* owner, bool atStart);
  std::optional<size_t> choose(QWidget* owner, const std::vector<std::string>& lines);
  void runShell();
  void tidyUp();

  StartPieces pieces_;
  std::unique_ptr<app::Globals> globals_;
  std::unique_ptr<InstanceLock> lock_;
  std::optional<app::CompanyRegistry> registry_;
  ui::STANDARDSHELLWINDOW* shell_ = nullptr;
  bool started_ = false;
};

}  // namespace zentor::start
