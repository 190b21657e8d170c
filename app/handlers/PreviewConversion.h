#pragma once

#include <QString>
#include <cstddef>
#include <functional>
#include <optional>

#include "app/handlers/LayoutFiles.h"
#include "engine/Settings.h"

namespace rowvane::app {

/// What the preview is asked to show: an entry of the list converted with the
/// window's options.
struct PreviewRequest {
  QString path;  ///< carried as PathFromBytes does; empty: the list is empty
  rowvane::ConversionSettings settings;
  LayoutFiles layoutFiles;  ///< loaded for each preview
};

/// What the preview shows: a line about the input and the XML, or a problem
/// in its place.
struct Preview {
  QString info;
  QString xml;           ///< lines end in LF, as a text view wants them
  bool problem = false;  ///< `xml` holds a problem in words instead
};

/// How much of a file the preview reads, converts and shows.
struct PreviewLimits {
  std::size_t readBytes = std::size_t{1} << 20;
  std::size_t shownBytes = std::size_t{256} << 10;
  std::uint64_t records = 50;
};

/// Converts the start of the requested file in memory, as a run would convert
/// it, and says what it found: the file's name, its encoding as detected on
/// what was read, its line breaks, the records shown and the conversion's
/// warnings. Reads at most `limits.readBytes`, shows the XML of the first
/// `limits.records` records, at most `limits.shownBytes` of it, and writes
/// nothing to disk. Asks `cancelled` between steps and at the engine's
/// pauses, and gives nothing once it says yes. A template or schema that
/// cannot be used, or a start that does not match the schema, shows its
/// problem in place of the XML.
std::optional<Preview> ConvertForPreview(const PreviewRequest& request,
                                         const std::function<bool()>& cancelled,
                                         const PreviewLimits& limits = {});

}  // namespace rowvane::app
