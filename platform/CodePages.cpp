#include "platform/CodePages.h"

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include "platform/CodePageConverters.h"
#include "platform/CodePageList.h"
#include "platform/Locales.h"
#include "platform/UnitTables.h"

namespace qn::platform {

namespace {

std::atomic<uint32_t> gActiveCodePage{1252};
std::atomic<uint32_t> gUserLCID{0x0409};

constexpr char16_t kReplacement = 0xFFFD;
constexpr uint16_t kUnmappable = 0xFFFF;  // in encoding tables: no byte for this unit

const TCodePageInfo* InfoOf(uint32_t codePage) noexcept {
  for (const auto& info : kCodePages)
    if (info.number == codePage) return &info;
  return nullptr;
}

// Bytes that the ICU tables leave undefined but Windows decodes to private-use
// characters (and encodes back), so that such bytes survive a round trip.
struct TByteOverride {
  uint32_t codePage;
  unsigned char byte;
  char16_t unit;
};
constexpr TByteOverride kByteOverrides[] = {
    {1253, 0xD2, 0xF8FA}, {1253, 0xFF, 0xF8FB},
    {1255, 0xCA, 0x05BA}, {1255, 0xD9, 0xF88D}, {1255, 0xDA, 0xF88E}, {1255, 0xDB, 0xF88F},
    {1255, 0xDC, 0xF890}, {1255, 0xDD, 0xF891}, {1255, 0xDE, 0xF892}, {1255, 0xDF, 0xF893},
    {1255, 0xFB, 0xF894}, {1255, 0xFC, 0xF895}, {1255, 0xFF, 0xF896},
    {1257, 0xA1, 0xF8FC}, {1257, 0xA5, 0xF8FD},
    {852, 0xAA, 0x00AC},
    // Single bytes of 932 outside its lead-byte ranges.
    {932, 0x80, 0x0080}, {932, 0xA0, 0xF8F0}, {932, 0xFD, 0xF8F1}, {932, 0xFE, 0xF8F2},
    {932, 0xFF, 0xF8F3},
};

int OverrideOfByte(uint32_t codePage, unsigned char byte) noexcept {
  for (const auto& o : kByteOverrides)
    if (o.codePage == codePage && o.byte == byte) return o.unit;
  return -1;
}

int OverrideOfUnit(uint32_t codePage, UChar32 unit) noexcept {
  for (const auto& o : kByteOverrides)
    if (o.codePage == codePage && o.unit == unit) return o.byte;
  return -1;
}

// ---- ICU converters, one per code page and thread --------------------------

// What the callbacks do with a character they cannot convert.
struct TCallbackState {
  uint32_t codePage = 0;
  bool failOnError = false;  // stop instead of substituting
  bool sawError = false;     // some input was invalid or unmappable
  char substitute[4] = {'?', 0, 0, 0};
  int32_t substituteLength = 1;
};

void ToUnicodeCallback(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits,
                       int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone
  auto* state = static_cast<TCallbackState*>(const_cast<void*>(context));
  if (length == 1) {
    int unit = OverrideOfByte(state->codePage, static_cast<unsigned char>(codeUnits[0]));
    if (unit >= 0) {
      UChar u = UChar(unit);
      *err = U_ZERO_ERROR;
      ucnv_cbToUWriteUChars(args, &u, 1, 0, err);
      return;
    }
  }
  state->sawError = true;
  if (state->failOnError) return;  // leave the error code set: conversion stops
  *err = U_ZERO_ERROR;
  UChar replacement = kReplacement;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

void FromUnicodeCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                         UChar32 codePoint, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  auto* state = static_cast<TCallbackState*>(const_cast<void*>(context));
  if (reason == UCNV_UNASSIGNED) {
    int byte = OverrideOfUnit(state->codePage, codePoint);
    if (byte >= 0) {
      char b = static_cast<char>(byte);
      *err = U_ZERO_ERROR;
      ucnv_cbFromUWriteBytes(args, &b, 1, 0, err);
      return;
    }
  }
  state->sawError = true;
  if (state->failOnError) return;
  *err = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, state->substitute, state->substituteLength, 0, err);
}

struct TConverter {
  UConverter* converter = nullptr;
  TCallbackState state;
  ~TConverter() {
    if (converter) ucnv_close(converter);
  }
};

// Opened once per thread and code page: ICU converters carry state and are
// not to be shared between threads.
TConverter* ConverterFor(uint32_t codePage) {
  thread_local std::unordered_map<uint32_t, std::unique_ptr<TConverter>> converters;
  auto& slot = converters[codePage];
  if (!slot) {
    const TCodePageInfo* info = InfoOf(codePage);
    if (!info) return nullptr;
    auto converter = std::make_unique<TConverter>();
    UErrorCode status = U_ZERO_ERROR;
    converter->converter = ucnv_open(info->converter, &status);
    if (U_FAILURE(status) || !converter->converter) return nullptr;
    converter->state.codePage = codePage;
    ucnv_setToUCallBack(converter->converter, ToUnicodeCallback, &converter->state, nullptr, nullptr,
                        &status);
    ucnv_setFromUCallBack(converter->converter, FromUnicodeCallback, &converter->state, nullptr, nullptr,
                          &status);
    ucnv_setFallback(converter->converter, false);
    if (U_FAILURE(status)) return nullptr;
    slot = std::move(converter);
  }
  ucnv_reset(slot->converter);
  slot->state.failOnError = false;
  slot->state.sawError = false;
  slot->state.substitute[0] = '?';
  slot->state.substituteLength = 1;
  return slot.get();
}

// ---- single-byte tables ----------------------------------------------------

struct TSingleByteTables {
  std::array<char16_t, 256> decode;
  std::array<bool, 256> invalid;   // byte not defined in the code page

