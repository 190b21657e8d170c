#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rowvane {

/// Where a conversion writes its output bytes.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  /// Writes all of `size` bytes or throws ConversionError(FailureKind::Write).
  virtual void write(const char* data, std::size_t size) = 0;
  /// Drops everything written so far (the conversion starts over).
  virtual void discard() = 0;
};

/// Collects the output in memory.
class MemorySink : public OutputSink {
 public:
  void write(const char* data, std::size_t size) override { m_bytes.append(data, size); }
  void discard() override { m_bytes.clear(); }
  const std::string& bytes() const { return m_bytes; }

 private:
  std::string m_bytes;
};

}  // namespace rowvane
