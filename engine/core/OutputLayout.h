#pragma once

namespace rowvane {

/// The shape of the XML a conversion writes.
enum class OutputLayout {
  Elements,            ///< a row element per record, an element per field (the classic shape)
  FieldsAsAttributes,  ///< an empty row element per record, its fields as attributes
  Template,            ///< a user's template (ConversionSettings::Template)
};

}  // namespace rowvane
