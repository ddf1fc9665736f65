// Arbitrary bytes read as a search-word stream (into a plain list and into a
// search-word list) and as a search-word text file, each saved again and
// reloaded.
//
// Checks: every entry has a search text; the stream form saved (when the save
// succeeds) reads back to the same typed texts, hits and languages; a save that
// fails writes nothing; the text form saved reads back to the same typed texts
// when none of them holds a line break.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Streams.h"
#include "runtime1/search/Search_items.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SameEntries(const qn::TBaseSearchItems& a, const qn::TBaseSearchItems& b) {
  if (a.Count() != b.Count()) return false;
  for (int32_t i = 0; i < a.Count(); ++i) {
    const qn::TSearch_word_format_rec x = a.GetSWR(i);
    const qn::TSearch_word_format_rec y = b.GetSWR(i);
    if (x.typed_in_text != y.typed_in_text || x.hits_found != y.hits_found || x.Langnum != y.Langnum) {
      return false;
    }
  }
  return true;
}

void StreamRoundTrip(qn::TBaseSearchItems& items, qn::TBaseSearchItems& back) {
  for (int32_t i = 0; i < items.Count(); ++i) Check(!items.GetSWR(i).search_text.empty());
  qn::platform::TMemoryStream saved;
  if (!items.SaveToStream(saved)) {
    Check(saved.Size() == 0);
    return;
  }
  saved.SetPosition(0);
  Check(back.ReadFromStream(saved));
  Check(SameEntries(items, back));
}

std::u16string ScratchFile() {
  const std::string name = "/dev/shm/qn_search_items_fuzz_" + std::to_string(::getpid()) + ".txt";
  return std::u16string(name.begin(), name.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;

  {
    qn::platform::TMemoryViewStream in(data, static_cast<int64_t>(size));
    qn::TBaseSearchItems items;  // splitting off: a saved entry reads back as one entry
    items.ReadFromStream(in);
    qn::TBaseSearchItems back;
    StreamRoundTrip(items, back);
  }
  {
    qn::platform::TMemoryViewStream in(data, static_cast<int64_t>(size));
    qn::TSearchWordItems words(qn::TIgnore_tag_type{}, 0, true);
    words.ReadFromStream(in);
    for (int32_t i = 0; i < words.Count(); ++i) Check(!words.GetSWR(i).search_text.empty());
  }

  static const std::u16string file = ScratchFile();
  {
    qn::platform::WriteFileSafely(file, {data, size});
    qn::TBaseSearchItems items;
    items.LoadFromFile(file, 3);
    bool breaks = false;
    for (int32_t i = 0; i < items.Count(); ++i) {
      const qn::TSearch_word_format_rec r = items.GetSWR(i);
      Check(r.n_to_find == 3 && !r.search_text.empty());
      breaks = breaks || r.typed_in_text.find_first_of(u"\r\n") != std::u16string::npos;
    }
    if (!breaks) {
      items.SaveToFile(file);
      qn::TBaseSearchItems back;
      back.LoadFromFile(file, 3);
      Check(SameEntries(items, back));
    }
  }
  return 0;
}
