#include "dbf/expr.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <utility>

#include "dbf/codepage.h"
#include "dbf/collation.h"
#include "expr_node.h"
#include "expr_text.h"

namespace zentor::dbf {

using namespace exprnode;

// ---------------------------------------------------------------------------------------------
// Lexer

namespace {

enum class Tok {
  kEnd,
  kNumber,
  kString,
  kName,     // identifier, possibly ALIAS.FIELD (alias filled)
  kLogical,  // .T. .F. .Y. .N.
  kAnd,
  kOr,
  kNot,
  kArrow,
  kLParen,
  kRParen,
  kComma,
  kOp,  // + - * / % = == != <> # < <= > >= $
};

struct Token {
  Tok kind = Tok::kEnd;
  size_t pos = 0;  // byte offset in the text
  std::string_view text;
  std::string_view alias;  // kName written as ALIAS.FIELD
  bool truth = false;      // kLogical
};

bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (upperAscii(a[i]) != upperAscii(b[i])) return false;
  }
  return true;
}

std::string upperName(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = upperAscii(c);
  return out;
}

// The dotted keyword (.AND. .T. ...) at s[i], or kEnd.
Tok dottedKeyword(std::string_view s, size_t i, size_t& len, bool& truth) {
  static constexpr struct {
    std::string_view word;
    Tok tok;
    bool truth;
  } kWords[] = {{".AND.", Tok::kAnd, false}, {".OR.", Tok::kOr, false}, {".NOT.", Tok::kNot, false},
                {".T.", Tok::kLogical, true}, {".Y.", Tok::kLogical, true},
                {".F.", Tok::kLogical, false}, {".N.", Tok::kLogical, false}};
  for (const auto& w : kWords) {
    if (s.size() - i >= w.word.size() && equalsNoCase(s.substr(i, w.word.size()), w.word)) {
      len = w.word.size();
      truth = w.truth;
      return w.tok;
    }
  }
  return Tok::kEnd;
}

struct LexError {
  size_t pos;
  std::string what;
};

// Splits the whole text up front; expressions are short and the parser then looks ahead freely.
bool tokenize(std::string_view s, std::vector<Token>& out, LexError& err) {
  size_t i = 0;
  while (true) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
    Token t;
    t.pos = i;
    if (i == s.size()) {
      out.push_back(t);
      return true;
    }
    const char c = s[i];
    size_t len = 1;
    if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
      while (i + len < s.size() && isDigit(s[i + len])) ++len;
      if (i + len < s.size() && s[i + len] == '.' && c != '.') {
        // "1.AND." is 1 followed by .AND.; "1.5" is a number.
        size_t kwLen = 0;
        bool truth = false;
        if (dottedKeyword(s, i + len, kwLen, truth) == Tok::kEnd) {
          ++len;
          while (i + len < s.size() && isDigit(s[i + len])) ++len;
        }
      } else if (c == '.') {
        while (i + len < s.size() && isDigit(s[i + len])) ++len;
      }
      t.kind = Tok::kNumber;
    } else if (c == '.') {
      bool truth = false;
      t.kind = dottedKeyword(s, i, len, truth);
      t.truth = truth;
      if (t.kind == Tok::kEnd) {
        err = {i, "unexpected '.'"};
        return false;
      }
    } else if (c == '\'' || c == '"') {
      const size_t close = s.find(c, i + 1);
      if (close == std::string_view::npos) {
        err = {i, "unterminated text literal"};
        return false;
      }
      len = close - i + 1;
      t.kind = Tok::kString;
    } else if (isIdentStart(c)) {
      while (i + len < s.size() && isIdentChar(s[i + len])) ++len;
      t.kind = Tok::kName;
      // ALIAS.FIELD, but not NAME.AND.
      size_t kwLen = 0;
      bool truth = false;
      if (i + len + 1 < s.size() && s[i + len] == '.' && isIdentStart(s[i + len + 1]) &&
          dottedKeyword(s, i + len, kwLen, truth) == Tok::kEnd) {
        t.alias = s.substr(i, len);
        const size_t start = i + len + 1;
        size_t n = 1;
        while (start + n < s.size() && isIdentChar(s[start + n])) ++n;
        len = start + n - i;
        t.text = s.substr(start, n);
        out.push_back(t);
        i += len;
        continue;
      }
    } else {
      const char d = i + 1 < s.size() ? s[i + 1] : '\0';
      switch (c) {
        case '(': t.kind = Tok::kLParen; break;
        case ')': t.kind = Tok::kRParen; break;
        case ',': t.kind = Tok::kComma; break;
        case '-':
          if (d == '>') {
            t.kind = Tok::kArrow;
            len = 2;
          } else {
            t.kind = Tok::kOp;
          }
          break;
        case '!':
          if (d == '=') {
            t.kind = Tok::kOp;
            len = 2;
          } else {
            t.kind = Tok::kNot;
          }
          break;
        case '=':
        case '<':
        case '>':
          t.kind = Tok::kOp;
          if (d == '=' || (c == '<' && d == '>')) len = 2;
          break;
        case '+': case '*': case '/': case '%': case '#': case '$':
          t.kind = Tok::kOp;
          break;
        default: {
          const size_t n = exprtext::byteOffset(s.substr(i), 1);
          err = {i, "unexpected '" + std::string(s.substr(i, n)) + "'"};
          return false;
        }
      }
    }
    if (t.text.empty()) t.text = s.substr(i, len);
    out.push_back(t);
    i += len;
  }
}

