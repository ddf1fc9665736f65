#include "runtime1/definitions/Wdef_lists.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "platform/Exceptions.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/definitions/Stored_record_bytes.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {

using platform::GetLE;
using platform::PutLE;

// ---------------------------------------------------------------------------
// Sections
// ---------------------------------------------------------------------------

TSectionStartHolder::~TSectionStartHolder() = default;

TSectionStartsList::~TSectionStartsList() { Clear(); }

void TSectionStartsList::Notify(void* item, TListNotification action) {
  if (action == TListNotification::lnDeleted) delete static_cast<TSectionStartHolder*>(item);
}

void TSectionStartsList::Clear() { TPointerList::Clear(); }

int32_t TSectionStartsList::AddOne(const TSectionTagRec& rec) { return Add(new TSectionStartHolder(rec)); }

TSectionTagRec TSectionStartsList::GetASection(int32_t index) const {
  if (index < 0 || index >= Count()) return {-1, u""};
  return static_cast<const TSectionStartHolder*>(Get(index))->data;
}

bool TSectionStartsList::SaveToStream(platform::TStream& stream) {
  try {
    platform::Put<int32_t>(stream, Count());
    for (int32_t i = 0; i < Count(); ++i) {
      const TSectionTagRec& rec = static_cast<const TSectionStartHolder*>(Get(i))->data;
      platform::Put<int32_t>(stream, rec.start_byte_position);
      WriteAString(stream, rec.w);
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TSectionStartsList::ReadFromStream(platform::TStream& stream) {
  // The least a section takes: its start and an empty name's length.
  constexpr int64_t kLeastSectionBytes = 8;
  int32_t count = 0;
  if (!platform::TryGet(stream, count)) return false;
  if (count < 0 || count > stream.Remaining() / kLeastSectionBytes) return false;
  try {
    for (int32_t i = 0; i < count; ++i) {
      TSectionTagRec rec;
      if (!platform::TryGet(stream, rec.start_byte_position)) return false;
      rec.w = ReadAString(stream);
      AddOne(rec);
    }
    return true;
  } catch (const EReadError&) {
    return false;
  }
}

bool TSectionStartsList::SaveToFile(std::u16string_view filename) {
  try {
    platform::TMemoryStream memory;
    TCheckSignature header;
    if (!DiskSignatureISOKForToolAndList(header, current_tool_var, lt_sections_list, memory, writing)) return false;
    if (!SaveToStream(memory)) return false;
    platform::WriteFileSafely(filename, memory.Bytes());
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TSectionStartsList::ReadFromFile(std::u16string_view filename) {
  try {
    platform::TFileStream file(filename, platform::fmOpenRead | platform::fmShareDenyNone);
    TCheckSignature header;
    if (!DiskSignatureISOKForToolAndList(header, current_tool_var, lt_sections_list, file, reading)) return false;
    return ReadFromStream(file);
  } catch (const Exception&) {
    return false;
  }
}

std::u16string TSectionStartsList::SectionFromBytePosition(int32_t count_from, int32_t byte_position,
                                                           int32_t& index) const {
  index = 0;
  int32_t found = -1;
  for (int32_t i = std::max(count_from, 0); i < Count(); ++i) {
    if (static_cast<const TSectionStartHolder*>(Get(i))->data.start_byte_position > byte_position) break;
    found = i;
  }
  if (found < 0) return u"";
  index = found;
  return static_cast<const TSectionStartHolder*>(Get(found))->data.w;
}

// ---------------------------------------------------------------------------
// Font switch records
// ---------------------------------------------------------------------------

void TExtraFontRecOld::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  PutLE(&out[0], switch_on_at_char);
  PutLE(&out[4], switch_off_at_char);
  colour_rec.ToBytes(out.subspan<8, TMyCanvasColourRec::kStoredSize>());
  out[24] = spare_typefaces.Bits();
  PutBytes(&out[25], padding);
}

TExtraFontRecOld TExtraFontRecOld::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TExtraFontRecOld rec;
  rec.switch_on_at_char = GetLE<int32_t>(&in[0]);
  rec.switch_off_at_char = GetLE<int32_t>(&in[4]);
  rec.colour_rec = TMyCanvasColourRec::FromBytes(in.subspan<8, TMyCanvasColourRec::kStoredSize>());
  rec.spare_typefaces = TTypefaceSet::FromBits(in[24]);
  GetBytes(&in[25], rec.padding);
  return rec;
}

static_assert(8 + TMyCanvasColourRec::kStoredSize == 24 && 25 + 3 == TExtraFontRecOld::kStoredSize);

void TExtraFontRec::ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept {
  basics.ToBytes(out.subspan<0, TExtraFontRecOld::kStoredSize>());
  PutLE(&out[28], Colouring_word_instead_of_tag);
  PutLE(&out[29], default_);
  out[30] = applies_to;
  out[31] = default_typeface.Bits();
  out[32] = highlight_typeface.Bits();
  PutBytes(&out[33], spare_determined);
  PutInts(&out[36], spareInts);
}

TExtraFontRec TExtraFontRec::FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept {
  TExtraFontRec rec;
  rec.basics = TExtraFontRecOld::FromBytes(in.subspan<0, TExtraFontRecOld::kStoredSize>());
  rec.Colouring_word_instead_of_tag = GetLE<bool>(&in[28]);
  rec.default_ = GetLE<bool>(&in[29]);
  rec.applies_to = static_cast<TExtraFontCategory>(in[30]);
  rec.default_typeface = TTypefaceSet::FromBits(in[31]);
  rec.highlight_typeface = TTypefaceSet::FromBits(in[32]);
  GetBytes(&in[33], rec.spare_determined);
  GetInts(&in[36], rec.spareInts);
  return rec;
}

static_assert(33 + 3 == 36 && 36 + 9 * 4 == TExtraFontRec::kStoredSize);

TExtraFontCategory ExtraFontCategoryOf(const TExtraFontRec& rec) noexcept {
  return rec.applies_to < kExtraFontCategoryCount ? rec.applies_to : efc_unknown;
}

TTypefaceSet KnownTypefaces(TTypefaceSet set) noexcept { return TTypefaceSet::FromBits(set.Bits() & 0x0F); }

bool SetsATypeface(const TExtraFontRec& rec) noexcept {
  return !KnownTypefaces(rec.default_typeface).Empty() || !KnownTypefaces(rec.highlight_typeface).Empty();
}

// ---------------------------------------------------------------------------
// Font switch list
// ---------------------------------------------------------------------------

TExtraFontHolder::~TExtraFontHolder() = default;

TExtraFontList::~TExtraFontList() { Clear(); }

void TExtraFontList::Notify(void* item, TListNotification action) {
  if (action == TListNotification::lnDeleted) delete static_cast<TExtraFontHolder*>(item);
}

void TExtraFontList::NoteTypefaces(const TExtraFontRec& rec) noexcept {
  if (SetsATypeface(rec)) insert_space_between_words = true;
}

int32_t TExtraFontList::AddOne(const TExtraFontRec& rec) {
  NoteTypefaces(rec);
  fSortedOnStarts = false;
  return Add(new TExtraFontHolder(rec));
}

void TExtraFontList::SetAFontFrec(int32_t index, const TExtraFontRec& rec) {
  if (index < 0 || index >= Count()) return;
  NoteTypefaces(rec);
  fSortedOnStarts = false;
  static_cast<TExtraFontHolder*>(Get(index))->data = rec;
}

TExtraFontRec TExtraFontList::GetAFontFrec(int32_t index) const {
  if (index < 0 || index >= Count()) return {};
  return static_cast<const TExtraFontHolder*>(Get(index))->data;
}

void TExtraFontList::Delete(int32_t index) {
  if (index < 0 || index >= Count()) return;
  fSortedOnStarts = false;
  T3SortYieldingList::Delete(index);
}

void TExtraFontList::Clear() {
  fSortedOnStarts = false;
  T3SortYieldingList::Clear();
}

int32_t TExtraFontList::IndexOfStart(int32_t startpoint) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const int32_t start = static_cast<const TExtraFontHolder*>(Get(i))->data.basics.switch_on_at_char;
    if (start == startpoint) return i;
    if (fSortedOnStarts && start > startpoint) break;
  }
  return -1;
}

int32_t TExtraFontList::IndexOfStartAndEnd(int32_t startpoint, int32_t endpoint) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const TExtraFontRecOld& b = static_cast<const TExtraFontHolder*>(Get(i))->data.basics;
    const bool startIn = b.switch_on_at_char >= startpoint && b.switch_on_at_char <= endpoint;
    const bool endIn = b.switch_off_at_char < 0 || (b.switch_off_at_char >= startpoint && b.switch_off_at_char <= endpoint);
    if (startIn && endIn) return i;
  }
  return -1;
}

