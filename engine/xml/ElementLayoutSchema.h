#pragma once

#include <string>
#include <vector>

#include "engine/core/ConversionSettings.h"
#include "engine/csv/ValueTypes.h"

namespace rowvane {

/// A W3C XML Schema that every output written with `settings` (whose format
/// escapes) for fields of these names matches: the document element, its
/// rows any number of times (or, without row tags, the fields of a record
/// any number of times), each row's fields in order, each value of the type
/// SchemaValueTypes gives for `values` (xs:string throughout without them).
/// `fieldNames` and `values` as ReadTypedFields gives them.
std::string ElementLayoutSchema(const std::vector<std::string>& fieldNames,
                                const ConversionSettings& settings,
                                const std::vector<FieldValues>* values = nullptr);

}  // namespace rowvane
