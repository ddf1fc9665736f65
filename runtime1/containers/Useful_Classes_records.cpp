#include "runtime1/containers/Useful_Classes_records.h"

#include <limits>

#include "platform/Exceptions.h"
#include "platform/Streams.h"

namespace qn {

int32_t global_string_safety_limit = 5000;
uint32_t my_default_sort = 0;

// ---------------------------------------------------------------------------
// The string record

bool WriteAString(platform::TStream& Stream, std::u16string_view s) {
  if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw EWriteError("Stream write error");
  platform::Put<int32_t>(Stream, static_cast<int32_t>(s.size()));
  platform::PutUnits(Stream, s);
  return true;
}

std::u16string ReadAString(platform::TStream& Stream, int32_t limit) {
  // The length is checked against the limit and against the bytes left in the
  // stream before anything is allocated.
  return platform::GetString32(Stream, limit, "ReadAString");
}

std::u16string ReadAString(platform::TStream& Stream) {
  return ReadAString(Stream, global_string_safety_limit);
}

namespace {

// Reads a fixed-size record image whole; false (nothing decoded) on a short read.
template <size_t N>
bool ReadImage(platform::TStream& Stream, uint8_t (&bytes)[N]) {
  return Stream.Read(bytes, N) == static_cast<int64_t>(N);
}

template <size_t N>
bool WriteImage(platform::TStream& Stream, const uint8_t (&bytes)[N]) {
  return Stream.Write(bytes, N) == static_cast<int64_t>(N);
}

// Reads a string record for a holder: a malformed or short record is a failed
// read, not an error passed on.
bool TryReadAString(platform::TStream& Stream, std::u16string& s) {
  try {
    s = ReadAString(Stream);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TryWriteAString(platform::TStream& Stream, std::u16string_view s) {
  try {
    return WriteAString(Stream, s);
  } catch (const Exception&) {
    return false;
  }
}

using platform::GetLE;
using platform::PutLE;

}  // namespace

// ---------------------------------------------------------------------------
// Holders

TLongIntHolder::~TLongIntHolder() = default;
bool TLongIntHolder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[4];
  if (!ReadImage(Stream, b)) return false;
  data = GetLE<int32_t>(b);
  return true;
}
bool TLongIntHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[4];
  PutLE(b, data);
  return WriteImage(Stream, b);
}

TCardinalHolder::~TCardinalHolder() = default;
bool TCardinalHolder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[4];
  if (!ReadImage(Stream, b)) return false;
  data = GetLE<uint32_t>(b);
  return true;
}
bool TCardinalHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[4];
  PutLE(b, data);
  return WriteImage(Stream, b);
}

TSingleHolder::~TSingleHolder() = default;
bool TSingleHolder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[4];
  if (!ReadImage(Stream, b)) return false;
  data = GetLE<float>(b);
  return true;
}
bool TSingleHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[4];
  PutLE(b, data);
  return WriteImage(Stream, b);
}

TInt64Holder::~TInt64Holder() = default;
bool TInt64Holder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[8];
  if (!ReadImage(Stream, b)) return false;
  data = GetLE<int64_t>(b);
  return true;
}
bool TInt64Holder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[8];
  PutLE(b, data);
  return WriteImage(Stream, b);
}

TIntegerAndSingleHolder::~TIntegerAndSingleHolder() = default;
bool TIntegerAndSingleHolder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[8];
  if (!ReadImage(Stream, b)) return false;
  data.int_ = GetLE<int32_t>(b);
  data.s = GetLE<float>(b + 4);
  return true;
}
bool TIntegerAndSingleHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[8];
  PutLE(b, data.int_);
  PutLE(b + 4, data.s);
  return WriteImage(Stream, b);
}

TIntegerAnd3CardinalsHolder::~TIntegerAnd3CardinalsHolder() = default;
bool TIntegerAnd3CardinalsHolder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[16];
  if (!ReadImage(Stream, b)) return false;
  data.freq = GetLE<int32_t>(b);
  data.value.card1 = GetLE<uint32_t>(b + 4);
  data.value.card2 = GetLE<uint32_t>(b + 8);
  data.value.card3 = GetLE<uint32_t>(b + 12);
  return true;
}
bool TIntegerAnd3CardinalsHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[16];
  PutLE(b, data.freq);
  PutLE(b + 4, data.value.card1);
  PutLE(b + 8, data.value.card2);
  PutLE(b + 12, data.value.card3);
  return WriteImage(Stream, b);
}

TCardinalAndFreqHolder::~TCardinalAndFreqHolder() = default;
bool TCardinalAndFreqHolder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[8];
  if (!ReadImage(Stream, b)) return false;
  data.c = GetLE<uint32_t>(b);
  data.f = GetLE<int32_t>(b + 4);
  return true;
}
bool TCardinalAndFreqHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[8];
  PutLE(b, data.c);
  PutLE(b + 4, data.f);
  return WriteImage(Stream, b);
}

T2StringsAnd2IntegersHolder::~T2StringsAnd2IntegersHolder() = default;
bool T2StringsAnd2IntegersHolder::ReadFromStream(platform::TStream& Stream) {
  // Decoded into a copy and kept only when the whole record was read, so a
  // failed read leaves the holder as it was.
  uint8_t b[8];
  if (!ReadImage(Stream, b)) return false;
  T2StringsAnd2IntegersRec rec;
  rec.int1 = GetLE<int32_t>(b);
  rec.int2 = GetLE<int32_t>(b + 4);
  if (!TryReadAString(Stream, rec.s1) || !TryReadAString(Stream, rec.s2)) return false;
  data = std::move(rec);
  return true;
}
bool T2StringsAnd2IntegersHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[8];
  PutLE(b, data.int1);
  PutLE(b + 4, data.int2);
  return WriteImage(Stream, b) && TryWriteAString(Stream, data.s1) &&
         TryWriteAString(Stream, data.s2);
}

TStringTrueColumnAndColourHolder::~TStringTrueColumnAndColourHolder() = default;
TStringTrueColumnAndColourHolder* TStringTrueColumnAndColourHolder::CreateBlank() {
  return new TStringTrueColumnAndColourHolder();
}
bool TStringTrueColumnAndColourHolder::ReadFromStream(platform::TStream& Stream) {
  uint8_t b[8];
  if (!ReadImage(Stream, b)) return false;
  TStringTrueColumnAndColourRec rec;
  rec.true_column_number = GetLE<int32_t>(b);
  rec.background_colour = GetLE<int32_t>(b + 4);
  if (!TryReadAString(Stream, rec.s)) return false;
  data = std::move(rec);
  return true;
}
bool TStringTrueColumnAndColourHolder::SaveToStream(platform::TStream& Stream) {
  uint8_t b[8];
  PutLE(b, data.true_column_number);
  PutLE(b + 4, data.background_colour);
  return WriteImage(Stream, b) && TryWriteAString(Stream, data.s);
}

T2LongIntHolder::~T2LongIntHolder() = default;
T3LongIntHolder::~T3LongIntHolder() = default;
T4LongIntHolder::~T4LongIntHolder() = default;
TDoublePointerHolder::~TDoublePointerHolder() = default;
TWordFreqAndSourceNumHolder::~TWordFreqAndSourceNumHolder() = default;
TPublicIntegerHolder::~TPublicIntegerHolder() = default;
TSmallIntHolder::~TSmallIntHolder() = default;
TMySearchRecHolder::~TMySearchRecHolder() = default;
TMySimpleSearchRecHolder::~TMySimpleSearchRecHolder() = default;
TSimpleSearchHolder::~TSimpleSearchHolder() = default;

}  // namespace qn
