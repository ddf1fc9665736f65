#include "runtime1/containers/Useful_Classes_numberlists.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

#include "platform/Exceptions.h"
#include "platform/QuickSort.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"
#include "runtime1/containers/Useful_Classes.h"

namespace qn {

namespace {

// The holder in slot index, or nullptr for an index outside the list or an
// empty slot.
template <typename H>
H* HolderAt(const TPointerList& list, int32_t index) noexcept {
  if (index < 0 || index >= list.Count()) return nullptr;
  return static_cast<H*>(static_cast<TUsefulBaseListObject*>(list.List()[index]));
}

template <typename H>
const H* HolderOf(const void* item) noexcept {
  return static_cast<const H*>(static_cast<const TUsefulBaseListObject*>(item));
}

// Binary search over a list sorted ascending by key(index) under compare;
// sets nearest to the last index probed. Yields once per probe.
template <typename Key, typename KeyAt, typename Compare>
int32_t BinarySearch(TUsefulBaseListSorts& list, const Key& S, KeyAt keyAt, Compare compare) {
  list.nearest = -1;
  int32_t lo = 0;
  int32_t hi = list.Count() - 1;
  while (lo <= hi) {
    MyYieldProcess();
    if (hi >= list.Count()) hi = list.Count() - 1;  // the list shrank during the yield
    if (lo > hi) break;
    const int32_t mid = lo + (hi - lo) / 2;
    list.nearest = mid;
    const int32_t c = compare(keyAt(mid), S);
    if (c < 0) {
      lo = mid + 1;
    } else if (c > 0) {
      hi = mid - 1;
    } else {
      return mid;
    }
  }
  return -1;
}

// The first index whose key equals S, or -1. Yields once per item.
template <typename Key, typename KeyAt>
int32_t LinearSearch(const TPointerList& list, const Key& S, KeyAt keyAt) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    MyYieldProcess();
    if (i < list.Count() && keyAt(i) == S) return i;
  }
  return -1;
}

// Where sorted insertion puts x: before an equal value, else next to the
// last index probed by the (failed) binary search; at the end of an empty or
// unsorted list.
template <typename Key, typename KeyAt, typename Compare>
int32_t SortedInsertionPoint(TUsefulBaseListSorts& list, const Key& x, KeyAt keyAt, Compare compare) {
  if (!list.sorted || list.Count() == 0) return list.Count();
  const int32_t k = BinarySearch(list, x, keyAt, compare);
  if (k >= 0) return k;
  if (list.nearest >= 0 && list.nearest < list.Count())
    return compare(keyAt(list.nearest), x) <= 0 ? list.nearest + 1 : list.nearest;
  return list.Count();
}

// Inserts a new holder at where; the list owns it from then on.
template <typename H, typename... A>
void InsertNew(TUsefulBaseList& list, int32_t where, A&&... args) {
  auto holder = std::make_unique<H>(std::forward<A>(args)...);
  list.Insert(where, holder.get());
  holder.release();
}

template <typename H, typename... A>
int32_t AppendNew(TUsefulBaseList& list, A&&... args) {
  auto holder = std::make_unique<H>(std::forward<A>(args)...);
  const int32_t index = list.Add(holder.get());
  holder.release();
  return index;
}

// Sorts the list's slots with compare(item1, item2) (the pointer list's
// quicksort) and marks it sorted.
template <typename Compare>
void SortSlots(TUsefulBaseListSorts& list, Compare compare) {
  if (list.Count() > 1) platform::ArrayQuickSort(list.List(), 0, list.Count() - 1, compare);
  list.sorted = true;
}

