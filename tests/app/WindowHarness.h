#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/FileSaveDialog.h"
#include "app/desktop/FileViewer.h"
#include "app/desktop/FolderDialog.h"
#include "app/desktop/FolderOpener.h"
#include "app/desktop/HomePageOpener.h"
#include "app/desktop/MessageBoxes.h"
#include "app/desktop/PersistentSettings.h"
#include "app/desktop/WindowServices.h"
#include "app/window/Form1.h"
#include "app/window/MainWindow.h"
#include "filelist/FileSystem.h"
#include "filelist/PosixFileSystem.h"

/// Shows texts legibly in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace rowvane::app::testing {

/// One message box as the window asked for it.
struct ShownMessage {
  QString title;
  QString text;
  MessageIcon icon;
  bool question = false;  ///< asked with Yes and No
  QString action;         ///< the caption of a button offered besides OK
};

/// Records the boxes instead of showing them. `whileShown` runs while a box
/// would be up, i.e. in the middle of the operation that shows it.
class RecordingMessageBoxes : public MessageBoxes {
 public:
  void showMessage(QWidget*, const QString& title, const QString& text, MessageIcon icon) override {
    shown.push_back({title, text, icon, false, {}});
    if (whileShown) {
      whileShown(shown.back());
    }
  }
  bool askYesNo(QWidget*, const QString& title, const QString& text) override {
    shown.push_back({title, text, MessageIcon::None, true, {}});
    return answerYes;
  }

  std::vector<ShownMessage> shown;
  bool offerAction(QWidget*, const QString& title, const QString& text,
                   const QString& action) override {
    shown.push_back({title, text, MessageIcon::Warning, false, action});
    return chooseAction;
  }

  bool answerYes = false;
  bool chooseAction = false;
  std::function<void(const ShownMessage&)> whileShown;
};

/// Answers the folder dialog with a preset folder, or fails like a broken one.
class ScriptedFolderDialog : public FolderDialog {
 public:
  QString chooseFolder(QWidget*, const QString& prompt) override {
    prompts.push_back(prompt);
    if (fails) {
      throw std::runtime_error("The folder dialog could not be shown.");
    }
    return answer;
  }

  QString answer;
  bool fails = false;
  std::vector<QString> prompts;
};

/// Answers the file-open dialog with preset paths (none: cancelled), or
/// fails like a broken one.
class ScriptedFileDialog : public FileOpenDialog {
 public:
  QStringList chooseFiles(QWidget*, const QString& title, const QString& filter) override {
    titles.push_back(title);
    filters.push_back(filter);
    if (fails) {
      throw std::runtime_error("The file dialog could not be shown.");
    }
    return answer;
  }

  QStringList answer;
  bool fails = false;
  std::vector<QString> titles;
  std::vector<QString> filters;
};

/// Answers the save dialog with a preset path (empty: cancelled).
class ScriptedSaveDialog : public FileSaveDialog {
 public:
  QString chooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override {
    return answer;
  }
  QString answer;
};

/// Records the folders instead of opening a file browser.
class RecordingFolderOpener : public FolderOpener {
 public:
  bool open(const QString& folder) override {
    opened.push_back(folder);
    return opens;
  }
  std::vector<QString> opened;
  bool opens = true;  ///< false: as a desktop with no file browser
};

/// Records the files instead of opening a viewer.
class RecordingFileViewer : public FileViewer {
 public:
  bool view(const QString& file) override {
    viewed.push_back(file);
    return opens;
  }
  std::vector<QString> viewed;
  bool opens = true;  ///< false: as a desktop with no viewer for the file
};

/// Records the addresses instead of starting a browser.
class RecordingOpener : public HomePageOpener {
 public:
  void open(const QUrl& address) override {
    if (fails) {
      throw std::runtime_error("No web browser.");
    }
    opened.push_back(address);
  }

  bool fails = false;
  std::vector<QUrl> opened;
};

/// The child of `window` with the object name `name`, as a user of the window
/// knows it; throws when there is none of that type.
template <typename Control>
Control& Found(const QWidget& window, const char* name) {
  auto* const control = window.findChild<Control*>(QString::fromLatin1(name));
  if (control == nullptr) {
    throw std::logic_error(std::string("no control named ") + name);
  }
  return *control;
}

/// The client area of a started window.
inline Form1& FormOf(const QWidget& window) {
  return Found<Form1>(window, "Form1");
}

