#include "cli/quillon/Workers.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/quillon/Common.h"

namespace quillon {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, std::string& bytes) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace

std::vector<std::string> RunInWorkers(int n, const std::function<std::string(int w, int n)>& work) {
  std::vector<std::string> results(static_cast<size_t>(n));
  if (n <= 1) {
    results[0] = work(0, 1);
    return results;
  }
  // Each worker writes to an unlinked temporary file that the parent reads
  // after the worker has ended, so no worker waits on a full pipe.
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  std::vector<int> files;
  std::vector<pid_t> pids;
  std::fflush(stdout);
  std::fflush(stderr);
  for (int w = 0; w < n; ++w) {
    std::string name = dir + "/quillon-worker-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw TFatal{kExitCannot, dir + ": cannot make a temporary file: " + std::strerror(errno)};
    ::unlink(name.c_str());
    files.push_back(fd);
    const pid_t pid = ::fork();
    if (pid < 0) throw TFatal{kExitCannot, std::string("cannot start a worker: ") + std::strerror(errno)};
    if (pid == 0) {
      int status = 0;
      try {
        const std::string bytes = work(w, n);
        if (!WriteAll(fd, bytes)) status = 4;
        else if (AnyInputFailed()) status = 1;
      } catch (const TFatal& fatal) {
        std::fprintf(stderr, "quillon: %s\n", fatal.message.c_str());
        status = 4;
      } catch (const std::exception& error) {
        std::fprintf(stderr, "quillon: worker: %s\n", error.what());
        status = 4;
      }
      std::fflush(stderr);
      ::_exit(status);
    }
    pids.push_back(pid);
  }
  bool workerFailed = false;
  for (int w = 0; w < n; ++w) {
    int status = 0;
    while (::waitpid(pids[static_cast<size_t>(w)], &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1) SetInputFailed();
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) workerFailed = true;
    const int fd = files[static_cast<size_t>(w)];
    if (!workerFailed) {
      ::lseek(fd, 0, SEEK_SET);
      if (!ReadAll(fd, results[static_cast<size_t>(w)])) workerFailed = true;
    }
    ::close(fd);
  }
  if (workerFailed) throw TFatal{kExitCannot, "a worker process failed"};
  return results;
}

}  // namespace quillon
