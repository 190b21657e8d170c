#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>

#include "engine/csv/HeaderNames.h"

namespace rowvane {

/// Bytes of a value that a layout wants handed to it one at a time, to write
/// as something else (an entity, a replacement character).
using SpecialBytes = std::array<bool, 256>;

/// Where a piece of a value leaves its field.
enum class PieceEnd : unsigned char {
  More,    ///< more of this value follows
  Field,   ///< the value ends here, and the next named field follows
  Record,  ///< the value ends here, and it is the record's last named field
};

/// The seam between the record reader and the text it writes: the reader
/// finds records and the values in them for every CsvFormat; a layout turns
/// them into output, and owns everything about that text: tags made ready,
/// names made valid, escaping.
///
/// Contract of the calls, all on the converting thread, in this order:
/// - `beginDocument()` once, before anything else;
/// - `headerNames(names)` once the fields' names are known and before the
///   first record: the header's values, or generated names whose count stays
///   open (HeaderNames::open()) until `fieldCount(count)` fixes it after the
///   first record. `names` outlives the layout's use of it; it may be asked
///   for any name at any time, and is cheapest asked in increasing order;
/// - per record, `beginRecord(rowTags)` gives a `Record` that the reader
///   keeps in a local while it scans, so a layout can hold its output cursor
///   in registers; the reader hands it the values of the named fields in
///   pieces and ends it with `endRecord(record)`:
///   - `record.piece(field, data, size, end)`: `data` stays readable for
///     kCopySlack bytes past `size`. Every named field gets its pieces, in
///     increasing order from field 0, the last of them with `end` Field or
///     Record (it may be empty); a record shorter than the names gets empty
///     values for the rest, and values past the names are never handed on
///     (the reader counts them). A record has at least field 0 unless the
///     count of names is 0: with open names, an empty first line fixes the
///     count to 0 before beginRecord().
///   - `record.special(field, at, available, ended)`: `*at` is one of
///     specialBytes() inside the value of a named field; the layout writes
///     what it stands for and gives the bytes it took (at least 1), or 0 when
///     it needs more than `available` bytes to decide and more may come
///     (`ended` false): the reader then reads on and asks again. A special
///     byte is never inside a piece, and the value's last piece follows.
///   A layout may stream the pieces straight out (the reader holds nothing of
///   a record) or, if it needs whole records, buffer them itself under a cap
///   it states.
/// - `endDocument()` once, last; it writes everything still held.
///
/// `replacedCharacters()` counts what was written as U+FFFD, for the
/// conversion's warnings. Errors leave as exceptions (ConversionError from
/// the output, std::bad_alloc).
template <class L>
concept RecordLayout = requires(L layout, const L& constLayout, HeaderNames& names,
                                typename L::Record& record, const char* data, std::size_t size) {
  { constLayout.specialBytes() } -> std::same_as<const SpecialBytes&>;
  layout.beginDocument();
  layout.headerNames(names);
  layout.fieldCount(size);
  { layout.beginRecord(true) } -> std::same_as<typename L::Record>;
  record.piece(size, data, size, PieceEnd::Field);
  { record.special(size, data, size, true) } -> std::same_as<std::size_t>;
  layout.endRecord(record);
  layout.endDocument();
  { constLayout.replacedCharacters() } -> std::same_as<std::uint64_t>;
};

}  // namespace rowvane
