#include "engine/XmlParserLibrary.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace rowvane {
namespace {

std::string LastError() {
  const char* error = dlerror();
  return error != nullptr ? error : "unknown error";
}

}  // namespace

XmlParserLibrary::XmlParserLibrary()
    // Never unloaded: what the library set up for itself stays reachable.
    : m_handle(dlopen("libxml2.so.2", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
  if (m_handle == nullptr) {
    throw std::runtime_error("libxml2 cannot be loaded to read the template: " + LastError());
  }
  find(initParser, "xmlInitParser");
  find(createMemoryParserCtxt, "xmlCreateMemoryParserCtxt");
  find(ctxtUseOptions, "xmlCtxtUseOptions");
  find(parseDocument, "xmlParseDocument");
  find(freeParserCtxt, "xmlFreeParserCtxt");
  find(stopParser, "xmlStopParser");
  find(lineNumber, "xmlSAX2GetLineNumber");
  find(columnNumber, "xmlSAX2GetColumnNumber");
  initParser();
}

XmlParserLibrary::~XmlParserLibrary() {
  dlclose(m_handle);
}

template <typename Function>
void XmlParserLibrary::find(Function& function, const char* name) {
  void* symbol = dlsym(m_handle, name);
  if (symbol == nullptr) {
    dlclose(m_handle);
    throw std::runtime_error(std::string("libxml2 has no ") + name + ": " + LastError());
  }
  function = reinterpret_cast<Function>(symbol);
}

}  // namespace rowvane
