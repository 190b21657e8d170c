#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>

#include "engine/batch/FileConverter.h"
#include "engine/io/AtomicOutputFile.h"
#include "engine/io/ByteSource.h"
#include "engine/io/InputFile.h"
#include "tests/support/TempDir.h"

namespace rowvane {
namespace {

using testing::ReadFile;
using testing::TempDir;
using Status = FileOutcome::Status;

const std::string kStaff = "id,name\r\n7,Ann\r\n8,Bob";
const std::string kStaffXml =
    "<XML>\r\n <row>\r\n  <id>7</id>\r\n  <name>Ann</name>\r\n </row>\r\n <row>\r\n"
    "  <id>8</id>\r\n  <name>Bob</name>\r\n </row>\r\n</XML>";

class FileConversion : public ::testing::Test {
 protected:
  FileOutcome convert(const std::string& input) {
    ConversionObserver observer;
    return ConvertFile(input, outputFolder, settings, observer);
  }
  /// No temporary file may be left in the output folder.
  void expectNoTemporaryFiles() {
    for (const std::string& name : out.entries()) {
      EXPECT_EQ(name.find(".rowvane-"), std::string::npos) << name;
    }
  }
  void SetUp() override { outputFolder = out.path().string(); }

  TempDir in;
  TempDir out;
  std::string outputFolder;
  ConversionSettings settings;
};

TEST_F(FileConversion, WritesTheWorkedExample) {
  const FileOutcome outcome = convert(in.write("staff.csv", kStaff));
  EXPECT_EQ(outcome.status, Status::Converted);
  EXPECT_TRUE(outcome.failures.empty());
  EXPECT_EQ(outcome.outputPath, out / "staff.xml");
  EXPECT_EQ(ReadFile(out / "staff.xml"), kStaffXml);
  EXPECT_EQ(outcome.inputBytes, kStaff.size());
  EXPECT_EQ(outcome.outputBytes, kStaffXml.size());
  EXPECT_EQ(outcome.records, 2U);
  expectNoTemporaryFiles();
}

TEST_F(FileConversion, EmptyFileGivesAnEmptyDocument) {
  EXPECT_EQ(convert(in.write("empty.csv", "")).status, Status::Converted);
  EXPECT_EQ(ReadFile(out / "empty.xml"), "<XML>\r\n</XML>");
}

TEST_F(FileConversion, MissingInputIsSkippedQuietly) {
  const FileOutcome outcome = convert(in / "gone.csv");
  EXPECT_EQ(outcome.status, Status::Missing);
  EXPECT_TRUE(outcome.failures.empty());
  EXPECT_TRUE(out.entries().empty());
}

TEST_F(FileConversion, SpecialFilesAreReadFailuresNotHangs) {
  const std::string fifo = in / "pipe.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, in.path().string(), std::string("/dev/null")}) {
    const FileOutcome outcome = convert(path);
    EXPECT_EQ(outcome.status, Status::Failed) << path;
    ASSERT_EQ(outcome.failures.size(), 1u) << path;
    EXPECT_EQ(outcome.failures[0].kind, FailureKind::Read) << path;
  }
  EXPECT_EQ(convert(in.path().string()).failures[0].message, "Is a directory");
  expectNoTemporaryFiles();
}

TEST_F(FileConversion, NameWithoutDotIsReportedAndStillWritten) {
  const FileOutcome outcome = convert(in.write("README", kStaff));
  EXPECT_EQ(outcome.status, Status::Converted);
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].kind, FailureKind::Name);
  EXPECT_EQ(ReadFile(out / "README.xml"), kStaffXml);
}

TEST_F(FileConversion, NeverWritesOverItsOwnInput) {
  const std::string input = out.write("data.xml", kStaff);
  const FileOutcome outcome = convert(input);
  EXPECT_EQ(outcome.status, Status::Failed);
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].kind, FailureKind::Write);
  EXPECT_EQ(ReadFile(input), kStaff);

  // The same file reached through a link, "..", or another hard link.
  const std::string source = in.write("linked.csv", kStaff);
  ASSERT_EQ(::link(source.c_str(), (out / "linked.xml").c_str()), 0);
  EXPECT_EQ(convert(source).status, Status::Failed);
  outputFolder = out.path().string() + "/../" + out.path().filename().string();
  EXPECT_EQ(convert(input).status, Status::Failed);
  EXPECT_EQ(ReadFile(source), kStaff);
  expectNoTemporaryFiles();
}

