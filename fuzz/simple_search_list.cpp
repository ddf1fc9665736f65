// Arbitrary bytes read as a simple search list file (byte-order mark, else
// the active code page), with and without the equals-sign rule.
//
// Checks: every record wants at least one hit; a word is upper-case unless
// its case matters; with the equals-sign rule no word holds "="; the words
// written back with their decorations (GetATypedInSW) read back to the same
// flags where the syntax can express them; a list added to itself doubles.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/CaseMapping.h"
#include "platform/Streams.h"
#include "runtime1/containers/Useful_Classes_search.h"
#include "runtime1/containers/Useful_Classes_simplesearch.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  for (const bool require : {false, true}) {
    qn::platform::TMemoryViewStream stream(data, static_cast<int64_t>(size));
    qn::TSimpleSearchlist list;
    list.LoadFromStream(stream, require);
    for (int32_t i = 0; i < list.Count(); ++i) {
      const qn::TSimpleSearch_rec r = list.GetAValue(i);
      Check(r.n_wanted >= 1);
      if (!r.flags.Contains(qn::myCaseIsSensitive)) Check(qn::platform::UpperCased(r.seek) == r.seek);
      if (require) Check(r.seek.find(u'=') == std::u16string::npos);
      const bool expressible =
          !(r.flags.Contains(qn::myCaseIsSensitive) && !r.flags.Contains(qn::myLeftBounded));
      if (expressible && !r.seek.empty() && r.seek.front() != u'*' && r.seek.front() != u'=' &&
          r.seek.front() != u'~' && r.seek.back() != u'*') {
        std::u16string typed = list.GetATypedInSW(i);
        qn::TMySearchFlags want = r.flags;
        want.Exclude(qn::mySW_To_Avoid);
        Check(qn::FlagsFromSW(typed) == want);
        Check(typed == r.seek);
      }
    }
    const int32_t n = list.Count();
    list.AddAll(list);
    Check(list.Count() == 2 * n);
    if (n > 0) Check(list.GetAValue(n) == list.GetAValue(0));
  }
  return 0;
}