/// Form1's controls, found by their design names.
struct Form1Controls {
  explicit Form1Controls(const QWidget& window)
      : ListView1(Found<FileListView>(window, "ListView1")),
        PushButton1(Found<QPushButton>(window, "PushButton1")),
        PushButton4(Found<QPushButton>(window, "PushButton4")),
        PushButton5(Found<QPushButton>(window, "PushButton5")),
        PushButton7(Found<QPushButton>(window, "PushButton7")),
        PushButton8(Found<QPushButton>(window, "PushButton8")),
        PushButton9(Found<QPushButton>(window, "PushButton9")),
        Frame1(Found<QGroupBox>(window, "Frame1")),
        Frame2(Found<QGroupBox>(window, "Frame2")),
        Frame3(Found<QGroupBox>(window, "Frame3")),
        Frame4(Found<QGroupBox>(window, "Frame4")),
        Frame5(Found<QGroupBox>(window, "Frame5")),
        Frame6(Found<QGroupBox>(window, "Frame6")),
        Check1(Found<QCheckBox>(window, "Check1")),
        Check2(Found<QCheckBox>(window, "Check2")),
        Text1(Found<QLineEdit>(window, "Text1")),
        Text3(Found<QLineEdit>(window, "Text3")),
        Text4(Found<QLineEdit>(window, "Text4")),
        Text5(Found<QLineEdit>(window, "Text5")),
        ProgressBar1(Found<TextProgressBar>(window, "ProgressBar1")) {}

  FileListView& ListView1;
  QPushButton& PushButton1;
  QPushButton& PushButton4;
  QPushButton& PushButton5;
  QPushButton& PushButton7;
  QPushButton& PushButton8;
  QPushButton& PushButton9;
  QGroupBox& Frame1;
  QGroupBox& Frame2;
  QGroupBox& Frame3;
  QGroupBox& Frame4;
  QGroupBox& Frame5;
  QGroupBox& Frame6;
  QCheckBox& Check1;
  QCheckBox& Check2;
  QLineEdit& Text1;
  QLineEdit& Text3;
  QLineEdit& Text4;
  QLineEdit& Text5;
  TextProgressBar& ProgressBar1;
};

inline Form1Controls Controls(const QWidget& window) {
  return Form1Controls(window);
}

/// The texts of the window's list entries, top to bottom.
inline QStringList EntriesOf(const QWidget& window) {
  const ListItems& items = Controls(window).ListView1.listItems();
  QStringList texts;
  for (int position = 1; position <= items.Count(); ++position) {
    texts << items.Text(position);
  }
  return texts;
}

/// A temporary installation for the window: program folder, desktop, an
/// output folder, a settings file, and recording stand-ins for the dialogs.
class WindowHarness {
  // First: everything below is laid out inside it.
  QTemporaryDir m_root;

 public:
  WindowHarness() {
    QDir root(m_root.path());
    root.mkpath(QStringLiteral("program"));
    root.mkpath(QStringLiteral("Desktop"));
    root.mkpath(QStringLiteral("out"));
    root.mkpath(QStringLiteral("in"));
    reopenSettings();
  }

  QString path(const QString& relative) const { return m_root.filePath(relative); }
  QString programFolder() const { return path(QStringLiteral("program")); }
  QString desktop() const { return path(QStringLiteral("Desktop")); }
  QString outFolder() const { return path(QStringLiteral("out")); }
  QString settingsFile() const { return path(QStringLiteral("config/Rowvane.conf")); }

  /// A fresh view of the settings file, as a new program start sees it.
  /// Windows started before must be gone.
  void reopenSettings() {
    m_settings.reset();
    m_store = std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
    m_settings = std::make_unique<PersistentSettings>(*m_store);
  }

  QSettings& store() { return *m_store; }

  WindowServices services() {
    WindowServices services{
        .messageBoxes = boxes,
        .folderDialog = folderDialog,
        .fileDialog = fileDialog,
        .saveDialog = saveDialog,
        .settings = *m_settings,
        .store = *m_store,
        .homePageOpener = opener,
        .folderOpener = folderOpener,
        .fileViewer = fileViewer,
        .fileSystem = *fileSystem,
        .randomFraction = [this] { return fraction; },
        .desktopFolder = [this] { return desktopFolder; },
        .programFolder = programFolder(),
    };
    // Small reads and a pause at every one of them cross every point where
    // the window gets a say; nothing needs to reach the disk.
    services.tuning.readChunk = 7;
    services.tuning.pauseInterval = std::chrono::milliseconds(0);
    services.tuning.syncToDisk = false;
    return services;
  }

  /// Starts the program: a new window, with start-up run.
  std::unique_ptr<MainWindow> start() { return std::make_unique<MainWindow>(services()); }

  void writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString target = path(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      throw std::runtime_error("cannot write " + target.toStdString());
    }
  }

  /// The file's bytes, as a std::string so that failures print them legibly.
  std::string readFile(const QString& relative) const {
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly)) {
      return "<missing>";
    }
    return file.readAll().toStdString();
  }

  RecordingMessageBoxes boxes;
  ScriptedFolderDialog folderDialog;
  ScriptedFileDialog fileDialog;
  ScriptedSaveDialog saveDialog;
  RecordingOpener opener;
  RecordingFolderOpener folderOpener;
  RecordingFileViewer fileViewer;
  rowvane::PosixFileSystem realFileSystem;
  /// What the window walks; point it elsewhere before start().
  const rowvane::FileSystem* fileSystem = &realFileSystem;
  /// The next draw for the home page: 0.5 draws 51, never the home page.
  double fraction = 0.5;
  QString desktopFolder = desktop();

 private:
  std::unique_ptr<QSettings> m_store;
  std::unique_ptr<PersistentSettings> m_settings;
};

}  // namespace rowvane::app::testing
