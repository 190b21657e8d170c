#include "app/handlers/SaveTemplate.h"

#include <QFileInfo>

#include "app/desktop/FileSaveDialog.h"
#include "app/desktop/LocalPath.h"
#include "app/desktop/WindowServices.h"
#include "engine/Conversion.h"
#include "engine/Files.h"
#include "engine/Layouts.h"

namespace rowvane::app {

void SaveTemplate::run() {
  if (m_input.isEmpty()) {
    m_context.showMessage(QStringLiteral("No files added."));
    return;
  }
  const QString target = m_context.services.saveDialog.chooseSaveFile(
      m_context.owner, QStringLiteral("Save Template"), QStringLiteral("XML Templates (*.xml)"),
      QFileInfo(m_input).completeBaseName() + QStringLiteral("-template.xml"));
  if (target.isEmpty()) {
    return;
  }
  try {
    rowvane::InputFile input(PathBytes(m_input));
    const std::string text =
        rowvane::ElementLayoutTemplate(rowvane::ReadFieldNames(input, m_settings), m_settings);
    rowvane::AtomicOutputFile output(PathBytes(target), {});
    output.write(text.data(), text.size());
    output.commit();
  } catch (const rowvane::InputMissing&) {
    m_context.showMessage(QStringLiteral("The template was not saved: %1 is not there.")
                              .arg(PathForDisplay(m_input)));
  } catch (const rowvane::ConversionError& error) {
    m_context.showMessage(QStringLiteral("The template was not saved: %1")
                              .arg(PathForDisplay(QString::fromUtf8(error.what()))));
  }
}

}  // namespace rowvane::app
