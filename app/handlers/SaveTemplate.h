#pragma once

#include <QString>

#include "app/handlers/HandlerContext.h"
#include "engine/Settings.h"

namespace rowvane::app {

/// "Save Template for Selected File..." in the Format menu: writes the
/// template that gives the escaped element layout of `input` with
/// `settings`, as rowvane-cli --print-template does, to a file the user
/// names. What goes wrong is told in a message box; nothing half-written
/// is left.
class SaveTemplate {
 public:
  SaveTemplate(const HandlerContext& context, QString input, rowvane::ConversionSettings settings)
      : m_context(context), m_input(std::move(input)), m_settings(std::move(settings)) {}

  void run();

 private:
  HandlerContext m_context;
  QString m_input;
  rowvane::ConversionSettings m_settings;
};

}  // namespace rowvane::app
