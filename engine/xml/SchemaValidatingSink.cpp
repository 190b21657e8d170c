#include "engine/xml/SchemaValidatingSink.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>

#include <algorithm>
#include <climits>
#include <new>
#include <optional>
#include <string>

#include "engine/core/Failure.h"

namespace rowvane {
namespace {

// xmlParseChunk takes an int; larger writes go in pieces of this size.
constexpr std::size_t kLargestPiece = std::size_t{1} << 30;

void FreeParser(xmlParserCtxtPtr parser) {
  if (parser->myDoc != nullptr) {
    xmlFreeDoc(parser->myDoc);  // only a document that began badly leaves one
  }
  xmlFreeParserCtxt(parser);
}

void Unplug(xmlSchemaSAXPlugPtr plug) {
  xmlSchemaSAXUnplug(plug);
}

template <typename T>
T* Made(T* made) {
  if (made == nullptr) {
    throw std::bad_alloc();
  }
  return made;
}

std::string Trimmed(const char* message) {
  std::string text = message == nullptr ? "" : message;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

/// One pass of libxml2's streaming parser and validator over the output, and
/// the first problem they found, with its output line. The pass ends there:
/// a pattern that backtracks can cost a good part of a second per value, and
/// an output that fails is not kept whatever else is wrong with it.
class SchemaValidatingSink::Check {
 public:
  explicit Check(const XmlSchema& schema)
      : m_validator(Made(xmlSchemaNewValidCtxt(schema.parsed())), &xmlSchemaFreeValidCtxt),
        m_plug(nullptr, &Unplug),
        m_parser(nullptr, &FreeParser) {
    xmlSchemaSetValidStructuredErrors(m_validator.get(), &Check::onProblem, this);
    // No callbacks of our own: the validator sees every event, nothing is
    // built. The parser's reports are read from it afterwards, not printed.
    m_handler.initialized = XML_SAX2_MAGIC;
    m_handler.serror = &Check::ignore;
    xmlSAXHandlerPtr handler = &m_handler;
    void* handlerData = nullptr;
    m_plug.reset(Made(xmlSchemaSAXPlug(m_validator.get(), &handler, &handlerData)));
    m_parser.reset(Made(xmlCreatePushParserCtxt(handler, handlerData, nullptr, 0, nullptr)));
    // Huge: values and names as long as the conversion writes them. Nothing
    // is fetched, and the parser's own reports are read from it, not printed.
    xmlCtxtUseOptions(m_parser.get(),
                      XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlSchemaValidateSetLocator(m_validator.get(), &Check::locate, m_parser.get());
  }

  void feed(const char* data, std::size_t size) {
    while (size > 0 && m_parser->wellFormed && !failed()) {
      const std::size_t piece = std::min(size, kLargestPiece);
      xmlParseChunk(m_parser.get(), data, static_cast<int>(piece), 0);
      noteIfBroken();
      data += piece;
      size -= piece;
    }
  }

  bool failed() const { return m_problems > 0; }

  void finish() {
    if (failed()) {
      return;
    }
    if (m_parser->wellFormed) {
      xmlParseChunk(m_parser.get(), nullptr, 0, 1);
      noteIfBroken();
    }
    if (m_problems == 0 && xmlSchemaIsValid(m_validator.get()) != 1) {
      note(0, "the validator stopped without saying why");
    }
  }

  /// "line N: the first problem"; none when the output matches.
  std::optional<std::string> verdict() const {
    if (!failed()) {
      return std::nullopt;
    }
    return m_first;
  }

 private:
  static int locate(void* parser, const char** file, unsigned long* line) {
    *file = nullptr;
    *line = static_cast<unsigned long>(xmlSAX2GetLineNumber(parser));
    return 0;
  }

  static void ignore(void*, xmlErrorPtr) {}

  static void onProblem(void* self, xmlErrorPtr error) {
    if (error->level >= XML_ERR_ERROR) {
      static_cast<Check*>(self)->note(error->line, error->message);
    }
  }

  // The parser stops at the first place the output is not well-formed.
  void noteIfBroken() {
    if (!m_parser->wellFormed && !m_brokenNoted) {
      m_brokenNoted = true;
      const xmlError* error = xmlCtxtGetLastError(m_parser.get());
      note(error != nullptr ? error->line : 0,
           error != nullptr ? error->message : "the output is not well-formed XML");
    }
  }

  void note(int line, const char* message) {
    if (m_problems++ > 0) {
      return;
    }
    xmlStopParser(m_parser.get());
    try {
      m_first = (line > 0 ? "line " + std::to_string(line) + ": " : "") + Trimmed(message);
    } catch (const std::bad_alloc&) {
      m_first.clear();  // counted all the same
    }
  }

  // Freed last to first: the parser, the plug, then the validator they use.
  std::unique_ptr<xmlSchemaValidCtxt, void (*)(xmlSchemaValidCtxtPtr)> m_validator;
  xmlSAXHandler m_handler{};
  std::unique_ptr<xmlSchemaSAXPlugStruct, void (*)(xmlSchemaSAXPlugPtr)> m_plug;
  std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> m_parser;
  std::uint64_t m_problems = 0;
  std::string m_first;
  bool m_brokenNoted = false;
};

SchemaValidatingSink::SchemaValidatingSink(OutputSink& target, const XmlSchema& schema)
    : m_target(target), m_schema(schema), m_check(std::make_unique<Check>(schema)) {}

SchemaValidatingSink::~SchemaValidatingSink() = default;

void SchemaValidatingSink::write(const char* data, std::size_t size) {
  // The verdict waits for the end: the text may yet start over in another
  // encoding (discard), which would be checked afresh.
  m_check->feed(data, size);
  m_target.write(data, size);
}

void SchemaValidatingSink::discard() {
  m_target.discard();
  m_check = std::make_unique<Check>(m_schema);
}

void SchemaValidatingSink::finish() {
  m_check->finish();
  if (const auto verdict = m_check->verdict()) {
    throw ConversionError(FailureKind::Schema, m_schema.name() + ": " + *verdict);
  }
}

}  // namespace rowvane
