#include "tests/reliability/SmallDisk.h"

#include <QFile>
#include <QString>
#include <cstdlib>
#include <stdexcept>

namespace rowvane::reliability {

std::string SmallDisk() {
  const char* path = std::getenv("ROWVANE_RELIABILITY_TMPFS");
  return path == nullptr ? std::string() : std::string(path);
}

void FillFolder(const std::string& folder) {
  const QByteArray filler(4096, 'f');
  QFile file(QString::fromStdString(folder + "/filler"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    throw std::runtime_error("cannot create the filler in " + folder);
  }
  while (file.write(filler) > 0) {
  }
}

}  // namespace rowvane::reliability