// ---------------------------------------------------------------------------------------------
// Parser

// A nesting deeper than this is no real expression; refusing it keeps the recursion of parsing and
// evaluation within the stack.
constexpr int kMaxDepth = 200;

class Parser {
 public:
  Parser(std::string_view text, Resolver& resolver, const ExprSettings& settings)
      : text_(text), resolver_(resolver), settings_(settings) {}

  Result<NodePtr> run() {
    LexError le;
    if (!tokenize(text_, toks_, le)) return syntax(le.pos, le.what);
    auto r = parseOr();
    if (!r.ok()) return r;
    if (peek().kind != Tok::kEnd) return syntax(peek().pos, "expected the end of the expression");
    return r;
  }

 private:
  const Token& peek() const { return toks_[at_]; }
  const Token& next() { return toks_[at_ < toks_.size() - 1 ? at_++ : at_]; }
  bool isOp(std::string_view op) const { return peek().kind == Tok::kOp && peek().text == op; }

  size_t column(size_t pos) const { return exprtext::charCount(text_.substr(0, pos)) + 1; }
  std::string where(size_t pos) const {
    return " at column " + std::to_string(column(pos)) + " in \"" + std::string(text_) + "\"";
  }
  Status syntax(size_t pos, const std::string& what) const {
    return Status::Syntax("syntax error at column " + std::to_string(column(pos)) + ": " + what +
                          " in \"" + std::string(text_) + "\"");
  }
  Status located(const Status& s, size_t pos) const {
    const std::string msg = s.message() + where(pos);
    switch (s.code()) {
      case Status::Code::kNotFound: return Status::NotFound(msg);
      case Status::Code::kSyntax: return Status::Syntax(msg);
      default: return Status::InvalidArgument(msg);
    }
  }

  struct DepthGuard {
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    int& depth;
  };

  Result<NodePtr> binary(Op op, NodePtr a, NodePtr b, size_t pos) {
    Args args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    auto r = buildOperator(op, std::move(args));
    if (!r.ok()) return located(r.status(), pos);
    return r;
  }

  Result<NodePtr> parseOr() {
    auto left = parseAnd();
    while (left.ok() && peek().kind == Tok::kOr) {
      const size_t pos = next().pos;
      auto right = parseAnd();
      if (!right.ok()) return right;
      left = binary(Op::kOr, std::move(left.value()), std::move(right.value()), pos);
    }
    return left;
  }

  Result<NodePtr> parseAnd() {
    auto left = parseNot();
    while (left.ok() && peek().kind == Tok::kAnd) {
      const size_t pos = next().pos;
      auto right = parseNot();
      if (!right.ok()) return right;
      left = binary(Op::kAnd, std::move(left.value()), std::move(right.value()), pos);
    }
    return left;
  }

  Result<NodePtr> parseNot() {
    if (peek().kind != Tok::kNot) return parseRelation();
    DepthGuard g(depth_);
    const size_t pos = next().pos;
    if (depth_ > kMaxDepth) return syntax(pos, "expression nested too deeply");
    auto operand = parseNot();
    if (!operand.ok()) return operand;
    Args args;
    args.push_back(std::move(operand.value()));
    auto r = buildOperator(Op::kNot, std::move(args));
    if (!r.ok()) return located(r.status(), pos);
    return r;
  }

