#pragma once

#include <windows.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Files.h"
#include "text/Utf16.h"

namespace rowvane::testing {

/// The wide form of a UTF-8 path, for the tests' own calls of the file API.
inline std::wstring TestWide(const std::string& path) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    throw std::runtime_error("not a usable path: " + path);
  }
  return *wide;
}

/// Makes one folder; 0 or the Windows error.
inline DWORD MakeFolderForTest(const std::string& path) {
  return ::CreateDirectoryW(TestWide(path).c_str(), nullptr) ? 0 : ::GetLastError();
}

struct HandleCloser {
  void operator()(void* handle) const { ::CloseHandle(handle); }
};
using HeldFile = std::unique_ptr<void, HandleCloser>;

/// A fresh folder under the user's temporary folder, removed with everything
/// in it when the object goes. Files are made and read through the wide API
/// directly, so that what the program does is checked by other means.
class WindowsTestFolder {
 public:
  WindowsTestFolder() {
    wchar_t temporary[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temporary);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::wstring candidate =
          std::wstring(temporary) + L"rowvane-win-" + std::to_wstring(random() % 100'000'000);
      if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
        m_path = NarrowName(candidate);
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary folder");
  }
  ~WindowsTestFolder() { RemoveTree(m_path); }
  WindowsTestFolder(const WindowsTestFolder&) = delete;
  WindowsTestFolder& operator=(const WindowsTestFolder&) = delete;

  /// The folder, with "\" between its folders as Windows gives it.
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

  void writeWide(const std::string& name, const std::string& bytes) const {
    const HeldFile file(::CreateFileW(TestWide(*this / name).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file.get() == INVALID_HANDLE_VALUE ||
        !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
        written != bytes.size()) {
      throw std::runtime_error("cannot write " + name);
    }
  }

  std::string readWide(const std::string& name) const {
    const HeldFile file(::CreateFileW(TestWide(*this / name).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
      return "(missing)";
    }
    std::string bytes;
    char buffer[4096];
    DWORD count = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr) && count > 0) {
      bytes.append(buffer, count);
    }
    return bytes;
  }

  /// Opens `name` sharing nothing, as a spreadsheet holds the file it shows.
  HeldFile holdUnshared(const std::string& name) const {
    HeldFile file(::CreateFileW(TestWide(*this / name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
      throw std::runtime_error("cannot hold " + name);
    }
    return file;
  }

  void setAttributes(const std::string& name, DWORD attributes) const {
    if (!::SetFileAttributesW(TestWide(*this / name).c_str(), attributes)) {
      throw std::runtime_error("cannot set the attributes of " + name);
    }
  }

  std::string makeFolder(const std::string& name) const {
    if (MakeFolderForTest(*this / name) != 0) {
      throw std::runtime_error("cannot make " + name);
    }
    return *this / name;
  }

  /// The folder's entries, hidden ones included, in the order Windows lists them.
  std::vector<std::string> names() const { return NamesIn(m_path); }

  static std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(TestWide(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
      return names;
    }
    do {
      const std::string name = NarrowName(found.cFileName);
      if (name != "." && name != "..") {
        names.push_back(name);
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
  }

 private:
  static void RemoveTree(const std::string& folder) {
    for (const std::string& name : NamesIn(folder)) {
      const std::wstring path = TestWide(folder + "\\" + name);
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!::DeleteFileW(path.c_str())) {
        RemoveTree(folder + "\\" + name);
      }
    }
    ::RemoveDirectoryW(TestWide(folder).c_str());
  }

  std::string m_path;
};

}  // namespace rowvane::testing
