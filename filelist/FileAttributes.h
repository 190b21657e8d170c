#pragma once

#include <cstdint>

namespace rowvane {

/// Attribute value of a file or folder: a bit set whose bit values are fixed,
/// because the walk and the adding rules compare whole values (22, 34, 1046).
using Attributes = std::uint32_t;

namespace attribute {
inline constexpr Attributes kReadOnly = 1;
inline constexpr Attributes kHidden = 2;
inline constexpr Attributes kSystem = 4;
inline constexpr Attributes kDirectory = 16;
inline constexpr Attributes kArchive = 32;
inline constexpr Attributes kReparsePoint = 1024;

/// Hidden system folder: the walk leaves it out with everything below it.
inline constexpr Attributes kProtectedFolder = kDirectory | kSystem | kHidden;  // 22
/// The same reached through a link or junction.
inline constexpr Attributes kProtectedLink = kProtectedFolder | kReparsePoint;  // 1046
/// Hidden archive file: the adding operations leave it out.
inline constexpr Attributes kHiddenArchiveFile = kArchive | kHidden;  // 34

/// Search masks: which of the hidden, system and directory entries a directory
/// search may return besides ordinary files.
inline constexpr Attributes kFilesOfAnyKind = kHidden | kSystem;   // 6
inline constexpr Attributes kVisibleFoldersAndFiles = kDirectory;  // 16
}  // namespace attribute

/// True when a directory search with attribute mask `mask` returns an entry
/// whose value is `entry`: every hidden, system or directory bit of the entry
/// must be asked for by the mask. Read-only, archive and reparse bits never
/// hold an entry back.
constexpr bool PassesSearchMask(Attributes entry, Attributes mask) {
  constexpr Attributes kRestricting =
      attribute::kHidden | attribute::kSystem | attribute::kDirectory;
  return (entry & kRestricting & ~mask) == 0;
}

}  // namespace rowvane
