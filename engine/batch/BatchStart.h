#pragma once

#include <string>
#include <vector>

namespace rowvane {

/// What the output folder of a batch turned out to be.
enum class OutputFolderState {
  Ready,       ///< an existing folder (links followed)
  Missing,     ///< nothing of that name, or an empty name
  NotAFolder,  ///< the name is taken by something that is not a folder
  Unusable,    ///< the system could not tell (too long a name, no permission...)
};

/// The answer of StartBatch: each caller words its own message from it.
struct OutputFolderVerdict {
  OutputFolderState state = OutputFolderState::Ready;
  std::string reason;   ///< the platform's message when the folder is not ready
  int errorNumber = 0;  ///< the errno whose message `reason` is

  bool ready() const { return state == OutputFolderState::Ready; }
};

/// What `folder` is as an output folder, without touching anything in it.
/// Never throws for a file system's reason.
OutputFolderVerdict CheckOutputFolder(const std::string& folder);

/// Call once before a batch writes into `outputFolder`. Checks the folder and,
/// when it is ready, removes the temporary files that runs ended by force
/// left in it: only names of the exact form the engine generates, only those
/// nobody holds locked, and never one of `inputs`. Never throws for a file
/// system's reason.
OutputFolderVerdict StartBatch(const std::string& outputFolder,
                               const std::vector<std::string>& inputs);

}  // namespace rowvane
