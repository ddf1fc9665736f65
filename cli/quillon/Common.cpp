#include "cli/quillon/Common.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <thread>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"
#include "platform/Streams.h"
#include "platform/TextDetection.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/files/FileOfChar.h"
#include "runtime1/files/PeruseDir.h"
#include "runtime1/files/Zip_utils.h"
#include "runtime1/search/Raw_text_prefilter.h"
#include "runtime1/search/Text_unit_counter.h"
#include "runtime1/text/Bare_assemb.h"
#include "runtime1/text/Widemasks.h"

namespace quillon {

namespace {

bool gInputFailed = false;
std::vector<TKeptProblem>* gKeptProblems = nullptr;

// The temporary file of the output while it is written, for the handler of
// SIGINT and SIGTERM, which removes it and then ends the process as the
// signal would have.
char gTemporary[8192];
volatile sig_atomic_t gTemporarySet = 0;

void RemoveTemporaryAndEnd(int signal) {
  if (gTemporarySet != 0) ::unlink(gTemporary);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void KeepTemporaryName(const std::string& name) {
  gTemporarySet = 0;
  if (name.empty() || name.size() >= sizeof gTemporary) return;
  std::memcpy(gTemporary, name.c_str(), name.size() + 1);
  static bool handled = false;
  if (!handled) {
    handled = true;
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction action {};
      action.sa_handler = RemoveTemporaryAndEnd;
      sigemptyset(&action.sa_mask);
      struct sigaction old {};
      // A signal the caller chose to ignore (nohup) stays ignored.
      if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
      ::sigaction(s, &action, nullptr);
    }
  }
  gTemporarySet = 1;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Collects the texts a walk accepts, in the walker's order.
class TWalkCollector {
 public:
  TWalkCollector(std::vector<TTextRef>& texts, int32_t side) : fTexts(texts), fSide(side) {}

  std::u16string currentFolder;

  bool Acceptable(qn::TMySearchRec& rec, bool inAZip) {
    TTextRef ref;
    ref.side = fSide;
    ref.size = static_cast<uint32_t>(rec.Size);
    if (inAZip) {
      ref.display = Utf8(rec.ShortName);
      ref.path = fCurrentZip;
      ref.zipEntry = rec.Number_Within_Zip - 1;
    } else {
      ref.path = currentFolder;
      if (!ref.path.empty() && ref.path.back() != u'/') ref.path.push_back(u'/');
      ref.path += rec.ShortName;
      ref.display = Utf8(ref.path);
      struct stat st {};
      if (::stat(Utf8(ref.path).c_str(), &st) == 0) ref.size = static_cast<uint64_t>(st.st_size);
    }
    fTexts.push_back(std::move(ref));
    return true;
  }
  void ZipStart(std::u16string_view zip) { fCurrentZip.assign(zip); }

  void ZipProblem(qn::TPeruseDir& walker) {
    // The walker's message is "ARCHIVE: REASON".
    const std::string problem = Utf8(walker.LastZipProblem());
    std::string lower = problem;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find(".zip: ");
    if (at == std::string::npos) {
      ReportProblem(problem, "damaged zip archive");
      return;
    }
    const std::string reason = problem.substr(at + 6);
    const bool damaged = reason.rfind("entries after", 0) != 0 && reason.rfind("entry name too long", 0) != 0;
    ReportProblem(problem.substr(0, at + 4), (damaged ? "damaged zip archive: " : "zip archive: ") + reason);
  }

 private:
  std::vector<TTextRef>& fTexts;
  int32_t fSide;
  std::u16string fCurrentZip;
};

void WalkFolder(const std::string& folder, const TInputOptions& options, int32_t side, std::vector<TTextRef>& texts) {
  const std::u16string mask = Utf16(options.mask);
  qn::TPeruseDir walker(mask, u"*", mask, u"", u"", false, !options.noZips, false, options.system, options.hidden);
  TWalkCollector collector(texts, side);
  walker.OnCheckFileAcceptable =
      qn::TCheckFileAcceptableEvent::Bind<&TWalkCollector::Acceptable>(&collector);
  walker.OnZipStartReading = qn::TZipStartReadingEvent::Bind<&TWalkCollector::ZipStart>(&collector);
  walker.OnZipProblem = qn::TZipProblemEvent::Bind<&TWalkCollector::ZipProblem>(&collector);
  std::vector<std::u16string> folders{Utf16(folder)};
  if (!options.noRecurse) {
    auto found = [&folders](std::u16string_view dir) { folders.emplace_back(dir); };
    walker.OnFoundDir = qn::TFoundDirEvent::FromCallable(found);
    walker.ProcessAllSubDirectories(folders[0]);
    walker.OnFoundDir.Clear();
  }
  const size_t before = texts.size();
  for (const std::u16string& dir : folders) {
    collector.currentFolder = dir;
    walker.HandleAllFilesIn(dir, nullptr);
  }
  if (texts.size() == before) ReportProblem(folder, "no texts matching \"" + options.mask + "\"");
}

void AddZip(const std::string& path, const TInputOptions& options, int32_t side, std::vector<TTextRef>& texts) {
  qn::TMaskList masks;
  qn::BuildAMask(masks, Utf16(options.mask));
  const size_t before = texts.size();
  try {
    qn::TZipForge zip;
    zip.SetFileName(Utf16(path));
    zip.OpenArchive();
    const int32_t count = zip.GetEntryCount();
    for (int32_t i = 0; i < count; ++i) {
      const qn::TZipDirItem item = zip.GetAZipMainDetail(i);
      const std::u16string& name = item.FileName;
      if (name.empty() || name.back() == u'/' || name.back() == u'\\' ||
          (item.Attributes & qn::zfa_Directory) != 0) {
        continue;
      }
      if (qn::WhereInAMask(name, masks) < 0) continue;
      TTextRef ref;
      ref.display = path + "/" + Utf8(name);
      ref.path = Utf16(path);
      ref.zipEntry = i;
      ref.size = item.UncompressedSize;
      ref.side = side;
      texts.push_back(std::move(ref));
    }
  } catch (const qn::Exception& error) {
    ReportProblem(path, std::string("damaged zip archive: ") + error.what());
    return;
  }
  if (texts.size() == before) ReportProblem(path, "no texts matching \"" + options.mask + "\"");
}

bool EndsWithZip(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".zip";
}

// The bytes of a regular file. A file of up to kReadWhole bytes is read into
// the reader's buffer, whose memory serves text after text: copying from the
// page cache costs less than having the kernel map the same pages anew for
// every text. A larger one is mapped, so that it takes no memory of its own.
// ok is false for anything else (an empty file, a FIFO, a device, a file that
// cannot be opened or read), which the library's reader then reads or refuses
// with its own reason.
class TFileBytes {
 public:
  static constexpr size_t kReadWhole = size_t{64} << 20;

  TFileBytes(const std::string& path, std::unique_ptr<uint8_t[]>& buffer, size_t& room) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      const auto size = static_cast<size_t>(st.st_size);
      if (size <= kReadWhole) {
        ReadInto(fd, size, buffer, room);
      } else {
        Map(fd, size);
      }
    }
    ::close(fd);
  }
  ~TFileBytes() {
    if (fMapped) ::munmap(const_cast<uint8_t*>(fData), fSize);
  }
  TFileBytes(const TFileBytes&) = delete;
  TFileBytes& operator=(const TFileBytes&) = delete;

  bool ok() const { return fData != nullptr; }
  std::span<const uint8_t> Bytes() const { return {fData, fSize}; }

 private:
  void ReadInto(int fd, size_t size, std::unique_ptr<uint8_t[]>& buffer, size_t& room) {
    if (room < size) {
      buffer.reset();
      room = 0;
      buffer = std::make_unique_for_overwrite<uint8_t[]>(size);
      room = size;
    }
    size_t got = 0;
    while (got < size) {
      const ssize_t n = ::read(fd, buffer.get() + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return;
      if (n == 0) break;  // the file became shorter: its bytes as they now are
      got += static_cast<size_t>(n);
    }
    if (got == 0) return;
    fData = buffer.get();
    fSize = got;
  }
  void Map(int fd, size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (p == MAP_FAILED) return;
    ::madvise(p, size, MADV_SEQUENTIAL);
    fData = static_cast<const uint8_t*>(p);
    fSize = size;
    fMapped = true;
  }

  const uint8_t* fData = nullptr;
  size_t fSize = 0;
  bool fMapped = false;
};

}  // namespace

size_t TextEnd(std::span<const uint8_t> bytes, bool wide) {
  if (!wide) {
    const void* zero = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    return zero == nullptr ? bytes.size() : static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes.data());
  }
  const size_t units = bytes.size() / 2;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  // 32 units at a time while none is zero, then 8 at a time.
  const auto at = [&](size_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + 2 * k)); };
  for (; i + 32 <= units; i += 32) {
    const __m128i zeros = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(at(i), zero), _mm_cmpeq_epi16(at(i + 8), zero)),
                                       _mm_or_si128(_mm_cmpeq_epi16(at(i + 16), zero), _mm_cmpeq_epi16(at(i + 24), zero)));
    if (_mm_movemask_epi8(zeros) != 0) break;
  }
  for (; i + 8 <= units; i += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + 2 * i));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, zero)));
    if (mask != 0) return 2 * (i + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1));
  }
