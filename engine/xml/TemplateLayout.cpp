#include "engine/xml/TemplateLayout.h"

#include <utility>

namespace rowvane {

TemplateLayout::TemplateLayout(XmlWriter& out, const LayoutTemplate& layout,
                               TemplateReading reading)
    : m_reading(std::move(reading)),
      m_escaping(out),
      m_writer(layout, m_escaping,
               m_reading.pass == TemplateReading::Pass::Writing ? m_reading.plan : nullptr,
               m_reading.input) {
  for (int b = 0; b < 0x20; ++b) {
    m_special[b] = true;  // controls, tab, LF and CR
  }
  for (const unsigned char b : std::string_view("&<>\"\xEF")) {
    m_special[b] = true;
  }
}

void TemplateLayout::headerNames(HeaderNames& names) {
  if (names.open()) {
    return;  // generated names: their count comes with the first record
  }
  if (names.count() == 0) {
    // A header line that is empty names nothing: with no record after it the
    // file is as empty as one without bytes, and gets the skeleton too.
    m_namesPending = true;
    return;
  }
  std::vector<std::string> read;
  read.reserve(names.count());
  for (std::size_t i = 0; i < names.count(); ++i) {
    read.emplace_back(names.name(i));
  }
  start(std::move(read));
}

void TemplateLayout::fieldCount(std::size_t count) {
  std::vector<std::string> generated;
  generated.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    generated.push_back("header" + std::to_string(i + 1));
  }
  start(std::move(generated));
}

void TemplateLayout::start(std::vector<std::string> names) {
  m_count = names.size();
  if (m_reading.pass == TemplateReading::Pass::Planning) {
    m_writer.bind(names);  // a missing field fails here, before anything is written
    return;
  }
  m_writer.start(names);
  if (m_reading.pass == TemplateReading::Pass::Only) {
    if (const TemplateProgram* program = m_writer.streamableRecord()) {
      planStreaming(*program);
    }
  }
}

// Fields arrive in order, each once, so the constants before a value can be
// written as its field begins, and those after the last as the record ends.
void TemplateLayout::planStreaming(const TemplateProgram& program) {
  m_streamFields.assign(m_count + 1, {});
  std::string pending;
  for (const TemplateStep& step : program) {
    if (step.kind == TemplateStep::Kind::Constant) {
      pending.append(m_writer.constants() + step.a, step.b);
      continue;
    }
    StreamField& field = m_streamFields[m_writer.valueIndex(step.a)];
    field = {m_streamTexts.size(), pending.size(), step.place};
    m_streamTexts += pending;
    pending.clear();
  }
  m_streamFields.back() = {m_streamTexts.size(), pending.size(), std::nullopt};
  m_streamTexts += pending;
  m_streamTexts.append(kCopySlack, '\0');
  m_streamable = true;
}

TemplateLayout::Record TemplateLayout::beginRecord(bool) {
  if (m_namesPending) {
    m_namesPending = false;
    start({});
  }
  // The first record of generated names is held: its values come before their count.
  m_streaming = m_streamable;
  if (!m_streaming) {
    m_held.begin(m_nextLine);
  }
  return Record(*this);
}

std::size_t TemplateLayout::Record::special(std::size_t field, const char* at,
                                            std::size_t available, bool ended) {
  if (!m_streaming) {
    m_layout.m_held.append(field, std::string_view(at, 1), true);  // escaped when written
    return 1;
  }
  if (field != m_field) {
    enter(field);
  }
  const std::size_t taken = SpecialByteLength(at, available, ended);
  if (taken == 0) {
    return 0;
  }
  if (m_place) {
    m_out.sync();
    m_layout.m_escaping.putValue(std::string_view(at, taken), *m_place);
    m_out.reload();
  }
  return taken;
}

void TemplateLayout::Record::finish() {
  enter(m_layout.m_count);  // the constants after the last value
  m_out.sync();
}

void TemplateLayout::endRecord(Record& record) {
  if (m_streaming) {
    record.finish();
    return;
  }
  const std::span<const std::string_view> values = m_held.values(m_count);
  switch (m_reading.pass) {
    case TemplateReading::Pass::Only:
      m_writer.record(values, m_held.special(), m_held.line());
      break;
    case TemplateReading::Pass::Planning: {
      m_writer.keys(values, m_held.line(), m_keys);
      const std::uint32_t group = m_reading.plan->place(m_keys, m_held.line());
      m_writer.accumulate(values, m_held.line(), group, *m_reading.plan);
      break;
    }
    case TemplateReading::Pass::Writing:
      place(values);
      break;
  }
}

// The second read: a record in group order is written at once, any other
// sorted into its group's place first.
void TemplateLayout::place(std::span<const std::string_view> values) {
  GroupPlan& plan = *m_reading.plan;
  m_writer.keys(values, m_held.line(), m_keys);
  const std::uint32_t group = plan.find(m_keys);
  if (plan.inOrder()) {
    m_writer.record(values, m_held.special(), m_held.line(), group);
    return;
  }
  if (!m_sorted) {
    m_sorted = std::make_unique<SortedRecords>(m_reading.sortMemory, m_reading.temporaryFolder);
  }
  m_sorted->add(plan.rank(group), group, m_held.line(), values, m_held.special());
}

void TemplateLayout::endDocument() {
  switch (m_reading.pass) {
    case TemplateReading::Pass::Planning:
      m_reading.plan->planned();
      return;
    case TemplateReading::Pass::Writing:
      if (m_sorted) {
        m_sorted->drain([this](const SortedRecords::Record& record) {
          m_writer.record(record.values, record.special, record.line, record.group);
        });
        m_sorted.reset();
      }
      break;
    case TemplateReading::Pass::Only:
      break;
  }
  m_writer.finish();
}

}  // namespace rowvane
