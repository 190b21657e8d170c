#include "app/menus/FormatMenu.h"

#include <QSettings>

#include "app/menus/MenuLook.h"
#include "app/menus/StoredFormat.h"

namespace rowvane::app {

FormatMenu::FormatMenu(QSettings& store, QWidget* parent)
    : QMenu(tr("F&ormat"), parent), m_store(store), m_format(LoadFormat(store)) {
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
  addChoice(m_escaping, tr("Writes a declaration, escapes & < > and makes names valid."));

  connect(&m_classic, &QAction::triggered, this, [this] { choose(rowvane::CsvFormat::Classic()); });
  connect(&m_standard, &QAction::triggered, this,
          [this] { choose(rowvane::CsvFormat::Standard()); });
  for (QAction* choice : {&m_lineBreaks, &m_quotes, &m_escaping}) {
    connect(choice, &QAction::triggered, this, &FormatMenu::chooseFromCheckItems);
  }
  showFormat();
}

void FormatMenu::addChoice(QAction& choice, const QString& description) {
  choice.setCheckable(true);
  DescribeAction(choice, description);
  addAction(&choice);
}

void FormatMenu::chooseFromCheckItems() {
  choose({m_lineBreaks.isChecked() ? rowvane::LineBreaks::Any : rowvane::LineBreaks::CrLf,
          m_quotes.isChecked() ? rowvane::Quotes::Double : rowvane::Quotes::None,
          m_escaping.isChecked() ? rowvane::Escaping::Xml : rowvane::Escaping::None});
}

void FormatMenu::choose(const rowvane::CsvFormat& format) {
  // Shown again even when unchanged: triggering the checked preset unchecks it.
  const bool changed = format != m_format;
  m_format = format;
  showFormat();
  if (changed) {
    SaveFormat(m_store, m_format);
    emit formatChanged(m_format);
  }
}

void FormatMenu::showFormat() {
  m_classic.setChecked(m_format == rowvane::CsvFormat::Classic());
  m_standard.setChecked(m_format == rowvane::CsvFormat::Standard());
  m_lineBreaks.setChecked(m_format.lineBreaks == rowvane::LineBreaks::Any);
  m_quotes.setChecked(m_format.quotes == rowvane::Quotes::Double);
  m_escaping.setChecked(m_format.escaping == rowvane::Escaping::Xml);
}

}  // namespace rowvane::app
