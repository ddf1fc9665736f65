// The parts every subcommand of the quillon program shares: the corpus as a
// list of texts (files, folders walked by the library's walker, zip
// archives), reading one text at a time through the library's readers,
// reporting what could not be read, the progress line, and the table writer
// (TSV, CSV or JSON, to standard output or written safely to a file).
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qn {
class TRawTextPrefilter;
class TTextUnitCounter;
class TZipForge;
namespace platform {
class TSafeFileWriter;
using TTextEncoding = uint32_t;
}
}  // namespace qn

namespace quillon {

// Exit statuses (docs/quillon.md).
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeInputsFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCannot = 3;

// Raised for a failure that ends the run with a status and a message.
struct TFatal {
  int status;
  std::string message;
};

struct TInputOptions {
  std::string mask = "*.txt";
  bool noRecurse = false;
  bool hidden = false;
  bool system = false;
  bool noZips = false;
  uint32_t codePage = 1252;
  std::string shard;    // "I/N" or empty
  int32_t shardIndex = 0;  // 0-based
  int32_t shardCount = 1;
  int32_t jobs = 1;
};

struct TOutputOptions {
  std::string format = "tsv";
  std::string output;
  bool quiet = false;
};

// One text of the corpus: a file, or an entry of a zip archive.
struct TTextRef {
  std::string display;       // how the output names it (UTF-8)
  std::u16string path;       // the file, or the archive holding the entry
  int32_t zipEntry = -1;     // the entry's index inside the archive, or -1
  uint64_t size = 0;         // bytes (uncompressed for an entry)
  int32_t side = 0;          // keywords: 0 study, 1 reference
  int64_t number = 0;        // position in the whole corpus, 0-based
};

// Prints "quillon: WHAT: REASON" on standard error and remembers that an
// input failed.
void ReportProblem(std::string_view what, std::string_view reason);
bool AnyInputFailed();
void SetInputFailed();
// In a worker process: problems are kept in *into instead of being printed,
// so that the parent prints them in the corpus's order, once (null: printed
// again).
struct TKeptProblem {
  std::string what;  // the input it concerns
  std::string line;  // as it is printed, with its line feed
};
void KeepProblems(std::vector<TKeptProblem>* into);

// Applies the input options that are process-wide (the code page).
void ApplyInputOptions(TInputOptions& options);

// The texts of the paths in corpus order; side is stored in each. Paths that
// give no text are reported.
void ListTexts(const std::vector<std::string>& paths, const TInputOptions& options, int32_t side,
               std::vector<TTextRef>& texts);
// Numbers the texts and keeps the share of --shard.
void NumberAndShard(std::vector<TTextRef>& texts, const TInputOptions& options);

// Whether the active code page decodes every byte below 0x80 to itself, so
// that ASCII bytes are the same text in it and in UTF-8.
bool AsciiReadsAlike();

// Where the text of these bytes ends for the readers: at its first zero unit
// (a zero byte of 8-bit or UTF-8 text, a zero unit at an even offset of
// UTF-16); the size when there is none.
size_t TextEnd(std::span<const uint8_t> bytes, bool wide);

// Reads regular files ahead of their use on a thread of its own, a chunk at a
// time, into a fixed ring of buffers, so that the kernel's copy from the page
// cache runs on another core while the text read before is tested, counted
// and searched. Its thread reads, and when asked counts the text's units with
// the library's TTextUnitCounter as the chunks come (TByteWindow::CountAhead):
// the counter keeps its state in itself and reads only constant tables, so it
// may run there; nothing else of the libraries, whose state is the process's,
// is called on that thread.
class TReadAhead;

// A text's bytes taken in text order, a window at a time: all in memory, or
// read from a file. Bytes released are dropped as the window moves on; those
// after them stay in one block of memory (Span) until released.
class TByteWindow {
 public:
  // The size of the reads the head of a text is taken with.
  static constexpr size_t kReadBytes = size_t{256} << 10;

  explicit TByteWindow(std::span<const uint8_t> bytes);
  // The file's first size bytes (fewer when it turns out shorter), read
  // through `window` on this thread, or read ahead by `ahead` when given
  // (findZero: looking for the first zero byte as it reads, ZeroByte).
  TByteWindow(int fd, size_t size, std::vector<uint8_t>& window, TReadAhead* ahead = nullptr,
              bool findZero = false);
  // Stops the reading ahead: the file may be closed after.
  ~TByteWindow();
  TByteWindow(const TByteWindow&) = delete;
  TByteWindow& operator=(const TByteWindow&) = delete;

