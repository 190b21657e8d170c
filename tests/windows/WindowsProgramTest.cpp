// rowvane-cli.exe itself, started as cmd.exe or PowerShell start it: one
// command line, wide, with pipes for its standard streams (run under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tests/windows/WindowsTestFolder.h"

namespace rowvane {
namespace {

using testing::HeldFile;
using testing::WindowsTestFolder;

struct ProgramRun {
  DWORD status = 0;
  std::string out;
  std::string err;
};

std::wstring Wide(const std::string& text) {
  const std::u16string utf16 = Utf16FromUtf8(text).value();
  return {utf16.begin(), utf16.end()};
}

// Quoted as the C runtime reads a command line back into arguments.
std::wstring Quoted(const std::string& argument) {
  std::wstring quoted = L"\"";
  for (const wchar_t c : Wide(argument)) {
    if (c == L'"') {
      quoted += L'\\';
    }
    quoted += c;
  }
  if (quoted.back() == L'\\') {
    quoted += L'\\';
  }
  return quoted + L"\"";
}

std::string Drain(HANDLE pipe) {
  std::string bytes;
  char buffer[4096];
  DWORD count = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    bytes.append(buffer, count);
  }
  return bytes;
}

// Runs the program in `folder` with `arguments`, `input` on its standard input.
ProgramRun RunProgram(const std::string& folder, const std::vector<std::string>& arguments,
                      const std::string& input = {}) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr,
         errRead = nullptr, errWrite = nullptr;
  ::CreatePipe(&inRead, &inWrite, &inherit, 0);
  ::CreatePipe(&outRead, &outWrite, &inherit, 0);
  ::CreatePipe(&errRead, &errWrite, &inherit, 0);
  ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  std::wstring commandLine = Quoted(ROWVANE_CLI_PATH);
  for (const std::string& argument : arguments) {
    commandLine += L" " + Quoted(argument);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process{};
  const std::wstring directory = Wide(folder);
  const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, directory.c_str(), &startup, &process);
  ::CloseHandle(inRead);
  ::CloseHandle(outWrite);
  ::CloseHandle(errWrite);
  ProgramRun run;
  if (!started) {
    run.status = 9999;
    ::CloseHandle(inWrite);
    ::CloseHandle(outRead);
    ::CloseHandle(errRead);
    return run;
  }
  std::thread feeder([&] {
    DWORD written = 0;
    ::WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    ::CloseHandle(inWrite);
  });
  std::thread errors([&] { run.err = Drain(errRead); });
  run.out = Drain(outRead);
  errors.join();
  feeder.join();
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::GetExitCodeProcess(process.hProcess, &run.status);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  ::CloseHandle(outRead);
  ::CloseHandle(errRead);
  return run;
}

constexpr const char* kCsv = "name,city\r\nZo\xC3\xAB,\xE6\x9D\xB1\xE4\xBA\xAC\r\n";
constexpr const char* kXml =
    "<XML>\r\n <row>\r\n  <name>Zo\xC3\xAB</name>\r\n  "
    "<city>\xE6\x9D\xB1\xE4\xBA\xAC</city>\r\n"
    " </row>\r\n</XML>";

TEST(WindowsProgram, StandardStreamsAreBinary) {
  const WindowsTestFolder folder;
  // Bare LF and CR LF in, the same bytes out as on Linux: nothing translated.
  const ProgramRun piped = RunProgram(folder.path(), {"-O", "-", "-"}, kCsv);
  EXPECT_EQ(piped.status, 0U) << piped.err;
  EXPECT_EQ(piped.out, kXml);
  folder.writeWide("lf.csv", "a\n1\n");
  const ProgramRun lf = RunProgram(folder.path(), {"--format", "standard", "-O", "-", "lf.csv"});
  EXPECT_EQ(lf.out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML>\r\n <row>\r\n  <a>1</a>\r\n "
            "</row>\r\n</XML>");
  const ProgramRun gz = RunProgram(folder.path(), {"--gzip", "-O", "-", "-"}, kCsv);
  EXPECT_EQ(gz.status, 0U) << gz.err;
  EXPECT_TRUE(gz.out.starts_with("\x1f\x8b")) << gz.out.size();
}

TEST(WindowsProgram, UnicodeNamesAndMessagesInUtf8OnPipes) {
  const WindowsTestFolder folder;
  const std::string name = "Zo\xC3\xAB \xE6\x9D\xB1\xE4\xBA\xAC";
  folder.writeWide(name + ".csv", kCsv);
  folder.makeFolder("out");
  const ProgramRun run = RunProgram(folder.path(), {"-o", "out", name + ".csv"});
  EXPECT_EQ(run.status, 0U) << run.err;
  EXPECT_EQ(folder.readWide("out\\" + name + ".xml"), kXml);
  const ProgramRun missing = RunProgram(folder.path(), {"-o", "out", name + "-missing.csv"});
  EXPECT_EQ(missing.status, 1U);
  EXPECT_NE(missing.err.find(name + "-missing.csv"), std::string::npos) << missing.err;
}

