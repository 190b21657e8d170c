#include "engine/xml/XmlSchema.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/uri.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "engine/io/RegularFileBytes.h"
#include "engine/io/SystemError.h"

namespace rowvane {
namespace {

namespace fs = std::filesystem;

// Far beyond any real schema, and small enough to be read at once.
constexpr std::uint64_t kSchemaDocumentMaxBytes = std::uint64_t{16} << 20;
constexpr std::uint64_t kSchemaMaxBytes = std::uint64_t{64} << 20;

constexpr std::string_view kNotInFolder = "not a file in the schema's folder or below";
constexpr std::string_view kDoctype =
    "a document type declaration is not allowed in a schema (entities are never expanded)";

std::string Trimmed(const char* message) {
  std::string text = message == nullptr ? "" : message;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

bool HasScheme(std::string_view url) {
  const std::size_t colon = url.find(':');
  // "http:", "file:"; a path may hold ':' later on, and one letter before it
  // is a drive ("C:/data"), which no scheme is.
  return colon != std::string_view::npos && colon > 1 && url.find_first_of("/\\") > colon;
}

/// The file a document's address names: libxml2 escapes the addresses it
/// builds (a space as %20), so a name that is not there as it stands is
/// tried unescaped, as libxml2's own loader does.
std::string FileNamed(const char* url) {
  struct stat info {};
  if (::stat(url, &info) == 0) {
    return url;
  }
  const std::unique_ptr<char, void (*)(void*)> unescaped(xmlURIUnescapeString(url, 0, nullptr),
                                                         [](void* text) { xmlFree(text); });
  return unescaped ? std::string(unescaped.get()) : std::string(url);
}

bool IsWithin(const fs::path& path, const fs::path& folder) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first ==
         folder.end();
}

/// What a document to be loaded turned out to be.
struct Refusal {
  std::string problem;
  std::string file;  // where the problem is, when it is in the refused document itself
  int line = 0;
};

/// Finds a document type declaration before the first element, and its line.
class DoctypeProbe {
 public:
  static std::optional<int> lineOf(const std::string& bytes) {
    DoctypeProbe probe;
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.internalSubset = &DoctypeProbe::onDoctype;
    handler.startElementNs = &DoctypeProbe::onFirstElement;
    handler.serror = &DoctypeProbe::onError;  // the real parse reports the same
    xmlParserCtxtPtr context =
        xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size()));
    if (context == nullptr) {
      throw std::bad_alloc();
    }
    *context->sax = handler;
    context->_private = &probe;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlParseDocument(context);
    xmlFreeParserCtxt(context);
    return probe.m_line;
  }

 private:
  static void onDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    static_cast<DoctypeProbe*>(parser->_private)->m_line = xmlSAX2GetLineNumber(parser);
    xmlStopParser(parser);
  }
  static void onError(void*, xmlErrorPtr) {}
  static void onFirstElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*, int,
                             const xmlChar**, int, int, const xmlChar**) {
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));  // a declaration comes before it
  }

  std::optional<int> m_line;
};

/// One schema's loading: the folder it may read from, and the first refusal.
class Loading {
 public:
  explicit Loading(const fs::path& folder) : m_folder(folder) {}

  /// The document at `url` as a parser input, or null after noting why not.
  xmlParserInputPtr open(const char* url, xmlParserCtxtPtr context) {
    const std::string name = FileNamed(url);
    std::string bytes;
    if (auto refusal = read(name, bytes)) {
      note(std::move(*refusal));
      return nullptr;
    }
    if (const auto line = DoctypeProbe::lineOf(bytes)) {
      note({std::string(kDoctype), name, *line});
      return nullptr;
    }
    // Parsed from the bytes just checked, so the file cannot change in between.
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(
        bytes.data(), static_cast<int>(bytes.size()), XML_CHAR_ENCODING_NONE);
    if (buffer == nullptr) {
      return nullptr;
    }
    xmlParserInputPtr input = xmlNewIOInputStream(context, buffer, XML_CHAR_ENCODING_NONE);
    if (input == nullptr) {
      xmlFreeParserInputBuffer(buffer);
      return nullptr;
    }
    input->filename = reinterpret_cast<const char*>(xmlStrdup(BAD_CAST url));
    return input;
  }

  const std::optional<Refusal>& refusal() const { return m_refusal; }

 private:
  std::optional<Refusal> read(const std::string& name, std::string& bytes) {
    if (HasScheme(name) || !IsWithin(fs::weakly_canonical(fs::absolute(name)), m_folder)) {
      return Refusal{"refused to open '" + name + "': " + std::string(kNotInFolder), "", 0};
    }
    // Regular files only, opened without blocking: a named pipe or a device
    // among the schema's documents must neither hold the run nor fill memory.
    RegularFileBytes file = ReadRegularFile(name, kSchemaDocumentMaxBytes);
    if (file.problem) {
      return Refusal{
          (file.notOpened ? "cannot open '" : "cannot read '") + name + "': " + *file.problem, "",
          0};
    }
    m_bytesRead += file.bytes.size();
    if (m_bytesRead > kSchemaMaxBytes) {
      return Refusal{"cannot read '" + name + "': the schema's documents are " +
                         LargerThan(kSchemaMaxBytes) + " in all",
                     "", 0};
    }
    bytes = std::move(file.bytes);
    return std::nullopt;
  }

