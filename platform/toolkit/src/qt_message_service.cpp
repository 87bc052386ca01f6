#include "toolkit/qt_message_service.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace zentor::toolkit {

namespace {

QMessageBox::Icon toQt(app::MessageIcon icon) {
  switch (icon) {
    case app::MessageIcon::kNone: return QMessageBox::NoIcon;
    case app::MessageIcon::kError: return QMessageBox::Critical;
    case app::MessageIcon::kInformation: return QMessageBox::Information;
    case app::MessageIcon::kQuestion: return QMessageBox::Question;
    case app::MessageIcon::kWarning: return QMessageBox::Warning;
  }
  return QMessageBox::NoIcon;
}

int run(const app::Message& m, QMessageBox::StandardButtons buttons,
        QMessageBox::StandardButton defaultButton) {
  QMessageBox box(toQt(m.icon), QString::fromStdString(m.title), QString::fromStdString(m.text),
                  buttons, static_cast<QWidget*>(m.owner));
  box.setDefaultButton(defaultButton);
  return box.exec();
}

}  // namespace

void QtMessageService::show(const app::Message& m) { run(m, QMessageBox::Ok, QMessageBox::Ok); }

bool QtMessageService::ask(const app::Message& m) {
  return run(m, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

}  // namespace zentor::toolkit
