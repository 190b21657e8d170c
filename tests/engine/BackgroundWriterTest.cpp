#include <gtest/gtest.h>

#include <string>

#include "engine/core/Failure.h"
#include "engine/io/BackgroundWriter.h"
#include "engine/io/OutputSink.h"

namespace rowvane {
namespace {

/// Fails every write once `limit` bytes have been taken.
class LimitedSink : public OutputSink {
 public:
  explicit LimitedSink(std::size_t limit) : m_limit(limit) {}
  void write(const char* data, std::size_t size) override {
    if (bytes.size() + size > m_limit) {
      throw ConversionError(FailureKind::Write, "No space left on device");
    }
    bytes.append(data, size);
  }
  void discard() override { bytes.clear(); }
  std::string bytes;

 private:
  std::size_t m_limit;
};

std::string Pattern(std::size_t size) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i) {
    text[i] = static_cast<char>('a' + i % 26);
  }
  return text;
}

TEST(BackgroundWriter, PassesEveryByteOnInOrder) {
  const std::string text = Pattern(100000);
  for (const std::size_t piece : {1u, 7u, 4096u, 100000u}) {
    LimitedSink target(SIZE_MAX);
    {
      BackgroundWriter writer(target, 1000);
      for (std::size_t at = 0; at < text.size(); at += piece) {
        writer.write(text.data() + at, std::min(piece, text.size() - at));
      }
      writer.finish();
    }
    EXPECT_EQ(target.bytes, text) << piece;
  }
}

TEST(BackgroundWriter, FailureOfTheTargetReachesTheCaller) {
  const std::string text = Pattern(50000);
  for (const std::size_t limit : {0u, 999u, 1000u, 25000u, 49999u}) {
    LimitedSink target(limit);
    BackgroundWriter writer(target, 1000);
    EXPECT_THROW(
        {
          writer.write(text.data(), text.size());
          writer.finish();
        },
        ConversionError)
        << limit;
  }
}

TEST(BackgroundWriter, DiscardStartsOver) {
  LimitedSink target(SIZE_MAX);
  BackgroundWriter writer(target, 10);
  const std::string first = Pattern(35);
  writer.write(first.data(), first.size());
  writer.discard();
  writer.write("new", 3);
  writer.finish();
  EXPECT_EQ(target.bytes, "new");
}

TEST(BackgroundWriter, DestroyedUnfinishedItStopsQuietly) {
  LimitedSink target(SIZE_MAX);
  {
    BackgroundWriter writer(target, 10);
    writer.write("0123456789abc", 13);
  }
  EXPECT_LE(target.bytes.size(), 13u);
}

}  // namespace
}  // namespace rowvane
