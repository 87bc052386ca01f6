#include "support/company_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "data/catalogue.h"
#include "dbf/session.h"
#include "dbf/table.h"
#include "support/cli_support.h"

namespace zentor::cli::test {

namespace fs = std::filesystem;

std::vector<Row> dumpRows(const std::string& path) {
  std::vector<Row> rows;
  const data::TableDef* def = data::findTableDef(fs::path(path).stem().string());
  if (def == nullptr) {
    ADD_FAILURE() << "no catalogue table for " << path;
    return rows;
  }
  const RunResult r = runZentorctl({"dbf", "dump", path});
  if (r.exitCode != 0) {
    ADD_FAILURE() << "dbf dump " << path << ": " << r.err;
    return rows;
  }
  for (const auto& line : splitLines(r.out)) {
    const auto cols = splitTabs(line);
    if (cols.size() != def->fields.size() + 2) {
      ADD_FAILURE() << path << ": " << cols.size() << " columns in " << line;
      continue;
    }
    Row row;
    for (size_t i = 0; i < def->fields.size(); ++i) row[def->fields[i].name] = cols[i + 2];
    rows.push_back(std::move(row));
  }
  return rows;
}

std::map<std::string, std::string> dumpAll(const std::string& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".DBF") continue;
    const RunResult r = runZentorctl({"dbf", "dump", e.path().string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    out[e.path().filename().string()] = r.out;
  }
  return out;
}

void setCounter(const std::string& dataDir, const std::string& field, uint32_t value) {
  dbf::Session s;
  auto t = dbf::Table::open(s, dataDir + "/KRS.DBF");
  ASSERT_TRUE(t.ok()) << t.status().toString();
  ASSERT_TRUE((*t)->goTop().ok());
  ASSERT_TRUE((*t)->lock());
  ASSERT_TRUE((*t)->put(field, dbf::Value(value)).ok());
  ASSERT_TRUE((*t)->commit().ok());
  (*t)->close();
}

void detachStandardInput() {
  const int fd = ::open("/dev/null", O_RDONLY);
  if (fd >= 0) {
    ::dup2(fd, STDIN_FILENO);
    ::close(fd);
  }
}

std::string germanMoney(int64_t cents) {
  const bool negative = cents < 0;
  const int64_t a = negative ? -cents : cents;
  std::string whole = std::to_string(a / 100);
  for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3) whole.insert(static_cast<size_t>(i), ".");
  const int64_t c = a % 100;
  return (negative ? "-" : "") + whole + "," + (c < 10 ? "0" : "") + std::to_string(c);
}

int64_t roundedDiv(int64_t numerator, int64_t denominator) {
  const int64_t half = denominator / 2;
  return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

int64_t scaled(const std::string& number, int scale) {
  if (number.empty()) return 0;  // a numeric field never written shows as blanks
  return static_cast<int64_t>(std::llround(std::stod(number) * scale));
}

}  // namespace zentor::cli::test
