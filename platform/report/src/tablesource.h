// Rows of a report read from dBase tables: the master in its order (narrowed by seek, while and
// the record selection), each row repeated for the rows of its related lists, lookups positioned
// after every move.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbf/expr.h"
#include "dbf/table.h"
#include "report/definition.h"
#include "report/layout.h"
#include "report/rowsource.h"

namespace zentor::report {

class TableRowSource : public RowSource {
 public:
  // `tables` maps upper-case aliases to open tables; they, `data` and `vars` outlive the source.
  TableRowSource(const DataSpec& data, std::map<std::string, dbf::Table*> tables, const VariableStore& vars,
                 std::string fileName, dbf::ExprSettings settings);
  ~TableRowSource() override;

  // Selects the tags and compiles the file's expressions; Status::Syntax with the line on error.
  dbf::Status prepare();

  // The caller's narrowing; compiled at the next rewind(). Empty texts fall back to the file's.
  void setSeek(std::string text) { seekText_ = std::move(text); }
  void setWhile(std::string text) { whileText_ = std::move(text); }
  void setSortOrder(std::string text) { sortText_ = std::move(text); }
  // Whether an order was chosen by the caller (then the sort order is not applied).
  void setOrderChosen(bool chosen) { orderChosen_ = chosen; }

  int bindField(std::string_view alias, std::string_view name) override;
  int slotCount() const override { return static_cast<int>(slots_.size()); }
  dbf::Status rewind() override;
  dbf::Result<bool> next(std::vector<dbf::Value>& row) override;

 private:
  struct Level;
  struct Lookup;
  struct Slot {
    dbf::Table* table;
    int field;
  };

  dbf::Status compile(const std::string& text, int line, dbf::Expression* out);
  dbf::Result<bool> stepMaster(bool first);
  dbf::Status stepLevel(size_t i, bool first, bool* ok);
  dbf::Status positionLookups(size_t level);

  const DataSpec& data_;
  std::map<std::string, dbf::Table*> tables_;
  const VariableStore& vars_;
  std::string fileName_;
  dbf::ExprSettings settings_;
  std::unique_ptr<dbf::Resolver> resolver_;
  std::vector<Level> levels_;  // master first, then the lists
  std::vector<Lookup> lookups_;
  std::vector<Slot> slots_;
  std::string seekText_, whileText_, sortText_;
  bool orderChosen_ = false;
  dbf::Expression select_, seek_, while_, sort_;
  bool started_ = false;
  bool done_ = false;
  std::vector<uint32_t> sorted_;  // master records in sort order, when a sort order applies
  size_t sortedPos_ = 0;
  bool useSorted_ = false;
};

}  // namespace zentor::report
