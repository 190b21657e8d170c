#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QString>

#include "engine/Settings.h"

class QSettings;

namespace rowvane::app {

/// The "Format" menu (Alt+O): "Classic CSV" and "Standard CSV" as a pair of
/// radio items, and beneath them the three choices as check items. "Classic
/// CSV" shows checked when all three choices in force are classic, "Standard
/// CSV" when all three are standard, neither when they are mixed, as the
/// user chose them; choosing either sets all three. Below them the layout:
/// fields as elements, as attributes or through a template; and a schema to
/// check outputs against. Attributes, a template or a schema need
/// well-formed XML: while one is chosen, "Well-formed XML" shows checked and
/// disabled, its status tip saying why. The menu
/// starts from the choice remembered in `store` (classic, elements and no
/// schema on a fresh install) and remembers every change there. Choosing a
/// template or a schema asks by a signal; the file is taken by
/// chooseTemplate() and chooseSchema() once it has loaded.
class FormatMenu : public QMenu {
  Q_OBJECT

 public:
  explicit FormatMenu(QSettings& store, QWidget* parent = nullptr);

  /// The CSV format in force; a run reads it once, at its start.
  rowvane::CsvFormat format() const;
  /// The reading and writing choices as the user made them: the format in
  /// force but for escaping, which a layout or schema may force on.
  rowvane::CsvFormat chosenFormat() const { return m_format; }
  /// Why well-formed XML is forced on ("attributes need it"), else empty.
  QString wellFormedReason() const;
  rowvane::OutputLayout layout() const { return m_layout; }
  /// The template's file with OutputLayout::Template, else empty.
  QString templatePath() const { return m_templatePath; }
  /// The schema's file, empty when outputs are not checked.
  QString schemaPath() const { return m_schemaPath; }

  /// Takes a template that has loaded as the layout.
  void chooseTemplate(const QString& path);
  /// Takes a schema that has loaded.
  void chooseSchema(const QString& path);

  QAction& classicAction() { return m_classic; }
  QAction& standardAction() { return m_standard; }
  QAction& lineBreaksAction() { return m_lineBreaks; }
  QAction& quotesAction() { return m_quotes; }
  QAction& escapingAction() { return m_escaping; }
  QAction& elementsAction() { return m_elements; }
  QAction& attributesAction() { return m_attributes; }
  QAction& templateAction() { return m_fromTemplate; }
  QAction& schemaAction() { return m_schema; }
  QAction& noSchemaAction() { return m_noSchema; }
  QAction& saveTemplateAction() { return m_saveTemplate; }

 signals:
  /// The CSV format in force has changed.
  void formatChanged(const rowvane::CsvFormat& format);
  /// Anything of the choice has changed: the format, the layout or the schema.
  void choiceChanged();
  void templateRequested();
  void schemaRequested();
  void saveTemplateRequested();

 private:
  void addChoice(QAction& choice, const QString& description);
  void addLayoutChoices();
  void choose(const rowvane::CsvFormat& format);
  void chooseFromCheckItems();
  void chooseLayout(rowvane::OutputLayout layout, const QString& templatePath);
  void changed(const rowvane::CsvFormat& formatBefore);
  void showFormat();
  bool needsWellFormed() const;

  QSettings& m_store;
  rowvane::CsvFormat m_format;
  rowvane::OutputLayout m_layout = rowvane::OutputLayout::Elements;
  QString m_templatePath;
  QString m_schemaPath;
  // Optional exclusivity: with mixed choices neither preset is checked.
  QActionGroup m_presets{this};
  QActionGroup m_layouts{this};
  QActionGroup m_schemas{this};
  QAction m_classic{tr("&Classic CSV"), this};
  QAction m_standard{tr("&Standard CSV"), this};
  QAction m_lineBreaks{tr("&Lines end at CR LF, LF or CR"), this};
  QAction m_quotes{tr("&Quoted fields"), this};
  QAction m_escaping{tr("&Well-formed XML (escape && < >, fix names)"), this};
  QAction m_elements{tr("Fields as &Elements"), this};
  QAction m_attributes{tr("Fields as &Attributes"), this};
  QAction m_fromTemplate{this};
  QAction m_schema{this};
  QAction m_noSchema{tr("&No Schema Check"), this};
  QAction m_saveTemplate{tr("Sa&ve Template for Selected File..."), this};
};

}  // namespace rowvane::app
