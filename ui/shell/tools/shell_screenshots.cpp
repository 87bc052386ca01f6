// Opens the shell on sample settings and saves PNG pictures of it, its menus, the About dialog
// and the help window into the directory given as the only argument.
//   zentor_shell_screenshots out/screenshots
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTextBrowser>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "shell/dlg_about.h"
#include "shell/help_window.h"
#include "shell/standard_shell_window.h"
#include "toolkit/qt_message_service.h"

namespace {

bool save(QWidget* w, const QDir& dir, const char* name) {
  QApplication::processEvents();
  const QString path = dir.filePath(QString::fromLatin1(name));
  const bool ok = w->grab().save(path);
  std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("out/screenshots"));
  QDir().mkpath(out.path());

  namespace fs = std::filesystem;
  const fs::path programDir = fs::path(ZENTOR_SOURCE_DIR) / "docs";  // holds help/index.html
  zentor::toolkit::QtMessageService messages;
  zentor::ui::ShellSetup setup;
  setup.programDir = programDir;
  setup.dataDir = programDir / "FIRMA01";
  setup.companyName = QStringLiteral("Muster GmbH");
  setup.dataVersion = [] { return QStringLiteral("1.5"); };
  setup.messages = &messages;
  setup.openUrl = [](const QUrl&) { return false; };

  zentor::ui::STANDARDSHELLWINDOW shell(setup);
  shell.resize(1000, 700);
  shell.show();
  bool ok = save(&shell, out, "shell.png");

  const struct {
    int index;
    const char* file;
  } menus[] = {{0, "menu_basisdaten.png"}, {4, "menu_umsatzlisten.png"}, {5, "menu_sonstiges.png"}};
  for (const auto& m : menus) {
    QMenu* menu = shell.mainMenus().value(m.index);
    if (!menu) continue;
    menu->popup(shell.mapToGlobal(QPoint(100 * m.index, 40)));
    ok = save(menu, out, m.file) && ok;
    menu->hide();
  }

  for (int i = 1; i <= 2; ++i) {
    auto* child = new QLabel(QStringLiteral("Datenfenster %1").arg(i));
    child->setAlignment(Qt::AlignCenter);
    QMdiSubWindow* sub = shell.addMdiChild(child);
    sub->setWindowTitle(QStringLiteral("Lumo-Zentor: Fenster %1").arg(i));
    sub->resize(360, 220);
    sub->move(40 + 60 * i, 30 + 40 * i);
    shell.ADDCHILDWINDOW(child);
  }
  ok = save(&shell, out, "shell_children.png") && ok;

  zentor::ui::DLGABOUT about(&shell, QStringLiteral("1.5"), [](const QUrl&) { return false; });
  about.show();
  ok = save(&about, out, "about.png") && ok;
  about.hide();

  zentor::ui::HelpWindow help(programDir / "help" / "index.html", nullptr);
  help.setAttribute(Qt::WA_DeleteOnClose, false);
  help.show();
  ok = save(&help, out, "help.png") && ok;
  return ok ? 0 : 1;
}
