#include "app/handlers/WindowSettings.h"

#include "app/options/WindowOptions.h"

namespace rowvane::app {

rowvane::ConversionSettings WindowSettings(const OptionValues& values,
                                           const rowvane::CsvFormat& format,
                                           const rowvane::ConversionSettings& layout) {
  rowvane::ConversionSettings settings;
  settings.Separator = values.separator;
  settings.DocumentTag = values.documentTag;
  settings.RowTag = values.rowTag;
  settings.HasHeaderRow = values.headerRow;
  settings.Format = format;
  settings.Layout = layout.Layout;
  settings.Template = layout.Template;
  settings.Schema = layout.Schema;
  settings.IncludeRowTags =
      values.rowTags || layout.Layout == rowvane::OutputLayout::FieldsAsAttributes;
  return settings;
}

LayoutFiles LayoutFilesOf(const WindowOptions& options) {
  return {options.layout(), options.templatePath(), options.schemaPath()};
}

}  // namespace rowvane::app
