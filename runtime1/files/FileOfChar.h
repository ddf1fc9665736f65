// Text files of any origin: what a file holds (8-bit text, UTF-8, UTF-16 in
// either byte order, or one of three containers that are not text), reading a
// whole text file into one UTF-16 string, turning an 8-bit file into UTF-16
// in place, and two small writers of UTF-16 files.
//
// Reading a file (TextFileContents, TPossiblyDodgyTextStringlist):
//   - a signature decides first: EF BB BF is UTF-8, FF FE UTF-16 little-endian,
//     FE FF UTF-16 big-endian (the signature is not part of the text);
//   - UTF-16 without a signature is recognised by the platform's statistical
//     test, in either byte order;
//   - other bytes are 8-bit text of the active code page. When that code page
//     is single-byte, bytes that hold well-formed multi-byte UTF-8 sequences,
//     more of them than ill-formed ones, are UTF-8 text saved without a
//     signature and are read as UTF-8;
//   - UTF-8 is decoded strictly: each ill-formed sequence becomes one U+FFFD
//     and the bytes after it are read normally, so nothing else is lost; 8-bit
//     text is never re-read as UTF-8 merely because its bytes could be walked
//     as UTF-8 lead and continuation bytes;
//   - a NUL character ends the text; lines end at CR LF, CR or LF.
// docs/strings-and-files.md gives the reasons.
//
// Files are untrusted. Detection reads only what it needs (4 bytes, or the
// first 64 KiB and the leading ASCII run), so it never holds a huge file in
// memory; the readers refuse a file whose text could not be held in a string
// with 32-bit positions (EReadError) before they allocate.
//
// Writers never lose a file's old contents: SavedTextAsStream and
// ConvertATextFileAnsiToUTF16 write a new file beside the old one and rename
// it over; AddToFileOfChar appends in place and, when a write fails, cuts the
// file back to what it held before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn {

// What a file or buffer holds; ordinals are stored and compared.
enum TFileContentsTypes : uint8_t {
  _8_bit = 0,            // 8-bit text in some code page (also pure ASCII)
  _UTF8 = 1,             // UTF-8 text
  _16_bit = 2,           // UTF-16 little-endian
  _early_Word = 3,       // early word-processor document (DB A5 2D 00)
  _Storage = 4,          // compound-storage document (D0 CF 11 E0)
  _Zip = 5,              // zip archive (50 4B 03 04)
  _16_bit_reversed = 6,  // UTF-16 big-endian
};

// A set over TFileContentsTypes, one byte, bit i for ordinal i. Empty when the
// buffer was too short to tell or the file could not be read.
class TFileContentsSet {
 public:
  constexpr TFileContentsSet() noexcept = default;
  constexpr TFileContentsSet(std::initializer_list<TFileContentsTypes> members) noexcept {
    for (TFileContentsTypes m : members) Include(m);
  }
  constexpr void Include(TFileContentsTypes t) noexcept { fBits = static_cast<uint8_t>(fBits | Bit(t)); }
  constexpr bool Contains(TFileContentsTypes t) const noexcept { return (fBits & Bit(t)) != 0; }
  constexpr bool Empty() const noexcept { return fBits == 0; }
  constexpr uint8_t Byte() const noexcept { return fBits; }
  friend constexpr bool operator==(TFileContentsSet, TFileContentsSet) noexcept = default;

 private:
  static constexpr uint8_t Bit(TFileContentsTypes t) noexcept {
    return t <= _16_bit_reversed ? static_cast<uint8_t>(1u << t) : 0;
  }
  uint8_t fBits = 0;
};

// Classifies count bytes. Fewer than 4: {}. A container signature: that one
// member. Quick (thorough false): _UTF8 for a UTF-8 signature, plus _16_bit
// for FF FE, _16_bit_reversed for FE FF, else _8_bit. Thorough: UTF-16 (by
// mark, or by the statistical test when count is even), else _UTF8 for a
// signature, else the first non-ASCII sequence before any zero byte decides:
// well-formed UTF-8 gives _UTF8, anything else _8_bit.
QN_API TFileContentsSet FileBufferType(const void* buffer, uint64_t count, bool thorough);
// The same for a file (quick: its first 4 bytes). Raises EFOpenError when it
// cannot be opened; a failure after that gives {}.
QN_API TFileContentsSet FileContentsType(std::u16string_view fileName, bool thorough);
// A sort order of contents types: 0 for equal sets, else 1 or -1 as a's bits,
// read as a number, are greater or smaller than b's.
QN_API int32_t FileContentsComparison(TFileContentsSet a, TFileContentsSet b) noexcept;

// At least 4 bytes that begin with FF FE or FE FF or that the statistical test
// takes for UTF-16 (either byte order).
QN_API bool StringIsInUnicode(const void* buffer, int32_t count) noexcept;
// StringIsInUnicode of the file (false when empty). Raises EFOpenError when it
// cannot be opened.
QN_API bool TextFileInUnicode(std::u16string_view fileName);

// The text of file bytes as the readers above decode it, before it is cut into
// lines; encoding receives the encoding read (kEncodingUTF8 also when UTF-8
// was recognised without a signature).
QN_API std::u16string DecodedTextFileBytes(std::span<const uint8_t> bytes,
                                           platform::TTextEncoding* encoding = nullptr);
// The same text into `into` (its text replaced, its storage reused), for a
// reader of many long texts: one string's memory serves them all instead of
// fresh memory, faulted in and zeroed page by page, for every text. On an
// exception `into` holds nothing meaningful.
QN_API void DecodeTextFileBytesInto(std::span<const uint8_t> bytes, std::u16string& into,
                                    platform::TTextEncoding* encoding = nullptr);
