#include "app/controls/FileListView.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/controls/Twips.h"
#include "app/desktop/LocalPath.h"

namespace rowvane::app {

namespace {

// Where an entry keeps its path when the text shown differs from it.
constexpr int kCarriedPathRole = Qt::UserRole;

void RequirePosition(int position, int count) {
  if (position < 1 || position > count) {
    throw std::out_of_range("There is no list item at position " + std::to_string(position) + ".");
  }
}

// Offers the drop where the data carries files, and shows the no-drop pointer
// everywhere else.
void AcceptFilesOnly(QDropEvent& event) {
  if (DroppedPaths(*event.mimeData()).isEmpty()) {
    event.setDropAction(Qt::IgnoreAction);
    event.ignore();
    return;
  }
  event.acceptProposedAction();
}

}  // namespace

QStringList DroppedPaths(const QMimeData& data) {
  QStringList paths;
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) {
      paths << PathFromUrl(url);
    }
  }
  return paths;
}

void ListItems::Add(const QString& text) {
  // The item appends itself to the list, which owns it from then on.
  auto* item = new QTreeWidgetItem(&m_list, QStringList{PathForDisplay(text)});
  if (item->text(0) != text) {
    item->setData(0, kCarriedPathRole, text);  // the name's own bytes, beyond what is shown
  }
}

int ListItems::Count() const {
  return m_list.topLevelItemCount();
}

QString ListItems::Text(int position) const {
  RequirePosition(position, Count());
  const QTreeWidgetItem& item = *m_list.topLevelItem(position - 1);
  const QVariant carried = item.data(0, kCarriedPathRole);
  return carried.isValid() ? carried.toString() : item.text(0);
}

void ListItems::Remove(int position) {
  RequirePosition(position, Count());
  // The list owns its items; taking one hands it back to us.
  std::unique_ptr<QTreeWidgetItem> removed(m_list.takeTopLevelItem(position - 1));
}

void ListItems::Clear() {
  m_list.clear();
}

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  header()->setStretchLastSection(false);
  setHeaderLabels({QString()});
  // Drops are the window's; the list itself never moves its entries.
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);
}

std::optional<int> FileListView::SelectedItemIndex() const {
  QTreeWidgetItem* const current = currentItem();
  if (current == nullptr) {
    return std::nullopt;
  }
  return indexOfTopLevelItem(current) + 1;
}

void FileListView::AddColumn(const QString& header) {
  setHeaderLabels({header});
}

void FileListView::SetColumnWidthTwips(int twips) {
  setColumnWidth(0, PixelsFromTwips(twips));
}

void FileListView::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  highlightCurrentItem();
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  highlightCurrentItem();
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  highlightCurrentItem();
  emit DblClick();
}

void FileListView::highlightCurrentItem() {
  // A click on the blank area clears the view's selection but keeps the
  // current entry, which the removal gestures act on: keep it highlighted so
  // the user sees what a double-click or Delete would remove.
  if (QTreeWidgetItem* const current = currentItem();
      current != nullptr && !current->isSelected()) {
    current->setSelected(true);
  }
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  emit KeyDown(event->key());
  QTreeWidget::keyPressEvent(event);
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
  AcceptFilesOnly(*event);
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
  AcceptFilesOnly(*event);
}

void FileListView::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedPaths(*event->mimeData());
  if (paths.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit OLEDragDrop(paths);
}

}  // namespace rowvane::app
