#include "main/app_start.h"

#include <QApplication>
#include <QLocale>
#include <QScreen>
#include <clocale>
#include <system_error>

#include "app/company.h"
#include "main/instance_lock.h"
#include "shell/dlg_firmauswahl.h"
#include "window_commands.h"

namespace zentor::start {

namespace {

constexpr const char* kTitle = "Lumo-Zentor";

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      cl.help = true;
    } else if (a == "--home") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        cl.error = "--home braucht ein Verzeichnis";
        return cl;
      }
      cl.home = args[++i];
    } else if (a.rfind("--home=", 0) == 0 && a.size() > 7) {
      cl.home = a.substr(7);
    } else {
      cl.error = "unbekanntes Argument: " + a;
      return cl;
    }
  }
  return cl;
}

std::string usageText() {
  return "Aufruf: zentor [--home VERZEICHNIS]\n"
         "  --home VERZEICHNIS  Programmverzeichnis (mit FIRMEN.TXT) statt des Verzeichnisses\n"
         "                      des Programms; nur für Entwickler und Demo-Installationen\n";
}

void applyRuntimeSettings() {
  // Character classification stays with the environment (input of umlauts); everything that
  // formats, parses or compares follows the program's own rules.
  for (int category : {LC_NUMERIC, LC_TIME, LC_MONETARY, LC_COLLATE}) std::setlocale(category, "C");
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

APP::APP(StartPieces pieces) : pieces_(std::move(pieces)) { Q_ASSERT(pieces_.messages); }

APP::~APP() {
  delete shell_;
  shell_ = nullptr;
}

std::optional<size_t> APP::choose(QWidget* owner, const std::vector<std::string>& lines) {
  if (pieces_.chooseCompany) return pieces_.chooseCompany(owner, lines);
  return ui::DLGFIRMAUSWAHL::choose(owner, lines);
}

APP::Opened APP::openCompany(QWidget* owner, bool atStart) {
  app::MessageService& messages = *pieces_.messages;
  app::Globals& g = *globals_;
  const auto entry = app::GETFIRMA(g, *registry_, [&](const std::vector<std::string>& lines) {
    return choose(owner, lines);
  });
  if (!entry) return Opened::kCancelled;
  if (atStart && !app::CHKPROJECTDIR(g, messages)) return Opened::kRefused;

  // A company entered in FIRMEN.TXT by hand has no directory yet; it is prepared like a fresh one.
  std::error_code ec;
  if (!std::filesystem::is_directory(g.dataDirectory(), ec)) {
    std::filesystem::create_directory(g.dataDirectory(), ec);
    if (ec || !std::filesystem::is_directory(g.dataDirectory())) {
      messages.error("Das Datenverzeichnis " + g.dataDirectory() + " der Firma " + entry->displayText() +
                         " kann nicht angelegt werden" + (ec ? " (" + ec.message() + ")" : std::string()) + ".",
                     kTitle);
      return Opened::kRefused;
    }
  }
  app::SETGLOBALSFNR(g);
  // Without its settings file the company would run on defaults and lose every setting made.
  if (!g.goIni || !g.goIni->EXISTS()) {
    messages.error("Die Firmeneinstellungen " + (g.goIni ? g.goIni->FULLPATH() : g.dataDirectory() + "FDT.INI") +
                       " können nicht geschrieben werden.",
                   kTitle);
    return Opened::kRefused;
  }
  if (!app::CHKUPGRADE(g, messages)) return Opened::kRefused;
  g.gnMandant = static_cast<int16_t>(entry->nMandant);
  g.gnFirma = static_cast<int16_t>(entry->nFirma);
  g.gcFirma = entry->cFirma;
  return Opened::kOk;
}

int APP::START() {
  Q_ASSERT(!started_);
  started_ = true;
  app::MessageService& messages = *pieces_.messages;

  // 1. Run-time settings; the table engine's own ones come with the session of the globals.
  applyRuntimeSettings();
  globals_ = std::make_unique<app::Globals>();
  // 2.
  app::SETGLOBALSAPP(*globals_);
  // 3.
  if (pieces_.programDir.empty()) {
    globals_->setProgramDirectory(app::detectProgramDirectory());
  } else {
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(pieces_.programDir, ec);
    globals_->setProgramDirectory((ec ? std::filesystem::path(pieces_.programDir) : dir.lexically_normal()).string());
  }
  // 4. The lock is taken before the company selection and kept to the end, so a second start is
  // refused also while this one still waits in its selection.
  lock_ = std::make_unique<InstanceLock>(
      pieces_.lockDirectory.empty() ? defaultLockDirectory() : pieces_.lockDirectory,
      pieces_.desktop.empty() ? desktopKey() : pieces_.desktop);
  if (CHKWINLIST(*lock_, messages)) return kExitRefused;
  // However the start ends, the next one may go ahead once this one has returned.
  struct Release {
    InstanceLock& lock;
    ~Release() { lock.release(); }
  } release{*lock_};

  // 5. The program cannot start without a company.
  auto loaded = app::CompanyRegistry::load(globals_->programDirectory());
  if (!loaded.ok()) {
    messages.error(app::registryErrorText(loaded.error), kTitle);
    return kExitRefused;
  }
  registry_ = std::move(loaded.registry);
  // 5.-9.
  switch (openCompany(nullptr, true)) {
    case Opened::kOk: break;
    case Opened::kCancelled: return kExitOk;
    case Opened::kRefused: return kExitRefused;
  }

  // 10.
  runShell();
  // 11.
  tidyUp();
  return kExitOk;
}

void APP::runShell() {
  app::Globals& g = *globals_;
  ui::ShellSetup setup;
  setup.programDir = g.programDirectory();
  setup.dataDir = g.dataDirectory();
  setup.singleCompany = registry_->mode() == app::RegistryMode::kSingle;
  setup.markerIcon = pieces_.markerIcon;
  setup.companyName = QString::fromStdString(g.gcFirma);
  setup.dataVersion = [this] {
    return globals_->goIni ? QString::fromStdString(globals_->goIni->GETSTRING("ZENTOR", "Version")) : QString();
  };
  setup.messages = pieces_.messages;
  setup.switchCompany = [this](QWidget* owner) { return switchCompany(owner); };

  shell_ = new ui::STANDARDSHELLWINDOW(std::move(setup));
  registerWindowCommands(*shell_, g, *pieces_.messages);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    shell_->resize(area.size() * 4 / 5);
    shell_->move(area.center() - shell_->rect().center());
  }
  shell_->showNormal();
  if (pieces_.runShell) {
    pieces_.runShell(*shell_);
  } else {
    QApplication::exec();
  }
  shell_->close();
  delete shell_;
  shell_ = nullptr;
}

std::optional<QString> APP::switchCompany(QWidget* owner) {
  // An administrator may have changed the list while the program ran.
  auto loaded = app::CompanyRegistry::load(globals_->programDirectory());
  if (!loaded.ok()) {
    pieces_.messages->error(app::registryErrorText(loaded.error), kTitle);
    return std::nullopt;
  }
  registry_ = std::move(loaded.registry);
  if (openCompany(owner, false) != Opened::kOk) return std::nullopt;
  if (shell_) registerWindowCommands(*shell_, *globals_, *pieces_.messages);
  return QString::fromStdString(globals_->gcFirma);
}

void APP::tidyUp() {
  app::Globals& g = *globals_;
  g.gaFarben.clear();
  g.session().closeAll();
  app::CHKAPOREINDEX(g);
}

}  // namespace zentor::start
