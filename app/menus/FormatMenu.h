#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QString>

#include "app/options/WindowOptions.h"
#include "engine/Settings.h"

namespace rowvane::app {

/// The "Format" menu (Alt+O): "Classic CSV" and "Standard CSV" as a pair of
/// radio items, and beneath them the three choices as check items. "Classic
/// CSV" shows checked when all three choices in force are classic, "Standard
/// CSV" when all three are standard, neither when they are mixed, as the
/// user chose them; choosing either sets all three. Below them the layout:
/// fields as elements, as attributes or through a template; and a schema to
/// check outputs against. Attributes, a template or a schema need
/// well-formed XML: while one is chosen, "Well-formed XML" shows checked and
/// disabled, its status tip saying why. The menu shows and changes the
/// window's options; choosing a template or a schema asks by a signal, and
/// the file is taken by chooseTemplate() and chooseSchema() once it has
/// loaded.
class FormatMenu : public QMenu {
  Q_OBJECT

 public:
  explicit FormatMenu(WindowOptions& options, QWidget* parent = nullptr);

  /// The CSV format in force (see WindowOptions).
  rowvane::CsvFormat format() const { return m_options.format(); }

  /// Takes a template that has loaded as the layout.
  void chooseTemplate(const QString& path) {
    m_options.chooseLayout(rowvane::OutputLayout::Template, path);
  }
  /// Takes a schema that has loaded.
  void chooseSchema(const QString& path) { m_options.chooseSchema(path); }

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
  void templateRequested();
  void schemaRequested();
  void saveTemplateRequested();

 private:
  void addChoice(QAction& choice, const QString& description);
  void addLayoutChoices();
  void chooseFromCheckItems();
  void showFormat();

  WindowOptions& m_options;
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
