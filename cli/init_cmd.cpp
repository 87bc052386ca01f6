// zentorctl init: prepares a company's data directory the way the program does when it opens a
// company (settings file, the nine tables with their index files), registering the company first
// when asked to with --name.

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "company_ctx.h"
#include "os/files.h"

namespace zentor::cli {
namespace {

namespace fs = std::filesystem;
using app::CompanyRegistry;
using app::RegistryError;

std::optional<int> parseMandant(const std::string& s) {
  if (s.empty() || s.size() > 5) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

std::set<std::string> filesIn(const std::string& dir) {
  std::set<std::string> names;
  for (auto& n : os::listDirectory(dir)) names.insert(std::move(n));
  return names;
}

int runInit(const Invocation& inv) {
  const auto home = homeDirectory(inv, "init");
  if (!home) return kExitFailure;
  int status = kExitOk;
  bool companyGiven = false;
  const auto company = companyOption(inv, &companyGiven, &status);
  if (companyGiven && !company) return status;
  const auto name = inv.args.value("name");
  std::optional<int> mandant;
  if (const auto m = inv.args.value("mandant")) {
    mandant = parseMandant(*m);
    if (!mandant) return inv.fail(app::registryErrorText(RegistryError{RegistryError::Kind::kBadMandant}));
  }

  std::error_code ec;
  if (!fs::is_directory(*home, ec)) return inv.fail("the program directory " + *home + " does not exist");

  auto loaded = CompanyRegistry::load(*home);
  std::optional<CompanyRegistry> registry;
  bool createdRegistry = false, registered = false;
  if (loaded.ok()) {
    registry = std::move(loaded.registry);
    const bool multi = registry->mode() == app::RegistryMode::kMulti;
    const app::CompanyEntry* existing =
        multi ? (company ? registry->find(*company) : nullptr) : &registry->entries().front();
    if (existing != nullptr) {
      // init prepares; renaming is "company rename", and a silent change would surprise.
      if (name && trimmed(*name) != existing->cFirma) {
        return inv.fail("company " + existing->displayText() + " is registered under that name already; " +
                        "zentorctl company rename changes it");
      }
      if (mandant && *mandant != existing->nMandant) {
        return inv.fail("company " + existing->displayText() + " has client number " +
                        std::to_string(existing->nMandant) + "; init does not change it");
      }
    } else if (multi && company) {
      if (!name) {
        return inv.fail(app::registryErrorText(RegistryError{RegistryError::Kind::kNotFound, *company}) +
                        " (--name NAME registers it)");
      }
      if (auto refused = registry->add({*company, mandant.value_or(1), *name})) {
        return inv.fail(app::registryErrorText(*refused));
      }
      registered = true;
    }
    // A single-company registry asked for another number, or a multi-company one without
    // --company: the opening below says what is wrong.
  } else if (loaded.error.kind == RegistryError::Kind::kMissing) {
    if (!name) return inv.fail(app::registryErrorText(loaded.error) + " (--name NAME creates it)");
    // Without a company number the installation is a single-company one, as "company add" makes it.
    registry.emplace(company ? app::RegistryMode::kMulti : app::RegistryMode::kSingle);
    if (auto refused = registry->add({company.value_or(1), mandant.value_or(1), *name})) {
      return inv.fail(app::registryErrorText(*refused));
    }
    createdRegistry = registered = true;
  } else {
    return inv.fail(app::registryErrorText(loaded.error));
  }

  const bool multi = registry->mode() == app::RegistryMode::kMulti;
  const std::string dataDirBefore = multi && company ? app::companyDataDirectory(*home, *company) : *home;
  const std::set<std::string> homeBefore = filesIn(*home);
  const std::set<std::string> dataBefore = filesIn(dataDirBefore);

  CompanyRequest request;
  request.home = *home;
  request.company = company;
  request.answerYes = inv.args.has("yes");
  request.createDataDirectory = true;
  std::unique_ptr<CompanySession> session;
  // The registry is written only once the company could be opened, so a refusal leaves no entry
  // behind that names an unprepared company.
  if (int s = openCompany(inv, *registry, request, &session); s != kExitOk) return s;
  if (registered) {
    if (auto failed = registry->save(*home)) return inv.fail(app::registryErrorText(*failed));
  }

  app::Globals& g = session->globals();
  if (createdRegistry) {
    inv.out << "created " << *home << app::kRegistryFileName
            << (multi ? " (multi-company registry)" : " (single-company registry)") << '\n';
  }
  if (registered) inv.out << "registered company " << session->entry().displayText() << '\n';
  auto reportNew = [&](const std::string& dir, const std::set<std::string>& before) {
    for (const auto& n : filesIn(dir)) {
      if (!before.count(n) && n != app::kRegistryFileName) inv.out << "created " << dir << n << '\n';
    }
  };
  reportNew(g.dataDirectory(), dataBefore);
  if (g.dataDirectory() != *home) reportNew(*home, homeBefore);
  inv.out << "company " << session->entry().displayText() << " ready: data in " << g.dataDirectory()
          << ", customers in " << g.gcKndPfad << '\n';
  return kExitOk;
}

}  // namespace

std::vector<Command> initCommands() {
  return {
      {"init",
       "",
       "prepares a company as the program does (FDT.INI, tables, index files); --name registers it",
       0,
       0,
       {{"name", "NAME", "registers the company under this name when FIRMEN.TXT lacks it (init)"},
        {"mandant", "M", "client number of the company (default 1)"},
        yesOption()},
       runInit},
  };
}

}  // namespace zentor::cli