// The encoding DecodedTextFileBytes reads the bytes in, without decoding them,
// for readers that decode a long text piece by piece (with
// platform::DecodeTextBytesAs, pieces cut on character boundaries):
// kEncodingUTF8 (with or without a signature), kEncodingUTF16LE or BE, or
// kEncodingDefault for 8-bit text of the active code page, whose text ends
// at its first zero byte.
QN_API platform::TTextEncoding TextFileBytesEncoding(std::span<const uint8_t> bytes);

// For a reader that takes a long text's bytes piece by piece without holding
// them all: what TextFileBytesEncoding answers for the whole text, as far as
// its head tells it. head is the start of the text's totalCount bytes (its
// first 64 KiB at least, or all of them). decided is set false when the head
// cannot tell: 8-bit text of a single-byte active code page, which is
// kEncodingUTF8 or kEncodingDefault as the UTF-8 evidence of the whole text
// (TUtf8Evidence) says; kEncodingDefault is returned then.
QN_API platform::TTextEncoding TextFileHeadEncoding(std::span<const uint8_t> head, uint64_t totalCount,
                                                    bool& decided);

// The UTF-8 evidence that TextFileBytesEncoding weighs for 8-bit text,
// gathered piece by piece: each well-formed multi-byte sequence counts for
// UTF-8, each ill-formed byte against it, up to the text's first zero byte.
// Pieces are added in text order, each but the last ending with a byte below
// 0x80 (cut after a line feed, say), so that no sequence is cut in two.
struct QN_API TUtf8Evidence {
  uint64_t valid = 0;
  uint64_t invalid = 0;
  bool ended = false;  // the zero byte that ends the text was met

  // Adds the piece's bytes up to its first zero byte and returns how many
  // that is (the piece's size when it holds none; 0 once the text ended).
  // nonAscii, when given, tells whether a byte of 0x80 or above came before.
  size_t Add(std::span<const uint8_t> piece, bool* nonAscii = nullptr) noexcept;
  void Add(const TUtf8Evidence& other) noexcept {
    valid += other.valid;
    invalid += other.invalid;
    ended = ended || other.ended;
  }
  // The encoding TextFileBytesEncoding gives undecided text with this evidence.
  platform::TTextEncoding Encoding() const noexcept {
    return valid > invalid ? platform::kEncodingUTF8 : platform::kEncodingDefault;
  }
};
// The text of file bytes with every line followed by CR LF (what
// TextFileContents returns for a file holding them).
QN_API std::u16string TextOfFileBytes(std::span<const uint8_t> bytes);

// The file's text, every line followed by CR LF; "" when there is no such file.
// Read errors of a present file are raised.
QN_API std::u16string TextFileContents(std::u16string_view fileName);

// Rewrites an 8-bit text file in the locale's code page (or a UTF-8 file with
// a signature) as UTF-16 little-endian with FF FE, lines ended by CR LF. False
// when the file does not exist; true, leaving it untouched, when it is UTF-16
// already.
QN_API bool ConvertATextFileAnsiToUTF16(std::u16string_view fileName, uint32_t lcid);

// Replaces the file with FF FE and the text's code units; false (and nothing
// written) for an empty text. Raises when the file cannot be written, keeping
// the old file.
QN_API bool SavedTextAsStream(std::u16string_view text, std::u16string_view fileName);

// Appends the text's code units to a file of 2-byte records, creating it with
// FF FE when it does not exist; an odd final byte is overwritten. Nothing for
// an empty file name. Raises on an input-output error, leaving the file as it
// was before the call.
QN_API void AddToFileOfChar(std::u16string_view fileName, std::u16string_view text);

// A string list that reads text files as described above and remembers
// whether the last file it loaded began with the UTF-8 signature.
class QN_API TPossiblyDodgyTextStringlist : public platform::TStringList {
 public:
  TPossiblyDodgyTextStringlist();
  ~TPossiblyDodgyTextStringlist() override;

  bool SignedUTF8 = false;

  using platform::TStringList::LoadFromFile;
  using platform::TStringList::LoadFromStream;
  void LoadFromFile(std::u16string_view fileName) override;
  void LoadFromStream(platform::TStream& stream) override;
  // Loads in a known encoding (a matching signature is skipped); no recovery.
  void LoadFromFile(std::u16string_view fileName, platform::TTextEncoding encoding);
  void LoadFromStream(platform::TStream& stream, platform::TTextEncoding encoding);
  // Replaces the lines with those of text. Text decoded as 8-bit (the recorded
  // encoding is a single-byte code page and SignedUTF8 is false) whose bytes
  // are UTF-8 is decoded again as UTF-8 first.
  void SetTextStr(std::u16string_view text) override;

 private:
  void LoadFromBytes(std::span<const uint8_t> bytes);
  void SetLines(std::u16string_view text);
};

namespace file_detail {
// The UTF-8 reader of TextFileContents over bytes (up to their first zero),
// read piece bytes at a time: their text, every line end as CR LF and a final
// line with one, and the evidence weighed for UTF-8 (well-formed multi-byte
// sequences, bytes of ill-formed ones).
std::u16string Utf8LinesInPieces(std::span<const uint8_t> bytes, size_t piece, size_t* valid, size_t* invalid);
// The same for 8-bit text of the active code page (one whose bytes below 80
// are ASCII; else "").
std::u16string EightBitLinesInPieces(std::span<const uint8_t> bytes, size_t piece);
// The UTF-8 decoder has vector forms, used when the processor has them. Tests
// cap the level (0: plain, 1: SSSE3, 2: AVX2) to run every form on one
// machine. Returns the level in use from now on.
int LimitUtf8DecoderLevel(int level) noexcept;
}  // namespace file_detail

}  // namespace qn
