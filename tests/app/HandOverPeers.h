#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/io/FileDescriptor.h"

// Other processes at the hand-over socket, as tests need them: a squatter
// that listens and never answers, a client of its own, and the second real
// user (nobody, 65534) to run either.
namespace rowvane::app::testing {

inline constexpr int kNobody = 65534;

/// `command` run as nobody, without root's groups.
inline QStringList AsNobody(QStringList command) {
  command.prepend(QStringLiteral("--clear-groups"));
  command.prepend(QStringLiteral("--regid=%1").arg(kNobody));
  command.prepend(QStringLiteral("--reuid=%1").arg(kNobody));
  command.prepend(QStringLiteral("setpriv"));
  return command;
}

/// Listens at the path (making its folder 0700 when missing) or on the bound
/// socket "fd:N" it inherited, says "listening", and for each connection
/// reads what comes first and says "connection, N bytes"; never answers.
inline const char* const kSquatterScript = R"(
use Socket; use IO::Handle; STDOUT->autoflush(1);
my $where = shift; my $s;
if ($where =~ /^fd:(\d+)$/) { open($s, "+<&=$1") or die "fd: $!"; }
else {
  my ($dir) = $where =~ m{^(.*)/[^/]*$}; mkdir $dir, 0700;
  socket($s, PF_UNIX, SOCK_STREAM, 0) or die; unlink $where;
  bind($s, pack_sockaddr_un($where)) or die "bind: $!";
}
listen($s, 16) or die "listen: $!"; print "listening\n";
while (accept(my $c, $s)) {
  my $got = sysread($c, my $b, 65536) // 0; print "connection, $got bytes\n";
}
)";

/// Binds a socket at its first argument as the user it runs as, then runs
/// the rest of its arguments with "fd:N" added, the socket kept open.
inline const char* const kBinderScript = R"(
use Socket; $^F = 255; my $path = shift;
socket(my $s, PF_UNIX, SOCK_STREAM, 0) or die; bind($s, pack_sockaddr_un($path)) or die "$!";
exec(@ARGV, "fd:" . fileno($s)) or die "exec: $!";
)";

/// Connects, sends a hand-over of the names from the folder, prints
/// "answer:" and the byte it got back, if any.
inline const char* const kClientScript = R"(
use Socket; my ($path, $folder, @names) = @ARGV;
socket(my $s, PF_UNIX, SOCK_STREAM, 0) or die; connect($s, pack_sockaddr_un($path)) or die "$!";
syswrite($s, "D$folder\0" . join("", map { "F$_\0" } @names) . "E");
my $got = ''; sysread($s, $got, 1); print "answer:$got\n";
)";

inline std::unique_ptr<QProcess> StartCommand(const QStringList& command) {
  auto process = std::make_unique<QProcess>();
  process->start(command.first(), command.mid(1));
  return process;
}

inline QStringList Perl(const char* script, const QStringList& arguments) {
  return QStringList{QStringLiteral("perl"), QStringLiteral("-e"), QString::fromUtf8(script)} +
         arguments;
}

/// A connection to the socket at `path`; invalid when none could be made.
inline FileDescriptor ConnectTo(const QString& path, bool nonBlocking = false) {
  FileDescriptor socket(
      ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = path.toLocal8Bit();
  std::memcpy(address.sun_path, name.constData(),
              std::min<size_t>(sizeof address.sun_path - 1, name.size()));
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return {};
  }
  return socket;
}

/// The process listening at `path`, as the kernel knows it.
inline std::optional<pid_t> ListenerAt(const QString& path) {
  const FileDescriptor socket = ConnectTo(path);
  ucred peer{};
  socklen_t size = sizeof peer;
  if (!socket.valid() || ::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    return std::nullopt;
  }
  return peer.pid;
}

}  // namespace rowvane::app::testing
