#pragma once

#include <string>

namespace rowvane::cli {

/// Whether anything stands at `path`, a link followed.
bool IsPresent(const std::string& path);

/// Whether a name is taken at `path`; a link to nothing takes it too.
bool PathIsTaken(const std::string& path);

/// True when nothing stands at `path` to be emptied yet: not there, in a
/// folder -p has yet to make, or a link to nothing (which could name an output).
bool NothingToEmpty(const std::string& path);

/// True when `output` is a file whose modification time is not before the
/// input's, to the finest step the platform keeps: --update leaves it.
bool IsUpToDate(const std::string& input, const std::string& output);

/// Makes the one folder `path`; 0, or the error number of the failure.
int MakeOneFolder(const std::string& path);

/// Removes the file at `path`, quietly.
void RemoveFile(const std::string& path);

}  // namespace rowvane::cli
