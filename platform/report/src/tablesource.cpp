#include "tablesource.h"

#include <algorithm>

#include "dbf/codepage.h"
#include "dbf/collation.h"
#include "strutil.h"

namespace zentor::report {

using dbf::Expression;
using dbf::Result;
using dbf::Status;
using dbf::Table;
using dbf::Value;
using dbf::ValueType;

struct TableRowSource::Level {
  Table* table = nullptr;
  const Relation* rel = nullptr;  // nullptr for the master
  Expression key;
  bool blank = false;  // an outer list without rows, showing one blank row
};

struct TableRowSource::Lookup {
  Table* table = nullptr;
  const Relation* rel = nullptr;
  Expression key;
  size_t level = 0;  // the list (or master) whose moves reposition it
};

namespace {

ValueType typeOf(char t) {
  switch (t) {
    case 'C':
    case 'M':
      return ValueType::kCharacter;
    case 'N':
      return ValueType::kNumeric;
    case 'D':
      return ValueType::kDate;
    case 'L':
      return ValueType::kLogical;
    default:
      return ValueType::kNil;
  }
}

class LiveField : public dbf::ValueSource {
 public:
  LiveField(Table* t, int f) : t_(t), f_(f) {}
  Value get() const override { return t_->get(f_); }
  ValueType type() const override { return typeOf(t_->fields()[f_].type); }

 private:
  Table* t_;
  int f_;
};

// Fields of the open tables as they stand, and the report's variables.
class LiveResolver : public dbf::Resolver {
 public:
  LiveResolver(const std::map<std::string, Table*>& tables, const VariableStore& vars, const std::string& master)
      : tables_(tables), vars_(vars), master_(master) {}

  std::shared_ptr<const dbf::ValueSource> resolve(std::string_view alias, std::string_view name) override {
    if (alias.empty()) {
      if (auto v = vars_.source(name)) return v;
      auto it = tables_.find(master_);
      if (it != tables_.end()) return field(it->second, name);
      return nullptr;
    }
    auto it = tables_.find(upperAscii(alias));
    return it == tables_.end() ? nullptr : field(it->second, name);
  }