  Result<NodePtr> parseRelation() {
    static constexpr struct {
      std::string_view text;
      Op op;
    } kOps[] = {{"=", Op::kEq},  {"==", Op::kExactEq}, {"!=", Op::kNe}, {"<>", Op::kNe},
                {"#", Op::kNe},  {"<", Op::kLt},       {"<=", Op::kLe}, {">", Op::kGt},
                {">=", Op::kGe}, {"$", Op::kContains}};
    auto left = parseAdditive();
    while (left.ok() && peek().kind == Tok::kOp) {
      const Op* op = nullptr;
      for (const auto& o : kOps) {
        if (peek().text == o.text) op = &o.op;
      }
      if (!op) break;
      const size_t pos = next().pos;
      auto right = parseAdditive();
      if (!right.ok()) return right;
      left = binary(*op, std::move(left.value()), std::move(right.value()), pos);
    }
    return left;
  }

  Result<NodePtr> parseAdditive() {
    auto left = parseMultiplicative();
    while (left.ok() && (isOp("+") || isOp("-"))) {
      const Op op = peek().text == "+" ? Op::kAdd : Op::kSub;
      const size_t pos = next().pos;
      auto right = parseMultiplicative();
      if (!right.ok()) return right;
      left = binary(op, std::move(left.value()), std::move(right.value()), pos);
    }
    return left;
  }

  Result<NodePtr> parseMultiplicative() {
    auto left = parseUnary();
    while (left.ok() && (isOp("*") || isOp("/") || isOp("%"))) {
      const Op op = peek().text == "*" ? Op::kMul : peek().text == "/" ? Op::kDiv : Op::kMod;
      const size_t pos = next().pos;
      auto right = parseUnary();
      if (!right.ok()) return right;
      left = binary(op, std::move(left.value()), std::move(right.value()), pos);
    }
    return left;
  }

  Result<NodePtr> parseUnary() {
    if (!isOp("-") && !isOp("+")) return parsePrimary();
    DepthGuard g(depth_);
    const bool minus = peek().text == "-";
    const size_t pos = next().pos;
    if (depth_ > kMaxDepth) return syntax(pos, "expression nested too deeply");
    auto operand = parseUnary();
    if (!operand.ok()) return operand;
    Args args;
    args.push_back(std::move(operand.value()));
    auto r = buildOperator(minus ? Op::kNeg : Op::kPlus, std::move(args));
    if (!r.ok()) return located(r.status(), pos);
    return r;
  }

  Result<NodePtr> parsePrimary() {
    const Token t = peek();
    switch (t.kind) {
      case Tok::kNumber: {
        next();
        return makeConst(Value(std::strtod(std::string(t.text).c_str(), nullptr)));
      }
      case Tok::kString:
        next();
        return makeConst(Value(t.text.substr(1, t.text.size() - 2)));
      case Tok::kLogical:
        next();
        return makeConst(Value::logical(t.truth));
      case Tok::kLParen: {
        DepthGuard g(depth_);
        next();
        if (depth_ > kMaxDepth) return syntax(t.pos, "expression nested too deeply");
        auto inner = parseOr();
        if (!inner.ok()) return inner;
        if (peek().kind != Tok::kRParen) return syntax(peek().pos, "expected ')'");
        next();
        return inner;
      }
      case Tok::kName: return parseName();
      case Tok::kEnd: return syntax(t.pos, "expected an operand");
      default: return syntax(t.pos, "unexpected '" + std::string(t.text) + "'");
    }
  }

  Result<NodePtr> parseName() {
    const Token t = next();
    if (t.alias.empty() && peek().kind == Tok::kLParen) return parseCall(t);
    std::string_view alias = t.alias, name = t.text;
    if (alias.empty() && peek().kind == Tok::kArrow) {
      next();
      if (peek().kind != Tok::kName || !peek().alias.empty()) {
        return syntax(peek().pos, "expected a field name after '->'");
      }
      alias = name;
      name = next().text;
    }
    auto src = resolver_.resolve(alias, name);
    if (!src) {
      std::string full = alias.empty() ? std::string(name) : std::string(alias) + "->" + std::string(name);
      return Status::NotFound("unknown name '" + full + "'" + where(t.pos));
    }
    return makeSource(std::move(src));
  }

