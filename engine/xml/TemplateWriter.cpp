#include "engine/xml/TemplateWriter.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "engine/core/Failure.h"
#include "engine/xml/XmlEscaping.h"
#include "engine/xml/expression/ExpressionContext.h"
#include "engine/xml/expression/ExpressionValueError.h"
#include "engine/xml/expression/TemplateExpressions.h"

namespace rowvane {
namespace {

// The most names a missing field's message lists: a line of commas can name
// a million fields.
constexpr std::size_t kMostNamesListed = 50;

std::string FieldList(const std::vector<std::string>& names) {
  if (names.empty()) {
    return "its fields are: none";
  }
  if (std::all_of(names.begin(), names.end(),
                  [](const std::string& name) { return name.empty(); })) {
    return "its fields are: (no names)";
  }
  std::string list;
  const std::size_t listed = std::min(names.size(), kMostNamesListed);
  for (std::size_t i = 0; i < listed; ++i) {
    list += (i == 0 ? "" : ", ") + names[i];
  }
  if (names.size() > listed) {
    list += " ... and " + std::to_string(names.size() - listed) + " more";
  }
  return "its fields are: " + list;
}

// Where each name stands first: one look-up per placeholder, however many
// fields the input has.
std::unordered_map<std::string_view, std::size_t> FirstPlaceOfEachName(
    const std::vector<std::string>& names) {
  std::unordered_map<std::string_view, std::size_t> first;
  first.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    first.emplace(names[i], i);
  }
  return first;
}

std::size_t FindField(const FieldReference& field, const std::vector<std::string>& names,
                      const std::unordered_map<std::string_view, std::size_t>& firstPlace) {
  if (field.number > 0) {
    if (field.number <= names.size()) {
      return field.number - 1;
    }
    throw ConversionError(FailureKind::Layout, "no field number " + std::to_string(field.number) +
                                                   "; " + FieldList(names));
  }
  if (const auto place = firstPlace.find(field.name); place != firstPlace.end()) {
    return place->second;
  }
  throw ConversionError(FailureKind::Layout,
                        "no field named '" + field.name + "'; " + FieldList(names));
}

}  // namespace

// What an expression reads where the writer stands: the values it is given,
// and the writer's place, input and aggregates.
class TemplateWriter::Context final : public ExpressionContext {
 public:
  Context(const TemplateWriter& writer, std::span<const std::string_view> values)
      : m_writer(writer), m_values(values) {}
  std::string_view field(std::size_t reference) const override {
    return m_writer.valueOf(reference, m_values);
  }
  std::uint64_t position() const override { return m_writer.m_position; }
  std::uint64_t line() const override { return m_writer.m_line; }
  std::string_view item() const override {
    return m_writer.m_items.empty() ? std::string_view() : m_writer.m_items.back().item;
  }
  std::string_view fileName() const override { return m_writer.m_input.fileName; }
  std::int64_t now() const override { return m_writer.m_input.now; }
  ExpressionValue aggregate(std::size_t site) const override { return m_writer.aggregate(site); }

 private:
  const TemplateWriter& m_writer;
  std::span<const std::string_view> m_values;
};

TemplateWriter::TemplateWriter(const LayoutTemplate& layout, EscapingOutput& out,
                               const GroupPlan* plan, TemplateInput input)
    : m_layout(layout),
      m_out(out),
      m_plan(plan),
      m_input(std::move(input)),
      m_sitesOf(layout.groupLevels() + 1),
      m_groups(layout.groupLevels()),
      m_runs(m_groups),
      m_keys(m_groups),
      m_path(m_groups) {
  for (std::size_t site = 0; site < layout.siteScope.size(); ++site) {
    const std::uint32_t scope = layout.siteScope[site];
    m_sitesOf[scope == LayoutTemplate::kDocumentScope ? 0 : scope + 1].push_back(site);
  }
}

ExpressionValue TemplateWriter::evaluate(std::size_t expression,
                                         std::span<const std::string_view> values) const {
  try {
    return m_layout.expressions->evaluate(expression, Context(*this, values));
  } catch (const ExpressionValueError& error) {
    failValue(error);
  }
}

