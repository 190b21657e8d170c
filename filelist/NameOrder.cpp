#include "filelist/NameOrder.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "filelist/CaseFolding.h"
#include "text/Utf8.h"

namespace rowvane {
namespace {

/// Upper-case UTF-16 code units of a name; code points above the BMP become
/// surrogate pairs, which places them where UTF-16 order puts them.
std::u16string SortKeyOf(std::string_view name) {
  std::u16string key;
  key.reserve(name.size());
  for (char32_t c : DecodeUtf8Leniently(name)) {
    const char32_t upper = UpperCaseOf(c);
    if (upper >= 0x10000) {
      const char32_t offset = upper - 0x10000;
      key.push_back(static_cast<char16_t>(0xD800 + (offset >> 10U)));
      key.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FFU)));
    } else {
      key.push_back(static_cast<char16_t>(upper));
    }
  }
  return key;
}

}  // namespace

bool PlatformNameLess(std::string_view a, std::string_view b) {
  const std::u16string keyA = SortKeyOf(a);
  const std::u16string keyB = SortKeyOf(b);
  if (keyA != keyB) {
    return keyA < keyB;
  }
  return a < b;
}

void SortInPlatformOrder(std::vector<std::string>& names) {
  std::vector<std::pair<std::u16string, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) {
    std::u16string key = SortKeyOf(name);
    keyed.emplace_back(std::move(key), std::move(name));
  }
  std::sort(keyed.begin(), keyed.end());
  for (std::size_t i = 0; i < keyed.size(); ++i) {
    names[i] = std::move(keyed[i].second);
  }
}

}  // namespace rowvane