// Adds without signed overflow (wraps like the 32-bit arithmetic of the
// stored formats).
inline int32_t WrappingAdd(int32_t a, int32_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

// ---------------------------------------------------------------------------
// TQNLongintList

TQNLongintList::TQNLongintList() : TUsefulBaseListSorts(ClassOf<TLongIntHolder, 4>()) {}
TQNLongintList::~TQNLongintList() = default;

int32_t TQNLongintList::GetAValue(int32_t index) const noexcept {
  const auto* h = HolderAt<TLongIntHolder>(*this, index);
  return h ? h->data : -1;
}

int32_t TQNLongintList::Find(int32_t S) {
  return BinarySearch(*this, S, [this](int32_t i) { return GetAValue(i); }, CompareLongints);
}

int32_t TQNLongintList::AddOne(int32_t x) {
  const int32_t where =
      SortedInsertionPoint(*this, x, [this](int32_t i) { return GetAValue(i); }, CompareLongints);
  InsertNew<TLongIntHolder>(*this, where, x);
  return where;
}

void TQNLongintList::InsertOne(int32_t where, int32_t x) { InsertNew<TLongIntHolder>(*this, where, x); }

int32_t TQNLongintList::IndexOf(int32_t item) {
  if (sorted) return Find(item);
  return LinearSearch(*this, item, [this](int32_t i) { return GetAValue(i); });
}

int32_t TQNLongintList::FindAndFree(int32_t S) {
  const int32_t k = Find(S);
  if (k >= 0) FreeAndNilOne(k);
  return k;
}

int32_t TQNLongintList::ComparedValues(int32_t index1, int32_t index2) {
  return CompareLongints(GetAValue(index1), GetAValue(index2));
}

void TQNLongintList::SortAscendingDefault() { Sort(SortLongints); }

// ---------------------------------------------------------------------------
// TQNActiveLongintList

TQNActiveLongintList::TQNActiveLongintList() = default;
TQNActiveLongintList::~TQNActiveLongintList() = default;

int32_t TQNActiveLongintList::AddOneAndSetCountCurrent(int32_t x) {
  fcurrentItem = AddOne(x);
  return fcurrentItem;
}

int32_t TQNActiveLongintList::FindAndFree(int32_t S) {
  const int32_t k = TQNLongintList::FindAndFree(S);
  if (k >= 0 && k == fcurrentItem) {
    if (fcurrentItem <= 0) {
      fcurrentItem = Count() - 1;
    } else {
      --fcurrentItem;
    }
  }
  return k;
}

int32_t TQNActiveLongintList::CurrentItemValue() const noexcept { return GetAValue(fcurrentItem); }

void TQNActiveLongintList::Clear() {
  TQNLongintList::Clear();
  fcurrentItem = -1;
}

// ---------------------------------------------------------------------------
// TCardinalList

TCardinalList::TCardinalList() : TUsefulBaseListSorts(ClassOf<TCardinalHolder, 4>()) {}
TCardinalList::~TCardinalList() = default;

uint32_t TCardinalList::GetAValue(int32_t index) const noexcept {
  const auto* h = HolderAt<TCardinalHolder>(*this, index);
  return h ? h->data : 0;
}

int32_t TCardinalList::AddOne(uint32_t x) { return AppendNew<TCardinalHolder>(*this, x); }

void TCardinalList::InsertOne(int32_t where, uint32_t x) { InsertNew<TCardinalHolder>(*this, where, x); }

int32_t TCardinalList::Find(uint32_t S) {
  return BinarySearch(*this, S, [this](int32_t i) { return GetAValue(i); }, CompareCardinals);
}

int32_t TCardinalList::IndexOf(uint32_t item) {
  if (sorted) return Find(item);
  return LinearSearch(*this, item, [this](int32_t i) { return GetAValue(i); });
}

int32_t TCardinalList::ComparedValues(int32_t index1, int32_t index2) {
  return CompareCardinals(GetAValue(index1), GetAValue(index2));
}

void TCardinalList::SortAscendingDefault() { Sort(SortCardinals); }

// ---------------------------------------------------------------------------
// TQNInt64List

TQNInt64List::TQNInt64List() : TUsefulBaseListSorts(ClassOf<TInt64Holder, 8>()) {}
TQNInt64List::~TQNInt64List() = default;

int64_t TQNInt64List::GetAValue(int32_t index) const noexcept {
  const auto* h = HolderAt<TInt64Holder>(*this, index);
  return h ? h->data : -1;
}

int32_t TQNInt64List::FindInSorted(int64_t S) {
  return BinarySearch(*this, S, [this](int32_t i) { return GetAValue(i); }, CompareInt64s);
}

int32_t TQNInt64List::AddOne(int64_t x) {
  const int32_t where =
      SortedInsertionPoint(*this, x, [this](int32_t i) { return GetAValue(i); }, CompareInt64s);
  InsertNew<TInt64Holder>(*this, where, x);
  return where;
}

int32_t TQNInt64List::IndexOf(int64_t item) {
  if (sorted) return FindInSorted(item);
  return LinearSearch(*this, item, [this](int32_t i) { return GetAValue(i); });
}

int32_t TQNInt64List::ComparedValues(int32_t index1, int32_t index2) {
  return CompareInt64s(GetAValue(index1), GetAValue(index2));
}

void TQNInt64List::SortAscendingDefault() { Sort(SortInt64s); }

// ---------------------------------------------------------------------------
// TIntegerAndSingleList

TIntegerAndSingleList::TIntegerAndSingleList()
    : TUsefulBaseListSorts(ClassOf<TIntegerAndSingleHolder, 8>()) {}
TIntegerAndSingleList::~TIntegerAndSingleList() = default;

int32_t TIntegerAndSingleList::AddOne(const TIntegerAndSingleRec& rec) {
  return AppendNew<TIntegerAndSingleHolder>(*this, rec);
}

TIntegerAndSingleRec TIntegerAndSingleList::GetOne(int32_t index) const noexcept {
  const auto* h = HolderAt<TIntegerAndSingleHolder>(*this, index);
  return h ? h->data : TIntegerAndSingleRec{};
}

int32_t TIntegerAndSingleList::Find(float S) {
  return BinarySearch(*this, S, [this](int32_t i) { return GetOne(i).s; }, CompareSingles);
}

void TIntegerAndSingleList::SortAscendingDefault() {
  SortSlots(*this, [](void* a, void* b) {
    const auto* x = HolderOf<TIntegerAndSingleHolder>(a);
    const auto* y = HolderOf<TIntegerAndSingleHolder>(b);
    return CompareSingles(x ? x->data.s : 0.0f, y ? y->data.s : 0.0f);
  });
}

// ---------------------------------------------------------------------------
// TIntegerAnd3CardinalsList

TIntegerAnd3CardinalsList::TIntegerAnd3CardinalsList()
    : TUsefulBaseList(ClassOf<TIntegerAnd3CardinalsHolder, 16>()) {}
TIntegerAnd3CardinalsList::~TIntegerAnd3CardinalsList() = default;

int32_t TIntegerAnd3CardinalsList::AddOne(const TIntegerAnd3CardinalsRec& rec) {
  return AppendNew<TIntegerAnd3CardinalsHolder>(*this, rec);
}

TIntegerAnd3CardinalsRec TIntegerAnd3CardinalsList::GetAValue(int32_t index) const noexcept {
  const auto* h = HolderAt<TIntegerAnd3CardinalsHolder>(*this, index);
  return h ? h->data : TIntegerAnd3CardinalsRec{};
}

void TIntegerAnd3CardinalsList::SetAFreq(int32_t index, int32_t f) noexcept {
  if (auto* h = HolderAt<TIntegerAnd3CardinalsHolder>(*this, index)) h->data.freq = f;
}

void TIntegerAnd3CardinalsList::SortAscendingDefault() {
  if (Count() > 1) {
    platform::ArrayQuickSort(List(), 0, Count() - 1, [](void* a, void* b) {
      return SortIntegerAnd3CardinalsFreq(static_cast<const TUsefulBaseListObject*>(a),
                                          static_cast<const TUsefulBaseListObject*>(b));
    });
  }
}

// ---------------------------------------------------------------------------
// TCardinalAndFreqList

TCardinalAndFreqList::TCardinalAndFreqList()
    : TUsefulBaseListSorts(ClassOf<TCardinalAndFreqHolder, 8>()) {}
TCardinalAndFreqList::~TCardinalAndFreqList() = default;

TCardinalAndFreq TCardinalAndFreqList::GetACardAndFreq(int32_t index) const noexcept {
  const auto* h = HolderAt<TCardinalAndFreqHolder>(*this, index);
  return h ? h->data : TCardinalAndFreq{};
}

void TCardinalAndFreqList::SetACardAndFreq(int32_t index, const TCardinalAndFreq& cf) noexcept {
  if (auto* h = HolderAt<TCardinalAndFreqHolder>(*this, index)) h->data = cf;
}

int32_t TCardinalAndFreqList::Find(uint32_t S) {
  return BinarySearch(*this, S, [this](int32_t i) { return GetACardAndFreq(i).c; }, CompareCardinals);
}

int32_t TCardinalAndFreqList::IndexOf(uint32_t c) {
  if (sorted) return Find(c);
  return LinearSearch(*this, c, [this](int32_t i) { return GetACardAndFreq(i).c; });
}

int32_t TCardinalAndFreqList::AddOneOrIncFreq(const TCardinalAndFreq& cf) {
  const int32_t k = IndexOf(cf.c);
  if (auto* h = HolderAt<TCardinalAndFreqHolder>(*this, k)) {
    h->data.f = WrappingAdd(h->data.f, 1);
    return k;
  }
  const int32_t where = SortedInsertionPoint(
      *this, cf.c, [this](int32_t i) { return GetACardAndFreq(i).c; }, CompareCardinals);
  InsertNew<TCardinalAndFreqHolder>(*this, where, cf);
  return where;
}

void TCardinalAndFreqList::SortOnCardinals() {
  SortSlots(*this, [](void* a, void* b) {
    const auto* x = HolderOf<TCardinalAndFreqHolder>(a);
    const auto* y = HolderOf<TCardinalAndFreqHolder>(b);
    return CompareCardinals(x ? x->data.c : 0, y ? y->data.c : 0);
  });
}

void TCardinalAndFreqList::SortOnFrequencies(bool descending) {
  SortSlots(*this, [descending](void* a, void* b) {
    const auto* x = HolderOf<TCardinalAndFreqHolder>(a);
    const auto* y = HolderOf<TCardinalAndFreqHolder>(b);
    const int32_t fx = x ? x->data.f : 0, fy = y ? y->data.f : 0;
    return descending ? CompareLongints(fy, fx) : CompareLongints(fx, fy);
  });
}

// ---------------------------------------------------------------------------
// Pairs, triples and quadruples

namespace {

// Field which of a record by member pointer; an out-of-range which reads the
// first field.
template <typename Rec, size_t N>
struct TFields {
  std::array<int32_t Rec::*, N> members;
  int32_t Rec::* operator[](unsigned which) const noexcept {
    return members[which < N ? which : 0];
  }
};

constexpr TFields<T2_longint_rec, 2> k2Fields{{&T2_longint_rec::long0, &T2_longint_rec::long1}};
constexpr TFields<T3_longint_rec, 3> k3Fields{
    {&T3_longint_rec::long0, &T3_longint_rec::long1, &T3_longint_rec::long2}};
constexpr TFields<T4_longint_rec, 4> k4Fields{{&T4_longint_rec::long0, &T4_longint_rec::long1,
                                               &T4_longint_rec::long2, &T4_longint_rec::long3}};

// Sorts ascending on the given fields in order (lexicographically).
template <typename H, typename Rec, size_t N, size_t K>
void SortOnFields(TUsefulBaseListSorts& list, const TFields<Rec, N>& fields,
                  const std::array<unsigned, K>& keys) {
  std::array<int32_t Rec::*, K> members;
  for (size_t k = 0; k < K; ++k) members[k] = fields[keys[k]];
  static const Rec kNothing{};
  SortSlots(list, [&members](void* a, void* b) {
    const auto* x = HolderOf<H>(a);
    const auto* y = HolderOf<H>(b);
    const Rec& rx = x ? x->data : kNothing;
    const Rec& ry = y ? y->data : kNothing;
    for (int32_t Rec::* m : members) {
      const int32_t c = CompareLongints(rx.*m, ry.*m);
      if (c != 0) return c;
    }
    return int32_t{0};
  });
}

template <typename H, typename Rec, size_t N>
int32_t FieldIndexOf(const TPointerList& list, const TFields<Rec, N>& fields, int32_t n, unsigned which) {
  const auto m = fields[which];
  for (int32_t i = 0; i < list.Count(); ++i) {
    MyYieldProcess();
    const auto* h = HolderAt<H>(list, i);
    if (h != nullptr && h->data.*m == n) return i;
  }
  return -1;
}

template <typename H, typename Rec, size_t N>
void AddToField(const TPointerList& list, const TFields<Rec, N>& fields, int32_t index, int32_t freq,
                unsigned which) noexcept {
  if (auto* h = HolderAt<H>(list, index)) {
    int32_t& field = h->data.*fields[which];
    field = WrappingAdd(field, freq);
  }
}

}  // namespace

T2LongintList::T2LongintList() : TUsefulBaseListSorts(ClassOf<T2LongIntHolder>()) {}
T2LongintList::~T2LongintList() = default;

int32_t T2LongintList::AddOne(const T2_longint_rec& rec) { return AppendNew<T2LongIntHolder>(*this, rec); }

T2_longint_rec T2LongintList::GetADouble(int32_t index) const noexcept {
  const auto* h = HolderAt<T2LongIntHolder>(*this, index);
  return h ? h->data : T2_longint_rec{-1, -1};
}

void T2LongintList::SetADouble(int32_t index, const T2_longint_rec& rec) noexcept {
  if (auto* h = HolderAt<T2LongIntHolder>(*this, index)) h->data = rec;
}

int32_t T2LongintList::LongIndexOf(int32_t n, T2LongintField which) {
  return FieldIndexOf<T2LongIntHolder>(*this, k2Fields, n, which);
}

void T2LongintList::AddToOneFreq(int32_t index, int32_t freq, T2LongintField which) noexcept {
  AddToField<T2LongIntHolder>(*this, k2Fields, index, freq, which);
}

void T2LongintList::IncOne(int32_t index, T2LongintField which) noexcept { AddToOneFreq(index, 1, which); }

int64_t T2LongintList::TotalOf(T2LongintField which) const noexcept {
  const auto m = k2Fields[which];
  int64_t total = 0;
  for (int32_t i = 0; i < Count(); ++i)
    if (const auto* h = HolderAt<T2LongIntHolder>(*this, i)) total += h->data.*m;
  return total;
}

void T2LongintList::SortDefault(T2LongintField which) {
  SortOnFields<T2LongIntHolder>(*this, k2Fields, std::array<unsigned, 1>{which});
}

void T2LongintList::DoubleSort(T2LongintField first, T2LongintField second) {
  if (first == second) return SortDefault(first);
  SortOnFields<T2LongIntHolder>(*this, k2Fields, std::array<unsigned, 2>{first, second});
}

T3LongintList::T3LongintList() : TUsefulBaseListSorts(ClassOf<T3LongIntHolder>()) {}
T3LongintList::~T3LongintList() = default;

int32_t T3LongintList::AddOne(const T3_longint_rec& rec) { return AppendNew<T3LongIntHolder>(*this, rec); }

T3_longint_rec T3LongintList::GetATriple(int32_t index) const noexcept {
  const auto* h = HolderAt<T3LongIntHolder>(*this, index);
  return h ? h->data : T3_longint_rec{-1, -1, -1};
}

void T3LongintList::SetATriple(int32_t index, const T3_longint_rec& rec) noexcept {
  if (auto* h = HolderAt<T3LongIntHolder>(*this, index)) h->data = rec;
}

int32_t T3LongintList::LongIndexOf(int32_t n, T3LongintField which) {
  return FieldIndexOf<T3LongIntHolder>(*this, k3Fields, n, which);
}

void T3LongintList::AddToOneFreq(int32_t index, int32_t freq, T3LongintField which) noexcept {
  AddToField<T3LongIntHolder>(*this, k3Fields, index, freq, which);
}

void T3LongintList::IncOne(int32_t index, T3LongintField which) noexcept { AddToOneFreq(index, 1, which); }

void T3LongintList::SortDefault(T3LongintField which) {
  SortOnFields<T3LongIntHolder>(*this, k3Fields, std::array<unsigned, 1>{which});
}

void T3LongintList::DoubleSort(T3LongintField first, T3LongintField second) {
  if (first == second) return SortDefault(first);
  SortOnFields<T3LongIntHolder>(*this, k3Fields, std::array<unsigned, 2>{first, second});
}

void T3LongintList::TripleSort(T3LongintField first, T3LongintField second, T3LongintField third) {
  if (first == second) return;
  if (third == first || third == second) return DoubleSort(first, second);
  SortOnFields<T3LongIntHolder>(*this, k3Fields, std::array<unsigned, 3>{first, second, third});
}

T4LongintList::T4LongintList() : TUsefulBaseListSorts(ClassOf<T4LongIntHolder>()) {}
T4LongintList::~T4LongintList() = default;

int32_t T4LongintList::AddOne(const T4_longint_rec& rec) { return AppendNew<T4LongIntHolder>(*this, rec); }

T4_longint_rec T4LongintList::GetAQuad(int32_t index) const noexcept {
  const auto* h = HolderAt<T4LongIntHolder>(*this, index);
  return h ? h->data : T4_longint_rec{-1, -1, -1, -1};
}

void T4LongintList::SetAQuad(int32_t index, const T4_longint_rec& rec) noexcept {
  if (auto* h = HolderAt<T4LongIntHolder>(*this, index)) h->data = rec;
}

int32_t T4LongintList::LongIndexOf(int32_t n, T4LongintField which) {
  return FieldIndexOf<T4LongIntHolder>(*this, k4Fields, n, which);
}

void T4LongintList::AddToOneFreq(int32_t index, int32_t freq, T4LongintField which) noexcept {
  AddToField<T4LongIntHolder>(*this, k4Fields, index, freq, which);
}

void T4LongintList::IncOne(int32_t index, T4LongintField which) noexcept { AddToOneFreq(index, 1, which); }

void T4LongintList::SortDefault(T4LongintField which) {
  SortOnFields<T4LongIntHolder>(*this, k4Fields, std::array<unsigned, 1>{which});
}

void T4LongintList::DoubleSort(T4LongintField first, T4LongintField second) {
  if (first == second) return SortDefault(first);
  SortOnFields<T4LongIntHolder>(*this, k4Fields, std::array<unsigned, 2>{first, second});
}

void T4LongintList::TripleSort(T4LongintField first, T4LongintField second, T4LongintField third) {
  if (first == second) return DoubleSort(first, third);
  if (third == first || third == second) return DoubleSort(first, second);
  SortOnFields<T4LongIntHolder>(*this, k4Fields, std::array<unsigned, 3>{first, second, third});
}

// ---------------------------------------------------------------------------
// TDoublePointerList

TDoublePointerList::TDoublePointerList() : TUsefulBaseList(ClassOf<TDoublePointerHolder>()) {}
TDoublePointerList::~TDoublePointerList() = default;

int32_t TDoublePointerList::AddOne(const T2_Pointer& rec) {
  return AppendNew<TDoublePointerHolder>(*this, rec);
}

T2_Pointer TDoublePointerList::GetADoublePointer(int32_t index) const noexcept {
  const auto* h = HolderAt<TDoublePointerHolder>(*this, index);
  return h ? h->data : T2_Pointer{};
}

void TDoublePointerList::SetADoublePointer(int32_t index, const T2_Pointer& rec) noexcept {
  if (auto* h = HolderAt<TDoublePointerHolder>(*this, index)) h->data = rec;
}

// ---------------------------------------------------------------------------
// T2StringsAnd2IntegersList

T2StringsAnd2IntegersList::T2StringsAnd2IntegersList()
    : TUsefulBaseList(ClassOf<T2StringsAnd2IntegersHolder, 16>()) {}
T2StringsAnd2IntegersList::~T2StringsAnd2IntegersList() = default;

int32_t T2StringsAnd2IntegersList::AddOne(const T2StringsAnd2IntegersRec& rec) {
  return AppendNew<T2StringsAnd2IntegersHolder>(*this, rec);
}

T2StringsAnd2IntegersRec T2StringsAnd2IntegersList::GetTwoStringsAndInt(int32_t index) const {
  const auto* h = HolderAt<T2StringsAnd2IntegersHolder>(*this, index);
  return h ? h->data : T2StringsAnd2IntegersRec{};
}

// ---------------------------------------------------------------------------
// TStringColumnAndColourList

TStringColumnAndColourList::TStringColumnAndColourList()
    : TUsefulBaseList(ClassOf<TStringTrueColumnAndColourHolder, 12>()) {}
TStringColumnAndColourList::~TStringColumnAndColourList() = default;

int32_t TStringColumnAndColourList::AddOne(const TStringTrueColumnAndColourRec& rec) {
  return AppendNew<TStringTrueColumnAndColourHolder>(*this, rec);
}

std::u16string TStringColumnAndColourList::GetString(int32_t index) const {
  const auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index);
  return h ? h->data.s : std::u16string();
}