#endif
  for (; i < units; ++i) {
    if (qn::platform::UnitAt(bytes.data() + 2 * i, false) == 0) return 2 * i;
  }
  return bytes.size();
}

void ReportProblem(std::string_view what, std::string_view reason) {
  gInputFailed = true;
  if (gKeptProblems != nullptr) {
    TKeptProblem& kept = gKeptProblems->emplace_back();
    kept.what = what;
    kept.line = "quillon: ";
    kept.line += what;
    kept.line += ": ";
    kept.line += reason;
    kept.line += '\n';
    return;
  }
  std::fprintf(stderr, "quillon: %.*s: %.*s\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(reason.size()), reason.data());
}
bool AnyInputFailed() { return gInputFailed; }
void SetInputFailed() { gInputFailed = true; }
void KeepProblems(std::vector<TKeptProblem>* into) { gKeptProblems = into; }

void ApplyInputOptions(TInputOptions& options) {
  if (!qn::platform::IsCodePageSupported(options.codePage) || !qn::platform::SetActiveCodePage(options.codePage)) {
    throw TFatal{kExitUsage, "--code-page " + std::to_string(options.codePage) + ": not a code page the readers know"};
  }
  if (!options.shard.empty()) {
    unsigned i = 0, n = 0;
    char rest = 0;
    if (std::sscanf(options.shard.c_str(), "%u/%u%c", &i, &n, &rest) != 2 || n == 0 || i == 0 || i > n ||
        n > 1000000) {
      throw TFatal{kExitUsage, "--shard " + options.shard + ": expected I/N with 1 <= I <= N"};
    }
    options.shardIndex = static_cast<int32_t>(i - 1);
    options.shardCount = static_cast<int32_t>(n);
  }
  if (options.jobs < 1 || options.jobs > 256) throw TFatal{kExitUsage, "--jobs: expected 1 to 256"};
}

void ListTexts(const std::vector<std::string>& paths, const TInputOptions& options, int32_t side,
               std::vector<TTextRef>& texts) {
  for (const std::string& path : paths) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      ReportProblem(path, std::strerror(errno));
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      WalkFolder(path, options, side, texts);
    } else if (!options.noZips && S_ISREG(st.st_mode) && EndsWithZip(path)) {
      AddZip(path, options, side, texts);
    } else {
      // Named on the command line: always read (the reader refuses what is not
      // a regular file, and says so).
      TTextRef ref;
      ref.display = path;
      ref.path = Utf16(path);
      ref.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
      ref.side = side;
      texts.push_back(std::move(ref));
    }
  }
}

void NumberAndShard(std::vector<TTextRef>& texts, const TInputOptions& options) {
  for (size_t i = 0; i < texts.size(); ++i) texts[i].number = static_cast<int64_t>(i);
  if (options.shardCount <= 1) return;
  std::vector<TTextRef> kept;
  for (TTextRef& t : texts) {
    if (t.number % options.shardCount == options.shardIndex) kept.push_back(std::move(t));
  }
  texts.swap(kept);
}

// ---------------------------------------------------------------------------