// A value the template cannot use fails the input, told as a compiler tells
// a source position: the template's place, then the field and the value.
void TemplateWriter::failValue(const ExpressionValueError& error) const {
  const TemplatePosition at = error.position();
  std::string message = m_layout.source.empty() ? "" : m_layout.source + ":";
  message += std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + error.what();
  throw ConversionError(FailureKind::Value, message, FailurePlace{m_line, error.field()});
}

ExpressionValue TemplateWriter::aggregate(std::size_t site) const {
  const std::uint32_t scope = m_layout.siteScope[site];
  const std::uint32_t group =
      scope == LayoutTemplate::kDocumentScope ? GroupPlan::kDocument : m_runs[scope].group;
  return m_plan->accumulator(group, m_layout.siteSlot[site]).result();
}

void TemplateWriter::accumulate(std::span<const std::string_view> values, std::uint64_t line,
                                std::uint32_t group, GroupPlan& plan) {
  m_line = line;
  m_position = plan.records(group);
  for (std::size_t level = m_groups; level-- > 0;) {
    m_path[level] = group;
    group = plan.parent(group);
  }
  const Context record(*this, values);
  for (std::size_t scope = 0; scope < m_sitesOf.size(); ++scope) {
    const std::uint32_t holder = scope == 0 ? GroupPlan::kDocument : m_path[scope - 1];
    for (const std::size_t site : m_sitesOf[scope]) {
      try {
        m_layout.expressions->accumulate(site, plan.accumulator(holder, m_layout.siteSlot[site]),
                                         record);
      } catch (const ExpressionValueError& error) {
        failValue(error);
      }
    }
  }
}

void TemplateWriter::start(const std::vector<std::string>& names) {
  bind(names);
  m_started = true;
  m_position = 1;
  m_documentVisible = run(m_layout.documentBefore, {});
}

void TemplateWriter::bind(const std::vector<std::string>& names) {
  m_fieldIndex.clear();
  const bool named = std::any_of(m_layout.fields.begin(), m_layout.fields.end(),
                                 [](const FieldReference& field) { return field.number == 0; });
  const auto firstPlace =
      named ? FirstPlaceOfEachName(names) : std::unordered_map<std::string_view, std::size_t>{};
  for (const FieldReference& field : m_layout.fields) {
    m_fieldIndex.push_back(FindField(field, names, firstPlace));
  }
}

void TemplateWriter::keys(std::span<const std::string_view> values, std::uint64_t line,
                          std::vector<std::string>& keys) {
  m_line = line;
  keys.resize(m_groups);
  for (std::size_t level = 0; level < m_groups; ++level) {
    keys[level].clear();
    expand(m_layout.texts[*m_layout.levels[level].key], values, keys[level]);
  }
}

// The outermost level whose group the record does not share with the one before.
std::size_t TemplateWriter::changedLevel(std::span<const std::string_view> values,
                                         std::uint32_t group) {
  std::size_t changed = 0;
  if (m_plan != nullptr) {
    for (std::size_t level = m_groups; level-- > 0;) {
      m_path[level] = group;
      group = m_plan->parent(group);
    }
    while (changed < m_open && m_runs[changed].group == m_path[changed]) {
      ++changed;
    }
    return changed;
  }
  keys(values, m_line, m_keys);
  while (changed < m_open && m_runs[changed].key == m_keys[changed]) {
    ++changed;
  }
  return changed;
}

void TemplateWriter::record(std::span<const std::string_view> values,
                            std::span<const std::uint8_t> special, std::uint64_t line,
                            std::uint32_t group) {
  m_line = line;
  const std::size_t changed = changedLevel(values, group);
  closeRuns(changed);
  m_special = special;
  for (std::size_t level = changed; level < m_groups; ++level) {
    openRun(level, values, line);
  }
  std::uint64_t& records = m_groups == 0 ? m_recordsAtTop : m_runs[m_groups - 1].records;
  m_position = ++records;
  m_line = line;
  if (parentVisible(m_groups)) {
    run(m_layout.levels.back().before, values);
  }
  m_special = {};
}