  // Makes the bytes up to offset upTo available (all there are when the text
  // is shorter); false on a read error, Error() telling which.
  bool Reach(size_t upTo);
  // Makes every byte of the text available.
  bool ReachAll() { return fComplete || Reach(fSize); }
  // Bytes before offset `from` are no longer wanted.
  void Release(size_t from) { fKept = std::max(fKept, from); }

  // The text's size as far as it is known: what the file held when opened,
  // or, once every byte is read, the number read.
  size_t Size() const { return fComplete ? fEnd : fSize; }
  // The end of the bytes available, and whether they are all the text's.
  size_t Available() const { return fEnd; }
  bool Complete() const { return fComplete; }
  // The first byte still held (bytes before it were released and dropped).
  size_t Held() const { return fBase; }
  // Bytes [from, to) of those held (valid until the next Reach).
  std::span<const uint8_t> Span(size_t from, size_t to) const { return {At(from), to - from}; }
  uint8_t Byte(size_t at) const { return *At(at); }
  // The errno of the read that failed, or 0.
  int Error() const { return fError; }
  // Whether the first zero byte among the bytes available is known without
  // looking (read ahead with findZero), and where it is (SIZE_MAX: none).
  bool ZeroKnown() const { return fZeroFound; }
  size_t ZeroByte() const { return fZero; }

  // Counting the text's units as its bytes are read ahead, so that the
  // counts at a place need only the bytes from the copy point before it:
  // from offset `from` on (where the chunks the reading ahead still holds
  // begin; the bytes before it counted here), a copy of `counter` (made for
  // the text's encoding, nothing counted yet) goes on over the text on
  // whichever thread is free, a copy of its counts kept at every `every`
  // bytes from each chunk's start. False, with nothing done, for a window not
  // read ahead or with bytes released. Bytes from CountPoint(x) on must be
  // held for counts at x to be had.
  bool CountAhead(const qn::TTextUnitCounter& counter, size_t every, size_t& from);
  // The copy point at or before offset x, for x at or after `from`.
  size_t CountPoint(size_t x) const;
  // The counts before copy point `point` into `counter` (the copies before
  // it dropped); false when they cannot be had.
  bool CountedAt(size_t point, qn::TTextUnitCounter& counter);
  // Copies of the counts before `point` are no longer wanted.
  void ForgetCounted(size_t point);
  // No more counting ahead is wanted for this text.
  void StopCounting();

 private:
  const uint8_t* At(size_t at) const { return fData + (at - fBase); }
  bool ReachByThisThread(size_t upTo);
  bool ReachAhead(size_t upTo);

  const uint8_t* fData = nullptr;  // the byte at offset fBase
  int fFd = -1;
  size_t fSize = 0;
  std::vector<uint8_t>* fWindow = nullptr;
  TReadAhead* fAhead = nullptr;
  int fSlot = -1;    // the read-ahead buffer fData lies in, or -1
  size_t fBase = 0;  // the offset of the first byte held
  size_t fKept = 0;  // bytes before it may be dropped
  size_t fEnd = 0;
  bool fComplete = false;
  int fError = 0;
  bool fZeroFound = false;
  size_t fZero = SIZE_MAX;
  size_t fCountEvery = 0;  // counting ahead: the copies' spacing, or 0
};

// Reads a text whole into UTF-16 with the library's readers; false (and the
// problem reported) when it cannot be read.
class TTextReader {
 public:
  TTextReader();
  ~TTextReader();
  // With a filter, a text whose bytes cannot hold a hit of its words is not
  // decoded: it is read as an empty text.
  bool Read(const TTextRef& ref, std::u16string& text, const qn::TRawTextPrefilter* filter = nullptr);
  // The same text in pieces of about pieceBytes bytes, each cut after a line
  // break (so no word is cut), decoded as the readers decide for the whole
  // text; `piece` is called for each. Peak memory is then one piece. With a
  // filter, a piece whose bytes cannot hold a hit is passed over undecoded.
  bool ReadPieces(const TTextRef& ref, size_t pieceBytes, const std::function<void(const std::u16string&)>& piece,
                  const qn::TRawTextPrefilter* filter = nullptr);
  // The text's bytes, undecoded, handed to `use` while they are held, with
  // the encoding the readers decode them in as far as the text's head tells
  // it (TextFileHeadEncoding): when it cannot (decided false), the text is
  // 8-bit of the active code page (kEncodingDefault, given) or UTF-8, as
  // TextFileBytesEncoding tells from all the bytes. A text that cannot be
  // read is reported as Read reports it, and gives false; one whose bytes
  // could not be held but that Read could read gives true without `use`
  // being called (the caller then reads it whole).
  bool WithBytes(const TTextRef& ref,
                 const std::function<void(std::span<const uint8_t>, qn::platform::TTextEncoding, bool decided)>& use);
  // The text of a text's bytes held already (by WithBytes), as Read gives it
  // from the file: decoded unless the filter rules them out, ended at a NUL;
  // false (and the problem reported) when it cannot be decoded.
  bool Decode(const TTextRef& ref, std::span<const uint8_t> bytes, std::u16string& text,
              const qn::TRawTextPrefilter* filter = nullptr);
  // A regular file's bytes a window at a time, read ahead on another thread,
  // handed to `use` with the encoding as WithBytes tells it. False, with
  // nothing said and `use` not called, when the text is not such a file or
  // its head cannot be read (the caller then takes it another way, which
  // reports any problem). A read that fails later shows as a Reach of the
  // window that gives false, and is not reported either.
  bool Stream(const TTextRef& ref,
              const std::function<void(TByteWindow&, qn::platform::TTextEncoding, bool decided)>& use);

