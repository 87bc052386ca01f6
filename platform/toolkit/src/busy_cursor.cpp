#include "toolkit/busy_cursor.h"

#include <QApplication>
#include <QCursor>

namespace zentor::toolkit {

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace zentor::toolkit
