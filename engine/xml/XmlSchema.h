#pragma once

#include <memory>
#include <stdexcept>
#include <string>

// libxml2's own tag for a parsed schema; its header stays out of the engine's.
struct _xmlSchema;

namespace rowvane {

/// A schema that cannot be used; what() names the file, the line when there is
/// one, and the problem ("orders.xsd: line 3: ...").
class SchemaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A W3C XML Schema, loaded once and then shared, read-only, by every
/// conversion that checks its output against it (from any thread).
///
/// Loading reaches nothing but files in the schema's own folder and below:
/// every document libxml2 asks for (the schema itself, xs:include, xs:import,
/// xs:redefine) goes through a loader that refuses network addresses and
/// paths elsewhere, and a document with a document type declaration is
/// refused, so no entity is ever expanded. Any refusal, and an import that
/// cannot be found, makes the schema unusable.
class XmlSchema {
 public:
  /// Loads the schema at `path`. Throws SchemaError, and std::bad_alloc.
  explicit XmlSchema(const std::string& path);
  ~XmlSchema();
  XmlSchema(const XmlSchema&) = delete;
  XmlSchema& operator=(const XmlSchema&) = delete;

  /// The path as it was given: how messages name the schema.
  const std::string& name() const { return m_name; }
  /// The parsed schema, for SchemaValidatingSink.
  _xmlSchema* parsed() const { return m_parsed.get(); }

 private:
  std::string m_name;
  std::unique_ptr<_xmlSchema, void (*)(_xmlSchema*)> m_parsed;
};

}  // namespace rowvane