TEST(WindowsProgram, WildcardsAreExpandedByTheProgram) {
  const WindowsTestFolder folder;
  folder.makeFolder("data");
  folder.makeFolder("out");
  for (const char* name : {"a.csv", "B.CSV", "c.txt", "h.csv"}) {
    folder.writeWide(std::string("data\\") + name, "x\r\n1\r\n");
  }
  folder.setAttributes("data\\h.csv", FILE_ATTRIBUTE_HIDDEN);
  struct Case {
    std::vector<std::string> arguments;
    DWORD status;
    std::vector<std::string> outputs;
  };
  const Case cases[] = {
      {{"-o", "out", "data\\*.csv"}, 0, {"B.xml", "a.xml"}},
      {{"-o", "out", "data/?.CSV"}, 0, {"B.xml", "a.xml"}},
      {{"-o", "out", "data\\*.none"}, 1, {}},
  };
  for (const Case& each : cases) {
    const ProgramRun run = RunProgram(folder.path(), each.arguments);
    EXPECT_EQ(run.status, each.status) << each.arguments.back() << run.err;
    std::vector<std::string> outputs = WindowsTestFolder::NamesIn(folder / "out");
    std::sort(outputs.begin(), outputs.end());
    EXPECT_EQ(outputs, each.outputs) << each.arguments.back();
    if (each.status != 0) {
      EXPECT_NE(run.err.find("*.none"), std::string::npos) << run.err;
    }
    for (const std::string& output : outputs) {
      ::DeleteFileW(testing::TestWide(folder / ("out\\" + output)).c_str());
    }
  }
}

TEST(WindowsProgram, ReservedNamesAreNeitherReadNorWritten) {
  const WindowsTestFolder folder;
  folder.makeFolder("out");
  folder.writeWide("fine.csv", "x\r\n1\r\n");
  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  };
  const Case cases[] = {
      {{"-O", "out\\CON.xml", "fine.csv"}, "device name that Windows reserves"},
      {{"-O", "out/nul", "fine.csv"}, "device name that Windows reserves"},
      {{"-O", "out\\trailing.", "fine.csv"}, "ends in a dot or a space"},
      {{"-o", "out", "NUL.csv", "fine.csv"}, "Not a regular file"},
  };
  for (const Case& each : cases) {
    const ProgramRun run = RunProgram(folder.path(), each.arguments);
    EXPECT_EQ(run.status, 1U) << each.arguments[1];
    EXPECT_NE(run.err.find(each.message), std::string::npos) << run.err;
  }
  // The batch went on past the device: only the one good output is there.
  EXPECT_EQ(WindowsTestFolder::NamesIn(folder / "out"), std::vector<std::string>{"fine.xml"});
}

TEST(WindowsProgram, FilesInUseFailAloneWithTheirReason) {
  const WindowsTestFolder folder;
  folder.makeFolder("out");
  folder.writeWide("held.csv", "x\r\n1\r\n");
  folder.writeWide("free.csv", "x\r\n1\r\n");
  folder.writeWide("kept.csv", "x\r\n1\r\n");
  folder.writeWide("out\\kept.xml", "earlier");
  ProgramRun run;
  {
    const HeldFile input = folder.holdUnshared("held.csv");
    const HeldFile output = folder.holdUnshared("out\\kept.xml");
    run = RunProgram(folder.path(), {"-o", "out", "held.csv", "free.csv", "kept.csv"});
  }
  EXPECT_EQ(run.status, 1U);
  EXPECT_NE(run.err.find("held.csv: cannot read the input: in use by another program"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("cannot write out/kept.xml: in use by another program"), std::string::npos)
      << run.err;
  std::vector<std::string> outputs = WindowsTestFolder::NamesIn(folder / "out");
  std::sort(outputs.begin(), outputs.end());
  EXPECT_EQ(outputs, (std::vector<std::string>{"free.xml", "kept.xml"}));
  EXPECT_EQ(folder.readWide("out\\kept.xml"), "earlier");
}

TEST(WindowsProgram, WatchIsRefusedPlainly) {
  const WindowsTestFolder folder;
  folder.makeFolder("in");
  const ProgramRun run = RunProgram(folder.path(), {"--watch", "in", "-o", "in"});
  EXPECT_EQ(run.status, 2U);
  EXPECT_NE(run.err.find("not available on Windows"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace rowvane