namespace {

// A regular file of UTF-16 in the host's order that starts with its
// byte-order mark, read straight into the text's storage: the readers' text
// of it is its units after the mark (a final odd byte left out), so its bytes
// need no copy to be decoded. The storage and what it held are reused (only
// units beyond the text before are zeroed first). False, with nothing said,
// when the file is not such a file or is not read whole so: the caller reads
// it as any other, and reports what goes wrong.
// A NUL ends a text for the readers; the engine wants it terminated too.
void CutAtNul(std::u16string& text) {
  for (size_t from = 0; from < text.size();) {
    const size_t length = std::min<size_t>(text.size() - from, INT32_MAX);
    const char16_t* nul = qn::FastStrScanW(text.data() + from, u'\0', static_cast<int32_t>(length));
    if (nul != nullptr) {
      text.resize(static_cast<size_t>(nul - text.data()));
      break;
    }
    from += length;
  }
}

bool ReadMarkedUtf16(const std::string& path, std::u16string& text) {
  if constexpr (std::endian::native != std::endian::little) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  uint8_t mark[2] = {0, 0};
  bool done = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 4 &&
      static_cast<uint64_t>(st.st_size) <= TFileBytes::kReadWhole && ::pread(fd, mark, 2, 0) == 2 && mark[0] == 0xFF &&
      mark[1] == 0xFE) {
    const size_t want = (static_cast<size_t>(st.st_size) - 2) / 2 * 2;
    text.resize(want / 2);
    char* const into = reinterpret_cast<char*>(text.data());
    size_t got = 0;
    while (got < want) {
      const ssize_t n = ::pread(fd, into + got, want - got, static_cast<off_t>(2 + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    done = got == want;
  }
  ::close(fd);
  return done;
}

}  // namespace

TTextReader::TTextReader() = default;

bool TTextReader::Decode(const TTextRef& ref, std::span<const uint8_t> bytes, std::u16string& text,
                         const qn::TRawTextPrefilter* filter) {
  try {
    if (filter != nullptr && bytes.size() <= 0x7FFFFFFF &&
        !filter->MayHoldAHit(bytes, qn::TextFileBytesEncoding(bytes))) {
      text.clear();
    } else {
      qn::DecodeTextFileBytesInto(bytes, text);
    }
  } catch (const qn::Exception& error) {
    text.clear();
    ReportProblem(ref.display, error.what());
    return false;
  } catch (const std::bad_alloc&) {
    text.clear();
    ReportProblem(ref.display, "too large to hold in memory");
    return false;
  }
  CutAtNul(text);
  return true;
}

// The bytes of a zip entry; the archive stays open for the texts after it,
// which a folder's walk hands over one entry after another.
std::string TTextReader::ExtractedEntry(const TTextRef& ref) {
  if (!fZip || fZipPath != ref.path) {
    fZip = std::make_unique<qn::TZipForge>();
    fZip->SetFileName(ref.path);
    fZipPath = ref.path;
    fZip->OpenArchive();
  }
  return fZip->ExtractEntryToString(ref.zipEntry);
}

bool TTextReader::Read(const TTextRef& ref, std::u16string& text, const qn::TRawTextPrefilter* filter) {
  if (ref.zipEntry < 0 && ReadMarkedUtf16(Utf8(ref.path), text)) {
    // (The filter is given the text's bytes without the mark, which only
    // ever makes it answer "may hold one".)
    if (filter != nullptr && text.size() <= 0x3FFFFFFF &&
        !filter->MayHoldAHit(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), 2 * text.size()),
                             qn::platform::kEncodingUTF16LE)) {
      text.clear();
    }
    CutAtNul(text);
    return true;
  }
  text.clear();
  // Decoded unless the filter rules the bytes out (a text too large for the
  // readers is always handed to them, which say so).
  // (Into the caller's string, whose memory then serves text after text.)
  const auto decode = [filter, &text](std::span<const uint8_t> bytes) {
    if (filter != nullptr && bytes.size() <= 0x7FFFFFFF &&
        !filter->MayHoldAHit(bytes, qn::TextFileBytesEncoding(bytes))) {
      return;
    }
    qn::DecodeTextFileBytesInto(bytes, text);
  };
  try {
    if (ref.zipEntry < 0) {
      const TFileBytes file(Utf8(ref.path), fBuffer, fBufferRoom);
      if (!file.ok()) {
        const std::vector<uint8_t> bytes = qn::platform::ReadWholeFile(ref.path);
        decode(bytes);
      } else {
        decode(file.Bytes());
      }
    } else {
      const std::string bytes = ExtractedEntry(ref);
      decode(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
  } catch (const qn::Exception& error) {
    text.clear();
    if (ref.zipEntry >= 0) {
      fZip.reset();
      fZipPath.clear();
    }
    std::string reason = error.what();
    struct stat st {};
    if (ref.zipEntry < 0 && ::stat(Utf8(ref.path).c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      reason = S_ISFIFO(st.st_mode) ? "not a regular file (a FIFO)" : "not a regular file";
    } else if (ref.zipEntry < 0 && ::access(Utf8(ref.path).c_str(), R_OK) != 0) {
      reason = std::strerror(errno);
    }
    ReportProblem(ref.display, reason);
    return false;
  } catch (const std::bad_alloc&) {
    text.clear();
    ReportProblem(ref.display, "too large to hold in memory");
    return false;
  }
  CutAtNul(text);
  return true;
}

// ---------------------------------------------------------------------------
// Reading ahead.

// The ring: each buffer has room before its chunk, where the bytes of the
// chunk before that are still wanted are copied, so that they and the new
// chunk are one block (a window never holds more than two buffers at once).
//
// Chunks are read in order of their offsets by the helper threads and by the
// thread that takes them: that one, when the chunk it wants next is not read
// yet, reads the next chunk nobody reads rather than wait, so both cores copy
// while there is copying to do. A thread with nothing to do spins a little
// before it sleeps: waking a sleeping thread costs more here than the wait.
//
// When the taker asks for it (BeginCounting), the chunks are also run through
// the library's unit counter in text order, each by whichever thread is free
// when it is read (a counting turn, taken under the lock as reads are), and a
// copy of the counts is kept at every `every` bytes of each chunk (Counted
// hands them out), so that the taker counts only the bytes between such a
// point and where it wants the counts. A buffer given back before its chunk
// is counted is kept until it is. This is safe on any thread: TTextUnitCounter
// keeps all its state in the object (the one in the ring is used by one
// thread at a time, under a turn), and what it calls reads only constant
// data: the class table of UTF-16 units and the single-byte decoding table
// (both fixed before the counter is made, on the taker's thread), the
// constant class tables of its block walk, the word classes behind
// IsLetterOrDigitUnit, and AppendDecoded for UTF-8, which goes
// to ICU's converter function without a converter object or any table of the
// process's (the code-page tables it looks up are for 8-bit pages only; the
// counter decodes those itself). The processor level it asks once is a
// function-local constant set up under the compiler's guard.
class TReadAhead {
 public:
  // Room kept before each chunk for the bytes still wanted of the one before.
  static constexpr size_t kBefore = size_t{128} << 10;

  struct TChunk {
    int slot = -1;
    uint8_t* data = nullptr;  // kBefore bytes of room before it
    size_t size = 0;
    int error = 0;
    size_t zero = SIZE_MAX;  // where its first zero byte is (looked for when asked), or SIZE_MAX
  };

  // Raises std::bad_alloc or std::system_error when its memory or threads
  // cannot be had.
  TReadAhead(size_t chunkBytes, int helpers, int slots) : fChunk(chunkBytes), fSlots(static_cast<size_t>(slots)) {
    // The buffers in huge pages where the system gives them: a fault costs
    // about as much as one of a small page, of which there would be hundreds.
    constexpr size_t kHuge = size_t{2} << 20;
    const size_t slotBytes = kBefore + fChunk;
    fMappedBytes = (fSlots.size() * slotBytes + kHuge - 1) / kHuge * kHuge;
    void* const mapped = ::mmap(nullptr, fMappedBytes + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHuge - 1) & ~(uintptr_t{kHuge} - 1);
    if (aligned > start) ::munmap(mapped, aligned - start);
    ::munmap(reinterpret_cast<void*>(aligned + fMappedBytes), start + kHuge - aligned);
    fMapped = reinterpret_cast<uint8_t*>(aligned);
#if defined(MADV_HUGEPAGE)
    ::madvise(fMapped, fMappedBytes, MADV_HUGEPAGE);
#endif
    for (size_t k = 0; k < fSlots.size(); ++k) fSlots[k].memory = fMapped + k * slotBytes;
    try {
      for (int t = 0; t < helpers; ++t) fThreads.emplace_back([this] { Help(); });
    } catch (...) {
      Quit();
      throw;
    }
  }
  ~TReadAhead() { Quit(); }
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  size_t ChunkBytes() const { return fChunk; }

  // Begins reading the file's first size bytes (the file before stopped);
  // with findZero, each chunk's first zero byte is looked for as it is read.
  void Start(int fd, size_t size, bool findZero) {
    {
      const std::lock_guard<std::mutex> lock(fMutex);
      fFd = fd;
      fFindZero = findZero;
      fChunks = (size + fChunk - 1) / fChunk;
      fSize = size;
      fNextRead = fNextTake = 0;
      fActive = true;
      Changed();
    }
    fWork.notify_all();
  }
  // The file's next chunk, in order. A chunk shorter than asked (the file
  // became shorter) or with an error is the last one worth taking.
  TChunk Next() {
    std::unique_lock<std::mutex> lock(fMutex);
    TChunk chunk;
    if (!fActive || fNextTake >= fChunks) return chunk;
    const size_t want = fNextTake;
    TSlot* found = nullptr;
    Await(lock, fDone, [&] {
      for (;;) {
        for (TSlot& slot : fSlots) {
          if (slot.state == kReady && slot.index == want) {
            found = &slot;
            return true;
          }
        }
        // Not read yet: the next chunk nobody reads is read here meanwhile,
        // or the next to count counted.
        if (!ReadOne(lock) && !CountOne(lock)) return false;
      }
    });
    found->state = kHeld;
    ++fNextTake;
    Changed();
    chunk.slot = static_cast<int>(found - fSlots.data());
    chunk.data = found->memory + kBefore;
    chunk.size = found->size;
    chunk.error = found->error;
    chunk.zero = found->zero;
    return chunk;
  }
  // A chunk taken is no longer used: its buffer may be read into again (once
  // it is counted, when the units are counted ahead).
  void Give(int slot) {
    {
      const std::lock_guard<std::mutex> lock(fMutex);
      TSlot& s = fSlots.at(static_cast<size_t>(slot));
      s.state = fCounting && s.index >= fNextCount ? kGiven : kFree;
      Changed();
    }
    fWork.notify_all();
  }

  // The first chunk whose bytes the ring still holds for counting: the one
  // in the taker's buffer `heldSlot` (or -1: none), else the next to take.
  size_t FirstCountable(int heldSlot) {
    const std::lock_guard<std::mutex> lock(fMutex);
    return heldSlot >= 0 ? fSlots.at(static_cast<size_t>(heldSlot)).index : fNextTake;
  }
  // Begins counting the units of the file from chunk `first` on, `counter`
  // holding the counts of the bytes before it, keeping a copy of the counts
  // at every `every` bytes of each chunk from its start.
  void BeginCounting(size_t first, const qn::TTextUnitCounter& counter, size_t every) {
    {
      const std::lock_guard<std::mutex> lock(fMutex);
      fCounting = fActive;
      fNextCount = first;
      fCountEvery = std::max<size_t>(every, 1);
      fCounter.emplace(counter);
      fMarks.clear();
      Changed();
    }
    fWork.notify_all();
  }
  // The counts of the bytes before offset `at`, a point a copy is kept at
  // (a chunk's start plus a multiple of `every`), into `counter`; points
  // before it are dropped. Counts the chunks up to it on this thread when no
  // other does, or waits for the one that does. False when it cannot be had
  // (counting stopped, a read error, a point dropped or past the file).
  bool Counted(size_t at, qn::TTextUnitCounter& counter) {
    std::unique_lock<std::mutex> lock(fMutex);
    bool got = false;
    Await(lock, fDone, [&] {
      for (;;) {
        while (!fMarks.empty() && fMarks.front().first < at) fMarks.pop_front();
        if (!fMarks.empty()) {
          if (fMarks.front().first == at) {
            counter = std::move(fMarks.front().second);
            fMarks.pop_front();
            got = true;
          }
          return true;
        }
        if (!fCounting || at < fNextCount * fChunk || at / fChunk >= fChunks) return true;
        if (!CountOne(lock) && !ReadOne(lock)) return false;
      }
    });
    return got;
  }
  // The copies of the counts before offset `at` are no longer wanted.
  void ForgetCounted(size_t at) {
    const std::lock_guard<std::mutex> lock(fMutex);
    while (!fMarks.empty() && fMarks.front().first < at) fMarks.pop_front();
  }
  // The units need no more counting (the buffers kept for it are freed).
  void StopCounting() {
    {
      const std::lock_guard<std::mutex> lock(fMutex);
      EndCounting();
      Changed();
    }
    fWork.notify_all();
  }
  // Stops reading the file; when it returns, no thread reads it any more.
  void Stop() {
    std::unique_lock<std::mutex> lock(fMutex);
    fActive = false;
    ++fGeneration;
    EndCounting();
    for (TSlot& slot : fSlots) {
      if (slot.state == kReady || slot.state == kHeld) slot.state = kFree;
    }
    Changed();
    // (A chunk being counted is not read into until its turn ends.)
    Await(lock, fDone, [&] {
      return !fCountBusy &&
             std::none_of(fSlots.begin(), fSlots.end(), [](const TSlot& s) { return s.state == kReading; });
    });
  }

 private:
  // kGiven: given back by the taker, kept until it is counted.
  enum TState { kFree, kReading, kReady, kHeld, kGiven };
  struct TSlot {
    uint8_t* memory = nullptr;  // kBefore bytes of room, then the chunk
    TState state = kFree;
    size_t index = 0;  // the chunk it holds or is being read with
    size_t size = 0;
    int error = 0;
    size_t zero = SIZE_MAX;
    uint64_t generation = 0;
  };

  // Ends the helpers and gives the memory back.
  void Quit() {
    {
      const std::lock_guard<std::mutex> lock(fMutex);
      fQuit = true;
      Changed();
    }
    fWork.notify_all();
    for (std::thread& t : fThreads) t.join();
    fThreads.clear();
    if (fMapped != nullptr) ::munmap(fMapped, fMappedBytes);
    fMapped = nullptr;
  }

  // Under the lock: no more counting; the buffers kept for it are freed
  // (but one being counted, freed when its turn ends).
  void EndCounting() {
    fCounting = false;
    fMarks.clear();
    fCounter.reset();
    for (TSlot& slot : fSlots) {
      if (slot.state == kGiven && !(fCountBusy && &slot == fCountSlot)) slot.state = kFree;
    }
  }

  // Under the lock: counts the next chunk to count when it is read and no
  // other thread counts, the lock let go meanwhile; false when there is none
  // to count now.
  bool CountOne(std::unique_lock<std::mutex>& lock) {
    if (!fCounting || fCountBusy) return false;
    TSlot* slot = nullptr;
    for (TSlot& s : fSlots) {
      if (s.index == fNextCount && (s.state == kReady || s.state == kHeld || s.state == kGiven)) {
        slot = &s;
        break;
      }
    }
    if (slot == nullptr) return false;
    fCountBusy = true;
    fCountSlot = slot;
    qn::TTextUnitCounter counter = std::move(*fCounter);
    const uint64_t generation = fGeneration;
    const size_t base = slot->index * fChunk, size = slot->size, every = fCountEvery;
    const uint8_t* const data = slot->memory + kBefore;
    bool failed = slot->error != 0;
    lock.unlock();
    // The chunk's bytes are not written while it is held, read or given
    // back (only the room before them is, by the taker); the counter and the
    // copies are this turn's own until it ends.
    std::vector<std::pair<size_t, qn::TTextUnitCounter>> marks;
    if (!failed) {
      try {
        marks.reserve((size + every - 1) / every);
        for (size_t at = 0; at < size; at += every) {
          marks.emplace_back(base + at, counter);
          counter.Add(std::span<const uint8_t>(data + at, std::min(every, size - at)));
        }
      } catch (const std::bad_alloc&) {
        failed = true;  // (the taker then counts no more ahead: its Counted fails)
      }
    }
    lock.lock();
    fCountBusy = false;
    if (generation == fGeneration && fCounting) {
      try {
        for (auto& mark : marks) {
          if (!failed) fMarks.push_back(std::move(mark));
        }
      } catch (const std::bad_alloc&) {
        failed = true;
      }
      if (failed) {
        EndCounting();  // (the taker stops at a read error)
      } else {
        fCounter.emplace(std::move(counter));
        ++fNextCount;
        if (slot->state == kGiven) slot->state = kFree;
      }
    } else if (slot->state == kGiven) {
      slot->state = kFree;  // (counting stopped during the turn: no longer wanted)
    }
    Changed();
    fDone.notify_all();
    fWork.notify_all();
    return true;
  }

  // Under the lock: the state changed (spinning waiters look at this).
  void Changed() { fVersion.store(fVersion.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  // Waits (the lock held) until ready() is true: spinning first, then asleep.
  template <class F>
  void Await(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, F ready) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicroseconds);
    bool spinning = true;
    while (!ready()) {
      if (spinning) {
        const uint64_t seen = fVersion.load(std::memory_order_relaxed);
        lock.unlock();
        for (int k = 0; fVersion.load(std::memory_order_acquire) == seen; ++k) {
#if defined(__SSE2__)
          _mm_pause();
#endif
          if ((k & 63) == 63 && std::chrono::steady_clock::now() >= until) {
            spinning = false;
            break;
          }
        }
        lock.lock();
      } else {
        cv.wait(lock);
      }
    }
  }

  // Under the lock: reads the next chunk nobody reads into a free buffer, the
  // lock let go meanwhile; false when there is none to read or no buffer.
  bool ReadOne(std::unique_lock<std::mutex>& lock) {
    if (!fActive || fNextRead >= fChunks) return false;
    TSlot* slot = nullptr;
    for (TSlot& s : fSlots) {
      if (s.state == kFree) {
        slot = &s;
        break;
      }
    }
    if (slot == nullptr) return false;
    slot->state = kReading;
    slot->index = fNextRead++;
    slot->generation = fGeneration;
    const int fd = fFd;
    const bool findZero = fFindZero;
    const size_t at = slot->index * fChunk, want = std::min(fChunk, fSize - at);
    uint8_t* const into = slot->memory + kBefore;
    lock.unlock();
    // The chunk whole, as the reads give it, up to the file's end or the
    // first error.
    size_t got = 0;
    int error = 0;
    while (got < want) {
      const ssize_t n = ::pread(fd, into + got, want - got, static_cast<off_t>(at + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = errno;
        break;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    // (While the bytes are in this core's cache.)
    const void* const zero = findZero && got > 0 ? std::memchr(into, 0, got) : nullptr;
    lock.lock();
    slot->size = got;
    slot->error = error;
    slot->zero = zero == nullptr ? SIZE_MAX : static_cast<size_t>(static_cast<const uint8_t*>(zero) - into);
    slot->state = slot->generation == fGeneration ? kReady : kFree;
    // Nothing is read after a chunk cut short.
    if (got < want && slot->state == kReady) fChunks = std::min(fChunks, slot->index + 1);
    Changed();
    fDone.notify_all();
    // (A helper may count it.)
    if (slot->state == kFree || fCounting) fWork.notify_all();
    return true;
  }

  // A helper thread: counts the next chunk to count when it is read, and
  // reads ahead while there is a chunk to read and a free buffer to read it
  // into.
  void Help() {
    std::unique_lock<std::mutex> lock(fMutex);
    for (;;) {
      Await(lock, fWork, [&] {
        while (!fQuit && (CountOne(lock) || ReadOne(lock))) {
        }
        return fQuit;
      });
      if (fQuit) return;
    }
  }

  static constexpr int kSpinMicroseconds = 100;

  const size_t fChunk;
  uint8_t* fMapped = nullptr;  // the buffers' memory
  size_t fMappedBytes = 0;
  std::mutex fMutex;
  std::condition_variable fWork;  // to the helpers: a buffer is free, a file begun, or the end
  std::condition_variable fDone;  // to the taker: a chunk is read
  std::atomic<uint64_t> fVersion{0};
  std::vector<TSlot> fSlots;
  std::vector<std::thread> fThreads;
  int fFd = -1;
  size_t fSize = 0, fChunks = 0;
  size_t fNextRead = 0;  // the next chunk to read
  size_t fNextTake = 0;  // the next chunk to hand over
  uint64_t fGeneration = 0;
  bool fActive = false, fQuit = false;
  bool fFindZero = false;
  // Counting ahead: whether it is on, whether a turn is taken, the next chunk
  // to count with the counts before it, and the copies kept, in order.
  bool fCounting = false, fCountBusy = false;
  TSlot* fCountSlot = nullptr;  // the buffer being counted, while fCountBusy
  size_t fNextCount = 0, fCountEvery = 1;
  std::optional<qn::TTextUnitCounter> fCounter;
  std::deque<std::pair<size_t, qn::TTextUnitCounter>> fMarks;
};

TTextReader::~TTextReader() = default;

// The bytes of a text as ReadPieces takes them: all in memory, or read from
// a file a window at a time. The window's memory serves text after text and
// is small enough to stay in the processor's cache, so that the kernel's copy
// from the page cache writes into cache lines that are then tested, decoded
// and searched while still there (a whole text of a few megabytes read at
// once costs about twice as much to copy, and is read again from memory).
TByteWindow::TByteWindow(std::span<const uint8_t> bytes)
    : fData(bytes.data()), fSize(bytes.size()), fEnd(bytes.size()), fComplete(true) {}

TByteWindow::TByteWindow(int fd, size_t size, std::vector<uint8_t>& window, TReadAhead* ahead, bool findZero)
    : fFd(fd), fSize(size), fWindow(&window), fAhead(ahead) {
  if (fAhead != nullptr) fAhead->Start(fd, size, findZero);
  fZeroFound = fAhead != nullptr && findZero;
}

TByteWindow::~TByteWindow() {
  if (fAhead == nullptr) return;
  if (fSlot >= 0) fAhead->Give(fSlot);
  fAhead->Stop();
}

bool TByteWindow::Reach(size_t upTo) {
  if (fComplete || upTo <= fEnd) return true;
  return fAhead != nullptr ? ReachAhead(upTo) : ReachByThisThread(upTo);
}

bool TByteWindow::ReachByThisThread(size_t upTo) {
  std::vector<uint8_t>& w = *fWindow;
  // The bytes still wanted move to the window's front.
  if (fKept > fBase) {
    if (fEnd > fKept) std::memmove(w.data(), w.data() + (fKept - fBase), fEnd - fKept);
    fBase = fKept;
  }
  const size_t need = std::min(upTo, fSize) - fBase;
  if (w.size() < need || w.size() < kReadBytes + (fEnd - fBase)) {
    w.resize(std::max(need, kReadBytes + (fEnd - fBase)));
  }
  fData = w.data();
  while (fEnd - fBase < need) {
    const size_t room = std::min(w.size() - (fEnd - fBase), fSize - fEnd);
    const ssize_t n = ::read(fFd, w.data() + (fEnd - fBase), room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      fError = errno;
      return false;
    }
    if (n == 0) break;  // the file became shorter: its bytes as they now are
    fEnd += static_cast<size_t>(n);
  }
  if (fEnd == fSize || fEnd - fBase < need) fComplete = true;
  return true;
}

bool TByteWindow::ReachAhead(size_t upTo) {
  upTo = std::min(upTo, fSize);
  std::vector<uint8_t>& w = *fWindow;
  while (fEnd < upTo && !fComplete) {
    const TReadAhead::TChunk chunk = fAhead->Next();
    if (chunk.slot < 0 || chunk.error != 0) {
      if (chunk.slot >= 0) fAhead->Give(chunk.slot);
      fError = chunk.slot < 0 ? EIO : chunk.error;
      return false;
    }
    // The bytes still wanted, [keep, fEnd), go before the new chunk: in the
    // room its buffer has for them, or (more than that) with it in `w`.
    const size_t keep = std::min(std::max(fKept, fBase), fEnd);
    const size_t carry = fEnd - keep;
    if (carry <= TReadAhead::kBefore) {
      if (carry > 0) std::memcpy(chunk.data - carry, At(keep), carry);
      if (fSlot >= 0) fAhead->Give(fSlot);
      fSlot = chunk.slot;
      fData = chunk.data - carry;
    } else {
      if (fSlot >= 0 || fData != w.data()) {
        w.assign(At(keep), At(fEnd));
      } else {
        std::memmove(w.data(), At(keep), carry);
        w.resize(carry);
      }
      w.insert(w.end(), chunk.data, chunk.data + chunk.size);
      if (fSlot >= 0) fAhead->Give(fSlot);
      fSlot = -1;
      fAhead->Give(chunk.slot);
      fData = w.data();
    }
    fBase = keep;
    const size_t asked = std::min(fAhead->ChunkBytes(), fSize - fEnd);
    if (chunk.zero != SIZE_MAX && fZero == SIZE_MAX) fZero = fEnd + chunk.zero;
    fEnd += chunk.size;
    // A chunk shorter than asked: the file became shorter, its bytes as
    // they now are.
    if (chunk.size < asked || fEnd >= fSize) fComplete = true;
  }
  return true;
}

bool TByteWindow::CountAhead(const qn::TTextUnitCounter& counter, size_t every, size_t& from) {
  if (fAhead == nullptr || every == 0 || fBase != 0 || fKept != 0) return false;
  // The chunks before the first one the ring still holds are counted here,
  // from the window (nothing is released yet).
  const size_t first = fAhead->FirstCountable(fSlot);
  if (first * fAhead->ChunkBytes() > fEnd) return false;  // (not met: that chunk is held or not taken)
  from = first * fAhead->ChunkBytes();
  if (from == 0) {
    fAhead->BeginCounting(first, counter, every);
  } else {
    qn::TTextUnitCounter before = counter;
    before.Add(Span(0, from));
    fAhead->BeginCounting(first, before, every);
  }
  fCountEvery = every;
  return true;
}

size_t TByteWindow::CountPoint(size_t x) const {
  if (fCountEvery == 0) return x;
  const size_t chunk = fAhead->ChunkBytes();
  const size_t start = x / chunk * chunk;
  return start + (x - start) / fCountEvery * fCountEvery;
}

bool TByteWindow::CountedAt(size_t point, qn::TTextUnitCounter& counter) {
  return fCountEvery > 0 && fAhead->Counted(point, counter);
}

void TByteWindow::ForgetCounted(size_t point) {
  if (fCountEvery > 0) fAhead->ForgetCounted(point);
}

void TByteWindow::StopCounting() {
  if (fCountEvery == 0) return;
  fAhead->StopCounting();
  fCountEvery = 0;
}

namespace {

// Where the piece that starts at `start` ends: about pieceBytes bytes on, at
// the end of a line (a whole unit of it in UTF-16), or at the end of the text.
bool PieceEnd(TByteWindow& source, size_t start, size_t pieceBytes, bool wide, size_t lfAt, size_t& end) {
  if (!source.Reach(start + pieceBytes)) return false;
  end = std::min(source.Available(), start + pieceBytes);
  if (wide) end = start + ((end - start) & ~size_t{1});
  const auto more = [&source] { return source.Reach(source.Available() + TByteWindow::kReadBytes); };
  if (!wide) {
    if (end == source.Available() && source.Complete()) return true;
    if (source.Byte(end - 1) == '\n') return true;
    for (size_t from = end;;) {
      const std::span<const uint8_t> rest = source.Span(from, source.Available());
      const void* lf = rest.empty() ? nullptr : std::memchr(rest.data(), '\n', rest.size());
      if (lf != nullptr) {
        end = from + static_cast<size_t>(static_cast<const uint8_t*>(lf) - rest.data()) + 1;
        return true;
      }
      if (source.Complete()) {
        end = source.Available();
        return true;
      }
      from = source.Available();
      if (!more()) return false;
    }
  }
  for (;;) {
    while (end < source.Available()) {
      if (end - start >= 2 && source.Byte(end - 2 + lfAt) == '\n' && source.Byte(end - 1 - lfAt) == 0) break;
      end += 2;
    }
    if (end < source.Available() || source.Complete()) break;
    if (!more()) return false;
  }
  end = std::min(end, source.Available());
  return true;
}

}  // namespace

bool AsciiReadsAlike() {
  const char16_t* table = qn::platform::DecodeTableOfCodePage(qn::platform::ResolvedCodePage(qn::platform::CP_ACP));
  if (table == nullptr) return false;
  for (unsigned byte = 1; byte < 0x80; ++byte) {
    if (table[byte] != byte) return false;
  }
  return true;
}

namespace {

// Hands the text of source to `piece` in pieces of about pieceBytes bytes,
// decoded as the readers decode the whole text. False on a read error.
//
// The encoding is known from the text's head, except for 8-bit text of a
// single-byte code page, which is UTF-8 or not by the evidence of the whole
// text. That evidence is gathered piece by piece, on the same walk that finds
// the text's end (its first zero byte), and only a piece that must be decoded
// and holds a byte of 0x80 or above needs the answer: the rest of the text is
// then read whole and weighed. The raw-bytes test gives the same answer for
// both encodings (it looks only for ASCII bytes, which both read alike, and
// in a code page that does not, it always answers "may hold one"), and a
// piece of ASCII bytes is the same text in both.
bool PiecesOf(TByteWindow& source, size_t pieceBytes, const std::function<void(const std::u16string&)>& piece,
              const qn::TRawTextPrefilter* filter) {
  if (!source.Reach(TByteWindow::kReadBytes)) return false;  // the head: 64 KiB at least, or all
  bool decided = true;
  qn::platform::TTextEncoding encoding =
      qn::TextFileHeadEncoding(source.Span(0, source.Available()), source.Size(), decided);
  const bool wide = encoding == qn::platform::kEncodingUTF16LE || encoding == qn::platform::kEncodingUTF16BE;
  const size_t lfAt = encoding == qn::platform::kEncodingUTF16BE ? 1 : 0;
  const bool asciiAlike = !decided && AsciiReadsAlike();
  qn::TUtf8Evidence evidence;
  std::u16string text;
  size_t start = 0;
  while (start < source.Available() || !source.Complete()) {
    size_t end = 0;
    if (!PieceEnd(source, start, pieceBytes, wide, lfAt, end)) return false;
    if (end == start) break;
    std::span<const uint8_t> part = source.Span(start, end);
    // The bytes of the piece before the zero unit that ends the text.
    size_t before;
    bool nonAscii = true;
    qn::TUtf8Evidence here;
    if (!decided) {
      before = here.Add(part, &nonAscii);
    } else {
      before = TextEnd(part, wide);
    }
    const bool last = before < part.size();
    if (filter != nullptr && !filter->MayHoldAHit(part, encoding)) {
      evidence.Add(here);
      if (last) break;  // not decoded
      source.Release(end);
      start = end;
      continue;
    }
    qn::platform::TTextEncoding as = encoding;
    if (!decided) {
      evidence.Add(here);
      if (nonAscii || !asciiAlike) {
        // The answer is needed now: the evidence of the rest of the text.
        if (!last) {
          if (!source.ReachAll()) return false;
          evidence.Add(source.Span(end, source.Available()));
          part = source.Span(start, end);
        }
        encoding = as = evidence.Encoding();
        decided = true;
      } else {
        as = qn::platform::kEncodingDefault;  // ASCII bytes: the same text either way
      }
    }
    text = qn::platform::DecodeTextBytesAs(part, as);
    // The decoder takes the encoding's signature at the start of the bytes for
    // a mark and skips it; within the text it is a character (U+FEFF). (8-bit
    // text has no signature: nothing is skipped.)
    if (start > 0 && as != qn::platform::kEncodingDefault && qn::platform::SignatureEncoding(part) == as) {
      text.insert(text.begin(), u'\uFEFF');
    }
    const size_t nul = last ? text.find(u'\0') : std::u16string::npos;
    if (nul != std::u16string::npos) {
      text.resize(nul);
      piece(text);
      break;  // a NUL ends a text for the readers
    }
    piece(text);
    source.Release(end);
    start = end;
  }
  return true;
}

}  // namespace

// A text's bytes held in memory while they are used: mapped or read into the
// reader's buffer, read whole, or extracted from the text's archive.
struct TTextReader::THeld {
  std::vector<uint8_t> read;
  std::string extracted;
  std::unique_ptr<TFileBytes> file;
  std::span<const uint8_t> bytes;
  // When they could not be held: whether the whole-text reader, which
  // reports why, read the text after all, and the text it read.
  bool readAnyway = false;
  std::u16string text;
};

bool TTextReader::Hold(const TTextRef& ref, THeld& held) {
  try {
    if (ref.zipEntry < 0) {
      held.file = std::make_unique<TFileBytes>(Utf8(ref.path), fBuffer, fBufferRoom);
      if (held.file->ok()) {
        held.bytes = held.file->Bytes();
      } else {
        held.read = qn::platform::ReadWholeFile(ref.path);
        held.bytes = held.read;
      }
    } else {
      held.extracted = ExtractedEntry(ref);
      held.bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(held.extracted.data()),
                                            held.extracted.size());
    }
  } catch (const qn::Exception&) {
    held.readAnyway = Read(ref, held.text);  // reports the reason as the whole-text reader does
    return false;
  }
  if (held.bytes.size() > 0x7FFFFFFF) {
    ReportProblem(ref.display, "text file too large");
    return false;
  }
  return true;
}

TReadAhead* TTextReader::Ahead() {
  if (!fAheadTried) {
    fAheadTried = true;
    // QUILLON_READ_THREADS: the threads that help read (0: files are read
    // on the thread that uses them, without reading ahead);
    // QUILLON_READ_BYTES: the chunk read at a time.
    size_t threads = 1;
    if (const char* value = std::getenv("QUILLON_READ_THREADS"); value != nullptr) {
      char* end = nullptr;
      const unsigned long n = std::strtoul(value, &end, 10);
      if (end != value && *end == '\0' && n <= 8) threads = n;
    }
    if (threads > 0) {
      size_t chunk = TByteWindow::kReadBytes;
      if (const char* value = std::getenv("QUILLON_READ_BYTES"); value != nullptr) {
        char* end = nullptr;
        const unsigned long long n = std::strtoull(value, &end, 10);
        if (end != value && *end == '\0' && n >= 64 && n <= (size_t{64} << 20)) chunk = static_cast<size_t>(n);
      }
      try {
        // Two buffers for the window, the others read ahead into.
        fAhead = std::make_unique<TReadAhead>(chunk, static_cast<int>(threads), static_cast<int>(threads) + 4);
      } catch (const std::exception&) {
        fAhead.reset();  // no threads or memory to be had: read on this thread
      }
    }
  }
  return fAhead.get();
}

bool TTextReader::ReadPieces(const TTextRef& ref, size_t pieceBytes,
                             const std::function<void(const std::u16string&)>& piece,
                             const qn::TRawTextPrefilter* filter) {
  if (ref.zipEntry < 0) {
    // A regular file is read a window at a time; anything else is left to
    // the library's reader below, which reads it or says why it cannot.
    const int fd = ::open(Utf8(ref.path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= 0x7FFFFFFF) {
      bool read = false;
      int error = 0;
      {
        TByteWindow source(fd, static_cast<size_t>(st.st_size), fWindow, Ahead());
        read = PiecesOf(source, pieceBytes, piece, filter);
        error = source.Error();
      }
      ::close(fd);
      if (!read) ReportProblem(ref.display, std::strerror(error));
      return read;
    }
    if (fd >= 0) ::close(fd);
  }
  THeld held;
  if (!Hold(ref, held)) {
    if (held.readAnyway) piece(held.text);  // one piece: it was read whole
    return held.readAnyway;
  }
  TByteWindow source(held.bytes);
  return PiecesOf(source, pieceBytes, piece, filter);
}

bool TTextReader::WithBytes(
    const TTextRef& ref, const std::function<void(std::span<const uint8_t>, qn::platform::TTextEncoding, bool)>& use) {
  THeld held;
  if (!Hold(ref, held)) return held.readAnyway;  // the caller then reads it whole
  bool decided = true;
  const qn::platform::TTextEncoding encoding = qn::TextFileHeadEncoding(held.bytes, held.bytes.size(), decided);
  use(held.bytes, encoding, decided);
  return true;
}

bool TTextReader::Stream(const TTextRef& ref,
                         const std::function<void(TByteWindow&, qn::platform::TTextEncoding, bool)>& use) {
  if (ref.zipEntry >= 0) return false;
  const int fd = ::open(Utf8(ref.path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool streamed = false;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= 0x7FFFFFFF) {
    TByteWindow source(fd, static_cast<size_t>(st.st_size), fWindow, Ahead(), true);
    // The head tells the encoding as it tells it for the whole text (64 KiB
    // at least, or all).
    if (source.Reach(TByteWindow::kReadBytes) && source.Available() > 0) {
      bool decided = true;
      const qn::platform::TTextEncoding encoding =
          qn::TextFileHeadEncoding(source.Span(0, source.Available()), source.Size(), decided);
      streamed = true;
      use(source, encoding, decided);
    }
  }
  ::close(fd);
  return streamed;
}

// ---------------------------------------------------------------------------

TProgress::TProgress(bool quiet, const std::vector<TTextRef>& texts) {
  fOn = !quiet && ::isatty(2) == 1;
  fTotalTexts = texts.size();
  for (const TTextRef& t : texts) fTotalBytes += t.size;
  fStart = Now();
}

TProgress::~TProgress() { Finish(); }

void TProgress::Done(const TTextRef& text) {
  ++fTexts;
  fBytes += text.size;
  if (!fOn) return;
  const double now = Now();
  if (now - fLastShown < 0.2 && fTexts < fTotalTexts) return;
  fLastShown = now;
  const double elapsed = std::max(now - fStart, 1e-6);
  const double rate = static_cast<double>(fBytes) / 1e6 / elapsed;
  const double left = fBytes > 0 ? elapsed * static_cast<double>(fTotalBytes - std::min(fBytes, fTotalBytes)) /
                                       static_cast<double>(fBytes)
                                 : 0;
  std::fprintf(stderr, "\r\x1b[K%zu/%zu texts, %.1f/%.1f MB, %.1f MB/s, %d:%02d left", fTexts, fTotalTexts,
               static_cast<double>(fBytes) / 1e6, static_cast<double>(fTotalBytes) / 1e6, rate,
               static_cast<int>(left) / 60, static_cast<int>(left) % 60);
  std::fflush(stderr);
}

void TProgress::Finish() {
  if (fOn && fLastShown > 0) {
    std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
  }
  fOn = false;
}

// ---------------------------------------------------------------------------

size_t PieceBytes(size_t fallback) {
  const char* value = std::getenv("QUILLON_PIECE_BYTES");
  if (value == nullptr) return fallback;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(value, &end, 10);
  return end != value && *end == '\0' && n >= 64 && n <= (1ull << 40) ? static_cast<size_t>(n) : fallback;
}

std::string Utf8(std::u16string_view text) { return qn::platform::EncodedUTF8(text); }
std::u16string Utf16(std::string_view text) { return qn::platform::DecodedUTF8(text); }

std::u16string Lowered(std::u16string_view text) {
  std::u16string s(text);
  qn::platform::LowerCaseInPlaceForLCID(qn::platform::UserDefaultLCID(), s.data(), s.size());
  return s;
}

void WordKey(std::u16string_view word, std::string& key) {
  // The comparison of the library's word lists: the user's locale, case ignored.
  qn::platform::CollationKey(0, qn::platform::NORM_IGNORECASE, word, key);
}

namespace {

// CleanedUtf8; with kWatch, seen is set when the text holds unit a or b
// (ASCII units, which stand as they are in what is written). Where the
// `readable` units from s.data() on (at least s.size()) reach eight past a
// last short block, that block is read eight units at a time too, and up to
// eight bytes are stored past the end returned.
template <bool kWatch>
char* Cleaned(std::u16string_view s, size_t readable, char* const begin, char16_t a, char16_t b, bool& seen) {
  char* o = begin;
  bool space = false;
  const size_t n = s.size();
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i blank = _mm_set1_epi16(0x21), high = _mm_set1_epi16(0x7E), zero = _mm_setzero_si128(),
                spaceUnits = _mm_set1_epi16(0x20), watchA = _mm_set1_epi16(static_cast<int16_t>(a)),
                watchB = _mm_set1_epi16(static_cast<int16_t>(b));
#endif
  // Eight units at a time where they allow it, else one by one for eight.
  while (i < n) {
#if defined(__SSE2__)
    // Up to eight ASCII units, white space (every unit up to U+0020) never
    // two together, go out packed to bytes, white space as a space: one
    // pending from before merges with white space first, white space last
    // waits to be written before what follows.
    for (;;) {
      size_t r = n - i;  // units of the block that belong to the text
      if (r >= 8) r = 8;
      else if (r == 0 || readable - i < 8) break;
      const unsigned valid = r == 8 ? 0xFFFFu : (1u << (2 * r)) - 1;  // two mask bits a unit
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
      // (units from 0x8000 on are negative: outside too)
      if ((static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi16(x, high), _mm_cmplt_epi16(x, zero)))) &
           valid) != 0) {
        break;
      }
      const __m128i white = _mm_cmplt_epi16(x, blank);
      const unsigned spaces = static_cast<unsigned>(_mm_movemask_epi8(white)) & valid;
      if ((spaces & (spaces >> 2)) != 0) break;   // two white-space units together
      if ((spaces & 3u) != 0 && o == begin) break;  // leading white space is dropped
      if constexpr (kWatch) {
        const __m128i either = _mm_or_si128(_mm_cmpeq_epi16(x, watchA), _mm_cmpeq_epi16(x, watchB));
        if ((static_cast<unsigned>(_mm_movemask_epi8(either)) & valid) != 0) seen = true;
      }
      if (space && (spaces & 3u) == 0) *o++ = ' ';
      const __m128i y = _mm_or_si128(_mm_andnot_si128(white, x), _mm_and_si128(white, spaceUnits));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(y, y));
      space = ((spaces >> (2 * r - 2)) & 1u) != 0;
      o += space ? r - 1 : r;
      i += r;
    }
#endif
    const size_t stop = std::min(n, i + 8);
    for (; i < stop; ++i) {
      uint32_t c = s[i];
      if (c > 0x20 && c < 0x80) {
        if (space) *o++ = ' ';
        space = false;
        *o++ = static_cast<char>(c);
        if constexpr (kWatch) seen = seen || c == a || c == b;
        continue;
      }
      if (c <= 0x20 || c == 0x85 || c == 0xA0 || c == 0x2028 || c == 0x2029) {
        space = o != begin;
        continue;
      }
      if (space) *o++ = ' ';
      space = false;
      if (c >= 0xD800 && c <= 0xDFFF) {
        // A pair makes one code point; a lone surrogate becomes U+FFFD.
        if (c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
          ++i;
        } else {
          c = 0xFFFD;
        }
      }
      if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
      } else if (c < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      } else {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      }
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return o;
}

}  // namespace

char* CleanedUtf8(std::u16string_view text, char* out) {
  bool seen = false;
  return Cleaned<false>(text, text.size(), out, 0, 0, seen);
}

// ---------------------------------------------------------------------------

void TCleanedStretch::Start(std::u16string_view text, char16_t a, char16_t b) {
  fText = text;
  fA = a;
  fB = b;
  fFrom = fTo = 0;
}

void TCleanedStretch::Keep(size_t from) {
  if (from < fFrom || from - fFrom < kKeptBehind) return;
  const size_t newFrom = std::min(from, fTo) & ~size_t{63};
  const size_t shift = newFrom - fFrom;
  const size_t kept = fTo - newFrom;
  if (kept > 0) {  // (an empty window may have no storage yet)
    std::memmove(fBytes.data(), fBytes.data() + shift, kept);
    std::memmove(fOther.data(), fOther.data() + shift / 64, (kept + 63) / 64 * sizeof(uint64_t));
  }
  fFrom = newFrom;
}

bool TCleanedStretch::FieldOutside(size_t from, size_t to, std::string_view& bytes) {
  if (from > to || to > fText.size()) return false;
  // Before the window (not in text order), or past it (the hits are far
  // apart): the window starts again at the field, so that no unit between is
  // cleaned for nothing.
  if (from < fFrom || from >= fTo) fFrom = fTo = from & ~size_t{63};
  Extend(to);
  return Field(from, to, bytes);
}

// The window reaches on to `to` and somewhat past it (the next lines' fields
// are near), in whole groups of 64 units but at the text's end.
void TCleanedStretch::Extend(size_t to) {
  constexpr size_t kAhead = 512;
  size_t end = std::max(to, fTo + kAhead);
  end = std::min(fText.size(), (end + 63) & ~size_t{63});
  const size_t units = end - fFrom;
  if (fBytes.size() < units + 64) {
    fBytes.resize(std::max(units + 64, fBytes.size() * 2));
    fOther.resize(fBytes.size() / 64 + 1);
  }
  for (size_t at = fTo; at < end; at += 64) Group(at, std::min<size_t>(64, end - at));
  fTo = end;
}

// Units [at, at + count) of one group of 64 (at a multiple of 64 from fFrom):
// their bytes, and which of them are not had so: units beyond ASCII (and
// U+007F), the watched ones, and white space beside other white space.
void TCleanedStretch::Group(size_t at, size_t count) {
  const char16_t* t = fText.data() + at;
  char* out = fBytes.data() + (at - fFrom);
  uint64_t white = 0, other = 0;
  size_t k = 0;
#if defined(__SSE2__)
  if (count == 64) {
    const __m128i blank = _mm_set1_epi16(0x21), high = _mm_set1_epi16(0x7E), zero = _mm_setzero_si128(),
                  space = _mm_set1_epi16(0x20), watchA = _mm_set1_epi16(static_cast<int16_t>(fA)),
                  watchB = _mm_set1_epi16(static_cast<int16_t>(fB));
    for (; k < 64; k += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k));
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k + 8));
      // (units from 0x8000 on are negative: beyond ASCII too)
      const __m128i outX = _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi16(x, high), _mm_cmplt_epi16(x, zero)),
                                        _mm_or_si128(_mm_cmpeq_epi16(x, watchA), _mm_cmpeq_epi16(x, watchB)));
      const __m128i outY = _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi16(y, high), _mm_cmplt_epi16(y, zero)),
                                        _mm_or_si128(_mm_cmpeq_epi16(y, watchA), _mm_cmpeq_epi16(y, watchB)));
      const __m128i whiteX = _mm_andnot_si128(outX, _mm_cmplt_epi16(x, blank));
      const __m128i whiteY = _mm_andnot_si128(outY, _mm_cmplt_epi16(y, blank));
      const __m128i bytesX = _mm_or_si128(_mm_andnot_si128(whiteX, x), _mm_and_si128(whiteX, space));
      const __m128i bytesY = _mm_or_si128(_mm_andnot_si128(whiteY, y), _mm_and_si128(whiteY, space));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(bytesX, bytesY));
      white |= static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(whiteX, whiteY))))
               << k;
      other |= static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(outX, outY))))
               << k;
    }
  }
