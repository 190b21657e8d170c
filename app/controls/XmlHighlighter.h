#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace rowvane::app {

/// Colours XML text line by line: tags (their brackets and names), attribute
/// names, attribute values and the declaration each in a colour of their
/// own; values between tags stay in the text's colour.
class XmlHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  explicit XmlHighlighter(QTextDocument* document);

  /// The colours, for whoever wants to tell them apart.
  static QColor tagColour() { return QColor(0x1a, 0x4d, 0x99); }
  static QColor attributeColour() { return QColor(0x99, 0x4d, 0x00); }
  static QColor valueColour() { return QColor(0x1a, 0x80, 0x33); }

 protected:
  void highlightBlock(const QString& text) override;

 private:
  qsizetype highlightTag(const QString& text, qsizetype from);

  QTextCharFormat m_tag;
  QTextCharFormat m_attribute;
  QTextCharFormat m_value;
};

}  // namespace rowvane::app
