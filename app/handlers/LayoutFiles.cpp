#include "app/handlers/LayoutFiles.h"

#include <memory>
#include <variant>

#include "app/desktop/LocalPath.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::app {

namespace {

QString NameOf(const QString& path) {
  return PathForDisplay(PathFromBytes(rowvane::FileNameOf(PathBytes(path))));
}

std::variant<std::shared_ptr<const rowvane::LayoutTemplate>, QString> LoadTemplate(
    const QString& path) {
  // Read without blocking: a named pipe chosen as the template must not hold the window.
  const rowvane::RegularFileBytes file =
      rowvane::ReadRegularFile(PathBytes(path), rowvane::kTemplateMaxBytes);
  if (file.tooLarge) {
    return NameOf(path) + QStringLiteral(": line 1, column 1: ") +
           QString::fromUtf8(rowvane::kTemplateTooLarge);
  }
  if (file.problem) {
    return NameOf(path) + QStringLiteral(": cannot read it: ") +
           QString::fromLocal8Bit(file.problem->c_str());
  }
  try {
    return std::make_shared<const rowvane::LayoutTemplate>(rowvane::LoadLayoutTemplate(file.bytes));
  } catch (const rowvane::TemplateError& error) {
    const rowvane::TemplatePosition at = error.position();
    QString problem = QString::fromUtf8(error.what());
    problem = problem.mid(problem.indexOf(QStringLiteral(": ")) + 2);  // past "LINE:COLUMN"
    return QStringLiteral("%1: line %2, column %3: %4")
        .arg(NameOf(path))
        .arg(at.line)
        .arg(at.column)
        .arg(problem);
  }
}

std::variant<std::shared_ptr<const rowvane::XmlSchema>, QString> LoadSchema(const QString& path) {
  try {
    return std::make_shared<const rowvane::XmlSchema>(PathBytes(path));
  } catch (const rowvane::SchemaError& error) {
    return PathForDisplay(QString::fromUtf8(error.what()));
  }
}

}  // namespace

QString ApplyLayout(const LayoutFiles& files, rowvane::ConversionSettings& settings) {
  settings.Layout = files.layout;
  settings.Format =
      rowvane::FormatInForce(settings.Format, files.layout, !files.schemaPath.isEmpty());
  if (files.layout == rowvane::OutputLayout::FieldsAsAttributes) {
    settings.IncludeRowTags = true;
  }
  if (files.layout == rowvane::OutputLayout::Template) {
    auto loaded = LoadTemplate(files.templatePath);
    if (const QString* problem = std::get_if<QString>(&loaded)) {
      return *problem;
    }
    settings.Template = std::get<0>(std::move(loaded));
  }
  if (!files.schemaPath.isEmpty()) {
    auto loaded = LoadSchema(files.schemaPath);
    if (const QString* problem = std::get_if<QString>(&loaded)) {
      return *problem;
    }
    settings.Schema = std::get<0>(std::move(loaded));
  }
  return {};
}

QString TemplateProblem(const QString& path) {
  const auto loaded = LoadTemplate(path);
  return std::holds_alternative<QString>(loaded) ? std::get<QString>(loaded) : QString();
}

QString SchemaProblem(const QString& path) {
  const auto loaded = LoadSchema(path);
  return std::holds_alternative<QString>(loaded) ? std::get<QString>(loaded) : QString();
}

}  // namespace rowvane::app
