#include "app/desktop/CommandLineFiles.h"

#include <QMetaObject>

namespace rowvane::app {

void AcceptCommandLineFiles(const QStringList& startFiles, SingleInstance* instance,
                            QWidget& window, AddAsDropped addAsDropped) {
  // Queued like a drop, so that the window is up before a folder is walked
  // and the socket is released before the paths are.
  if (instance != nullptr) {
    QObject::connect(
        instance, &SingleInstance::pathsHandedOver, &window,
        [&window, addAsDropped](const QStringList& paths) {
          window.raise();
          window.activateWindow();
          addAsDropped(paths);
        },
        Qt::QueuedConnection);
  }
  if (!startFiles.isEmpty()) {
    QMetaObject::invokeMethod(
        &window, [addAsDropped, startFiles] { addAsDropped(startFiles); }, Qt::QueuedConnection);
  }
}

}  // namespace rowvane::app