#endif
  for (; k < count; ++k) {
    const char16_t c = t[k];
    if (c > 0x7E || c == fA || c == fB) {
      other |= uint64_t{1} << k;
      out[k] = '?';
    } else if (c <= 0x20) {
      white |= uint64_t{1} << k;
      out[k] = ' ';
    } else {
      out[k] = static_cast<char>(c);
    }
  }
  // White space beside white space (the units just outside the group looked
  // at in the text itself) is made one space by the cleaning: not had so.
  const uint64_t before = at > 0 && fText[at - 1] <= 0x20 ? 1 : 0;
  const uint64_t after = at + count < fText.size() && fText[at + count] <= 0x20 ? 1 : 0;
  const uint64_t neighbours = (white << 1) | before | (white >> 1) | (after << (count - 1));
  other |= white & neighbours;
  fOther[(at - fFrom) / 64] = other;
}

std::string Counted(int64_t n, std::string_view noun) {
  std::string s = std::to_string(n);
  s += ' ';
  s += noun;
  if (n != 1) s += 's';
  return s;
}

std::vector<std::string> SplitComma(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string_view::npos ? text.size() : comma;
    parts.emplace_back(text.substr(start, end - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return parts;
}

// ---------------------------------------------------------------------------

namespace {

// Holds back the signals that end the program while it lives, so that none
// comes between a temporary file's creation and the handler's knowing of it.
class THeldSignals {
 public:
  THeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, s);
    ::sigprocmask(SIG_BLOCK, &held, &fBefore);
  }
  ~THeldSignals() { ::sigprocmask(SIG_SETMASK, &fBefore, nullptr); }
  THeldSignals(const THeldSignals&) = delete;
  THeldSignals& operator=(const THeldSignals&) = delete;

 private:
  sigset_t fBefore;
};

}  // namespace

