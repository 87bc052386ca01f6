#include "toolkit/event_pump.h"

#include <QCoreApplication>

namespace zentor::toolkit {

EventPump qtEventPump() {
  return [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
}

}  // namespace zentor::toolkit
