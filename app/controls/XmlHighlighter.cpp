#include "app/controls/XmlHighlighter.h"

namespace rowvane::app {

XmlHighlighter::XmlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  m_tag.setForeground(tagColour());
  m_attribute.setForeground(attributeColour());
  m_value.setForeground(valueColour());
}

void XmlHighlighter::highlightBlock(const QString& text) {
  // The writer puts every tag on one line, so a line can be coloured alone.
  for (qsizetype at = text.indexOf(QLatin1Char('<')); at >= 0;
       at = text.indexOf(QLatin1Char('<'), at)) {
    at = highlightTag(text, at);
  }
}

// Colours the tag that starts at `from` and gives where it ends.
qsizetype XmlHighlighter::highlightTag(const QString& text, qsizetype from) {
  qsizetype at = from + 1;
  const auto isNameEnd = [&](qsizetype i) {
    return text[i].isSpace() || text[i] == QLatin1Char('>') || text[i] == QLatin1Char('/') ||
           text[i] == QLatin1Char('=') || text[i] == QLatin1Char('?');
  };
  while (at < text.size() && (at == from + 1 || !isNameEnd(at))) {
    ++at;
  }
  setFormat(static_cast<int>(from), static_cast<int>(at - from), m_tag);
  while (at < text.size() && text[at] != QLatin1Char('>')) {
    if (text[at] == QLatin1Char('"') || text[at] == QLatin1Char('\'')) {
      const qsizetype close = text.indexOf(text[at], at + 1);
      const qsizetype end = close < 0 ? text.size() : close + 1;
      setFormat(static_cast<int>(at), static_cast<int>(end - at), m_value);
      at = end;
    } else if (!isNameEnd(at)) {
      const qsizetype start = at;
      while (at < text.size() && !isNameEnd(at)) {
        ++at;
      }
      setFormat(static_cast<int>(start), static_cast<int>(at - start), m_attribute);
    } else {
      setFormat(static_cast<int>(at), 1, m_tag);
      ++at;
    }
  }
  if (at < text.size()) {
    setFormat(static_cast<int>(at), 1, m_tag);
    ++at;
  }
  return at;
}

}  // namespace rowvane::app
