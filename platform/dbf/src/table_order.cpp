// Table object: the record numbers of the current order, for lists that show a window of rows
// without walking the records themselves.
#include <algorithm>

#include "dbf/collation.h"
#include "dbf/table.h"
#include "table_impl.h"

namespace zentor::dbf {

Status Table::orderRecnos(std::vector<uint32_t>* out) const {
  const Impl& t = *impl_;
  out->clear();
  if (!t.open) return Status::InvalidArgument("orderRecnos: table is closed");
  if (t.curTag < 0) {
    uint32_t n = 0;
    Status st = t.physicalCount(&n);
    if (!st.ok()) return st;
    out->reserve(n);
    for (uint32_t r = 1; r <= n; ++r) out->push_back(r);
    return Status::OK();
  }
  auto below = [](std::string_view key, const std::string& bound) {
    return collateCompare(key.substr(0, std::min(key.size(), bound.size())), bound);
  };
  const std::string& top = t.scopeTop;
  const std::string& bottom = t.scopeBottom;
  return t.cdx->scan(t.curTag, [&](const cdx::Entry& e) {
    if (!top.empty() && below(e.key, top) < 0) return true;
    if (!bottom.empty() && below(e.key, bottom) > 0) return false;
    out->push_back(e.recno);
    return true;
  });
}

}  // namespace zentor::dbf