TOutput::TOutput(const std::string& file) : fFile(file) {
  if (file.empty()) return;
  const THeldSignals held;
  try {
    fWriter = std::make_unique<qn::platform::TSafeFileWriter>(std::string_view(file));
  } catch (const qn::Exception& error) {
    throw TFatal{kExitCannot, file + ": " + error.what()};
  }
  KeepTemporaryName(fWriter->TemporaryName());
}

TOutput::~TOutput() {
  if (fWriter) {
    fWriter->Abandon();  // (a signal now finds the file gone already)
    gTemporarySet = 0;
  }
}

void TOutput::Write(std::string_view bytes) {
  if (!fWriter) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
      throw TFatal{kExitCannot, std::string("standard output: ") + std::strerror(errno)};
    }
    return;
  }
  try {
    fWriter->Write(bytes.data(), bytes.size());
  } catch (const qn::Exception& error) {
    gTemporarySet = 0;
    throw TFatal{kExitCannot, fFile + ": " + error.what()};
  }
}

void TOutput::Commit() {
  if (!fWriter) {
    if (std::fflush(stdout) != 0) throw TFatal{kExitCannot, std::string("standard output: ") + std::strerror(errno)};
    return;
  }
  // A signal removes the temporary file until it is renamed (one after that
  // finds no file of that name to remove).
  try {
    fWriter->Commit();
  } catch (const qn::Exception& error) {
    gTemporarySet = 0;
    throw TFatal{kExitCannot, fFile + ": " + error.what()};
  }
  gTemporarySet = 0;
}

