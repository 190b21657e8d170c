// The window's options model and the one place that builds a file's settings
// from it: a reference model over many random sequences of choices, with a
// real settings file read back as a new program start would.
#include "app/options/WindowOptions.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/handlers/WindowSettings.h"

namespace rowvane::app {
namespace {

// What the options should hold, kept the plainest way.
struct Expected {
  CsvFormat format = CsvFormat::Classic();
  OutputLayout layout = OutputLayout::Elements;
  QString templatePath;
  QString schemaPath;

  bool forced() const { return layout != OutputLayout::Elements || !schemaPath.isEmpty(); }
};

void ExpectHolds(const WindowOptions& options, const Expected& expected) {
  EXPECT_EQ(options.chosenFormat(), expected.format);
  EXPECT_EQ(options.layout(), expected.layout);
  EXPECT_EQ(options.templatePath(), expected.templatePath);
  EXPECT_EQ(options.schemaPath(), expected.schemaPath);
  CsvFormat inForce = expected.format;
  if (expected.forced()) {
    inForce.escaping = Escaping::Xml;
  }
  EXPECT_EQ(options.format(), inForce);
  EXPECT_EQ(options.wellFormedForced(), expected.forced());
  EXPECT_EQ(options.failuresCounted(), expected.forced());
  EXPECT_EQ(options.wellFormedReason().isEmpty(), !expected.forced());
}

TEST(WindowOptions, FollowEveryChoiceForceEscapingWhenNeededAndSurviveARestart) {
  QRandomGenerator random(1208);
  const CsvFormat formats[] = {CsvFormat::Classic(),
                               CsvFormat::Standard(),
                               {LineBreaks::Any, Quotes::None, Escaping::None},
                               {LineBreaks::CrLf, Quotes::Double, Escaping::Xml}};
  for (int sequence = 0; sequence < 60; ++sequence) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("Rowvane.conf"));
    Expected expected;
    {
      QSettings store(file, QSettings::IniFormat);
      WindowOptions options(store);
      QSignalSpy changes(&options, &WindowOptions::changed);
      const int steps = random.bounded(1, 12);
      for (int step = 0; step < steps; ++step) {
        const QString path = QStringLiteral("/f/%1.x").arg(random.bounded(100));
        switch (random.bounded(4)) {
          case 0:
            expected.format = formats[random.bounded(4)];
            options.chooseFormat(expected.format);
            break;
          case 1:
            expected.layout = static_cast<OutputLayout>(random.bounded(3));
            expected.templatePath = expected.layout == OutputLayout::Template ? path : QString();
            options.chooseLayout(expected.layout, path);
            break;
          case 2:
            expected.schemaPath = path;
            options.chooseSchema(path);
            break;
          default:
            expected.schemaPath.clear();
            options.chooseSchema({});
            break;
        }
        SCOPED_TRACE(::testing::Message() << "sequence " << sequence << " step " << step);
        ExpectHolds(options, expected);
      }
      EXPECT_EQ(changes.size(), steps);
    }
    QSettings reopened(file, QSettings::IniFormat);
    SCOPED_TRACE(::testing::Message() << "restarted after sequence " << sequence);
    ExpectHolds(WindowOptions(reopened), expected);
  }
}

struct SettingsCase {
  const char* label;
  bool rowTags;
  OutputLayout layout;
  bool includeRowTags;
};

class WindowSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

// The five options as they stand, the format given and the loaded layout.
TEST_P(WindowSettingsTest, CarryTheOptionsTheFormatAndTheLoadedLayout) {
  const SettingsCase& row = GetParam();
  ConversionSettings loaded;
  loaded.Layout = row.layout;
  const ConversionSettings settings =
      WindowSettings({";", "doc", "rec", false, row.rowTags}, CsvFormat::Standard(), loaded);
  EXPECT_EQ(settings.Separator, ";");
  EXPECT_EQ(settings.DocumentTag, "doc");
  EXPECT_EQ(settings.RowTag, "rec");
  EXPECT_FALSE(settings.HasHeaderRow);
  EXPECT_EQ(settings.Format, CsvFormat::Standard());
  EXPECT_EQ(settings.Layout, row.layout);
  EXPECT_EQ(settings.IncludeRowTags, row.includeRowTags);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WindowSettingsTest,
    ::testing::Values(SettingsCase{"ElementsWithRowTags", true, OutputLayout::Elements, true},
                      SettingsCase{"ElementsWithout", false, OutputLayout::Elements, false},
                      SettingsCase{"AttributesAlwaysHaveRows", false,
                                   OutputLayout::FieldsAsAttributes, true},
                      SettingsCase{"TemplateKeepsTheBox", false, OutputLayout::Template, false}),
    [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace rowvane::app
