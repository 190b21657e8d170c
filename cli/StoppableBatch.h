#pragma once

#include <functional>
#include <vector>

#include "engine/Batch.h"

namespace rowvane::cli {

/// ConvertPlannedBatch that a termination signal stops in good order: no
/// output not yet named takes its name, every file not finished is reported
/// to `observer` as stopped (BatchObserver::onFileStopped), `afterStop` runs
/// (to close the report), and the process then ends as the signal says (see
/// StopOnTermination). Without a signal, as ConvertPlannedBatch.
std::vector<FileOutcome> ConvertStoppably(const std::vector<BatchFile>& files,
                                          const ConversionSettings& settings, unsigned jobs,
                                          BatchObserver& observer, ConversionTuning tuning,
                                          const std::function<void()>& afterStop);

}  // namespace rowvane::cli
