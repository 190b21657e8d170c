#include <windows.h>

#include <array>
#include <atomic>
#include <csignal>
#include <mutex>
#include <string>
#include <utility>

#include "engine/io/ProcessSignals.h"
#include "engine/io/WindowsFiles.h"

namespace rowvane {
namespace {

// Windows calls a console's control handler on a thread of its own, which
// may take locks and call anything; once it returns TRUE for Ctrl+C, Ctrl+
// Break or a closed console, the process goes on until it ends itself.
constexpr std::size_t kSlots = 256;
// How a program ended by Ctrl+C ends on Windows (STATUS_CONTROL_C_EXIT).
constexpr UINT kInterruptedStatus = 0xC000013A;

struct Slot {
  bool taken = false;
  int folder = -1;
  std::string first;
  std::string second;
};

// The handler is given no context: what it must remove, and who wants to be
// told first, sit in this one process-wide table.
struct Registry {
  std::mutex mutex;
  std::array<Slot, kSlots> slots;
  bool stopsNormally = false;
  std::function<void(int)>* onStop = nullptr;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

void RemoveEntry(const std::string& folder, const std::string& name) {
  if (folder.empty() || name.empty()) {
    return;
  }
  if (const auto wide = WidePath(folder + "\\" + name)) {
    ::DeleteFileW(wide->c_str());  // shared for deletion: goes once its holder closes it
  }
}

void RemoveTemporaries(Registry& registry) {
  for (const Slot& slot : registry.slots) {
    if (slot.taken && slot.folder >= 0) {
      const std::string folder = PathOfOpenFolder(slot.folder);
      RemoveEntry(folder, slot.first);
      RemoveEntry(folder, slot.second);
    }
  }
}

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  Registry& registry = TheRegistry();
  std::function<void(int)>* onStop = nullptr;
  {
    const std::lock_guard lock(registry.mutex);
    onStop = std::exchange(registry.onStop, nullptr);
  }
  if (onStop != nullptr) {
    try {
      (*onStop)(SIGINT);
    } catch (...) {
      // Whatever could not be reported, the process ends all the same.
    }
  }
  const std::lock_guard lock(registry.mutex);
  RemoveTemporaries(registry);
  ::ExitProcess(registry.stopsNormally ? 0 : kInterruptedStatus);
}

}  // namespace

void LetOversizedWritesFail() {
  // Windows has no file size limit signal.
}

void RemoveTemporaryFilesOnTermination() {
  ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void StopNormallyOnInterrupt() {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.stopsNormally = true;
}

StopOnTermination::StopOnTermination(std::function<void(int signal)> onStop)
    : m_onStop(std::move(onStop)) {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.onStop = &m_onStop;
}

StopOnTermination::~StopOnTermination() {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  if (registry.onStop == &m_onStop) {
    registry.onStop = nullptr;
  }
}

void StopOnTermination::waitForSignal() {
  // The control handler runs on its own thread already.
}

RemovedOnTermination::RemovedOnTermination(int folder, std::string_view first,
                                           std::string_view second) {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  for (std::size_t index = 0; index < kSlots; ++index) {
    Slot& slot = registry.slots[index];
    if (!slot.taken) {
      slot = Slot{true, folder, std::string(first), std::string(second)};
      m_slot = static_cast<std::ptrdiff_t>(index);
      return;
    }
  }
}

RemovedOnTermination::~RemovedOnTermination() {
  if (m_slot < 0) {
    return;
  }
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.slots[static_cast<std::size_t>(m_slot)] = Slot{};
}

}  // namespace rowvane
