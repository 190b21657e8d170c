#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "filelist/FileSystem.h"

namespace rowvane {

/// What a walk's pause answers: go on, or leave at once (the window is closing).
enum class WalkAnswer { Continue, Leave };

/// Lets the window's pending events run between the steps of a walk and says
/// whether the walk goes on. An empty one does nothing; one made of a function
/// that answers nothing always lets the walk go on.
class LetEventsRun {
 public:
  LetEventsRun() = default;
  template <typename Pause>
  requires std::is_invocable_v<Pause&> LetEventsRun(
      Pause pause)  // NOLINT(google-explicit-constructor): a function stands for it
      : m_pause(Answering(std::move(pause))) {}

  WalkAnswer operator()() const { return m_pause ? m_pause() : WalkAnswer::Continue; }

 private:
  template <typename Pause>
  static std::function<WalkAnswer()> Answering(Pause pause) {
    if constexpr (std::is_void_v<std::invoke_result_t<Pause&>>) {
      return [pause = std::move(pause)]() mutable {
        pause();
        return WalkAnswer::Continue;
      };
    } else {
      return pause;
    }
  }

  std::function<WalkAnswer()> m_pause;
};

/// True when `path` cannot be used because its attributes cannot be read: it
/// does not exist, or its name cannot be given to the file functions.
bool IsBadFileName(const FileSystem& fileSystem, const std::string& path);

/// True when a folder name holds a character the walk refuses: a code point
/// below 32, from 127 to 159, or "?". Bytes that are not UTF-8 are no such
/// character: a name in another encoding is walked like any other. An empty
/// name is not refused.
bool HasBadCharacters(std::string_view name);

/// Extends `folders` (paths ending with "/") by the walkable sub-folders of
/// its walkable folders, each as the parent's path, the name and "/"; with
/// `recurse`, by all deeper levels too, level by level.
///
/// A folder is walkable when its attribute value is neither 22 nor 1046, or
/// when it is the root folder. A folder that is not walkable stays in the list
/// when it was there already, but nothing below it is looked at; one found
/// below is left out with everything below it. Sub-folders whose names have
/// bad characters (HasBadCharacters) are left out with everything below them,
/// as is a folder that the walk has already reached by another path (a link
/// back to a parent), so a walk ends. A folder whose contents may not be listed
/// is removed from the list; one that cannot be listed for another reason, or
/// that vanishes, is passed over. Nothing is thrown for any of these.
/// `letEventsRun` is called for every folder and every sub-folder looked at;
/// when it answers Leave the walk returns at once, `folders` as far as it got,
/// and so does this: Leave.
WalkAnswer CollectSubFolders(const FileSystem& fileSystem, std::vector<std::string>& folders,
                             bool recurse = false, const LetEventsRun& letEventsRun = {});

/// Names (without the folder) of the files of `folder` that match `pattern`
/// ("*.csv", "*.*"), hidden and system files included, folders never, and that
/// FileCanBeOpened; in the order of the directory search. No names when there
/// is none or the folder is missing.
std::vector<std::string> ListFiles(const FileSystem& fileSystem, std::string folder,
                                   const std::string& pattern);

/// True when `path` names an existing file that can be opened without asking
/// for access; false for a folder, a missing path, a special file or a name
/// that cannot be given to the file functions.
bool FileCanBeOpened(const FileSystem& fileSystem, const std::string& path);

}  // namespace rowvane
