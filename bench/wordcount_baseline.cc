// The baseline that `quillon wordlist` is measured against in quillon_speed.sh:
// the word counter a programmer would write in a few minutes. Each file is
// read whole, a word is a run of ASCII letters and digits or of bytes >= 0x80
// (so UTF-8 letters stay inside words), lower-cased byte by byte, and counted
// in a std::unordered_map. It prints the number of tokens and types and the
// ten most frequent words, so that its counts can be set beside the program's.
//
// Deliberately plain: no memory mapping, no custom hash, no threads. It is
// compiled by bench/quillon_speed.sh, not by the build (hence .cc, which the
// benchmark glob does not take).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

char Lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  std::unordered_map<std::string, uint64_t> counts;
  uint64_t tokens = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot read\n", argv[i]);
      return 1;
    }
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    std::string word;
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (IsWordByte(c)) {
        word.push_back(Lower(c));
      } else if (!word.empty()) {
        ++counts[word];
        ++tokens;
        word.clear();
      }
    }
    if (!word.empty()) {
      ++counts[word];
      ++tokens;
    }
  }
  std::vector<std::pair<std::string, uint64_t>> top(counts.begin(), counts.end());
  const size_t shown = std::min<size_t>(10, top.size());
  std::partial_sort(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(shown), top.end(),
                    [](const auto& a, const auto& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
  std::printf("tokens\t%llu\ntypes\t%zu\n", static_cast<unsigned long long>(tokens), counts.size());
  for (size_t i = 0; i < shown; ++i) {
    std::printf("%s\t%llu\n", top[i].first.c_str(), static_cast<unsigned long long>(top[i].second));
  }
  return 0;
}
