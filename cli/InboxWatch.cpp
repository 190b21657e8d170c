#include "cli/InboxWatch.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <variant>

#include "cli/BatchPlan.h"
#include "cli/BatchReporter.h"
#include "cli/DisplayEscape.h"
#include "cli/InboxReadiness.h"
#include "cli/InputMove.h"
#include "cli/OutputFolder.h"
#include "cli/ReportingObserver.h"
#include "cli/RunReport.h"
#include "cli/StoppableBatch.h"
#include "engine/Batch.h"
#include "engine/Files.h"
#include "filelist/WildcardMatch.h"

namespace rowvane::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO |
                                        IN_MOVED_FROM | IN_DELETE | IN_ATTRIB | IN_DELETE_SELF |
                                        IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr std::size_t kEventBufferSize = 64 * 1024;

struct KnownFileSystem {
  long type;
  const char* name;
};
constexpr std::array kUnwatchable = {
    KnownFileSystem{0x6969, "NFS"},       KnownFileSystem{0x517B, "SMB"},
    KnownFileSystem{0xFF534D42L, "CIFS"}, KnownFileSystem{0xFE534D42L, "SMB2"},
    KnownFileSystem{0x65735546, "FUSE"},  KnownFileSystem{0x01021997, "9P"},
    KnownFileSystem{0x00C36400, "Ceph"},  KnownFileSystem{0x5346414FL, "AFS"},
};

// Hidden names and "~" names are what editors and copies leave while they
// work; the folder walk of -r and the window pass over them too.
bool IsCsvName(std::string_view name) {
  if (name.starts_with('.') || name.starts_with('~')) {
    return false;
  }
  return MatchesWildcard("*.csv", name) || MatchesWildcard("*.csv.gz", name);
}

bool IsHiddenFolderName(std::string_view name) {
  return name.starts_with('.') || name.starts_with('~');
}

// The stamp of a regular file `name` in the open folder `folder`, the name
// itself not followed; nothing for a link or anything but a regular file.
std::optional<FileStamp> StampIn(int folder, const std::string& name) {
  struct stat info {};
  if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  return VersionOf(info);
}

// The modification time of what `path` names, in nanoseconds.
std::optional<std::int64_t> ModifiedAt(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  return VersionOf(info).modifiedNanoseconds;
}

// A failure that more room would mend: the input is not to blame.
bool IsOutOfRoom(const FileOutcome& outcome) {
  return std::any_of(outcome.failures.begin(), outcome.failures.end(), [](const Failure& failure) {
    return failure.kind == FailureKind::Write &&
           (failure.errorNumber == ENOSPC || failure.errorNumber == EDQUOT);
  });
}

// How often the watched folders are looked at for having been removed.
constexpr std::chrono::milliseconds kLookForRemovals{500};

// How long an input that found no room waits before it is tried again.
constexpr std::chrono::seconds kRetryWhenOutOfRoom{5};

bool IsInside(const std::string& path, const std::filesystem::path& folder) {
  std::error_code error;
  const auto canonical = std::filesystem::weakly_canonical(path, error);
  if (error) {
    return false;
  }
  const auto [folderEnd, pathAt] =
      std::mismatch(folder.begin(), folder.end(), canonical.begin(), canonical.end());
  return folderEnd == folder.end();
}

