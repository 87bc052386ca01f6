// What the business functions need of the current company: its directories and engine session,
// its settings file, the hook that lets pending window events run during waits, and today's date
// (injectable, so year changes can be tested).
#pragma once

#include <functional>

#include "data/env.h"
#include "dbf/value.h"

namespace zentor::os {
class INIFILE;
}

namespace zentor::logic {

struct Context {
  data::Env env;
  os::INIFILE* ini = nullptr;            // the company's FDT.INI (goIni)
  std::function<void()> pendingEvents;   // run between lock attempts; none without windows
  std::function<dbf::Date()> clock;      // today; the system date when empty

  dbf::Date today() const { return clock ? clock() : dbf::Date::today(); }
};

}  // namespace zentor::logic
