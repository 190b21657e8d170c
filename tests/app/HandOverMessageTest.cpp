#include <gtest/gtest.h>

#include <QDir>
#include <random>

#include "app/desktop/HandOverMessage.h"
#include "app/desktop/LocalPath.h"

namespace rowvane::app {
namespace {

// What the window is to add for `names` sent from `folder`, written apart
// from the reader.
QStringList Expected(const QString& folder, const QStringList& names) {
  QStringList paths;
  for (const QString& name : names) {
    if (name.isEmpty() || name.contains(QChar(0))) {
      continue;
    }
    if (name.startsWith(QLatin1Char('/'))) {
      paths << QDir::cleanPath(name);
    } else if (folder.startsWith(QLatin1Char('/'))) {
      paths << QDir::cleanPath(folder + QLatin1Char('/') + name);
    }
  }
  return paths;
}

QString RandomName(std::mt19937& random) {
  static const QStringList pieces{QString(),
                                  QStringLiteral("a.csv"),
                                  QStringLiteral("/abs/b.csv"),
                                  QStringLiteral(".."),
                                  QStringLiteral("dir/./c"),
                                  QStringLiteral("caf\u00e9 \u4e2d.csv"),
                                  QStringLiteral("/"),
                                  QStringLiteral("x\ny"),
                                  PathFromBytes("caf\xe9 \xff.csv"),
                                  QString(QChar(0)) + QStringLiteral("nul")};
  QString name;
  for (int parts = std::uniform_int_distribution<int>(0, 3)(random); parts > 0; --parts) {
    name += pieces[std::uniform_int_distribution<qsizetype>(0, pieces.size() - 1)(random)];
  }
  return name;
}

// Any message, cut anywhere, gives what it says: every name in order, empty
// and NUL-holding ones left out, relative ones from the sender's folder.
TEST(HandOverReader, ReadsEveryMessageWhereverItIsCut) {
  std::mt19937 random(20261207);
  const QStringList folders{QStringLiteral("/home/u/in"), QStringLiteral("/"), QString(),
                            QStringLiteral("relative/folder")};
  for (int round = 0; round < 2000; ++round) {
    const QString folder = folders[round % folders.size()];
    QStringList names;
    for (int count = std::uniform_int_distribution<int>(0, 6)(random); count > 0; --count) {
      names << RandomName(random);
    }
    const QByteArray message = EncodeHandOver(folder, names);
    HandOverReader reader;
    HandOverReader::State state = HandOverReader::State::Incomplete;
    for (qsizetype at = 0; at < message.size();) {
      const qsizetype piece = std::min<qsizetype>(std::uniform_int_distribution<int>(1, 9)(random),
                                                  message.size() - at);
      EXPECT_EQ(state, HandOverReader::State::Incomplete);
      state = reader.feed(message.constData() + at, piece);
      at += piece;
    }
    ASSERT_EQ(state, HandOverReader::State::Complete) << message.toStdString();
    EXPECT_EQ(reader.paths(), Expected(folder, names)) << message.toStdString();
  }
}

struct BytesRow {
  const char* name;
  QByteArray bytes;
  HandOverReader::State state;
};

class HandOverReaderBytes : public ::testing::TestWithParam<BytesRow> {};

TEST_P(HandOverReaderBytes, AnythingElseIsIncompleteOrCorrupt) {
  HandOverReader reader;
  EXPECT_EQ(reader.feed(GetParam().bytes.constData(), GetParam().bytes.size()), GetParam().state);
  EXPECT_TRUE(reader.paths().isEmpty());
}

using State = HandOverReader::State;
INSTANTIATE_TEST_SUITE_P(
    Rows, HandOverReaderBytes,
    ::testing::Values(BytesRow{"nothing", QByteArray(), State::Incomplete},
                      BytesRow{"unended_name", QByteArray("D/\0F/a.csv", 10), State::Incomplete},
                      BytesRow{"no_end_mark", QByteArray("D/\0F/a.csv\0", 11), State::Incomplete},
                      BytesRow{"name_before_folder", QByteArray("F/a.csv\0E", 9), State::Corrupt},
                      BytesRow{"end_before_folder", QByteArray("E"), State::Corrupt},
                      BytesRow{"folder_twice", QByteArray("D/\0D/\0E", 7), State::Corrupt},
                      BytesRow{"unknown_kind", QByteArray("D/\0X/a\0E", 8), State::Corrupt},
                      BytesRow{"old_stream_of_strings", QByteArray("\0\0\0\1\0\0\0\2\0/", 10),
                               State::Corrupt}),
    [](const ::testing::TestParamInfo<BytesRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rowvane::app
