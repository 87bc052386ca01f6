// Preparing the current company for work: its settings file and tables (SETGLOBALSFNR), the
// conversion of data written by older program versions (CHKUPGRADE), the compaction of the
// positions table at program end (CHKAPOREINDEX), and the views of the company that the data
// layer and the order logic take.
#pragma once

#include <functional>
#include <string>

#include "appcore/globals.h"
#include "appcore/messages.h"
#include "data/env.h"
#include "logic/context.h"

namespace zentor::app {

inline constexpr const char* kProgramVersion = "1.50";
inline constexpr const char* kDataVersion = "1.5";

// The data layer's view of the current company.
data::Env companyEnv(Globals& g);
// The order logic's view; `pendingEvents` runs during lock waits (the windows pass their event
// pump, the command-line tool nothing).
logic::Context logicContext(Globals& g, std::function<void()> pendingEvents = {});

// goIni on the data directory's FDT.INI (created with [ZENTOR] Version=1.5 when missing), the
// customer directory, and the nine tables with their index files when AKO.CDX or APO.CDX is
// missing.
void SETGLOBALSFNR(Globals& g);

// Brings the company's tables from the data version in FDT.INI to the current layouts, after the
// user agreed. True when the data are current or were converted; false when the user refused or a
// step failed (the version then stays, so the next start asks again).
bool CHKUPGRADE(Globals& g, MessageService& messages);
bool CHKUPGRADE11(Globals& g);
bool CHKUPGRADE12(Globals& g);
bool CHKUPGRADE13(Globals& g);
bool CHKUPGRADE14(Globals& g);
bool CHKUPGRADE15(Globals& g);

// At program end in an installation below a "PROGRAMME" or "WINAPPS" directory: compacts APO and
// rebuilds its index when it holds 20 or more deleted positions and nobody else has it open.
void CHKAPOREINDEX(Globals& g);

// The text FDT.INI's version is compared as: its leading number, 0 for a blank.
double versionNumber(const std::string& v);

}  // namespace zentor::app