void TemplateWriter::finish() {
  if (!m_started) {
    m_position = 1;
    m_documentVisible = run(m_layout.documentBefore, {});
  }
  closeRuns(0);
  m_position = 1;
  run(m_layout.documentAfter, {});
  m_out.flush();
}

const TemplateProgram* TemplateWriter::streamableRecord() const {
  if (!m_started || m_groups > 0 || !m_documentVisible) {
    return nullptr;
  }
  const TemplateProgram& program = m_layout.levels.back().before;
  std::size_t next = 0;  // the least field a value may take from here on
  for (const TemplateStep& step : program) {
    if (step.kind == TemplateStep::Kind::Value) {
      if (m_fieldIndex[step.a] < next) {
        return nullptr;
      }
      next = m_fieldIndex[step.a] + 1;
    } else if (step.kind != TemplateStep::Kind::Constant) {
      return nullptr;
    }
  }
  return &program;
}

bool TemplateWriter::parentVisible(std::size_t level) const {
  return level == 0 ? m_documentVisible : m_runs[level - 1].visible;
}

void TemplateWriter::closeRuns(std::size_t from) {
  while (m_open > from) {
    OpenRun& open = m_runs[--m_open];
    if (open.entered) {
      m_position = open.position;
      m_line = open.line;
      run(m_layout.levels[m_open].after, open.views);
    }
  }
}

void TemplateWriter::openRun(std::size_t level, std::span<const std::string_view> values,
                             std::uint64_t line) {
  OpenRun& open = m_runs[level];
  if (m_plan != nullptr) {
    open.group = m_path[level];
  } else {
    open.key.swap(m_keys[level]);
  }
  open.position = ++(level == 0 ? m_groupsAtTop : m_runs[level - 1].groups);
  open.line = line;
  open.groups = 0;
  open.records = 0;
  open.entered = parentVisible(level);
  open.visible = false;
  m_open = level + 1;
  m_position = open.position;
  m_line = line;
  if (!open.entered) {
    return;
  }
  // Held for what follows the inner levels, written when the run ends.
  open.values.clear();
  open.ends.clear();
  for (const std::string_view value : values) {
    open.values.append(value);
    open.ends.push_back(open.values.size());
  }
  open.views.clear();
  std::size_t begin = 0;
  for (const std::size_t end : open.ends) {
    open.views.emplace_back(open.values.data() + begin, end - begin);
    begin = end;
  }
  open.visible = run(m_layout.levels[level].before, values);
}

bool TemplateWriter::run(const TemplateProgram& program, std::span<const std::string_view> values) {
  // The cursor stays in registers over the constants and plain values that
  // make most of the output; everything else writes through m_out.
  WriteCursor cursor(m_out.writer());
  const char* const constants = m_layout.constants.data();
  const std::size_t* const fieldIndex = m_fieldIndex.data();
  const TemplateStep* const first = program.data();
  const TemplateStep* const end = first + program.size();
  for (const TemplateStep* step = first; step != end; ++step) {
    switch (step->kind) {
      case TemplateStep::Kind::Constant:
        cursor.putPadded(constants + step->a, step->b);
        break;
      case TemplateStep::Kind::Value: {
        const std::size_t index = fieldIndex[step->a];
        if (index >= values.size()) {
          break;
        }
        if (index < m_special.size() && m_special[index] == 0) {
          cursor.putPadded(values[index].data(), values[index].size());  // nothing to escape
          break;
        }
        cursor.sync();
        m_out.putValue(values[index], step->place);
        cursor.reload();
        break;
      }
      case TemplateStep::Kind::Expression:
        cursor.sync();
        m_written.clear();
        evaluate(step->a, values).write(m_written);
        m_out.putValue(m_written, step->place);
        cursor.reload();
        break;
      case TemplateStep::Kind::CData:
        cursor.sync();
        writeCData(m_layout.texts[step->a], values);
        cursor.reload();
        break;
      case TemplateStep::Kind::SkipUnless:
        if (expandsEmpty(m_layout.texts[step->a], values)) {
          step = first + step->b - 1;  // the loop steps on to b
        }
        break;
      case TemplateStep::Kind::HideUnless:
        if (expandsEmpty(m_layout.texts[step->a], values)) {
          cursor.sync();
          return false;
        }
        break;
      case TemplateStep::Kind::Items: {
        ItemLoop& loop = m_items.emplace_back();
        expand(m_layout.texts[step->a], values, loop.text);
        loop.separator = m_layout.separators[first[step->b - 1].b];
        if (!nextItem(loop)) {
          m_items.pop_back();
          step = first + step->b - 1;
        }
        break;
      }
      case TemplateStep::Kind::ItemsEnd:
        if (nextItem(m_items.back())) {
          step = first + step->a;
        } else {
          m_items.pop_back();
        }
        break;
    }
  }
  cursor.sync();
  return true;
}

