#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace rowvane::testing {

/// Runs `work` in a child process as the user and group "nobody" when this
/// process is root, so that permissions and locks apply as for any user, and
/// gives back what `work` returned (by convention empty when all went well).
/// Folders the work uses must be open to that user.
inline std::string RunAsNobody(const std::function<std::string()>& work) {
  constexpr uid_t kNobody = 65534;
  int channel[2];
  if (::pipe(channel) != 0) {
    return "pipe failed";
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const bool dropped = ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 &&
                                              ::setresgid(kNobody, kNobody, kNobody) == 0 &&
                                              ::setresuid(kNobody, kNobody, kNobody) == 0);
    std::string answer = "cannot become nobody";
    if (dropped) {
      try {
        answer = work();
      } catch (...) {
        answer = "the work threw";
      }
    }
    const auto written = ::write(channel[1], answer.data(), answer.size());
    // The child must never return into the test runner.
    ::_exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 3);
  }
  ::close(channel[1]);
  std::string answer;
  char buffer[512];
  for (ssize_t count; (count = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
    answer.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "the unprivileged child did not finish: " + answer;
  }
  return answer;
}

}  // namespace rowvane::testing
