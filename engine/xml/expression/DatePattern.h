#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rowvane {

/// A moment read from a text: a date that exists (years 1-9999) and a time of day.
struct DateTimeParts {
  int year = 1;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

/// What is wrong with a pattern that can never give a date (no YYYY, no
/// month or no day, or a part given twice); nothing when it can.
std::optional<std::string> DatePatternProblem(std::string_view pattern);

/// `text` read with `pattern`: `YYYY` 4 digits, `MM` `DD` `hh` `mm` `ss` 2,
/// `M` `D` `h` 1 or 2 (as many as stand there), every other character
/// itself; nothing trimmed. Nothing when the text does not match, or names a
/// date or time that does not exist.
std::optional<DateTimeParts> ReadDateTime(std::string_view text, std::string_view pattern);

/// The moment `seconds` after 1970-01-01T00:00:00Z, in UTC.
DateTimeParts UtcDateTime(std::int64_t seconds);

/// `YYYY-MM-DD`.
void AppendDate(const DateTimeParts& parts, std::string& out);
/// `YYYY-MM-DDThh:mm:ss`.
void AppendDateTime(const DateTimeParts& parts, std::string& out);

}  // namespace rowvane
