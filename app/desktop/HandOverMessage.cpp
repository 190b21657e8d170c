#include "app/desktop/HandOverMessage.h"

#include <QDir>
#include <QFile>
#include <cstring>

namespace rowvane::app {
namespace {

constexpr char kFolderRecord = 'D';
constexpr char kNameRecord = 'F';
constexpr char kEnd = 'E';

void AppendRecord(QByteArray& message, char kind, const QString& text) {
  message.append(kind);
  message.append(QFile::encodeName(text));
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
    m_folder = QFile::decodeName(m_record);
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
    const QString name = QFile::decodeName(bytes);
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
