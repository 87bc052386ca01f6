// The program zentor: the windowed invoicing program. See main/app_start.h for what happens.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "main/app_start.h"
#include "report/qtoutput.h"
#include "toolkit/qt_message_service.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(QStringLiteral("Lumo-Zentor"));

  std::vector<std::string> args(argv + 1, argv + argc);
  const zentor::start::CommandLine cl = zentor::start::parseCommandLine(args);
  if (!cl.error.empty()) {
    std::fprintf(stderr, "zentor: %s\n%s", cl.error.c_str(), zentor::start::usageText().c_str());
    return zentor::start::kExitUsage;
  }
  if (cl.help) {
    std::fputs(zentor::start::usageText().c_str(), stdout);
    return zentor::start::kExitOk;
  }

  zentor::report::installQtReportOutput();
  zentor::toolkit::QtMessageService messages;
  zentor::start::StartPieces pieces;
  pieces.messages = &messages;
  if (cl.home) pieces.programDir = *cl.home;
  zentor::start::APP app(std::move(pieces));
  return app.START();
}
