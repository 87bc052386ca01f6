#include "expr_node.h"

#include <algorithm>
#include <cmath>

#include "dbf/codepage.h"
#include "dbf/collation.h"

namespace zentor::dbf::exprnode {

// Trees deeper than this (long left-nested operator chains) are refused, which bounds the
// recursion of evaluation and destruction.
constexpr int kMaxTreeDepth = 1000;

void Node::text(Eval& e, std::string& out) const {
  e.fail();
  out.clear();
}
double Node::num(Eval& e) const {
  e.fail();
  return 0;
}
Date Node::date(Eval& e) const {
  e.fail();
  return Date();
}
bool Node::logic(Eval& e) const {
  e.fail();
  return false;
}

Value Node::value(Eval& e) const {
  switch (type_) {
    case ValueType::kCharacter: {
      std::string s;
      text(e, s);
      return Value(std::move(s));
    }
    case ValueType::kNumeric: return Value(num(e));
    case ValueType::kDate: return Value(date(e));
    case ValueType::kLogical: return Value::logical(logic(e));
    case ValueType::kNil: break;
  }
  e.fail();
  return Value();
}

int depthOf(const Args& args) {
  int d = 0;
  for (const auto& a : args) d = std::max(d, a->depth());
  return d;
}

void textOf(const Node& n, Eval& e, std::string& out) {
  if (n.type() == ValueType::kCharacter) {
    n.text(e, out);
    return;
  }
  const Value v = n.value(e);
  if (v.isCharacter()) {
    out.assign(v.text());
  } else {
    e.fail();
    out.clear();
  }
}

double numOf(const Node& n, Eval& e) {
  if (n.type() == ValueType::kNumeric) return n.num(e);
  const Value v = n.value(e);
  if (!v.isNumeric()) e.fail();
  return v.number();
}

Date dateOf(const Node& n, Eval& e) {
  if (n.type() == ValueType::kDate) return n.date(e);
  const Value v = n.value(e);
  if (!v.isDate()) e.fail();
  return v.date();
}

bool logicOf(const Node& n, Eval& e) {
  if (n.type() == ValueType::kLogical) return n.logic(e);
  const Value v = n.value(e);
  if (!v.isLogical()) e.fail();
  return v.boolean();
}

Status typeMismatch(std::string_view what) { return Status::InvalidArgument("type mismatch: " + std::string(what)); }

namespace {

// Reads a value held elsewhere: literals hold their own, deferred nodes point at their operands.
class Held : public Node {
 public:
  explicit Held(const Value* v) : Node(v ? v->type() : ValueType::kNil), v_(v) {}
  void text(Eval&, std::string& out) const override { out.assign(v_->text()); }
  double num(Eval&) const override { return v_->number(); }
  Date date(Eval&) const override { return v_->date(); }
  bool logic(Eval&) const override { return v_->boolean(); }
  Value value(Eval&) const override { return *v_; }

 protected:
  const Value* v_;
};

class Const final : public Held {
 public:
  explicit Const(Value v) : Held(nullptr), own_(std::move(v)) {
    v_ = &own_;
    type_ = own_.type();
  }
  const Value* constant() const override { return &own_; }

 private:
  Value own_;
};

class Source final : public Node {
 public:
  explicit Source(std::shared_ptr<const ValueSource> src) : Node(src->type()), src_(std::move(src)) {}
  void text(Eval& e, std::string& out) const override {
    if (!src_->getText(out)) {
      e.fail();
      out.clear();
    }
  }
  double num(Eval& e) const override { return checked(e).number(); }
  Date date(Eval& e) const override { return checked(e).date(); }
  bool logic(Eval& e) const override { return checked(e).boolean(); }
  Value value(Eval& e) const override { return type_ == ValueType::kNil ? src_->get() : checked(e); }

 private:
  // A source that delivers another type than it announced when compiling is a run-time type error.
  Value checked(Eval& e) const {
    Value v = src_->get();
    if (v.type() != type_) {
      e.fail();
      return Value();
    }
    return v;
  }
  std::shared_ptr<const ValueSource> src_;
};

class Deferred final : public Node {
 public:
  Deferred(Args args, std::function<Result<NodePtr>(Args&)> build)
      : Node(ValueType::kNil, depthOf(args) + 1), args_(std::move(args)), build_(std::move(build)),
        vals_(args_.size()) {}

  Value value(Eval& e) const override {
    for (size_t i = 0; i < args_.size(); ++i) {
      vals_[i] = args_[i]->value(e);
      // nil has no operations; checking here also keeps a nil operand from deferring forever
      if (e.failed || vals_[i].isNil()) {
        e.fail();
        return Value();
      }
    }
    const Node* n = specialised();
    if (!n) {
      e.fail();
      return Value();
    }
    return n->value(e);
  }

