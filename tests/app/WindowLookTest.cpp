// What a user, a screen reader or a keyboard meets in the real window, offscreen.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "app/desktop/FileOpenDialog.h"
#include "app/desktop/FolderDialog.h"
#include "app/desktop/MessageBoxes.h"
#include "app/menus/FileMenu.h"
#include "app/menus/FormatMenu.h"
#include "app/menus/HelpMenu.h"
#include "app/menus/MenuLook.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

QString FamilyOf(const QWidget& widget) {
  return QFontInfo(widget.font()).family();
}

QString Accessible(QObject& object, QAccessible::Text text) {
  return QAccessible::queryAccessibleInterface(&object)->text(text);
}

// Reads the next modal dialog once it is up into `seen` (title, family,
// accessible name and description, and how much wider than the title plus 150
// a message box is), then closes it.
void ReadNextDialog(QStringList& seen, int& spare) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, &seen, &spare] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog != nullptr && dialog->isVisible()) {
      poll->deleteLater();
      seen = {dialog->windowTitle(), FamilyOf(*dialog), Accessible(*dialog, QAccessible::Name),
              Accessible(*dialog, QAccessible::Description).left(4)};
      spare = qobject_cast<QMessageBox*>(dialog) == nullptr
                  ? 0
                  : dialog->width() - dialog->fontMetrics().horizontalAdvance(seen[0]) - 150;
      dialog->done(QDialog::Rejected);
    }
  });
  poll->start(10);
}

struct DialogCase {
  const char* title;
  const char* description;  // its start
  std::function<void(QWidget&)> open;
};

class NewWindowTest : public ::testing::TestWithParam<DialogCase> {};

TEST_P(NewWindowTest, ShowsItsTitleInTheBodysFamilyAndIsNamedAndDescribed) {
  testing::WindowHarness harness;
  const auto window = harness.start();
  QStringList seen;
  int spare = -1;
  ReadNextDialog(seen, spare);
  GetParam().open(*window);
  const QString title = QString::fromUtf8(GetParam().title);
  EXPECT_EQ(seen, QStringList({title, FamilyOf(testing::FormOf(*window)), title,
                               QString::fromUtf8(GetParam().description)}));
  EXPECT_GE(spare, 0);
}

const auto kBox = [](const char* title, const char* text) {
  return [=](QWidget& w) {
    QtMessageBoxes().showMessage(&w, QString::fromUtf8(title), QString::fromUtf8(text),
                                 MessageIcon::None);
  };
};

INSTANTIATE_TEST_SUITE_P(
    Windows, NewWindowTest,
    ::testing::Values(
        DialogCase{"Rowvane", "Done", kBox("Rowvane", "Done.")},
        DialogCase{"Rowvane", "No f", kBox("Rowvane", "No files added.")},
        DialogCase{"Application Error", "x\nin", kBox("Application Error", "x\r\nin a at line 1")},
        DialogCase{"About Rowvane", "The ",
                   [](QWidget& w) { w.findChild<HelpMenu*>()->About.trigger(); }},
        DialogCase{"Pick", "Choo",
                   [](QWidget& w) { QtFileOpenDialog().chooseFiles(&w, "Pick", {}); }},
        DialogCase{"Where", "Choo",
                   [](QWidget& w) { QtFolderDialog().chooseFolder(&w, "Where"); }}));

class WindowLookTest : public ::testing::Test {
 protected:
  testing::WindowHarness harness;
  std::unique_ptr<MainWindow> window = harness.start();
};

// Down each frame's right margin, where no control stands, from below its
// title to its border.
TEST_F(WindowLookTest, FramePanelsAreWhite) {
  for (QGroupBox* frame : testing::FormOf(*window).findChildren<QGroupBox*>()) {
    const QImage image = frame->grab().toImage();
    QSet<QRgb> colours;
    for (int y = frame->fontMetrics().height() + 8; y < frame->height() - 4; ++y) {
      colours << image.pixel(frame->width() - 8, y);
    }
    EXPECT_EQ(colours, QSet<QRgb>{QColor(Qt::white).rgb()}) << frame->objectName().toStdString();
  }
}

// The bar and its menus in the body's family; every title and item has an
// access key of its own within its menu, and Alt with the title's key, then
// the item's key, chooses the item.
TEST_F(WindowLookTest, MenusShareTheBodysFamilyAndTheirAccessKeysReachEveryItem) {
  window->show();
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EXPECT_EQ(FamilyOf(*window->menuBar()), FamilyOf(testing::FormOf(*window)));
  const QRegularExpression oneKey(QStringLiteral("^(?:[^&]|&&)*&([^&])(?:[^&]|&&)*$"));
  const auto keyOf = [&](const QAction* a) {
    return oneKey.match(a->text()).captured(1).toLower();
  };
  QSet<QString> titleKeys;
  QStringList seen;
  int spare = 0;
  for (QAction* title : window->menuBar()->actions()) {
    EXPECT_EQ(FamilyOf(*title->menu()), FamilyOf(testing::FormOf(*window)));
    titleKeys << keyOf(title);
    QSet<QString> keys;
    const QList<QAction*> items = title->menu()->actions();
    for (QAction* item : items) {
      keys << keyOf(item);
      if (item->isSeparator() || !item->isEnabled() ||
          item == &window->findChild<FileMenu*>()->Quit) {
        continue;
      }
      QSignalSpy triggered(item, &QAction::triggered);
      if (item == &window->findChild<HelpMenu*>()->About) {
        ReadNextDialog(seen, spare);
      }
      QTest::keyClick(window.get(), keyOf(title).at(0).toLatin1(), Qt::AltModifier);
      ASSERT_NE(QApplication::activePopupWidget(), nullptr) << title->text().toStdString();
      QTest::keyClick(QApplication::activePopupWidget(), keyOf(item).at(0).toLatin1());
      EXPECT_EQ(triggered.count(), 1) << item->text().toStdString();
    }
    keys.remove(QString());  // the separators'
    EXPECT_EQ(keys.size(), std::count_if(items.begin(), items.end(),
                                         [](const QAction* item) { return !item->isSeparator(); }))
        << title->text().toStdString();
  }
  EXPECT_EQ(titleKeys.size(), window->menuBar()->actions().size());
}