  // The byte of each code unit (kUnmappable for none): 64K entries, made when
  // the code page is first encoded to, since most runs only decode and filling
  // it was 128 KiB of memory faulted in.
  const uint16_t* Encode() const {
    std::call_once(fEncodeMade, [this] {
      std::unique_ptr<std::array<uint16_t, 0x10000>> encode(new std::array<uint16_t, 0x10000>);
      encode->fill(kUnmappable);
      for (int b = 0; b < 256; ++b) {
        char16_t unit = decode[b];
        if (!invalid[b] && (*encode)[unit] == kUnmappable) (*encode)[unit] = uint16_t(b);
      }
      fEncode = std::move(encode);
    });
    return fEncode->data();
  }

 private:
  mutable std::once_flag fEncodeMade;
  mutable std::unique_ptr<std::array<uint16_t, 0x10000>> fEncode;
};

const TByteDecoding* BuiltInByteDecoding(uint32_t codePage) noexcept {
  for (size_t i = 0; i < kBuiltInByteDecodingCount; ++i) {
    if (kBuiltInByteDecodings[i].codePage == codePage) return &kBuiltInByteDecodings[i].decoding;
  }
  return nullptr;
}

std::unique_ptr<TSingleByteTables> BuildSingleByteTables(uint32_t codePage, const char* name) {
  // Built into the library for every single-byte page; worked out with ICU
  // only should one be missing.
  TByteDecoding computed;
  const TByteDecoding* decoding = BuiltInByteDecoding(codePage);
  if (decoding == nullptr) {
    if (!ComputeByteDecoding(name, computed)) return nullptr;
    decoding = &computed;
  }
  auto tables = std::make_unique<TSingleByteTables>();
  for (int b = 0; b < 256; ++b) {
    tables->invalid[b] = false;
    if (decoding->defined[b]) {
      tables->decode[b] = decoding->units[b];
    } else {
      int override = OverrideOfByte(codePage, static_cast<unsigned char>(b));
      tables->decode[b] = override >= 0 ? char16_t(override) : kReplacement;
      tables->invalid[b] = override < 0;
    }
  }
  return tables;
}

const TSingleByteTables* SingleByteTables(uint32_t codePage) {
  const TCodePageInfo* info = InfoOf(codePage);
  if (!info || info->maxBytes != 1) return nullptr;
  thread_local uint32_t lastCodePage = 0;
  thread_local const TSingleByteTables* lastTables = nullptr;
  if (codePage == lastCodePage && lastTables) return lastTables;
  static std::mutex mutex;
  static std::unordered_map<uint32_t, std::unique_ptr<TSingleByteTables>> all;
  std::lock_guard<std::mutex> lock(mutex);
  auto& slot = all[codePage];
  if (!slot) slot = BuildSingleByteTables(codePage, info->converter);
  if (slot) {
    lastCodePage = codePage;
    lastTables = slot.get();
  }
  return slot.get();
}

// ---- UTF-8 -----------------------------------------------------------------

// Decodes UTF-8 into out (room for count units); returns the units written.
// Ill-formed sequences become U+FFFD, one per maximal ill-formed subpart.
// ICU's converter function is the fastest at hand; it counts in int32_t, so
// long input goes in chunks that end before a lead byte, never inside a
// sequence.
size_t DecodeUtf8(const unsigned char* s, size_t count, char16_t* out, bool* sawError) {
  constexpr size_t kChunk = size_t(1) << 30;
  size_t i = 0, o = 0;
  while (i < count) {
    size_t end = count - i > kChunk ? i + kChunk : count;
    if (end < count)
      for (int back = 0; back < 3 && end > i + 1 && (s[end] & 0xC0) == 0x80; ++back) --end;
    int32_t produced = 0, substitutions = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out + o), int32_t(end - i), &produced,
                         reinterpret_cast<const char*>(s + i), int32_t(end - i), kReplacement, &substitutions,
                         &status);
    if (U_FAILURE(status)) break;  // cannot happen: the room always suffices
    if (substitutions > 0 && sawError) *sawError = true;
    o += size_t(produced);
    i = end;
  }
  return o;
}

