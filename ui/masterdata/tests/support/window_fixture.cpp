#include "support/window_fixture.h"


namespace zentor::ui::testing {

WindowFixture::WindowFixture() { zentor::testing::ensureApplication(); }

std::string focusName(QWidget& w) {
  QWidget* f = w.focusWidget();
  return f ? f->objectName().toStdString() : std::string();
}

void press(QWidget* control, Qt::Key key) { QTest::keyClick(control, key); }

}  // namespace zentor::ui::testing