 private:
  const Node* specialised() const {
    for (const auto& c : cache_) {
      bool same = true;
      for (size_t i = 0; i < vals_.size() && same; ++i) same = c.types[i] == vals_[i].type();
      if (same) return c.node.get();
    }
    Entry entry;
    Args held;
    for (const auto& v : vals_) {
      entry.types.push_back(v.type());
      held.push_back(std::make_unique<Held>(&v));
    }
    auto r = build_(held);
    if (r.ok()) entry.node = std::move(r.value());
    cache_.push_back(std::move(entry));
    return cache_.back().node.get();
  }

  struct Entry {
    std::vector<ValueType> types;
    NodePtr node;  // nullptr: these types do not combine
  };
  Args args_;
  std::function<Result<NodePtr>(Args&)> build_;
  mutable std::vector<Value> vals_;  // sized once: the held nodes point into it
  mutable std::vector<Entry> cache_;
};

bool isAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// dBase text order with SET EXACT OFF: the left side is compared over the length of the right
// one, so "MAUS" <= "M" and "MAUS" = "M" hold while "M" < "MAUS". Both sides in the table code
// page, through the German order.
int compareText(std::string_view a, std::string_view b, Scratch& s) {
  if (!isAscii(a)) {
    s.c = fromUtf8(a, CodePage::kCp850);
    a = s.c;
  }
  if (!isAscii(b)) {
    s.d = fromUtf8(b, CodePage::kCp850);
    b = s.d;
  }
  if (a.size() > b.size()) a = a.substr(0, b.size());
  return collateCompare(a, b);
}

bool relation(Op op, int cmp) {
  switch (op) {
    case Op::kEq: case Op::kExactEq: return cmp == 0;
    case Op::kNe: return cmp != 0;
    case Op::kLt: return cmp < 0;
    case Op::kLe: return cmp <= 0;
    case Op::kGt: return cmp > 0;
    case Op::kGe: return cmp >= 0;
    default: return false;
  }
}

template <class T>
int threeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int32_t daysOf(double n) {
  if (!std::isfinite(n)) return 0;
  return static_cast<int32_t>(std::clamp(std::trunc(n), -1e8, 1e8));
}

const char* typeName(ValueType t) {
  switch (t) {
    case ValueType::kCharacter: return "text";
    case ValueType::kNumeric: return "number";
    case ValueType::kDate: return "date";
    case ValueType::kLogical: return "logical";
    case ValueType::kNil: break;
  }
  return "nil";
}

const char* opName(Op op) {
  switch (op) {
    case Op::kOr: return ".OR.";
    case Op::kAnd: return ".AND.";
    case Op::kNot: return ".NOT.";
    case Op::kEq: return "=";
    case Op::kExactEq: return "==";
    case Op::kNe: return "<>";
    case Op::kLt: return "<";
    case Op::kLe: return "<=";
    case Op::kGt: return ">";
    case Op::kGe: return ">=";
    case Op::kContains: return "$";
    case Op::kAdd: return "+";
    case Op::kSub: case Op::kNeg: return "-";
    case Op::kMul: return "*";
    case Op::kDiv: return "/";
    case Op::kMod: return "%";
    case Op::kPlus: return "+";
  }
  return "?";
}

Status operandError(Op op, const Args& a) {
  std::string what = std::string("operator ") + opName(op) + " does not apply to " + typeName(a[0]->type());
  if (a.size() > 1) what += std::string(" and ") + typeName(a[1]->type());
  return typeMismatch(what);
}

Result<NodePtr> comparison(Op op, Args a) {
  const ValueType t = a[0]->type();
  if (t != a[1]->type()) return operandError(op, a);
  switch (t) {
    case ValueType::kCharacter:
      if (op == Op::kContains) {
        return logicFn(std::move(a), [](Eval& e, const Args& x, Scratch& s) {
          x[0]->text(e, s.a);
          x[1]->text(e, s.b);
          return !s.a.empty() && s.b.find(s.a) != std::string::npos;
        });
      }
      if (op == Op::kExactEq) {
        return logicFn(std::move(a), [](Eval& e, const Args& x, Scratch& s) {
          x[0]->text(e, s.a);
          x[1]->text(e, s.b);
          return s.a == s.b;
        });
      }
      return logicFn(std::move(a), [op](Eval& e, const Args& x, Scratch& s) {
        x[0]->text(e, s.a);
        x[1]->text(e, s.b);
        return relation(op, compareText(s.a, s.b, s));
      });
    case ValueType::kNumeric:
      if (op == Op::kContains) break;
      return logicFn(std::move(a), [op](Eval& e, const Args& x, Scratch&) {
        return relation(op, threeWay(x[0]->num(e), x[1]->num(e)));
      });
    case ValueType::kDate:
      if (op == Op::kContains) break;
      return logicFn(std::move(a), [op](Eval& e, const Args& x, Scratch&) {
        return relation(op, threeWay(x[0]->date(e).julian(), x[1]->date(e).julian()));
      });
    case ValueType::kLogical:
      if (op == Op::kContains) break;
      return logicFn(std::move(a), [op](Eval& e, const Args& x, Scratch&) {
        return relation(op, threeWay(x[0]->logic(e), x[1]->logic(e)));
      });
    case ValueType::kNil: break;
  }
  return operandError(op, a);
}

Result<NodePtr> arithmetic(Op op, Args a) {
  const ValueType l = a[0]->type(), r = a[1]->type();
  using VT = ValueType;
  if (l == VT::kNumeric && r == VT::kNumeric) {
    switch (op) {
      case Op::kAdd: return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return x[0]->num(e) + x[1]->num(e); });
      case Op::kSub: return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return x[0]->num(e) - x[1]->num(e); });
      case Op::kMul: return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return x[0]->num(e) * x[1]->num(e); });
      // Division by zero gives 0: a report column must not turn into inf or crash the program.
      case Op::kDiv:
        return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
          const double d = x[1]->num(e);
          return d == 0 ? 0.0 : x[0]->num(e) / d;
        });
      case Op::kMod:
        return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
          const double d = x[1]->num(e);
          return d == 0 ? 0.0 : std::fmod(x[0]->num(e), d);
        });
      default: break;
    }
  } else if (l == VT::kCharacter && r == VT::kCharacter && op == Op::kAdd) {
    return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch& s) {
      x[0]->text(e, out);
      x[1]->text(e, s.a);
      out += s.a;
    });
  } else if (l == VT::kCharacter && r == VT::kCharacter && op == Op::kSub) {
    return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch& s) {
      x[0]->text(e, out);
      x[1]->text(e, s.a);
      const size_t keep = out.find_last_not_of(' ') + 1;  // npos + 1 == 0: all blanks
      const size_t blanks = out.size() - keep;
      out.resize(keep);
      out += s.a;
      out.append(blanks, ' ');
    });
  } else if (l == VT::kDate && r == VT::kNumeric && (op == Op::kAdd || op == Op::kSub)) {
    const bool add = op == Op::kAdd;
    return dateFn(std::move(a), [add](Eval& e, const Args& x, Scratch&) {
      const int32_t days = daysOf(x[1]->num(e));
      return x[0]->date(e).addDays(add ? days : -days);
    });
  } else if (l == VT::kNumeric && r == VT::kDate && op == Op::kAdd) {
    return dateFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
      return x[1]->date(e).addDays(daysOf(x[0]->num(e)));
    });
  } else if (l == VT::kDate && r == VT::kDate && op == Op::kSub) {
    // The empty date has no day number; a difference with it is 0 rather than millions of days.
    return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
      const Date p = x[0]->date(e), q = x[1]->date(e);
      return p.empty() || q.empty() ? 0.0 : static_cast<double>(p.julian() - q.julian());
    });
  }
  return operandError(op, a);
}

