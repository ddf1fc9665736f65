#include "cli/quillon/Workers.h"

#include <fcntl.h>
#include <signal.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "cli/quillon/Common.h"

namespace quillon {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
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

bool ReadExactly(int fd, char* into, size_t size, bool& atEnd) {
  size_t done = 0;
  atEnd = false;
  while (done < size) {
    const ssize_t n = ::read(fd, into + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      atEnd = done == 0;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// An unlinked temporary file for a worker's results.
int TemporaryFile() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  std::string name = dir + "/quillon-worker-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) throw TFatal{kExitCannot, dir + ": cannot make a temporary file: " + std::strerror(errno)};
  ::unlink(name.c_str());
  return fd;
}

// Bulk bytes are written in blocks of this size.
constexpr size_t kWorkerBlock = size_t{1} << 20;

}  // namespace

namespace {

void PutSize(std::string& out, uint64_t v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }

// A worker's file: its result, then the problems it met reading, each as
// [8-byte size][bytes]. False when the bytes are not that.
bool SplitWorkerFile(std::string_view bytes, std::string& result, std::vector<TKeptProblem>& problems) {
  const auto take = [&](std::string& into) {
    uint64_t size = 0;
    if (bytes.size() < sizeof size) return false;
    std::memcpy(&size, bytes.data(), sizeof size);
    bytes.remove_prefix(sizeof size);
    if (size > bytes.size()) return false;
    into.assign(bytes.substr(0, static_cast<size_t>(size)));
    bytes.remove_prefix(static_cast<size_t>(size));
    return true;
  };
  if (!take(result)) return false;
  while (!bytes.empty()) {
    TKeptProblem& p = problems.emplace_back();
    if (!take(p.what) || !take(p.line)) return false;
  }
  return true;
}

// Ends a worker process after its work: status 0 when the work says it
// went well, 4 when it did not or raised (having said why on standard error).
[[noreturn]] void EndWorker(const std::function<bool()>& work) {
  int status = 4;
  try {
    if (work()) status = 0;
  } catch (const TFatal& fatal) {
    std::fprintf(stderr, "quillon: %s\n", fatal.message.c_str());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillon: worker: %s\n", error.what());
  }
  std::fflush(stderr);
  ::_exit(status);
}

}  // namespace

std::vector<std::string> RunInWorkers(int n, const std::vector<TTextRef>& texts,
                                      const std::function<std::string(int w, int n)>& work) {
  std::vector<std::string> results(static_cast<size_t>(n));
  if (n <= 1) {
    results[0] = work(0, 1);
    return results;
  }
  // Each worker writes to an unlinked temporary file that the parent reads
  // after the worker has ended, so no worker waits on a full pipe.
  std::vector<int> files;
  std::vector<pid_t> pids;
  std::fflush(stdout);
  std::fflush(stderr);
  for (int w = 0; w < n; ++w) {
    const int fd = TemporaryFile();
    files.push_back(fd);
    const pid_t pid = ::fork();
    if (pid < 0) throw TFatal{kExitCannot, std::string("cannot start a worker: ") + std::strerror(errno)};
    if (pid == 0) {
      EndWorker([&] {
        std::vector<TKeptProblem> problems;
        KeepProblems(&problems);
        const std::string result = work(w, n);
        KeepProblems(nullptr);
        std::string bytes;
        bytes.reserve(result.size() + 8);
        PutSize(bytes, result.size());
        bytes += result;
        for (const TKeptProblem& p : problems) {
          PutSize(bytes, p.what.size());
          bytes += p.what;
          PutSize(bytes, p.line.size());
          bytes += p.line;
        }
        return WriteAll(fd, bytes);
      });
    }
    pids.push_back(pid);
  }
  bool workerFailed = false;
  std::vector<TKeptProblem> problems;
  for (int w = 0; w < n; ++w) {
    int status = 0;
    while (::waitpid(pids[static_cast<size_t>(w)], &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) workerFailed = true;
    const int fd = files[static_cast<size_t>(w)];
    std::string bytes;
    if (!workerFailed) {
      ::lseek(fd, 0, SEEK_SET);
      if (!ReadAll(fd, bytes) || !SplitWorkerFile(bytes, results[static_cast<size_t>(w)], problems)) {
        workerFailed = true;
      }
    }
    ::close(fd);
  }
  if (workerFailed) throw TFatal{kExitCannot, "a worker process failed"};
  // The problems in the order of the texts they concern, as one process meets
  // them (those of the same text in the order they were met).
  std::unordered_map<std::string_view, size_t> place;
  for (size_t i = texts.size(); i-- > 0;) place[texts[i].display] = i;
  const auto placeOf = [&](const TKeptProblem& p) {
    const auto at = place.find(p.what);
    return at == place.end() ? texts.size() : at->second;
  };
  std::stable_sort(problems.begin(), problems.end(),
                   [&](const TKeptProblem& a, const TKeptProblem& b) { return placeOf(a) < placeOf(b); });
  for (const TKeptProblem& p : problems) std::fputs(p.line.c_str(), stderr);
  if (!problems.empty()) SetInputFailed();
  return results;
}

// ---------------------------------------------------------------------------

void TWorkerOutput::Grow(size_t n) {
  Flush();
  if (fBuffer.size() < n) fBuffer.resize(std::max(n, kWorkerBlock));
}

void TWorkerOutput::Flush() {
  if (fUsed == 0) return;
  if (!WriteAll(fFile, std::string_view(fBuffer.data(), fUsed))) {
    throw TFatal{kExitCannot, std::string("worker results: ") + std::strerror(errno)};
  }
  fFlushed += fUsed;
  fUsed = 0;
}

void TWorkerOutput::Send(std::string_view record) {
  Flush();
  if (record.size() > UINT32_MAX) throw TFatal{kExitCannot, "worker results: a record too long"};
  std::string framed(4, '\0');
  const auto size = static_cast<uint32_t>(record.size());
  std::memcpy(framed.data(), &size, 4);
  framed += record;
  if (!WriteAll(fPipe, framed)) throw TFatal{kExitCannot, std::string("worker results: ") + std::strerror(errno)};
}

TStreamedWorkers::TStreamedWorkers(int n, const std::function<void(int w, int n, TWorkerOutput& out)>& work) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t parent = ::getpid();
  try {
    for (int w = 0; w < n; ++w) {
      TWorker worker;
      worker.file = TemporaryFile();
      int ends[2];
      if (::pipe2(ends, O_CLOEXEC) != 0) {
        ::close(worker.file);
        throw TFatal{kExitCannot, std::string("cannot start a worker: ") + std::strerror(errno)};
      }
      worker.pipe = ends[0];
      fWorkers.push_back(worker);
      const pid_t pid = ::fork();
      if (pid < 0) {
        ::close(ends[1]);
        throw TFatal{kExitCannot, std::string("cannot start a worker: ") + std::strerror(errno)};
      }
      if (pid == 0) {
#if defined(__linux__)
        // A parent that ends (interrupted, or failed) ends its workers too.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(4);
#else
        (void)parent;
#endif
        // Only its own file and pipe: the parent must see the end of every
        // other worker's pipe when that worker ends.
        for (const TWorker& other : fWorkers) {
          ::close(other.pipe);
          if (&other != &fWorkers.back()) ::close(other.file);
        }
        EndWorker([&] {
          TWorkerOutput out(worker.file, ends[1]);
          work(w, n, out);
          return true;
        });
      }
      fWorkers.back().pid = pid;
      ::close(ends[1]);
    }
  } catch (...) {
    Stop();
    throw;
  }
}

TStreamedWorkers::~TStreamedWorkers() { Stop(); }

bool TStreamedWorkers::Next(int w, std::string& record) {
  const TWorker& worker = fWorkers.at(static_cast<size_t>(w));
  uint32_t size = 0;
  bool atEnd = false;
  if (!ReadExactly(worker.pipe, reinterpret_cast<char*>(&size), 4, atEnd)) {
    if (atEnd) return false;
    throw TFatal{kExitCannot, "worker results cut short"};
  }
  record.resize(size);
  if (!ReadExactly(worker.pipe, record.data(), size, atEnd)) throw TFatal{kExitCannot, "worker results cut short"};
  return true;
}

void TStreamedWorkers::Read(int w, uint64_t offset, size_t size, char* into) {
  const TWorker& worker = fWorkers.at(static_cast<size_t>(w));
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(worker.file, into + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw TFatal{kExitCannot, "worker results cut short"};
    done += static_cast<size_t>(n);
  }
}

void TStreamedWorkers::Release(int w, uint64_t offset, uint64_t size) {
#if defined(FALLOC_FL_PUNCH_HOLE)
  // (Where the file system cannot, the room is given back when the file is closed.)
  ::fallocate(fWorkers.at(static_cast<size_t>(w)).file, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
              static_cast<off_t>(offset), static_cast<off_t>(size));
#else
  (void)w;
  (void)offset;
  (void)size;
#endif
}

void TStreamedWorkers::Finish() {
  bool failed = false;
  for (TWorker& worker : fWorkers) {
    if (worker.pid <= 0) continue;
    int status = 0;
    while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    worker.pid = -1;
    // (An input that could not be read reached the parent in the worker's
    // records: a worker that did its work ends with 0.)
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = true;
  }
  Close();
  if (failed) throw TFatal{kExitCannot, "a worker process failed"};
}

void TStreamedWorkers::Stop() {
  for (TWorker& worker : fWorkers) {
    if (worker.pid <= 0) continue;
    // SIGKILL: the worker's own handler of the ending signals would remove
    // the parent's temporary output file.
    ::kill(worker.pid, SIGKILL);
    int status = 0;
    while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    worker.pid = -1;
  }
  Close();
}

void TStreamedWorkers::Close() {
  for (TWorker& worker : fWorkers) {
    if (worker.file >= 0) ::close(worker.file);
    if (worker.pipe >= 0) ::close(worker.pipe);
    worker.file = worker.pipe = -1;
  }
}

}  // namespace quillon