  void note(Refusal refusal) {
    if (!m_refusal) {
      m_refusal = std::move(refusal);
    }
  }

  fs::path m_folder;
  std::optional<Refusal> m_refusal;
  std::uint64_t m_bytesRead = 0;
};

// libxml2 asks one process-wide function for every document; the schema being
// loaded on this thread says what it may open. Other threads, and this one
// outside a loading, are refused everything.
thread_local Loading* tLoading = nullptr;

xmlParserInputPtr LoadForSchema(const char* url, const char*, xmlParserCtxtPtr context) {
  if (tLoading == nullptr || url == nullptr) {
    return nullptr;
  }
  try {
    return tLoading->open(url, context);
  } catch (const std::exception&) {
    return nullptr;  // libxml2 reports the document as not loaded
  }
}

/// Where a schema's problem is, and what it is.
struct Report {
  std::string file;
  int line = 0;
  std::string problem;

  std::string text(const std::string& schema) const {
    return (file.empty() ? schema : file) + ": " +
           (line > 0 ? "line " + std::to_string(line) + ": " : "") + problem;
  }
};

/// The first problem libxml2 reports while parsing a schema.
struct FirstProblem {
  std::optional<Report> report;

  static void onError(void* self, xmlErrorPtr error) {
    auto& first = *static_cast<FirstProblem*>(self);
    // An import that cannot be found is only a warning to libxml2, which then
    // goes on without it: the schema would check less than it says.
    const bool counts =
        error->level >= XML_ERR_ERROR || error->code == XML_SCHEMAP_WARN_UNLOCATED_SCHEMA;
    if (!counts || first.report) {
      return;
    }
    try {
      first.report =
          Report{error->file == nullptr ? "" : error->file, error->line, Trimmed(error->message)};
    } catch (const std::bad_alloc&) {
      first.report.emplace();  // still a problem, without its words
    }
  }
};

/// For a scope: the loader in place, this thread's loading known to it, and
/// this thread's parser errors (those of the schema documents themselves)
/// going to `problem` rather than to standard error.
class LoadingScope {
 public:
  LoadingScope(Loading& loading, FirstProblem& problem)
      : m_previousLoader(xmlGetExternalEntityLoader()),
        m_outer(std::exchange(tLoading, &loading)),
        m_previousHandler(xmlStructuredError),
        m_previousHandlerData(xmlStructuredErrorContext) {
    xmlSetExternalEntityLoader(&LoadForSchema);
    xmlSetStructuredErrorFunc(&problem, &FirstProblem::onError);
  }
  ~LoadingScope() {
    xmlSetStructuredErrorFunc(m_previousHandlerData, m_previousHandler);
    tLoading = m_outer;
    xmlSetExternalEntityLoader(m_previousLoader);
  }
  LoadingScope(const LoadingScope&) = delete;
  LoadingScope& operator=(const LoadingScope&) = delete;

 private:
  xmlExternalEntityLoader m_previousLoader;
  Loading* m_outer;
  xmlStructuredErrorFunc m_previousHandler;
  void* m_previousHandlerData;
};

/// A refusal told where it happened: in the refused document itself, else
/// where libxml2 says the document was asked for.
Report ReportOf(const Refusal& refusal, const std::optional<Report>& reported) {
  if (!refusal.file.empty()) {
    return {refusal.file, refusal.line, refusal.problem};
  }
  if (reported) {
    return {reported->file, reported->line, refusal.problem};
  }
  return {"", 0, refusal.problem};
}

using ParserContext = std::unique_ptr<xmlSchemaParserCtxt, void (*)(xmlSchemaParserCtxtPtr)>;

}  // namespace

XmlSchema::XmlSchema(const std::string& path) : m_name(path), m_parsed(nullptr, &xmlSchemaFree) {
  xmlInitParser();
  std::error_code error;
  const fs::path folder = fs::weakly_canonical(fs::absolute(path), error).parent_path();
  if (error) {
    throw SchemaError(path + ": " + error.message());
  }
  Loading loading(folder);
  FirstProblem problem;
  {
    const LoadingScope scope(loading, problem);
    const ParserContext context(xmlSchemaNewParserCtxt(path.c_str()), &xmlSchemaFreeParserCtxt);
    if (!context) {
      throw std::bad_alloc();
    }
    xmlSchemaSetParserStructuredErrors(context.get(), &FirstProblem::onError, &problem);
    m_parsed.reset(xmlSchemaParse(context.get()));
  }
  if (const auto& refusal = loading.refusal()) {
    throw SchemaError(ReportOf(*refusal, problem.report).text(path));
  }
  if (problem.report || !m_parsed) {
    throw SchemaError(problem.report.value_or(Report{"", 0, "not a schema"}).text(path));
  }
}

XmlSchema::~XmlSchema() = default;

}  // namespace rowvane
