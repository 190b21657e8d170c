#include "engine/core/ConversionSettings.h"

#include "text/Utf8.h"

namespace rowvane {

bool NeedsWellFormedXml(OutputLayout layout, bool checkedBySchema) {
  return layout != OutputLayout::Elements || checkedBySchema;
}

CsvFormat FormatInForce(const CsvFormat& chosen, OutputLayout layout, bool checkedBySchema) {
  CsvFormat inForce = chosen;
  if (NeedsWellFormedXml(layout, checkedBySchema)) {
    inForce.escaping = Escaping::Xml;
  }
  return inForce;
}

std::optional<std::string_view> SettingsProblem(const ConversionSettings& settings) {
  if (!IsValidUtf8(settings.Separator)) {
    return "the separator is not UTF-8 text";
  }
  if (settings.Layout == OutputLayout::Template && !settings.Template) {
    return "the template layout has no template";
  }
  return std::nullopt;
}

}  // namespace rowvane