// Encodes UTF-16 as UTF-8 into out (room for 3 bytes per unit); a lone
// surrogate becomes U+FFFD.
size_t EncodeUtf8(const char16_t* text, size_t count, char* out) {
  size_t o = 0;
  for (size_t i = 0; i < count; ++i) {
    UChar32 c = text[i];
    if (c < 0x80) {
      out[o++] = char(c);
      continue;
    }
    if (U16_IS_SURROGATE(c)) {
      if (U16_IS_LEAD(c) && i + 1 < count && U16_IS_TRAIL(text[i + 1])) {
        c = U16_GET_SUPPLEMENTARY(c, text[i + 1]);
        ++i;
      } else {
        c = kReplacement;
      }
    }
    if (c < 0x800) {
      out[o++] = char(0xC0 | (c >> 6));
      out[o++] = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out[o++] = char(0xE0 | (c >> 12));
      out[o++] = char(0x80 | ((c >> 6) & 0x3F));
      out[o++] = char(0x80 | (c & 0x3F));
    } else {
      out[o++] = char(0xF0 | (c >> 18));
      out[o++] = char(0x80 | ((c >> 12) & 0x3F));
      out[o++] = char(0x80 | ((c >> 6) & 0x3F));
      out[o++] = char(0x80 | (c & 0x3F));
    }
  }
  return o;
}

// ---- the general paths -----------------------------------------------------

constexpr size_t kIcuChunk = size_t(1) << 30;  // ICU counts in int32_t

// Decodes with an ICU converter into out (room for count units). Returns the
// units written; false in *ok when failOnError is set and input was invalid.
size_t DecodeWithIcu(uint32_t codePage, const char* bytes, size_t count, char16_t* out, bool failOnError,
                     bool* sawError) {
  TConverter* converter = ConverterFor(codePage);
  if (!converter) return 0;
  converter->state.failOnError = failOnError;
  UChar* target = reinterpret_cast<UChar*>(out);
  UChar* targetLimit = target + count;
  const char* source = bytes;
  const char* end = bytes + count;
  while (true) {
    const char* chunkEnd = size_t(end - source) > kIcuChunk ? source + kIcuChunk : end;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter->converter, &target, targetLimit, &source, chunkEnd, nullptr,
                   chunkEnd == end, &status);
    if (U_FAILURE(status)) break;
    if (chunkEnd == end) break;
  }
  if (sawError) *sawError = converter->state.sawError;
  return size_t(target - reinterpret_cast<UChar*>(out));
}

