#include "engine/xml/expression/TextFunctions.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/uchar.h>

#include <algorithm>

#include "text/Utf8.h"

namespace rowvane {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The length of the character at the start of `text` (not empty): 1 for a
// byte that starts none.
std::size_t CharacterLength(std::string_view text) {
  if (static_cast<unsigned char>(text.front()) < 0x80) {
    return 1;
  }
  return std::max<std::size_t>(NextUtf8Character(text).length, 1);
}

// ICU's case mapping in the root locale. Invalid bytes come back as they stood.
template <typename Map>
void AppendMapped(std::string_view text, std::string& out, Map map) {
  icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(text.size()));
  UErrorCode status = U_ZERO_ERROR;
  map("", 0, icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), sink, nullptr,
      status);
  if (U_FAILURE(status)) {
    out.append(text);  // only a text past 2 GiB: kept as it is
  }
}

bool IsWhiteSpaceAt(std::string_view text, std::size_t& length) {
  const Utf8Character character = NextUtf8Character(text);
  length = std::max<std::size_t>(character.length, 1);
  return character.length != 0 && u_isUWhiteSpace(static_cast<UChar32>(character.value));
}

}  // namespace

void AppendUpper(std::string_view text, std::string& out) {
  if (IsAscii(text)) {
    std::transform(text.begin(), text.end(), std::back_inserter(out),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return;
  }
  AppendMapped(text, out, [](auto&&... args) { icu::CaseMap::utf8ToUpper(args...); });
}

void AppendLower(std::string_view text, std::string& out) {
  if (IsAscii(text)) {
    std::transform(text.begin(), text.end(), std::back_inserter(out),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return;
  }
  AppendMapped(text, out, [](auto&&... args) { icu::CaseMap::utf8ToLower(args...); });
}

std::string_view TrimWhiteSpace(std::string_view text) {
  std::size_t length = 0;
  while (!text.empty() && IsWhiteSpaceAt(text, length)) {
    text.remove_prefix(length);
  }
  // From the end: find where the last character starts, then test it.
  while (!text.empty()) {
    std::size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 &&
           (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
      --start;
    }
    if (!IsWhiteSpaceAt(text.substr(start), length) || start + length != text.size()) {
      break;
    }
    text.remove_suffix(length);
  }
  return text;
}

std::uint64_t CodePointCount(std::string_view text) {
  std::uint64_t count = 0;
  while (!text.empty()) {
    text.remove_prefix(CharacterLength(text));
    ++count;
  }
  return count;
}

std::string_view CodePointRange(std::string_view text, std::int64_t start, std::int64_t length) {
  for (std::int64_t skip = std::max<std::int64_t>(start, 1) - 1; skip > 0 && !text.empty();
       --skip) {
    text.remove_prefix(CharacterLength(text));
  }
  std::size_t end = 0;
  for (std::int64_t taken = 0; taken < length && end < text.size(); ++taken) {
    end += CharacterLength(text.substr(end));
  }
  return text.substr(0, end);
}

bool AppendReplaced(std::string_view text, std::string_view find, std::string_view with,
                    std::size_t limit, std::string& out) {
  const auto fits = [&](std::size_t more) {
    return out.size() <= limit && more <= limit - out.size();
  };
  for (;;) {
    const std::size_t at = find.empty() ? std::string_view::npos : text.find(find);
    if (at == std::string_view::npos) {
      if (!fits(text.size())) {
        return false;
      }
      out.append(text);
      return true;
    }
    if (!fits(at + with.size())) {
      return false;
    }
    out.append(text.substr(0, at));
    out.append(with);
    text.remove_prefix(at + find.size());
  }
}

}  // namespace rowvane
