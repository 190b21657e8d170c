#include "engine/FieldNames.h"

#include "engine/StandardConversion.h"
#include "engine/TextReader.h"

namespace rowvane {
namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 16;

}  // namespace

std::vector<std::string> FieldNamesOf(ByteSource& source, const ConversionSettings& settings) {
  if (settings.InputEncoding) {
    TextReader reader(source, kReadChunk, false, settings.InputEncoding);
    return FieldNamesWithFormat(reader, settings);
  }
  try {
    TextReader reader(source, kReadChunk, false);
    std::vector<std::string> names = FieldNamesWithFormat(reader, settings);
    while (reader.more()) {
      reader.consume(reader.available());
    }
    return names;
  } catch (const NotUtf8&) {
    // Not UTF-8 after all: the conversion would start over in Windows-1252.
  }
  source.rewind();
  TextReader reader(source, kReadChunk, true);
  return FieldNamesWithFormat(reader, settings);
}

}  // namespace rowvane
