#pragma once

#include <QObject>
#include <QString>

#include "engine/Settings.h"

class QSettings;

namespace rowvane::app {

/// What the Format menu has chosen, the one copy the window keeps: the CSV
/// format as the user chose it, the layout with its template, and the
/// schema. It starts from what `store` remembers (classic, elements and no
/// schema on a fresh install) and remembers every change there. Attributes,
/// a template or a schema need well-formed XML: the format in force then
/// escapes whatever the user chose. The menus, the client area, a run and
/// the preview all read it; changed() tells them of every change.
class WindowOptions : public QObject {
  Q_OBJECT

 public:
  explicit WindowOptions(QSettings& store, QObject* parent = nullptr);

  /// The format as the user chose it.
  const rowvane::CsvFormat& chosenFormat() const { return m_format; }
  /// The format in force: the chosen one, escaping forced on when needed.
  rowvane::CsvFormat format() const;
  rowvane::OutputLayout layout() const { return m_layout; }
  /// The template's file with OutputLayout::Template, else empty.
  const QString& templatePath() const { return m_templatePath; }
  /// The schema's file; empty when outputs are not checked.
  const QString& schemaPath() const { return m_schemaPath; }

  /// True when attributes, a template or a schema force well-formed XML.
  bool wellFormedForced() const;
  /// Why well-formed XML is forced on ("attributes need it"), else empty.
  QString wellFormedReason() const;
  /// True when a file that fails is told in the log and counted at a run's
  /// end, not reported on its own: the Format menu's layouts and schema are
  /// in force.
  bool failuresCounted() const { return wellFormedForced(); }

  void chooseFormat(const rowvane::CsvFormat& format);
  /// A template's file with OutputLayout::Template, else ignored.
  void chooseLayout(rowvane::OutputLayout layout, const QString& templatePath = {});
  /// Empty: no schema check.
  void chooseSchema(const QString& path);

 signals:
  /// Anything has changed: the format, the layout or the schema.
  void changed();

 private:
  void store();

  QSettings& m_store;
  rowvane::CsvFormat m_format;
  rowvane::OutputLayout m_layout;
  QString m_templatePath;
  QString m_schemaPath;
};

}  // namespace rowvane::app
