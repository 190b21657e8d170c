#include "tests/support/MemoryFileSystem.h"

#include <algorithm>
#include <utility>

#include "filelist/NameOrder.h"
#include "filelist/WildcardMatch.h"

namespace rowvane {
namespace {

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> names;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    const auto slash = std::min(path.find('/', start), path.size());
    if (slash > start) {
      names.push_back(path.substr(start, slash - start));
    }
    start = slash + 1;
  }
  return names;
}

std::string KeyOf(const std::vector<std::string>& names) {
  if (names.empty()) {
    return "/";
  }
  std::string key;
  for (const std::string& name : names) {
    key += '/';
    key += name;
  }
  return key;
}

std::string ChildKey(const std::string& parentKey, const std::string& name) {
  return parentKey == "/" ? "/" + name : parentKey + "/" + name;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() {
  Node& root = m_nodes["/"];
  root.id = m_nextId++;
  root.root = true;
}

MemoryFileSystem::Node& MemoryFileSystem::add(const std::string& path, Kind kind,
                                              Attributes value) {
  const std::vector<std::string> names = SplitPath(path);
  std::string key = "/";
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    key = ChildKey(key, names[i]);
    if (!m_nodes.contains(key)) {
      m_nodes[key].id = m_nextId++;
    }
  }
  Node& node = m_nodes[KeyOf(names)];
  if (node.id == 0) {
    node.id = m_nextId++;
  }
  node.kind = kind;
  node.value = value;
  return node;
}

void MemoryFileSystem::addFolder(const std::string& path, Attributes value) {
  add(path, Kind::Folder, value);
}

void MemoryFileSystem::addFile(const std::string& path, Attributes value, bool openable) {
  add(path, Kind::File, value).openable = openable;
}

void MemoryFileSystem::addLink(const std::string& path, const std::string& target) {
  add(path, Kind::Link, attribute::kReparsePoint).target = target;
}

void MemoryFileSystem::failListing(const std::string& path, ListingError error,
                                   std::size_t namesBefore) {
  Node& node = m_nodes.at(KeyOf(SplitPath(path)));
  node.listingError = error;
  node.namesBeforeFailure = namesBefore;
}

void MemoryFileSystem::markRootFolder(const std::string& path) {
  m_nodes.at(KeyOf(SplitPath(path))).root = true;
}

void MemoryFileSystem::remove(const std::string& path) {
  const std::string key = KeyOf(SplitPath(path));
  const std::string below = key + "/";
  std::erase_if(m_nodes, [&](const auto& entry) {
    return entry.first == key || entry.first.starts_with(below);
  });
}

std::string MemoryFileSystem::resolve(const std::string& path, bool followLast,
                                      int hopsLeft) const {
  if (hopsLeft <= 0) {
    return {};
  }
  const std::vector<std::string> names = SplitPath(path);
  std::string key = "/";
  for (std::size_t i = 0; i < names.size(); ++i) {
    key = ChildKey(key, names[i]);
    const auto node = m_nodes.find(key);
    if (node == m_nodes.end()) {
      return {};
    }
    const bool last = i + 1 == names.size();
    if (node->second.kind == Kind::Link && (!last || followLast)) {
      key = resolve(node->second.target, true, hopsLeft - 1);
      if (key.empty()) {
        return {};
      }
    } else if (!last && node->second.kind == Kind::File) {
      return {};
    }
  }
  return key;
}

const MemoryFileSystem::Node* MemoryFileSystem::find(const std::string& path,
                                                     bool followLast) const {
  if (!path.starts_with('/')) {
    return nullptr;
  }
  const std::string key = resolve(path, followLast);
  const auto node = m_nodes.find(key);
  return node == m_nodes.end() ? nullptr : &node->second;
}

std::vector<std::string> MemoryFileSystem::childNamesOf(const std::string& key) const {
  const std::string prefix = key == "/" ? "/" : key + "/";
  std::vector<std::string> names;
  for (auto entry = m_nodes.lower_bound(prefix);
       entry != m_nodes.end() && entry->first.starts_with(prefix); ++entry) {
    const std::string rest = entry->first.substr(prefix.size());
    if (!rest.empty() && rest.find('/') == std::string::npos) {
      names.push_back(rest);
    }
  }
  SortInPlatformOrder(names);
  return names;
}

std::optional<Attributes> MemoryFileSystem::attributesOf(const std::string& path) const {
  const Node* node = find(path, false);
  if (node == nullptr) {
    return std::nullopt;
  }
  if (node->kind != Kind::Link) {
    return node->value;
  }
  const Node* target = find(path, true);
  return attribute::kReparsePoint | (target == nullptr ? 0 : target->value);
}

std::vector<std::string> MemoryFileSystem::search(const std::string& folder,
                                                  const std::string& pattern,
                                                  Attributes mask) const {
  std::vector<std::string> names;
  const Node* node = find(folder, true);
  if (node == nullptr || node->kind != Kind::Folder || node->listingError != ListingError::None) {
    return names;
  }
  const std::string key = resolve(folder, true);
  for (const std::string& name : childNamesOf(key)) {
    const auto value = attributesOf(ChildKey(key, name));
    if (MatchesWildcard(pattern, name) && value && PassesSearchMask(*value, mask)) {
      names.push_back(name);
    }
  }
  return names;
}

SubFolderListing MemoryFileSystem::subFoldersOf(const std::string& folder) const {
  SubFolderListing listing;
  const Node* node = find(folder, true);
  if (node == nullptr || node->kind != Kind::Folder) {
    listing.error = ListingError::Other;
    return listing;
  }
  const std::string key = resolve(folder, true);
  for (const std::string& name : childNamesOf(key)) {
    const Node* child = find(ChildKey(key, name), true);
    if (child != nullptr && child->kind == Kind::Folder) {
      listing.names.push_back(name);
    }
  }
  if (node->listingError != ListingError::None) {
    listing.names.resize(std::min(listing.names.size(), node->namesBeforeFailure));
    listing.error = node->listingError;
  }
  return listing;
}

bool MemoryFileSystem::canOpen(const std::string& path) const {
  const Node* node = find(path, true);
  return node != nullptr && node->kind == Kind::File && node->openable;
}

std::optional<FolderIdentity> MemoryFileSystem::identityOf(const std::string& path) const {
  const Node* node = find(path, true);
  if (node == nullptr || node->kind != Kind::Folder) {
    return std::nullopt;
  }
  return FolderIdentity{1, node->id};
}

bool MemoryFileSystem::isRootFolder(const std::string& path) const {
  const Node* node = find(path, true);
  return node != nullptr && node->kind == Kind::Folder && node->root;
}

}  // namespace rowvane
