#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

namespace rowvane::cli::testing {

/// A fresh folder under the system's temporary folder, removed with all its
/// contents when the object goes.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rowvane-cli-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return m_path; }

  /// Writes `bytes` to `name` inside the folder (parent folders are created).
  std::string write(const std::string& name, const std::string& bytes) const {
    const auto file = m_path / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    if (!out.flush()) {
      throw std::runtime_error("cannot write " + file.string());
    }
    return file.string();
  }

  /// Creates the folder `name` inside this one and gives its path.
  std::string makeFolder(const std::string& name) const {
    std::filesystem::create_directories(m_path / name);
    return (m_path / name).string();
  }

 private:
  std::filesystem::path m_path;
};

/// The whole content of a file; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace rowvane::cli::testing
