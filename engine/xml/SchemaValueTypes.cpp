#include "engine/xml/SchemaValueTypes.h"

#include <string_view>

namespace rowvane {
namespace {

// "integerOrEmpty" for xs:integer.
std::string OrEmptyName(ValueType type) {
  return std::string(SchemaTypeName(type).substr(3)) + "OrEmpty";
}

}  // namespace

std::string SchemaValueTypes::typeOf(std::size_t field) const {
  if (m_values == nullptr || field >= m_values->size()) {
    return "xs:string";
  }
  const FieldValues& values = (*m_values)[field];
  const ValueType type = values.type();
  if (type != ValueType::String && values.anyEmpty) {
    return OrEmptyName(type);
  }
  return std::string(SchemaTypeName(type));
}

std::string SchemaValueTypes::declarations(const std::string& indent) const {
  if (m_values == nullptr) {
    return {};
  }
  ValueTypeSet needed = 0;
  for (const FieldValues& values : *m_values) {
    if (values.type() != ValueType::String && values.anyEmpty) {
      needed |= Bit(values.type());
    }
  }
  std::string out;
  for (const ValueType type : {ValueType::Integer, ValueType::Decimal, ValueType::Boolean,
                               ValueType::Date, ValueType::DateTime}) {
    if ((needed & Bit(type)) == 0) {
      continue;
    }
    out += indent + "<xs:simpleType name=\"" + OrEmptyName(type) + "\">\n";
    out += indent + "  <xs:union memberTypes=\"" + std::string(SchemaTypeName(type)) + "\">\n";
    out += indent + "    <xs:simpleType>\n";
    out += indent + "      <xs:restriction base=\"xs:string\"><xs:length value=\"0\"/>" +
           "</xs:restriction>\n";
    out += indent + "    </xs:simpleType>\n";
    out += indent + "  </xs:union>\n";
    out += indent + "</xs:simpleType>\n";
  }
  return out;
}

}  // namespace rowvane
