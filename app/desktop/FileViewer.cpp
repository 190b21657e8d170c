#include "app/desktop/FileViewer.h"

#include <QByteArray>
#include <QDesktopServices>

#include "app/desktop/LocalPath.h"

namespace rowvane::app {

QUrl LocalFileUrl(const QString& path) {
  std::string bytes = PathBytes(path);
  // "a//b" names what "a/b" names; the address shows it once.
  std::string single;
  for (const char c : bytes) {
    if (c != '/' || single.empty() || single.back() != '/') {
      single += c;
    }
  }
  return QUrl::fromEncoded(
      "file://" +
      QByteArray(single.data(), static_cast<qsizetype>(single.size())).toPercentEncoding("/"));
}

bool DesktopFileViewer::view(const QString& file) {
  return QDesktopServices::openUrl(LocalFileUrl(file));
}

}  // namespace rowvane::app
