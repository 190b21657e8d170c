#include "engine/io/ProcessSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

namespace rowvane {
namespace {

constexpr std::size_t kSlots = 256;
constexpr std::size_t kNameCapacity = 64;
constexpr std::array kTerminationSignals = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<int> folder{-1};  // -1 while the names are being filled in
  char first[kNameCapacity]{};
  char second[kNameCapacity]{};
};

// A signal handler is given no context, so what it must remove has to sit
// where it can reach it: this table is the one process-wide state here.
std::array<Slot, kSlots> g_slots;
// Part of the same state: whether SIGINT and SIGTERM are the normal way to
// stop this process, so that it ends with status 0 after the clean-up.
std::atomic<bool> g_stopsNormally{false};
// And the pipe through which the handler hands a signal on to a live
// StopOnTermination: made once with the handlers and never closed, so that a
// handler can never write into a descriptor that has since been reused.
std::atomic<int> g_stopPipeRead{-1};
std::atomic<int> g_stopPipeWrite{-1};
std::atomic<bool> g_handsOver{false};

void CopyName(char (&destination)[kNameCapacity], std::string_view name) {
  // A name that does not fit is left out: the handler then simply has nothing to remove.
  const std::size_t length = name.size() < kNameCapacity ? name.size() : 0;
  if (length > 0) {
    std::memcpy(destination, name.data(), length);
  }
  destination[length] = '\0';
}

// Only async-signal-safe calls: unlinkat, _exit, raise, and lock-free atomics.
void RemoveTemporariesThenEnd(int signal) {
  for (Slot& slot : g_slots) {
    const int folder = slot.folder.load(std::memory_order_acquire);
    if (folder < 0) {
      continue;
    }
    if (slot.first[0] != '\0') {
      ::unlinkat(folder, slot.first, 0);
    }
    if (slot.second[0] != '\0') {
      ::unlinkat(folder, slot.second, 0);
    }
  }
  if (signal != SIGHUP && g_stopsNormally.load(std::memory_order_acquire)) {
    ::_exit(0);
  }
  // The handler was installed to reset itself, and in the handler the signal
  // stays blocked until it returns: raised again now, it ends the process as
  // the default action does, so a shell sees death by this signal.
  ::raise(signal);
}

extern "C" void OnTerminationSignal(int signal) {
  const int savedErrno = errno;
  if (g_handsOver.load(std::memory_order_acquire)) {
    const auto number = static_cast<unsigned char>(signal);
    if (::write(g_stopPipeWrite.load(std::memory_order_acquire), &number, 1) == 1) {
      errno = savedErrno;
      return;
    }
  }
  RemoveTemporariesThenEnd(signal);
  errno = savedErrno;
}

}  // namespace

void LetOversizedWritesFail() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void RemoveTemporaryFilesOnTermination() {
  int ends[2] = {-1, -1};
  if (g_stopPipeRead.load() < 0 && ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    g_stopPipeRead.store(ends[0]);
    g_stopPipeWrite.store(ends[1]);
  }
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : kTerminationSignals) {
    sigaddset(&action.sa_mask, signal);  // one clean-up at a time
  }
  for (const int signal : kTerminationSignals) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;  // e.g. started with nohup, or in the background by a shell
    }
    ::sigaction(signal, &action, nullptr);
  }
}

void StopNormallyOnInterrupt() {
  g_stopsNormally.store(true, std::memory_order_release);
}

StopOnTermination::StopOnTermination(std::function<void(int signal)> onStop)
    : m_onStop(std::move(onStop)) {
  int ends[2] = {-1, -1};
  if (g_stopPipeRead.load() < 0 || ::pipe2(ends, O_CLOEXEC) != 0) {
    return;  // no handlers, or no pipe: a signal then ends the process at once
  }
  m_quitRead = FileDescriptor(ends[0]);
  m_quitWrite = FileDescriptor(ends[1]);
  m_waiter = std::jthread([this] { waitForSignal(); });
  g_handsOver.store(true, std::memory_order_release);
}

StopOnTermination::~StopOnTermination() {
  if (!m_waiter.joinable()) {
    return;
  }
  g_handsOver.store(false, std::memory_order_release);
  m_quitWrite.reset();  // wakes the waiter: a close cannot fail as a write can
  m_waiter.join();
  // A signal handed over just as the waiter left still ends the process.
  unsigned char number = 0;
  if (::read(g_stopPipeRead.load(), &number, 1) == 1 && number != 0) {
    RemoveTemporariesThenEnd(number);
  }
}

void StopOnTermination::waitForSignal() {
  const int signals = g_stopPipeRead.load();
  for (;;) {
    std::array<pollfd, 2> waits{pollfd{signals, POLLIN, 0}, pollfd{m_quitRead.get(), POLLIN, 0}};
    if (::poll(waits.data(), waits.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    unsigned char number = 0;
    if ((waits[0].revents & POLLIN) != 0 && ::read(signals, &number, 1) == 1 && number != 0) {
      try {
        m_onStop(number);
      } catch (...) {
        // Whatever could not be reported, the process ends all the same.
      }
      // Another signal of this kind would now find the handler reset; one of
      // another kind is only handed over to this thread, which is past reading.
      RemoveTemporariesThenEnd(number);
    }
    if (waits[1].revents != 0) {
      return;  // let go
    }
  }
}

RemovedOnTermination::RemovedOnTermination(int folder, std::string_view first,
                                           std::string_view second) {
  for (std::size_t index = 0; index < kSlots; ++index) {
    Slot& slot = g_slots[index];
    bool expected = false;
    if (slot.taken.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
      CopyName(slot.first, first);
      CopyName(slot.second, second);
      slot.folder.store(folder, std::memory_order_release);
      m_slot = static_cast<std::ptrdiff_t>(index);
      return;
    }
  }
}

RemovedOnTermination::~RemovedOnTermination() {
  if (m_slot < 0) {
    return;
  }
  Slot& slot = g_slots[static_cast<std::size_t>(m_slot)];
  slot.folder.store(-1, std::memory_order_release);
  slot.taken.store(false, std::memory_order_release);
}

}  // namespace rowvane
