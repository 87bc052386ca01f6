// The compiled form of an expression: a tree of typed nodes, private to the engine.
//
// Each node knows its result type when compiling (kNil when it depends on a source whose type
// shows only at evaluation). Typed nodes answer through the accessor of their type and write text
// into a caller's buffer, so evaluating a key such as str(N,5)+upper(left(C,20)) reuses the same
// buffers record after record. Nodes keep mutable scratch space: one Expression must not be
// evaluated by two threads at once.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/expr.h"
#include "dbf/status.h"
#include "dbf/value.h"

namespace zentor::dbf::exprnode {

// State of one evaluation: a type error seen only now makes the whole result nil.
struct Eval {
  bool failed = false;
  void fail() { failed = true; }
};

class Node {
 public:
  explicit Node(ValueType t, int depth = 1) : type_(t), depth_(depth) {}
  virtual ~Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  ValueType type() const { return type_; }
  int depth() const { return depth_; }

  // REQUIRES: type() is the accessor's type.
  virtual void text(Eval& e, std::string& out) const;
  virtual double num(Eval& e) const;
  virtual Date date(Eval& e) const;
  virtual bool logic(Eval& e) const;
  // Any node, typed or not.
  virtual Value value(Eval& e) const;
  // The value of a literal, else nullptr.
  virtual const Value* constant() const { return nullptr; }

 protected:
  ValueType type_;
  int depth_;
};

using NodePtr = std::unique_ptr<Node>;
using Args = std::vector<NodePtr>;

int depthOf(const Args& args);

// Accessors for a child that may be typed or of unknown type; a wrong type marks the failure.
void textOf(const Node& n, Eval& e, std::string& out);
double numOf(const Node& n, Eval& e);
Date dateOf(const Node& n, Eval& e);
bool logicOf(const Node& n, Eval& e);

NodePtr makeConst(Value v);
NodePtr makeSource(std::shared_ptr<const ValueSource> src);

enum class Op {
  kOr, kAnd, kNot,
  kEq, kExactEq, kNe, kLt, kLe, kGt, kGe, kContains,
  kAdd, kSub, kMul, kDiv, kMod, kNeg, kPlus,
};

// Builds an operator over compiled operands; a type error gives InvalidArgument (without
// position, the parser adds it).
Result<NodePtr> buildOperator(Op op, Args args);

struct BuildContext {
  Resolver* resolver;  // nullptr when specialising at evaluation time
  const ExprSettings* settings;
  std::string_view name;  // the function's full upper-case name
};

using Builder = Result<NodePtr> (*)(Args& args, const BuildContext& ctx);

struct FunctionDef {
  std::string_view name;  // upper case
  int minArgs;
  int maxArgs;
  Builder build;
  bool anyTypes;  // the builder copes with operands of unknown type itself
};

// Case-insensitive, with dBase's abbreviation to at least four letters.
const FunctionDef* findFunction(std::string_view name);
Result<NodePtr> buildCall(const FunctionDef& fn, Args args, const BuildContext& ctx);

// Operands of unknown type: evaluates them, then builds (once per combination of types seen)
// the typed node that `build` makes for their actual types.
NodePtr makeDeferred(Args args, std::function<Result<NodePtr>(Args&)> build);

Result<NodePtr> compileTree(std::string_view text, Resolver& resolver, const ExprSettings& settings);

}  // namespace zentor::dbf::exprnode

namespace zentor::dbf::exprnode {

// Buffers a node keeps between evaluations so that its text work allocates only while warming up.
struct Scratch {
  std::string a, b, c, d;
};

// Nodes whose work is a lambda over their operands, one per result type. F is called as
//   text:  void(Eval&, const Args&, std::string& out, Scratch&)
//   num:   double(Eval&, const Args&, Scratch&), date: Date(...), logic: bool(...)
//   value: Value(Eval&, const Args&, Scratch&)   (result type known only at evaluation)
template <class F>
class TextFn final : public Node {
 public:
  TextFn(Args a, F f) : Node(ValueType::kCharacter, depthOf(a) + 1), args_(std::move(a)), f_(std::move(f)) {}
  void text(Eval& e, std::string& out) const override { f_(e, args_, out, s_); }

 private:
  Args args_;
  F f_;
  mutable Scratch s_;
};

template <class F>
class NumFn final : public Node {
 public:
  NumFn(Args a, F f) : Node(ValueType::kNumeric, depthOf(a) + 1), args_(std::move(a)), f_(std::move(f)) {}
  double num(Eval& e) const override { return f_(e, args_, s_); }

 private:
  Args args_;
  F f_;
  mutable Scratch s_;
};

template <class F>
class DateFn final : public Node {
 public:
  DateFn(Args a, F f) : Node(ValueType::kDate, depthOf(a) + 1), args_(std::move(a)), f_(std::move(f)) {}
  Date date(Eval& e) const override { return f_(e, args_, s_); }

 private:
  Args args_;
  F f_;
  mutable Scratch s_;
};

template <class F>
class LogicFn final : public Node {
 public:
  LogicFn(Args a, F f) : Node(ValueType::kLogical, depthOf(a) + 1), args_(std::move(a)), f_(std::move(f)) {}
  bool logic(Eval& e) const override { return f_(e, args_, s_); }

 private:
  Args args_;
  F f_;
  mutable Scratch s_;
};

template <class F>
class AnyFn final : public Node {
 public:
  AnyFn(Args a, F f) : Node(ValueType::kNil, depthOf(a) + 1), args_(std::move(a)), f_(std::move(f)) {}
  Value value(Eval& e) const override { return f_(e, args_, s_); }

 private:
  Args args_;
  F f_;
  mutable Scratch s_;
};

template <class F> NodePtr textFn(Args a, F f) { return std::make_unique<TextFn<F>>(std::move(a), std::move(f)); }
template <class F> NodePtr numFn(Args a, F f) { return std::make_unique<NumFn<F>>(std::move(a), std::move(f)); }
template <class F> NodePtr dateFn(Args a, F f) { return std::make_unique<DateFn<F>>(std::move(a), std::move(f)); }
template <class F> NodePtr logicFn(Args a, F f) { return std::make_unique<LogicFn<F>>(std::move(a), std::move(f)); }
template <class F> NodePtr anyFn(Args a, F f) { return std::make_unique<AnyFn<F>>(std::move(a), std::move(f)); }

// InvalidArgument "type mismatch: <what>".
Status typeMismatch(std::string_view what);

}  // namespace zentor::dbf::exprnode
