#pragma once

// The engine's front door, part 3 of 5: batches.
// `StartBatch` makes a batch's output folders ready and says which cannot
// be; `ConvertBatch` / `ConvertPlannedBatch` convert many files on several
// threads, committing their outputs in groups and telling a `BatchObserver`
// of each file's `FileOutcome`; `BatchStop` ends a batch early from another
// thread (a termination signal), every file not done reported stopped.

#include "engine/Conversion.h"
#include "engine/batch/BatchConverter.h"
#include "engine/batch/BatchStart.h"
#include "engine/batch/BatchStop.h"