// Why the options cannot watch this inbox, worded as a usage error; nothing when they can.
std::optional<std::string> InboxProblem(const CliOptions& options) {
  const std::string& inbox = *options.watchedInbox;
  struct stat info {};
  if (::stat(inbox.c_str(), &info) != 0) {
    return "--watch '" + inbox + "': " + std::strerror(errno);
  }
  if (!S_ISDIR(info.st_mode)) {
    return "--watch '" + inbox + "': not a folder";
  }
  struct statfs system {};
  if (::statfs(inbox.c_str(), &system) == 0) {
    if (const auto name = UnwatchableFileSystem(static_cast<long>(system.f_type))) {
      return "--watch '" + inbox + "' is on " + *name +
             ", whose changes are not reported to a watcher; use a local folder";
    }
  }
  std::error_code error;
  const auto canonicalInbox = std::filesystem::canonical(inbox, error);
  const std::array<std::pair<const char*, const std::optional<std::string>*>, 3> folders = {
      {{"-o", nullptr}, {"--done", &options.doneFolder}, {"--failed", &options.failedFolder}}};
  for (const auto& [option, value] : folders) {
    const std::string& path = value == nullptr ? options.outputFolder : value->value_or("");
    if (!path.empty() && IsInside(path, canonicalInbox)) {
      return std::string(option) + " '" + path + "' is inside the watched INBOX";
    }
  }
  if (options.reportFile && *options.reportFile != kStandardStream &&
      IsInside(*options.reportFile, canonicalInbox)) {
    return "--report '" + *options.reportFile + "' is inside the watched INBOX";
  }
  return std::nullopt;
}

// The --report file, added to: a watch has no end, and a restart keeps the lines of earlier runs.
class AppendedReport {
 public:
  AppendedReport(const std::optional<std::string>& path, std::ostream& standardError) {
    if (!path) {
      return;
    }
    if (*path == kStandardStream) {
      m_report.emplace(standardError);
      return;
    }
    m_file.open(*path, std::ios::out | std::ios::app | std::ios::binary);
    if (m_file) {
      m_report.emplace(m_file);
    }
  }
  bool failed(const std::optional<std::string>& path) const {
    return path.has_value() && !m_report;
  }
  RunReport* report() { return m_report ? &*m_report : nullptr; }

 private:
  std::ofstream m_file;
  std::optional<RunReport> m_report;
};

class Inotify {
 public:
  Inotify()
      : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_openError(m_fd.valid() ? 0 : errno) {}
  bool valid() const { return m_fd.valid(); }
  int openError() const { return m_openError; }
  int fd() const { return m_fd.get(); }
  // The watch's number for the folder open as `folder`, or -errno. Through
  // its descriptor's name under /proc, the watch is on that very folder,
  // whatever its path leads to by now.
  void remove(int watch) const { ::inotify_rm_watch(m_fd.get(), watch); }
  int add(int folder) const {
    const std::string self = "/proc/self/fd/" + std::to_string(folder);
    const int watch = ::inotify_add_watch(m_fd.get(), self.c_str(), kFolderEvents);
    return watch >= 0 ? watch : -errno;
  }

 private:
  FileDescriptor m_fd;
  int m_openError;
};

// Why the watch ends: the inbox went away or no more folders can be watched.
struct WatchEnd {
  std::string reason;
};

class InboxWatcher {
 public:
  InboxWatcher(const CliOptions& options, const CliEnvironment& environment, RunReport* report)
      : m_options(options),
        m_environment(environment),
        m_report(report),
        m_inbox(*options.watchedInbox),
        m_readiness(
            std::chrono::milliseconds(static_cast<long long>(options.settleSeconds * 1000.0))) {}

