#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <optional>

class QMimeData;

namespace rowvane::app {

/// The entries of the file list, by position counted from 1.
class ListItems {
 public:
  explicit ListItems(QTreeWidget& list) : m_list(list) {}

  /// Appends an entry at the end: a path as PathFromBytes carries it, shown
  /// with U+FFFD for each byte that is not UTF-8 (PathForDisplay).
  void Add(const QString& text);
  /// Number of entries; 0 when the list is empty.
  int Count() const;
  /// The path of the entry at `position`, its bytes carried as they were
  /// added; throws std::out_of_range when there is none.
  QString Text(int position) const;
  /// Removes the entry at `position`; throws std::out_of_range when there
  /// is none.
  void Remove(int position);
  /// Removes every entry.
  void Clear();

 private:
  QTreeWidget& m_list;
};

/// The local file paths that dragged data carries, in the drag source's
/// order, with the bytes of their names (PathFromUrl); none when it carries
/// no file URLs (text, web addresses...).
QStringList DroppedPaths(const QMimeData& data);

/// A report-view list with one column of full paths. Its gestures (double
/// click anywhere, the Delete key, a drop of files) are handed on as signals;
/// what they do is the window's business. Dragged data that carries no file
/// paths is refused while it is dragged over the list.
class FileListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr);

  ListItems& listItems() { return m_items; }
  const ListItems& listItems() const { return m_items; }

  /// Position of the selected entry (the list's current item, which a click
  /// on the blank area leaves in place), nothing when there is none.
  std::optional<int> SelectedItemIndex() const;

  /// Sets the one column's header text and width in twips.
  void AddColumn(const QString& header);
  void SetColumnWidthTwips(int twips);

 signals:
  /// A double click anywhere in the list, on an entry or not.
  void DblClick();
  /// A key press in the list, with its key code.
  void KeyDown(int key);
  /// Files or folders dropped onto the list, in the drag source's order.
  void OLEDragDrop(const QStringList& paths);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void highlightCurrentItem();

  ListItems m_items{*this};
};

}  // namespace rowvane::app
