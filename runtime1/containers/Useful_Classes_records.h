// The records of the typed lists, the holders that own them, and the string
// record of streams. Part of the typed list family (Useful_Classes.h).
//
// A holder owns one record in its field `data`; the holders that persist read
// and write their record in the lists' stream format.
//
// Field names that are C++ keywords carry a trailing underscore (`int_`,
// `long_`).
//
// Streams: holders that persist write their numbers as little-endian bytes and
// their strings as string records: a signed 32-bit length L in UTF-16 code
// units, then the L units, no terminator. ReadAString refuses L < 0 or L above
// the limit (global_string_safety_limit unless given) with EReadError
// "file read error : ReadAString" before allocating, and a length beyond the
// bytes left in the stream with EReadError "Stream read error".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Export.h"
#include "platform/Object.h"
#include "runtime1/containers/Useful_Classes_base.h"
#include "runtime1/text/My_search_flags.h"

namespace qn {

namespace platform {
class TStream;
}  // namespace platform

// ---------------------------------------------------------------------------
// Globals

// The largest string length (in code units) that ReadAString(Stream) accepts.
extern QN_API int32_t global_string_safety_limit;
// The flags ComparePWidechar and ComparePAnsichar pass to the locale-aware
// comparison (CompareString numbering; 0: the ordinary comparison).
extern QN_API uint32_t my_default_sort;

// ---------------------------------------------------------------------------
// Item records

struct T2_longint_rec {
  int32_t long0 = 0, long1 = 0;
  friend bool operator==(const T2_longint_rec&, const T2_longint_rec&) = default;
};
struct T3_longint_rec {
  int32_t long0 = 0, long1 = 0, long2 = 0;
  friend bool operator==(const T3_longint_rec&, const T3_longint_rec&) = default;
};
struct T4_longint_rec {
  int32_t long0 = 0, long1 = 0, long2 = 0, long3 = 0;
  friend bool operator==(const T4_longint_rec&, const T4_longint_rec&) = default;
};
struct Tdouble_cardinal_rec {
  uint32_t card1 = 0, card2 = 0;
  friend bool operator==(const Tdouble_cardinal_rec&, const Tdouble_cardinal_rec&) = default;
};
struct Ttriple_cardinal_rec {
  uint32_t card1 = 0, card2 = 0, card3 = 0;
  friend bool operator==(const Ttriple_cardinal_rec&, const Ttriple_cardinal_rec&) = default;
};
struct TIntegerAndSingleRec {
  int32_t int_ = 0;
  float s = 0;
  friend bool operator==(const TIntegerAndSingleRec&, const TIntegerAndSingleRec&) = default;
};
struct TIntegerAnd2CardinalsRec {
  int32_t freq = 0;
  Tdouble_cardinal_rec value;
  friend bool operator==(const TIntegerAnd2CardinalsRec&, const TIntegerAnd2CardinalsRec&) = default;
};
struct TIntegerAnd3CardinalsRec {
  int32_t freq = 0;
  Ttriple_cardinal_rec value;
  friend bool operator==(const TIntegerAnd3CardinalsRec&, const TIntegerAnd3CardinalsRec&) = default;
};
struct TCardinalAndFreq {
  uint32_t c = 0;
  int32_t f = 0;
  friend bool operator==(const TCardinalAndFreq&, const TCardinalAndFreq&) = default;
};
struct T2StringsAnd2IntegersRec {
  int32_t int1 = 0, int2 = 0;
  std::u16string s1, s2;
  friend bool operator==(const T2StringsAnd2IntegersRec&, const T2StringsAnd2IntegersRec&) = default;
};
struct T2StringsAndIntegerRec {
  int32_t int_ = 0;
  std::u16string s1, s2;
  friend bool operator==(const T2StringsAndIntegerRec&, const T2StringsAndIntegerRec&) = default;
};
struct TWordFreqAndSourceNum {
  std::u16string w;
  int32_t f = 0, source_num = 0;
  friend bool operator==(const TWordFreqAndSourceNum&, const TWordFreqAndSourceNum&) = default;
};
struct T2_Pointer {
  void* p1 = nullptr;
  void* p2 = nullptr;
  friend bool operator==(const T2_Pointer&, const T2_Pointer&) = default;
};
struct TStringTrueColumnAndColourRec {
  int32_t true_column_number = 0, background_colour = 0;
  std::u16string s;
  friend bool operator==(const TStringTrueColumnAndColourRec&,
                         const TStringTrueColumnAndColourRec&) = default;
};
struct TSmall_and_long_rec {
  int16_t small = 0;
  int32_t long_ = 0;
  friend bool operator==(const TSmall_and_long_rec&, const TSmall_and_long_rec&) = default;
};
struct TPointerAnd2CardinalsRec {
  void* p = nullptr;
  uint32_t Item1 = 0, Item2 = 0;
  friend bool operator==(const TPointerAnd2CardinalsRec&, const TPointerAnd2CardinalsRec&) = default;
};
struct TIndexAndPointerRec {
  int32_t index = 0;
  void* p = nullptr;
  friend bool operator==(const TIndexAndPointerRec&, const TIndexAndPointerRec&) = default;
};

// One file found by a directory walk.
struct TMySearchRec {
  double DateTime = 0;           // last write, local time, days since 30 Dec 1899
  int32_t Size = 0;              // low 32 bits of the file size
  int32_t Attr = 0;              // file-attribute bits
  int16_t Number_Within_Zip = 0; // 0 for a plain file, 1 + entry index inside a zip
  std::u16string ShortName;
  friend bool operator==(const TMySearchRec&, const TMySearchRec&) = default;
};

// One file of a folder-efficient file list (Useful_Classes_filelist.h).
struct TMySimpleSearchRec {
  double DateTime = 0;        // days since 30 Dec 1899
  int32_t Size = 0;           // bytes
  int32_t folder_number = 0;  // index into the list's folders
  std::u16string ShortName;   // the file name without its folder
  friend bool operator==(const TMySimpleSearchRec&, const TMySimpleSearchRec&) = default;
};

// One plain search word of a simple search list (Useful_Classes_simplesearch.h).
struct TSimpleSearch_rec {
  std::u16string seek;  // the word without its decorations
  int32_t n_wanted = 0; // how many are wanted
  TMySearchFlags flags;
  friend bool operator==(const TSimpleSearch_rec&, const TSimpleSearch_rec&) = default;
};

// ---------------------------------------------------------------------------
// Holders: list items that own one record in `data`.

template <typename T>
class TDataHolder : public TUsefulBaseListObject {
 public:
  TDataHolder() = default;
  explicit TDataHolder(const T& value) : data(value) {}
  T data{};
};

// 4 bytes.
class QN_API TLongIntHolder : public TDataHolder<int32_t> {
 public:
  using TDataHolder::TDataHolder;
  ~TLongIntHolder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 4 bytes.
class QN_API TCardinalHolder : public TDataHolder<uint32_t> {
 public:
  using TDataHolder::TDataHolder;
  ~TCardinalHolder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 4 bytes.
class QN_API TSingleHolder : public TDataHolder<float> {
 public:
  using TDataHolder::TDataHolder;
  ~TSingleHolder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 8 bytes.
class QN_API TInt64Holder : public TDataHolder<int64_t> {
 public:
  using TDataHolder::TDataHolder;
  ~TInt64Holder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 8 bytes: int_, s.
class QN_API TIntegerAndSingleHolder : public TDataHolder<TIntegerAndSingleRec> {
 public:
  using TDataHolder::TDataHolder;
  ~TIntegerAndSingleHolder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 16 bytes: freq, card1, card2, card3.
class QN_API TIntegerAnd3CardinalsHolder : public TDataHolder<TIntegerAnd3CardinalsRec> {
 public:
  using TDataHolder::TDataHolder;
  ~TIntegerAnd3CardinalsHolder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 8 bytes: c, f.
class QN_API TCardinalAndFreqHolder : public TDataHolder<TCardinalAndFreq> {
 public:
  using TDataHolder::TDataHolder;
  ~TCardinalAndFreqHolder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 8 bytes int1, int2, then s1 and s2 as string records.
class QN_API T2StringsAnd2IntegersHolder : public TDataHolder<T2StringsAnd2IntegersRec> {
 public:
  using TDataHolder::TDataHolder;
  ~T2StringsAnd2IntegersHolder() override;
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// 8 bytes true_column_number, background_colour, then s as a string record.
class QN_API TStringTrueColumnAndColourHolder : public TDataHolder<TStringTrueColumnAndColourRec> {
 public:
  using TDataHolder::TDataHolder;
  ~TStringTrueColumnAndColourHolder() override;
  // A holder with every field zero and an empty string.
  static TStringTrueColumnAndColourHolder* CreateBlank();
  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};
// The holders below write nothing (their lists are not saved with items).
class QN_API T2LongIntHolder : public TDataHolder<T2_longint_rec> {
 public:
  using TDataHolder::TDataHolder;
  ~T2LongIntHolder() override;
};
class QN_API T3LongIntHolder : public TDataHolder<T3_longint_rec> {
 public:
  using TDataHolder::TDataHolder;
  ~T3LongIntHolder() override;
};
class QN_API T4LongIntHolder : public TDataHolder<T4_longint_rec> {
 public:
  using TDataHolder::TDataHolder;
  ~T4LongIntHolder() override;
};
class QN_API TDoublePointerHolder : public TDataHolder<T2_Pointer> {
 public:
  using TDataHolder::TDataHolder;
  ~TDoublePointerHolder() override;
};
class QN_API TWordFreqAndSourceNumHolder : public TDataHolder<TWordFreqAndSourceNum> {
 public:
  using TDataHolder::TDataHolder;
  ~TWordFreqAndSourceNumHolder() override;
};

// Stand-alone holders: used on their own or as the objects of string lists
// and pointer lists. They are TUsefulBaseListObjects too (writing nothing), so
// that an owning list of them can be a TUsefulBaseList.
class QN_API TPublicIntegerHolder : public TUsefulBaseListObject {
 public:
  TPublicIntegerHolder() = default;
  explicit TPublicIntegerHolder(int32_t value) : data(value) {}
  ~TPublicIntegerHolder() override;
  int32_t data = 0;
};
class QN_API TSmallIntHolder : public TUsefulBaseListObject {
 public:
  TSmallIntHolder() = default;
  explicit TSmallIntHolder(int16_t value) : int_(value) {}
  ~TSmallIntHolder() override;
  int16_t int_ = 0;
};
class QN_API TMySearchRecHolder : public TUsefulBaseListObject {
 public:
  TMySearchRecHolder() = default;
  explicit TMySearchRecHolder(TMySearchRec value) : data(std::move(value)) {}
  ~TMySearchRecHolder() override;
  TMySearchRec data;
};
class QN_API TMySimpleSearchRecHolder : public TUsefulBaseListObject {
 public:
  TMySimpleSearchRecHolder() = default;
  explicit TMySimpleSearchRecHolder(TMySimpleSearchRec value) : data(std::move(value)) {}
  ~TMySimpleSearchRecHolder() override;
  TMySimpleSearchRec data;
};
class QN_API TSimpleSearchHolder : public TUsefulBaseListObject {
 public:
  TSimpleSearchHolder() = default;
  explicit TSimpleSearchHolder(TSimpleSearch_rec value) : data(std::move(value)) {}
  ~TSimpleSearchHolder() override;
  TSimpleSearch_rec data;
};

// ---------------------------------------------------------------------------
// The string record. WriteAString raises the stream's write error; it returns
// true once the record is written.
QN_API bool WriteAString(platform::TStream& Stream, std::u16string_view s);
QN_API std::u16string ReadAString(platform::TStream& Stream);
QN_API std::u16string ReadAString(platform::TStream& Stream, int32_t limit);

}  // namespace qn
