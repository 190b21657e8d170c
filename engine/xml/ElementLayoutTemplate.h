#pragma once

#include <string>
#include <vector>

#include "engine/core/ConversionSettings.h"

namespace rowvane {

/// A template whose output is, byte for byte, the escaped element layout of
/// an input with these field names (as read, or header1... without a header
/// row) under the tags of `settings`. A field is named in its placeholder
/// unless its name is repeated or cannot be written inside braces; then it
/// is given by number (`{#3}`). A starting point for a user's own template.
std::string ElementLayoutTemplate(const std::vector<std::string>& names,
                                  const ConversionSettings& settings);

}  // namespace rowvane
