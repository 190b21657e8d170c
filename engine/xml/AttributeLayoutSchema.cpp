#include "engine/xml/AttributeLayoutSchema.h"

#include "engine/xml/AttributeNames.h"
#include "engine/xml/XmlEscaping.h"

namespace rowvane {

std::string AttributeLayoutSchema(const std::vector<std::string>& fieldNames,
                                  const ConversionSettings& settings) {
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
  for (const std::string& name : AttributeNames(fieldNames)) {
    out +=
        "            <xs:attribute name=\"" + name + "\" type=\"xs:string\" use=\"required\"/>\n";
  }
  out += "          </xs:complexType>\n";
  out += "        </xs:element>\n";
  out += "      </xs:sequence>\n";
  out += "    </xs:complexType>\n";
  out += "  </xs:element>\n";
  out += "</xs:schema>\n";
  return out;
}

}  // namespace rowvane
