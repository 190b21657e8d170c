#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/csv/ValueTypes.h"

namespace rowvane {

/// The types a printed schema gives the fields: with what their values were
/// found to be, the narrowest that every value matches, or it with the empty
/// text beside it when some values were empty; without, xs:string for all.
class SchemaValueTypes {
 public:
  /// `values`: one per field, or null for text throughout.
  explicit SchemaValueTypes(const std::vector<FieldValues>* values) : m_values(values) {}

  /// The type attribute's value for `field`.
  std::string typeOf(std::size_t field) const;

  /// The simple types that typeOf() named and the schema must declare, as
  /// children of xs:schema, each line starting with `indent`.
  std::string declarations(const std::string& indent) const;

 private:
  const std::vector<FieldValues>* m_values;
};

}  // namespace rowvane
