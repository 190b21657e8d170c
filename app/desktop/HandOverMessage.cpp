#include "app/desktop/HandOverMessage.h"

#include <QDir>
#include <cstring>
#include <string>

#include "app/desktop/LocalPath.h"

namespace rowvane::app {
namespace {

constexpr char kFolderRecord = 'D';
constexpr char kNameRecord = 'F';
constexpr char kEnd = 'E';

void AppendRecord(QByteArray& message, char kind, const QString& text) {
  message.append(kind);
  // A name's own bytes travel, so one that is not UTF-8 reaches the window intact.
  const std::string bytes = PathBytes(text);
  message.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
  message.append('\0');
}

}  // namespace

QByteArray EncodeHandOver(const QString& workingFolder, const QStringList& names) {
  QByteArray message;
  AppendRecord(message, kFolderRecord,
               workingFolder.contains(QChar(0)) ? QString() : workingFolder);
  for (const QString& name : names) {
    if (!name.contains(QChar(0))) {
      AppendRecord(message, kNameRecord, name);
    }
  }
  message.append(kEnd);
  return message;
}

HandOverReader::State HandOverReader::feed(const char* bytes, qsizetype size) {
  qsizetype at = 0;
  while (at < size && m_state == State::Incomplete) {
    if (m_kind == 0) {
      takeKind(bytes[at++]);
      continue;
    }
    const auto* nul = static_cast<const char*>(std::memchr(bytes + at, 0, size - at));
    if (nul == nullptr) {
      m_record.append(bytes + at, size - at);
      break;
    }
    m_record.append(bytes + at, nul - (bytes + at));
    at = nul - bytes + 1;
    endRecord();
  }
  return m_state;
}

void HandOverReader::takeKind(char kind) {
  const bool expected =
      m_folderSeen ? (kind == kNameRecord || kind == kEnd) : kind == kFolderRecord;
  if (!expected) {
    m_state = State::Corrupt;
  } else if (kind == kEnd) {
    m_state = State::Complete;
  } else {
    m_kind = kind;
  }
}

void HandOverReader::endRecord() {
  if (m_kind == kFolderRecord) {
    m_folder = PathFromBytes(m_record.toStdString());
    m_folderSeen = true;
  } else {
    m_names.append(m_record);
  }
  m_record.clear();
  m_kind = 0;
}

QStringList HandOverReader::paths() const {
  QStringList paths;
  if (m_state != State::Complete) {
    return paths;
  }
  const bool folderKnown = QDir::isAbsolutePath(m_folder);
  for (const QByteArray& bytes : m_names) {
    const QString name = PathFromBytes(bytes.toStdString());
    if (name.isEmpty()) {
      continue;
    }
    if (QDir::isAbsolutePath(name)) {
      paths << QDir::cleanPath(name);
    } else if (folderKnown) {
      paths << QDir::cleanPath(m_folder + QLatin1Char('/') + name);
    }
  }
  return paths;
}

}  // namespace rowvane::app
