// Reads arbitrary bytes as the two stored forms of found files: the file-list
// block (TMySearchRecList) and the folder block (TFolderful).
//
// The first byte chooses the form, the rest is the stream. Reading may raise
// the system's read errors; it must never read out of bounds or allocate
// without limit. A block that reads successfully must save back to exactly the
// bytes it used (with the padding and, for a folder, an unknown sort byte
// normalised), and the records read must be searchable and sortable.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "runtime1/files/PeruseDir.h"

namespace {

using qn::platform::TMemoryStream;
using qn::platform::TMemoryViewStream;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The bytes read, with what saving normalises: the 2 padding bytes of every
// record written as zero (and the folder's sort byte as read back).
std::vector<uint8_t> Normalised(const uint8_t* data, size_t used, size_t listStart, uint8_t sortByte,
                                bool folder) {
  std::vector<uint8_t> bytes(data, data + used);
  if (folder) bytes[0] = sortByte;
  size_t at = listStart + 4;
  while (at + 24 <= used) {
    bytes[at + 18] = 0;
    bytes[at + 19] = 0;
    int32_t length = 0;
    std::memcpy(&length, &bytes[at + 20], 4);  // the fuzzer's machines are little-endian
    at += 24 + 2 * static_cast<size_t>(length);
  }
  return bytes;
}

void Exercise(qn::TMySearchRecList& list) {
  if (list.Count() == 0) return;
  const qn::TMySearchRec first = list.GetAMySearchRec(0);
  for (int sort = qn::sr_sort_by_name; sort <= qn::sr_sort_by_extension; ++sort) {
    list.SetSort(static_cast<qn::TMySearchRecSort>(sort));
    const int32_t found = list.Find(first);
    // A date that is not a number equals nothing, not even itself.
    Check(std::isnan(first.DateTime) ? found == -1 : (found >= 0 && found < list.Count()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const bool folder = (data[0] & 1) != 0;
  const uint8_t* bytes = data + 1;
  const size_t count = size - 1;
  TMemoryViewStream in(bytes, static_cast<int64_t>(count));
  try {
    if (folder) {
      qn::TFolderful item(u"/x");
      if (!item.ReadFromStream(in)) return 0;
      const size_t used = static_cast<size_t>(in.Position());
      TMemoryStream out;
      item.SaveToStream(out);
      const size_t listStart = 13 + 4 + 2 * item.DirName().size();
      const std::vector<uint8_t> expected =
          Normalised(bytes, used, listStart, static_cast<uint8_t>(item.CurrentSort()), true);
      Check(static_cast<size_t>(out.Size()) == expected.size());
      Check(std::memcmp(out.Memory(), expected.data(), expected.size()) == 0);
      if (item.ListOfFiles() != nullptr) Exercise(*item.ListOfFiles());
    } else {
      qn::TMySearchRecList list;
      if (!list.ReadFromStream(in)) return 0;
      const size_t used = static_cast<size_t>(in.Position());
      TMemoryStream out;
      list.SaveToStream(out);
      const std::vector<uint8_t> expected = Normalised(bytes, used, 0, 0, false);
      Check(static_cast<size_t>(out.Size()) == expected.size());
      Check(std::memcmp(out.Memory(), expected.data(), expected.size()) == 0);
      Exercise(list);
    }
  } catch (const qn::Exception&) {
  }
  return 0;
}