  WatchEnd run() {
    if (!m_inotify.valid()) {
      if (m_inotify.openError() == EMFILE) {
        // The same error for both limits: the kernel does not say which.
        return {
            "cannot watch: the limit of watching processes (fs.inotify.max_user_instances) "
            "or of open files is reached"};
      }
      return {std::string("cannot watch: ") + std::strerror(m_inotify.openError())};
    }
    StartBatch(m_options.outputFolder, {});
    // The inbox itself is taken as named (a link to it is the owner's
    // choice); below it, nothing is followed.
    FileDescriptor inbox(::open(m_inbox.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!inbox.valid()) {
      return {EscapeForDisplay(m_inbox) + ": cannot watch: " + std::strerror(errno)};
    }
    if (auto end = watchFolder(std::move(inbox), m_inbox, "")) {
      return *end;
    }
    std::array<char, kEventBufferSize> buffer{};
    for (;;) {
      const auto wait = m_readiness.timeToNextDue(Clock::now());
      pollfd watch{m_inotify.fd(), POLLIN, 0};
      const int timeout = static_cast<int>(std::min<std::chrono::milliseconds::rep>(
          wait ? wait->count() + 1 : kLookForRemovals.count(), kLookForRemovals.count()));
      if (::poll(&watch, 1, timeout) < 0 && errno != EINTR) {
        return {std::string("cannot wait for events: ") + std::strerror(errno)};
      }
      if (auto end = readEvents(buffer)) {
        return *end;
      }
      if (auto end = forgetRemovedFolders()) {
        return *end;
      }
      convert(m_readiness.takeDue(Clock::now(),
                                  [this](const std::string& path) { return stampOf(path); }));
    }
  }

 private:
  struct WatchedFolder {
    std::string path;
    std::string below;  // its path below the inbox; empty for the inbox itself
    FileDescriptor folder;
  };

  // A file of a watched folder: the folder held open and the file's name in it.
  struct PlacedFile {
    int folder = -1;
    std::string name;
    std::string below;
  };

  // Where `path` (a watched folder's path, "/" and a name) stands; nothing
  // when its folder is no longer watched under that path.
  std::optional<PlacedFile> placeOf(const std::string& path) const {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
      return std::nullopt;
    }
    const auto watch = m_watchOfPath.find(path.substr(0, slash));
    if (watch == m_watchOfPath.end()) {
      return std::nullopt;
    }
    const WatchedFolder& folder = m_folders.at(watch->second);
    return PlacedFile{folder.folder.get(), path.substr(slash + 1), folder.below};
  }

  std::optional<FileStamp> stampOf(const std::string& path) const {
    const auto place = placeOf(path);
    return place ? StampIn(place->folder, place->name) : std::nullopt;
  }

  // True when `output` was written after the input at `path` last changed:
  // the input was converted already (by this run or an earlier one).
  bool outputIsNewer(const std::string& path, const std::string& output) const {
    const auto in = stampOf(path);
    const auto out = ModifiedAt(output);
    return in && out && *out > in->modifiedNanoseconds;
  }

  // Watches the open `folder` (at `path`, `below` the inbox), then takes in
  // what it holds, so that nothing dropped in between is missed.
  std::optional<WatchEnd> watchFolder(FileDescriptor folder, const std::string& path,
                                      const std::string& below) {
    const int watch = m_inotify.add(folder.get());
    if (watch == -ENOSPC) {
      return WatchEnd{EscapeForDisplay(path) +
                      ": the limit of watched folders is reached (fs.inotify.max_user_watches)"};
    }
    if (watch < 0) {
      if (below.empty()) {
        return WatchEnd{EscapeForDisplay(path) + ": cannot watch: " + std::strerror(-watch)};
      }
      m_environment.err << "rowvane-cli: " << EscapeForDisplay(path)
                        << ": cannot watch: " << std::strerror(-watch) << '\n';
      return std::nullopt;
    }
    // A folder moved within the inbox keeps its watch: it is known by its new path now.
    if (const auto known = m_folders.find(watch); known != m_folders.end()) {
      forgetPathOf(*known);
    }
    m_folders[watch] = {path, below, std::move(folder)};
    m_watchOfPath[path] = watch;
    return scan(watch);
  }

