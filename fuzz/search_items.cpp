// Arbitrary bytes read as a search-word stream (into a plain list and into a
// search-word list) and as a search-word text file, each saved again and
// reloaded.
//
// Checks: every entry has a search text; the stream form saved (when the save
// succeeds) reads back to the same typed texts, hits and languages; a save that
// fails writes nothing; the text form saved reads back to the same typed texts
// when none of them holds a line break.
#include <fcntl.h>
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

// The text file lives alone in a folder of this process's own, made once, so
// that the saves (which look through the file's folder for the leftovers of
// interrupted saves) list one or two names instead of a crowded /dev/shm.
// Both go when the process ends.
std::string& ScratchFolder() {
  static std::string folder;
  return folder;
}
const std::string& ScratchFile() {
  static const std::string file = [] {
    std::string pattern = "/dev/shm/qn_search_items_fuzz_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    ScratchFolder() = pattern;
    std::atexit([] {
      ::unlink((ScratchFolder() + "/words.txt").c_str());
      ::rmdir(ScratchFolder().c_str());
    });
    return pattern + "/words.txt";
  }();
  return file;
}

// The input as the whole file, written plainly: the harness needs no safe save.
void Plant(const uint8_t* data, size_t size) {
  const int fd = ::open(ScratchFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Check(fd >= 0);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    Check(n > 0);
    done += static_cast<size_t>(n);
  }
  Check(::close(fd) == 0);
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

  static const std::u16string file(ScratchFile().begin(), ScratchFile().end());
  {
    Plant(data, size);
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
