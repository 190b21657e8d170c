#include <gtest/gtest.h>

#include <QTest>

#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::FormOf;
using testing::WindowHarness;

class WindowGesturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }

  void addEntries(std::initializer_list<const char*> paths) {
    for (const char* path : paths) {
      Controls(*form).ListView1.listItems().Add(QString::fromUtf8(path));
    }
  }

  // Selects an entry as the user does: a click on its row.
  void select(int position) {
    QTest::mouseClick(Controls(*form).ListView1.viewport(), Qt::LeftButton, {},
                      rowCentre(position));
  }

  QPoint rowCentre(int position) const {
    return Controls(*form)
        .ListView1.visualItemRect(Controls(*form).ListView1.topLevelItem(position - 1))
        .center();
  }

  // A point of the list's blank area, below the last entry.
  QPoint blankArea() const { return {50, Controls(*form).ListView1.viewport()->height() - 5}; }

  QStringList entries() const {
    QStringList texts;
    for (int position = 1; position <= Controls(*form).ListView1.listItems().Count(); ++position) {
      texts << Controls(*form).ListView1.listItems().Text(position);
    }
    return texts;
  }

  // Moves the mouse onto `control` near its lower left corner, where no
  // control inside it stands, as the user would.
  void hoverOver(QWidget& control) {
    QTest::mouseMove(&control, QPoint(4, control.height() - 4));
    QCoreApplication::processEvents();
  }

  WindowHarness harness;
  std::unique_ptr<MainWindow> form = harness.start();
};

// ------------------------------------------------------------ list removals

enum class Gesture {
  DoubleClickOnEntry,
  DoubleClickBelowEntries,
  Delete,
  ShiftDelete,
  CtrlDelete,
  ClickBelowEntriesThenDelete
};

class RemovalGestureTest : public WindowGesturesTest,
                           public ::testing::WithParamInterface<Gesture> {
 protected:
  void perform(Gesture gesture) {
    QWidget* viewport = Controls(*form).ListView1.viewport();
    switch (gesture) {
      case Gesture::DoubleClickOnEntry:
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowCentre(2));
        break;
      case Gesture::DoubleClickBelowEntries:
        // The double-click's first press lands on the blank area too.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, blankArea());
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, blankArea());
        break;
      case Gesture::ClickBelowEntriesThenDelete:
        QTest::mouseClick(viewport, Qt::LeftButton, {}, blankArea());
        QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete);
        break;
      case Gesture::Delete:
        QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete);
        break;
      case Gesture::ShiftDelete:
        QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete, Qt::ShiftModifier);
        break;
      case Gesture::CtrlDelete:
        QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete, Qt::ControlModifier);
        break;
    }
  }
};

TEST_P(RemovalGestureTest, RemovesTheSelectedEntryAndMovesTheRestUp) {
  addEntries({"/in/a.csv", "/in/b.csv", "/in/c.csv"});
  select(2);
  perform(GetParam());
  EXPECT_EQ(entries(), (QStringList{"/in/a.csv", "/in/c.csv"}));
  EXPECT_TRUE(harness.boxes.shown.empty());
}

TEST_P(RemovalGestureTest, IsRefusedWhileTheHourglassShows) {
  addEntries({"/in/a.csv", "/in/b.csv", "/in/c.csv"});
  select(2);
  FormOf(*form).setMousePointer(11);
  perform(GetParam());
  EXPECT_EQ(entries().size(), 3);
}

std::string NameOf(const ::testing::TestParamInfo<Gesture>& gesture) {
  switch (gesture.param) {
    case Gesture::DoubleClickOnEntry:
      return "DoubleClickOnEntry";
    case Gesture::DoubleClickBelowEntries:
      return "DoubleClickBelowEntries";
    case Gesture::Delete:
      return "Delete";
    case Gesture::ShiftDelete:
      return "ShiftDelete";
    case Gesture::CtrlDelete:
      return "CtrlDelete";
    case Gesture::ClickBelowEntriesThenDelete:
      return "ClickBelowEntriesThenDelete";
  }
  return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Gestures, RemovalGestureTest,
                         ::testing::Values(Gesture::DoubleClickOnEntry,
                                           Gesture::DoubleClickBelowEntries, Gesture::Delete,
                                           Gesture::ShiftDelete, Gesture::CtrlDelete,
                                           Gesture::ClickBelowEntriesThenDelete),
                         NameOf);

TEST_F(WindowGesturesTest, ClickOnTheBlankAreaKeepsTheSelectedEntryHighlighted) {
  addEntries({"/in/a.csv", "/in/b.csv", "/in/c.csv"});
  select(2);
  QTest::mouseClick(Controls(*form).ListView1.viewport(), Qt::LeftButton, {}, blankArea());
  const QList<QTreeWidgetItem*> highlighted = Controls(*form).ListView1.selectedItems();
  ASSERT_EQ(highlighted.size(), 1);
  EXPECT_EQ(highlighted.first()->text(0), QStringLiteral("/in/b.csv"));
}

TEST_F(WindowGesturesTest, DuplicateEntriesAreRemovedOneAtATime) {
  addEntries({"/in/a.csv", "/in/a.csv"});
  select(1);
  QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete);
  EXPECT_EQ(entries(), QStringList{"/in/a.csv"});
}

