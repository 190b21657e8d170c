#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace rowvane::app {

/// What a later start sends the listening window: its working folder, then
/// each name it was given, as the bytes the file system knows them by. Each
/// record is a kind byte ('D' the folder, first and once; 'F' a name) and
/// the bytes up to a NUL, which no file name holds; 'E' ends the message.
/// Names that hold a NUL name no file and are left out.
QByteArray EncodeHandOver(const QString& workingFolder, const QStringList& names);

/// Reads one hand-over message as its bytes arrive in pieces of any size,
/// looking at each byte once, so that a long message costs what its length
/// does however it is cut.
class HandOverReader {
 public:
  enum class State { Incomplete, Complete, Corrupt };

  State feed(const char* bytes, qsizetype size);
  State state() const { return m_state; }

  /// The names of a complete message as absolute, clean paths, in the order
  /// sent. An empty name adds nothing; a relative one is taken from the
  /// sender's working folder, and adds nothing when that is not absolute.
  QStringList paths() const;

 private:
  void takeKind(char kind);
  void endRecord();

  State m_state = State::Incomplete;
  char m_kind = 0;  // of the record being read; 0 between records
  QByteArray m_record;
  bool m_folderSeen = false;
  QString m_folder;
  QList<QByteArray> m_names;
};

}  // namespace rowvane::app
