// The built-in functions of the expression language.
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "dbf/codepage.h"
#include "expr_node.h"
#include "expr_text.h"

namespace zentor::dbf::exprnode {
namespace {

using VT = ValueType;
using exprtext::byteOffset;
using exprtext::byteOffsetFromEnd;
using exprtext::charCount;
using exprtext::kMaxText;

std::string lowerName(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
  return out;
}

const char* article(VT t) {
  switch (t) {
    case VT::kCharacter: return "text";
    case VT::kNumeric: return "a number";
    case VT::kDate: return "a date";
    case VT::kLogical: return "a logical";
    case VT::kNil: break;
  }
  return "a value";
}

// Checks the operands present against the expected types.
Status expect(const Args& a, std::initializer_list<VT> types, const BuildContext& ctx) {
  size_t i = 0;
  for (VT t : types) {
    if (i >= a.size()) break;
    if (a[i]->type() != t) {
      return typeMismatch("argument " + std::to_string(i + 1) + " of " + lowerName(ctx.name) + "() must be " +
                          article(t));
    }
    ++i;
  }
  return Status::OK();
}

// A count or position from a double, clamped so that casts stay defined.
int64_t toInt(double d) {
  if (!std::isfinite(d)) return 0;
  return static_cast<int64_t>(std::clamp(std::trunc(d), -1e12, 1e12));
}

size_t toCount(double d) {
  const int64_t n = toInt(d);
  return n <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), kMaxText);
}

#define EXPECT_TYPES(...)                                         \
  do {                                                            \
    Status st_ = expect(a, {__VA_ARGS__}, ctx);                   \
    if (!st_.ok()) return st_;                                    \
  } while (0)

Result<NodePtr> fStr(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kNumeric, VT::kNumeric, VT::kNumeric);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    const double n = x[0]->num(e);
    const int width = x.size() > 1 ? static_cast<int>(std::clamp<int64_t>(toInt(x[1]->num(e)), -1, kMaxText)) : 10;
    const int dec = x.size() > 2 ? static_cast<int>(std::clamp<int64_t>(toInt(x[2]->num(e)), 0, 64)) : 0;
    exprtext::formatStr(out, n, width, dec);
  });
}

Result<NodePtr> fUpper(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    exprtext::upperInPlace(out);
  });
}

Result<NodePtr> fLower(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    exprtext::lowerInPlace(out);
  });
}

Result<NodePtr> fLeft(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter, VT::kNumeric);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    out.resize(byteOffset(out, toCount(x[1]->num(e))));
  });
}

Result<NodePtr> fRight(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter, VT::kNumeric);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    const size_t n = toCount(x[1]->num(e));
    out.erase(0, n == 0 ? out.size() : byteOffsetFromEnd(out, n));
  });
}

Result<NodePtr> fSubstr(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter, VT::kNumeric, VT::kNumeric);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    // start 1 and 0 both mean the first character; a negative start counts from the end
    int64_t start = toInt(x[1]->num(e));
    const auto chars = static_cast<int64_t>(charCount(out));
    if (start < 0) {
      start = std::max<int64_t>(chars + start, 0);
    } else if (start > 0) {
      --start;
    }
    if (start >= chars) {
      out.clear();
      return;
    }
    int64_t len = chars - start;
    if (x.size() > 2) len = std::min(len, toInt(x[2]->num(e)));
    if (len <= 0) {
      out.clear();
      return;
    }
    const size_t from = byteOffset(out, static_cast<size_t>(start));
    const size_t to = from + byteOffset(std::string_view(out).substr(from), static_cast<size_t>(len));
    out.resize(to);
    out.erase(0, from);
  });
}

void rtrimText(std::string& s) { s.resize(s.find_last_not_of(' ') + 1); }
void ltrimText(std::string& s) {
  const size_t n = s.find_first_not_of(' ');
  s.erase(0, n == std::string::npos ? s.size() : n);
}

Result<NodePtr> fRtrim(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    rtrimText(out);
  });
}

Result<NodePtr> fLtrim(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    ltrimText(out);
  });
}

Result<NodePtr> fAlltrim(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    x[0]->text(e, out);
    rtrimText(out);
    ltrimText(out);
  });
}

Result<NodePtr> fDtos(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kDate);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    out.assign(x[0]->date(e).dtos());
  });
}

Result<NodePtr> fDtoc(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kDate);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    exprtext::formatDtoc(out, x[0]->date(e));
  });
}

