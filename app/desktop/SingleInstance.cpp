#include "app/desktop/SingleInstance.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

namespace rowvane::app {
namespace {

// A listener that holds the lock but does not listen yet is starting.
constexpr int kConnectMilliseconds = 2000;
// The running window answers from its event loop, which a long run or a walk
// through folders keeps turning; a window that stays silent longer is taken
// as hung, and the files open in a new one instead.
constexpr int kAnswerMilliseconds = 15000;
// How often a standing-by window asks for the lock, and how long a listener
// that cannot accept rests before it tries again.
constexpr int kRetryMilliseconds = 250;
constexpr int kBacklog = 64;
constexpr char kTaken = 'T';

sockaddr_un SocketAddress(const QString& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  // HandOverFolder refuses a name that does not fit.
  std::memcpy(address.sun_path, name.constData(),
              std::min(sizeof address.sun_path - 1, static_cast<size_t>(name.size())));
  return address;
}

void SetTimeout(int socket, int option, int milliseconds) {
  const timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
  ::setsockopt(socket, SOL_SOCKET, option, &limit, sizeof limit);
}

std::optional<uid_t> PeerUser(int socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    return std::nullopt;
  }
  return peer.uid;
}

FileDescriptor ConnectTo(const QString& path) {
  const sockaddr_un address = SocketAddress(path);
  const QDeadlineTimer deadline(kConnectMilliseconds);
  for (;;) {
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid()) {
      return {};
    }
    SetTimeout(socket.get(), SO_SNDTIMEO, kConnectMilliseconds);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      return socket;
    }
    if ((errno != ENOENT && errno != ECONNREFUSED) || deadline.hasExpired()) {
      return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool SendAll(int socket, const QByteArray& bytes) {
  qsizetype sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written = ::send(socket, bytes.constData() + sent,
                                   static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
    if (written < 0 && errno != EINTR) {
      return false;
    }
    sent += std::max<ssize_t>(written, 0);
  }
  return true;
}

bool AnsweredTaken(int socket) {
  char answer = 0;
  ssize_t got = 0;
  do {
    got = ::recv(socket, &answer, 1, 0);
  } while (got < 0 && errno == EINTR);
  return got == 1 && answer == kTaken;
}

FileDescriptor OpenSpare() {
  return FileDescriptor(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

}  // namespace

SingleInstance::SingleInstance(HandOverFolder folder, HandOverLock lock, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_lock(std::move(lock)) {
  m_standBy.setInterval(kRetryMilliseconds);
  connect(&m_standBy, &QTimer::timeout, this, [this] {
    if (!m_lock.take()) {
      return;
    }
    if (listen()) {
      m_standBy.stop();
    } else {
      m_lock.release();  // another window may fare better
    }
  });
  m_expiry.setInterval(kRetryMilliseconds);
  connect(&m_expiry, &QTimer::timeout, this, &SingleInstance::closeExpired);
  if (!(m_lock.take() && listen())) {
    standBy();
  }
}

SingleInstance::~SingleInstance() {
  if (listening()) {
    // Before the lock goes: the next holder finds the name free.
    m_incoming.reset();
    m_listener.reset();
    ::unlink(QFile::encodeName(m_folder.socketPath()).constData());
  }
}

void SingleInstance::standBy() {
  if (!m_folder.usable()) {
    return;
  }
  m_lock.release();
  m_standBy.start();
}

bool SingleInstance::listen() {
  const sockaddr_un address = SocketAddress(m_folder.socketPath());
  FileDescriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  // Whatever holds the name was left by a window that ended abruptly: the
  // lock says no other listens.
  ::unlink(address.sun_path);
  if (!listener.valid() ||
      ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.get(), kBacklog) != 0) {
    return false;
  }
  m_spare = OpenSpare();
  m_incoming = std::make_unique<QSocketNotifier>(listener.get(), QSocketNotifier::Read);
  connect(m_incoming.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
  m_listener = std::move(listener);
  return true;
}

void SingleInstance::acceptConnections() {
  // A bounded number per wake-up, so that a flood cannot hold the window.
  for (int round = 0; round < 4 * kMostConnections; ++round) {
    FileDescriptor client(
        ::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (client.valid()) {
      serve(std::move(client));
      continue;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return;
    }
    if (errno == EINTR || errno == ECONNABORTED ||
        ((errno == EMFILE || errno == ENFILE) && shedConnectionBeyondDescriptors())) {
      continue;
    }
    // Never closed: the socket and its name stay, and listening resumes.
    m_incoming->setEnabled(false);
    QTimer::singleShot(kRetryMilliseconds, this, [this] { m_incoming->setEnabled(true); });
    return;
  }
}

bool SingleInstance::shedConnectionBeyondDescriptors() {
  if (!m_spare.valid()) {
    return false;
  }
  m_spare.reset();
  const FileDescriptor shed(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
  m_spare = OpenSpare();
  return shed.valid();
}

void SingleInstance::serve(FileDescriptor socket) {
  const auto open = std::count_if(m_connections.begin(), m_connections.end(),
                                  [](const Connection& c) { return c.socket.valid(); });
  if (PeerUser(socket.get()) != ::geteuid() || open >= kMostConnections) {
    return;  // closed at once
  }
  Connection& connection = m_connections.emplace_back();
  connection.socket = std::move(socket);
  connection.deadline = QDeadlineTimer(kConnectionMilliseconds);
  connection.readable =
      std::make_unique<QSocketNotifier>(connection.socket.get(), QSocketNotifier::Read);
  connect(connection.readable.get(), &QSocketNotifier::activated, this,
          [this, &connection] { readFrom(connection); });
  if (!m_expiry.isActive()) {
    m_expiry.start();
  }
}

void SingleInstance::readFrom(Connection& connection) {
  char buffer[64 * 1024];
  const ssize_t got = ::read(connection.socket.get(), buffer, sizeof buffer);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
    return;
  }
  // Gone before the end of its message, or more than the window keeps.
  if (got <= 0 || m_buffered + got > kMostBufferedBytes) {
    close(connection);
    return;
  }
  m_buffered += got;
  connection.received += got;
  switch (connection.reader.feed(buffer, got)) {
    case HandOverReader::State::Incomplete:
      return;
    case HandOverReader::State::Corrupt:
      close(connection);
      return;
    case HandOverReader::State::Complete:
      answer(connection);
      return;
  }
}

void SingleInstance::answer(Connection& connection) {
  const QStringList paths = connection.reader.paths();
  const bool told = ::send(connection.socket.get(), &kTaken, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1;
  close(connection);
  // A sender that did not hear the answer opens its files itself; taking
  // them here too would list them twice.
  if (told && !paths.isEmpty()) {
    emit pathsHandedOver(paths);
  }
}

void SingleInstance::close(Connection& connection) {
  m_buffered -= connection.received;
  connection.received = 0;
  connection.readable->setEnabled(false);
  connection.socket.reset();
  // The notifier may be the sender of the signal being handled: it goes
  // once that is over.
  if (!m_dropQueued) {
    m_dropQueued = true;
    QMetaObject::invokeMethod(this, &SingleInstance::dropClosed, Qt::QueuedConnection);
  }
}

void SingleInstance::closeExpired() {
  for (Connection& connection : m_connections) {
    if (connection.socket.valid() && connection.deadline.hasExpired()) {
      close(connection);
    }
  }
}

void SingleInstance::dropClosed() {
  m_dropQueued = false;
  m_connections.remove_if([](const Connection& c) { return !c.socket.valid(); });
  if (m_connections.empty()) {
    m_expiry.stop();
  }
}

HandOverAnswer SingleInstance::handOver(const HandOverFolder& folder, const QStringList& paths,
                                        const QString& workingFolder) {
  if (!folder.usable()) {
    return {};
  }
  const FileDescriptor socket = ConnectTo(folder.socketPath());
  if (!socket.valid()) {
    return {};
  }
  const std::optional<uid_t> listener = PeerUser(socket.get());
  if (listener != ::geteuid()) {
    return {false, QStringLiteral("%1 is held by user %2, not by user %3")
                       .arg(folder.socketPath(),
                            listener ? QString::number(*listener) : QStringLiteral("unknown"))
                       .arg(::geteuid())};
  }
  SetTimeout(socket.get(), SO_SNDTIMEO, kAnswerMilliseconds);
  SetTimeout(socket.get(), SO_RCVTIMEO, kAnswerMilliseconds);
  return {
      SendAll(socket.get(), EncodeHandOver(workingFolder, paths)) && AnsweredTaken(socket.get()),
      {}};
}

}  // namespace rowvane::app
