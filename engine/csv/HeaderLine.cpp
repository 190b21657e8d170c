#include "engine/csv/HeaderLine.h"

#include <cstdint>
#include <new>
#include <string_view>

#include "engine/core/Failure.h"

namespace rowvane {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

/// Appends `part`; false, with the line given up, when memory ran out.
bool Hold(std::string& line, std::string_view part) {
  try {
    line.append(part);
    return true;
  } catch (const std::bad_alloc&) {
    std::string().swap(line);
    return false;
  }
}

}  // namespace

void TakeRestOfLine(TextReader& reader, std::string& line, const std::function<bool()>& more) {
  std::uint64_t lineSize = line.size();
  bool holding = true;
  for (bool lineEnded = false; !lineEnded;) {
    const std::string_view window(reader.begin(), reader.available());
    const auto found = window.find(kLineBreak);
    std::size_t take = window.size();
    if (found != std::string_view::npos) {
      take = found;
      lineEnded = true;
    } else if (window.ends_with('\r') && !reader.ended()) {
      --take;  // it may begin the line break
    }
    lineSize += take;
    holding = holding && Hold(line, window.substr(0, take));
    reader.consume(lineEnded ? take + kLineBreak.size() : take);
    lineEnded = lineEnded || (!more() && reader.available() == 0);
  }
  if (!holding) {
    throw ConversionError(FailureKind::OutOfMemory, "not enough memory for a header line of " +
                                                        std::to_string(lineSize) + " bytes");
  }
}

}  // namespace rowvane
