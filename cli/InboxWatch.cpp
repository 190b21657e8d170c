#include "cli/InboxWatch.h"

#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>

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
                                        IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;
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

bool IsCsvName(std::string_view name) {
  return MatchesWildcard("*.csv", name) || MatchesWildcard("*.csv.gz", name);
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  return FileStamp{static_cast<std::uint64_t>(info.st_size),
                   info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec};
}

// True when `output` was written after `input` last changed: the input was
// converted already (by this run or an earlier one).
bool OutputIsNewer(const std::string& input, const std::string& output) {
  const auto in = StampOf(input);
  const auto out = StampOf(output);
  return in && out && out->modifiedNanoseconds > in->modifiedNanoseconds;
}

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
  if (::stat(inbox.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return "--watch '" + inbox +
           "': " + (errno == 0 || S_ISDIR(info.st_mode) ? "not a folder" : std::strerror(errno));
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
  // The watch's number, or -errno.
  int add(const std::string& folder) const {
    const int watch = ::inotify_add_watch(m_fd.get(), folder.c_str(), kFolderEvents);
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
    if (auto end = watchFolder(m_inbox, "")) {
      return *end;
    }
    std::array<char, kEventBufferSize> buffer{};
    for (;;) {
      const auto wait = m_readiness.timeToNextDue(Clock::now());
      pollfd watch{m_inotify.fd(), POLLIN, 0};
      const int timeout = wait ? static_cast<int>(wait->count()) + 1 : -1;
      if (::poll(&watch, 1, timeout) < 0 && errno != EINTR) {
        return {std::string("cannot wait for events: ") + std::strerror(errno)};
      }
      if (auto end = readEvents(buffer)) {
        return *end;
      }
      convert(m_readiness.takeDue(Clock::now(), StampOf));
    }
  }

 private:
  // Watches `folder` (`below` the inbox), then takes in what it holds, so
  // that nothing dropped in between is missed.
  std::optional<WatchEnd> watchFolder(const std::string& folder, const std::string& below) {
    const int watch = m_inotify.add(folder);
    if (watch == -ENOSPC) {
      return WatchEnd{EscapeForDisplay(folder) +
                      ": the limit of watched folders is reached (fs.inotify.max_user_watches)"};
    }
    if (watch < 0) {
      if (below.empty()) {
        return WatchEnd{EscapeForDisplay(folder) + ": cannot watch: " + std::strerror(-watch)};
      }
      m_environment.err << "rowvane-cli: " << EscapeForDisplay(folder)
                        << ": cannot watch: " << std::strerror(-watch) << '\n';
      return std::nullopt;
    }
    m_folders[watch] = {folder, below};
    return scan(folder, below);
  }

  std::optional<WatchEnd> scan(const std::string& folder, const std::string& below) {
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
    if (!listing) {
      return std::nullopt;
    }
    const auto now = Clock::now();
    while (const dirent* entry = ::readdir(listing.get())) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") {
        continue;
      }
      const std::string path = folder + "/" + name;
      struct stat info {};
      if (::lstat(path.c_str(), &info) != 0) {
        continue;
      }
      if (S_ISDIR(info.st_mode) && m_options.recursive) {
        if (auto end = watchFolder(path, below.empty() ? name : below + "/" + name)) {
          return end;
        }
      } else if (S_ISREG(info.st_mode) && IsCsvName(name)) {
        m_readiness.arrived(path, now, StampOf(path));
      }
    }
    return std::nullopt;
  }

  std::optional<WatchEnd> rescanAll() {
    m_environment.err << "rowvane-cli: " << EscapeForDisplay(m_inbox)
                      << ": events were lost; looking through the inbox again\n";
    const auto folders = m_folders;
    for (const auto& [watch, folder] : folders) {
      if (auto end = scan(folder.path, folder.below)) {
        return end;
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
        m_folders.erase(folder);
      }
      return std::nullopt;
    }
    const std::string path = folder->second.path + "/" + name;
    if ((event.mask & IN_ISDIR) != 0) {
      if (m_options.recursive && (event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
        const std::string& below = folder->second.below;
        return watchFolder(path, below.empty() ? name : below + "/" + name);
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
      m_readiness.closedAfterWrite(path, now, StampOf(path));
    } else if ((mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
      // A link to something else is never followed.
      if (const auto stamp = StampOf(path)) {
        m_readiness.arrived(path, now, stamp);
      }
    } else if ((mask & IN_ATTRIB) != 0 && m_readiness.knows(path)) {
      m_readiness.touched(path, now, StampOf(path));
    }
  }

  std::string subFolderOf(const std::string& path) const {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    for (const auto& [watch, watched] : m_folders) {
      if (watched.path == folder) {
        return watched.below;
      }
    }
    return {};
  }

  // The due files as one batch of -j jobs, then each input moved or put back.
  void convert(const std::vector<std::string>& due) {
    if (due.empty()) {
      return;
    }
    GatheredInputs gathered;
    for (const std::string& path : due) {
      gathered.files.push_back(path);
      gathered.subFolders.push_back(subFolderOf(path));
    }
    BatchPlan plan = PlanOutputs(gathered, m_options);
    if (!m_options.doneFolder) {
      // Left in the inbox, a converted input must not be converted on every start.
      std::erase_if(plan.files, [](const BatchFile& file) {
        return OutputIsNewer(file.input, file.output.path);
      });
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
    std::vector<std::optional<FileStamp>> before;
    for (const BatchFile& file : plan.files) {
      before.push_back(StampOf(file.input));
    }
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
      settle(plan.files[i], outcomes[i], before[i]);
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

  // What follows a converted or failed input: moved, or back to waiting when
  // it changed while it was read.
  void settle(const BatchFile& file, const FileOutcome& outcome,
              const std::optional<FileStamp>& before) {
    const auto after = StampOf(file.input);
    if (!after || outcome.status == FileOutcome::Status::Missing) {
      return;  // taken away while it was read
    }
    if (after != before) {
      m_environment.err << "rowvane-cli: " << EscapeForDisplay(file.input)
                        << ": changed while it was read; waiting for it to settle again\n";
      m_readiness.arrived(file.input, Clock::now(), after);
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
    auto moved = MoveIntoFolder(file.input, *folder);
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

  struct WatchedFolder {
    std::string path;
    std::string below;  // its path below the inbox; empty for the inbox itself
  };

  const CliOptions& m_options;
  const CliEnvironment& m_environment;
  RunReport* m_report;
  std::string m_inbox;
  InboxReadiness m_readiness;
  Inotify m_inotify;
  std::map<int, WatchedFolder> m_folders;
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
