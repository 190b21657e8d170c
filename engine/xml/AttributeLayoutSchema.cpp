#include "engine/xml/AttributeLayoutSchema.h"

#include "engine/xml/AttributeNames.h"
#include "engine/xml/SchemaValueTypes.h"
#include "engine/xml/XmlEscaping.h"

namespace rowvane {

std::string AttributeLayoutSchema(const std::vector<std::string>& fieldNames,
                                  const ConversionSettings& settings,
                                  const std::vector<FieldValues>* values) {
  const SchemaValueTypes types(values);
  // The same names the layout writes.
  const std::string documentTag = FixXmlName(settings.DocumentTag, "XML");
  const std::string rowTag = FixXmlName(settings.RowTag, "row");
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n";
  out += "  <xs:element name=\"" + documentTag + "\">\n";
  out += "    <xs:complexType>\n";
  out += "      <xs:sequence>\n";
  out += "        <xs:element name=\"" + rowTag + "\" minOccurs=\"0\" maxOccurs=\"unbounded\">\n";
  out += "          <xs:complexType>\n";
  // The reader gives every record all of the fields, so each attribute is there.
  const std::vector<std::string> names = AttributeNames(fieldNames);
  for (std::size_t i = 0; i < names.size(); ++i) {
    out += "            <xs:attribute name=\"" + names[i] + "\" type=\"" + types.typeOf(i) +
           "\" use=\"required\"/>\n";
  }
  out += "          </xs:complexType>\n";
  out += "        </xs:element>\n";
  out += "      </xs:sequence>\n";
  out += "    </xs:complexType>\n";
  out += "  </xs:element>\n";
  out += types.declarations("  ");
  out += "</xs:schema>\n";
  return out;
}

}  // namespace rowvane
