#pragma once

#include <cstddef>

namespace rowvane {

/// Bytes that may be read past the end of a padded source, and written past
/// the end of the writer's buffer, so short copies need no length switch.
inline constexpr std::size_t kCopySlack = 32;

}  // namespace rowvane
