// What a table object reports while it rebuilds its index (the reindex dialog implements it).
#pragma once

#include <cstdint>
#include <string>

namespace zentor::data {

class Progress {
 public:
  virtual ~Progress() = default;
  // Once per table, before its tags are built; `label` is the table's catalogue label.
  virtual void UPDATETXT(const std::string& label) = 0;
  // For every record of every tag while it is built: the total given to the table object, the
  // table's physical record count and the number of the record being indexed.
  virtual void UPDATEBAR(uint32_t total, uint32_t recCount, uint32_t recno) = 0;
};

}  // namespace zentor::data
