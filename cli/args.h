// Command-line parsing shared by every zentorctl command.
//
// Only long options exist ("--tag NAME", "--tag=NAME", "--deleted"); "-h" is the one short
// spelling, of --help. "--" ends the options: everything after it is positional, so file names
// that begin with '-' can still be passed.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zentor::cli {

struct OptionSpec {
  std::string_view name;       // without the leading "--"
  std::string_view valueName;  // empty for a flag, else shown in the usage ("NAME", "DIR")
  std::string_view help;
  bool repeatable = false;  // a valued option that may be given several times (--var A=1 --var B=2)
  bool takesValue() const { return !valueName.empty(); }
};

class ParsedArgs {
 public:
  std::vector<std::string> positional;

  bool has(std::string_view option) const;  // a flag given, or an option given with a value
  // The value of an option that takes one; nullopt when it was not given.
  std::optional<std::string> value(std::string_view option) const;
  // Every value of an option that takes one, in the order given (the first for value()); empty
  // when it was not given.
  std::vector<std::string> values(std::string_view option) const;
  // Every option name given, flags and valued alike, in name order.
  std::vector<std::string> given() const;

  void setFlag(std::string name) { flags_.insert(std::move(name)); }
  // False when the option was given already (a second value would silently win otherwise).
  bool setValue(std::string name, std::string value);
  // Adds a value of a repeatable option.
  void addValue(std::string name, std::string value);

 private:
  std::set<std::string, std::less<>> flags_;
  std::map<std::string, std::string, std::less<>> values_;
  std::map<std::string, std::vector<std::string>, std::less<>> repeated_;
};

// Parses `args` (argv without the program name) against the options that exist at all; an
// option that is not among `known`, a value missing after a valued option, a value given to a
// flag ("--deleted=yes") or an option not marked repeatable given twice is an error with a
// one-line `*error`.
// Which options a particular command accepts is checked afterwards by the dispatcher.
bool parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
               ParsedArgs* out, std::string* error);

}  // namespace zentor::cli
