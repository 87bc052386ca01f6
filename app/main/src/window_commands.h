// The menu commands of the shell that open the windows of the other subsystems.
#pragma once

#include "appcore/globals.h"
#include "appcore/messages.h"
#include "shell/standard_shell_window.h"

namespace zentor::start {

// (Re)registers every window command on `shell` for the current company of `g`. Called when the
// shell has been made and after every company switch: the handlers hold views of the company
// (its directories and settings object) that a switch replaces.
void registerWindowCommands(ui::STANDARDSHELLWINDOW& shell, app::Globals& g, app::MessageService& messages);

}  // namespace zentor::start