// Encodes with an ICU converter, appending to out.
void EncodeWithIcu(uint32_t codePage, const char16_t* text, size_t count, std::string& out,
                   const char* substitute, int32_t substituteLength, bool failOnError, bool* sawError) {
  TConverter* converter = ConverterFor(codePage);
  if (!converter) return;
  converter->state.failOnError = failOnError;
  if (substitute && substituteLength > 0 && substituteLength <= 4) {
    std::memcpy(converter->state.substitute, substitute, size_t(substituteLength));
    converter->state.substituteLength = substituteLength;
  }
  size_t start = out.size();
  size_t maxBytes = size_t(InfoOf(codePage)->maxBytes) * count + 4 * size_t(substituteLength > 0 ? substituteLength : 1);
  out.resize(start + maxBytes + 16);
  char* target = out.data() + start;
  char* targetLimit = out.data() + out.size();
  const UChar* source = reinterpret_cast<const UChar*>(text);
  const UChar* end = source + count;
  while (true) {
    const UChar* chunkEnd = size_t(end - source) > kIcuChunk ? source + kIcuChunk : end;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(converter->converter, &target, targetLimit, &source, chunkEnd, nullptr,
                     chunkEnd == end, &status);
    if (U_FAILURE(status)) break;
    if (chunkEnd == end) break;
  }
  out.resize(size_t(target - out.data()));
  if (sawError) *sawError = converter->state.sawError;
}

// Decodes count bytes, appending to out; returns false when input was invalid.
bool DecodeAppend(uint32_t codePage, const char* bytes, size_t count, std::u16string& out, bool failOnError) {
  uint32_t cp = ResolvedCodePage(codePage);
  size_t start = out.size();
  if (count == 0) return true;
  out.resize(start + count);
  char16_t* target = out.data() + start;
  bool sawError = false;
  size_t produced = 0;
  if (const TSingleByteTables* tables = SingleByteTables(cp)) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes);
    const char16_t* decode = tables->decode.data();
    // Loads before stores: the target may alias the table as far as the
    // compiler knows, so four lookups per step keep it from serialising.
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
      char16_t a = decode[s[i]], b = decode[s[i + 1]], c = decode[s[i + 2]], d = decode[s[i + 3]];
      target[i] = a;
      target[i + 1] = b;
      target[i + 2] = c;
      target[i + 3] = d;
    }
    for (; i < count; ++i) target[i] = decode[s[i]];
    if (failOnError)
      for (size_t i = 0; i < count && !sawError; ++i) sawError = tables->invalid[s[i]];
    produced = count;
  } else if (cp == CP_UTF8) {
    produced = DecodeUtf8(reinterpret_cast<const unsigned char*>(bytes), count, target, &sawError);
  } else {
    produced = DecodeWithIcu(cp, bytes, count, target, failOnError, &sawError);
  }
  out.resize(start + produced);
  return !sawError;
}

// Encodes count units, appending to out; returns false when some character
// had to be replaced.
bool EncodeAppend(uint32_t codePage, const char16_t* text, size_t count, std::string& out,
                  const char* substitute, bool failOnError) {
  uint32_t cp = ResolvedCodePage(codePage);
  if (count == 0) return true;
  char fallback = substitute && *substitute ? *substitute : '?';
  if (const TSingleByteTables* tables = SingleByteTables(cp)) {
    size_t start = out.size();
    out.resize(start + count);
    char* target = out.data() + start;
    const uint16_t* encode = tables->Encode();
    bool replaced = false;
    size_t i = 0;
    while (i < count) {
      // Steps of four while all four are mappable.
      for (; i + 4 <= count; i += 4) {
        uint16_t a = encode[text[i]], b = encode[text[i + 1]], c = encode[text[i + 2]], d = encode[text[i + 3]];
        if (a == kUnmappable || b == kUnmappable || c == kUnmappable || d == kUnmappable) break;
        target[0] = char(a);
        target[1] = char(b);
        target[2] = char(c);
        target[3] = char(d);
        target += 4;
      }
      if (i >= count) break;
      uint16_t byte = encode[text[i]];
      if (byte == kUnmappable) {
        replaced = true;
        // A surrogate pair is one character: one substitute for both units.
        if (U16_IS_LEAD(text[i]) && i + 1 < count && U16_IS_TRAIL(text[i + 1])) ++i;
        *target++ = fallback;
      } else {
        *target++ = char(byte);
      }
      ++i;
    }
    out.resize(size_t(target - out.data()));
    return !replaced;
  }
  if (cp == CP_UTF8) {
    size_t start = out.size();
    out.resize(start + 3 * count);
    size_t produced = EncodeUtf8(text, count, out.data() + start);
    out.resize(start + produced);
    return true;
  }
  bool sawError = false;
  char sub[1] = {fallback};
  EncodeWithIcu(cp, text, count, out, sub, 1, failOnError, &sawError);
  return !sawError;
}

}  // namespace

