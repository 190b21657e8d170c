#include "engine/xml/TemplateParser.h"

#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include "engine/xml/TemplatePlaceholders.h"

namespace rowvane {
namespace {

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}

std::string QualifiedName(const xmlChar* prefix, const xmlChar* local) {
  std::string name;
  if (prefix != nullptr) {
    name.append(View(prefix)).append(":");
  }
  return name.append(View(local));
}

// Moves a position over text the parser has read.
TemplatePosition Advance(TemplatePosition at, std::string_view text) {
  for (const char c : text) {
    if (c == '\n') {
      ++at.line;
      at.column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++at.column;  // columns count characters, as the parser's do
    }
  }
  return at;
}

// Positions in text whose pieces began at known places, asked for from left
// to right as placeholders are read: each byte is passed over once, so a
// text of many placeholders costs its length, not its length per placeholder.
class PositionCursor {
 public:
  // `chunks`: where each piece of `text` begins in it, and its position.
  PositionCursor(std::string_view text,
                 std::span<const std::pair<std::size_t, TemplatePosition>> chunks)
      : m_text(text), m_chunks(chunks) {
    restart();
  }

  TemplatePosition operator()(std::size_t offset) {
    if (offset < m_offset) {
      restart();
    }
    while (m_chunk + 1 < m_chunks.size() && m_chunks[m_chunk + 1].first <= offset) {
      ++m_chunk;
      m_offset = m_chunks[m_chunk].first;
      m_at = m_chunks[m_chunk].second;
    }
    m_at = Advance(m_at, m_text.substr(m_offset, offset - m_offset));
    m_offset = offset;
    return m_at;
  }

 private:
  void restart() {
    m_chunk = 0;
    m_offset = m_chunks.front().first;
    m_at = m_chunks.front().second;
  }

  std::string_view m_text;
  std::span<const std::pair<std::size_t, TemplatePosition>> m_chunks;
  std::size_t m_chunk = 0;
  std::size_t m_offset = 0;
  TemplatePosition m_at;
};

// Without entity replacement the parser hands an `&` in an attribute value on
// as the reference `&#38;` (for a tree builder to read again); a value can
// hold no other `&`, so every such reference is one `&`.
std::string AttributeValue(const xmlChar* begin, const xmlChar* end) {
  std::string value(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
  std::size_t at = 0;
  while ((at = value.find("&#38;", at)) != std::string::npos) {
    value.replace(at, 5, "&");
    ++at;
  }
  return value;
}

class TemplateParser {
 public:
  explicit TemplateParser(TemplateParameters parameters) {
    m_tree.expressions = std::make_shared<TemplateExpressions>(std::move(parameters));
  }

  TemplateTree parse(std::string_view bytes) {
    if (bytes.size() > kTemplateMaxBytes) {
      throw TemplateError({1, 1}, kTemplateTooLarge);
    }
    if (bytes.empty()) {
      // libxml2 makes no parser for no bytes at all.
      throw TemplateError({1, 1}, "the template is empty");
    }
    const std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(
        xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())),
        &xmlFreeParserCtxt);
    if (!context) {
      throw std::bad_alloc();
    }
    m_context = context.get();
    // No XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_HUGE: references are
    // not expanded beyond the predefined ones, nothing is fetched, and the
    // parser keeps its limits.
    xmlCtxtUseOptions(m_context, XML_PARSE_NONET);
    installHandlers();
    xmlParseDocument(m_context);
    m_context = nullptr;
    if (m_error) {
      throw *m_error;
    }
    if (!m_sawRoot) {
      throw TemplateError({1, 1}, "the template has no document element");
    }
    return std::move(m_tree);
  }

 private:
  static TemplateParser& Self(void* user) {
    return *static_cast<TemplateParser*>(static_cast<xmlParserCtxtPtr>(user)->_private);
  }