  Result<NodePtr> parseCall(const Token& nameTok) {
    DepthGuard g(depth_);
    if (depth_ > kMaxDepth) return syntax(nameTok.pos, "expression nested too deeply");
    const FunctionDef* fn = findFunction(nameTok.text);
    if (!fn) return Status::NotFound("unknown function '" + std::string(nameTok.text) + "()'" + where(nameTok.pos));
    next();  // '('
    Args args;
    if (peek().kind != Tok::kRParen) {
      while (true) {
        auto arg = parseOr();
        if (!arg.ok()) return arg;
        args.push_back(std::move(arg.value()));
        if (peek().kind == Tok::kComma) {
          next();
          continue;
        }
        if (peek().kind != Tok::kRParen) return syntax(peek().pos, "expected ')'");
        break;
      }
    }
    next();  // ')'
    if (static_cast<int>(args.size()) < fn->minArgs || static_cast<int>(args.size()) > fn->maxArgs) {
      return Status::InvalidArgument("wrong number of arguments for " + lowerName(fn->name) + "()" +
                                     where(nameTok.pos));
    }
    BuildContext ctx{&resolver_, &settings_, fn->name};
    auto r = buildCall(*fn, std::move(args), ctx);
    if (!r.ok()) return located(r.status(), nameTok.pos);
    return r;
  }

  static std::string lowerName(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
    return out;
  }

  std::string_view text_;
  Resolver& resolver_;
  const ExprSettings& settings_;
  std::vector<Token> toks_;
  size_t at_ = 0;
  int depth_ = 0;
};

}  // namespace

namespace exprnode {

Result<NodePtr> compileTree(std::string_view text, Resolver& resolver, const ExprSettings& settings) {
  return Parser(text, resolver, settings).run();
}

}  // namespace exprnode

// ---------------------------------------------------------------------------------------------
// Expression

struct Expression::Impl {
  std::string text;
  NodePtr root;
};

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Result<Expression> Expression::compile(std::string_view text, Resolver& resolver, const ExprSettings& settings) {
  auto tree = compileTree(text, resolver, settings);
  if (!tree.ok()) return tree.status();
  Expression e;
  e.impl_ = std::make_unique<Impl>();
  e.impl_->text = std::string(text);
  e.impl_->root = std::move(tree.value());
  return e;
}

const std::string& Expression::text() const {
  static const std::string kEmpty;
  return impl_ ? impl_->text : kEmpty;
}

ValueType Expression::resultType() const { return impl_ ? impl_->root->type() : ValueType::kNil; }

Value Expression::evaluate() const {
  if (!impl_) return Value();
  Eval e;
  Value v = impl_->root->value(e);
  return e.failed ? Value() : v;
}

bool Expression::evaluateText(std::string& out) const {
  if (impl_ && impl_->root->type() == ValueType::kCharacter) {
    Eval e;
    impl_->root->text(e, out);
    if (!e.failed) return true;
  } else if (impl_ && impl_->root->type() == ValueType::kNil) {
    const Value v = evaluate();
    if (v.isCharacter()) {
      out.assign(v.text());
      return true;
    }
  }
  out.clear();
  return false;
}

bool Expression::test() const {
  if (!impl_) return false;
  if (impl_->root->type() == ValueType::kLogical) {
    Eval e;
    const bool b = impl_->root->logic(e);
    return b && !e.failed;
  }
  const Value v = evaluate();
  return v.isLogical() && v.boolean();
}

// ---------------------------------------------------------------------------------------------
// MapResolver

struct MapResolver::Slot final : ValueSource {
  std::string key;  // upper case
  Value value;
  Value get() const override { return value; }
  ValueType type() const override { return value.type(); }
  bool getText(std::string& out) const override {
    if (!value.isCharacter()) return false;
    out.assign(value.text());
    return true;
  }
};

void MapResolver::set(std::string name, Value v) {
  const std::string key = upperName(name);
  for (auto& s : slots_) {
    if (s->key == key) {
      s->value = std::move(v);
      return;
    }
  }
  auto slot = std::make_shared<Slot>();
  slot->key = key;
  slot->value = std::move(v);
  slots_.push_back(std::move(slot));
}

std::shared_ptr<const ValueSource> MapResolver::resolve(std::string_view alias, std::string_view name) {
  std::string key = alias.empty() ? upperName(name) : upperName(alias) + "." + upperName(name);
  for (auto& s : slots_) {
    if (s->key == key) return s;
  }
  return nullptr;
}

std::string dbaseStr(double n, int width, int decimals) {
  std::string out;
  exprtext::formatStr(out, n, width, decimals);
  return out;
}

}  // namespace zentor::dbf
