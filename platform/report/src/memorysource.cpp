#include "report/rowsource.h"
#include "strutil.h"

namespace zentor::report {

MemoryRowSource::MemoryRowSource(std::vector<std::string> columns, std::vector<std::vector<dbf::Value>> rows)
    : rows_(std::move(rows)) {
  for (auto& c : columns) columns_.push_back(upperAscii(c));
}

int MemoryRowSource::bindField(std::string_view alias, std::string_view name) {
  const std::string n = upperAscii(name);
  const std::string qualified = alias.empty() ? n : upperAscii(alias) + "." + n;
  int column = -1;
  for (size_t i = 0; i < columns_.size() && column < 0; ++i) {
    if (columns_[i] == qualified) column = static_cast<int>(i);
  }
  if (column < 0 && alias.empty()) {
    for (size_t i = 0; i < columns_.size() && column < 0; ++i) {
      const size_t dot = columns_[i].find('.');
      if (dot != std::string::npos && columns_[i].substr(dot + 1) == n) column = static_cast<int>(i);
    }
  }
  if (column < 0) return -1;
  for (size_t s = 0; s < bound_.size(); ++s) {
    if (bound_[s] == column) return static_cast<int>(s);
  }
  bound_.push_back(column);
  return static_cast<int>(bound_.size()) - 1;
}

dbf::Status MemoryRowSource::rewind() {
  pos_ = 0;
  return dbf::Status::OK();
}

dbf::Result<bool> MemoryRowSource::next(std::vector<dbf::Value>& row) {
  if (pos_ >= rows_.size()) return false;
  row.assign(bound_.size(), dbf::Value());
  const auto& r = rows_[pos_++];
  for (size_t s = 0; s < bound_.size(); ++s) {
    if (bound_[s] < static_cast<int>(r.size())) row[s] = r[bound_[s]];
  }
  return true;
}

}  // namespace zentor::report
