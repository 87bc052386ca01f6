#include "company_ctx.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include <unistd.h>

#include "appcore/console_messages.h"
#include "os/inifile.h"

namespace zentor::cli {
namespace {

namespace fs = std::filesystem;

// The console service, remembering whether the last question was answered Yes, so a refused
// conversion can be told from a failed one.
class AnsweringMessages : public app::MessageService {
 public:
  AnsweringMessages(std::ostream& err, bool answerYes)
      : console_(err, std::cin, ::isatty(STDIN_FILENO) == 1) {
    if (answerYes) console_.setPresetAnswer(true);
  }
  void show(const app::Message& m) override { console_.show(m); }
  bool ask(const app::Message& m) override {
    asked_ = true;
    lastAnswer_ = console_.ask(m);
    return lastAnswer_;
  }
  bool refused() const { return asked_ && !lastAnswer_; }

 private:
  app::ConsoleMessageService console_;
  bool asked_ = false;
  bool lastAnswer_ = false;
};

std::string companyList(const app::CompanyRegistry& registry) {
  std::string list;
  for (const auto& line : registry.displayLines()) list += (list.empty() ? "" : ", ") + line;
  return list;
}

}  // namespace

OptionSpec yesOption() {
  return {"yes", "", "answer Yes when the company's data must be converted to the current version"};
}

CompanySession::CompanySession(std::unique_ptr<app::Globals> globals, app::CompanyEntry entry)
    : globals_(std::move(globals)), entry_(std::move(entry)), context_(app::logicContext(*globals_)) {}

std::optional<std::string> homeDirectory(const Invocation& inv, std::string_view what) {
  const auto dir = inv.args.value("home");
  if (!dir || dir->empty()) {
    inv.fail(std::string(what) + " needs --home DIR (the program directory)");
    return std::nullopt;
  }
  std::error_code ec;
  fs::path abs = fs::absolute(*dir, ec);
  if (ec) abs = *dir;
  std::string s = abs.lexically_normal().string();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::optional<int> companyOption(const Invocation& inv, bool* given, int* status) {
  const auto v = inv.args.value("company");
  *given = v.has_value();
  if (!v) return std::nullopt;
  int n = 0;
  bool ok = !v->empty() && v->size() <= 2;
  for (char c : *v) {
    if (c < '0' || c > '9') ok = false;
    n = n * 10 + (c - '0');
  }
  if (!ok || n < 1) {
    *status = inv.fail(app::registryErrorText(app::RegistryError{app::RegistryError::Kind::kOutOfRange}));
    return std::nullopt;
  }
  return n;
}

int openCompany(const Invocation& inv, const app::CompanyRegistry& registry, const CompanyRequest& request,
                std::unique_ptr<CompanySession>* out) {
  const bool multi = registry.mode() == app::RegistryMode::kMulti;
  const app::CompanyEntry* wanted = nullptr;
  if (!multi) {
    wanted = &registry.entries().front();
    if (request.company && *request.company != wanted->nFirma) {
      return inv.fail("FIRMEN.TXT is a single-company registry for " + wanted->displayText() +
                      "; leave out --company or give " + std::to_string(wanted->nFirma));
    }
  } else {
    // The program shows the selection even for a single entry; the tool asks for the choice.
    if (!request.company) {
      return inv.fail("FIRMEN.TXT serves several companies; choose one with --company N (" + companyList(registry) +
                      ")");
    }
    wanted = registry.find(*request.company);
    if (wanted == nullptr) {
      return inv.fail(app::registryErrorText(
          app::RegistryError{app::RegistryError::Kind::kNotFound, *request.company}));
    }
  }

  auto g = std::make_unique<app::Globals>();
  g->setProgramDirectory(request.home);
  const int number = wanted->nFirma;
  const auto entry = app::GETFIRMA(*g, registry, [&](const std::vector<std::string>&) -> std::optional<size_t> {
    for (size_t i = 0; i < registry.entries().size(); ++i)
      if (registry.entries()[i].nFirma == number) return i;
    return std::nullopt;
  });
  if (!entry) return inv.fail("company " + wanted->displayText() + " could not be chosen");
  const std::string who = "company " + entry->displayText();

  std::error_code ec;
  if (!fs::is_directory(g->dataDirectory(), ec)) {
    if (!request.createDataDirectory) {
      return inv.fail(who + ": its data directory " + g->dataDirectory() +
                      " does not exist (zentorctl init prepares it)");
    }
    fs::create_directories(g->dataDirectory(), ec);
    if (ec) return inv.fail(who + ": cannot create " + g->dataDirectory() + ": " + ec.message());
  }

  AnsweringMessages messages(inv.err, request.answerYes);
  if (!app::CHKPROJECTDIR(*g, messages)) {
    return inv.fail(who + " not opened: the program directory " + g->programDirectory() +
                    " holds company data files, which belong in the FIRMAnn directories");
  }
  app::SETGLOBALSFNR(*g);
  if (!g->goIni || !g->goIni->EXISTS()) {
    return inv.fail(who + ": cannot write the settings file " + g->dataDirectory() + "FDT.INI");
  }
  if (!app::CHKUPGRADE(*g, messages)) {
    if (messages.refused()) {
      return inv.fail(who + " not opened: its data must be converted to version " + app::kDataVersion +
                      " first (answer Yes, or give --yes)");
    }
    return inv.fail(who + " not opened: the data conversion failed");
  }
  g->gnMandant = static_cast<int16_t>(entry->nMandant);
  g->gnFirma = static_cast<int16_t>(entry->nFirma);
  g->gcFirma = entry->cFirma;
  app::SETGLOBALSAPP(*g);
  *out = std::make_unique<CompanySession>(std::move(g), *entry);
  return kExitOk;
}

int openCompany(const Invocation& inv, std::string_view command, std::unique_ptr<CompanySession>* out) {
  const auto home = homeDirectory(inv, command);
  if (!home) return kExitFailure;
  int status = kExitOk;
  bool given = false;
  const auto company = companyOption(inv, &given, &status);
  if (given && !company) return status;
  auto loaded = app::CompanyRegistry::load(*home);
  if (!loaded.ok()) return inv.fail(app::registryErrorText(loaded.error));
  CompanyRequest request;
  request.home = *home;
  request.company = company;
  request.answerYes = inv.args.has("yes");
  return openCompany(inv, *loaded.registry, request, out);
}

std::optional<uint32_t> parseOrderNumber(const std::string& s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  if (v == 0) return std::nullopt;
  return v;
}

}  // namespace zentor::cli
