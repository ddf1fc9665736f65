// Loads every stream format of the typed lists from arbitrary bytes.
//
// The first byte chooses the format, the rest is the stream. Loading may fail
// (false) or raise the system's errors; it must never read out of bounds,
// allocate without limit or leave a list that cannot be saved and freed. A
// list that loaded successfully must save back to exactly the bytes it read
// (the sorted byte normalised to 0 or 1), which checks every format both ways.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "runtime1/containers/Useful_Classes.h"

namespace {

using qn::platform::TMemoryStream;
using qn::platform::TMemoryViewStream;

// The base list of items that write nothing.
struct TPlainSortsList : qn::TUsefulBaseListSorts {
  TPlainSortsList() : qn::TUsefulBaseListSorts(qn::ClassOf<qn::TUsefulBaseListObject>()) {}
};

// The most items one input may declare. A count above the items the bytes
// hold is honoured with empty items, up to 2^20 of them, so a few bytes could
// make a list create, save and free a million items; past a few thousand that
// only costs time (every count path runs below this cap too). Counts beyond
// what is ever honoured are still tried: they are refused before anything is
// created, which is cheap.
constexpr int32_t kMostEmptyItems = 4096;
constexpr int32_t kMostEverHonoured = (1 << 20) + (1 << 16);

bool DeclaresTooManyToTry(const uint8_t* data, size_t size) {
  if (size < 4) return false;
  const int32_t n = qn::platform::GetLE<int32_t>(data);
  return n > kMostEmptyItems && n <= kMostEverHonoured;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// Reads a base list; on success its saved image must equal the bytes read.
template <typename L>
void LoadBaseList(const uint8_t* data, size_t size, bool hasSortedByte) {
  if (DeclaresTooManyToTry(data, size)) return;
  L list;
  TMemoryViewStream in(data, static_cast<int64_t>(size));
  bool ok = false;
  try {
    ok = list.ReadFromStream(in);
  } catch (const qn::Exception&) {
    Check(list.Count() == 0);  // refused before anything was created
    return;
  }
  TMemoryStream out;
  const bool saved = list.SaveToStream(out);
  if (!ok) return;
  Check(saved);
  const auto consumed = static_cast<size_t>(in.Position());
  std::vector<uint8_t> want(data, data + consumed);
  if (hasSortedByte && want.size() > 4) want[4] = want[4] != 0 ? 1 : 0;
  Check(out.Size() == static_cast<int64_t>(want.size()));
  Check(std::memcmp(out.Memory(), want.data(), want.size()) == 0);
}

void LoadSmallints(const uint8_t* data, size_t size) {
  if (size < 4) return;
  const int32_t n = qn::platform::GetLE<int32_t>(data);
  qn::TSmallintList list;
  TMemoryViewStream in(data + 4, static_cast<int64_t>(size - 4));
  try {
    if (!list.ReadFromStream(n, in)) return;
  } catch (const qn::Exception&) {
    Check(list.Count() == 0);
    return;
  }
  Check(list.Count() == n);
  TMemoryStream out;
  Check(list.SaveToStream(out));
  Check(out.Size() == 2 * static_cast<int64_t>(n));
  // An empty list saves no bytes (and a memory stream without bytes has no memory).
  Check(n == 0 || std::memcmp(out.Memory(), data + 4, static_cast<size_t>(out.Size())) == 0);
}

void LoadSaveStringList(const uint8_t* data, size_t size, bool withIntegers) {
  qn::TMySaveStringList list(withIntegers);
  TMemoryViewStream in(data, static_cast<int64_t>(size));
  try {
    list.LoadFromStream(in);
  } catch (const qn::Exception&) {
    Check(list.Count() == 0);  // all or nothing
    return;
  }
  TMemoryStream out;
  list.SaveToStream(out);
  Check(out.Size() == in.Position());
  Check(std::memcmp(out.Memory(), data, static_cast<size_t>(out.Size())) == 0);
}

void ReadStrings(const uint8_t* data, size_t size) {
  TMemoryViewStream in(data, static_cast<int64_t>(size));
  try {
    for (;;) {
      const std::u16string s = qn::ReadAString(in, 1 << 16);
      Check(s.size() <= (1u << 16));
    }
  } catch (const qn::Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t format = data[0];
  ++data;
  --size;
  switch (format % 18) {
    case 0: LoadBaseList<qn::TQNLongintList>(data, size, true); break;
    case 1: LoadBaseList<qn::TCardinalList>(data, size, true); break;
    case 2: LoadBaseList<qn::TQNInt64List>(data, size, true); break;
    case 3: LoadBaseList<qn::TIntegerAndSingleList>(data, size, true); break;
    case 4: LoadBaseList<qn::TIntegerAnd3CardinalsList>(data, size, false); break;
    case 5: LoadBaseList<qn::TCardinalAndFreqList>(data, size, true); break;
    case 6: LoadBaseList<qn::T2LongintList>(data, size, true); break;
    case 7: LoadBaseList<qn::T3LongintList>(data, size, true); break;
    case 8: LoadBaseList<qn::T4LongintList>(data, size, true); break;
    case 9: LoadBaseList<qn::TDoublePointerList>(data, size, false); break;
    case 10: LoadBaseList<qn::T2StringsAnd2IntegersList>(data, size, false); break;
    case 11: LoadBaseList<qn::TStringColumnAndColourList>(data, size, false); break;
    case 12: LoadBaseList<qn::TWordFreqAndSourceNumList>(data, size, true); break;
    case 13: LoadSmallints(data, size); break;
    case 14: LoadSaveStringList(data, size, false); break;
    case 15: LoadSaveStringList(data, size, true); break;
    case 16: ReadStrings(data, size); break;
    default: LoadBaseList<TPlainSortsList>(data, size, true); break;
  }
  return 0;
}
