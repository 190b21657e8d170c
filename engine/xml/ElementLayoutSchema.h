#pragma once

#include <string>
#include <vector>

#include "engine/core/ConversionSettings.h"

namespace rowvane {

/// A W3C XML Schema that every output written with `settings` (whose format
/// escapes) for fields of these names matches: the document element, its
/// rows any number of times (or, without row tags, the fields of a record
/// any number of times), each row's fields in order, every value xs:string.
/// `fieldNames` as ReadFieldNames gives them.
std::string ElementLayoutSchema(const std::vector<std::string>& fieldNames,
                                const ConversionSettings& settings);

}  // namespace rowvane
