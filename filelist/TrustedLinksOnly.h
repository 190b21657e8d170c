#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "filelist/FileSystem.h"

namespace rowvane {

/// A file system whose listings leave out the symbolic links that anyone but
/// root or `self` made. A walk through a tree that others may write to must
/// not follow a link planted there: run by a privileged user, it would reach
/// files that the link's maker may not read. The kernel's own protection of
/// links in sticky folders works on the same rule.
class TrustedLinksOnly : public FileSystem {
 public:
  TrustedLinksOnly(const FileSystem& inner, uid_t self) : m_inner(inner), m_self(self) {}

  std::optional<Attributes> attributesOf(const std::string& path) const override {
    return m_inner.attributesOf(path);
  }
  std::vector<std::string> search(const std::string& folder, const std::string& pattern,
                                  Attributes mask) const override;
  SubFolderListing subFoldersOf(const std::string& folder) const override;
  bool canOpen(const std::string& path) const override { return m_inner.canOpen(path); }
  std::optional<FolderIdentity> identityOf(const std::string& path) const override {
    return m_inner.identityOf(path);
  }
  bool isRootFolder(const std::string& path) const override { return m_inner.isRootFolder(path); }

 private:
  bool isTrusted(const std::string& folder, const std::string& name) const;
  void keepTrusted(const std::string& folder, std::vector<std::string>& names) const;

  const FileSystem& m_inner;
  uid_t m_self;
};

}  // namespace rowvane
