#include "support/company.h"

#include <gtest/gtest.h>

namespace zentor::logic::testing {

Company::Company() {
  ini = std::make_unique<os::INIFILE>(install.dataDir + "FDT.INI");
  ctx.env = install.env();
  ctx.ini = ini.get();
  ctx.clock = [this] { return today; };
}

Company::Rival::Rival(const Company& c) {
  data::testing::setUpSession(session, c.install.programDir, c.install.dataDir);
  ini = std::make_unique<os::INIFILE>(c.install.dataDir + "FDT.INI");
  ctx.env = c.ctx.env;
  ctx.env.session = &session;
  ctx.ini = ini.get();
  ctx.clock = c.ctx.clock;
}

void addRecord(dbf::Table& t, const std::vector<std::pair<std::string, dbf::Value>>& fields) {
  ASSERT_TRUE(t.append().ok());
  for (const auto& [name, v] : fields) ASSERT_TRUE(t.put(name, v).ok()) << name;
  ASSERT_TRUE(t.commit().ok());
  t.unlock();
}

}  // namespace zentor::logic::testing