Result<NodePtr> checkDepth(Result<NodePtr> r) {
  if (r.ok() && r.value()->depth() > kMaxTreeDepth) {
    return Status::InvalidArgument("expression too complex");
  }
  return r;
}

}  // namespace

NodePtr makeConst(Value v) { return std::make_unique<Const>(std::move(v)); }
NodePtr makeSource(std::shared_ptr<const ValueSource> src) { return std::make_unique<Source>(std::move(src)); }
NodePtr makeDeferred(Args args, std::function<Result<NodePtr>(Args&)> build) {
  return std::make_unique<Deferred>(std::move(args), std::move(build));
}

Result<NodePtr> buildOperator(Op op, Args a) {
  using VT = ValueType;
  if (op == Op::kAnd || op == Op::kOr || op == Op::kNot) {
    for (const auto& x : a) {
      if (x->type() != VT::kLogical && x->type() != VT::kNil) return operandError(op, a);
    }
    if (op == Op::kNot) {
      return checkDepth(logicFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return !logicOf(*x[0], e); }));
    }
    const bool isAnd = op == Op::kAnd;
    return checkDepth(logicFn(std::move(a), [isAnd](Eval& e, const Args& x, Scratch&) {
      const bool first = logicOf(*x[0], e);
      if (first != isAnd) return first;  // short circuit as dBase does
      return logicOf(*x[1], e);
    }));
  }
  for (const auto& x : a) {
    if (x->type() == VT::kNil) {
      return checkDepth(makeDeferred(std::move(a), [op](Args& held) { return buildOperator(op, std::move(held)); }));
    }
  }
  if (op == Op::kNeg || op == Op::kPlus) {
    if (a[0]->type() != VT::kNumeric) return operandError(op, a);
    if (op == Op::kPlus) return std::move(a[0]);
    return checkDepth(numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return -x[0]->num(e); }));
  }
  switch (op) {
    case Op::kEq: case Op::kExactEq: case Op::kNe: case Op::kLt: case Op::kLe: case Op::kGt:
    case Op::kGe: case Op::kContains:
      return checkDepth(comparison(op, std::move(a)));
    default: return checkDepth(arithmetic(op, std::move(a)));
  }
}

}  // namespace zentor::dbf::exprnode
