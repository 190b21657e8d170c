#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/CsvFormat.h"
#include "engine/core/Encoding.h"
#include "engine/core/OutputLayout.h"

namespace rowvane {

class XmlSchema;
struct LayoutTemplate;

/// The options of a conversion. Texts are UTF-8 and are used exactly
/// as typed: nothing is trimmed, checked or escaped.
struct ConversionSettings {
  /// Exact character sequence between two fields of a line; may be empty.
  std::string Separator = ",";
  /// On: the first line of each file gives the field names.
  /// Off: the names are generated as header1, header2, ...
  bool HasHeaderRow = true;
  /// Name of the element around each whole output document; may be empty.
  std::string DocumentTag = "XML";
  /// Name of the element around the fields of one record; may be empty.
  std::string RowTag = "row";
  /// On: the fields of each record are wrapped in a row element.
  bool IncludeRowTags = true;
  /// Line breaks, quotes and escaping; classic unless chosen otherwise.
  CsvFormat Format;
  /// Not one of the window's options: when set, the input is read in this
  /// encoding instead of being detected (see TextReader's `fixed`).
  std::optional<Encoding> InputEncoding;
  /// Not one of the window's options: an input whose name ends in ".gz" (in
  /// any case) is decompressed as a gzip stream while it is read.
  bool GunzipInputsByName = false;
  /// Not one of the window's options: when set, the output is written as a
  /// gzip stream with this compression level (1 to 9).
  std::optional<int> GzipLevel;
  /// Not one of the window's options: when set, every output is checked
  /// against this schema while it is written, and one that does not match
  /// fails its file (FailureKind::Schema) instead of taking its name. Needs
  /// `Format.escaping` Xml: only well-formed output can match.
  std::shared_ptr<const XmlSchema> Schema;
  /// Not one of the window's options: the shape of the XML. Attributes and
  /// Template write well-formed XML whatever `Format.escaping` says; Template
  /// names every element itself, so the tags and IncludeRowTags do not apply.
  OutputLayout Layout = OutputLayout::Elements;
  /// With OutputLayout::Template: the loaded template, shared by every file.
  std::shared_ptr<const LayoutTemplate> Template;
  /// The moment a template's now() and today() give, in seconds since
  /// 1970-01-01T00:00:00Z; none: when each file's conversion starts.
  std::optional<std::int64_t> FixedNow;
};

/// True when only well-formed XML will do: the attribute and template
/// layouts write nothing else, and a schema can only match it.
bool NeedsWellFormedXml(OutputLayout layout, bool checkedBySchema);

/// `chosen` as a conversion in `layout`, checked by a schema or not, writes
/// it: XML escaping is taken whenever NeedsWellFormedXml says so, and the
/// reading choices stay as the user made them.
CsvFormat FormatInForce(const CsvFormat& chosen, OutputLayout layout, bool checkedBySchema);

/// Why a conversion refuses `settings`, or nothing when it takes them: a
/// separator that is not UTF-8 could only match inside a character of the
/// text and cut it in two.
std::optional<std::string_view> SettingsProblem(const ConversionSettings& settings);

}  // namespace rowvane
