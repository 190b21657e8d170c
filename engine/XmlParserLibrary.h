#pragma once

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

namespace rowvane {

/// The parts of libxml2 that read a template, loaded when one is read: the
/// library and the Unicode data it brings along take tens of megabytes of
/// address space, which a conversion without a template never needs. The
/// library stays loaded once it has been. Throws std::runtime_error when it
/// cannot be loaded.
class XmlParserLibrary {
 public:
  XmlParserLibrary();
  ~XmlParserLibrary();
  XmlParserLibrary(const XmlParserLibrary&) = delete;
  XmlParserLibrary& operator=(const XmlParserLibrary&) = delete;

  decltype(&xmlInitParser) initParser;
  decltype(&xmlCreateMemoryParserCtxt) createMemoryParserCtxt;
  decltype(&xmlCtxtUseOptions) ctxtUseOptions;
  decltype(&xmlParseDocument) parseDocument;
  decltype(&xmlFreeParserCtxt) freeParserCtxt;
  decltype(&xmlStopParser) stopParser;
  decltype(&xmlSAX2GetLineNumber) lineNumber;
  decltype(&xmlSAX2GetColumnNumber) columnNumber;

 private:
  template <typename Function>
  void find(Function& function, const char* name);

  void* m_handle;
};

}  // namespace rowvane