TEST_F(WindowGesturesTest, DeleteOnAnEmptyListOrWithoutSelectionDoesNothing) {
  QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete);
  addEntries({"/in/a.csv"});
  Controls(*form).ListView1.setCurrentItem(nullptr);
  QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Delete);
  EXPECT_EQ(entries(), QStringList{"/in/a.csv"});
  EXPECT_TRUE(harness.boxes.shown.empty());
}

TEST_F(WindowGesturesTest, OtherKeysRemoveNothing) {
  addEntries({"/in/a.csv", "/in/b.csv"});
  select(1);
  QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Backspace);
  QTest::keyClick(&Controls(*form).ListView1, Qt::Key_Down);
  EXPECT_EQ(entries().size(), 2);
}

TEST_F(WindowGesturesTest, ClearListEmptiesTheListEvenWhileBusy) {
  addEntries({"/in/a.csv", "/in/b.csv"});
  FormOf(*form).setMousePointer(11);
  Controls(*form).PushButton4.click();
  EXPECT_EQ(Controls(*form).ListView1.listItems().Count(), 0);
  Controls(*form).PushButton4.click();
  EXPECT_TRUE(harness.boxes.shown.empty());
}

TEST_F(WindowGesturesTest, EntryTextIsTheWholePathHoweverNarrowTheColumn) {
  const QString longPath = QStringLiteral("/in/") + QString(300, QLatin1Char('x')) + ".csv";
  Controls(*form).ListView1.listItems().Add(longPath);
  EXPECT_EQ(Controls(*form).ListView1.listItems().Text(1), longPath);
  EXPECT_THROW(Controls(*form).ListView1.listItems().Text(2), std::out_of_range);
  EXPECT_THROW(Controls(*form).ListView1.listItems().Remove(0), std::out_of_range);
}

// ------------------------------------------------------------ hover rule

TEST_F(WindowGesturesTest, ButtonsShowTheHandAndOtherAreasTheArrow) {
  for (QPushButton* button :
       {&Controls(*form).PushButton1, &Controls(*form).PushButton4, &Controls(*form).PushButton5,
        &Controls(*form).PushButton7, &Controls(*form).PushButton8, &Controls(*form).PushButton9}) {
    hoverOver(*button);
    EXPECT_EQ(FormOf(*form).MousePointer(), 99) << button->objectName().toStdString();
    hoverOver(Controls(*form).Frame2);
    EXPECT_EQ(FormOf(*form).MousePointer(), 0);
  }
  for (QWidget* area : {static_cast<QWidget*>(Controls(*form).ListView1.viewport()),
                        static_cast<QWidget*>(&Controls(*form).Frame1),
                        static_cast<QWidget*>(&Controls(*form).Frame3),
                        static_cast<QWidget*>(&Controls(*form).Frame6),
                        static_cast<QWidget*>(&Controls(*form).Check1),
                        static_cast<QWidget*>(&Controls(*form).Check2),
                        static_cast<QWidget*>(&Controls(*form).Text3),
                        static_cast<QWidget*>(&Controls(*form).Text4),
                        static_cast<QWidget*>(&Controls(*form).Text5)}) {
    hoverOver(Controls(*form).PushButton7);
    hoverOver(*area);
    EXPECT_EQ(FormOf(*form).MousePointer(), 0) << area->objectName().toStdString();
  }
  hoverOver(Controls(*form).PushButton7);
  QTest::mouseMove(form.get(), QPoint(3, 3));  // the window's own surface
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
}

TEST_F(WindowGesturesTest, TextBoxOfTheFolderAndProgressBarKeepThePointer) {
  hoverOver(Controls(*form).PushButton1);
  hoverOver(Controls(*form).Text1);
  EXPECT_EQ(FormOf(*form).MousePointer(), 99);
  hoverOver(Controls(*form).ProgressBar1);
  EXPECT_EQ(FormOf(*form).MousePointer(), 99);
  hoverOver(Controls(*form).Frame5);
  hoverOver(Controls(*form).ProgressBar1);
  EXPECT_EQ(FormOf(*form).MousePointer(), 0);
}

TEST_F(WindowGesturesTest, HourglassStaysWhateverTheMouseCrosses) {
  FormOf(*form).setMousePointer(11);
  for (QWidget* area : {static_cast<QWidget*>(&Controls(*form).PushButton8),
                        static_cast<QWidget*>(&Controls(*form).Frame1),
                        static_cast<QWidget*>(Controls(*form).ListView1.viewport())}) {
    hoverOver(*area);
    EXPECT_EQ(FormOf(*form).MousePointer(), 11);
  }
  EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(Controls(*form).Text3.cursor().shape(), Qt::WaitCursor);
}

TEST_F(WindowGesturesTest, ArrowGivesTextBoxesTheirTextCursorBack) {
  FormOf(*form).setMousePointer(99);
  EXPECT_EQ(Controls(*form).Text1.cursor().shape(), Qt::PointingHandCursor);
  FormOf(*form).setMousePointer(0);
  EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Controls(*form).Text1.cursor().shape(), Qt::IBeamCursor);
}

TEST_F(WindowGesturesTest, ClosingWhileIdleAsksNothing) {
  EXPECT_TRUE(form->close());
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(harness.boxes.shown.empty());
}

}  // namespace
}  // namespace rowvane::app
