#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/xml/EscapingOutput.h"
#include "engine/xml/GroupPlan.h"
#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/expression/ExpressionValue.h"

namespace rowvane {

class ExpressionValueError;

/// Writes one input's records through a loaded template. Holds the current
/// record (the caller's) and the first record of each open group; everything
/// else streams.
///
/// Records come in the order they are written. Without a plan, a group
/// begins wherever a level's key changes (a run of equal keys); with one
/// (GroupPlan, from a first read of the input), each record comes with its
/// innermost group, and a group begins wherever that changes.
/// What a template's expressions know of the input they are written for.
struct TemplateInput {
  std::string fileName = "-";  ///< without its folder; "-" for standard input
  std::int64_t now = 0;        ///< when its conversion started, in seconds since 1970 (UTC)
};

class TemplateWriter {
 public:
  TemplateWriter(const LayoutTemplate& layout, EscapingOutput& out, const GroupPlan* plan = nullptr,
                 TemplateInput input = {});

  /// The names of the input's fields are known (from its header, or
  /// header1... without one): finds each field the template names. Throws
  /// ConversionError(FailureKind::Layout) naming a field the input lacks.
  void bind(const std::vector<std::string>& names);
  /// bind(), then writes the beginning of the document.
  void start(const std::vector<std::string>& names);
  /// The group keys of a record that begins on `line`, one per group level,
  /// into `keys`.
  void keys(std::span<const std::string_view> values, std::uint64_t line,
            std::vector<std::string>& keys);
  /// The first read: adds a record of innermost group `group` to the
  /// aggregates of every scope it is in (the input, then each group).
  /// Throws ConversionError(FailureKind::Value) for a value an aggregate's
  /// argument cannot use.
  void accumulate(std::span<const std::string_view> values, std::uint64_t line, std::uint32_t group,
                  GroupPlan& plan);
  /// One record, with as many values as there are names (missing ones count
  /// as empty); `line` is where it begins.
  void record(std::span<const std::string_view> values, std::uint64_t line) {
    record(values, {}, line);
  }
  /// The same, knowing which values hold a byte escaping may change (1 in
  /// `special`); the others are copied as they stand, and are readable
  /// kCopySlack bytes past their ends. An empty `special` knows nothing.
  /// `group`: the record's innermost group in the plan, when there is one.
  void record(std::span<const std::string_view> values, std::span<const std::uint8_t> special,
              std::uint64_t line, std::uint32_t group = GroupPlan::kNone);
  /// Closes the open groups and writes the end of the document; without
  /// start(), writes the template's skeleton (nothing that repeats).
  void finish();

  /// When every record is written by one run of constants and values, each
  /// value in field order and none twice (no groups, conditions or CDATA),
  /// that program, so a caller can write records as their values stream
  /// past instead of holding them; else null. Valid once started.
  const TemplateProgram* streamableRecord() const;
  /// The template's constants, padded (see LayoutTemplate::constants).
  const char* constants() const { return m_layout.constants.data(); }
  /// The index of the value a Value step's field reference stands for.
  std::size_t valueIndex(std::size_t field) const { return m_fieldIndex[field]; }

 private:
  class Context;
  struct OpenRun {
    std::string key;
    std::uint32_t group = GroupPlan::kNone;
    std::uint64_t position = 0;     // among its parent's groups, from 1
    std::uint64_t line = 0;         // of its first record
    std::uint64_t groups = 0;       // opened inside it so far
    std::uint64_t records = 0;      // written inside it so far
    std::string values;             // the run's first record, one value after another
    std::vector<std::size_t> ends;  // where each value ends in `values`
    std::vector<std::string_view> views;
    bool entered = false;  // its beginning was written
    bool visible = false;  // and the levels below it are written
  };

  // One for-each-item element being repeated: its text and the item now.
  struct ItemLoop {
    std::string text;
    std::string_view separator;
    std::size_t next = 0;  // where the item after this one starts
    std::string_view item;
  };

  bool run(const TemplateProgram& program, std::span<const std::string_view> values);
  /// The value of an expression for `values` where the writer stands now.
  /// Throws ConversionError(FailureKind::Value) naming the template's place,
  /// the record's line, the field and the value.
  ExpressionValue evaluate(std::size_t expression, std::span<const std::string_view> values) const;
  [[noreturn]] void failValue(const ExpressionValueError& error) const;
  ExpressionValue aggregate(std::size_t site) const;
  bool nextItem(ItemLoop& loop) const;
  std::size_t changedLevel(std::span<const std::string_view> values, std::uint32_t group);
  std::string_view valueOf(std::size_t field, std::span<const std::string_view> values) const;
  bool expandsEmpty(const TemplateText& text, std::span<const std::string_view> values) const;
  void expand(const TemplateText& text, std::span<const std::string_view> values,
              std::string& into) const;
  void writeCData(const TemplateText& text, std::span<const std::string_view> values);
  void closeRuns(std::size_t from);
  void openRun(std::size_t level, std::span<const std::string_view> values, std::uint64_t line);
  bool parentVisible(std::size_t level) const;

  const LayoutTemplate& m_layout;
  EscapingOutput& m_out;
  const GroupPlan* m_plan;
  TemplateInput m_input;
  // Per scope (the input first, then each group level): its aggregate sites.
  std::vector<std::vector<std::size_t>> m_sitesOf;
  std::string m_written;                  // an expression's value as written
  std::vector<std::size_t> m_fieldIndex;  // per field reference: the value's index
  bool m_started = false;
  bool m_documentVisible = false;
  std::size_t m_groups = 0;
  std::vector<OpenRun> m_runs;
  std::size_t m_open = 0;
  std::vector<std::string> m_keys;
  std::vector<std::uint32_t> m_path;        // with a plan: the record's group per level
  std::uint64_t m_groupsAtTop = 0;          // groups opened outside every group
  std::uint64_t m_recordsAtTop = 0;         // records written outside every group
  std::span<const std::uint8_t> m_special;  // of the record being written, when known
  std::deque<ItemLoop> m_items;             // for-each-item elements being repeated, innermost last
  // Where the program being run stands, for position() and line().
  std::uint64_t m_position = 1;
  std::uint64_t m_line = 0;
};

}  // namespace rowvane