  // A sub-folder `name` of the watched folder `parent`, opened without
  // following a link: one that others swapped for a link is not entered.
  std::optional<WatchEnd> enter(int parent, const std::string& name) {
    const WatchedFolder& from = m_folders.at(parent);
    FileDescriptor folder(
        ::openat(from.folder.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
      return std::nullopt;  // a link, or gone again
    }
    const std::string path = from.path + "/" + name;
    const std::string below = from.below.empty() ? name : from.below + "/" + name;
    return watchFolder(std::move(folder), path, below);
  }

  std::optional<WatchEnd> scan(int watch) {
    std::vector<std::string> folders;
    {
      const WatchedFolder& folder = m_folders.at(watch);
      const int listed = ::openat(folder.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      std::unique_ptr<DIR, int (*)(DIR*)> listing(listed >= 0 ? ::fdopendir(listed) : nullptr,
                                                  ::closedir);
      if (!listing) {
        if (listed >= 0) {
          ::close(listed);
        }
        return std::nullopt;
      }
      const auto now = Clock::now();
      while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
          continue;
        }
        struct stat info {};
        if (::fstatat(folder.folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
          continue;
        }
        if (S_ISDIR(info.st_mode) && m_options.recursive && !IsHiddenFolderName(name)) {
          folders.push_back(name);
        } else if (S_ISREG(info.st_mode) && IsCsvName(name)) {
          m_readiness.arrived(folder.path + "/" + name, now, VersionOf(info));
        }
      }
    }
    for (const std::string& name : folders) {
      if (auto end = enter(watch, name)) {
        return end;
      }
    }
    return std::nullopt;
  }

  // The path of a watched folder no longer leads to it; another folder may
  // have taken the path since.
  void forgetPathOf(const std::pair<const int, WatchedFolder>& folder) {
    if (const auto path = m_watchOfPath.find(folder.second.path);
        path != m_watchOfPath.end() && path->second == folder.first) {
      m_watchOfPath.erase(path);
    }
  }

  // A folder held open is not gone for the kernel's events while it is
  // held: it shows as removed by its count of names dropping to zero.
  std::optional<WatchEnd> forgetRemovedFolders() {
    for (auto folder = m_folders.begin(); folder != m_folders.end();) {
      struct stat info {};
      if (::fstat(folder->second.folder.get(), &info) != 0 || info.st_nlink > 0) {
        ++folder;
        continue;
      }
      if (folder->second.below.empty()) {
        return WatchEnd{EscapeForDisplay(m_inbox) + ": the watched folder is gone"};
      }
      m_inotify.remove(folder->first);
      forgetPathOf(*folder);
      folder = m_folders.erase(folder);
    }
    return std::nullopt;
  }

  std::optional<WatchEnd> rescanAll() {
    m_environment.err << "rowvane-cli: " << EscapeForDisplay(m_inbox)
                      << ": events were lost; looking through the inbox again\n";
    std::vector<int> watches;
    for (const auto& [watch, folder] : m_folders) {
      watches.push_back(watch);
    }
    for (const int watch : watches) {
      if (m_folders.contains(watch)) {
        if (auto end = scan(watch)) {
          return end;
        }
      }
    }
    return std::nullopt;
  }

  template <std::size_t Size>
  std::optional<WatchEnd> readEvents(std::array<char, Size>& buffer) {
    for (;;) {
      const ssize_t length = ::read(m_inotify.fd(), buffer.data(), buffer.size());
      if (length < 0) {
        if (errno == EINTR) {
          continue;
        }
        return std::nullopt;  // EAGAIN: all read
      }
      for (ssize_t at = 0; at < length;) {
        inotify_event event{};
        std::memcpy(&event, buffer.data() + at, sizeof event);
        const std::string name =
            event.len > 0 ? std::string(buffer.data() + at + sizeof event) : std::string();
        at += static_cast<ssize_t>(sizeof event + event.len);
        if (auto end = handle(event, name.c_str())) {
          return end;
        }
      }
    }
  }

  std::optional<WatchEnd> handle(const inotify_event& event, const std::string& name) {
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
      return rescanAll();
    }
    const auto folder = m_folders.find(event.wd);
    if (folder == m_folders.end()) {
      return std::nullopt;
    }
    if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) != 0) {
      if (folder->second.below.empty()) {
        return WatchEnd{EscapeForDisplay(m_inbox) + ": the watched folder is gone"};
      }
      if ((event.mask & IN_IGNORED) != 0) {
        forgetPathOf(*folder);
        m_folders.erase(folder);
      }
      return std::nullopt;
    }
    const std::string path = folder->second.path + "/" + name;
    if ((event.mask & IN_ISDIR) != 0) {
      if (m_options.recursive && (event.mask & (IN_CREATE | IN_MOVED_TO)) != 0 &&
          !IsHiddenFolderName(name)) {
        return enter(event.wd, name);
      }
      return std::nullopt;
    }
    if (IsCsvName(name)) {
      noteFileEvent(event.mask, path);
    }
    return std::nullopt;
  }

  void noteFileEvent(std::uint32_t mask, const std::string& path) {
    const auto now = Clock::now();
    if ((mask & (IN_DELETE | IN_MOVED_FROM)) != 0) {
      m_readiness.gone(path);
    } else if ((mask & IN_MODIFY) != 0) {
      m_readiness.written(path, now);
    } else if ((mask & IN_CLOSE_WRITE) != 0) {
      m_readiness.closedAfterWrite(path, now, stampOf(path));
    } else if ((mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
      // A link to something else is never followed.
      if (const auto stamp = stampOf(path)) {
        m_readiness.arrived(path, now, stamp);
      }
    } else if ((mask & IN_ATTRIB) != 0 && m_readiness.knows(path)) {
      m_readiness.touched(path, now, stampOf(path));
    }
  }

  // The due files as one batch of -j jobs, then each input moved or put back.
  // Every input is opened inside its folder as the file that was found ready.
  void convert(const std::vector<std::string>& due) {
    if (due.empty()) {
      return;
    }
    GatheredInputs gathered;
    std::map<std::string, InputPlace> places;
    for (const std::string& path : due) {
      const auto place = placeOf(path);
      const auto stamp = place ? StampIn(place->folder, place->name) : std::nullopt;
      if (!stamp) {
        continue;  // gone, or no longer a regular file, since it was found ready
      }
      places[path] = InputPlace{place->folder, place->name, *stamp};
      gathered.files.push_back(path);
      gathered.subFolders.push_back(place->below);
    }
    BatchPlan plan = PlanOutputs(gathered, m_options);
    if (!m_options.doneFolder) {
      // Left in the inbox, a converted input must not be converted on every start.
      std::erase_if(plan.files, [this](const BatchFile& file) {
        return outputIsNewer(file.input, file.output.path);
      });
    }
    for (BatchFile& file : plan.files) {
      file.place = places.at(file.input);
    }
    for (const std::string& line : plan.collisionWarnings) {
      m_environment.err << line << '\n';
    }
    for (const Refusal& refusal : plan.refusals) {
      m_environment.err << RefusalLine(refusal) << '\n';
      if (m_report != nullptr) {
        m_report->skipped(refusal.file.input, refusal.file.output.path,
                          "not converted: " + refusal.reason);
      }
    }
    prepareOutputFolders(plan);
    const std::vector<std::string> names = InputNamesOf(plan.files);
    BatchReporter lines(names, m_environment.err, nullptr);
    std::vector<FileOutcome> outcomes;
    ConversionTuning tuning;
    tuning.syncToDisk = !m_options.noSync;
    auto flushLines = [this] { m_environment.err.flush(); };
    if (m_report != nullptr) {
      ReportingObserver observer(lines, *m_report, plan.files, m_environment.clock);
      outcomes =
          ConvertStoppably(plan.files, m_options.settings, jobs(), observer, tuning, flushLines);
    } else {
      outcomes =
          ConvertStoppably(plan.files, m_options.settings, jobs(), lines, tuning, flushLines);
    }
    lines.finish();
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
      settle(plan.files[i], outcomes[i]);
    }
    m_environment.err.flush();
  }

  static std::vector<std::string> InputNamesOf(const std::vector<BatchFile>& files) {
    std::vector<std::string> names;
    for (const BatchFile& file : files) {
      names.push_back(file.input);
    }
    return names;
  }

  unsigned jobs() const { return m_options.jobs.value_or(std::max(m_environment.processors, 1U)); }

  void prepareOutputFolders(const BatchPlan& plan) {
    for (const std::string& folder : plan.subFolders) {
      if (m_preparedFolders.insert(folder).second) {
        if (const auto failure = MakeFolders(folder)) {
          m_environment.err << "rowvane-cli: " << EscapeForDisplay(folder)
                            << ": cannot create the folder: " << *failure << '\n';
        }
        StartBatch(folder, {});
      }
    }
  }

  void waitAgain(const BatchFile& file, const std::string& why, Clock::time_point from) {
    m_environment.err << "rowvane-cli: " << EscapeForDisplay(file.input) << ": " << why << '\n';
    m_readiness.arrived(file.input, from, stampOf(file.input));
  }

  // What follows a converted or failed input: moved, or back to waiting when
  // it changed while it was read, or when the output found no room.
  void settle(const BatchFile& file, const FileOutcome& outcome) {
    const auto after = stampOf(file.input);
    if (!after) {
      return;  // taken away while it was read
    }
    if (outcome.status == FileOutcome::Status::Missing || after != file.place->expected) {
      waitAgain(file, "changed while it was read; waiting for it to settle again", Clock::now());
      return;
    }
    if (IsOutOfRoom(outcome)) {
      // Not the input's fault: it stays to be tried again once there is room.
      waitAgain(file,
                "no room for the output; left in the inbox to be tried again in " +
                    std::to_string(kRetryWhenOutOfRoom.count()) + " seconds",
                Clock::now() + kRetryWhenOutOfRoom);
      return;
    }
    const bool converted = outcome.status == FileOutcome::Status::Converted;
    const auto& folder = converted ? m_options.doneFolder : m_options.failedFolder;
    if (m_options.verbose) {
      m_environment.err << "rowvane-cli: " << EscapeForDisplay(file.input)
                        << (converted ? " -> " + EscapeForDisplay(file.output.path) : " failed")
                        << '\n';
    }
    if (!folder) {
      return;
    }
    auto moved = MoveIntoFolder(file.place->folder, file.place->name, *folder);
    if (const auto* problem = std::get_if<MoveProblem>(&moved)) {
      m_environment.err << "rowvane-cli: " << EscapeForDisplay(file.input) << ": "
                        << EscapeForDisplay(problem->reason) << '\n';
      return;
    }
    if (!converted) {
      std::string reason;
      for (const Failure& failure : outcome.failures) {
        reason += (reason.empty() ? "" : "\n") + ReasonOf(failure, outcome);
      }
      if (const auto problem = WriteNote(std::get<std::string>(moved) + ".error.txt", reason)) {
        m_environment.err << "rowvane-cli: " << EscapeForDisplay(problem->reason) << '\n';
      }
    }
  }

  const CliOptions& m_options;
  const CliEnvironment& m_environment;
  RunReport* m_report;
  std::string m_inbox;
  InboxReadiness m_readiness;
  Inotify m_inotify;
  std::map<int, WatchedFolder> m_folders;
  std::map<std::string, int> m_watchOfPath;
  std::set<std::string> m_preparedFolders;
};

}  // namespace

