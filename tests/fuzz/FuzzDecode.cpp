// Decoding must not depend on how the bytes are cut into pieces, and the
// validator must agree with itself whole and piecewise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/csv/TextDecoder.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

std::string DecodeInPieces(rowvane::Encoding encoding, std::string_view bytes, std::size_t piece) {
  rowvane::TextDecoder decoder(encoding);
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    decoder.decode(bytes.substr(at, piece), out);
  }
  decoder.finish(out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t piece = data[0] % 9 + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  rowvane::Utf8Validator whole;
  const bool valid = whole.feed(bytes) && whole.finish();
  rowvane::Utf8Validator split;
  bool splitValid = true;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    splitValid = split.feed(bytes.substr(at, piece)) && splitValid;
  }
  Require(valid == (splitValid && split.finish()));

  // Valid UTF-8 passes the repairing decoder unchanged.
  Require(!valid || DecodeInPieces(rowvane::Encoding::Utf8, bytes, piece) == bytes);
  for (const auto encoding : {rowvane::Encoding::Utf8, rowvane::Encoding::Windows1252,
                              rowvane::Encoding::Utf16LE, rowvane::Encoding::Utf16BE}) {
    const std::string text = DecodeInPieces(encoding, bytes, bytes.size() + 1);
    Require(text == DecodeInPieces(encoding, bytes, piece));
    rowvane::Utf8Validator check;  // every decoder gives valid UTF-8
    Require(check.feed(text) && check.finish());
  }
  return 0;
}
