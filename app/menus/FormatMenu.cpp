#include "app/menus/FormatMenu.h"

#include <QFileInfo>

#include "app/menus/MenuLook.h"

namespace rowvane::app {

namespace {

QString EscapingDescription() {
  return QObject::tr("Writes a declaration, escapes & < > and makes names valid.");
}

// A file's name as a menu item shows it: "&" is no access key there.
QString ShownName(const QString& path) {
  return QFileInfo(path).fileName().replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

FormatMenu::FormatMenu(WindowOptions& options, QWidget* parent)
    : QMenu(tr("F&ormat"), parent), m_options(options) {
  GiveMenuLook(*this, tr("How the CSV files are read and how the XML is written."));
  m_presets.setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  addChoice(m_classic, tr("Lines end at CR LF only, quotes are ordinary characters, and names and "
                          "values are written as they are."));
  addChoice(
      m_standard,
      tr("Lines end at CR LF, LF or CR, quoted fields are read, and the XML is well-formed."));
  m_presets.addAction(&m_classic);
  m_presets.addAction(&m_standard);
  addSeparator();
  addChoice(m_lineBreaks, tr("CR LF, LF alone and CR alone each end a line."));
  addChoice(m_quotes, tr("A field that begins with a double quote runs to the closing one."));
  addChoice(m_escaping, EscapingDescription());
  addLayoutChoices();

  connect(&m_classic, &QAction::triggered, this,
          [this] { m_options.chooseFormat(rowvane::CsvFormat::Classic()); });
  connect(&m_standard, &QAction::triggered, this,
          [this] { m_options.chooseFormat(rowvane::CsvFormat::Standard()); });
  for (QAction* choice : {&m_lineBreaks, &m_quotes, &m_escaping}) {
    connect(choice, &QAction::triggered, this, &FormatMenu::chooseFromCheckItems);
  }
  // Shown again at every change, even to the same choice: triggering the
  // checked preset unchecks it.
  connect(&m_options, &WindowOptions::changed, this, &FormatMenu::showFormat);
  showFormat();
}

void FormatMenu::addLayoutChoices() {
  addSection(tr("Layout"));
  addChoice(m_elements, tr("Each record is a row element, each field an element in it."));
  addChoice(m_attributes, tr("Each record is an empty row element, its fields its attributes."));
  addChoice(m_fromTemplate, tr("Writes each record through an XML template of your own."));
  m_layouts.addAction(&m_elements);
  m_layouts.addAction(&m_attributes);
  m_layouts.addAction(&m_fromTemplate);
  addSeparator();
  addChoice(m_schema, tr("Checks every output against a W3C XML Schema; one that does not match "
                         "is not written."));
  addChoice(m_noSchema, tr("Outputs are not checked against a schema."));
  m_schemas.addAction(&m_schema);
  m_schemas.addAction(&m_noSchema);
  addSeparator();
  DescribeAction(m_saveTemplate, tr("Writes a template that gives the element layout of the "
                                    "selected file with the options in force: a start for your "
                                    "own."));
  addAction(&m_saveTemplate);
  connect(&m_saveTemplate, &QAction::triggered, this, &FormatMenu::saveTemplateRequested);
  connect(&m_elements, &QAction::triggered, this,
          [this] { m_options.chooseLayout(rowvane::OutputLayout::Elements); });
  connect(&m_attributes, &QAction::triggered, this,
          [this] { m_options.chooseLayout(rowvane::OutputLayout::FieldsAsAttributes); });
  // The files are taken once they have loaded; till then the items show what holds.
  connect(&m_fromTemplate, &QAction::triggered, this, [this] {
    showFormat();
    emit templateRequested();
  });
  connect(&m_schema, &QAction::triggered, this, [this] {
    showFormat();
    emit schemaRequested();
  });
  connect(&m_noSchema, &QAction::triggered, this, [this] { m_options.chooseSchema({}); });
}

void FormatMenu::addChoice(QAction& choice, const QString& description) {
  choice.setCheckable(true);
  DescribeAction(choice, description);
  addAction(&choice);
}

void FormatMenu::chooseFromCheckItems() {
  // A forced "Well-formed XML" leaves the escaping chosen as it was.
  const rowvane::Escaping escaping =
      m_options.wellFormedForced()
          ? m_options.chosenFormat().escaping
          : (m_escaping.isChecked() ? rowvane::Escaping::Xml : rowvane::Escaping::None);
  m_options.chooseFormat(
      {m_lineBreaks.isChecked() ? rowvane::LineBreaks::Any : rowvane::LineBreaks::CrLf,
       m_quotes.isChecked() ? rowvane::Quotes::Double : rowvane::Quotes::None, escaping});
}

void FormatMenu::showFormat() {
  // The presets say what the user chose: the escaping a layout forces is
  // no choice of theirs, and shows in the item of its own.
  const rowvane::CsvFormat& chosen = m_options.chosenFormat();
  const bool forced = m_options.wellFormedForced();
  const rowvane::OutputLayout layout = m_options.layout();
  const QString& schema = m_options.schemaPath();
  m_classic.setChecked(chosen == rowvane::CsvFormat::Classic());
  m_standard.setChecked(chosen == rowvane::CsvFormat::Standard());
  m_lineBreaks.setChecked(chosen.lineBreaks == rowvane::LineBreaks::Any);
  m_quotes.setChecked(chosen.quotes == rowvane::Quotes::Double);
  m_escaping.setChecked(m_options.format().escaping == rowvane::Escaping::Xml);
  m_escaping.setEnabled(!forced);
  DescribeAction(m_escaping, forced ? tr("Always on now: %1. Choose Fields as Elements and No "
                                         "Schema Check to change it.")
                                          .arg(m_options.wellFormedReason())
                                    : EscapingDescription());
  m_elements.setChecked(layout == rowvane::OutputLayout::Elements);
  m_attributes.setChecked(layout == rowvane::OutputLayout::FieldsAsAttributes);
  m_fromTemplate.setChecked(layout == rowvane::OutputLayout::Template);
  m_fromTemplate.setText(layout == rowvane::OutputLayout::Template
                             ? tr("&Template: %1").arg(ShownName(m_options.templatePath()))
                             : tr("From &Template..."));
  m_schema.setChecked(!schema.isEmpty());
  m_noSchema.setChecked(schema.isEmpty());
  m_schema.setText(schema.isEmpty() ? tr("Check Against Sc&hema...")
                                    : tr("Sc&hema: %1").arg(ShownName(schema)));
}

}  // namespace rowvane::app
