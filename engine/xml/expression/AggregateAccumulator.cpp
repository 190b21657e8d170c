#include "engine/xml/expression/AggregateAccumulator.h"

#include "engine/xml/expression/ExpressionValueError.h"

namespace rowvane {

void AggregateAccumulator::add(const ExpressionValue& value) {
  switch (m_kind) {
    case AggregateKind::Count:
      m_count += value.isTrue() ? 1 : 0;
      return;
    case AggregateKind::Sum: {
      if (!value.isTrue()) {
        return;
      }
      const NeededNumber needed = AsNumber(value);
      if (needed.status == NeededNumber::Status::Problem) {
        throw ExpressionValueError({}, {}, needed.problem);
      }
      const Decimal number = needed.number;
      try {
        m_number = m_number + number;
      } catch (const DecimalError& error) {
        throw ExpressionValueError({}, {}, error.what());
      }
      return;
    }
    case AggregateKind::Min:
    case AggregateKind::Max:
      addExtreme(value);
      return;
    case AggregateKind::First:
    case AggregateKind::Last:
      if (m_kind == AggregateKind::Last || m_count == 0) {
        m_valueKind = value.kind();
        m_text.assign(value.isText() ? value.text() : std::string_view());
        m_number = value.number();
        m_boolean = value.boolean();
        m_field = value.field() == ExpressionValue::kNoField
                      ? kNoField
                      : static_cast<std::uint32_t>(value.field());
      }
      ++m_count;
      return;
  }
}

void AggregateAccumulator::addExtreme(const ExpressionValue& value) {
  std::string scratch;
  std::string_view written;
  if (value.isText()) {
    written = value.text();
  } else {
    value.write(scratch);
    written = scratch;
  }
  DecimalReading number;
  if (value.isNumber()) {
    number = {DecimalReading::Status::Number, value.number()};
  } else if (value.isBoolean()) {
    number.status = DecimalReading::Status::NotNumber;
  } else {
    number = ReadDecimal(written);
  }
  if (written.empty() || number.status == DecimalReading::Status::Empty) {
    return;  // no value: blank text too
  }
  const bool least = m_kind == AggregateKind::Min;
  // Both orders are kept: a later value that is no number turns the result to texts.
  if (m_count == 0 || (least ? written < m_text : written > m_text)) {
    m_text.assign(written);
  }
  if (m_numeric) {
    if (number.status != DecimalReading::Status::Number) {
      m_numeric = false;
    } else if (m_count == 0 || (least ? number.value < m_number : number.value > m_number)) {
      m_number = number.value;
    }
  }
  ++m_count;
}

ExpressionValue AggregateAccumulator::result() const {
  switch (m_kind) {
    case AggregateKind::Count:
      return ExpressionValue::Number(Decimal::FromInteger(static_cast<std::int64_t>(m_count)));
    case AggregateKind::Sum:
      return ExpressionValue::Number(m_number);
    case AggregateKind::Min:
    case AggregateKind::Max:
      if (m_count == 0) {
        return ExpressionValue();
      }
      return m_numeric ? ExpressionValue::Number(m_number) : ExpressionValue::Text(m_text);
    case AggregateKind::First:
    case AggregateKind::Last:
      break;
  }
  if (m_count == 0) {
    return ExpressionValue();
  }
  const std::size_t field = m_field == kNoField ? ExpressionValue::kNoField : m_field;
  switch (m_valueKind) {
    case ExpressionValue::Kind::Number:
      return ExpressionValue::Number(m_number);
    case ExpressionValue::Kind::Boolean:
      return ExpressionValue::Boolean(m_boolean);
    case ExpressionValue::Kind::Text:
      break;
  }
  return ExpressionValue::View(m_text, field).owned();
}

}  // namespace rowvane
