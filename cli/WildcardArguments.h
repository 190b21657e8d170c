#pragma once

#include <string>
#include <vector>

#include "filelist/FileSystem.h"

namespace rowvane::cli {

/// The inputs with each pattern ("*" and "?" in its last name, "data\*.csv")
/// replaced by the files it matches, for a platform whose shell leaves
/// patterns to the program. Matched as the folder walk matches: without regard
/// to case, hidden and system files and folders left out, in the platform's
/// name order, joined to the folder as it was typed. A pattern that matches
/// nothing stays as it is, to be reported as an input that is not there;
/// a pattern in a folder's name is not expanded. "\" and "/" both end a folder.
std::vector<std::string> ExpandWildcardArguments(const FileSystem& fileSystem,
                                                 const std::vector<std::string>& arguments);

/// The inputs with "/" in place of every "\": one separator for the naming
/// of outputs and sub-folders, on a platform that takes either.
std::vector<std::string> WithForwardSlashes(std::vector<std::string> arguments);

}  // namespace rowvane::cli
