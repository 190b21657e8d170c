#include "app/menus/FormatMenu.h"

#include <QSettings>

#include "app/menus/StoredFormat.h"

namespace rowvane::app {

FormatMenu::FormatMenu(QSettings& store, QWidget* parent)
    : QMenu(tr("F&ormat"), parent), m_store(store), m_format(LoadFormat(store)) {
  m_presets.setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  addChoice(m_classic);
  addChoice(m_standard);
  m_presets.addAction(&m_classic);
  m_presets.addAction(&m_standard);
  addSeparator();
  addChoice(m_lineBreaks);
  addChoice(m_quotes);
  addChoice(m_escaping);

  connect(&m_classic, &QAction::triggered, this, [this] { choose(rowvane::CsvFormat::Classic()); });
  connect(&m_standard, &QAction::triggered, this,
          [this] { choose(rowvane::CsvFormat::Standard()); });
  for (QAction* choice : {&m_lineBreaks, &m_quotes, &m_escaping}) {
    connect(choice, &QAction::triggered, this, &FormatMenu::chooseFromCheckItems);
  }
  showFormat();
}

void FormatMenu::addChoice(QAction& choice) {
  choice.setCheckable(true);
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
