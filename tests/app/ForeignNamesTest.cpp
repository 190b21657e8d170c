// File names that are not UTF-8, on a real disk, through every way into the
// list: each is listed (shown with U+FFFD), converted, and its output keeps
// the input name's bytes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <variant>

#include "app/desktop/LocalPath.h"
#include "app/desktop/ProgramArguments.h"
#include "tests/app/WindowHarness.h"

namespace rowvane::app {
namespace {

using testing::Controls;
using testing::FormOf;
using testing::WindowHarness;

constexpr char kCsv[] = "v\r\n1";
constexpr char kXml[] = "<XML>\r\n <row>\r\n  <v>1</v>\r\n </row>\r\n</XML>";

// The file's address as a desktop writes it: the name's bytes percent-escaped.
QUrl AddressOf(const std::string& path) {
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

// Drags `address` over the shown window's list and drops it there.
void DropOnTheList(MainWindow& form, const QUrl& address) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QMimeData data;
  data.setUrls({address});
  QWidget& viewport = *Controls(form).ListView1.viewport();
  const QPoint middle = viewport.rect().center();
  QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&viewport, &enter);
  QDragMoveEvent move(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&viewport, &move);
  QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&viewport, &drop);
  QCoreApplication::processEvents();  // handled once the drag source is released
}

struct WayCase {
  const char* name;
  // Adds the file `file` (whose folder is `folder`) to the window's list.
  std::function<void(WindowHarness&, MainWindow&, const std::string& folder,
                     const std::string& file)>
      add;
};

void PrintTo(const WayCase& row, std::ostream* out) {
  *out << row.name;
}

class ForeignNameTest : public ::testing::TestWithParam<WayCase> {};

TEST_P(ForeignNameTest, IsListedWithTheReplacementCharacterAndConverted) {
  WindowHarness harness;
  const std::string folder = PathBytes(harness.path(QStringLiteral("in"))) + "/sub\xFF";
  const std::string file = folder + "/caf\xE9.csv";
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  std::ofstream(file, std::ios::binary) << kCsv;
  auto form = harness.start();
  Controls(*form).Text1.setText(harness.outFolder());

  GetParam().add(harness, *form, folder, file);
  const ListItems& items = Controls(*form).ListView1.listItems();
  ASSERT_EQ(items.Count(), 1);
  EXPECT_EQ(PathBytes(items.Text(1)), file);
  EXPECT_EQ(Controls(*form).ListView1.topLevelItem(0)->text(0),
            QString::fromUtf8(folder + "/caf\xE9.csv"));  // each stray byte as U+FFFD
  EXPECT_TRUE(Controls(*form).ListView1.topLevelItem(0)->text(0).contains(QChar(0xFFFD)));

  Controls(*form).PushButton7.click();
  ASSERT_EQ(harness.boxes.shown.size(), 1u);
  EXPECT_EQ(harness.boxes.shown[0].text, QStringLiteral("Done."));
  std::ifstream output(PathBytes(harness.outFolder()) + "/caf\xE9.xml", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(output), {}), kXml);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ForeignNameTest,
    ::testing::Values(WayCase{"FolderButtonWalk",
                              [](WindowHarness& harness, MainWindow& form, const std::string&,
                                 const std::string&) {
                                harness.folderDialog.answer = harness.path(QStringLiteral("in"));
                                Controls(form).PushButton9.click();
                              }},
                      WayCase{"FileDialog",
                              [](WindowHarness& harness, MainWindow& form, const std::string&,
                                 const std::string& file) {
                                harness.fileDialog.answer = {PathFromBytes(file)};
                                Controls(form).PushButton8.click();
                              }},
                      WayCase{"DroppedFolder",
                              [](WindowHarness&, MainWindow& form, const std::string& folder,
                                 const std::string&) { DropOnTheList(form, AddressOf(folder)); }},
                      WayCase{"ProgramArgument",
                              [](WindowHarness&, MainWindow& form, const std::string&,
                                 const std::string& file) {
                                const char* const argv[] = {"rowvane", file.c_str()};
                                const ProgramArguments parsed = ParseProgramArguments(2, argv);
                                FormOf(form).addPathsAsDropped(std::get<StartWindow>(parsed).files);
                              }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Any bytes survive the trip into a QString and back; only the stray ones
// show as U+FFFD, one each.
TEST(LocalPath, CarriesEveryByteStringWhole) {
  const std::string alphabet = "a/.\xC3\xA9\x80\xBF\xC2\xE0\xED\xA0\xF0\x9F\x98\xF4\x90\xFF";
  std::mt19937 random(16);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const auto length = std::uniform_int_distribution<std::size_t>(0, 10)(random);
    for (std::size_t i = 0; i < length; ++i) {
      bytes.push_back(
          alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)]);
    }
    const QString carried = PathFromBytes(bytes);
    ASSERT_EQ(PathBytes(carried), bytes) << ::testing::PrintToString(bytes);
    ASSERT_EQ(PathForDisplay(carried), QString::fromUtf8(bytes)) << ::testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace rowvane::app
