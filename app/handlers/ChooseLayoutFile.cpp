#include "app/handlers/ChooseLayoutFile.h"

#include <QStringList>

#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/WindowServices.h"
#include "app/handlers/LayoutFiles.h"

namespace rowvane::app {

std::optional<QString> ChooseLayoutFile::run() {
  const bool isTemplate = m_kind == Kind::Template;
  const QStringList chosen = m_context.services.fileDialog.chooseFiles(
      m_context.owner,
      isTemplate ? QStringLiteral("Choose a Template") : QStringLiteral("Choose a Schema"),
      isTemplate ? QStringLiteral("XML Templates (*.xml)") : QStringLiteral("XML Schemas (*.xsd)"));
  if (chosen.isEmpty()) {
    return std::nullopt;
  }
  const QString& path = chosen.front();
  const QString problem = isTemplate ? TemplateProblem(path) : SchemaProblem(path);
  if (!problem.isEmpty()) {
    m_context.showMessage((isTemplate ? QStringLiteral("This template cannot be used:\n")
                                      : QStringLiteral("This schema cannot be used:\n")) +
                          problem);
    return std::nullopt;
  }
  return path;
}

}  // namespace rowvane::app