// Moves a for-each-item loop on to its next non-empty item; false after the last.
bool TemplateWriter::nextItem(ItemLoop& loop) const {
  const std::string_view text = loop.text;
  while (loop.next <= text.size()) {
    const std::size_t end = std::min(text.find(loop.separator, loop.next), text.size());
    loop.item = text.substr(loop.next, end - loop.next);
    loop.next = end == text.size() ? end + 1 : end + loop.separator.size();
    if (!loop.item.empty()) {
      return true;
    }
  }
  return false;
}

std::string_view TemplateWriter::valueOf(std::size_t field,
                                         std::span<const std::string_view> values) const {
  const std::size_t index = m_fieldIndex[field];
  return index < values.size() ? values[index] : std::string_view();
}

bool TemplateWriter::expandsEmpty(const TemplateText& text,
                                  std::span<const std::string_view> values) const {
  for (const TemplateSegment& segment : text) {
    if (segment.expression != TemplateSegment::kNone) {
      if (evaluate(segment.expression, values).isTrue()) {
        return false;
      }
    } else if (segment.field == TemplateSegment::kLiteral
                   ? !segment.literal.empty()
                   : !valueOf(segment.field, values).empty()) {
      return false;
    }
  }
  return true;
}

void TemplateWriter::expand(const TemplateText& text, std::span<const std::string_view> values,
                            std::string& into) const {
  for (const TemplateSegment& segment : text) {
    if (segment.expression != TemplateSegment::kNone) {
      evaluate(segment.expression, values).write(into);
    } else {
      into.append(segment.field == TemplateSegment::kLiteral ? std::string_view(segment.literal)
                                                             : valueOf(segment.field, values));
    }
  }
}

// The section's text as it stands, but a `]]>` (which would end it) is split
// over two sections, and a CR from a value, which a parser would take for a
// line break, is written as a reference between two sections.
void TemplateWriter::writeCData(const TemplateText& text,
                                std::span<const std::string_view> values) {
  m_out.put("<![CDATA[");
  int brackets = 0;
  std::string computed;
  for (const TemplateSegment& segment : text) {
    const bool fromTemplate =
        segment.field == TemplateSegment::kLiteral && segment.expression == TemplateSegment::kNone;
    std::string_view piece;
    if (segment.expression != TemplateSegment::kNone) {
      computed.clear();
      evaluate(segment.expression, values).write(computed);
      piece = computed;
    } else {
      piece = fromTemplate ? std::string_view(segment.literal) : valueOf(segment.field, values);
    }
    for (std::size_t i = 0; i < piece.size(); ++i) {
      const char c = piece[i];
      const auto byte = static_cast<unsigned char>(c);
      if (c == '>' && brackets >= 2) {
        m_out.put("]]><![CDATA[>");
      } else if (c == '\n' && fromTemplate) {
        m_out.put("\r\n");
      } else if (c == '\r') {
        m_out.put("]]>&#13;<![CDATA[");
      } else if (byte < 0x20 && c != '\t' && c != '\n') {
        m_out.putReplacement();
      } else if (byte == 0xEF && i + 2 < piece.size() &&
                 static_cast<unsigned char>(piece[i + 1]) == 0xBF &&
                 (static_cast<unsigned char>(piece[i + 2]) & 0xFE) == 0xBE) {
        m_out.putReplacement();
        i += 2;
      } else {
        m_out.put(&c, 1);
      }
      brackets = c == ']' ? brackets + 1 : 0;
    }
  }
  m_out.put("]]>");
}

}  // namespace rowvane
