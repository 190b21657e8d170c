#pragma once

#include <optional>
#include <string>

namespace rowvane::cli {

/// Why a folder cannot take the outputs.
struct FolderProblem {
  /// Said without the program's name or the path: "no such folder (-p
  /// creates it)", "not a folder", or the platform's reason.
  std::string reason;
  /// Nothing is there, so -p could make the folder.
  bool missing = false;
};

/// What keeps `folder` from taking the outputs; nothing when it is a folder.
std::optional<FolderProblem> OutputFolderProblem(const std::string& folder);

/// Creates `folder` and each missing folder above it, flushing each new
/// entry to the disk so the folders outlive a crash with the files put in
/// them. Gives the platform's reason when a folder cannot be made.
std::optional<std::string> MakeFolders(const std::string& folder);

}  // namespace rowvane::cli
