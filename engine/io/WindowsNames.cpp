#include "engine/io/WindowsNames.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace rowvane {
namespace {

constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> kNumberedDevices = {"COM", "LPT"};
// The superscript digits ¹ ² ³ in UTF-8, which Windows also takes as port numbers.
constexpr std::array<std::string_view, 3> kSuperscriptDigits = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
constexpr std::string_view kForbidden = "<>:\"|?*\\/";

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return upper;
}

bool IsPortNumber(std::string_view text) {
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '9') {
    return true;
  }
  return std::find(kSuperscriptDigits.begin(), kSuperscriptDigits.end(), text) !=
         kSuperscriptDigits.end();
}

bool IsReservedDevice(std::string_view name) {
  // What stands before the first dot counts, less the spaces that end it.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') {
    stem.remove_suffix(1);
  }
  const std::string upper = Upper(stem);
  if (std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end()) {
    return true;
  }
  return upper.size() > 3 &&
         std::find(kNumberedDevices.begin(), kNumberedDevices.end(),
                   std::string_view(upper).substr(0, 3)) != kNumberedDevices.end() &&
         IsPortNumber(std::string_view(upper).substr(3));
}

}  // namespace

std::optional<std::string> WindowsNameProblem(std::string_view name) {
  if (IsReservedDevice(name)) {
    return "is a device name that Windows reserves";
  }
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    return "ends in a dot or a space, which Windows drops from names";
  }
  const bool forbidden = std::any_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || kForbidden.find(c) != std::string_view::npos;
  });
  if (forbidden) {
    return "holds a character that Windows does not allow in names";
  }
  return std::nullopt;
}

}  // namespace rowvane
