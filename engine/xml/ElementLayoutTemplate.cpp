#include "engine/xml/ElementLayoutTemplate.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "engine/xml/LayoutTemplate.h"
#include "engine/xml/XmlEscaping.h"

namespace rowvane {
namespace {

// Control characters XML forbids, and U+FFFE and U+FFFF: no reference can
// stand for them either.
bool HasForbiddenCharacter(std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
      return true;
    }
    if (byte == 0xEF && name.substr(i + 1, 1) == "\xBF" && i + 2 < name.size() &&
        (static_cast<unsigned char>(name[i + 2]) & 0xFE) == 0xBE) {
      return true;
    }
  }
  return false;
}

// How often each name stands in the header, counted once for all of them.
std::unordered_map<std::string_view, std::size_t> NameCounts(
    const std::vector<std::string>& names) {
  std::unordered_map<std::string_view, std::size_t> counts;
  counts.reserve(names.size());
  for (const std::string& name : names) {
    ++counts[name];
  }
  return counts;
}

bool CanBeNamed(const std::unordered_map<std::string_view, std::size_t>& counts,
                std::string_view name) {
  return counts.at(name) == 1 && name.find('}') == std::string_view::npos &&
         !name.starts_with('{') && !name.starts_with('#') && !HasForbiddenCharacter(name);
}

std::string EscapedText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const std::string_view entity = XmlEntityFor(c);
    if (entity.empty()) {
      out += c;
    } else {
      out += entity;
    }
  }
  return out;
}

}  // namespace

std::string ElementLayoutTemplate(const std::vector<std::string>& names,
                                  const ConversionSettings& settings) {
  const std::string document = FixXmlName(settings.DocumentTag, "XML");
  const std::string row = FixXmlName(settings.RowTag, "row");
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  text += "<" + document + " xmlns:rv=\"" + kLayoutNamespace + "\">\n";
  text += " <" + row + " rv:for-each=\"record\">\n";
  const auto counts = NameCounts(names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string element = FixXmlName(names[i], "header" + std::to_string(i + 1));
    const std::string placeholder = CanBeNamed(counts, names[i])
                                        ? "{" + EscapedText(names[i]) + "}"
                                        : "{#" + std::to_string(i + 1) + "}";
    text += "  <" + element + ">" + placeholder + "</" + element + ">\n";
  }
  text += " </" + row + ">\n</" + document + ">\n";
  return text;
}

}  // namespace rowvane
