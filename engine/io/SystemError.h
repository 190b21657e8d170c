#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/core/Failure.h"

namespace rowvane {

/// The platform's own message for an error number.
inline std::string SystemMessage(int error) {
  return std::strerror(error);
}

/// Throws ConversionError of `kind` with the message of the current errno.
[[noreturn]] inline void ThrowSystemError(FailureKind kind, int error = errno) {
  throw ConversionError(kind, SystemMessage(error), error);
}

}  // namespace rowvane
