#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/ConversionSettings.h"

namespace rowvane::cli {

/// What one call of rowvane-cli asks for, as read from its arguments.
struct CliOptions {
  /// The conversion options.
  ConversionSettings settings;
  /// The -o folder as typed.
  std::string outputFolder;
  /// Input files in the order given; converted in this order.
  std::vector<std::string> inputs;
  /// Files converted at once; empty means one per processor.
  std::optional<unsigned> jobs;
  /// No progress display even on a terminal.
  bool quiet = false;
  /// A folder INPUT stands for its CSV files and those of every folder below.
  bool recursive = false;
};

}  // namespace rowvane::cli
