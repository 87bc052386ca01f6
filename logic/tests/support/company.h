// A scratch company for the order-logic tests: the data layer's scratch installation plus the
// company's settings file and a context with a settable "today".
#pragma once

#include <memory>
#include <string>

#include "logic/context.h"
#include "os/inifile.h"
#include "support/testenv.h"

namespace zentor::logic::testing {

struct Company {
  Company();
  data::testing::Install install;
  std::unique_ptr<os::INIFILE> ini;
  dbf::Date today = dbf::Date::fromYmd(2025, 3, 15);
  Context ctx;

  // A context for a forked rival: its own session on the same directories.
  struct Rival {
    explicit Rival(const Company& c);
    dbf::Session session;
    std::unique_ptr<os::INIFILE> ini;
    Context ctx;
  };
};

// Appends one record to `t` with the given fields (name=value pairs as Values) and commits.
void addRecord(dbf::Table& t, const std::vector<std::pair<std::string, dbf::Value>>& fields);

}  // namespace zentor::logic::testing
