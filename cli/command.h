// The command table of zentorctl.
//
// A command is one or more words ("dbf info") followed by its positional arguments. Each
// command group lives in its own file (dbf_cmd.cpp, ...) and contributes a function returning
// its commands; allCommands() in command.cpp lists the groups, so adding a group is one new file
// and one line there.
//
// Exit statuses are the same for every command: 0 done, 1 done and found problems (a check),
// 2 could not do it (bad arguments, a file that cannot be read, an engine failure), with one line
// "zentorctl: ..." on the error stream.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "args.h"

namespace zentor::cli {

enum ExitStatus : int { kExitOk = 0, kExitProblems = 1, kExitFailure = 2 };

// What a command runs with. Output goes to `out`, diagnostics to `err`; the streams are the
// process's own in zentorctl and string streams in tests.
struct Invocation {
  const ParsedArgs& args;  // positional holds only the command's arguments, not its words
  std::ostream& out;
  std::ostream& err;

  // Writes "zentorctl: <message>" to err and returns kExitFailure.
  int fail(std::string_view message) const;
};

struct Command {
  std::string_view words;      // "dbf info"
  std::string_view arguments;  // usage of the positional arguments: "FILE", "DIR|FILE"
  std::string_view summary;    // one line for --help
  int minArgs = 0;
  int maxArgs = 0;                  // -1 = no limit
  std::vector<OptionSpec> options;  // besides the global ones
  int (*run)(const Invocation&) = nullptr;
};

// Options every command accepts.
const std::vector<OptionSpec>& globalOptions();

// The groups, in the order --help lists them.
std::vector<Command> dbfCommands();
std::vector<Command> companyCommands();
std::vector<Command> initCommands();
std::vector<Command> demoCommands();
std::vector<Command> krsCommands();
std::vector<Command> orderCommands();
std::vector<Command> reportCommands();  // these two render through Qt (ZENTOR_WITH_REPORTS) and
std::vector<Command> printCommands();   // only say so in a build without it

std::vector<Command> allCommands();

// Copies the report files (*.RPT) this zentorctl was built or installed with into `programDir`
// (ending with '/'): those beside the executable (installed), else those of its build tree
// (<build>/reports/). Gives the names copied; none found is no error. *error is set when a copy
// fails.
std::vector<std::string> installReportFiles(const std::string& programDir, std::string* error);

// Parses `args` (argv without the program name), finds the command and runs it.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zentor::cli
