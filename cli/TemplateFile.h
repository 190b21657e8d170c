#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "engine/Layouts.h"

namespace rowvane::cli {

/// Why a --template FILE cannot be used, ready to print after "rowvane-cli: ":
/// `FILE:LINE:COLUMN: problem`, or `FILE: cannot read the template: reason`.
struct TemplateFileProblem {
  std::string message;
};

/// A template file read once: the template ready to write and, when asked
/// for, a schema that its outputs match.
struct TemplateFile {
  std::shared_ptr<const LayoutTemplate> layout;
  std::optional<std::string> schema;
};

/// Reads and loads the template file at `path` (as typed); with
/// `withSchema`, also makes its schema from the same parsed template, and a
/// template that no schema can describe is a problem too. `parameters`
/// are what param(NAME) gives in its expressions (--param NAME=VALUE).
std::variant<TemplateFile, TemplateFileProblem> LoadTemplateFile(
    const std::string& path, bool withSchema, const TemplateParameters& parameters = {});

}  // namespace rowvane::cli
