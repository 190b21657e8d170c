#include "tests/reliability/FileStamp.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QFile>
#include <memory>
#include <string_view>

namespace rowvane::reliability {
namespace {

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.c_str()));
  if (!directory) {
    return names;
  }
  while (const dirent* entry = ::readdir(directory.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      names.emplace_back(name);
    }
  }
  return names;
}

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  QFile file(QString::fromStdString(path));
  QCryptographicHash hash(QCryptographicHash::Sha256);
  // An unreadable file still gets a stamp: its digest then stays empty.
  if (file.open(QIODevice::ReadOnly)) {
    hash.addData(&file);
  }
  FileStamp stamp;
  stamp.sha256 = hash.result().toHex().toStdString();
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.modifiedNs = std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
  return stamp;
}

std::map<std::string, FileStamp> StampFolder(const std::string& folder) {
  std::map<std::string, FileStamp> stamps;
  for (const std::string& name : NamesIn(folder)) {
    if (auto stamp = StampOf(folder + "/" + name)) {
      stamps.emplace(name, std::move(*stamp));
    }
  }
  return stamps;
}

std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
  std::vector<std::string> temporary;
  for (const std::string& name : NamesIn(folder)) {
    if (name.starts_with(".rowvane-")) {
      temporary.push_back(name);
    }
  }
  return temporary;
}

}  // namespace rowvane::reliability
