#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rowvane {

/// The names of a file's fields as the record reader holds them: generated
/// (header1, header2, ...), the header line as it was read, split at the
/// separator only once a record follows, or the header's values one by one
/// when quotes or line breaks other than CR LF make the line unsplittable.
/// A header line is held once, and its names are found in it when asked for,
/// so a header of any width costs its own size and no more.
class HeaderNames {
 public:
  static constexpr std::size_t kOpen = static_cast<std::size_t>(-1);

  /// Generated names; their count stays open until setCount().
  HeaderNames() = default;
  /// The names in `line`, between the occurrences of `separator`; the count
  /// is known once split() has returned true.
  HeaderNames(std::string line, std::string_view separator);
  /// Values the reader appends one by one (see appendValue, endValue).
  static HeaderNames Values();

  bool generated() const { return m_kind == Kind::Generated; }
  /// True while the count is not known: generated names before setCount(),
  /// a line before it is split.
  bool open() const { return m_count == kOpen; }
  std::size_t count() const { return m_count; }
  /// Fixes the count of generated names.
  void setCount(std::size_t count) { m_count = count; }

  /// Appends to the value being read, and ends it.
  void appendValue(const char* data, std::size_t size) { m_line.append(data, size); }
  void endValue() {
    m_ends.push_back(m_line.size());
    m_count = m_ends.size();
  }

  /// The header line (empty for values or generated names).
  std::string_view line() const { return m_kind == Kind::Line ? std::string_view(m_line) : ""; }
  /// Splits the line a step of about `step` bytes further; true once it is
  /// split (at once for the other kinds). Throws std::bad_alloc.
  bool split(std::size_t step);

  /// The name of field `index` (not for generated names); cheapest asked in
  /// increasing order. Valid until the next call.
  std::string_view name(std::size_t index);
  /// A walk through the line for a name before `index` starts from `index`
  /// instead of the line's beginning: names below it are never asked again.
  void keepPlace(std::size_t index);

 private:
  enum class Kind { Generated, Line, Values };
  struct Place {
    std::size_t index = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
  };
  bool splitAtSeparators(std::size_t step);
  Place firstPlace() const;

  Kind m_kind = Kind::Generated;
  std::size_t m_count = kOpen;
  std::string m_line;               // the line, or the values back to back
  std::vector<std::size_t> m_ends;  // values: where each ends in m_line
  std::string m_separator;
  std::size_t m_found = 0;       // names found so far while splitting
  std::size_t m_nameBegin = 0;   // where the name being split begins
  std::size_t m_searchFrom = 0;  // where the search for its end goes on
  Place m_kept;                  // where walks start over
  Place m_cursor{kOpen, 0, 0};   // the name found last
};

}  // namespace rowvane
