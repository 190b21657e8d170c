#include "app/handlers/LayoutFiles.h"

#include <cerrno>
#include <cstring>
#include <fstream>
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
  std::ifstream file(PathBytes(path), std::ios::binary);
  if (!file) {
    return NameOf(path) + QStringLiteral(": cannot read it: ") +
           QString::fromLocal8Bit(std::strerror(errno));
  }
  // One byte past the limit tells that the file is too large.
  std::string bytes(rowvane::kTemplateMaxBytes + 1, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (file.bad()) {
    return NameOf(path) + QStringLiteral(": cannot read it: ") +
           QString::fromLocal8Bit(std::strerror(errno));
  }
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  try {
    return std::make_shared<const rowvane::LayoutTemplate>(rowvane::LoadLayoutTemplate(bytes));
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
  if (files.layout != rowvane::OutputLayout::Elements) {
    settings.Format.escaping = rowvane::Escaping::Xml;
  }
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
    settings.Format.escaping = rowvane::Escaping::Xml;
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
