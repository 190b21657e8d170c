#include "engine/xml/ElementLayoutSchema.h"

#include "engine/xml/SchemaValueTypes.h"
#include "engine/xml/XmlEscaping.h"

namespace rowvane {
namespace {

constexpr const char* kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n";
constexpr const char* kUnbounded = " minOccurs=\"0\" maxOccurs=\"unbounded\"";

void AppendFields(std::string& out, const std::vector<std::string>& names,
                  const SchemaValueTypes& types, const std::string& indent) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    // The name the escaped element layout writes for this field.
    const std::string name = FixXmlName(names[i], "header" + std::to_string(i + 1));
    out += indent + "<xs:element name=\"" + name + "\" type=\"" + types.typeOf(i) + "\"/>\n";
  }
}

/// A complex type whose content is `particles` as one sequence, repeated or
/// not. A type without particles is mixed: the line breaks the conversion
/// writes between an empty element's tags would be refused as content of an
/// empty type.
std::string ComplexType(const std::vector<std::string>& names, const SchemaValueTypes& types,
                        const std::string& indent, const char* sequenceOccurs) {
  if (names.empty()) {
    return indent + "<xs:complexType mixed=\"true\"/>\n";
  }
  std::string out = indent + "<xs:complexType>\n";
  out += indent + "  <xs:sequence" + sequenceOccurs + ">\n";
  AppendFields(out, names, types, indent + "    ");
  out += indent + "  </xs:sequence>\n";
  out += indent + "</xs:complexType>\n";
  return out;
}

}  // namespace

std::string ElementLayoutSchema(const std::vector<std::string>& fieldNames,
                                const ConversionSettings& settings,
                                const std::vector<FieldValues>* values) {
  const SchemaValueTypes types(values);
  // The same names the conversion writes when it escapes.
  const std::string documentTag = FixXmlName(settings.DocumentTag, "XML");
  const std::string rowTag = FixXmlName(settings.RowTag, "row");
  std::string out = kHead;
  out += "  <xs:element name=\"" + documentTag + "\">\n";
  if (settings.IncludeRowTags) {
    out += "    <xs:complexType>\n";
    out += "      <xs:sequence>\n";
    out += "        <xs:element name=\"" + rowTag + "\"" + kUnbounded + ">\n";
    out += ComplexType(fieldNames, types, "          ", "");
    out += "        </xs:element>\n";
    out += "      </xs:sequence>\n";
    out += "    </xs:complexType>\n";
  } else {
    out += ComplexType(fieldNames, types, "    ", kUnbounded);
  }
  out += "  </xs:element>\n";
  out += types.declarations("  ");
  out += "</xs:schema>\n";
  return out;
}

}  // namespace rowvane
