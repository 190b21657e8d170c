#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "engine/core/GroupBounds.h"

namespace rowvane {
class BatchStop;
}

namespace rowvane {

/// How a conversion does its work; the defaults suit real use, tests shrink them.
struct ConversionTuning {
  /// Bytes asked of the input per read.
  std::size_t readChunk = std::size_t{1} << 18;
  /// Least time between two observer calls; zero calls them at every chunk.
  std::chrono::milliseconds pauseInterval{20};
  /// Header fields whose tags are kept ready for the fast path (a memory bound
  /// applies as well); later fields take their names from the header line.
  std::size_t readyHeaderNames = std::size_t{1} << 16;
  /// Bytes of the header line split between two chances to pause.
  std::size_t headerSplitStep = std::size_t{1} << 18;
  /// Flush each output file to the disk before it takes its final name, and
  /// its folder after; false keeps the atomic rename but flushes nothing.
  bool syncToDisk = true;
  /// A batch's outputs are committed in groups (see GroupCommit), a single
  /// file's alone.
  GroupBounds groupBounds;
  /// Save through an unnamed temporary file where the file system allows it;
  /// false always uses the named one, as on file systems that refuse them.
  bool unnamedTemporary = true;
  /// Called while a finished output is held just before it replaces the
  /// target, its lock still taken: lets a test act as a concurrent run would.
  std::function<void()> beforeRename;
  /// Lets another thread stop a batch; none: it runs to its end.
  BatchStop* stop = nullptr;
  /// A first pass (TextIsUtf8) found that the text, without a byte-order
  /// mark, is not UTF-8: it is read from the start as a conversion reads it
  /// when it starts over, so an output that cannot be taken back never is.
  bool textNotUtf8 = false;
  /// Bytes of records a template that gathers groups sorts in memory when
  /// the input does not have them in group order; beyond that they go to
  /// sorted runs in a temporary file.
  std::size_t templateSortMemory = std::size_t{24} << 20;
  /// Where such runs go; empty: $TMPDIR, else /tmp.
  std::string temporaryFolder;
  /// The input's name without its folder, for a template's file-name(); "-"
  /// for standard input.
  std::string inputName = "-";
};

}  // namespace rowvane
