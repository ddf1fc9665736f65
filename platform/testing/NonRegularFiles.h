// Helpers for tests of readers given names that are not regular files: a named
// pipe with no writer, which a blocking open would wait on for ever.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

namespace qn::test_support {

// Makes a named pipe at path (after removing whatever is there); true on success.
inline bool MakeNamedPipe(const std::string& path) {
  ::unlink(path.c_str());
  return ::mkfifo(path.c_str(), 0600) == 0;
}

// Runs read (a reader given the pipe at path) and answers whether it returned
// (normally or by raising) within a few seconds. A reader still waiting then is
// released by opening the pipe's writing end and closing it again, so that a
// failing test ends instead of hanging.
inline bool ReturnsWithoutAWriter(const std::string& path, const std::function<void()>& read) {
  auto done = std::async(std::launch::async, [&read] {
    try {
      read();
    } catch (...) {
    }
  });
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  for (;;) {
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    if (done.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready) return false;
  }
}

}  // namespace qn::test_support
