#include "app/desktop/CursorFile.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QPoint>

namespace rowvane::app {

namespace {

// Layout of a cursor file's header: reserved (2 bytes), type (2; 2 for a
// cursor), count (2), then the first image's entry, whose bytes 4 to 7 hold
// the hot spot's x and y, little-endian.
constexpr qint64 kHeaderBytes = 14;
constexpr int kCursorType = 2;

int LittleEndian16(const QByteArray& bytes, int at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// The hot spot the file names; the image's centre when it names none.
QPoint HotSpotOf(const QString& path, const QSize& imageSize) {
  const QPoint centre(imageSize.width() / 2, imageSize.height() / 2);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return centre;
  }
  const QByteArray header = file.read(kHeaderBytes);
  if (header.size() < kHeaderBytes || LittleEndian16(header, 2) != kCursorType) {
    return centre;
  }
  const QPoint hotSpot(LittleEndian16(header, 10), LittleEndian16(header, 12));
  return QRect(QPoint(0, 0), imageSize).contains(hotSpot) ? hotSpot : centre;
}

}  // namespace

std::optional<QCursor> LoadCursorFile(const QString& path) {
  QImageReader reader(path, "cur");
  const QImage image = reader.read();
  if (image.isNull()) {
    return std::nullopt;
  }
  const QPoint hotSpot = HotSpotOf(path, image.size());
  return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

}  // namespace rowvane::app
