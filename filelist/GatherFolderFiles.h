#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "filelist/AddFolder.h"
#include "filelist/FileSystem.h"

namespace rowvane {

/// Pattern of "Add All CSV File(s) In Folder" and of `rowvane-cli --recursive`.
inline constexpr std::string_view kCsvFilePattern = "*.csv";
/// Pattern for a folder dropped onto the list: files of every extension.
inline constexpr std::string_view kAnyFilePattern = "*.*";

/// `path` with every pair of consecutive "/" replaced by one, in a single
/// left-to-right pass ("a//b" gives "a/b", "a///b" gives "a//b"). Joins such as
/// the root folder "/" and a name, or a folder given with a trailing "/", would
/// otherwise leave a doubled separator in a list entry.
std::string CollapseDoubledSeparators(std::string_view path);

/// True when a listed file is to be appended to the file list: it can be
/// opened, and its attribute value can still be read and is not exactly 34
/// (a hidden archive file).
bool IsFileToAdd(const FileSystem& fileSystem, const std::string& candidate);

/// Full paths of the files to append to the file list for `folder` and every
/// folder below it that the walk keeps (CollectSubFolders), with `pattern`:
/// folder by folder in walk order, within a folder in directory-search order
/// (ListFiles). Names beginning with "~", files that cannot be opened and files
/// whose attribute value is exactly 34 (hidden archive files) are left out.
/// Each path is built as folder, "/" and name, with doubled separators
/// collapsed. An empty `folder` (a cancelled choice) gives nothing. Never
/// throws for a missing or vanishing folder: it just finds fewer files. `letEventsRun` is called
/// during the walk only, not while the files are listed; a walk left gives nothing.
std::vector<std::string> GatherFolderFiles(const FileSystem& fileSystem, const std::string& folder,
                                           std::string_view pattern = kCsvFilePattern,
                                           const LetEventsRun& letEventsRun = {});

/// The files to append for `folders` as CollectSubFolders leaves them (each
/// path ending with "/"), by the rules and in the order of GatherFolderFiles.
/// No events run meanwhile.
std::vector<std::string> FilesOfFolders(const FileSystem& fileSystem,
                                        const std::vector<std::string>& folders,
                                        std::string_view pattern);

/// True when a path dropped onto the list is to be walked as a folder: a
/// directory search for it with the mask 16 (folders, but no hidden or system
/// entries) finds it, and its attribute value has the directory bit. A hidden
/// or system folder, or a path whose attributes cannot be read, is not. The
/// root folder "/" is one when its attributes say so.
bool IsDroppedFolder(const FileSystem& fileSystem, const std::string& path);

}  // namespace rowvane
