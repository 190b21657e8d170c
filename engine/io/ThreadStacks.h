#pragma once

#include <cstddef>

namespace rowvane {

/// Stack size of the threads a program starts after UseModestThreadStacks().
inline constexpr std::size_t kModestThreadStack = std::size_t{1} << 20;

/// Gives threads started from now on stacks of kModestThreadStack instead of
/// the system's default (8 MiB on most systems, or whatever `ulimit -s` says),
/// unless the default is smaller already. The engine's threads keep little on
/// their stacks, while under a cap on the address space sixteen workers with
/// 8 MiB stacks would leave no memory to convert with. Call once at the start
/// of main(), before any thread starts; it changes the whole process.
void UseModestThreadStacks();

}  // namespace rowvane
