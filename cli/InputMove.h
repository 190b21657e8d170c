#pragma once

#include <optional>
#include <string>
#include <variant>

namespace rowvane::cli {

/// Why a file could not be moved, worded for a message.
struct MoveProblem {
  std::string reason;
  int error = 0;  ///< the system's error number, when it gave one
};

/// The name `name` takes as the `number`th alternative when it is taken:
/// "-N" before its ".csv" or ".csv.gz" ending, else at its end.
std::string NumberedName(const std::string& name, unsigned number);

/// Moves the file `name` of the open folder `from` into `folder` under its
/// own name, or the first numbered name that is free; never replaces a file
/// and follows no link on the way. Across file systems the copy (with the
/// original's times and its read, write and execute rights, never set-user-ID,
/// set-group-ID or sticky) is flushed to the disk before the original is
/// removed. Gives the path it now has.
std::variant<std::string, MoveProblem> MoveIntoFolder(int from, const std::string& name,
                                                      const std::string& folder);

/// Writes `reason` and a line break into the file `path`, flushed to the
/// disk; gives why when it cannot.
std::optional<MoveProblem> WriteNote(const std::string& path, const std::string& reason);

}  // namespace rowvane::cli