TEST_F(FileConversion, ReadOnlyOutputIsLeftAlone) {
  const std::string target = out.write("staff.xml", "old");
  ::chmod(target.c_str(), 0444);
  const FileOutcome outcome = convert(in.write("staff.csv", kStaff));
  EXPECT_EQ(outcome.status, Status::Failed);
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0], (Failure{FailureKind::Write, "Permission denied"}));
  EXPECT_EQ(ReadFile(target), "old");
  expectNoTemporaryFiles();
}

TEST_F(FileConversion, ReplacesAnEarlierOutputKeepingItsPermissions) {
  const std::string target = out.write("staff.xml", "old");
  ::chmod(target.c_str(), 0640);
  EXPECT_EQ(convert(in.write("staff.csv", kStaff)).status, Status::Converted);
  EXPECT_EQ(ReadFile(target), kStaffXml);
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(FileConversion, MissingOutputFolderIsAWriteFailure) {
  outputFolder = out / "not-there";
  const FileOutcome outcome = convert(in.write("staff.csv", kStaff));
  EXPECT_EQ(outcome.status, Status::Failed);
  EXPECT_EQ(outcome.failures.at(0), (Failure{FailureKind::Write, "No such file or directory"}));
}

// A failure that came from the system keeps its error number, so that callers
// name it without reading its text; the engine's own messages carry none.
TEST_F(FileConversion, FailuresKeepTheErrorNumberTheyCameFrom) {
  const std::string aFile = out.write("a-file", "");
  const std::string input = in.write("staff.csv", kStaff);
  struct Row {
    std::string input;
    std::string outputFolder;
    Failure expected;
  };
  const Row rows[] = {
      {input, out / "not-there", {FailureKind::Write, "No such file or directory", ENOENT}},
      {input, aFile + "/below", {FailureKind::Write, "Not a directory", ENOTDIR}},
      {in.makeFolder("folder.csv"),
       out.path().string(),
       {FailureKind::Read, "Is a directory", EISDIR}},
      {in.write("nodot", "a\r\n"), out.path().string(), {FailureKind::Name, "", 0}},
  };
  for (const Row& row : rows) {
    outputFolder = row.outputFolder;
    const FileOutcome outcome = convert(row.input);
    ASSERT_FALSE(outcome.failures.empty()) << row.input;
    const Failure& failure = outcome.failures.front();
    EXPECT_EQ(failure.kind, row.expected.kind) << row.input;
    if (!row.expected.message.empty()) {
      EXPECT_EQ(failure.message, row.expected.message) << row.input;
    }
    EXPECT_EQ(failure.errorNumber, row.expected.errorNumber) << row.input << " " << failure.message;
  }
}

// Runs a conversion in a child whose file size limit makes writes fail after
// `limit` bytes; gives the child's view: 0 when it saw a write failure.
int ConvertWithFileSizeLimit(const std::string& input, const std::string& folder, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit cap{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &cap);
    ConversionObserver observer;
    const FileOutcome outcome = ConvertFile(input, folder, ConversionSettings{}, observer);
    const bool sawWriteFailure = outcome.status == FileOutcome::Status::Failed &&
                                 outcome.failures.size() == 1 &&
                                 outcome.failures[0].kind == FailureKind::Write;
    ::_exit(sawWriteFailure ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileConversion, FailedWriteLeavesNoPartialFileAndKeepsTheOldOutput) {
  // A small input is written on the converting thread, a large one from a
  // second thread; both must fail cleanly at any point.
  for (const int rows : {5000, 400000}) {
    std::string input = "a,b\r\n";
    for (int i = 0; i < rows; ++i) {
      input += std::to_string(i) + ",value\r\n";
    }
    const std::string path = in.write("big.csv", input);
    const std::string target = out.write("big.xml", "earlier output");
    for (const rlim_t limit : {0, 1, 4095, 4096, 16383, 16384, 65536, 160000, 5000000}) {
      if (limit >= input.size() * 3) {
        continue;
      }
      EXPECT_EQ(ConvertWithFileSizeLimit(path, out.path().string(), limit), 0) << limit;
      EXPECT_EQ(ReadFile(target), "earlier output") << limit;
      expectNoTemporaryFiles();
    }
  }
}

// Answers Stop or Leave from a given pause on, and counts the pauses asked.
class AnswersAt : public ConversionObserver {
 public:
  AnswersAt(int from, PauseAnswer answer) : m_from(from), m_answer(answer) {}
  void onPause() override { ++pauses; }
  PauseAnswer pauseAnswer() const override {
    return pauses >= m_from ? m_answer : PauseAnswer::Continue;
  }
  int pauses = 0;

 private:
  int m_from;
  PauseAnswer m_answer;
};

// Told to stop or leave at any pause (the first, the last, and ones in
// between: in records, reading a long header, splitting it, padding a short
// record under it), the conversion asks no further pause, writes nothing and
// leaves an earlier output as it was.
TEST_F(FileConversion, APauseAnsweredStopOrLeaveAbandonsTheFile) {
  std::string records = "id,name\r\n";
  for (int i = 0; i < 300; ++i) {
    records += std::to_string(i) + ",\"name\r\n" + std::to_string(i) + "\"\r\n";
  }
  std::string header;
  for (int i = 0; i < 20000; ++i) {
    header += "n" + std::to_string(i) + ",";
  }
  const std::string longHeader = header + "last\r\n1,2\r\n";
  struct Row {
    const char* name;
    std::string text;
    CsvFormat format;
    OutputLayout layout;
  };
  const Row rows[] = {
      {"classic", records, CsvFormat::Classic(), OutputLayout::Elements},
      {"standard", records, CsvFormat::Standard(), OutputLayout::Elements},
      {"attributes", records, CsvFormat::Standard(), OutputLayout::FieldsAsAttributes},
      {"long header", longHeader, CsvFormat::Classic(), OutputLayout::Elements},
      {"long header, standard", longHeader, CsvFormat::Standard(), OutputLayout::Elements},
  };
  ConversionTuning tuning;
  tuning.readChunk = 64;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  tuning.headerSplitStep = 256;
  const std::string input = in / "staff.csv";
  const std::string target = out / "staff.xml";
  for (const Row& row : rows) {
    in.write("staff.csv", row.text);
    settings.Format = row.format;
    settings.Layout = row.layout;
    AnswersAt whole(std::numeric_limits<int>::max(), PauseAnswer::Continue);
    ASSERT_EQ(ConvertFile(input, outputFolder, settings, whole, tuning).status, Status::Converted);
    const int last = whole.pauses;
    ASSERT_GT(last, 10) << row.name;
    for (const PauseAnswer answer : {PauseAnswer::Stop, PauseAnswer::Leave}) {
      for (const int from : {1, 2, last / 3, last * 2 / 3, last - 1, last}) {
        out.write("staff.xml", "earlier output");
        AnswersAt observer(from, answer);
        const FileOutcome outcome = ConvertFile(input, outputFolder, settings, observer, tuning);
        const std::string where = std::string(row.name) + " at pause " + std::to_string(from);
        EXPECT_EQ(outcome.status, Status::Stopped) << where;
        EXPECT_TRUE(outcome.failures.empty()) << where;
        EXPECT_EQ(observer.pauses, from) << where;
        EXPECT_EQ(ReadFile(target), "earlier output") << where;
        expectNoTemporaryFiles();
      }
    }
  }
}

// A stream converted into a named file gives what the same bytes converted
// from a file give: the output, records, counts and failures, and nothing left
// behind when stopped or when the file cannot be made.
TEST_F(FileConversion, AStreamIntoAFileEndsAsTheSameInputFileWould) {
  ConversionTuning tuning;
  tuning.readChunk = 5;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  const struct {
    const char* name;
    std::string folder;
    int stopAt;
    Status status;
  } rows[] = {
      {"converted", outputFolder, std::numeric_limits<int>::max(), Status::Converted},
      {"stopped", outputFolder, 2, Status::Stopped},
      {"no folder", outputFolder + "/missing", std::numeric_limits<int>::max(), Status::Failed},
  };
  const std::string input = in.write("staff.csv", kStaff);
  for (const auto& row : rows) {
    AnswersAt fileObserver(row.stopAt, PauseAnswer::Stop);
    const FileOutcome fromFile = ConvertFile(input, row.folder, settings, fileObserver, tuning);
    const std::string fromFileBytes =
        row.status == Status::Converted ? ReadFile(out / "staff.xml") : "";
    std::filesystem::remove(out / "staff.xml");
    MemorySource source(kStaff);
    AnswersAt streamObserver(row.stopAt, PauseAnswer::Stop);
    const FileOutcome fromStream =
        ConvertStreamToFile(source, false, fromFile.outputPath, settings, streamObserver, tuning);
    EXPECT_EQ(fromStream.status, row.status) << row.name;
    EXPECT_EQ(fromFile.status, row.status) << row.name;
    EXPECT_EQ(fromStream.failures, fromFile.failures) << row.name;
    EXPECT_EQ(fromStream.records, fromFile.records) << row.name;
    EXPECT_EQ(fromStream.outputBytes, fromFile.outputBytes) << row.name;
    EXPECT_EQ(fromStream.outputPath, fromFile.outputPath) << row.name;
    EXPECT_EQ(std::filesystem::exists(out / "staff.xml"), row.status == Status::Converted)
        << row.name;
    if (row.status == Status::Converted) {
      EXPECT_EQ(ReadFile(out / "staff.xml"), fromFileBytes);
    }
    if (row.status == Status::Failed) {
      ASSERT_EQ(fromStream.failures.size(), 1U);
      EXPECT_EQ(fromStream.failures[0].errorNumber, ENOENT);
    }
    expectNoTemporaryFiles();
  }
}

// Changes the input file once, at the first pause of the conversion or when
// the last byte has been read, as another program might while it is read.
class ChangeInputWhileRead : public ConversionObserver {
 public:
  ChangeInputWhileRead(std::function<void()> change, bool atEnd)
      : m_change(std::move(change)), m_atEnd(atEnd) {}
  void onPause() override {
    if (!m_atEnd) {
      changeOnce();
    }
  }
  void onProgress(double share) override {
    if (m_atEnd && share >= 1.0) {
      changeOnce();
    }
  }

 private:
  void changeOnce() {
    if (!m_changed) {
      m_changed = true;
      m_change();
    }
  }
  std::function<void()> m_change;
  bool m_atEnd;
  bool m_changed = false;
};

TEST_F(FileConversion, InputChangedWhileReadIsAReadFailureAndKeepsTheOldOutput) {
  std::string text = "id,name\r\n";
  for (int i = 0; i < 200; ++i) {
    text += std::to_string(i) + ",name" + std::to_string(i) + "\r\n";
  }
  const std::string input = in / "staff.csv";
  const auto rewriteSameSizeWithAnotherTime = [&] {
    std::string other = text;
    other[text.size() - 3] = 'x';
    in.write("staff.csv", other);
    const timespec times[2] = {{978307200, 0}, {978307200, 0}};  // 2001-01-01
    ASSERT_EQ(::utimensat(AT_FDCWD, input.c_str(), times, 0), 0);
  };
  const struct {
    const char* name;
    std::function<void()> change;
    bool atEnd;
  } cases[] = {
      {"truncated", [&] { std::filesystem::resize_file(input, 10); }, false},
      {"truncated to nothing", [&] { std::filesystem::resize_file(input, 0); }, false},
      {"grown", [&] { in.write("staff.csv", text + text); }, false},
      {"rewritten, same size", rewriteSameSizeWithAnotherTime, false},
      {"truncated once read whole", [&] { std::filesystem::resize_file(input, 10); }, true},
      {"rewritten once read whole", rewriteSameSizeWithAnotherTime, true},
  };
  ConversionTuning tuning;
  tuning.readChunk = 64;
  tuning.pauseInterval = std::chrono::milliseconds(0);
  for (const auto& change : cases) {
    in.write("staff.csv", text);
    const std::string target = out.write("staff.xml", "earlier output");
    ChangeInputWhileRead observer(change.change, change.atEnd);
    const FileOutcome outcome = ConvertFile(input, outputFolder, settings, observer, tuning);
    EXPECT_EQ(outcome.status, Status::Failed) << change.name;
    EXPECT_EQ(outcome.failures, (std::vector<Failure>{{FailureKind::Read, kInputChangedWhileRead}}))
        << change.name;
    EXPECT_EQ(ReadFile(target), "earlier output") << change.name;
    expectNoTemporaryFiles();
  }
  // Left alone, the same file converts.
  in.write("staff.csv", text);
  ChangeInputWhileRead untouched([] {}, false);
  EXPECT_EQ(ConvertFile(input, outputFolder, settings, untouched, tuning).status,
            Status::Converted);
}

TEST_F(FileConversion, AbandonedTemporaryFilesAreRemovedButLiveOnesKept) {
  const std::string abandoned = out.write(".rowvane-abandoned012.tmp", "half an output");
  const std::string unrelated = out.write(".rowvane-notes.txt", "keep");
  const std::string named = out.write("data.tmp", "keep");
  AtomicOutputFile live(out / "live.xml", {});
  live.write("being written", 13);
  EXPECT_EQ(RemoveAbandonedTemporaryFiles(out.path().string()), 1u);
  EXPECT_FALSE(std::filesystem::exists(abandoned));
  EXPECT_TRUE(std::filesystem::exists(unrelated));
  EXPECT_TRUE(std::filesystem::exists(named));
  live.commit();
  EXPECT_EQ(ReadFile(out / "live.xml"), "being written");
  EXPECT_EQ(RemoveAbandonedTemporaryFiles(out / "no-such-folder"), 0u);
}

}  // namespace
}  // namespace rowvane