Result<NodePtr> fCtod(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  const int window = ctx.settings->centuryWindowStart;
  return dateFn(std::move(a), [window](Eval& e, const Args& x, Scratch& s) {
    x[0]->text(e, s.a);
    return exprtext::parseCtod(s.a, window);
  });
}

Result<NodePtr> fVal(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch& s) {
    x[0]->text(e, s.a);
    return exprtext::parseVal(s.a);
  });
}

Result<NodePtr> fLen(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch& s) {
    x[0]->text(e, s.a);
    return static_cast<double>(charCount(s.a));
  });
}

Result<NodePtr> fEmpty(Args& a, const BuildContext&) {
  return logicFn(std::move(a), [](Eval& e, const Args& x, Scratch& s) {
    if (x[0]->type() == VT::kCharacter) {
      x[0]->text(e, s.a);
      return s.a.find_first_not_of(" \t\r\n") == std::string::npos;
    }
    return x[0]->value(e).isEmpty();
  });
}

Result<NodePtr> fIif(Args& a, const BuildContext& ctx) {
  if (a[0]->type() != VT::kLogical && a[0]->type() != VT::kNil) return expect(a, {VT::kLogical}, ctx);
  const VT t = a[1]->type();
  if (t != a[2]->type() || t == VT::kNil) {
    // Branches of different or unknown types: the result's type shows when it is evaluated.
    return anyFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
      return logicOf(*x[0], e) ? x[1]->value(e) : x[2]->value(e);
    });
  }
  switch (t) {
    case VT::kCharacter:
      return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
        x[logicOf(*x[0], e) ? 1 : 2]->text(e, out);
      });
    case VT::kNumeric:
      return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return x[logicOf(*x[0], e) ? 1 : 2]->num(e); });
    case VT::kDate:
      return dateFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return x[logicOf(*x[0], e) ? 1 : 2]->date(e); });
    default:
      return logicFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return x[logicOf(*x[0], e) ? 1 : 2]->logic(e); });
  }
}

Result<NodePtr> recordFunction(Args& a, const BuildContext& ctx, RecordFunction fn) {
  std::string alias;
  if (!a.empty()) {
    const Value* c = a[0]->constant();
    if (!c || !c->isCharacter()) {
      return typeMismatch("the argument of " + lowerName(ctx.name) + "() must be an alias in quotes");
    }
    alias = c->text();
    rtrimText(alias);
    ltrimText(alias);
  }
  auto src = ctx.resolver ? ctx.resolver->recordFunction(alias, fn) : nullptr;
  if (!src) return Status::NotFound(lowerName(ctx.name) + "() is not available here");
  return makeSource(std::move(src));
}

Result<NodePtr> fRecno(Args& a, const BuildContext& c) { return recordFunction(a, c, RecordFunction::kRecno); }
Result<NodePtr> fDeleted(Args& a, const BuildContext& c) { return recordFunction(a, c, RecordFunction::kDeleted); }
Result<NodePtr> fEof(Args& a, const BuildContext& c) { return recordFunction(a, c, RecordFunction::kEof); }
Result<NodePtr> fBof(Args& a, const BuildContext& c) { return recordFunction(a, c, RecordFunction::kBof); }
Result<NodePtr> fFound(Args& a, const BuildContext& c) { return recordFunction(a, c, RecordFunction::kFound); }
Result<NodePtr> fReccount(Args& a, const BuildContext& c) { return recordFunction(a, c, RecordFunction::kRecCount); }

Result<NodePtr> fSpace(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kNumeric);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    out.assign(toCount(x[0]->num(e)), ' ');
  });
}

enum class Side { kLeft, kRight, kCentre };

// padl/padr/padc: the text cut or filled to n characters; a cut keeps the start of the text.
template <Side side>
Result<NodePtr> fPad(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter, VT::kNumeric, VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch& s) {
    x[0]->text(e, out);
    const size_t n = toCount(x[1]->num(e));
    s.a.assign(" ");
    if (x.size() > 2) {
      x[2]->text(e, s.a);
      if (s.a.empty()) s.a.assign(" ");
      s.a.resize(byteOffset(s.a, 1));
    }
    const size_t have = charCount(out);
    if (have >= n) {
      out.resize(byteOffset(out, n));
      return;
    }
    const size_t missing = n - have;
    const size_t before = side == Side::kLeft ? missing : side == Side::kRight ? 0 : missing / 2;
    s.b.clear();
    for (size_t i = 0; i < before; ++i) s.b += s.a;
    out.insert(0, s.b);
    for (size_t i = 0; i < missing - before; ++i) out += s.a;
  });
}