  void installHandlers() {
    xmlSAXHandler handler;
    std::memset(&handler, 0, sizeof handler);
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = [](void* user, const xmlChar* local, const xmlChar* prefix,
                                const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                                int attributeCount, int, const xmlChar** attributes) {
      Self(user).guarded([&](TemplateParser& parser) {
        parser.startElement(local, prefix, uri, namespaceCount, namespaces, attributeCount,
                            attributes);
      });
    };
    handler.endElementNs = [](void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
      Self(user).guarded([](TemplateParser& parser) { parser.endElement(); });
    };
    handler.characters = [](void* user, const xmlChar* text, int size) {
      Self(user).guarded([&](TemplateParser& parser) { parser.characters(text, size); });
    };
    handler.ignorableWhitespace = handler.characters;
    handler.cdataBlock = [](void* user, const xmlChar* text, int size) {
      Self(user).guarded([&](TemplateParser& parser) { parser.cdata(text, size); });
    };
    handler.comment = [](void* user, const xmlChar* text) {
      Self(user).guarded([&](TemplateParser& parser) {
        parser.leaf(TemplateNode::Kind::Comment, std::string(View(text)), {});
      });
    };
    handler.processingInstruction = [](void* user, const xmlChar* target, const xmlChar* data) {
      Self(user).guarded([&](TemplateParser& parser) {
        parser.leaf(TemplateNode::Kind::Instruction, std::string(View(target)),
                    std::string(View(data)));
      });
    };
    handler.internalSubset = [](void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
      Self(user).guarded([](TemplateParser& parser) {
        throw TemplateError(parser.current(), "a DOCTYPE is not allowed in a template");
      });
    };
    handler.serror = [](void* user, xmlErrorPtr error) {
      if (error != nullptr && error->level >= XML_ERR_ERROR) {
        Self(user).libraryError(*error);
      }
    };
    std::memcpy(m_context->sax, &handler, sizeof handler);
    m_context->userData = m_context;
    m_context->_private = this;
  }

  // Runs one event; the first problem stops the parser.
  template <typename Event>
  void guarded(Event&& event) {
    if (m_error) {
      return;
    }
    try {
      event(*this);
    } catch (const TemplateError& error) {
      m_error = error;
      xmlStopParser(m_context);
    }
  }

