// Arbitrary bytes loaded as a string list file (byte-order mark, else the
// active code page), saved again in the encoding found and reloaded; the lines
// also go through comma text, name=value access and a sorted list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Streams.h"
#include "platform/StringList.h"

namespace {

using qn::platform::TMemoryStream;
using qn::platform::TMemoryViewStream;
using qn::platform::TStringList;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SameLines(const TStringList& a, const TStringList& b) {
  if (a.Count() != b.Count()) return false;
  for (int32_t i = 0; i < a.Count(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  TMemoryViewStream input(data, static_cast<int64_t>(size));
  TStringList list;
  list.LoadFromStream(input);

  // Saved in the encoding it was read in, with its mark, it loads the same.
  TMemoryStream saved;
  list.SaveToStream(saved);
  saved.SetPosition(0);
  TStringList reloaded;
  reloaded.LoadFromStream(saved);
  Check(reloaded.Encoding() == list.Encoding());
  Check(SameLines(list, reloaded));

  // Comma text is read back as the same entries.
  TStringList commas;
  commas.SetCommaText(list.CommaText());
  Check(SameLines(list, commas));

  for (int32_t i = 0; i < list.Count() && i < 512; ++i) {
    const std::u16string name = list.Names(i);
    const std::u16string value = list.ValueFromIndex(i);
    Check(name.size() + value.size() <= list[i].size());
  }

  // A sorted list of the lines is in order and finds every line.
  TStringList sorted;
  sorted.SetSorted(true);
  for (int32_t i = 0; i < list.Count() && i < 2000; ++i) sorted.Add(list[i]);
  for (int32_t i = 1; i < sorted.Count(); ++i) {
    Check(sorted.CompareStrings(sorted[i - 1], sorted[i]) < 0);
  }
  for (int32_t i = 0; i < list.Count() && i < 2000; ++i) Check(sorted.IndexOf(list[i]) >= 0);
  return 0;
}