template <int part>
Result<NodePtr> fDatePart(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kDate);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
    const Date d = x[0]->date(e);
    return static_cast<double>(part == 0 ? d.year() : part == 1 ? d.month() : part == 2 ? d.day() : d.dayOfWeek());
  });
}

Result<NodePtr> fDate(Args& a, const BuildContext&) {
  return dateFn(std::move(a), [](Eval&, const Args&, Scratch&) { return Date::today(); });
}

Result<NodePtr> fAt(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter, VT::kCharacter);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch& s) {
    x[0]->text(e, s.a);
    x[1]->text(e, s.b);
    if (s.a.empty()) return 0.0;
    const size_t p = s.b.find(s.a);
    return p == std::string::npos ? 0.0 : static_cast<double>(charCount(std::string_view(s.b).substr(0, p)) + 1);
  });
}

Result<NodePtr> fReplicate(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter, VT::kNumeric);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch& s) {
    x[0]->text(e, s.a);
    size_t n = toCount(x[1]->num(e));
    const size_t chars = charCount(s.a);
    if (chars > 0) n = std::min(n, kMaxText / chars);
    out.clear();
    for (size_t i = 0; i < n; ++i) out += s.a;
  });
}

Result<NodePtr> fRound(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kNumeric, VT::kNumeric);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
    const double n = x[0]->num(e);
    return exprtext::roundHalfAway(n, static_cast<int>(std::clamp<int64_t>(toInt(x[1]->num(e)), -15, 15)));
  });
}

Result<NodePtr> fInt(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kNumeric);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return std::trunc(x[0]->num(e)); });
}

Result<NodePtr> fAbs(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kNumeric);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) { return std::fabs(x[0]->num(e)); });
}

template <bool isMax>
Result<NodePtr> fMinMax(Args& a, const BuildContext& ctx) {
  if (a[0]->type() == VT::kDate) {
    EXPECT_TYPES(VT::kDate, VT::kDate);
    return dateFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
      const Date p = x[0]->date(e), q = x[1]->date(e);
      return isMax ? std::max(p, q) : std::min(p, q);
    });
  }
  EXPECT_TYPES(VT::kNumeric, VT::kNumeric);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch&) {
    const double p = x[0]->num(e), q = x[1]->num(e);
    return isMax ? std::max(p, q) : std::min(p, q);
  });
}

Result<NodePtr> fStuff(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter, VT::kNumeric, VT::kNumeric, VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch& s) {
    x[0]->text(e, out);
    const size_t chars = charCount(out);
    int64_t start = toInt(x[1]->num(e));
    start = std::clamp<int64_t>(start < 1 ? 0 : start - 1, 0, static_cast<int64_t>(chars));
    const size_t del = toCount(x[2]->num(e));
    x[3]->text(e, s.a);
    const size_t from = byteOffset(out, static_cast<size_t>(start));
    const size_t to = from + byteOffset(std::string_view(out).substr(from), del);
    out.replace(from, to - from, s.a);
  });
}

Result<NodePtr> fChr(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kNumeric);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch&) {
    // Character codes are those of the table code page, as in the program's files.
    const auto code = static_cast<unsigned char>(static_cast<uint64_t>(toInt(x[0]->num(e))) & 0xFF);
    const char byte = static_cast<char>(code);
    out.assign(toUtf8(std::string_view(&byte, 1), CodePage::kCp850));
  });
}

Result<NodePtr> fAsc(Args& a, const BuildContext& ctx) {
  EXPECT_TYPES(VT::kCharacter);
  return numFn(std::move(a), [](Eval& e, const Args& x, Scratch& s) {
    x[0]->text(e, s.a);
    if (s.a.empty()) return 0.0;
    s.b = fromUtf8(std::string_view(s.a).substr(0, byteOffset(s.a, 1)), CodePage::kCp850);
    return static_cast<double>(static_cast<unsigned char>(s.b[0]));
  });
}

Result<NodePtr> fTransform(Args& a, const BuildContext& ctx) {
  if (a[1]->type() != VT::kNil) EXPECT_TYPES(a[0]->type(), VT::kCharacter);
  return textFn(std::move(a), [](Eval& e, const Args& x, std::string& out, Scratch& s) {
    const Value v = x[0]->value(e);
    textOf(*x[1], e, s.a);
    out = exprtext::transform(v, s.a);
  });
}