  void libraryError(const xmlError& error) {
    if (m_error) {
      return;
    }
    std::string message = error.message != nullptr ? error.message : "not well-formed";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
      message.pop_back();
    }
    m_error = TemplateError({static_cast<std::uint32_t>(error.line > 0 ? error.line : 1),
                             static_cast<std::uint32_t>(error.int2 > 0 ? error.int2 : 1)},
                            message);
    xmlStopParser(m_context);
  }

  TemplatePosition current() const {
    return {static_cast<std::uint32_t>(xmlSAX2GetLineNumber(m_context)),
            static_cast<std::uint32_t>(xmlSAX2GetColumnNumber(m_context))};
  }
  // The parser reports an event once it has read it; it began where the
  // previous one ended (text between them is an event of its own), after the
  // `>` of a start tag that was reported before its `>` was read.
  TemplatePosition eventStart() const {
    TemplatePosition at = m_lastEnd;
    if (m_afterStartTag) {
      ++at.column;
    }
    return at;
  }
  void eventEnd() {
    m_lastEnd = current();
    m_afterStartTag = false;
  }

  std::vector<TemplateNode>& siblings() {
    if (!m_open.empty()) {
      return m_open.back()->children;
    }
    return m_sawRoot ? m_tree.epilog : m_tree.prolog;
  }

  void startElement(const xmlChar* local, const xmlChar* prefix, const xmlChar* uri,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount,
                    const xmlChar** attributes) {
    flushText();
    TemplateNode node;
    node.at = eventStart();
    node.name = QualifiedName(prefix, local);
    node.uri = View(uri);
    if (View(uri) == kLayoutNamespace) {
      throw TemplateError(node.at, "element " + node.name + ": the namespace " + kLayoutNamespace +
                                       " holds directives, not elements");
    }
    if (m_open.size() >= static_cast<std::size_t>(kTemplateMaxDepth)) {
      throw TemplateError(node.at, "elements nested more than 256 deep");
    }
    for (int i = 0; i < namespaceCount; ++i) {
      const std::string_view declared = View(namespaces[2 * i + 1]);
      if (declared == kLayoutNamespace) {
        continue;
      }
      const xmlChar* declaredPrefix = namespaces[2 * i];
      node.namespaces.push_back(
          {declaredPrefix == nullptr ? "xmlns" : "xmlns:" + std::string(View(declaredPrefix)),
           std::string(declared)});
    }
    std::optional<std::string> optional;
    for (int i = 0; i < attributeCount; ++i) {
      const xmlChar** attribute = attributes + 5 * i;
      std::string name = QualifiedName(attribute[1], attribute[0]);
      std::string value = AttributeValue(attribute[3], attribute[4]);
      if (View(attribute[2]) == kLayoutNamespace) {
        directive(node, View(attribute[0]), name, value, optional);
      } else {
        node.attributes.push_back(
            {std::move(name), std::string(View(attribute[2])), readText(value, node.at), false});
      }
    }
    if (optional) {
      markOptional(node, *optional);
    }
    checkDirectives(node);
    if (m_open.empty()) {
      if (node.carriesDirective()) {
        throw TemplateError(node.at, "the document element cannot carry a directive");
      }
      m_sawRoot = true;
      m_tree.root = std::move(node);
      m_open.push_back(&m_tree.root);
    } else {
      std::vector<TemplateNode>& list = siblings();
      list.push_back(std::move(node));
      m_open.push_back(&list.back());
    }
    eventEnd();
    m_afterStartTag = true;
  }

  void directive(TemplateNode& node, std::string_view local, const std::string& name,
                 const std::string& value, std::optional<std::string>& optional) {
    if (local == "for-each") {
      if (value != "record") {
        throw TemplateError(node.at, name + "=\"" + value + "\": the only value is \"record\"");
      }
      if (m_forEachAt) {
        throw TemplateError(node.at, "a second element carries " + name + " (the first is at " +
                                         std::to_string(m_forEachAt->line) + ":" +
                                         std::to_string(m_forEachAt->column) + ")");
      }
      m_forEachAt = node.at;
      node.forEach = true;
    } else if (local == "group-by") {
      node.groupBy = readText(value, node.at);
    } else if (local == "group-adjacent") {
      node.groupAdjacent = readText(value, node.at);
    } else if (local == "for-each-item") {
      node.forEachItem = readText(value, node.at);
    } else if (local == "separator") {
      node.separator = value;
    } else if (local == "if") {
      node.condition = readText(value, node.at);
    } else if (local == "optional") {
      optional = value;
    } else {
      throw TemplateError(node.at, "unknown directive " + name +
                                       " (known: for-each, for-each-item, group-adjacent, "
                                       "group-by, if, optional, separator)");
    }
  }

  // The directives that only make sense together, on one element.
  static void checkDirectives(const TemplateNode& node) {
    if (node.groupBy && node.groupAdjacent) {
      throw TemplateError(node.at, "one element cannot carry both group-by and group-adjacent");
    }
    if (node.forEachItem && (!node.separator || node.separator->empty())) {
      throw TemplateError(node.at,
                          "for-each-item needs a separator: rv:separator=\",\" or another "
                          "text of one or more characters");
    }
    if (node.separator && !node.forEachItem) {
      throw TemplateError(
          node.at, "separator belongs to for-each-item, which " + node.name + " does not carry");
    }
  }

  static void markOptional(TemplateNode& node, std::string_view names) {
    constexpr std::string_view kSpace = " \t\r\n";
    std::size_t listed = 0;
    while (true) {
      const std::size_t begin = names.find_first_not_of(kSpace);
      if (begin == std::string_view::npos) {
        break;
      }
      names.remove_prefix(begin);
      const std::string_view name = names.substr(0, names.find_first_of(kSpace));
      names.remove_prefix(name.size());
      ++listed;
      bool found = false;
      for (TemplateNode::Attribute& attribute : node.attributes) {
        if (attribute.name == name) {
          attribute.optional = found = true;
        }
      }
      if (!found) {
        throw TemplateError(node.at, "optional attribute '" + std::string(name) +
                                         "' is not an attribute of " + node.name);
      }
    }
    if (listed == 0) {
      throw TemplateError(node.at, "the optional directive names no attribute");
    }
  }

  TemplateText readText(std::string_view text, TemplatePosition at) {
    return ReadPlaceholders(
        text, [at](std::size_t) { return at; }, m_tree.fields, m_tree.expressions.get());
  }

  void endElement() {
    flushText();
    m_open.pop_back();
    eventEnd();
  }

  void characters(const xmlChar* text, int size) {
    if (m_open.empty()) {
      return;  // blanks outside the document element
    }
    if (m_text.empty()) {
      m_textChunks.clear();
    }
    m_textChunks.push_back({m_text.size(), eventStart()});
    m_text.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
    eventEnd();
  }

  void flushText() {
    if (m_text.empty()) {
      return;
    }
    TemplateNode node;
    node.kind = TemplateNode::Kind::Text;
    node.at = m_textChunks.front().second;
    PositionCursor positions(m_text, m_textChunks);
    node.content = ReadPlaceholders(
        m_text, [&positions](std::size_t offset) { return positions(offset); }, m_tree.fields,
        m_tree.expressions.get());
    m_text.clear();
    siblings().push_back(std::move(node));
  }

  void cdata(const xmlChar* text, int size) {
    flushText();
    TemplateNode node;
    node.kind = TemplateNode::Kind::CData;
    node.at = eventStart();
    const std::string_view content(reinterpret_cast<const char*>(text),
                                   static_cast<std::size_t>(size));
    TemplatePosition contentStart = node.at;
    contentStart.column += 9;  // <![CDATA[
    const std::pair<std::size_t, TemplatePosition> whole[] = {{0, contentStart}};
    PositionCursor positions(content, whole);
    node.content = ReadPlaceholders(
        content, [&positions](std::size_t offset) { return positions(offset); }, m_tree.fields,
        m_tree.expressions.get());
    siblings().push_back(std::move(node));
    eventEnd();
  }

  void leaf(TemplateNode::Kind kind, std::string name, std::string data) {
    flushText();
    TemplateNode node;
    node.kind = kind;
    node.at = eventStart();
    node.name = std::move(name);
    node.data = std::move(data);
    siblings().push_back(std::move(node));
    eventEnd();
  }

  xmlParserCtxtPtr m_context = nullptr;
  TemplateTree m_tree;
  std::vector<TemplateNode*> m_open;
  bool m_sawRoot = false;
  std::optional<TemplatePosition> m_forEachAt;
  std::string m_text;
  std::vector<std::pair<std::size_t, TemplatePosition>> m_textChunks;
  TemplatePosition m_lastEnd{1, 1};
  bool m_afterStartTag = false;
  std::optional<TemplateError> m_error;
};

}  // namespace

bool TemplateNode::isBlank() const {
  if (kind != Kind::Text) {
    return false;
  }
  for (const TemplateSegment& segment : content) {
    if (segment.field != TemplateSegment::kLiteral ||
        segment.expression != TemplateSegment::kNone ||
        segment.literal.find_first_not_of(" \t\r\n") != std::string::npos) {
      return false;
    }
  }
  return true;
}

TemplateTree ParseTemplate(std::string_view bytes, TemplateParameters parameters) {
  xmlInitParser();
  return TemplateParser(std::move(parameters)).parse(bytes);
}

}  // namespace rowvane
