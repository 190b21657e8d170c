#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>

#include "engine/HeaderNames.h"

namespace rowvane {

/// Bytes of a value that a layout wants handed to it one at a time, to write
/// as something else (an entity, a replacement character).
using SpecialBytes = std::array<bool, 256>;

/// The seam between the record reader and the text it writes: the reader
/// finds records and the values in them for every CsvFormat; a layout turns
/// them into output, and owns everything about that text: tags made ready,
/// names made valid, escaping.
///
/// Contract of the calls, all on the converting thread, in this order:
/// - `beginDocument()` once, before anything else;
/// - `headerNames(names)` once the fields' names are known: the header's
///   values, or generated names whose count stays open (HeaderNames::open())
///   until `fieldCount()` fixes it after the first record. `names` outlives
///   the layout's use of it; it may be asked for any name at any time, and
///   is cheapest asked in increasing order;
/// - per record, `beginRecord(rowTags)` gives a `Record` that the reader
///   keeps in a local while it scans, so a layout can hold its output cursor
///   in registers; the reader hands it each field's value in pieces and ends
///   it with `endRecord(record)`:
///   - `record.piece(field, data, size, last)`: `data` stays readable for
///     kCopySlack bytes past `size`. Fields come in increasing order, each
///     from 0 up to the count of named fields; every field gets at least one
///     piece and exactly one with `last` (which may be empty). Values past
///     the named fields are never handed on (the reader counts them); a
///     record shorter than the names gets empty last pieces for the rest.
///     A layout may stream the pieces straight out (nothing of a record is
///     held by the reader) or, if it needs whole records, buffer them itself
///     under a cap it states.
///   - `record.special(field, at, available, ended)`: `*at` is one of
///     specialBytes() inside a value; the layout writes what it stands for
///     and gives the bytes it took (at least 1), or 0 when it needs more than
///     `available` bytes to decide and more may come (`ended` false): the
///     reader then reads on and asks again. A special byte is never part of
///     a piece.
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
  record.piece(size, data, size, true);
  { record.special(size, data, size, true) } -> std::same_as<std::size_t>;
  layout.endRecord(record);
  layout.endDocument();
  { constLayout.replacedCharacters() } -> std::same_as<std::uint64_t>;
};

}  // namespace rowvane
