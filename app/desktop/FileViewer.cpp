#include "app/desktop/FileViewer.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QUrl>

#include "app/desktop/LocalPath.h"

namespace rowvane::app {

void DesktopFileViewer::view(const QString& file) {
  // Built from the name's own bytes, so that a name that is not UTF-8 still
  // names its file.
  const std::string bytes = PathBytes(file);
  QDesktopServices::openUrl(
      QUrl::fromEncoded("file://" + QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))
                                        .toPercentEncoding(QByteArrayLiteral("/"))));
}

}  // namespace rowvane::app
