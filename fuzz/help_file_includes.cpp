// Arbitrary bytes read as a help include file and searched for a topic number
// (taken from the first bytes); a name found is a word that begins a line and
// holds neither blanks, control characters nor "=".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Streams.h"
#include "platform/StringList.h"
#include "runtime2/printing/Help_file_includes.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 14)) return 0;
  int32_t n = 0;
  std::memcpy(&n, data, 4);
  n &= 0xFFFF;  // small numbers, so that lines written by the fuzzer can match
  qn::platform::TMemoryViewStream input(data + 4, static_cast<int64_t>(size - 4));
  qn::platform::TStringList lines;
  lines.LoadFromStream(input);
  const std::u16string name = qn::NameFromNumberInLines(n, lines);
  for (char16_t c : name) Check(c > u' ' && c != u'=');
  if (!name.empty()) {
    bool begins = false;
    for (int32_t i = 0; i < lines.Count() && !begins; ++i) {
      const std::u16string& line = lines[i];
      const size_t first = line.find_first_not_of(std::u16string(u"\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0B\x0C\r"
                                                                 u"\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19"
                                                                 u"\x1A\x1B\x1C\x1D\x1E\x1F \0", 33));
      begins = first != std::u16string::npos && line.compare(first, name.size(), name) == 0;
    }
    Check(begins);
  }
  return 0;
}
