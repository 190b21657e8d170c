#include "engine/xml/expression/ExpressionValue.h"

namespace rowvane {

ExpressionValue ExpressionValue::Text(std::string text) {
  ExpressionValue value;
  value.m_owned = std::move(text);
  return value;
}

ExpressionValue ExpressionValue::View(std::string_view text, std::size_t field) {
  ExpressionValue value;
  value.m_view = text;
  value.m_borrowed = true;
  value.m_field = field;
  return value;
}

ExpressionValue ExpressionValue::Number(const Decimal& number) {
  ExpressionValue value;
  value.m_kind = Kind::Number;
  value.m_number = number;
  return value;
}

ExpressionValue ExpressionValue::Boolean(bool truth) {
  ExpressionValue value;
  value.m_kind = Kind::Boolean;
  value.m_boolean = truth;
  return value;
}

void ExpressionValue::write(std::string& out) const {
  switch (m_kind) {
    case Kind::Text:
      out.append(text());
      break;
    case Kind::Number:
      m_number.appendTo(out);
      break;
    case Kind::Boolean:
      if (m_boolean) {
        out.append("true");
      }
      break;
  }
}

std::string ExpressionValue::written() const {
  std::string out;
  write(out);
  return out;
}

bool ExpressionValue::isTrue() const {
  switch (m_kind) {
    case Kind::Text:
      return !text().empty();
    case Kind::Number:
      return true;
    case Kind::Boolean:
      return m_boolean;
  }
  return false;
}

ExpressionValue ExpressionValue::owned() const {
  ExpressionValue copy = *this;
  if (m_borrowed) {
    copy.m_owned.assign(m_view);
    copy.m_view = {};
    copy.m_borrowed = false;
  }
  return copy;
}

NeededNumber AsNumber(const ExpressionValue& value) {
  NeededNumber needed;
  if (value.isNumber()) {
    needed.status = NeededNumber::Status::Number;
    needed.number = value.number();
  } else if (value.isBoolean()) {
    needed.status = NeededNumber::Status::Problem;
    needed.problem = "a boolean is not a number";
  } else {
    const DecimalReading reading = ReadDecimal(value.text());
    needed.number = reading.value;
    switch (reading.status) {
      case DecimalReading::Status::Number:
        needed.status = NeededNumber::Status::Number;
        break;
      case DecimalReading::Status::Empty:
        break;
      case DecimalReading::Status::NotNumber:
        needed.status = NeededNumber::Status::Problem;
        needed.problem = "'" + std::string(value.text()) + "' is not a number";
        break;
      case DecimalReading::Status::OutOfRange:
        needed.status = NeededNumber::Status::Problem;
        needed.problem = "'" + std::string(value.text()) + "': number out of range";
        break;
    }
  }
  return needed;
}

}  // namespace rowvane
