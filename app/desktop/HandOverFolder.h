#pragma once

#include <QString>

namespace rowvane::app {

/// The private folder where this user's windows meet: it holds the socket a
/// listening window takes files on and the lock of the window that listens.
/// Another user who could write there could read the names handed over or
/// answer in the window's place, so a folder is only used when it is a real
/// folder (no link), owned by this user, with mode 0700.
struct HandOverFolder {
  QString path;
  QString problem;  // why no folder can be trusted; empty when `path` can

  bool usable() const { return problem.isEmpty(); }
  QString socketPath() const;
  QString lockPath() const;
};

/// `runtimeFolder` (the user's runtime folder) when it passes; else the
/// folder `rowvane-UID` in `temporaryFolder`, made with mode 0700 when it is
/// missing and refused when it is not this user's private folder.
HandOverFolder FindHandOverFolder(const QString& runtimeFolder, const QString& temporaryFolder);

/// The folder for this process: from `XDG_RUNTIME_DIR` and the temporary
/// folder (`TMPDIR`, else /tmp).
HandOverFolder UserHandOverFolder();

}  // namespace rowvane::app