 private:
  static std::shared_ptr<const dbf::ValueSource> field(Table* t, std::string_view name) {
    const int f = t->fieldIndex(name);
    return f < 0 ? nullptr : std::make_shared<LiveField>(t, f);
  }
  const std::map<std::string, Table*>& tables_;
  const VariableStore& vars_;
  std::string master_;
};

// Keys compare like the index does: text in the German order, numbers and dates by value.
int compareValues(const Value& a, const Value& b) {
  if (a.type() != b.type()) return static_cast<int>(a.type()) - static_cast<int>(b.type());
  switch (a.type()) {
    case ValueType::kCharacter:
      return dbf::collateCompare(dbf::utf8ToCp850(a.text()), dbf::utf8ToCp850(b.text()));
    case ValueType::kNumeric:
      return a.number() < b.number() ? -1 : a.number() > b.number() ? 1 : 0;
    case ValueType::kDate:
      return a.date() < b.date() ? -1 : a.date() > b.date() ? 1 : 0;
    case ValueType::kLogical:
      return static_cast<int>(a.boolean()) - static_cast<int>(b.boolean());
    case ValueType::kNil:
      break;
  }
  return 0;
}

// A key value as the text sought in `t`'s controlling tag: numbers right-aligned in the tag's key
// length (as str(n,w) built it), dates as yyyymmdd.
std::string keyText(const Value& k, const Table& t) {
  if (k.isNumeric()) {
    int width = 10;
    for (const auto& tag : t.tags()) {
      if (tag.name == t.currentTag()) width = tag.keyLength;
    }
    return dbf::dbaseStr(k.number(), width);
  }
  if (k.isDate()) return k.date().dtos();
  return k.text();
}

}  // namespace

TableRowSource::TableRowSource(const DataSpec& data, std::map<std::string, Table*> tables, const VariableStore& vars,
                               std::string fileName, dbf::ExprSettings settings)
    : data_(data), tables_(std::move(tables)), vars_(vars), fileName_(std::move(fileName)), settings_(settings) {
  resolver_ = std::make_unique<LiveResolver>(tables_, vars_, data_.master);
}

TableRowSource::~TableRowSource() = default;

Status TableRowSource::compile(const std::string& text, int line, Expression* out) {
  if (text.empty()) {
    *out = Expression();
    return Status::OK();
  }
  auto r = Expression::compile(text, *resolver_, settings_);
  if (!r.ok()) {
    const std::string where = line > 0 ? fileName_ + ":" + std::to_string(line) + ": " : std::string();
    return Status::Syntax(where + text + ": " + r.status().message());
  }
  *out = std::move(r.value());
  return Status::OK();
}

Status TableRowSource::prepare() {
  levels_.clear();
  lookups_.clear();
  if (data_.master.empty()) return Status::OK();
  auto master = tables_.find(data_.master);
  if (master == tables_.end()) {
    return Status::NotFound(fileName_ + ": the master table " + data_.master + " is not open");
  }
  if (!data_.masterOrder.empty()) {
    if (auto s = master->second->selectTag(data_.masterOrder); !s.ok()) return s;
  }
  levels_.push_back(Level{master->second, nullptr, Expression(), false});
  for (const Relation& r : data_.relations) {
    auto it = tables_.find(r.alias);
    if (it == tables_.end()) {
      return Status::NotFound(fileName_ + ":" + std::to_string(r.line) + ": table " + r.alias + " is not open");
    }
    if (!r.order.empty()) {
      if (auto s = it->second->selectTag(r.order); !s.ok()) {
        return Status::NotFound(fileName_ + ":" + std::to_string(r.line) + ": " + s.message());
      }
    }
    if (!it->second->hasIndex() || it->second->currentTag().empty()) {
      return Status::InvalidArgument(fileName_ + ":" + std::to_string(r.line) + ": table " + r.alias +
                                     " has no index order to find its rows by key");
    }
    Expression key;
    if (auto s = compile(r.key.text, r.line, &key); !s.ok()) return s;
    if (r.many) {
      levels_.push_back(Level{it->second, &r, std::move(key), false});
    } else {
      // Repositioned with the nearest list above it (lists form one chain from the master).
      size_t level = 0;
      std::string parent = r.parent;
      for (size_t guard = 0; guard <= lookups_.size(); ++guard) {
        bool found = false;
        for (size_t i = 1; i < levels_.size(); ++i) {
          if (levels_[i].rel->alias == parent) {
            level = i;
            found = true;
          }
        }
        if (found || parent == data_.master) break;
        for (const Lookup& l : lookups_) {
          if (l.rel->alias == parent) parent = l.rel->parent;
        }
      }
      lookups_.push_back(Lookup{it->second, &r, std::move(key), level});
    }
  }
  if (auto s = compile(data_.select.text, data_.select.line, &select_); !s.ok()) return s;
  if (auto s = compile(data_.seek.text, data_.seek.line, &seek_); !s.ok()) return s;
  return compile(data_.whileCond.text, data_.whileCond.line, &while_);
}

int TableRowSource::bindField(std::string_view alias, std::string_view name) {
  Table* table = nullptr;
  int field = -1;
  if (!alias.empty()) {
    auto it = tables_.find(upperAscii(alias));
    if (it == tables_.end()) return -1;
    table = it->second;
    field = table->fieldIndex(name);
  } else {
    // The master first, then the related tables in file order.
    std::vector<Table*> order;
    for (const Level& l : levels_) order.push_back(l.table);
    for (const Lookup& l : lookups_) order.push_back(l.table);
    for (Table* t : order) {
      field = t->fieldIndex(name);
      if (field >= 0) {
        table = t;
        break;
      }
    }
  }
  if (!table || field < 0) return -1;
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].table == table && slots_[i].field == field) return static_cast<int>(i);
  }
  slots_.push_back(Slot{table, field});
  return static_cast<int>(slots_.size()) - 1;
}