int32_t TStringColumnAndColourList::GetTrueColumn(int32_t index) const noexcept {
  const auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index);
  return h ? h->data.true_column_number : 0;
}

int32_t TStringColumnAndColourList::GetBackgroundColour(int32_t index) const noexcept {
  const auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index);
  return h ? h->data.background_colour : 0;
}

TStringTrueColumnAndColourRec TStringColumnAndColourList::GetRec(int32_t index) const {
  const auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index);
  return h ? h->data : TStringTrueColumnAndColourRec{};
}

void TStringColumnAndColourList::SetString(int32_t index, std::u16string_view s) {
  if (auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index)) h->data.s = s;
}

void TStringColumnAndColourList::SetTrueColumn(int32_t index, int32_t truecol) noexcept {
  if (auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index))
    h->data.true_column_number = truecol;
}

void TStringColumnAndColourList::SetBackgroundColour(int32_t index, int32_t colour) noexcept {
  if (auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index))
    h->data.background_colour = colour;
}

void TStringColumnAndColourList::SetRec(int32_t index, const TStringTrueColumnAndColourRec& rec) {
  if (auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, index)) h->data = rec;
}

int32_t TStringColumnAndColourList::IndexOfTrueColumn(int32_t truecol) const noexcept {
  for (int32_t i = 0; i < Count(); ++i) {
    const auto* h = HolderAt<TStringTrueColumnAndColourHolder>(*this, i);
    if (h != nullptr && h->data.true_column_number == truecol) return i;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// TWordFreqAndSourceNumList

TWordFreqAndSourceNumList::TWordFreqAndSourceNumList()
    : TUsefulBaseListSorts(ClassOf<TWordFreqAndSourceNumHolder>()) {}
TWordFreqAndSourceNumList::~TWordFreqAndSourceNumList() = default;

int32_t TWordFreqAndSourceNumList::AddOne(const TWordFreqAndSourceNum& rec) {
  return AppendNew<TWordFreqAndSourceNumHolder>(*this, rec);
}

TWordFreqAndSourceNum TWordFreqAndSourceNumList::GetOne(int32_t index) const {
  const auto* h = HolderAt<TWordFreqAndSourceNumHolder>(*this, index);
  return h ? h->data : TWordFreqAndSourceNum{};
}

TWordFreqAndSourceNum TWordFreqAndSourceNumList::GetNext() {
  TWordFreqAndSourceNum rec = GetOne(this_);
  if (this_ < std::numeric_limits<int32_t>::max()) ++this_;
  return rec;
}

int32_t TWordFreqAndSourceNumList::HighestFrequency() const noexcept {
  bool any = false;
  int32_t highest = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    const auto* h = HolderAt<TWordFreqAndSourceNumHolder>(*this, i);
    if (h == nullptr) continue;
    if (!any || h->data.f > highest) highest = h->data.f;
    any = true;
  }
  return highest;
}

void TWordFreqAndSourceNumList::SortOnFreqs() {
  SortSlots(*this, [](void* a, void* b) {
    const auto* x = HolderOf<TWordFreqAndSourceNumHolder>(a);
    const auto* y = HolderOf<TWordFreqAndSourceNumHolder>(b);
    return CompareLongints(y ? y->data.f : 0, x ? x->data.f : 0);
  });
}

void TWordFreqAndSourceNumList::Clear() {
  TUsefulBaseListSorts::Clear();
  this_ = 0;
}

// ---------------------------------------------------------------------------
// TSmallintList

TSmallintList::TSmallintList() = default;
TSmallintList::~TSmallintList() { TSmallintList::Clear(); }

void TSmallintList::Notify(void* item, TListNotification action) {
  if (action == TListNotification::lnDeleted && item != nullptr)
    delete static_cast<platform::TObject*>(item);
}

void TSmallintList::Clear() { TPointerList::Clear(); }

int32_t TSmallintList::AddOne(int16_t value) {
  auto holder = std::make_unique<TSmallIntHolder>(value);
  const int32_t index = Add(static_cast<platform::TObject*>(holder.get()));
  holder.release();
  return index;
}

int16_t TSmallintList::GetAValue(int32_t index) const noexcept {
  if (index < 0 || index >= Count() || List()[index] == nullptr) return 0;
  return static_cast<const TSmallIntHolder*>(static_cast<const platform::TObject*>(List()[index]))->int_;
}

bool TSmallintList::SaveToStream(platform::TStream& Stream) {
  for (int32_t i = 0; i < Count(); ++i) {
    MyYieldProcess();
    if (i >= Count()) break;
    if (List()[i] == nullptr) continue;
    if (!platform::TryPut<int16_t>(Stream, GetAValue(i))) return false;
  }
  return true;
}

bool TSmallintList::ReadFromStream(int32_t n, platform::TStream& Stream) {
  if (n < 0) RaiseFileReadError("ReadFromStream");
  // Room for the values the bytes left could hold, never for more: n may
  // promise more than the stream has.
  const int64_t held = std::min<int64_t>(n, std::max<int64_t>(Stream.Remaining(), 0) / 2);
  if (held > 0 && held <= std::numeric_limits<int32_t>::max() - Count()) {
    Reserve(Count() + static_cast<int32_t>(held));
  }
  for (int32_t i = 0; i < n; ++i) {
    MyYieldProcess();
    int16_t value = 0;
    if (!platform::TryGet<int16_t>(Stream, value)) return false;
    AddOne(value);
  }
  return true;
}

// ---------------------------------------------------------------------------
// TIndexCheckList

TIndexCheckList::TIndexCheckList() = default;
TIndexCheckList::~TIndexCheckList() = default;

}  // namespace qn
