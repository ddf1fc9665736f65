#include "runtime1/containers/Useful_Classes_base.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/Exceptions.h"
#include "platform/QuickSort.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"

namespace qn {

namespace {

// A count may announce more items than the stream holds; the ones missing
// are appended empty. More than this many items beyond what the bytes left
// could hold (for a class that writes nothing: more than this many items) is
// taken for a damaged or forged stream rather than creating objects without
// end.
constexpr int32_t kMaxItemsWithoutBytes = 1 << 20;

constexpr std::string_view kReaderName = "ReadFromStream";

}  // namespace

// ---------------------------------------------------------------------------
// TUsefulBaseListObject

TUsefulBaseListObject::~TUsefulBaseListObject() = default;

bool TUsefulBaseListObject::ReadFromStream(platform::TStream&) { return true; }

bool TUsefulBaseListObject::SaveToStream(platform::TStream&) { return true; }

void RaiseInvalidItemClass() { throw Exception("Invalid class typecast"); }

// ---------------------------------------------------------------------------
// TUsefulBaseList

TUsefulBaseList::TUsefulBaseList(TUsefulBaseListObjectClass AnEntriesClass)
    : fEntriesClass(AnEntriesClass != nullptr ? AnEntriesClass : ClassOf<TUsefulBaseListObject>()) {}

TUsefulBaseList::~TUsefulBaseList() { TUsefulBaseList::Clear(); }

int32_t TUsefulBaseList::ComparedValues(int32_t, int32_t) { return -1; }

void TUsefulBaseList::FreeAndNilOne(int32_t index) {
  if (!IndexAssignedOK(index)) return;
  auto* item = static_cast<TUsefulBaseListObject*>(List()[index]);
  List()[index] = nullptr;
  if (AnInstance == item) AnInstance = nullptr;
  delete item;
}

void TUsefulBaseList::Notify(void* item, TListNotification action) {
  if (action != TListNotification::lnDeleted || item == nullptr) return;
  auto* object = static_cast<TUsefulBaseListObject*>(item);
  if (AnInstance == object) AnInstance = nullptr;
  delete object;
}

void TUsefulBaseList::Clear() {
  for (int32_t i = 0; i < Count(); ++i)
    if (List()[i] != nullptr) FreeAndNilOne(i);
  Pack();
  TPointerList::Clear();
  AnInstance = nullptr;
}

int32_t TUsefulBaseList::AssignedCount() const noexcept {
  int32_t n = 0;
  for (int32_t i = 0; i < Count(); ++i)
    if (List()[i] != nullptr) ++n;
  return n;
}

void TUsefulBaseList::CheckStoredCount(platform::TStream& Stream, int32_t n) const {
  if (n < 0) RaiseFileReadError(kReaderName);
  if (n - ItemsTheBytesCouldHold(Stream, n) > kMaxItemsWithoutBytes) RaiseFileReadError(kReaderName);
}

int32_t TUsefulBaseList::ItemsTheBytesCouldHold(platform::TStream& Stream, int32_t n) const {
  const int32_t minSize = fEntriesClass->MinStreamSize;
  if (minSize <= 0) return 0;
  const int64_t held = std::max<int64_t>(Stream.Remaining(), 0) / minSize;
  return static_cast<int32_t>(std::min<int64_t>(held, n));
}

bool TUsefulBaseList::SaveTheInstances(platform::TStream& Stream, int32_t n) {
  if (n > Count()) n = Count();
  for (int32_t i = 0; i < n; ++i) {
    MyYieldProcess();
    if (i >= Count()) return false;  // the list shrank during the yield
    auto* item = static_cast<TUsefulBaseListObject*>(List()[i]);
    // An empty slot is saved as if the list had been packed: the count
    // written by SaveToStream counts only the slots that hold an item.
    if (item == nullptr) continue;
    if (!fEntriesClass->IsInstance(item)) RaiseInvalidItemClass();
    AnInstance = item;
    if (!item->SaveToStream(Stream)) return false;
  }
  return true;
}

bool TUsefulBaseList::LoadTheInstances(platform::TStream& Stream, int32_t n) {
  CheckStoredCount(Stream, n);
  // Room for the items the bytes could hold; the rest, if any, are few enough
  // (see CheckStoredCount) to grow into.
  const int32_t held = ItemsTheBytesCouldHold(Stream, n);
  if (held > 0 && held <= INT32_MAX - Count()) Reserve(Count() + held);
  bool ok = true;
  for (int32_t i = 0; i < n; ++i) {
    MyYieldProcess();
    std::unique_ptr<TUsefulBaseListObject> item(fEntriesClass->Create());
    TUsefulBaseListObject* raw = item.get();
    Add(item.release());
    AnInstance = raw;
    if (ok) ok = raw->ReadFromStream(Stream);
  }
  return ok;
}

bool TUsefulBaseList::SaveToStream(platform::TStream& Stream) {
  if (!platform::TryPut<int32_t>(Stream, AssignedCount())) return false;
  return SaveTheInstances(Stream, Count());
}

bool TUsefulBaseList::ReadFromStream(platform::TStream& Stream) {
  int32_t n = 0;
  if (!platform::TryGet<int32_t>(Stream, n)) return false;
  return LoadTheInstances(Stream, n);
}

bool TUsefulBaseList::SaveToFile(std::u16string_view aFilename) {
  platform::TMemoryStream image;
  const bool ok = SaveToStream(image);
  platform::WriteFileSafely(aFilename, image.Bytes());
  return ok;
}

bool TUsefulBaseList::SaveToFile(std::string_view aFilenameUtf8) {
  platform::TMemoryStream image;
  const bool ok = SaveToStream(image);
  platform::WriteFileSafely(aFilenameUtf8, image.Bytes());
  return ok;
}

bool TUsefulBaseList::LoadFromFile(std::u16string_view aFilename) {
  platform::TFileStream file(aFilename, platform::fmOpenRead | platform::fmShareDenyNone);
  return ReadFromStream(file);
}

bool TUsefulBaseList::LoadFromFile(std::string_view aFilenameUtf8) {
  platform::TFileStream file(aFilenameUtf8, platform::fmOpenRead | platform::fmShareDenyNone);
  return ReadFromStream(file);
}

// ---------------------------------------------------------------------------
// TUsefulBaseListSorts

TUsefulBaseListSorts::TUsefulBaseListSorts(TUsefulBaseListObjectClass AnEntriesClass)
    : TUsefulBaseList(AnEntriesClass) {}

TUsefulBaseListSorts::~TUsefulBaseListSorts() = default;

void TUsefulBaseListSorts::Sort(TUsefulListSortCompare Compare) {
  if (Compare == nullptr) return;
  if (Count() > 1) {
    platform::ArrayQuickSort(List(), 0, Count() - 1, [Compare](void* a, void* b) {
      return Compare(static_cast<const TUsefulBaseListObject*>(a),
                     static_cast<const TUsefulBaseListObject*>(b));
    });
  }
  sorted = true;
}

void TUsefulBaseListSorts::ReverseTheSort() {
  for (int32_t i = 0, j = Count() - 1; i < j; ++i, --j) Exchange(i, j);
}

void TUsefulBaseListSorts::RemoveDuplicates() {
  int32_t a = 0;
  while (a < Count()) {
    int32_t i = a;
    while (i + 1 < Count() && ComparedValues(a, i + 1) == 0) ++i;
    for (int32_t k = a + 1; k <= i; ++k) FreeAndNilOne(k);
    a = i + 1;
  }
  Pack();
}

void TUsefulBaseListSorts::Clear() {
  TUsefulBaseList::Clear();
  sorted = false;
}

bool TUsefulBaseListSorts::SaveToStream(platform::TStream& Stream) {
  if (!platform::TryPut<int32_t>(Stream, AssignedCount())) return false;
  if (!platform::TryPut<uint8_t>(Stream, sorted ? 1 : 0)) return false;
  return SaveTheInstances(Stream, Count());
}

bool TUsefulBaseListSorts::ReadFromStream(platform::TStream& Stream) {
  int32_t n = 0;
  uint8_t sortedByte = 0;
  if (!platform::TryGet<int32_t>(Stream, n)) return false;
  if (!platform::TryGet<uint8_t>(Stream, sortedByte)) return false;
  CheckStoredCount(Stream, n);
  sorted = sortedByte != 0;
  return LoadTheInstances(Stream, n);
}

}  // namespace qn
