#include "command.h"

#include <algorithm>
#include <sstream>

namespace zentor::cli {

#ifndef ZENTOR_VERSION
#define ZENTOR_VERSION "unknown"
#endif

int Invocation::fail(std::string_view message) const {
  err << "zentorctl: " << message << '\n';
  return kExitFailure;
}

const std::vector<OptionSpec>& globalOptions() {
  static const std::vector<OptionSpec> options = {
      {"home", "DIR", "installation directory (program directory with the company registry)"},
      {"company", "N", "company number"},
      {"help", "", "this text; after a command, the command's usage"},
      {"version", "", "program version"},
  };
  return options;
}

std::vector<Command> allCommands() {
  std::vector<Command> all;
  for (auto group : {dbfCommands, companyCommands, initCommands, demoCommands, krsCommands, orderCommands, reportCommands, printCommands}) {
    auto cmds = group();
    all.insert(all.end(), std::make_move_iterator(cmds.begin()), std::make_move_iterator(cmds.end()));
  }
  return all;
}

namespace {

std::vector<std::string_view> splitWords(std::string_view s) {
  std::vector<std::string_view> words;
  while (!s.empty()) {
    size_t sp = s.find(' ');
    words.push_back(s.substr(0, sp));
    if (sp == std::string_view::npos) break;
    s.remove_prefix(sp + 1);
  }
  return words;
}

// "dbf dump FILE [--tag NAME] [--deleted]"
std::string synopsis(const Command& c) {
  std::string line(c.words);
  if (!c.arguments.empty()) line += " " + std::string(c.arguments);
  for (const auto& o : c.options) {
    line += " [--" + std::string(o.name);
    if (o.takesValue()) line += " " + std::string(o.valueName);
    line += o.repeatable ? "]..." : "]";
  }
  return line;
}

void printOptions(std::ostream& os, const std::vector<OptionSpec>& options) {
  for (const auto& o : options) {
    std::string left = "--" + std::string(o.name);
    if (o.takesValue()) left += " " + std::string(o.valueName);
    os << "  " << left;
    for (size_t i = left.size(); i < 16; ++i) os << ' ';
    os << "  " << o.help << '\n';
  }
}

void printHelp(std::ostream& os, const std::vector<Command>& cmds) {
  os << "Usage: zentorctl [--home DIR] [--company N] COMMAND [ARGUMENTS] [OPTIONS]\n\n"
        "Developer and administration tool of zentor.\n\nCommands:\n";
  for (const auto& c : cmds) {
    std::string left = synopsis(c);
    os << "  " << left;
    if (left.size() > 30) {
      os << "\n  " << std::string(30, ' ');
    } else {
      os << std::string(30 - left.size(), ' ');
    }
    os << "  " << c.summary << '\n';
  }
  os << "\nGlobal options:\n";
  printOptions(os, globalOptions());
  os << "\nExit status: 0 done, 1 problems found, 2 bad arguments or a file that cannot be read.\n";
}

void printCommandHelp(std::ostream& os, const Command& c) {
  os << "Usage: zentorctl " << synopsis(c) << "\n\n" << c.summary << '\n';
  if (!c.options.empty()) {
    os << "\nOptions:\n";
    printOptions(os, c.options);
  }
}

// The command whose words begin the positional arguments; the longest wins, so "dbf" as a group
// never shadows "dbf info".
const Command* match(const std::vector<Command>& cmds, const std::vector<std::string>& positional,
                     size_t* wordCount) {
  const Command* best = nullptr;
  *wordCount = 0;
  for (const auto& c : cmds) {
    auto words = splitWords(c.words);
    if (words.size() > positional.size() || words.size() <= *wordCount) continue;
    if (std::equal(words.begin(), words.end(), positional.begin())) {
      best = &c;
      *wordCount = words.size();
    }
  }
  return best;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::vector<Command> cmds = allCommands();
  const ParsedArgs none;
  const Invocation failer{none, out, err};

  std::vector<OptionSpec> known = globalOptions();
  for (const auto& c : cmds) {
    for (const auto& o : c.options) {
      if (std::none_of(known.begin(), known.end(), [&](const OptionSpec& k) { return k.name == o.name; })) {
        known.push_back(o);
      }
    }
  }

  ParsedArgs parsed;
  std::string error;
  if (!parseArgs(args, known, &parsed, &error)) {
    return failer.fail(error + " (see zentorctl --help)");
  }
  if (parsed.has("version")) {
    out << "zentorctl " << ZENTOR_VERSION << '\n';
    return kExitOk;
  }

  size_t wordCount = 0;
  const Command* cmd = match(cmds, parsed.positional, &wordCount);
  if (cmd == nullptr) {
    if (parsed.has("help") || parsed.positional.empty()) {
      printHelp(parsed.has("help") ? out : err, cmds);
      return parsed.has("help") ? kExitOk : kExitFailure;
    }
    std::string given;
    for (const auto& p : parsed.positional) given += (given.empty() ? "" : " ") + p;
    // Name the commands of the group when the first word is one, since that is the likely slip.
    std::string group = parsed.positional.front();
    std::string sameGroup;
    for (const auto& c : cmds) {
      auto words = splitWords(c.words);
      if (words.size() > 1 && words.front() == group) {
        sameGroup += (sameGroup.empty() ? "" : ", ") + std::string(words[1]);
      }
    }
    if (!sameGroup.empty()) {
      return failer.fail("unknown command '" + given + "'; " + group + " has: " + sameGroup);
    }
    return failer.fail("unknown command '" + given + "' (see zentorctl --help)");
  }
  if (parsed.has("help")) {
    printCommandHelp(out, *cmd);
    return kExitOk;
  }

  for (const auto& name : parsed.given()) {
    bool global = std::any_of(globalOptions().begin(), globalOptions().end(),
                              [&](const OptionSpec& o) { return o.name == name; });
    bool own = std::any_of(cmd->options.begin(), cmd->options.end(),
                           [&](const OptionSpec& o) { return o.name == name; });
    if (!global && !own) {
      return failer.fail("option --" + name + " does not apply to '" + std::string(cmd->words) + "'");
    }
  }

  parsed.positional.erase(parsed.positional.begin(), parsed.positional.begin() + static_cast<long>(wordCount));
  const int n = static_cast<int>(parsed.positional.size());
  if (n < cmd->minArgs || (cmd->maxArgs >= 0 && n > cmd->maxArgs)) {
    return failer.fail(std::string(n < cmd->minArgs ? "missing argument" : "too many arguments") +
                       "; usage: zentorctl " + synopsis(*cmd));
  }
  Invocation inv{parsed, out, err};
  return cmd->run(inv);
}

}  // namespace zentor::cli