TTableWriter::TTableWriter(const TOutputOptions& options, std::vector<std::string> columns)
    : fOptions(options), fColumns(std::move(columns)), fOut(options.output) {
  if (options.format == "csv") {
    fFormat = 1;
  } else if (options.format == "json") {
    fFormat = 2;
  } else if (options.format != "tsv") {
    throw TFatal{kExitUsage, "--format " + options.format + ": expected tsv, csv or json"};
  }
  if (fFormat == 2) {
    Raw("[");
    return;
  }
  for (size_t i = 0; i < fColumns.size(); ++i) {
    if (i > 0) Raw(fFormat == 1 ? "," : "\t");
    Raw(fColumns[i]);
  }
  Raw(fFormat == 1 ? "\r\n" : "\n");
}

TTableWriter::~TTableWriter() = default;

void TTableWriter::BeginJsonField() {
  Raw(fField == 0 ? (fFirstRow ? "\n{" : ",\n{") : ",");
  Byte('"');
  Raw(fField < fColumns.size() ? std::string_view(fColumns[fField]) : std::string_view("extra"));
  Raw("\":");
  ++fField;
}

void TTableWriter::Str(std::string_view s) {
  BeginField();
  Escaped(s);
}

void TTableWriter::Escaped(std::string_view s) {
  if (fFormat == 0) {
    // Most fields need no escape: copy them whole.
    size_t plain = 0;
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'),
                  backslash = _mm_set1_epi8('\\');
    for (; s.size() - plain >= 16; plain += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + plain));
      const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, tab), _mm_cmpeq_epi8(x, lf)),
                                           _mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, backslash)));
      if (_mm_movemask_epi8(special) != 0) break;
    }
