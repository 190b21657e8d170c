#pragma once

// The engine's front door, part 5 of 5: the files and the process around a
// conversion. Byte sources and output sinks; an input file that notices a
// change while it is read, opened by path or inside a held folder; `AtomicOutputFile`, which
// appears under its name whole or not at all; descriptors; how outputs are named from inputs and
// folders; whether a path exists; the platform's error messages; the
// termination signals a run stops on; the stack size for worker threads; and, for the
// Windows build, wide names, its errors and the names it reserves.

#include "engine/io/AtomicOutputFile.h"
#include "engine/io/ByteSource.h"
#include "engine/io/FileDescriptor.h"
#include "engine/io/InputFile.h"
#include "engine/io/InputPlace.h"
#include "engine/io/OutputNaming.h"
#include "engine/io/OutputSink.h"
#include "engine/io/PathExists.h"
#include "engine/io/ProcessSignals.h"
#include "engine/io/RegularFileBytes.h"
#include "engine/io/SystemError.h"
#include "engine/io/ThreadStacks.h"
#include "engine/io/WindowsFiles.h"
#include "engine/io/WindowsNames.h"