Status TableRowSource::rewind() {
  started_ = false;
  done_ = false;
  useSorted_ = false;
  if (levels_.empty()) {
    done_ = true;
    return Status::OK();
  }
  if (!seekText_.empty()) {
    if (auto s = compile(seekText_, 0, &seek_); !s.ok()) return s;
  }
  if (!whileText_.empty()) {
    if (auto s = compile(whileText_, 0, &while_); !s.ok()) return s;
  }
  if (!sortText_.empty() && !orderChosen_) {
    if (auto s = compile(sortText_, 0, &sort_); !s.ok()) return s;
    // Collect the master's rows as narrowed, then visit them by the sort key.
    std::vector<std::pair<Value, uint32_t>> keyed;
    auto r = stepMaster(true);
    while (r.ok() && r.value()) {
      keyed.emplace_back(sort_.evaluate(), levels_[0].table->recno());
      r = stepMaster(false);
    }
    if (!r.ok()) return r.status();
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return compareValues(a.first, b.first) < 0; });
    sorted_.clear();
    for (auto& k : keyed) sorted_.push_back(k.second);
    sortedPos_ = 0;
    useSorted_ = true;
    done_ = false;
  }
  return Status::OK();
}

Status TableRowSource::positionLookups(size_t level) {
  for (Lookup& l : lookups_) {
    if (l.level != level) continue;
    if (auto s = l.table->seek(keyText(l.key.evaluate(), *l.table), false); !s.ok()) return s;
  }
  return Status::OK();
}

// The master's next row that passes selection; false at the end of the range.
Result<bool> TableRowSource::stepMaster(bool first) {
  Table* t = levels_[0].table;
  if (done_) return false;
  for (;;) {
    Status s;
    if (useSorted_) {
      if (sortedPos_ >= sorted_.size()) {
        done_ = true;
        return false;
      }
      s = t->go(sorted_[sortedPos_++]);
    } else if (first) {
      first = false;
      if (seek_.valid() && !t->currentTag().empty()) {
        s = t->seek(keyText(seek_.evaluate(), *t), true);
      } else {
        s = t->goTop();
      }
    } else {
      s = t->skip(1);
    }
    if (!s.ok()) return s;
    if (t->eof()) {
      done_ = true;
      return false;
    }
    if (auto ls = positionLookups(0); !ls.ok()) return ls;
    // In sorted order the range was already applied while collecting.
    if (!useSorted_ && while_.valid() && !while_.test()) {
      done_ = true;
      return false;
    }
    if (useSorted_ || !select_.valid() || select_.test()) return true;
  }
}

Status TableRowSource::stepLevel(size_t i, bool first, bool* ok) {
  Level& l = levels_[i];
  Status s;
  if (first) {
    l.blank = false;
    const std::string key = keyText(l.key.evaluate(), *l.table);
    if (!(s = l.table->setScope(key, key)).ok()) return s;
    s = l.table->goTop();
  } else if (l.blank) {
    *ok = false;
    return Status::OK();
  } else {
    s = l.table->skip(1);
  }
  if (!s.ok()) return s;
  *ok = !l.table->eof();
  if (!*ok && first && l.rel->outer) {
    l.blank = true;  // the table stays at end of file: its fields read blank
    *ok = true;
  }
  if (*ok) return positionLookups(i);
  return Status::OK();
}

Result<bool> TableRowSource::next(std::vector<Value>& row) {
  if (levels_.empty() || (done_ && !started_)) return false;
  const size_t deepest = levels_.size() - 1;
  size_t i = 0;
  bool first = true;
  if (started_) {
    i = deepest;
    first = false;
  }
  started_ = true;
  for (;;) {
    bool ok = false;
    if (i == 0) {
      auto r = stepMaster(first);
      if (!r.ok()) return r.status();
      ok = r.value();
    } else if (auto s = stepLevel(i, first, &ok); !s.ok()) {
      return s;
    }
    if (ok) {
      if (i == deepest) break;
      ++i;
      first = true;
      continue;
    }
    if (i == 0) return false;
    --i;
    first = false;
  }
  row.resize(slots_.size());
  for (size_t s = 0; s < slots_.size(); ++s) row[s] = slots_[s].table->get(slots_[s].field);
  return true;
}

}  // namespace zentor::report
