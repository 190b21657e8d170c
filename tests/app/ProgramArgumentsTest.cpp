#include <gtest/gtest.h>

#include <QDir>
#include <string>
#include <variant>
#include <vector>

#include "app/desktop/ProgramArguments.h"

namespace rowvane::app {
namespace {

ProgramArguments Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "rowvane");
  return ParseProgramArguments(static_cast<int>(args.size()), args.data());
}

QString FromHere(const char* relative) {
  return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + QLatin1String(relative));
}

struct AnswerCase {
  const char* name;
  std::vector<const char*> args;
  int exitStatus;
  const char* mustSay;  // a piece of the printed text
};

void PrintTo(const AnswerCase& row, std::ostream* out) {
  *out << row.name;
}

class ArgumentsAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ArgumentsAnswerTest, AnswersWithoutAWindow) {
  const ProgramArguments parsed = Parse(GetParam().args);
  const auto* answer = std::get_if<AnswerAndExit>(&parsed);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer->exitStatus, GetParam().exitStatus);
  EXPECT_NE(answer->text.find(GetParam().mustSay), std::string::npos) << answer->text;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentsAnswerTest,
    ::testing::Values(AnswerCase{"Help", {"--help"}, 0, "--version"},
                      AnswerCase{"ShortHelpAmongFiles", {"a.csv", "-h"}, 0, "FILE"},
                      AnswerCase{"Version", {"--version"}, 0, "rowvane " ROWVANE_VERSION "\n"},
                      AnswerCase{"ShortVersion", {"-V"}, 0, "rowvane " ROWVANE_VERSION "\n"},
                      AnswerCase{"UnknownOption", {"a.csv", "--frobnicate"}, 2, "--frobnicate"},
                      // Qt's own options are not taken: a file name must never pass for one.
                      AnswerCase{"QtOption", {"-style", "fusion"}, 2, "-style"}),
    [](const auto& row) { return std::string(row.param.name); });

struct StartCase {
  const char* name;
  std::vector<const char*> args;
  QStringList files;
};

void PrintTo(const StartCase& row, std::ostream* out) {
  *out << row.name;
}

class StartWindowTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartWindowTest, NamesTheFilesAsAbsolutePathsInOrder) {
  const ProgramArguments parsed = Parse(GetParam().args);
  const auto* start = std::get_if<StartWindow>(&parsed);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->files, GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, StartWindowTest,
    ::testing::Values(StartCase{"Nothing", {}, {}},
                      StartCase{"AbsoluteAndRelative",
                                {"/data/b.csv", "a.csv", "sub/../c d.csv", "folder/"},
                                {"/data/b.csv", FromHere("a.csv"), FromHere("c d.csv"),
                                 FromHere("folder")}},
                      StartCase{"EmptyArgumentNamesNothing", {"", "a.csv"}, {FromHere("a.csv")}},
                      StartCase{"DashNameAfterDoubleDash", {"--", "-x.csv"}, {FromHere("-x.csv")}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rowvane::app
