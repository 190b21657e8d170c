#pragma once

#include <cstdint>

#include "engine/core/ConversionWarnings.h"

namespace rowvane {

/// What a conversion gives back once the whole output is written.
struct ConversionResult {
  /// What the user should be warned of.
  ConversionWarnings warnings;
  /// Records written to the output: header repeats and lines that carry no
  /// record are not counted.
  std::uint64_t records = 0;
  /// A pause was answered Stop or Leave: the document was left unfinished.
  bool stopped = false;
};

}  // namespace rowvane
