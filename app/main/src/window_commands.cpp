#include "window_commands.h"

#include "app/company.h"
#include "masterdata/code_tables.h"
#include "toolkit/event_pump.h"

namespace zentor::start {

void registerWindowCommands(ui::STANDARDSHELLWINDOW& shell, app::Globals& g, app::MessageService& messages) {
  const logic::Context ctx = app::logicContext(g, toolkit::qtEventPump());
  ui::registerCodeTableCommands(shell, ctx, messages);
}

}  // namespace zentor::start