#endif
    while (plain < s.size() && s[plain] != '\t' && s[plain] != '\n' && s[plain] != '\r' && s[plain] != '\\') {
      ++plain;
    }
    Raw(s.substr(0, plain));
    for (char c : s.substr(plain)) {
      switch (c) {
        case '\t': Raw("\\t"); break;
        case '\n': Raw("\\n"); break;
        case '\r': Raw("\\r"); break;
        case '\\': Raw("\\\\"); break;
        default: Byte(c);
      }
    }
  } else if (fFormat == 1) {
    if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
      Raw(s);
    } else {
      Byte('"');
      for (char c : s) {
        if (c == '"') Byte('"');
        Byte(c);
      }
      Byte('"');
    }
  } else {
    Byte('"');
    for (char c : s) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        Byte('\\');
        Byte(c);
      } else if (u < 0x20) {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\u%04x", u);
        Raw(esc);
      } else {
        Byte(c);
      }
    }
    Byte('"');
  }
}

void TTableWriter::Str(std::u16string_view text) { Str(Utf8(text)); }

void TTableWriter::CleanStr(std::u16string_view text, size_t readable) {
  BeginField();
  // Cleaned text holds no control character, tab or line break: the only
  // bytes that may want an escape are the backslash (TSV), the comma and the
  // quote (CSV), and the quote and the backslash (JSON). Without them the
  // cleaned bytes are the field as they stand.
  const size_t from = fUsed;
  const size_t quote = fFormat == 2 ? 1 : 0;
  // (Room for the bytes stored past the end.)
  char* const begin = Room(quote + text.size() * 3 + 8 + quote) + quote;
  readable = std::max(readable, text.size());
  bool special = false;
  char* const end = fFormat == 0   ? Cleaned<true>(text, readable, begin, u'\\', u'\\', special)
                    : fFormat == 1 ? Cleaned<true>(text, readable, begin, u',', u'"', special)
                                   : Cleaned<true>(text, readable, begin, u'"', u'\\', special);
  if (!special) {
    if (quote != 0) {
      begin[-1] = '"';
      *end = '"';
    }
    fUsed = static_cast<size_t>(end - fBuffer.data()) + quote;
    return;
  }
  const std::string cleaned(begin, end);
  fUsed = from;
  Escaped(cleaned);
}

