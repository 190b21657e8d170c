#pragma once

#include <string>
#include <vector>

namespace rowvane::reliability {

/// One input file of the window's fault runs.
struct InputSpec {
  std::string name;
  std::string bytes;
  bool hasEarlierOutput;  ///< an output of its name stands before each run
};

/// A header line and `count` records, lines ending CR LF; `width` widens
/// the name field.
std::string Rows(int count, int width);

/// The files every window run lists, in list order: small ones, one whose
/// output passes 16 KiB, an empty one, and one large enough (4 MiB and more)
/// to be written from the engine's second thread.
const std::vector<InputSpec>& Batch();

/// The output name of an input: its name up to the last dot, and ".xml".
std::string OutputNameOf(const std::string& input);

/// What stands under an input's output name before a run.
std::string EarlierOutputOf(const std::string& input);

/// Writes `bytes` to `path`; throws std::runtime_error when it cannot.
void WriteBytes(const std::string& path, const std::string& bytes);

/// Writes every file of Batch() into `folder`.
void CopyBatchInto(const std::string& folder);

}  // namespace rowvane::reliability
