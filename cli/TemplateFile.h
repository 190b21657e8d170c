#pragma once

#include <memory>
#include <string>
#include <variant>

#include "engine/LayoutTemplate.h"

namespace rowvane::cli {

/// Why a --template FILE cannot be used, ready to print after "rowvane-cli: ":
/// `FILE:LINE:COLUMN: problem`, or `FILE: cannot read the template: reason`.
struct TemplateFileProblem {
  std::string message;
};

/// Reads and loads the template file at `path` (as typed).
std::variant<std::shared_ptr<const LayoutTemplate>, TemplateFileProblem> LoadTemplateFile(
    const std::string& path);

}  // namespace rowvane::cli
