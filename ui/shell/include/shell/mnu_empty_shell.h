// The main menu of the empty shell, its accelerator table and the shell toolbar, as data.
// The shell builds its QMenuBar and QToolBar from these; every item keeps its resource id and
// its command name, so later windows find and register commands by them.
#pragma once

#include <QKeySequence>
#include <QStyle>
#include <vector>

namespace zentor::ui {

// Command ids the shell itself acts on.
inline constexpr int kCmdProgrammende = 3896;
inline constexpr int kCmdFirmenwechsel = 3928;
inline constexpr int kCmdKundenImport = 3935;
inline constexpr int kCmdDatenReset = 3936;
inline constexpr int kCmdDokuAnzeigen = 3938;
inline constexpr int kCmdUeber = 3940;

struct MenuEntry {
  enum class Kind { kPopup, kCommand, kSeparator };
  Kind kind = Kind::kCommand;
  int id = 0;                   // 0 for separators
  const char* text = "";        // UTF-8, "&" before the access key
  const char* command = "";     // commands only: the name the shell dispatches on
  const char* statusText = "";  // shown in the status bar while highlighted
  const char* helpContext = "";
  std::vector<MenuEntry> children;  // popups only
};

// `MNUEMPTYSHELL`: the popups of the menu bar, left to right.
const std::vector<MenuEntry>& MNUEMPTYSHELL();

struct Accelerator {
  QKeySequence keys;
  int id;
};

// `MNUEMPTYSHELL_ACCELERATOR`: the only keys of the empty shell.
const std::vector<Accelerator>& MNUEMPTYSHELL_ACCELERATOR();

struct ToolButton {
  int id;
  const char* toolTip;  // UTF-8
  QStyle::StandardPixmap image;
};

// The shell toolbar, left to right, as groups; each group is preceded by two separators.
const std::vector<std::vector<ToolButton>>& shellToolBarGroups();

}  // namespace zentor::ui
