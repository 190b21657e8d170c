#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/GroupSplit.h"
#include "engine/xml/EscapingOutput.h"
#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/RunKeyHistory.h"

namespace rowvane {

/// Writes one input's records through a loaded template. Holds the current
/// record (the caller's) and the first record of each open group; everything
/// else streams.
class TemplateWriter {
 public:
  TemplateWriter(const LayoutTemplate& layout, EscapingOutput& out);

  /// The names of the input's fields are known (from its header, or
  /// header1... without one). Finds each field the template names and writes
  /// the beginning of the document. Throws ConversionError(FailureKind::Layout)
  /// naming a field the input lacks, before anything is written.
  void start(const std::vector<std::string>& names);
  /// One record, with as many values as there are names (missing ones count
  /// as empty); `line` is where it begins, for the warning about groups.
  void record(std::span<const std::string_view> values, std::uint64_t line) {
    record(values, {}, line);
  }
  /// The same, knowing which values hold a byte escaping may change (1 in
  /// `special`); the others are copied as they stand, and are readable
  /// kCopySlack bytes past their ends. An empty `special` knows nothing.
  void record(std::span<const std::string_view> values, std::span<const std::uint8_t> special,
              std::uint64_t line);
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

  /// The first key that came back after its group had ended, if any did.
  const std::optional<GroupSplit>& split() const { return m_split; }

 private:
  struct OpenRun {
    std::string key;
    std::string values;             // the run's first record, one value after another
    std::vector<std::size_t> ends;  // where each value ends in `values`
    std::vector<std::string_view> views;
    bool entered = false;  // its beginning was written
    bool visible = false;  // and the levels below it are written
  };

  bool run(const TemplateProgram& program, std::span<const std::string_view> values);
  std::string_view valueOf(std::size_t field, std::span<const std::string_view> values) const;
  bool expandsEmpty(const TemplateText& text, std::span<const std::string_view> values) const;
  void expand(const TemplateText& text, std::span<const std::string_view> values,
              std::string& into) const;
  void writeCData(const TemplateText& text, std::span<const std::string_view> values);
  void closeRuns(std::size_t from);
  void openRun(std::size_t level, std::span<const std::string_view> values, std::uint64_t line);
  bool parentVisible(std::size_t level) const;
  void noteRunStart(std::size_t level, std::uint64_t line);

  const LayoutTemplate& m_layout;
  EscapingOutput& m_out;
  std::vector<std::size_t> m_fieldIndex;  // per field reference: the value's index
  bool m_started = false;
  bool m_documentVisible = false;
  std::size_t m_groups = 0;
  std::vector<OpenRun> m_runs;
  std::size_t m_open = 0;
  std::vector<std::string> m_keys;
  std::span<const std::uint8_t> m_special;  // of the record being written, when known
  RunKeyHistory m_history;
  std::optional<GroupSplit> m_split;
};

}  // namespace rowvane
