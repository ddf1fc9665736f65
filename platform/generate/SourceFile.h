// How the build's generators write the C++ source they make: beside the
// target, renamed over it only once wholly written, so that a failed run
// never leaves a half-written source for the next build to compile.
#pragma once

#include <cstdio>
#include <string>

namespace qn::generate {

// Runs write(out) on the file's stand-in, then puts it in place; 0 when all
// went well, else 1 with the reason on standard error (the generator's exit
// status).
template <class Write>
int WriteSourceFile(const std::string& path, Write write) {
  const std::string temporary = path + ".part";
  std::FILE* out = std::fopen(temporary.c_str(), "w");
  if (out == nullptr) {
    std::perror(temporary.c_str());
    return 1;
  }
  write(out);
  const bool written = std::ferror(out) == 0;
  if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::perror(path.c_str());
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}

}  // namespace qn::generate