// Every control of the client area (found by its design name), the window,
// the bar and the menus have a name and a description for screen readers;
// the menu items a description. The "..." button says what it is for.
TEST_F(WindowLookTest, ControlsMenusAndItemsAreNamedAndDescribed) {
  QList<QObject*> described{window.get(), window->menuBar()};
  for (QWidget* control : testing::FormOf(*window).findChildren<QWidget*>(QRegularExpression(
           QStringLiteral("^(ListView|PushButton|Frame|Check|Text|ProgressBar)[0-9]+$")))) {
    described << control;
  }
  EXPECT_EQ(described.size(), 22);
  for (QAction* title : window->menuBar()->actions()) {
    described << title->menu();
    for (const QAction* item : title->menu()->actions()) {
      EXPECT_NE(item->isSeparator(), !item->statusTip().isEmpty()) << item->text().toStdString();
    }
  }
  for (QObject* object : described) {
    EXPECT_NE(Accessible(*object, QAccessible::Name), QString())
        << object->objectName().toStdString();
    EXPECT_NE(Accessible(*object, QAccessible::Description), QString())
        << object->objectName().toStdString();
  }
  EXPECT_EQ(Accessible(testing::Controls(*window).PushButton1, QAccessible::Name),
            QStringLiteral("Choose Output Folder"));
}

using FormatItem = QAction& (FormatMenu::*)();

struct CornerCase {
  std::vector<FormatItem> chosen;
  const char* words;
  const char* schema = nullptr;  // a file chosen in the menu by this name
};

// Any document at all matches it.
constexpr char kAnySchema[] =
    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"XML\"/>"
    "</xs:schema>";

class CornerButtonTest : public ::testing::TestWithParam<CornerCase> {};

// After the choices, and again after a restart, the button says what is in
// force; it leaves the bar's height alone; a click on it opens the Format menu.
TEST_P(CornerButtonTest, SaysWhatIsInForceAndOpensTheFormatMenu) {
  testing::WindowHarness harness;
  auto window = harness.start();
  for (const FormatItem item : GetParam().chosen) {
    (window->findChild<FormatMenu*>()->*item)().trigger();
  }
  if (GetParam().schema != nullptr) {
    harness.writeFile(QString::fromUtf8(GetParam().schema), kAnySchema);
    window->findChild<FormatMenu*>()->chooseSchema(harness.path(GetParam().schema));
  }
  for (const bool restarted : {false, true}) {
    if (restarted) {
      window.reset();
      harness.reopenSettings();
      window = harness.start();
    }
    auto& button = testing::Found<QToolButton>(*window, "FormatCornerButton");
    EXPECT_EQ(WithoutAccessKeyMark(button.text()), QString::fromUtf8(GetParam().words))
        << restarted;
    // Attributes or a schema force well-formed XML, shown checked and fixed.
    const QAction& wellFormed = window->findChild<FormatMenu*>()->escapingAction();
    EXPECT_EQ(wellFormed.isEnabled(), !button.text().contains(QStringLiteral("\u00b7")));
  }
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QMenuBar bare;  // the bar without the button: as high
  bare.setFont(window->menuBar()->font());
  bare.addActions(window->menuBar()->actions());
  EXPECT_EQ(window->menuBar()->height(), bare.sizeHint().height());
  QTest::mouseClick(&testing::Found<QToolButton>(*window, "FormatCornerButton"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window->findChild<FormatMenu*>()));
  window->findChild<FormatMenu*>()->close();
}

INSTANTIATE_TEST_SUITE_P(
    Choices, CornerButtonTest,
    ::testing::Values(
        CornerCase{{}, "Classic CSV"}, CornerCase{{&FormatMenu::standardAction}, "Standard CSV"},
        CornerCase{{&FormatMenu::quotesAction}, "Custom CSV"},
        CornerCase{{&FormatMenu::standardAction, &FormatMenu::escapingAction}, "Custom CSV"},
        CornerCase{{&FormatMenu::lineBreaksAction, &FormatMenu::lineBreaksAction}, "Classic CSV"},
        CornerCase{
            {&FormatMenu::lineBreaksAction, &FormatMenu::quotesAction, &FormatMenu::escapingAction},
            "Standard CSV"},
        CornerCase{{&FormatMenu::attributesAction}, "Classic CSV \u00b7 Attributes"},
        CornerCase{{&FormatMenu::standardAction, &FormatMenu::attributesAction},
                   "Standard CSV \u00b7 Attributes"},
        CornerCase{
            {&FormatMenu::standardAction}, "Standard CSV \u00b7 Schema: any&.xsd", "any&.xsd"},
        CornerCase{{&FormatMenu::attributesAction, &FormatMenu::elementsAction}, "Classic CSV"}));

}  // namespace
}  // namespace rowvane::app
