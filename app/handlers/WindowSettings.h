#pragma once

#include <string>

#include "app/handlers/LayoutFiles.h"
#include "engine/Settings.h"

namespace rowvane::app {

class WindowOptions;

/// The five options of the window as they stand: the texts as typed, the
/// check boxes as ticked.
struct OptionValues {
  std::string separator;
  std::string documentTag;
  std::string rowTag;
  bool headerRow = true;
  bool rowTags = true;
};

/// What a file is converted with, built here alone for a run and for the
/// preview: the five options, the CSV format in force, and the layout,
/// template and schema that ApplyLayout has loaded into `layout` (a blank
/// one: fields as elements, no schema). With attributes every record is a
/// row element, whatever the box says.
rowvane::ConversionSettings WindowSettings(const OptionValues& values,
                                           const rowvane::CsvFormat& format,
                                           const rowvane::ConversionSettings& layout = {});

/// The layout and the files the window's options name, for ApplyLayout.
LayoutFiles LayoutFilesOf(const WindowOptions& options);

}  // namespace rowvane::app
