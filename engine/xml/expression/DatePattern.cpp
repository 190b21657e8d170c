#include "engine/xml/expression/DatePattern.h"

#include <array>
#include <charconv>

namespace rowvane {
namespace {

enum class Part : std::uint8_t { Year, Month, Day, Hour, Minute, Second, Literal };

struct PatternToken {
  std::string_view text;
  Part part;
  int least;  ///< digits
  int most;
};

constexpr std::array<const char*, 6> kPartNames = {"year", "month",  "day",
                                                   "hour", "minute", "second"};

// The pattern's token at its start (not empty), the longest that stands
// there; a literal of one byte when none does.
PatternToken NextToken(std::string_view pattern) {
  const char c = pattern.front();
  const bool doubled = pattern.size() > 1 && pattern[1] == c;
  switch (c) {
    case 'Y':
      if (pattern.size() >= 4 && pattern[1] == 'Y' && pattern[2] == 'Y' && pattern[3] == 'Y') {
        return {pattern.substr(0, 4), Part::Year, 4, 4};
      }
      break;
    case 'M':
      return doubled ? PatternToken{pattern.substr(0, 2), Part::Month, 2, 2}
                     : PatternToken{pattern.substr(0, 1), Part::Month, 1, 2};
    case 'D':
      return doubled ? PatternToken{pattern.substr(0, 2), Part::Day, 2, 2}
                     : PatternToken{pattern.substr(0, 1), Part::Day, 1, 2};
    case 'h':
      return doubled ? PatternToken{pattern.substr(0, 2), Part::Hour, 2, 2}
                     : PatternToken{pattern.substr(0, 1), Part::Hour, 1, 2};
    case 'm':
      if (doubled) {
        return {pattern.substr(0, 2), Part::Minute, 2, 2};
      }
      break;
    case 's':
      if (doubled) {
        return {pattern.substr(0, 2), Part::Second, 2, 2};
      }
      break;
    default:
      break;
  }
  return {pattern.substr(0, 1), Part::Literal, 0, 0};
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

bool Exists(const DateTimeParts& parts) {
  return parts.year >= 1 && parts.year <= 9999 && parts.month >= 1 && parts.month <= 12 &&
         parts.day >= 1 && parts.day <= DaysInMonth(parts.year, parts.month) && parts.hour <= 23 &&
         parts.minute <= 59 && parts.second <= 59;
}

int* Field(DateTimeParts& parts, Part part) {
  switch (part) {
    case Part::Year:
      return &parts.year;
    case Part::Month:
      return &parts.month;
    case Part::Day:
      return &parts.day;
    case Part::Hour:
      return &parts.hour;
    case Part::Minute:
      return &parts.minute;
    case Part::Second:
      return &parts.second;
    case Part::Literal:
      break;
  }
  return nullptr;
}

void AppendPadded(std::int64_t value, int width, std::string& out) {
  if (value < 0) {
    out += '-';
  }
  char digits[24];
  const std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  for (auto length = end - digits; length < width; ++length) {
    out += '0';
  }
  out.append(digits, end);
}

}  // namespace

std::optional<std::string> DatePatternProblem(std::string_view pattern) {
  std::array<int, 6> seen{};
  while (!pattern.empty()) {
    const PatternToken token = NextToken(pattern);
    if (token.part != Part::Literal && ++seen[static_cast<std::size_t>(token.part)] > 1) {
      return "the pattern gives the " +
             std::string(kPartNames[static_cast<std::size_t>(token.part)]) + " twice";
    }
    pattern.remove_prefix(token.text.size());
  }
  if (seen[0] == 0 || seen[1] == 0 || seen[2] == 0) {
    return std::string("the pattern needs YYYY, a month (MM or M) and a day (DD or D)");
  }
  return std::nullopt;
}

std::optional<DateTimeParts> ReadDateTime(std::string_view text, std::string_view pattern) {
  DateTimeParts parts;
  std::array<int, 6> seen{};
  while (!pattern.empty()) {
    const PatternToken token = NextToken(pattern);
    pattern.remove_prefix(token.text.size());
    if (token.part != Part::Literal && ++seen[static_cast<std::size_t>(token.part)] > 1) {
      return std::nullopt;  // DatePatternProblem tells why
    }
    if (token.part == Part::Literal) {
      if (text.empty() || text.front() != token.text.front()) {  // a literal is one byte
        return std::nullopt;
      }
      text.remove_prefix(1);
      continue;
    }
    int value = 0;
    int digits = 0;
    while (digits < token.most && !text.empty() && text.front() >= '0' && text.front() <= '9') {
      value = value * 10 + (text.front() - '0');
      text.remove_prefix(1);
      ++digits;
    }
    if (digits < token.least) {
      return std::nullopt;
    }
    *Field(parts, token.part) = value;
  }
  if (!text.empty() || seen[0] == 0 || seen[1] == 0 || seen[2] == 0 || !Exists(parts)) {
    return std::nullopt;
  }
  return parts;
}

DateTimeParts UtcDateTime(std::int64_t seconds) {
  // Days and the time of day, flooring before 1970; then the civil date of a
  // day count in the proleptic Gregorian calendar (eras of 400 years).
  std::int64_t days = seconds / 86400;
  std::int64_t time = seconds % 86400;
  if (time < 0) {
    time += 86400;
    --days;
  }
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  DateTimeParts parts;
  parts.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  parts.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  parts.year = static_cast<int>(yearOfEra + era * 400 + (parts.month <= 2 ? 1 : 0));
  parts.hour = static_cast<int>(time / 3600);
  parts.minute = static_cast<int>(time / 60 % 60);
  parts.second = static_cast<int>(time % 60);
  return parts;
}

void AppendDate(const DateTimeParts& parts, std::string& out) {
  AppendPadded(parts.year, 4, out);
  out += '-';
  AppendPadded(parts.month, 2, out);
  out += '-';
  AppendPadded(parts.day, 2, out);
}

void AppendDateTime(const DateTimeParts& parts, std::string& out) {
  AppendDate(parts, out);
  out += 'T';
  AppendPadded(parts.hour, 2, out);
  out += ':';
  AppendPadded(parts.minute, 2, out);
  out += ':';
  AppendPadded(parts.second, 2, out);
}

}  // namespace rowvane
