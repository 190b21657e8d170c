#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>

#include "app/controls/XmlHighlighter.h"
#include "app/handlers/PreviewWorker.h"

namespace rowvane::app {

/// The "Preview: NAME" window beside the main one: a line about the input
/// and, read-only in a fixed-width font with tags, attributes and values
/// coloured, the XML that the list's current entry gives with the window's
/// options, or a problem in place of the XML, wrapped to the window's width.
/// It opens beside its parent, wholly on the screen that holds it. It asks
/// `currentRequest` again about 200 ms after the last change it is told of,
/// while it is shown; Esc or closing hides it and ends the preview being
/// made.
class PreviewWindow : public QWidget {
  Q_OBJECT

 public:
  PreviewWindow(std::function<PreviewRequest()> currentRequest, QWidget* parent);

  /// Shows the window beside its parent, or brings it to the front, with a
  /// fresh preview.
  void present();

  /// Something the preview depends on has changed.
  void inputsChanged();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void layOut();
  void requestNow();
  void showPreview(const Preview& preview);

  std::function<PreviewRequest()> m_currentRequest;
  QVBoxLayout m_layout{this};
  QLabel m_info{this};
  QPlainTextEdit m_text{this};
  XmlHighlighter m_highlighter{m_text.document()};
  QTimer m_settle;
  QShortcut m_escape{QKeySequence(Qt::Key_Escape), this};
  PreviewWorker m_worker;
};

}  // namespace rowvane::app