// ---- internal helpers for the other platform modules -----------------------

UChar32 DecodeOneChar(uint32_t codePage, const char* text, size_t available, int32_t* length) {
  *length = 1;
  if (available == 0) return kReplacement;
  if (const TSingleByteTables* tables = SingleByteTables(codePage))
    return tables->decode[static_cast<unsigned char>(text[0])];
  if (codePage == CP_UTF8) {
    int32_t window = int32_t(available < 8 ? available : 8);
    int32_t k = 0;
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text), k, window, c);
    *length = k > 0 ? k : 1;
    return c < 0 ? kReplacement : c;
  }
  TConverter* converter = ConverterFor(codePage);
  if (!converter) return static_cast<unsigned char>(text[0]);
  const char* source = text;
  const char* limit = text + (available < 8 ? available : 8);
  UErrorCode status = U_ZERO_ERROR;
  UChar32 c = ucnv_getNextUChar(converter->converter, &source, limit, &status);
  *length = source > text ? int32_t(source - text) : 1;
  return U_FAILURE(status) ? kReplacement : c;
}

int32_t EncodeOneChar(uint32_t codePage, UChar32 c, char* out) {
  if (c < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  if (const TSingleByteTables* tables = SingleByteTables(codePage)) {
    if (c > 0xFFFF) return 0;
    const uint16_t byte = tables->Encode()[size_t(c)];
    if (byte == kUnmappable) return 0;
    out[0] = char(byte);
    return 1;
  }
  char16_t units[2];
  size_t n = 0;
  if (c < 0x10000) units[n++] = char16_t(c);
  else {
    units[n++] = U16_LEAD(c);
    units[n++] = U16_TRAIL(c);
  }
  if (codePage == CP_UTF8) return int32_t(EncodeUtf8(units, n, out));
  std::string encoded;
  bool sawError = false;
  EncodeWithIcu(codePage, units, n, encoded, nullptr, 0, true, &sawError);
  if (sawError || encoded.empty() || encoded.size() > 4) return 0;
  std::memcpy(out, encoded.data(), encoded.size());
  return int32_t(encoded.size());
}

// ---- settings ----------------------------------------------------------------

uint32_t ActiveCodePage() noexcept { return gActiveCodePage.load(std::memory_order_relaxed); }

bool SetActiveCodePage(uint32_t codePage) noexcept {
  if (!InfoOf(codePage)) return false;
  gActiveCodePage.store(codePage, std::memory_order_relaxed);
  return true;
}

uint32_t OemCodePage() noexcept {
  uint32_t cp = DefaultOemCodePageOfLCID(UserDefaultLCID());
  return InfoOf(cp) ? cp : 437;
}

uint32_t UserDefaultLCID() noexcept { return gUserLCID.load(std::memory_order_relaxed); }

void SetUserDefaultLCID(uint32_t lcid) noexcept {
  if (lcid == 0 || lcid == 0x0400 || lcid == 0x0800 || lcid == 0x0C00) return;
  gUserLCID.store(lcid, std::memory_order_relaxed);
}

// ---- facts -------------------------------------------------------------------

bool IsCodePageSupported(uint32_t codePage) noexcept { return InfoOf(codePage) != nullptr; }

uint32_t ResolvedCodePage(uint32_t codePage) noexcept {
  if (codePage == CP_OEMCP) return OemCodePage();
  if (codePage == CP_ACP || codePage == CP_THREAD_ACP || !InfoOf(codePage)) return ActiveCodePage();
  return codePage;
}

bool IsSingleByteCodePage(uint32_t codePage) noexcept {
  return InfoOf(ResolvedCodePage(codePage))->maxBytes == 1;
}

int MaxBytesPerChar(uint32_t codePage) noexcept { return InfoOf(ResolvedCodePage(codePage))->maxBytes; }

const char* ConverterNameOfCodePage(uint32_t codePage) noexcept {
  return InfoOf(ResolvedCodePage(codePage))->converter;
}

const char16_t* DecodeTableOfCodePage(uint32_t codePage) noexcept {
  const TSingleByteTables* tables = SingleByteTables(ResolvedCodePage(codePage));
  return tables ? tables->decode.data() : nullptr;
}

// ---- conversions ---------------------------------------------------------------

void AppendDecoded(uint32_t codePage, const char* bytes, size_t count, std::u16string& out) {
  if (!bytes) return;
  DecodeAppend(codePage, bytes, count, out, false);
}

std::u16string Decoded(uint32_t codePage, std::string_view bytes) {
  std::u16string out;
  DecodeAppend(codePage, bytes.data(), bytes.size(), out, false);
  return out;
}

std::u16string DecodedUTF8(std::string_view bytes) { return Decoded(CP_UTF8, bytes); }

void AppendEncoded(uint32_t codePage, const char16_t* text, size_t count, std::string& out,
                   bool* usedDefaultChar) {
  bool clean = !text || EncodeAppend(codePage, text, count, out, nullptr, false);
  if (usedDefaultChar) *usedDefaultChar = !clean;
}

std::string Encoded(uint32_t codePage, std::u16string_view text) {
  std::string out;
  EncodeAppend(codePage, text.data(), text.size(), out, nullptr, false);
  return out;
}

std::string EncodedUTF8(std::u16string_view text) { return Encoded(CP_UTF8, text); }

int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* bytes, int32_t count, char16_t* out,
                            int32_t capacity) {
  if (!bytes || count < -1 || count == 0 || capacity < 0) return 0;
  if ((flags & MB_PRECOMPOSED) && (flags & MB_COMPOSITE)) return 0;
  size_t n = count == -1 ? std::strlen(bytes) + 1 : size_t(count);
  std::u16string decoded;
  if (!DecodeAppend(codePage, bytes, n, decoded, (flags & MB_ERR_INVALID_CHARS) != 0) &&
      (flags & MB_ERR_INVALID_CHARS))
    return 0;
  if (decoded.size() > 0x7FFFFFFF) return 0;
  if (capacity == 0) return int32_t(decoded.size());
  if (!out || size_t(capacity) < decoded.size()) return 0;
  std::memcpy(out, decoded.data(), decoded.size() * sizeof(char16_t));
  return int32_t(decoded.size());
}

int32_t WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* text, int32_t count, char* out,
                            int32_t capacity, const char* defaultChar, bool* usedDefaultChar) {
  if (usedDefaultChar) *usedDefaultChar = false;
  if (!text || count < -1 || count == 0 || capacity < 0) return 0;
  size_t n = count == -1 ? std::char_traits<char16_t>::length(text) + 1 : size_t(count);
  std::u16string composed;
  if (flags & WC_COMPOSITECHECK) {
    composed = Precomposed(std::u16string_view(text, n));
    text = composed.data();
    n = composed.size();
  }
  std::string encoded;
  bool clean = EncodeAppend(codePage, text, n, encoded, defaultChar, false);
  if (usedDefaultChar) *usedDefaultChar = !clean;
  if (encoded.size() > 0x7FFFFFFF) return 0;
  if (capacity == 0) return int32_t(encoded.size());
  if (!out || size_t(capacity) < encoded.size()) return 0;
  std::memcpy(out, encoded.data(), encoded.size());
  return int32_t(encoded.size());
}

}  // namespace qn::platform