 private:
  std::string ExtractedEntry(const TTextRef& ref);
  // Holds a text's bytes for ReadPieces and WithBytes; false when they
  // cannot be held (the reason reported as Read reports it).
  struct THeld;
  bool Hold(const TTextRef& ref, THeld& held);

  std::unique_ptr<qn::TZipForge> fZip;
  std::u16string fZipPath;
  // The bytes of the files read, their memory kept from text to text.
  std::unique_ptr<uint8_t[]> fBuffer;
  size_t fBufferRoom = 0;
  // The window files read in pieces are read through, kept likewise.
  std::vector<uint8_t> fWindow;
  // The reading ahead, started with the first file read so.
  TReadAhead* Ahead();
  std::unique_ptr<TReadAhead> fAhead;
  bool fAheadTried = false;
};

// The progress line on standard error: only on a terminal, never with --quiet.
class TProgress {
 public:
  TProgress(bool quiet, const std::vector<TTextRef>& texts);
  ~TProgress();
  void Done(const TTextRef& text);
  void Finish();

 private:
  bool fOn = false;
  size_t fTotalTexts = 0;
  uint64_t fTotalBytes = 0;
  size_t fTexts = 0;
  uint64_t fBytes = 0;
  double fStart = 0;
  double fLastShown = 0;
};

// The size of the pieces a long text is read in: `fallback` bytes, unless the
// environment variable QUILLON_PIECE_BYTES sets another (at least 64).
size_t PieceBytes(size_t fallback);

// Text conversions.
std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);
// The word as the lists show it: lower case in the user's locale.
std::u16string Lowered(std::u16string_view text);
// The collation key of a word under the word list's comparison.
void WordKey(std::u16string_view word, std::string& key);
// The text as UTF-8 from out on, every run of white space (line breaks too)
// made one space, none kept at either end; a lone surrogate becomes U+FFFD.
// out must hold 3 * text.size() bytes; returns the end of what was written.
char* CleanedUtf8(std::u16string_view text, char* out);

// The fields of one text cleaned as CleanedUtf8 cleans them, for fields that
// come mostly in text order and overlap (the contexts of neighbouring hits):
// each unit is turned into its byte once, in a window over the text that
// moves on with the fields, and a field is its bytes taken from there. Only
// fields of ASCII text with no two white-space units together and neither of
// the two watched units are had so (their cleaned bytes are the units as
// bytes, white space as a space, one trimmed at each end); the caller cleans
// any other field itself.
class TCleanedStretch {
 public:
  // A new text (also a new text in the memory of the one before); a and b are
  // the units to watch (ASCII units a field's writer would escape).
  void Start(std::u16string_view text, char16_t a, char16_t b);
  // The cleaned bytes of [from, to), valid until the next call; false when the
  // field is not had so (or lies outside the text). 16 bytes past the field's
  // end may be read.
  bool Field(size_t from, size_t to, std::string_view& bytes) {
    if (from < fFrom || to > fTo || from > to) return FieldOutside(from, to, bytes);
    const size_t i = from - fFrom, e = to - fFrom;
    if (i < e) {
      // Any unit of [i, e) not had so?
      const size_t first = i / 64, last = (e - 1) / 64;
      const uint64_t head = ~uint64_t{0} << (i % 64), tail = ~uint64_t{0} >> (63 - (e - 1) % 64);
      if (first == last) {
        if ((fOther[first] & head & tail) != 0) return false;
      } else {
        if ((fOther[first] & head) != 0 || (fOther[last] & tail) != 0) return false;
        for (size_t w = first + 1; w < last; ++w) {
          if (fOther[w] != 0) return false;
        }
      }
    }
    const char* p = fBytes.data() + i;
    size_t n = e - i;
    if (n > 0 && p[0] == ' ') {
      ++p;
      --n;
    }
    if (n > 0 && p[n - 1] == ' ') --n;
    bytes = std::string_view(p, n);
    return true;
  }
  // The units before `from` are wanted no more (the window may move on).
  void Keep(size_t from);

