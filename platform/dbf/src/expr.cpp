#include "dbf/expr.h"

namespace zentor::dbf {

struct Expression::Impl {
  std::string text;
};

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Result<Expression> Expression::compile(std::string_view text, Resolver&, const ExprSettings&) {
  return Status::NotSupported("expressions are not available yet: " + std::string(text));
}

const std::string& Expression::text() const {
  static const std::string kEmpty;
  return impl_ ? impl_->text : kEmpty;
}
ValueType Expression::resultType() const { return ValueType::kNil; }
Value Expression::evaluate() const { return Value(); }
bool Expression::test() const { return evaluate().boolean(); }

struct MapResolver::Slot {};
void MapResolver::set(std::string, Value) {}
std::shared_ptr<const ValueSource> MapResolver::resolve(std::string_view, std::string_view) { return nullptr; }

std::string dbaseStr(double, int width, int) { return std::string(width > 0 ? width : 0, '*'); }

}  // namespace zentor::dbf
