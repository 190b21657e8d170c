#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace rowvane::app {

class FileOpenDialog;

/// The text a file-open dialog hands back for the chosen `paths`: empty for
/// none (cancelled), the path itself for one, and for several the folder they
/// share (without a trailing "/", the root as "/") followed by each path below
/// it, all separated by NUL characters. Paths in different folders share a
/// folder further up, so their names keep the sub-folders that part them.
QString OpenDialogResultText(const QStringList& paths);

/// The window's invisible file-open dialog: the settings it is shown with and
/// the text it hands back (OpenDialogResultText).
class CommonDialog {
 public:
  /// Error number of a choice whose result text does not fit MaxFileSize.
  static constexpr int kBufferTooSmall = 20476;
  /// Characters the result text may take.
  static constexpr qsizetype kMaxFileSize = 30000;

  explicit CommonDialog(FileOpenDialog& dialog) : m_dialog(dialog) {}

  void setFileName(const QString& text) { m_fileName = text; }
  void setDialogTitle(const QString& title) { m_title = title; }
  void setFilter(const QString& filter) { m_filter = filter; }

  /// The result text of the last showing; empty after a cancel.
  QString fileName() const { return m_fileName; }

  /// Shows the modal dialog and keeps its result text. A result text longer
  /// than kMaxFileSize throws NumberedError(kBufferTooSmall) and leaves the
  /// file name empty, as if nothing had been chosen.
  void ShowOpen(QWidget* owner);

 private:
  FileOpenDialog& m_dialog;
  QString m_fileName;
  QString m_title;
  QString m_filter;
};

}  // namespace rowvane::app