std::optional<std::string> UnwatchableFileSystem(long type) {
  for (const KnownFileSystem& known : kUnwatchable) {
    if (known.type == type) {
      return known.name;
    }
  }
  return std::nullopt;
}

ExitStatus WatchInbox(const CliOptions& options, const CliEnvironment& environment,
                      std::ostream& reportErr) {
  if (const auto problem = InboxProblem(options)) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(*problem) << '\n';
    return ExitStatus::BadUsage;
  }
  for (const auto* folder : {&options.doneFolder, &options.failedFolder}) {
    if (*folder && options.parents) {
      MakeFolders(**folder);
    }
    if (const auto problem = *folder ? OutputFolderProblem(**folder) : std::nullopt) {
      environment.err << "rowvane-cli: " << EscapeForDisplay(**folder) << ": " << problem->reason
                      << '\n';
      return ExitStatus::BadUsage;
    }
  }
  AppendedReport report(options.reportFile, reportErr);
  if (report.failed(options.reportFile)) {
    environment.err << "rowvane-cli: " << EscapeForDisplay(*options.reportFile)
                    << ": cannot write the report: " << std::strerror(errno) << '\n';
    return ExitStatus::BadUsage;
  }
  StopNormallyOnInterrupt();
  InboxWatcher watcher(options, environment, report.report());
  const WatchEnd end = watcher.run();
  environment.err << "rowvane-cli: " << end.reason << '\n';
  return ExitStatus::SomeFailed;
}

}  // namespace rowvane::cli
