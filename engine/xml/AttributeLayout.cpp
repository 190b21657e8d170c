#include "engine/xml/AttributeLayout.h"

#include "engine/xml/AttributeNames.h"
#include "engine/xml/XmlEscaping.h"

namespace rowvane {

AttributeLayout::AttributeLayout(XmlWriter& out, const ConversionSettings& settings)
    : m_out(out), m_escaping(out), m_documentTag(FixXmlName(settings.DocumentTag, "XML")) {
  for (int b = 0; b < 0x20; ++b) {
    m_special[b] = true;
  }
  for (const unsigned char b : std::string_view("&<>\"\xEF")) {
    m_special[b] = true;
  }
  m_texts = " <" + FixXmlName(settings.RowTag, "row") + "\"/>\r\n";
  m_rowEnd = m_texts.size() - 5;
  m_openers.push_back(m_rowEnd);
  m_texts.append(kCopySlack, '\0');
}

std::size_t AttributeLayout::Record::special(std::size_t field, const char* at,
                                             std::size_t available, bool ended) {
  if (field != m_field) {
    enter(field);
  }
  const std::size_t taken = SpecialByteLength(at, available, ended);
  if (taken == 0) {
    return 0;
  }
  sync();
  m_layout.m_escaping.putValue(std::string_view(at, taken), ValuePlace::Attribute);
  reload();
  return taken;
}

void AttributeLayout::beginDocument() {
  m_out.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<");
  m_out.put(m_documentTag);
  m_out.put(">\r\n");
}

void AttributeLayout::headerNames(HeaderNames& names) {
  m_generated = names.generated();
  if (m_generated) {
    return;
  }
  std::vector<std::string> read;
  read.reserve(names.count());
  for (std::size_t i = 0; i < names.count(); ++i) {
    read.emplace_back(names.name(i));
  }
  for (const std::string& name : AttributeNames(read)) {
    addOpener(name);
  }
}

// Field i's text stands between the row's start and its end: `" name="`,
// whose quote closes field i - 1 (for field 0 it is skipped).
void AttributeLayout::addOpener(std::string_view name) {
  const std::string text = "\" " + std::string(name) + "=\"";
  m_texts.insert(m_rowEnd, text);
  m_rowEnd += text.size();
  m_openers.back() = m_rowEnd - text.size();
  m_openers.push_back(m_rowEnd);
}

AttributeLayout::Record AttributeLayout::beginRecord(bool) {
  putText(0, m_openers.front());  // " <row"
  return Record(*this);
}

void AttributeLayout::endRecord(Record& record) {
  record.sync();
  // The closing quote of the last field, or none when the record has no field.
  putText(record.m_anyField ? m_rowEnd : m_rowEnd + 1, m_texts.size() - kCopySlack);
}

void AttributeLayout::endDocument() {
  m_out.put("</");
  m_out.put(m_documentTag);
  m_out.put(">");
  m_out.flush();
}

void AttributeLayout::addGenerated(std::size_t field) {
  while (m_generated && field + 1 >= m_openers.size()) {
    addOpener("header" + std::to_string(m_openers.size()));
  }
}

}  // namespace rowvane
