#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "engine/batch/CompressedConversion.h"
#include "engine/core/Failure.h"
#include "engine/io/ByteSource.h"
#include "engine/io/GzipSink.h"
#include "engine/io/GzipSource.h"
#include "engine/io/OutputSink.h"

namespace rowvane {
namespace {

std::string Compressed(const std::string& text, int level, std::size_t piece) {
  MemorySink sink;
  GzipSink gzip(sink, level);
  for (std::size_t at = 0; at < text.size(); at += piece) {
    gzip.write(text.data() + at, std::min(piece, text.size() - at));
  }
  gzip.finish();
  return sink.bytes();
}

// Everything the source gives, in reads of `chunk` bytes.
std::string ReadAll(ByteSource& source, std::size_t chunk) {
  std::string text;
  std::string buffer(chunk, '\0');
  while (const std::size_t count = source.read(buffer.data(), buffer.size())) {
    text.append(buffer, 0, count);
  }
  return text;
}

std::string RandomText(std::mt19937& random) {
  std::string text(random() % 5000, '\0');
  for (char& c : text) {
    c = "ab,\r\n\xe9"[random() % 6];
  }
  return text;
}

// Random texts, written in random pieces at every level, read back through
// compressed reads of random sizes, as one member or several, and again after
// a rewind.
TEST(GzipStream, GivesBackWhatWasWrittenAcrossEveryBoundary) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 60; ++round) {
    const std::string first = RandomText(random);
    const std::string second = RandomText(random);
    const int level = 1 + round % 9;
    const std::string members = Compressed(first, level, 1 + random() % 700) +
                                Compressed(second, level, 1 + random() % 700);
    MemorySource compressed(members, 1 + random() % 40);
    GzipSource source(compressed, 1 + random() % 60);
    const std::size_t chunk = 1 + random() % 90;
    ASSERT_EQ(ReadAll(source, chunk), first + second) << "round " << round;
    source.rewind();
    ASSERT_EQ(ReadAll(source, chunk), first + second) << "round " << round << " rewound";
  }
}

// Every cut of a stream short of its end, and every byte changed after the
// header's unchecked fields, fails as a read failure.
TEST(GzipStream, TruncatedOrCorruptDataIsAReadFailure) {
  const std::string whole = Compressed("a,b\r\n1,2\r\n3,4\r\n", 6, 64);
  constexpr std::size_t kCheckedFrom = 10;  // magic, method and flags; then time, XFL, OS
  for (std::size_t size = 0; size < whole.size(); ++size) {
    MemorySource compressed(whole.substr(0, size));
    GzipSource source(compressed);
    EXPECT_THROW(ReadAll(source, 7), ConversionError) << "cut at " << size;
  }
  for (std::size_t at = kCheckedFrom; at < whole.size(); ++at) {
    std::string changed = whole;
    changed[at] = static_cast<char>(changed[at] ^ 0x5a);
    MemorySource compressed(changed);
    GzipSource source(compressed);
    try {
      ReadAll(source, 7);
      ADD_FAILURE() << "byte " << at << " changed, and nothing noticed";
    } catch (const ConversionError& error) {
      EXPECT_EQ(error.kind(), FailureKind::Read);
    }
  }
}

class Shares : public ConversionObserver {
 public:
  void onProgress(double share) override { shares.push_back(share); }
  std::vector<double> shares;
};

// The text's length is not known, so progress follows the compressed bytes:
// it only grows, never passes the whole, and ends there.
TEST(GzipStream, ProgressCountsCompressedBytes) {
  std::string text = "a,b\r\n";
  for (int i = 0; i < 20000; ++i) {
    text += std::to_string(i * 7919) + "," + std::to_string(i) + "\r\n";
  }
  MemorySource compressed(Compressed(text, 1, 4096));
  MemorySink sink;
  Shares progress;
  ConversionTuning tuning;
  tuning.readChunk = 512;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  ConvertCompressed(compressed, true, sink, {}, progress, tuning);
  ASSERT_GT(progress.shares.size(), 10U);
  EXPECT_TRUE(std::is_sorted(progress.shares.begin(), progress.shares.end()));
  EXPECT_LT(progress.shares[progress.shares.size() / 2], 1.0);
  EXPECT_EQ(progress.shares.back(), 1.0);
}

}  // namespace
}  // namespace rowvane
