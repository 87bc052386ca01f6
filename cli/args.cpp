#include "args.h"

namespace zentor::cli {

bool ParsedArgs::has(std::string_view option) const {
  return flags_.find(option) != flags_.end() || values_.find(option) != values_.end();
}

std::optional<std::string> ParsedArgs::value(std::string_view option) const {
  auto it = values_.find(option);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> ParsedArgs::given() const {
  std::set<std::string> all(flags_.begin(), flags_.end());
  for (const auto& [name, v] : values_) all.insert(name);
  return {all.begin(), all.end()};
}

std::vector<std::string> ParsedArgs::values(std::string_view option) const {
  if (auto it = repeated_.find(option); it != repeated_.end()) return it->second;
  if (auto it = values_.find(option); it != values_.end()) return {it->second};
  return {};
}

bool ParsedArgs::setValue(std::string name, std::string value) {
  return values_.emplace(std::move(name), std::move(value)).second;
}

void ParsedArgs::addValue(std::string name, std::string value) {
  values_.emplace(name, value);
  repeated_[std::move(name)].push_back(std::move(value));
}

namespace {

const OptionSpec* findSpec(const std::vector<OptionSpec>& known, std::string_view name) {
  for (const auto& option : known) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

bool parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
               ParsedArgs* out, std::string* error) {
  *out = ParsedArgs();
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out->positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "-h") {
      out->setFlag("help");
      continue;
    }
    if (a[1] != '-') {
      *error = "unknown option " + a;
      return false;
    }
    std::string name = a.substr(2);
    std::optional<std::string> inlineValue;
    if (auto eq = name.find('='); eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name.resize(eq);
    }
    const OptionSpec* option = findSpec(known, name);
    if (option == nullptr) {
      *error = "unknown option --" + name;
      return false;
    }
    if (!option->takesValue()) {
      if (inlineValue) {
        *error = "option --" + name + " takes no value";
        return false;
      }
      out->setFlag(name);
      continue;
    }
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      *error = "option --" + name + " needs a value (" + std::string(option->valueName) + ")";
      return false;
    }
    if (option->repeatable) {
      out->addValue(name, value);
    } else if (!out->setValue(name, value)) {
      *error = "option --" + name + " given twice";
      return false;
    }
  }
  return true;
}

}  // namespace zentor::cli
