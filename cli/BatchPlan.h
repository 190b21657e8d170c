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
  /// Inputs --update leaves out, which are no failures: those whose output is
  /// up to date, and those a later input of the same output replaces.
  std::vector<Refusal> leftAlone;
};

/// Names every output (in the -o folder, or with --keep-tree in the input's
/// sub-folder of it), warns of inputs that share one (the later wins, as in
/// the window; with --no-clobber the first stays and the others are refused),
/// and with --no-clobber refuses inputs whose output exists already. With
/// --update an input whose output is not older than it is left alone, and of
/// inputs that share an output only the last is converted, always: the output
/// may hold an earlier one's from a run that was cut short.
BatchPlan PlanOutputs(const GatheredInputs& gathered, const CliOptions& options);

}  // namespace rowvane::cli
