#pragma once

#include <string>
#include <vector>

#include "engine/core/ConversionSettings.h"
#include "engine/csv/ValueTypes.h"

namespace rowvane {

/// A W3C XML Schema that every output of the attributes layout written with
/// `settings` for fields of these names matches: the document element, its
/// rows any number of times, each an empty element that carries every field
/// as an attribute named as the layout names it (AttributeNames), each value
/// of the type SchemaValueTypes gives for `values` (xs:string throughout
/// without them). `fieldNames` and `values` as ReadTypedFields gives them.
std::string AttributeLayoutSchema(const std::vector<std::string>& fieldNames,
                                  const ConversionSettings& settings,
                                  const std::vector<FieldValues>* values = nullptr);

}  // namespace rowvane