// type("expr"): the type letter of an expression given as text, 'U' when it names something
// unknown, "UE" when it does not parse (as dBase). The text is compiled here, once.
Result<NodePtr> fType(Args& a, const BuildContext& ctx) {
  const Value* c = a[0]->constant();
  if (!c || !c->isCharacter()) return typeMismatch("the argument of type() must be an expression in quotes");
  if (!ctx.resolver) return Status::NotFound("type() is not available here");
  auto inner = compileTree(c->text(), *ctx.resolver, *ctx.settings);
  if (!inner.ok()) {
    return makeConst(Value(inner.status().code() == Status::Code::kSyntax ? "UE" : "U"));
  }
  if (inner.value()->type() != VT::kNil) return makeConst(Value(std::string(1, typeLetter(inner.value()->type()))));
  Args held;
  held.push_back(std::move(inner.value()));
  return textFn(std::move(held), [](Eval&, const Args& x, std::string& out, Scratch&) {
    Eval own;  // a failing inner expression is a type 'U', not a failure of this one
    const Value v = x[0]->value(own);
    out.assign(1, own.failed ? 'U' : typeLetter(v.type()));
  });
}

constexpr FunctionDef kFunctions[] = {
    {"ABS", 1, 1, fAbs, false},
    {"ALLTRIM", 1, 1, fAlltrim, false},
    {"ASC", 1, 1, fAsc, false},
    {"AT", 2, 2, fAt, false},
    {"BOF", 0, 1, fBof, true},
    {"CHR", 1, 1, fChr, false},
    {"CTOD", 1, 1, fCtod, false},
    {"DATE", 0, 0, fDate, false},
    {"DAY", 1, 1, fDatePart<2>, false},
    {"DELETED", 0, 1, fDeleted, true},
    {"DOW", 1, 1, fDatePart<3>, false},
    {"DTOC", 1, 1, fDtoc, false},
    {"DTOS", 1, 1, fDtos, false},
    {"EMPTY", 1, 1, fEmpty, true},
    {"EOF", 0, 1, fEof, true},
    {"FOUND", 0, 1, fFound, true},
    {"IIF", 3, 3, fIif, true},
    {"INT", 1, 1, fInt, false},
    {"LEFT", 2, 2, fLeft, false},
    {"LEN", 1, 1, fLen, false},
    {"LOWER", 1, 1, fLower, false},
    {"LTRIM", 1, 1, fLtrim, false},
    {"MAX", 2, 2, fMinMax<true>, false},
    {"MIN", 2, 2, fMinMax<false>, false},
    {"MONTH", 1, 1, fDatePart<1>, false},
    {"PADC", 2, 3, fPad<Side::kCentre>, false},
    {"PADL", 2, 3, fPad<Side::kLeft>, false},
    {"PADR", 2, 3, fPad<Side::kRight>, false},
    {"RECCOUNT", 0, 1, fReccount, true},
    {"RECNO", 0, 1, fRecno, true},
    {"REPLICATE", 2, 2, fReplicate, false},
    {"RIGHT", 2, 2, fRight, false},
    {"ROUND", 2, 2, fRound, false},
    {"RTRIM", 1, 1, fRtrim, false},
    {"SPACE", 1, 1, fSpace, false},
    {"STR", 1, 3, fStr, false},
    {"STUFF", 4, 4, fStuff, false},
    {"SUBSTR", 2, 3, fSubstr, false},
    {"TRANSFORM", 2, 2, fTransform, true},
    {"TRIM", 1, 1, fRtrim, false},
    {"TYPE", 1, 1, fType, true},
    {"UPPER", 1, 1, fUpper, false},
    {"VAL", 1, 1, fVal, false},
    {"YEAR", 1, 1, fDatePart<0>, false},
};

}  // namespace

const FunctionDef* findFunction(std::string_view name) {
  std::string upper(name);
  for (auto& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
  for (const auto& f : kFunctions) {
    if (f.name == upper) return &f;
  }
  // dBase reads a function name by its first four letters (or more, as written): SUBS( is substr(.
  if (upper.size() < 4) return nullptr;
  for (const auto& f : kFunctions) {
    if (f.name.size() > upper.size() && f.name.substr(0, upper.size()) == upper) return &f;
  }
  return nullptr;
}

Result<NodePtr> buildCall(const FunctionDef& fn, Args args, const BuildContext& ctx) {
  if (!fn.anyTypes) {
    for (const auto& x : args) {
      if (x->type() == VT::kNil) {
        const ExprSettings settings = *ctx.settings;
        return makeDeferred(std::move(args), [&fn, settings](Args& held) {
          const BuildContext late{nullptr, &settings, fn.name};
          return fn.build(held, late);
        });
      }
    }
  }
  return fn.build(args, ctx);
}

}  // namespace zentor::dbf::exprnode
