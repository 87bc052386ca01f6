#include "support/shell_fixture.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "support/qt_app.h"

namespace zentor::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zentor-shell-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::touch(const std::string& name) const {
  const auto p = path_ / name;
  std::ofstream(p).put('\n');
  return p;
}

ShellRig::ShellRig() {
  ensureApplication();
  setup.programDir = program.path();
  setup.dataDir = data.path();
  setup.markerIcon = program.path() / "no-marker" / "LUMO.ICO";
  setup.companyName = QStringLiteral("Muster GmbH");
  setup.dataVersion = [] { return QStringLiteral("1.5"); };
  setup.messages = &messages;
  setup.openUrl = [](const QUrl&) { return false; };
}

ui::STANDARDSHELLWINDOW& ShellRig::open() {
  shell.reset();
  shell = std::make_unique<ui::STANDARDSHELLWINDOW>(setup);
  shell->resize(800, 600);
  shell->show();
  return *shell;
}

void DummyDataWindow::closeEvent(QCloseEvent* event) {
  if (refuseClose_) {
    event->ignore();
    return;
  }
  shell_->DELETECHILDWINDOW(this);
  event->accept();
}

QMdiSubWindow* openRegistered(ui::STANDARDSHELLWINDOW& shell, QWidget* window) {
  QMdiSubWindow* sub = shell.addMdiChild(window);
  shell.ADDCHILDWINDOW(window);
  return sub;
}

std::vector<std::string> describeMenu(const QList<QAction*>& actions, int depth) {
  std::vector<std::string> lines;
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  for (QAction* a : actions) {
    if (a->isSeparator()) {
      lines.push_back(indent + "----");
      continue;
    }
    std::string line = indent + std::to_string(a->property("id").toInt()) + " " + a->text().toStdString();
    if (QMenu* sub = a->menu()) {
      lines.push_back(line + " >");
      for (auto& l : describeMenu(sub->actions(), depth + 1)) lines.push_back(std::move(l));
      continue;
    }
    line += " " + a->property("command").toString().toStdString();
    if (!a->shortcut().isEmpty()) {
      line += " [" + a->shortcut().toString(QKeySequence::PortableText).toStdString() + "]";
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> describeToolBar(const QToolBar* bar) {
  std::vector<std::string> lines;
  for (QAction* a : bar->actions()) {
    lines.push_back(a->isSeparator() ? std::string("----")
                                     : std::to_string(a->property("id").toInt()) + " " +
                                           a->toolTip().toStdString());
  }
  return lines;
}

}  // namespace zentor::testing
