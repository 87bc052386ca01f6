// zentorctl company list|add|rename: the company registry FIRMEN.TXT of an installation, for
// administrators who set up companies without the program (docs/company-registry.md).
//
// The registry's own checks decide what is allowed; their German messages are passed through
// unchanged so that the tool and the program say the same thing about the same file.

#include <filesystem>
#include <string>
#include <system_error>

#include "appcore/format.h"
#include "appcore/registry.h"
#include "command.h"

namespace zentor::cli {
namespace {

using app::CompanyRegistry;
using app::RegistryError;

bool homeDirectory(const Invocation& inv, std::string* home) {
  const auto dir = inv.args.value("home");
  if (!dir || dir->empty()) return false;
  *home = *dir;
  return true;
}

// 1-2 digits, as the registry file writes them; anything else is left to the registry's range
// message.
std::optional<int> parseSmall(const std::string& s, size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

int failRegistry(const Invocation& inv, const RegistryError& e) { return inv.fail(app::registryErrorText(e)); }

int runList(const Invocation& inv) {
  std::string home;
  if (!homeDirectory(inv, &home)) return inv.fail("company list needs --home DIR (the program directory)");
  auto loaded = CompanyRegistry::load(home);
  if (!loaded.ok()) return failRegistry(inv, loaded.error);
  for (const auto& line : loaded.registry->displayLines()) inv.out << line << '\n';
  return kExitOk;
}

int runAdd(const Invocation& inv) {
  std::string home;
  if (!homeDirectory(inv, &home)) return inv.fail("company add needs --home DIR (the program directory)");
  const auto number = parseSmall(inv.args.positional[0], 2);
  if (!number) return failRegistry(inv, RegistryError{RegistryError::Kind::kOutOfRange});
  int mandant = 1;
  if (const auto m = inv.args.value("mandant")) {
    const auto parsed = parseSmall(*m, 5);
    if (!parsed) return failRegistry(inv, RegistryError{RegistryError::Kind::kBadMandant});
    mandant = *parsed;
  }
  const bool multi = inv.args.has("multi");

  auto loaded = CompanyRegistry::load(home);
  std::optional<CompanyRegistry> registry;
  if (loaded.ok()) {
    registry = std::move(loaded.registry);
    if (multi && registry->mode() != app::RegistryMode::kMulti) {
      return inv.fail("FIRMEN.TXT is a single-company registry; --multi only applies when it is created");
    }
  } else if (loaded.error.kind == RegistryError::Kind::kMissing) {
    registry.emplace(multi ? app::RegistryMode::kMulti : app::RegistryMode::kSingle);
  } else {
    return failRegistry(inv, loaded.error);
  }

  if (auto refused = registry->add({*number, mandant, inv.args.positional[1]})) return failRegistry(inv, *refused);
  if (registry->mode() == app::RegistryMode::kMulti) {
    // The program prepares the tables and FDT.INI of a new company, but the directory must exist.
    const std::string dir = app::companyDataDirectory(home, *number);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return inv.fail("cannot create " + dir + ": " + ec.message());
  }
  if (auto failed = registry->save(home)) return failRegistry(inv, *failed);
  inv.out << registry->find(*number)->displayText() << '\n';
  return kExitOk;
}

int runRename(const Invocation& inv) {
  std::string home;
  if (!homeDirectory(inv, &home)) return inv.fail("company rename needs --home DIR (the program directory)");
  const auto number = parseSmall(inv.args.positional[0], 2);
  auto loaded = CompanyRegistry::load(home);
  if (!loaded.ok()) return failRegistry(inv, loaded.error);
  if (!number) return failRegistry(inv, RegistryError{RegistryError::Kind::kOutOfRange});
  if (auto refused = loaded.registry->rename(*number, inv.args.positional[1])) return failRegistry(inv, *refused);
  if (auto failed = loaded.registry->save(home)) return failRegistry(inv, *failed);
  inv.out << loaded.registry->find(*number)->displayText() << '\n';
  return kExitOk;
}

}  // namespace

std::vector<Command> companyCommands() {
  return {
      {"company list", "", "the companies of the registry FIRMEN.TXT, as the selection shows them", 0, 0, {}, runList},
      {"company add",
       "N NAME",
       "adds company N (1-99); creates FIRMEN.TXT (single-company unless --multi) and FIRMAnn",
       2,
       2,
       {{"mandant", "M", "client number of the company (default 1)"},
        {"multi", "", "create the registry in multi-company mode (data in FIRMAnn)"}},
       runAdd},
      {"company rename", "N NAME", "gives company N a new name", 2, 2, {}, runRename},
  };
}

}  // namespace zentor::cli
