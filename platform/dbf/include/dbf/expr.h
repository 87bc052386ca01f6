// The dBase expression language: one parser and evaluator for index keys, filters, report
// expressions and scripts.
//
// Grammar (case-insensitive keywords and function names):
//   literals  'text' "text" 123 1.5 .T. .F. .Y. .N.
//   names     FIELD  ALIAS.FIELD  ALIAS->FIELD  (and report variables, through the Resolver)
//   operators + - * / %  unary - +   = == != <> # < <= > >=   $ (substring)   .AND. .OR. .NOT. !
//   functions str upper lower left right substr trim rtrim ltrim alltrim dtos dtoc ctod val len
//             empty iif deleted recno space padl padr padc year month day date at replicate
//             round int abs max min stuff chr asc transform type eof bof found reccount dow
//             (a name may be shortened to four letters or more: SUBS( is substr()
// Text '=' follows the dBase prefix rule (SET EXACT OFF): "ABC" = "AB" is true, "AB" = "ABC" false,
// comparing after the right operand; '==' compares exactly (trailing blanks matter). < <= > >=
// also compare over the right operand's length, so exactly one of <, =, > holds ("MAUS" <= "M").
// Text comparison uses the German order of collation.h. Text + text concatenates, text - text
// concatenates with the trailing blanks of the left operand moved to the end, date + n adds days,
// date - date gives days (0 when either is empty). x / 0 and x % 0 give 0.
//
// Compiled once into a tree whose names are already bound, evaluated per record without parsing.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/status.h"
#include "dbf/value.h"

namespace zentor::dbf {

// Something an expression reads: a field of a table, a report variable.
class ValueSource {
 public:
  virtual ~ValueSource() = default;
  virtual Value get() const = 0;
  // The type the source will deliver, or kNil when it is only known at evaluation time.
  virtual ValueType type() const = 0;
  // get() for text, into `out` reusing its capacity; false when the value is not text. Sources
  // that hold their text override it to spare an allocation per read (index building).
  virtual bool getText(std::string& out) const {
    const Value v = get();
    if (!v.isCharacter()) return false;
    out.assign(v.text());
    return true;
  }
};

// Record-level functions that need the table they refer to.
enum class RecordFunction { kRecno, kDeleted, kEof, kBof, kFound, kRecCount };

// Binds names at compile time. The expression keeps the returned sources alive.
class Resolver {
 public:
  virtual ~Resolver() = default;
  // `alias` is empty for an unqualified name. Names arrive as written; lookups are
  // case-insensitive by convention. nullptr = unknown name (a compile error).
  virtual std::shared_ptr<const ValueSource> resolve(std::string_view alias, std::string_view name) = 0;
  // recno(), deleted() ... optionally with an alias argument: recno("KND"). nullptr = not available.
  virtual std::shared_ptr<const ValueSource> recordFunction(std::string_view alias, RecordFunction fn) {
    (void)alias;
    (void)fn;
    return nullptr;
  }
};

// Evaluation settings shared by all expressions of a program run.
struct ExprSettings {
  // ctod()/dtoc(): German day.month.year with century; two-digit years read in the 100-year window
  // that starts at `centuryWindowStart`.
  int centuryWindowStart = 1930;
};

class Expression {
 public:
  Expression();
  ~Expression();
  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;
  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  // Parses and binds `text`. A syntax error gives Status::Syntax naming the 1-based column and
  // what was expected ("Syntaxfehler"-free English message for developers; callers translate).
  // Unknown names or functions and type errors that can be seen statically also fail here.
  static Result<Expression> compile(std::string_view text, Resolver& resolver,
                                    const ExprSettings& settings = {});

  bool valid() const { return impl_ != nullptr; }
  const std::string& text() const;
  // Statically known result type, kNil when it depends on sources of unknown type.
  ValueType resultType() const;

  // Evaluates against the current state of the bound sources. A type error that only shows at
  // run time gives a nil value. The compiled tree keeps scratch buffers: one Expression must not
  // be evaluated by two threads at once (compile one per thread instead).
  Value evaluate() const;
  // evaluate() for a text result, into `out` reusing its capacity (the index builder's path).
  // False, with `out` cleared, when the result is not text.
  bool evaluateText(std::string& out) const;
  // evaluate() as a logical; anything but logical true is false.
  bool test() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A resolver over fixed named values, for tests and for simple callers. A name may carry an
// alias ("ART.TXT" answers ART->TXT and Art.Txt). Values may change after compiling; a compiled
// expression sees the new value. Its type is taken when compiling: a later value of another type
// makes the expressions reading it evaluate to nil. Expressions keep the slots alive.
class MapResolver : public Resolver {
 public:
  void set(std::string name, Value v);  // case-insensitive name
  std::shared_ptr<const ValueSource> resolve(std::string_view alias, std::string_view name) override;

 private:
  struct Slot;
  std::vector<std::shared_ptr<Slot>> slots_;
};

// Formatting helpers that the expression functions use and that callers need too.
// str(n, width, decimals): right-aligned, '*' filled when it does not fit, as dBase.
std::string dbaseStr(double n, int width = 10, int decimals = 0);

}  // namespace zentor::dbf