void TTableWriter::Num(double value, int decimals, bool scientific) {
  BeginField();
  if (!std::isfinite(value)) {
    if (fFormat == 2) Raw("null");
    else Raw(std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf"));
    return;
  }
  char digits[64];
  const int n = scientific ? std::snprintf(digits, sizeof digits, "%.*e", std::max(decimals - 1, 0), value)
                           : std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
  std::string_view s(digits, static_cast<size_t>(n));
  if (s == "-0" || (s.size() > 2 && s.substr(0, 2) == "-0" && s.find_first_not_of("-0.") == std::string_view::npos)) {
    s.remove_prefix(1);  // no negative zero
  }
  Raw(s);
}

void TTableWriter::Empty() {
  BeginField();
  if (fFormat == 2) Raw("null");
}

void TTableWriter::EndRow() {
  if (fFormat == 2) Raw("}");
  else Raw(fFormat == 1 ? "\r\n" : "\n");
  fField = 0;
  fFirstRow = false;
  FlushIfLarge();
}

std::string_view TTableWriter::TailOfRow(size_t from) const {
  std::string_view row(fBuffer.data() + from, fUsed - from);
  bool ok = true;
  const auto skip = [&](std::string_view lead) {
    ok = ok && row.substr(0, lead.size()) == lead;
    if (ok) row.remove_prefix(lead.size());
  };
  if (fFormat == 2) {
    skip(row.substr(0, 1) == "," ? ",\n{\"" : "\n{\"");
    skip(fColumns.at(0));
    skip("\":\"\",\"");
    skip(fColumns.at(1));
    skip("\":0");
  } else {
    skip(fFormat == 1 ? ",0" : "\t0");
  }
  const std::string_view end = fFormat == 2 ? "}" : (fFormat == 1 ? "\r\n" : "\n");
  ok = ok && row.size() >= end.size() && row.substr(row.size() - end.size()) == end;
  if (!ok) throw TFatal{kExitCannot, "a table row not begun with an empty field and 0"};
  row.remove_suffix(end.size());
  return row;
}

void TTableWriter::Grow(size_t n) {
  // Doubling, so that a row costs no allocation once the buffer is grown; from
  // 4 KiB, so that a short table does not fault in and zero 64 KiB first.
  fBuffer.resize(std::max(fUsed + n, std::max<size_t>(fBuffer.size() * 2, 1u << 12)));
}

void TTableWriter::FlushIfLarge() {
  if (fUsed < (1u << 20)) return;
  fOut.Write(std::string_view(fBuffer.data(), fUsed));
  fUsed = 0;
}

void TTableWriter::Finish() {
  if (fFinished) return;
  fFinished = true;
  if (fFormat == 2) Raw(fFirstRow ? "]\n" : "\n]\n");
  fOut.Write(std::string_view(fBuffer.data(), fUsed));
  fUsed = 0;
  fOut.Commit();
}

void WriteWhole(const TOutputOptions& options, const std::string& bytes) {
  TOutput out(options.output);
  out.Write(bytes);
  out.Commit();
}

}  // namespace quillon
