#include "cli/StoppableBatch.h"

#include "engine/Batch.h"
#include "engine/Files.h"

namespace rowvane::cli {

std::vector<FileOutcome> ConvertStoppably(const std::vector<BatchFile>& files,
                                          const ConversionSettings& settings, unsigned jobs,
                                          BatchObserver& observer, ConversionTuning tuning,
                                          const std::function<void()>& afterStop) {
  BatchStop stop;
  tuning.stop = &stop;
  // Once a signal has been handed over, this thread gets no further than the
  // end of this scope: the process ends on the stopping thread.
  const StopOnTermination onSignal([&](int) {
    stop.request();
    afterStop();
  });
  return ConvertPlannedBatch(files, settings, jobs, observer, tuning);
}

}  // namespace rowvane::cli
