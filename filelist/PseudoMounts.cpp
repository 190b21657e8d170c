#include "filelist/PseudoMounts.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace rowvane {
namespace {

constexpr std::array<std::string_view, 25> kPseudoTypes = {
    "autofs",  "binder", "binfmt_misc", "bpf",      "cgroup",     "cgroup2",    "configfs",
    "debugfs", "devpts", "devtmpfs",    "efivarfs", "fusectl",    "hugetlbfs",  "mqueue",
    "nfsd",    "nsfs",   "proc",        "pstore",   "rpc_pipefs", "securityfs", "selinuxfs",
    "smackfs", "sysfs",  "tracefs",     "xenfs",
};

/// The next field of a line separated by single spaces; empties `rest` at the end.
std::string_view NextField(std::string_view& rest) {
  const auto space = rest.find(' ');
  const std::string_view field = rest.substr(0, space);
  rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
  return field;
}

std::optional<unsigned> ParseNumber(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

/// "major:minor" as a device number.
std::optional<std::uint64_t> ParseDevice(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) {
    return std::nullopt;
  }
  const auto major = ParseNumber(text.substr(0, colon));
  const auto minor = ParseNumber(text.substr(colon + 1));
  if (!major || !minor) {
    return std::nullopt;
  }
  return makedev(*major, *minor);
}

/// Fields: id, parent id, major:minor, root, mount point, options, optional
/// fields, "-", type, source, super options.
std::optional<std::uint64_t> PseudoDeviceOfLine(std::string_view line) {
  std::string_view rest = line;
  NextField(rest);
  NextField(rest);
  const auto device = ParseDevice(NextField(rest));
  const auto separator = rest.find(" - ");
  if (!device || separator == std::string_view::npos) {
    return std::nullopt;
  }
  rest = rest.substr(separator + 3);
  if (!IsPseudoFileSystemType(NextField(rest))) {
    return std::nullopt;
  }
  return device;
}

}  // namespace

bool IsPseudoFileSystemType(std::string_view type) {
  return std::find(kPseudoTypes.begin(), kPseudoTypes.end(), type) != kPseudoTypes.end();
}

std::set<std::uint64_t> PseudoFileSystemDevices(std::string_view mountInfo) {
  std::set<std::uint64_t> devices;
  while (!mountInfo.empty()) {
    const auto newline = mountInfo.find('\n');
    const std::string_view line = mountInfo.substr(0, newline);
    mountInfo =
        newline == std::string_view::npos ? std::string_view{} : mountInfo.substr(newline + 1);
    if (const auto device = PseudoDeviceOfLine(line)) {
      devices.insert(*device);
    }
  }
  return devices;
}

}  // namespace rowvane
