#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowvane {

/// The folder separator this program writes between a folder and a name.
inline constexpr char kPathSeparator = '/';

/// Every character that ends a folder in a path on this platform: "/", and on
/// Windows "\" too (defined in FolderSeparators.cpp or its Windows sibling).
extern const std::string_view kFolderSeparators;

/// The characters after the last separator; the whole path when it has none,
/// and empty text when the path ends with a separator.
std::string FileNameOf(std::string_view path);

/// The ending of a gzip-compressed file's name.
inline constexpr std::string_view kGzipSuffix = ".gz";

/// True when `path` ends in ".gz", in any case.
bool HasGzipSuffix(std::string_view path);

/// The characters before the last dot; nothing when the name has no dot.
std::optional<std::string> StripExtension(std::string_view fileName);

/// Output path of an input: the folder as typed, a separator, the input's name
/// without its last dot and what follows, then ".xml".
struct OutputName {
  std::string path;
  bool hadDot = true;  ///< false: the name had no dot and ".xml" was appended to it whole
};
OutputName OutputPathFor(std::string_view inputPath, std::string_view outputFolder);

}  // namespace rowvane
