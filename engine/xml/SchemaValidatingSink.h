#pragma once

#include <cstddef>
#include <memory>

#include "engine/io/OutputSink.h"
#include "engine/xml/XmlSchema.h"

namespace rowvane {

/// Passes every byte on to another sink and checks, as the bytes go by, that
/// they make a document the schema accepts: the same bytes, in the same
/// pieces, fed to libxml2's streaming parser with the schema's validator on
/// it, so nothing is read twice and memory stays flat (apart from the largest
/// single value and what identity constraints must remember). The parser
/// accepts names and values of any length, as the conversion writes them.
class SchemaValidatingSink : public OutputSink {
 public:
  SchemaValidatingSink(OutputSink& target, const XmlSchema& schema);
  ~SchemaValidatingSink() override;
  SchemaValidatingSink(const SchemaValidatingSink&) = delete;
  SchemaValidatingSink& operator=(const SchemaValidatingSink&) = delete;

  /// Passes the bytes on; once they went wrong, they are no longer checked.
  void write(const char* data, std::size_t size) override;
  /// The target drops what it holds and the check starts over with it.
  void discard() override;
  /// Ends the document. Throws ConversionError(FailureKind::Schema) when it
  /// does not match: "SCHEMA: line N: the first problem".
  void finish();

 private:
  class Check;

  OutputSink& m_target;
  const XmlSchema& m_schema;
  std::unique_ptr<Check> m_check;
};

}  // namespace rowvane
