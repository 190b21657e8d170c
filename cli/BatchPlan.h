#pragma once

#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/InputGathering.h"
#include "engine/Batch.h"

namespace rowvane::cli {

/// An input --no-clobber leaves out, and why (without the input's name).
struct Refusal {
  BatchFile file;
  std::string reason;
};

/// The line that reports a refusal.
std::string RefusalLine(const Refusal& refusal);

/// Where each gathered input goes, worked out once before anything is written.
struct BatchPlan {
  /// The inputs to convert, in order, each with its output.
  std::vector<BatchFile> files;
  /// Folders below the output folder that --keep-tree needs (as paths that
  /// start with it), each once.
  std::vector<std::string> subFolders;
  /// Inputs that share an output with another: one line each naming both and
  /// the one whose output stands.
  std::vector<std::string> collisionWarnings;
  /// Inputs left out by --no-clobber; they count as failed.
  std::vector<Refusal> refusals;
};

/// Names every output (in the -o folder, or with --keep-tree in the input's
/// sub-folder of it), warns of inputs that share one (the later wins, as in
/// the window; with --no-clobber the first stays and the others are refused),
/// and with --no-clobber refuses inputs whose output exists already.
BatchPlan PlanOutputs(const GatheredInputs& gathered, const CliOptions& options);

}  // namespace rowvane::cli
