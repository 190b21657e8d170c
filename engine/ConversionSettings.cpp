#include "engine/ConversionSettings.h"

namespace rowvane {

std::optional<std::string_view> SettingsProblem(const ConversionSettings& settings) {
  Utf8Validator validator;
  if (!validator.feed(settings.Separator) || !validator.finish()) {
    return "the separator is not UTF-8 text";
  }
  if (settings.Layout == OutputLayout::Template && !settings.Template) {
    return "the template layout has no template";
  }
  return std::nullopt;
}

}  // namespace rowvane
