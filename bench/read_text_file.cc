// The program that bench/reading_speed.sh times against iconv: it reads a text
// file through the library (TextFileContents: detection, decoding, every line
// ended by CR LF) and writes the UTF-16 little-endian code units to standard
// output, the job `iconv -t UTF-16LE FILE` does. With -n N it reads the file N
// times and writes it once (for profiling); with -q it writes nothing and
// prints the number of code units.
//
// It is compiled by bench/reading_speed.sh against the built runtime library,
// not by the build (hence .cc, which the benchmark glob does not take).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/CodePages.h"
#include "runtime1/files/FileOfChar.h"

int main(int argc, char** argv) {
  int times = 1;
  bool quiet = false;
  const char* name = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc) {
      times = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "-q") == 0) {
      quiet = true;
    } else {
      name = argv[i];
    }
  }
  if (name == nullptr || times < 1) {
    std::fprintf(stderr, "usage: read_text_file [-n TIMES] [-q] FILE\n");
    return 2;
  }
  // Western 8-bit text: the active code page of the files the script makes.
  qn::platform::SetActiveCodePage(1252);
  const std::string bytes(name);
  const std::u16string fileName(bytes.begin(), bytes.end());
  std::u16string text;
  for (int k = 0; k < times; ++k) {
    text = std::u16string();  // the previous text is released first, as in a program that reads one file
    text = qn::TextFileContents(fileName);
  }
  if (quiet) {
    std::printf("%zu\n", text.size());
    return 0;
  }
  static_assert(sizeof(char16_t) == 2);
  // x86-64 and the other hosts this is run on are little-endian.
  const size_t written = std::fwrite(text.data(), 2, text.size(), stdout);
  return written == text.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
