// How long making a group of freshly written small files durable takes, by
// way of flushing: each file's fsync one after the other, each file's
// fdatasync from several threads at once, or one syncfs of the whole file
// system. Rounds alternate the ways, so that a busy disk weighs on each alike;
// prints the median and the quartiles of each in milliseconds.
// Usage: rowvane_flush_bench FOLDER [FILES=64] [BYTES=48000] [ROUNDS=15]
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Flush = std::function<void(const std::vector<int>&, int folder)>;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::perror(what);
    std::exit(1);
  }
}

void Parallel(const std::vector<int>& files, std::size_t threads) {
  std::vector<std::jthread> workers;
  for (std::size_t t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (std::size_t i = t; i < files.size(); i += threads) {
        Check(::fdatasync(files[i]) == 0, "fdatasync");
      }
    });
  }
}

struct Way {
  const char* name;
  Flush flush;
  std::vector<double> millis;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [FILES] [BYTES] [ROUNDS]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::size_t count = argc > 2 ? std::stoul(argv[2]) : 64;
  const std::size_t bytes = argc > 3 ? std::stoul(argv[3]) : 48000;
  const int rounds = argc > 4 ? std::stoi(argv[4]) : 15;
  const std::string block(bytes, 'x');
  std::vector<Way> ways = {
      {"fsync, one after the other",
       [](auto& f, int) {
         for (int fd : f)
           Check(::fsync(fd) == 0, "fsync");
       },
       {}},
      {"fdatasync, 4 threads", [](auto& f, int) { Parallel(f, 4); }, {}},
      {"fdatasync, 16 threads", [](auto& f, int) { Parallel(f, 16); }, {}},
      {"fdatasync, 64 threads", [](auto& f, int) { Parallel(f, 64); }, {}},
      {"syncfs", [](auto&, int dir) { Check(::syncfs(dir) == 0, "syncfs"); }, {}},
  };
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  Check(dir >= 0, "open folder");
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t k = 0; k < ways.size(); ++k) {
      Way& way = ways[(k + static_cast<std::size_t>(round)) % ways.size()];
      std::vector<int> files;
      for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "f" + std::to_string(i);
        const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        Check(fd >= 0 && ::write(fd, block.data(), bytes) == static_cast<ssize_t>(bytes), "write");
        files.push_back(fd);
      }
      const auto start = std::chrono::steady_clock::now();
      way.flush(files, dir);
      Check(::fsync(dir) == 0, "fsync folder");
      way.millis.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
      for (std::size_t i = 0; i < count; ++i) {
        ::close(files[i]);
        ::unlinkat(dir, ("f" + std::to_string(i)).c_str(), 0);
      }
      ::fsync(dir);
    }
  }
  struct statfs info {};
  ::fstatfs(dir, &info);
  std::printf("%zu files of %zu bytes, file system type 0x%lx, %d rounds\n", count, bytes,
              static_cast<unsigned long>(info.f_type), rounds);
  for (Way& way : ways) {
    std::sort(way.millis.begin(), way.millis.end());
    const auto at = [&](double q) {
      return way.millis[static_cast<std::size_t>(q * static_cast<double>(way.millis.size() - 1))];
    };
    std::printf("%-28s median %7.1f ms  (quartiles %.1f-%.1f)\n", way.name, at(0.5), at(0.25),
                at(0.75));
  }
  ::close(dir);
}
