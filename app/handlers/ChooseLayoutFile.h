#pragma once

#include <QString>
#include <optional>

#include "app/handlers/HandlerContext.h"

namespace rowvane::app {

/// "From Template..." and "Check Against Schema..." in the Format menu: the
/// user picks the file, which is taken only when it loads; else a message box
/// shows the file, where in it and what is wrong, and nothing changes.
class ChooseLayoutFile {
 public:
  enum class Kind { Template, Schema };

  ChooseLayoutFile(const HandlerContext& context, Kind kind) : m_context(context), m_kind(kind) {}

  /// The file chosen, once it has loaded; nothing when cancelled or refused.
  std::optional<QString> run();

 private:
  HandlerContext m_context;
  Kind m_kind;
};

}  // namespace rowvane::app
