#include "support/tables.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dbf/session.h"

namespace zentor::report::testing {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zentor-report-XXXXXX").string();
  char* p = mkdtemp(tmpl.data());
  if (!p) ADD_FAILURE() << "mkdtemp failed";
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& text) const {
  std::ofstream out(file(name), std::ios::binary);
  out << text;
}

void createTable(const std::string& dir, const TableSpec& def) {
  dbf::Session session;
  session.setSyncOnCommit(false);  // throw-away files: no need to wait for the disk
  const std::string path = dir + "/" + def.name + ".DBF";
  if (auto s = dbf::Table::create(session, path, def.fields, true); !s.ok()) {
    ADD_FAILURE() << s.toString();
    return;
  }
  auto t = dbf::Table::open(session, path, dbf::OpenOptions{false, false});
  if (!t.ok()) {
    ADD_FAILURE() << t.status().toString();
    return;
  }
  for (const auto& row : def.rows) {
    if (auto s = (*t)->append(); !s.ok()) ADD_FAILURE() << s.toString();
    for (size_t i = 0; i < row.size(); ++i) {
      if (auto s = (*t)->put(static_cast<int>(i), row[i]); !s.ok()) ADD_FAILURE() << s.toString();
    }
    if (auto s = (*t)->commit(); !s.ok()) ADD_FAILURE() << s.toString();
  }
  (*t)->unlock();
  for (const auto& [tag, expr] : def.tags) {
    if (auto s = (*t)->createTag(tag, expr, {}, dir + "/" + def.name + ".CDX"); !s.ok()) ADD_FAILURE() << s.toString();
  }
  (*t)->close();
}

void createOrderTables(const std::string& dir) {
  using dbf::Date;
  using dbf::Value;
  createTable(dir, {"AKO",
                    {{"AUFTRAG", 'N', 8, 0}, {"KNDNR", 'N', 5, 0}, {"ZUNAME", 'C', 20, 0}, {"BEDATUM", 'D', 8, 0}},
                    {{Value(200), Value(7), Value("Bäckerei Groß"), Value(Date::fromYmd(2025, 4, 2))},
                     {Value(100), Value(3), Value("Müller"), Value(Date::fromYmd(2025, 3, 1))}},
                    {{"AUFTRAG", "str(AUFTRAG,8)"}}});
  createTable(dir, {"APO",
                    {{"AUFTRAG", 'N', 8, 0},
                     {"ARTNR", 'N', 5, 0},
                     {"MENGE", 'N', 7, 1},
                     {"TXT", 'C', 74, 0},
                     {"VKP", 'N', 9, 2},
                     {"SORT", 'N', 4, 0},
                     {"ZUSATZ", 'M', 10, 0}},
                    {{Value(100), Value(2), Value(3.0), Value("Zange"), Value(8.25), Value(2), Value("")},
                     {Value(200), Value(1), Value(10.0), Value("Schraube"), Value(0.1), Value(1), Value("")},
                     {Value(100), Value(1), Value(2.0), Value("Schraube"), Value(0.1), Value(1), Value("verzinkt")},
                     {Value(100), Value(0), Value(1.0), Value("Anfahrt"), Value(25.0), Value(3), Value("")}},
                    {{"AUFTRAG", "str(AUFTRAG,8)+str(SORT,4)"}}});
  createTable(dir, {"ART",
                    {{"ARTNR", 'N', 5, 0}, {"AGRNR", 'N', 2, 0}, {"TXT", 'C', 74, 0}, {"EINHEIT", 'C', 3, 0}},
                    {{Value(1), Value(15), Value("Schraube M4"), Value("Stk")},
                     {Value(2), Value(2), Value("Zange"), Value("Stk")},
                     {Value(3), Value(1), Value("Hammer"), Value("Stk")}},
                    {{"ARTNR", "str(ARTNR,5)"}, {"TXT", "upper(left(TXT,20))"}, {"AGRNR", "str(AGRNR,2)"}}});
}

}  // namespace zentor::report::testing
