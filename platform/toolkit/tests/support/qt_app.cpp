#include "support/qt_app.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <algorithm>

namespace zentor::testing {

QApplication* ensureApplication() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "zentor-test";
  static char* argv[] = {name, nullptr};
  // Left alive to the end of the process: tearing Qt down during static destruction is fragile.
  return new QApplication(argc, argv);
}

MessageBoxAnswerer::MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers)
    : answers_(std::move(answers)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
  timer_.start(5);
}

MessageBoxAnswerer::~MessageBoxAnswerer() { timer_.stop(); }

void MessageBoxAnswerer::poll() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box || !box->isVisible()) continue;
    if (std::find(handled_.begin(), handled_.end(), box) != handled_.end()) continue;
    handled_.emplace_back(box);
    seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                     box->parentWidget()});
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    if (answer == QMessageBox::NoButton) {
      QTest::keyClick(box, Qt::Key_Escape);
    } else if (QAbstractButton* b = box->button(answer)) {
      b->click();
    } else {
      box->reject();
    }
  }
}

}  // namespace zentor::testing
