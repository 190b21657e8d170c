#include "app/desktop/LocalPath.h"

#include <QByteArray>
#include <cstddef>
#include <string_view>

#include "text/Utf8.h"

namespace rowvane::app {
namespace {

constexpr char16_t kCarriedByteBase = 0xDC00;
constexpr char16_t kFirstCarried = 0xDC80;
constexpr char16_t kLastCarried = 0xDCFF;
constexpr char16_t kReplacement = 0xFFFD;

bool IsCarriedByte(const QString& text, qsizetype at) {
  const char16_t unit = text[at].unicode();
  return unit >= kFirstCarried && unit <= kLastCarried &&
         (at == 0 || !text[at - 1].isHighSurrogate());
}

}  // namespace

QString PathFromBytes(const std::string& bytes) {
  QString path;
  path.reserve(static_cast<qsizetype>(bytes.size()));
  std::size_t run = 0;  // start of the valid text not yet appended
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = NextUtf8Character(std::string_view(bytes).substr(at)).length;
    if (length > 0) {
      at += length;
      continue;
    }
    path += QString::fromUtf8(bytes.data() + run, static_cast<qsizetype>(at - run));
    path += QChar(static_cast<char16_t>(kCarriedByteBase + static_cast<unsigned char>(bytes[at])));
    run = ++at;
  }
  path += QString::fromUtf8(bytes.data() + run, static_cast<qsizetype>(bytes.size() - run));
  return path;
}

std::string PathBytes(const QString& path) {
  std::string bytes;
  qsizetype run = 0;
  for (qsizetype at = 0; at < path.size(); ++at) {
    if (IsCarriedByte(path, at)) {
      bytes += path.mid(run, at - run).toStdString();
      bytes.push_back(static_cast<char>(path[at].unicode() - kCarriedByteBase));
      run = at + 1;
    }
  }
  bytes += path.mid(run).toStdString();
  return bytes;
}

QString PathForDisplay(const QString& path) {
  QString shown = path;
  for (qsizetype at = 0; at < shown.size(); ++at) {
    if (IsCarriedByte(path, at)) {
      shown[at] = QChar(kReplacement);
    }
  }
  return shown;
}

QString PathFromUrl(const QUrl& url) {
  if (!url.isLocalFile()) {
    return {};
  }
  if (!url.host().isEmpty()) {
    return url.toLocalFile();  // a share's path, as Qt writes it
  }
  const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  return PathFromBytes(bytes.toStdString());
}

}  // namespace rowvane::app
