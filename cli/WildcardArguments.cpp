#include "cli/WildcardArguments.h"

#include <algorithm>
#include <string_view>

namespace rowvane::cli {
namespace {

constexpr std::string_view kWildcards = "*?";
constexpr std::string_view kSeparators = "/\\";

struct Pattern {
  std::string folder;  ///< as typed, with its separator; empty for the current folder
  std::string names;
};

std::optional<Pattern> PatternIn(const std::string& argument) {
  const auto separator = argument.find_last_of(kSeparators);
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::string_view folder = std::string_view(argument).substr(0, nameStart);
  const std::string_view names = std::string_view(argument).substr(nameStart);
  if (names.find_first_of(kWildcards) == std::string_view::npos ||
      folder.find_first_of(kWildcards) != std::string_view::npos) {
    return std::nullopt;
  }
  return Pattern{std::string(folder), std::string(names)};
}

}  // namespace

std::vector<std::string> ExpandWildcardArguments(const FileSystem& fileSystem,
                                                 const std::vector<std::string>& arguments) {
  std::vector<std::string> expanded;
  expanded.reserve(arguments.size());
  for (const std::string& argument : arguments) {
    const std::optional<Pattern> pattern = PatternIn(argument);
    if (!pattern) {
      expanded.push_back(argument);
      continue;
    }
    const std::vector<std::string> names =
        fileSystem.search(pattern->folder.empty() ? "." : pattern->folder, pattern->names, 0);
    if (names.empty()) {
      expanded.push_back(argument);
    }
    for (const std::string& name : names) {
      expanded.push_back(pattern->folder + name);
    }
  }
  return expanded;
}

std::vector<std::string> WithForwardSlashes(std::vector<std::string> arguments) {
  for (std::string& argument : arguments) {
    std::replace(argument.begin(), argument.end(), '\\', '/');
  }
  return arguments;
}

}  // namespace rowvane::cli
