#include "engine/xml/TemplateSchema.h"

#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/xml/XmlEscaping.h"

namespace rowvane {
namespace {

constexpr std::string_view kInstanceNamespace = "http://www.w3.org/2001/XMLSchema-instance";

std::string LocalName(const std::string& qualified) {
  const std::size_t colon = qualified.find(':');
  return colon == std::string::npos ? qualified : qualified.substr(colon + 1);
}

std::string Where(TemplatePosition at) {
  return std::to_string(at.line) + ":" + std::to_string(at.column);
}

std::string NamespaceShown(const std::string& uri) {
  return uri.empty() ? "no namespace" : "namespace " + uri;
}

// Text as a value between the quotes of the schema's attributes.
std::string QuotedValue(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (const std::string_view entity = XmlEntityFor(c); !entity.empty()) {
      out += entity;
    } else if (c == '"') {
      out += "&quot;";
    } else if (c == '\t') {
      out += "&#9;";
    } else if (c == '\n') {
      out += "&#10;";
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> ConstantOf(const TemplateText& text) {
  std::string value;
  for (const TemplateSegment& segment : text) {
    if (segment.field != TemplateSegment::kLiteral) {
      return std::nullopt;
    }
    value += segment.literal;
  }
  return value;
}

std::vector<const TemplateNode*> ElementChildren(const TemplateNode& node) {
  std::vector<const TemplateNode*> elements;
  for (const TemplateNode& child : node.children) {
    if (child.kind == TemplateNode::Kind::Element) {
      elements.push_back(&child);
    }
  }
  return elements;
}

// Text beside the child elements that is more than the blank between them.
bool HasMixedContent(const TemplateNode& node) {
  for (const TemplateNode& child : node.children) {
    if (child.kind == TemplateNode::Kind::CData ||
        (child.kind == TemplateNode::Kind::Text && !child.isBlank())) {
      return true;
    }
  }
  return false;
}

bool Repeats(const TemplateNode& node) {
  return node.forEach || node.groups() || node.forEachItem;
}

// How often a child element is written.
std::string Occurs(const TemplateNode& node) {
  if (Repeats(node)) {
    return " minOccurs=\"0\" maxOccurs=\"unbounded\"";
  }
  return node.condition ? " minOccurs=\"0\"" : "";
}

/// A child element with the content of its declaration (empty for xs:string).
struct Particle {
  const TemplateNode* node;
  std::string name;
  std::string type;
};

// Whether a sequence of the particles lets a validator tell, from an
// element's name alone, which particle it stands for: no two of the
// particles that may come next (the one just matched, when it repeats, and
// those up to the next one that must be there) share a name.
bool Deterministic(const std::vector<Particle>& particles) {
  const auto clash = [&](std::size_t from, const Particle* again) {
    std::set<std::string_view> names;
    if (again != nullptr) {
      names.insert(again->name);
    }
    for (std::size_t i = from; i < particles.size(); ++i) {
      if (!names.insert(particles[i].name).second) {
        return true;
      }
      if (!particles[i].node->carriesDirective()) {
        break;
      }
    }
    return false;
  };
  if (clash(0, nullptr)) {
    return false;
  }
  for (std::size_t i = 0; i < particles.size(); ++i) {
    const bool repeats = Repeats(*particles[i].node);
    if (clash(i + 1, repeats ? &particles[i] : nullptr)) {
      return false;
    }
  }
  return true;
}

class SchemaWriter {
 public:
  explicit SchemaWriter(const TemplateTree& tree) : m_tree(tree) {}

  std::string run() {
    const TemplateNode& root = m_tree.root;
    checkNamespaces(root);
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"";
    if (!root.uri.empty()) {
      out += " targetNamespace=\"" + QuotedValue(root.uri) + "\" elementFormDefault=\"qualified\"";
    }
    out += ">\n";
    out += declaration(LocalName(root.name), "", typeOf(root, "    "), "  ");
    out += "</xs:schema>\n";
    return out;
  }

 private:
  // Every element in the namespace of the document element.
  void checkNamespaces(const TemplateNode& node) const {
    const TemplateNode& root = m_tree.root;
    if (node.uri != root.uri) {
      throw TemplateError(node.at, "element " + node.name + " is in " + NamespaceShown(node.uri) +
                                       " but the document element " + root.name + " (" +
                                       Where(root.at) + ") is in " + NamespaceShown(root.uri) +
                                       "; a schema describes the elements of one namespace");
    }
    for (const TemplateNode* child : ElementChildren(node)) {
      checkNamespaces(*child);
    }
  }

  static std::string declaration(const std::string& name, const std::string& occurs,
                                 const std::string& type, const std::string& indent) {
    const std::string start = indent + "<xs:element name=\"" + name + "\"" + occurs;
    if (type.empty()) {
      return start + " type=\"xs:string\"/>\n";
    }
    return start + ">\n" + type + indent + "</xs:element>\n";
  }

  // The content of the element's declaration, at `indent`; empty when it is
  // xs:string (text only, no attributes).
  std::string typeOf(const TemplateNode& node, const std::string& indent) const {
    const std::vector<const TemplateNode*> elements = ElementChildren(node);
    if (node.children.empty()) {
      // Written as an empty-element tag.
      const std::string declared = attributes(node, indent + "  ");
      return declared.empty()
                 ? indent + "<xs:complexType/>\n"
                 : indent + "<xs:complexType>\n" + declared + indent + "</xs:complexType>\n";
    }
    if (elements.empty()) {
      if (node.attributes.empty()) {
        return "";
      }
      return indent + "<xs:complexType>\n" + indent + "  <xs:simpleContent>\n" + indent +
             "    <xs:extension base=\"xs:string\">\n" + attributes(node, indent + "      ") +
             indent + "    </xs:extension>\n" + indent + "  </xs:simpleContent>\n" + indent +
             "</xs:complexType>\n";
    }
    std::string out =
        indent + "<xs:complexType" + (HasMixedContent(node) ? " mixed=\"true\"" : "") + ">\n";
    out += particles(elements, indent + "  ");
    out += attributes(node, indent + "  ");
    out += indent + "</xs:complexType>\n";
    return out;
  }

  // The child elements in order; when a name comes back where a validator
  // could not tell which one it is, or with a type of its own (two local
  // types never agree), each name once in a choice of any order and count.
  std::string particles(const std::vector<const TemplateNode*>& elements,
                        const std::string& indent) const {
    std::vector<Particle> list;
    std::unordered_map<std::string, const Particle*> firstNamed;
    list.reserve(elements.size());
    bool nameBack = false;
    bool typeBack = false;
    for (const TemplateNode* element : elements) {
      list.push_back({element, LocalName(element->name), typeOf(*element, indent + "    ")});
      const Particle& particle = list.back();
      const auto [first, isFirst] = firstNamed.try_emplace(particle.name, &particle);
      if (isFirst) {
        continue;
      }
      if (first->second->type != particle.type) {
        throw TemplateError(element->at,
                            "sibling elements " + first->second->node->name + " (" +
                                Where(first->second->node->at) + ") and " + element->name + " (" +
                                Where(element->at) +
                                ") differ in content; XML Schema needs the declarations of "
                                "same-named siblings to agree");
      }
      nameBack = true;
      typeBack = typeBack || !particle.type.empty();
    }
    std::string out;
    if (nameBack && (typeBack || !Deterministic(list))) {
      out = indent + "<xs:choice minOccurs=\"0\" maxOccurs=\"unbounded\">\n";
      for (const Particle& particle : list) {
        if (firstNamed.at(particle.name) == &particle) {
          out += declaration(particle.name, "", particle.type, indent + "  ");
        }
      }
      return out + indent + "</xs:choice>\n";
    }
    out = indent + "<xs:sequence>\n";
    for (const Particle& particle : list) {
      out += declaration(particle.name, Occurs(*particle.node), particle.type, indent + "  ");
    }
    return out + indent + "</xs:sequence>\n";
  }

  static std::string attributes(const TemplateNode& node, const std::string& indent) {
    std::string out;
    for (const TemplateNode::Attribute& attribute : node.attributes) {
      if (!attribute.uri.empty()) {
        const std::string local = LocalName(attribute.name);
        if (attribute.uri == kInstanceNamespace &&
            (local == "schemaLocation" || local == "noNamespaceSchemaLocation")) {
          continue;  // a hint to the validator, never declared
        }
        throw TemplateError(node.at, "attribute " + attribute.name + " of element " + node.name +
                                         " is in namespace " + attribute.uri +
                                         "; a schema describes attributes without a prefix only");
      }
      out += indent + "<xs:attribute name=\"" + attribute.name + "\" type=\"xs:string\" use=\"" +
             (attribute.optional ? "optional" : "required") + "\"";
      if (const std::optional<std::string> constant = ConstantOf(attribute.value)) {
        out += " fixed=\"" + QuotedValue(*constant) + "\"";
      }
      out += "/>\n";
    }
    return out;
  }

  const TemplateTree& m_tree;
};

}  // namespace

std::string TemplateSchema(const TemplateTree& tree) {
  return SchemaWriter(tree).run();
}

}  // namespace rowvane
