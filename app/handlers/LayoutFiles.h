#pragma once

#include <QString>

#include "engine/Settings.h"

namespace rowvane::app {

/// The layout of the Format menu and the files it names.
struct LayoutFiles {
  rowvane::OutputLayout layout = rowvane::OutputLayout::Elements;
  QString templatePath;  ///< with OutputLayout::Template
  QString schemaPath;    ///< empty: outputs are not checked against a schema
};

/// Puts `files` into `settings`, loading the template and the schema afresh.
/// Gives what is wrong when one of them cannot be used ("orders.xml: line 3,
/// column 7: problem"), else an empty text. With attributes every record is
/// a row element.
QString ApplyLayout(const LayoutFiles& files, rowvane::ConversionSettings& settings);

/// What is wrong with the template at `path`, or an empty text.
QString TemplateProblem(const QString& path);

/// What is wrong with the schema at `path`, or an empty text.
QString SchemaProblem(const QString& path);

}  // namespace rowvane::app
