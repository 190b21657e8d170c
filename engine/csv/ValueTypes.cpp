#include "engine/csv/ValueTypes.h"

#include <array>

namespace rowvane {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
  for (const char c : text) {
    if (!IsDigit(c)) {
      return false;
    }
  }
  return !text.empty();
}

// "0", or digits that do not start with 0; `signedZero`: "-0" too.
bool IsWholePart(std::string_view text, bool signedZero) {
  const bool negative = text.starts_with('-');
  const std::string_view digits = negative ? text.substr(1) : text;
  if (!AllDigits(digits)) {
    return false;
  }
  if (digits == "0") {
    return !negative || signedZero;
  }
  return digits.front() != '0';
}

bool IsInteger(std::string_view text) {
  return IsWholePart(text, false);
}

bool IsDecimal(std::string_view text) {
  const auto point = text.find('.');
  if (point == std::string_view::npos) {
    return IsInteger(text);
  }
  return IsWholePart(text.substr(0, point), true) && AllDigits(text.substr(point + 1));
}

int Number(std::string_view digits) {
  int number = 0;
  for (const char c : digits) {
    number = number * 10 + (c - '0');
  }
  return number;
}

// Two digits from `at` between `low` and `high`.
bool TwoDigits(std::string_view text, std::size_t at, int low, int high) {
  if (!IsDigit(text[at]) || !IsDigit(text[at + 1])) {
    return false;
  }
  const int number = Number(text.substr(at, 2));
  return number >= low && number <= high;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// YYYY-MM-DD at the start of `text`, a day that exists.
bool StartsWithDate(std::string_view text) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !AllDigits(text.substr(0, 4))) {
    return false;
  }
  const int year = Number(text.substr(0, 4));
  if (year < 1 || !TwoDigits(text, 5, 1, 12)) {
    return false;
  }
  constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int month = Number(text.substr(5, 2));
  const int days = kDays[static_cast<std::size_t>(month - 1)] + (month == 2 && IsLeapYear(year));
  return TwoDigits(text, 8, 1, days);
}

bool IsDate(std::string_view text) {
  return text.size() == 10 && StartsWithDate(text);
}

bool IsZone(std::string_view zone) {
  if (zone.empty() || zone == "Z") {
    return true;
  }
  // From -14:00 to +14:00.
  return zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':' &&
         TwoDigits(zone, 1, 0, 14) && TwoDigits(zone, 4, 0, zone.substr(1, 2) == "14" ? 0 : 59);
}

bool IsDateTime(std::string_view text) {
  // YYYY-MM-DDThh:mm:ss is 19 characters.
  if (text.size() < 19 || !StartsWithDate(text) || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || !TwoDigits(text, 11, 0, 23) || !TwoDigits(text, 14, 0, 59) ||
      !TwoDigits(text, 17, 0, 59)) {
    return false;
  }
  std::string_view rest = text.substr(19);
  if (rest.starts_with('.')) {
    std::size_t digits = 1;
    while (digits < rest.size() && IsDigit(rest[digits])) {
      ++digits;
    }
    if (digits == 1) {
      return false;
    }
    rest.remove_prefix(digits);
  }
  return IsZone(rest);
}

}  // namespace

ValueTypeSet ValueTypesOf(std::string_view value) {
  ValueTypeSet types = Bit(ValueType::String);
  if (IsInteger(value)) {
    types |= Bit(ValueType::Integer);
  }
  if (IsDecimal(value)) {
    types |= Bit(ValueType::Decimal);
  }
  if (value == "true" || value == "false") {
    types |= Bit(ValueType::Boolean);
  }
  if (IsDate(value)) {
    types |= Bit(ValueType::Date);
  }
  if (IsDateTime(value)) {
    types |= Bit(ValueType::DateTime);
  }
  return types;
}

ValueType NarrowestOf(ValueTypeSet types) {
  for (const ValueType type : {ValueType::Integer, ValueType::Decimal, ValueType::Boolean,
                               ValueType::Date, ValueType::DateTime}) {
    if ((types & Bit(type)) != 0) {
      return type;
    }
  }
  return ValueType::String;
}

std::string_view SchemaTypeName(ValueType type) {
  switch (type) {
    case ValueType::Integer:
      return "xs:integer";
    case ValueType::Decimal:
      return "xs:decimal";
    case ValueType::Boolean:
      return "xs:boolean";
    case ValueType::Date:
      return "xs:date";
    case ValueType::DateTime:
      return "xs:dateTime";
    case ValueType::String:
      break;
  }
  return "xs:string";
}

}  // namespace rowvane
