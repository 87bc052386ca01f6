// Where the rows of a report come from. The layout reads fields only through a row buffer that
// the source fills: the layout keeps the previous row's buffer, so a group footer shows the
// values of the group it closes, whatever table the source has moved on to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dbf/status.h"
#include "dbf/value.h"

namespace zentor::report {

class RowSource {
 public:
  virtual ~RowSource() = default;
  // Binds a field (alias empty = the master's field, or any table's when the master has none of
  // that name) to a slot of the row buffer; the same field gives the same slot. -1 = unknown.
  // REQUIRES: before the first rewind().
  virtual int bindField(std::string_view alias, std::string_view name) = 0;
  virtual int slotCount() const = 0;
  // Back to before the first row; also re-reads whatever the caller changed (seek, variables).
  virtual dbf::Status rewind() = 0;
  // Fills `row` (slotCount() values) with the next row; false at the end.
  virtual dbf::Result<bool> next(std::vector<dbf::Value>& row) = 0;
};

// Rows held in memory, for tests and for callers that compute their rows. Columns are named
// "ALIAS.FIELD" or "FIELD"; names compare case-insensitively.
class MemoryRowSource : public RowSource {
 public:
  MemoryRowSource(std::vector<std::string> columns, std::vector<std::vector<dbf::Value>> rows);

  int bindField(std::string_view alias, std::string_view name) override;
  int slotCount() const override { return static_cast<int>(bound_.size()); }
  dbf::Status rewind() override;
  dbf::Result<bool> next(std::vector<dbf::Value>& row) override;

 private:
  std::vector<std::string> columns_;  // upper case
  std::vector<std::vector<dbf::Value>> rows_;
  std::vector<int> bound_;  // slot -> column
  size_t pos_ = 0;
};

}  // namespace zentor::report
