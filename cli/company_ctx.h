// Opening one company of an installation for a zentorctl command, by the same steps and in the
// same order as the program's start-up: the registry of the program directory (--home), the
// company choice (--company stands in for the selection dialog), the program directory check,
// the preparation of the data directory, the data conversion (asked on the terminal; --yes answers
// Yes; without a terminal the answer is No) and the program-wide company values.
//
// Every failure is reported before the functions return: the program's own messages as the
// console message service writes them, then one line "zentorctl: ..." with the verdict.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/company.h"
#include "appcore/globals.h"
#include "appcore/registry.h"
#include "command.h"
#include "data/env.h"
#include "logic/context.h"

namespace zentor::cli {

// The option every company command offers for the conversion question.
OptionSpec yesOption();

// One opened company. Owns the program-wide values (and with them the table engine session), so
// every table object a command creates must be gone before this object is.
class CompanySession {
 public:
  CompanySession(std::unique_ptr<app::Globals> globals, app::CompanyEntry entry);
  CompanySession(const CompanySession&) = delete;
  CompanySession& operator=(const CompanySession&) = delete;

  app::Globals& globals() { return *globals_; }
  const app::CompanyEntry& entry() const { return entry_; }
  // The order logic's view of the company: no pending events (no windows), the system date.
  const logic::Context& context() const { return context_; }
  const data::Env& env() const { return context_.env; }

 private:
  std::unique_ptr<app::Globals> globals_;
  app::CompanyEntry entry_;
  logic::Context context_;
};

// The program directory --home names, absolute and ending with '/'. Without --home (or with an
// empty one) writes "zentorctl: <what> needs --home DIR ..." and gives nothing.
std::optional<std::string> homeDirectory(const Invocation& inv, std::string_view what);

// The value of --company as a company number: nullopt (and `*given` false) when it is left out;
// an unreadable value writes the registry's range message, sets `*status` to kExitFailure and
// gives nullopt with `*given` true.
std::optional<int> companyOption(const Invocation& inv, bool* given, int* status);

// What to open and how.
struct CompanyRequest {
  std::string home;                // program directory, as homeDirectory gives it
  std::optional<int> company;      // --company; required in a multi-company registry
  bool answerYes = false;          // --yes: the conversion question is answered Yes
  bool createDataDirectory = false;  // a missing FIRMAnn directory is created (init, demo)
};

// Opens the company of `request` in `registry`. On success *out holds the session and the result
// is kExitOk; otherwise the failure has been written to inv.err and the result is the exit status.
int openCompany(const Invocation& inv, const app::CompanyRegistry& registry, const CompanyRequest& request,
                std::unique_ptr<CompanySession>* out);

// Loads the registry of --home and opens the company of --company (with --yes), as every company
// command but init and demo does; `command` names the command in the message for a missing --home.
int openCompany(const Invocation& inv, std::string_view command, std::unique_ptr<CompanySession>* out);

// An order number as given on the command line: 1 to 8 digits, not 0.
std::optional<uint32_t> parseOrderNumber(const std::string& s);

}  // namespace zentor::cli
