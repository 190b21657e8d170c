#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "engine/CsvFormat.h"

class QSettings;

namespace rowvane::app {

/// The "Format" menu (Alt+O): "Classic CSV" and "Standard CSV" as a pair of
/// radio items, and beneath them the three choices as check items. "Classic
/// CSV" shows checked when all three choices are classic, "Standard CSV" when
/// all three are standard, neither when they are mixed; choosing either sets
/// all three. The menu starts from the choice remembered in `store` (classic
/// on a fresh install) and remembers every change there.
class FormatMenu : public QMenu {
  Q_OBJECT

 public:
  explicit FormatMenu(QSettings& store, QWidget* parent = nullptr);

  /// The choice shown; a run reads it once, at its start.
  rowvane::CsvFormat format() const { return m_format; }

  QAction& classicAction() { return m_classic; }
  QAction& standardAction() { return m_standard; }
  QAction& lineBreaksAction() { return m_lineBreaks; }
  QAction& quotesAction() { return m_quotes; }
  QAction& escapingAction() { return m_escaping; }

 signals:
  void formatChanged(const rowvane::CsvFormat& format);

 private:
  void addChoice(QAction& choice, const QString& description);
  void choose(const rowvane::CsvFormat& format);
  void chooseFromCheckItems();
  void showFormat();

  QSettings& m_store;
  rowvane::CsvFormat m_format;
  // Optional exclusivity: with mixed choices neither preset is checked.
  QActionGroup m_presets{this};
  QAction m_classic{tr("&Classic CSV"), this};
  QAction m_standard{tr("&Standard CSV"), this};
  QAction m_lineBreaks{tr("&Lines end at CR LF, LF or CR"), this};
  QAction m_quotes{tr("&Quoted fields"), this};
  QAction m_escaping{tr("&Well-formed XML (escape && < >, fix names)"), this};
};

}  // namespace rowvane::app
