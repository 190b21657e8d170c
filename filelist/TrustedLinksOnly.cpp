#include "filelist/TrustedLinksOnly.h"

#include <sys/stat.h>

#include <algorithm>

namespace rowvane {

bool TrustedLinksOnly::isTrusted(const std::string& folder, const std::string& name) const {
  std::string path = folder;
  if (!path.ends_with('/')) {
    path += '/';
  }
  path += name;
  struct stat own {};
  if (::lstat(path.c_str(), &own) != 0) {
    return false;
  }
  return !S_ISLNK(own.st_mode) || own.st_uid == 0 || own.st_uid == m_self;
}

void TrustedLinksOnly::keepTrusted(const std::string& folder,
                                   std::vector<std::string>& names) const {
  std::erase_if(names, [&](const std::string& name) { return !isTrusted(folder, name); });
}

std::vector<std::string> TrustedLinksOnly::search(const std::string& folder,
                                                  const std::string& pattern,
                                                  Attributes mask) const {
  std::vector<std::string> names = m_inner.search(folder, pattern, mask);
  keepTrusted(folder, names);
  return names;
}

SubFolderListing TrustedLinksOnly::subFoldersOf(const std::string& folder) const {
  SubFolderListing listing = m_inner.subFoldersOf(folder);
  keepTrusted(folder, listing.names);
  return listing;
}

}  // namespace rowvane