 private:
  // Units kept behind the first wanted before the window moves on.
  static constexpr size_t kKeptBehind = size_t{1} << 14;

  bool FieldOutside(size_t from, size_t to, std::string_view& bytes);
  void Extend(size_t to);
  void Group(size_t at, size_t count);

  std::u16string_view fText;
  char16_t fA = 0, fB = 0;
  size_t fFrom = 0, fTo = 0;       // the window: units [fFrom, fTo), fFrom a multiple of 64
  std::vector<char> fBytes;        // byte i: unit fFrom + i as cleaned, white space a space
  std::vector<uint64_t> fOther;    // bit i % 64 of word i / 64: unit fFrom + i is not had so
};

// Where results go: standard output, or with --output a file written safely
// as it goes (a temporary file beside it, renamed over it by Commit; an
// interrupted run removes the temporary file and leaves no file).
class TOutput {
 public:
  explicit TOutput(const std::string& file);
  ~TOutput();
  void Write(std::string_view bytes);  // raises TFatal
  void Commit();                       // raises TFatal

 private:
  std::string fFile;
  std::unique_ptr<qn::platform::TSafeFileWriter> fWriter;
};

// Writes a table of rows in the chosen format.
class TTableWriter {
 public:
  TTableWriter(const TOutputOptions& options, std::vector<std::string> columns);
  ~TTableWriter();
  void Str(std::string_view utf8);
  void Str(std::u16string_view text);
  // A field as Str writes it; while the same text comes again (a
  // concordance's file name, line after line) the bytes written for it last
  // are written again without looking for what to escape.
  void StrAgain(std::string_view utf8) {
    BeginField();
    if (fAgainKept && utf8 == fAgainText) {
      std::memcpy(Room(fAgainBytes.size()), fAgainBytes.data(), fAgainBytes.size());
      fUsed += fAgainBytes.size();
      return;
    }
    const size_t from = fUsed;
    Escaped(utf8);
    fAgainText.assign(utf8);
    fAgainBytes.assign(fBuffer.data() + from, fUsed - from);
    fAgainKept = true;
  }
  // A field of text as CleanedUtf8 makes it, cleaned straight into the
  // output. `readable`: the units that may be read from text.data() on (a
  // text viewed inside a longer one), so that its last units can be read
  // eight at a time too.
  void CleanStr(std::u16string_view text, size_t readable = 0);
  // The field [from, to) of text as CleanStr writes it, taken from the
  // stretch when it has it (started for text with StartStretch).
  void CleanField(TCleanedStretch& stretch, std::u16string_view text, size_t from, size_t to) {
    std::string_view bytes;
    if (!stretch.Field(from, to, bytes)) {
      // (The text's terminating zero may be read too.)
      CleanStr(text.substr(from, to - from), text.size() + 1 - from);
      return;
    }
    BeginField();
    // Copied 16 bytes at a time (the stretch and the room allow the excess).
    char* o = Room(bytes.size() + 2 + 16);
    if (fFormat == 2) *o++ = '"';
    for (size_t k = 0; k < bytes.size(); k += 16) std::memcpy(o + k, bytes.data() + k, 16);
    o += bytes.size();
    if (fFormat == 2) *o++ = '"';
    fUsed = static_cast<size_t>(o - fBuffer.data());
  }
  // Starts the stretch on a new text, watching the units this format escapes.
  void StartStretch(TCleanedStretch& stretch, std::u16string_view text) const {
    if (fFormat == 0) stretch.Start(text, u'\\', u'\\');
    else if (fFormat == 1) stretch.Start(text, u',', u'"');
    else stretch.Start(text, u'"', u'\\');
  }
  void Int(int64_t value) {
    BeginField();
    char* const at = Room(24);
    if (static_cast<uint64_t>(value) < 100000000u) {
      fUsed += SmallDigits(at, static_cast<uint32_t>(value));
    } else {
      fUsed += static_cast<size_t>(std::to_chars(at, at + 24, value).ptr - at);
    }
  }
  // Two numbers in a row, as Int writes them; what was written for the last
  // pair is written again while the pair and its place in the row stay the
  // same (a concordance's sentence and paragraph numbers, line after line).
  void IntPair(int64_t a, int64_t b) {
    if (a == fPairA && b == fPairB && fField == fPairField && fPairSize > 0) {
      std::memcpy(Room(sizeof fPairBytes), fPairBytes, sizeof fPairBytes);
      fUsed += fPairSize;
      fField += 2;
      return;
    }
    const size_t from = fUsed, field = fField;
    Int(a);
    Int(b);
    fPairSize = 0;
    if (fUsed - from <= sizeof fPairBytes) {
      std::memcpy(fPairBytes, fBuffer.data() + from, fUsed - from);
      fPairSize = fUsed - from;
      fPairA = a;
      fPairB = b;
      fPairField = field;
    }
  }
  // A number with `decimals` digits after the point; scientific with
  // `decimals` significant digits when `scientific`. Not finite: "inf",
  // "-inf", "nan" (JSON: null).
  void Num(double value, int decimals, bool scientific = false);
  void Empty();
  void EndRow();

