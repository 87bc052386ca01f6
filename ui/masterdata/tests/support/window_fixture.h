// A scratch company with its tables, a recording message service and helpers that drive a
// code-table window through its real controls.
#pragma once

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "appcore/messages.h"
#include "masterdata/code_tables.h"
#include "support/company.h"
#include "support/qt_app.h"

namespace zentor::ui::testing {

struct WindowFixture {
  WindowFixture();
  logic::testing::Company company;
  app::RecordingMessageService messages;

  // Builds the window, shows it and runs POSTINIT.
  template <class W>
  std::unique_ptr<W> open() {
    auto w = std::make_unique<W>(company.ctx, messages, nullptr);
    w->show();
    (void)QTest::qWaitForWindowExposed(w.get());
    w->POSTINIT();
    QCoreApplication::processEvents();
    return w;
  }
};

// Object name of the control that holds the window's focus.
std::string focusName(QWidget& w);
void press(QWidget* control, Qt::Key key);
// Number of live (not deleted) records, read through a fresh object of table class T.
template <class T>
int liveRecords(const logic::Context& ctx) {
  T t(ctx.env);
  if (!t.ok()) return -1;
  t->setFilter("!Deleted()");
  auto n = t->count();
  return n.ok() ? static_cast<int>(*n) : -1;
}

}  // namespace zentor::ui::testing
