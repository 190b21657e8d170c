#pragma once

#include <string>
#include <vector>

#include "engine/Layouts.h"
#include "engine/Settings.h"

namespace rowvane::cli {

/// The names of the fields of `input` (a path, or "-" for standard input) as a
/// conversion by `settings` reads them (see ReadFieldNames). Standard input is
/// kept in an unnamed file first, since detecting the encoding may read the
/// text twice. Throws InputMissing and ConversionError.
std::vector<std::string> ReadInputFieldNames(const std::string& input,
                                             const ConversionSettings& settings);

/// The same with what every field's values were found to be (ReadTypedFields).
InputFields ReadInputTypedFields(const std::string& input, const ConversionSettings& settings);

}  // namespace rowvane::cli
