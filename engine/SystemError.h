#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include "Failure.h"

namespace rowvane {

/// The platform's own message for an error number.
inline std::string SystemMessage(int error) {
  return std::strerror(error);
}

/// Throws ConversionError for `step` with the message of the current errno.
[[noreturn]] inline void ThrowSystemError(Step step, int error = errno) {
  throw ConversionError(step, SystemMessage(error));
}

}  // namespace rowvane