void TExtraFontList::SetBase(void* P, int32_t /*sortvar*/) {
  fBaseStart = static_cast<const TExtraFontHolder*>(P)->data.basics.switch_on_at_char;
}

int32_t TExtraFontList::CompareStart(void* a) {
  const int32_t start = static_cast<const TExtraFontHolder*>(a)->data.basics.switch_on_at_char;
  if (start == fBaseStart) return 0;
  return AscendingSwapped(start < fBaseStart ? 1 : -1);
}

void TExtraFontList::SortOnStartpoints() {
  SetAscending(true, true, true);
  DoASingleSort(TCompareFunctOfObject::Bind<&TExtraFontList::CompareStart>(this), 0);
  fSortedOnStarts = true;
}

bool TExtraFontList::XSaveToStream(platform::TStream& stream, int32_t /*aWorkBaseVersionNumber*/) {
  fEFVersion = std::max(fEFVersion, 3);
  try {
    platform::Put<int32_t>(stream, Count());
    platform::Put<int32_t>(stream, fEFVersion);
    std::array<uint8_t, TExtraFontRec::kStoredSize> image;
    for (int32_t i = 0; i < Count(); ++i) {
      static_cast<const TExtraFontHolder*>(Get(i))->data.ToBytes(image);
      stream.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TExtraFontList::XReadFromStream(platform::TStream& stream, int32_t aWorkBaseVersionNumber) {
  insert_space_between_words = false;
  int32_t stored = 0;
  if (!platform::TryGet(stream, stored)) return false;
  int64_t count = stored;
  if (aWorkBaseVersionNumber >= 20) {
    count = stored < 0 ? -static_cast<int64_t>(stored) : count;
    if (!platform::TryGet(stream, fEFVersion)) return false;
  } else {
    fEFVersion = 0;
    count = std::max<int64_t>(count, 0);
  }
  const int64_t size = fEFVersion != 0 ? TExtraFontRec::kStoredSize : TExtraFontRecOld::kStoredSize;
  if (count > stream.Remaining() / size) return false;
  std::array<uint8_t, TExtraFontRec::kStoredSize> image;
  for (int64_t i = 0; i < count; ++i) {
    image.fill(0);
    const auto part = std::span<uint8_t>(image.data(), static_cast<size_t>(size));
    if (ReadRecordBytes(stream, part) != part.size()) return false;
    TExtraFontRec rec = TExtraFontRec::FromBytes(image);
    if (fEFVersion < 3) {
      rec.default_typeface = rec.basics.spare_typefaces;
      rec.highlight_typeface = rec.basics.spare_typefaces;
    }
    AddOne(rec);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Timing
// ---------------------------------------------------------------------------

platform::TDateTime Global_StartTime = 0;

void StartTiming() { Global_StartTime = platform::Now(); }

double ElapsedTime(bool restart) {
  const double elapsed = platform::Now() - Global_StartTime;
  if (restart) StartTiming();
  return elapsed;
}

int32_t SecondsSinceGlobalStartTime() {
  const double seconds = std::floor(ElapsedTime(false) * 86400.0 + 1e-6);
  if (!(seconds > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (seconds >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(seconds);
}

double EstimateOfTimeRemainingAfter(double elapsed, int64_t done, int64_t total) noexcept {
  if (done <= 0 || total <= 0 || !std::isfinite(elapsed)) return 0;
  const double estimate = elapsed * static_cast<double>(total) / static_cast<double>(done) - elapsed;
  return estimate > 0 ? estimate : 0;
}

double EstimateOfTimeRemaining(int64_t done, int64_t total) {
  return EstimateOfTimeRemainingAfter(ElapsedTime(false), done, total);
}

std::u16string MessageOfTimeRemaining(double estimate) {
  // Whole seconds of the estimate (milliseconds rounded first, as a time of
  // day is decoded), capped far beyond any real estimate.
  constexpr double kMaxSeconds = 1e12;
  double seconds = 0;
  if (estimate > 0) seconds = std::min(std::floor(std::round(estimate * 86400000.0) / 1000.0), kMaxSeconds);
  const auto whole = static_cast<int64_t>(seconds);
  const int64_t hours = whole / 3600;
  const int64_t minutes = whole % 3600 / 60;
  const int64_t secs = whole % 60;
  auto text = [](int64_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
  };
  if (hours == 0 && minutes == 0) return u"~ " + text(secs) + u"s to go";
  if (hours > 0) return u"~ " + text(hours) + u"h " + text(minutes) + u"m to go";
  return u"~ " + text(minutes) + u"m to go";
}

std::u16string MessageOfEstimatedTimeRemaining(int64_t done, int64_t total) {
  return MessageOfTimeRemaining(EstimateOfTimeRemaining(done, total));
}

}  // namespace qn
