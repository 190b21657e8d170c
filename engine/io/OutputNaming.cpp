#include "engine/io/OutputNaming.h"

namespace rowvane {

std::string FileNameOf(std::string_view path) {
  const auto separator = path.find_last_of(kFolderSeparators);
  if (separator == std::string_view::npos) {
    return std::string(path);
  }
  return std::string(path.substr(separator + 1));
}

std::optional<std::string> StripExtension(std::string_view fileName) {
  const auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(fileName.substr(0, dot));
}

bool HasGzipSuffix(std::string_view path) {
  if (path.size() < kGzipSuffix.size()) {
    return false;
  }
  const std::string_view ending = path.substr(path.size() - kGzipSuffix.size());
  return std::equal(ending.begin(), ending.end(), kGzipSuffix.begin(), [](char typed, char lower) {
    return std::tolower(static_cast<unsigned char>(typed)) == lower;
  });
}

OutputName OutputPathFor(std::string_view inputPath, std::string_view outputFolder) {
  const std::string name = FileNameOf(inputPath);
  const std::optional<std::string> stem = StripExtension(name);
  OutputName result;
  result.hadDot = stem.has_value();
  result.path.reserve(outputFolder.size() + name.size() + 5);
  result.path.append(outputFolder);
  result.path.push_back(kPathSeparator);
  result.path.append(stem.value_or(name));
  result.path.append(".xml");
  return result;
}

}  // namespace rowvane