  // Rows made in one process and finished in another (a worker's
  // concordance lines, numbered by the parent in corpus order). A worker
  // writes a row with an empty first field and the number 0, takes its
  // TailOfRow and Drops it; the parent writes the row's own first fields and
  // then PassFields the tail.
  size_t Held() const { return fUsed; }
  // The row written from byte `from` on, without its first two fields (an
  // empty text and 0) and its end: its other fields as this writer wrote
  // them, each with what goes before it. Valid until the next write.
  std::string_view TailOfRow(size_t from) const;
  void Drop(size_t from) { fUsed = from; }
  // `count` fields written as this writer writes them (a TailOfRow).
  void PassFields(std::string_view written, size_t count) {
    Raw(written);
    fField += count;
  }
  // Writes the rest out (and puts the --output file in place); raises TFatal.
  void Finish();

 private:
  void BeginField() {
    if (fFormat == 2) BeginJsonField();
    else if (fField++ > 0) Byte(fFormat == 1 ? ',' : '\t');
  }
  void BeginJsonField();
  // The decimal digits of v (below 10^8) at `at`, two at a time; their count.
  static size_t SmallDigits(char* at, uint32_t v) {
    static constexpr char kPairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
        "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
    const size_t n = v < 10 ? 1 : v < 100 ? 2 : v < 1000 ? 3 : v < 10000 ? 4 : v < 100000 ? 5 : v < 1000000 ? 6
                                                                                   : v < 10000000 ? 7 : 8;
    char* p = at + n;
    while (v >= 100) {
      p -= 2;
      std::memcpy(p, kPairs + 2 * (v % 100), 2);
      v /= 100;
    }
    if (v >= 10) std::memcpy(p - 2, kPairs + 2 * v, 2);
    else p[-1] = static_cast<char>('0' + v);
    return n;
  }
  // The field's text escaped or quoted as the format wants.
  void Escaped(std::string_view s);
  // Room for n more bytes at the end of the buffer.
  char* Room(size_t n) {
    if (fBuffer.size() - fUsed < n) Grow(n);
    return fBuffer.data() + fUsed;
  }
  void Grow(size_t n);
  void Raw(std::string_view s) {
    std::memcpy(Room(s.size()), s.data(), s.size());
    fUsed += s.size();
  }
  void Byte(char c) {
    *Room(1) = c;
    ++fUsed;
  }
  void FlushIfLarge();

  TOutputOptions fOptions;
  std::vector<std::string> fColumns;
  TOutput fOut;
  std::string fBuffer;  // its first fUsed bytes are to be written, the rest is room
  size_t fUsed = 0;
  size_t fField = 0;
  // The last StrAgain: its text and the bytes written for it.
  std::string fAgainText, fAgainBytes;
  bool fAgainKept = false;
  // The last IntPair: its numbers, the field it began at, its bytes.
  int64_t fPairA = 0, fPairB = 0;
  size_t fPairField = 0;
  char fPairBytes[64] = {};
  size_t fPairSize = 0;
  bool fFirstRow = true;
  int fFormat = 0;  // 0 tsv, 1 csv, 2 json
  bool fFinished = false;
};

// Raw text written to the output (partial-results files): atomically with
// --output, else to standard output.
void WriteWhole(const TOutputOptions& options, const std::string& bytes);

// "1 text", "3 texts": a count with its noun, plural but for one.
std::string Counted(int64_t n, std::string_view noun);

// Splits "a,b,c".
std::vector<std::string> SplitComma(std::string_view text);

}  // namespace quillon
