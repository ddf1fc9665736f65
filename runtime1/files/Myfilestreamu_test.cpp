#include "runtime1/files/Myfilestreamu.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "runtime1/files/Zip_utils.h"

#if defined(__SANITIZE_ADDRESS__)
#define QN_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QN_TEST_ASAN 1
#endif
#endif

// The largest array allocation asked for since the last reset. The readers
// allocate their buffers with new[]; counting the requests shows whether a
// hostile count ever reached the allocator. (The address sanitizer brings its
// own allocator, so the count is kept only without it.)
std::atomic<size_t> gLargestArrayRequest{0};
#ifndef QN_TEST_ASAN
void* operator new[](size_t size) {
  size_t seen = gLargestArrayRequest.load();
  while (size > seen && !gLargestArrayRequest.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif

namespace qn {
namespace {

using platform::TByteWriter;
using platform::TMemoryStream;
using platform::TMemoryViewStream;
using platform::TStream;

std::vector<uint8_t> BytesOf(const TMemoryStream& stream) {
  return {stream.Bytes().begin(), stream.Bytes().end()};
}

std::vector<uint8_t> Image(std::initializer_list<int> bytes) {
  std::vector<uint8_t> out;
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
  return out;
}

// Accepts at most `room` bytes in all, then refuses: a full disk.
class TFullStream : public TMemoryStream {
 public:
  explicit TFullStream(int64_t room) : fRoom(room) {}
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = std::min(count, fRoom - Size());
    return n <= 0 ? 0 : TMemoryStream::Write(buffer, n);
  }

 private:
  int64_t fRoom;
};

// Claims more bytes than it delivers: a file that shrank while it was read.
class TLyingStream : public TMemoryViewStream {
 public:
  TLyingStream(const std::vector<uint8_t>& bytes, int64_t claimedSize)
      : TMemoryViewStream(bytes.data(), static_cast<int64_t>(bytes.size())), fClaimed(claimedSize) {}
  int64_t Size() override { return fClaimed; }

 private:
  int64_t fClaimed;
};

template <typename E>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

// --- Golden images of the writers ---------------------------------------------------------

TEST(Myfilestreamu, ShortStringImages) {
  TMemoryStream empty;
  EXPECT_TRUE(WriteShortString(empty, ""));
  EXPECT_EQ(BytesOf(empty), Image({0x00}));

  TMemoryStream ab;
  EXPECT_TRUE(WriteShortString(ab, "ab"));
  EXPECT_EQ(BytesOf(ab), Image({0x02, 0x61, 0x62}));

  // 255 bytes is the longest that fits; 256 and 300 are cut to 255 and say so
  // (never stored as "length mod 256", which would give 0 and 44 bytes).
  for (size_t length : {size_t{255}, size_t{256}, size_t{300}}) {
    std::string text(length, 'x');
    for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i % 26);
    TMemoryStream out;
    EXPECT_EQ(WriteShortString(out, text), length == 255) << length;
    ASSERT_EQ(out.Size(), 256) << length;
    EXPECT_EQ(out.Memory()[0], 0xFF);
    EXPECT_EQ(std::memcmp(out.Memory() + 1, text.data(), 255), 0);
    out.SetPosition(0);
    EXPECT_EQ(ReadShortString(out), text.substr(0, 255));
  }
}

TEST(Myfilestreamu, WideAndAnsiTextImages) {
  TMemoryStream wide;
  WriteWidePchar(wide, u"ab");
  EXPECT_EQ(BytesOf(wide), Image({0x02, 0x00, 0x00, 0x00, 0x61, 0x00, 0x62, 0x00}));
  WriteWidePchar(wide, nullptr);
  WriteWidePchar(wide, u"\u00E9\u20AC");
  EXPECT_EQ(BytesOf(wide), Image({0x02, 0x00, 0x00, 0x00, 0x61, 0x00, 0x62, 0x00,  //
                                  0x00, 0x00, 0x00, 0x00,                          //
                                  0x02, 0x00, 0x00, 0x00, 0xE9, 0x00, 0xAC, 0x20}));

  TMemoryStream ansi;
  EXPECT_EQ(WriteAnsiPchar(ansi, "ab"), 4);
  EXPECT_EQ(WriteAnsiPchar(ansi, nullptr), 2);
  EXPECT_EQ(BytesOf(ansi), Image({0x02, 0x00, 0x61, 0x62, 0x00, 0x00}));
}

TEST(Myfilestreamu, LongAnsiTextIsCutToTheLargestCountAndSaysSo) {
  for (size_t length : {size_t{65535}, size_t{65536}, size_t{70000}}) {
    std::string text(length, 'q');
    text[65534] = 'z';
    TMemoryStream out;
    // The result is the bytes written; below 2 + length means the text was cut.
    EXPECT_EQ(WriteAnsiPchar(out, text.c_str()), 2 + 65535) << length;
    ASSERT_EQ(out.Size(), 2 + 65535);
    EXPECT_EQ(out.Memory()[0], 0xFF);
    EXPECT_EQ(out.Memory()[1], 0xFF);
    out.SetPosition(0);
    char* back = ReadAnsiPchar(out);
    EXPECT_EQ(std::string(back), text.substr(0, 65535));
    DeletePAnsichar(back);
  }
}

TEST(Myfilestreamu, PointerRecordImages) {
  TMemoryStream zero;
  EXPECT_TRUE(WriteKnownLengthPointer(zero, "abc", false, 0));
  EXPECT_EQ(BytesOf(zero), Image({0x00, 0x00, 0x00, 0x00}));

  TMemoryStream narrow;
  EXPECT_TRUE(WriteKnownLengthPointer(narrow, "abcdef", false, 3));
  EXPECT_TRUE(WriteUnknownLengthPointer(narrow, "xy", false));
  EXPECT_TRUE(WriteUnknownLengthPointer(narrow, nullptr, false));
  EXPECT_EQ(BytesOf(narrow), Image({0x03, 0, 0, 0, 'a', 'b', 'c', 0x02, 0, 0, 0, 'x', 'y', 0, 0, 0, 0}));

  TMemoryStream wide;
  EXPECT_TRUE(WriteKnownLengthPointer(wide, u"a\u0100", true, 2));
  EXPECT_TRUE(WriteUnknownLengthPointer(wide, u"z", true));
  EXPECT_EQ(BytesOf(wide), Image({0x02, 0, 0, 0, 0x61, 0x00, 0x00, 0x01, 0x01, 0, 0, 0, 0x7A, 0x00}));
}

TEST(Myfilestreamu, NegativeOrImpossibleCountsWriteAnEmptyRecordAndReportFalse) {
  // A negative count stored as it stands would make every later read fail.
  TMemoryStream out;
  EXPECT_FALSE(WriteKnownLengthPointer(out, "abc", false, -5));
  EXPECT_FALSE(WriteKnownLengthPointer(out, nullptr, true, 4));
  EXPECT_EQ(BytesOf(out), Image({0, 0, 0, 0, 0, 0, 0, 0}));
  out.SetPosition(0);
  for (int i = 0; i < 2; ++i) {
    char* back = static_cast<char*>(ReadUnknownLengthPointer(out, false));
    EXPECT_STREQ(back, "");
    DeletePAnsichar(back);
  }
}

TEST(Myfilestreamu, WritersReportAStreamThatRefusesBytes) {
  TFullStream shortString(3);
  EXPECT_FALSE(WriteShortString(shortString, "abcdef"));
  TFullStream pointer(6);
  EXPECT_FALSE(WriteKnownLengthPointer(pointer, u"abc", true, 3));
  TFullStream countOnly(2);
  EXPECT_FALSE(WriteKnownLengthPointer(countOnly, "a", false, 1));
  TFullStream ansi(4);
  EXPECT_EQ(WriteAnsiPchar(ansi, "abcdef"), 4);  // 2 + 2 of the 8 bytes needed
  TFullStream wide(5);
  EXPECT_THROW(WriteWidePchar(wide, u"abc"), EWriteError);
}

// --- Readers ---------------------------------------------------------------------------------

TEST(Myfilestreamu, ReadersRoundTripAndReturnFreshBuffers) {
  TMemoryStream stream;
  WriteWidePchar(stream, u"h\u00E9llo");
  WriteWidePchar(stream, u"");
  WriteAnsiPchar(stream, "caf\xE9");
  WriteAnsiPchar(stream, "");
  WriteUnknownLengthPointer(stream, u"wide", true);
  WriteUnknownLengthPointer(stream, "", false);
  WriteShortString(stream, "short");
  stream.SetPosition(0);

  char16_t* w = ReadWidePchar(stream);
  EXPECT_EQ(std::u16string(w), u"h\u00E9llo");
  char16_t* emptyWide = ReadWidePchar(stream);
  EXPECT_EQ(emptyWide[0], u'\0');
  // An empty record gives a buffer of the caller's own, never nowt itself.
  EXPECT_NE(emptyWide, nowt);
  char* a = ReadAnsiPchar(stream);
  EXPECT_STREQ(a, "caf\xE9");
  char* emptyAnsi = ReadAnsiPchar(stream);
  EXPECT_STREQ(emptyAnsi, "");
  EXPECT_NE(emptyAnsi, nowtAnsi);

  auto* p = static_cast<char16_t*>(ReadUnknownLengthPointer(stream, true));
  EXPECT_EQ(std::u16string(p), u"wide");
  EXPECT_EQ(temp_pointer_chars_allocated, 4);
  auto* e = static_cast<char*>(ReadUnknownLengthPointer(stream, false));
  EXPECT_STREQ(e, "");
  EXPECT_EQ(temp_pointer_chars_allocated, 0);
  EXPECT_EQ(ReadShortString(stream), "short");
  EXPECT_EQ(stream.Remaining(), 0);

  DeletePWideChar(w);
  DeletePWideChar(emptyWide);
  DeletePAnsichar(a);
  DeletePAnsichar(emptyAnsi);
  DeletePWideChar(p);
  DeletePAnsichar(e);
}

TEST(Myfilestreamu, PointerReaderKeepsToItsMaximum) {
  TMemoryStream stream;
  const std::string longText(50001, 'a');
  WriteUnknownLengthPointer(stream, longText.c_str(), false);
  stream.SetPosition(0);
  EXPECT_EQ(MessageOf<EReadError>([&] { ReadUnknownLengthPointer(stream, false); }),
            "file read error : ReadUnknownLengthPointer");
  stream.SetPosition(0);
  char* fits = static_cast<char*>(ReadUnknownLengthPointerMaxSize(stream, false, 50001));
  EXPECT_EQ(std::strlen(fits), 50001u);
  EXPECT_EQ(temp_pointer_chars_allocated, 50001);
  DeletePAnsichar(fits);
  // A failed read leaves no stale count behind for the caller to trust.
  stream.SetPosition(0);
  EXPECT_THROW(ReadUnknownLengthPointerMaxSize(stream, false, 50000), EReadError);
  EXPECT_EQ(temp_pointer_chars_allocated, 0);
}

// Stored counts are hostile: each is refused with the reader's own message
// before anything is allocated, whatever the count asks for.
TEST(Myfilestreamu, HostileCountsAreRefusedBeforeAllocation) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::function<void(TStream&)> read;
    const char* message;
  };
  auto count32 = [](int32_t n, size_t tail) {
    TByteWriter w;
    w.Put<int32_t>(n).PutZeros(tail);
    return w.TakeBytes();
  };
  const std::vector<Case> cases = {
      {count32(-1, 8), [](TStream& s) { DeletePWideChar(ReadWidePchar(s)); }, "file read error : ReadWidePchar"},
      {count32(INT32_MAX, 8), [](TStream& s) { DeletePWideChar(ReadWidePchar(s)); },
       "file read error : ReadWidePchar"},
      {count32(5, 9), [](TStream& s) { DeletePWideChar(ReadWidePchar(s)); }, "file read error : ReadWidePchar"},
      {Image({0xFF, 0xFF, 'a'}), [](TStream& s) { DeletePAnsichar(ReadAnsiPchar(s)); },
       "file read error : ReadAnsiPchar"},
      {count32(-1, 8), [](TStream& s) { DeletePAnsichar(static_cast<char*>(ReadUnknownLengthPointer(s, false))); },
       "file read error : ReadUnknownLengthPointer"},
      // Within the caller's maximum but beyond the bytes left: count + 1 and
      // 2 * count would overflow 32-bit arithmetic.
      {count32(INT32_MAX, 8),
       [](TStream& s) { DeletePWideChar(static_cast<char16_t*>(ReadUnknownLengthPointerMaxSize(s, true, INT32_MAX))); },
       "file read error : ReadUnknownLengthPointer"},
      {count32(1 << 30, 8),
       [](TStream& s) { DeletePAnsichar(static_cast<char*>(ReadUnknownLengthPointerMaxSize(s, false, INT32_MAX))); },
       "file read error : ReadUnknownLengthPointer"},
      {count32(5, 9),
       [](TStream& s) { DeletePWideChar(static_cast<char16_t*>(ReadUnknownLengthPointerMaxSize(s, true, 100))); },
       "file read error : ReadUnknownLengthPointer"},
  };
  gLargestArrayRequest = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    TMemoryViewStream in(cases[i].bytes);
    temp_pointer_chars_allocated = 77;
    EXPECT_EQ(MessageOf<EReadError>([&] { cases[i].read(in); }), cases[i].message) << "case " << i;
    // The pointer readers leave no rejected count behind; the others do not
    // touch the shared count at all.
    const bool pointerReader = std::string(cases[i].message).ends_with("ReadUnknownLengthPointer");
    EXPECT_EQ(temp_pointer_chars_allocated, pointerReader ? 0 : 77) << "case " << i;
  }
  // None of the refusals reached for the memory its count asked for.
  EXPECT_LT(gLargestArrayRequest.load(), 4096u);
}

TEST(Myfilestreamu, ShortReadsRaiseInsteadOfReturningGarbage) {
  // Each stream claims 100 more bytes than it holds, so the count passes the
  // size check and the shortfall shows only while reading.
  TByteWriter wide;
  wide.Put<int32_t>(20).PutUnits(u"abc");
  const std::vector<uint8_t> wideBytes = wide.TakeBytes();
  TLyingStream w(wideBytes, static_cast<int64_t>(wideBytes.size()) + 100);
  EXPECT_EQ(MessageOf<EReadError>([&] { DeletePWideChar(ReadWidePchar(w)); }), "Stream read error");

  TLyingStream p(wideBytes, static_cast<int64_t>(wideBytes.size()) + 100);
  temp_pointer_chars_allocated = 9;
  EXPECT_EQ(MessageOf<EReadError>([&] { ReadUnknownLengthPointer(p, true); }), "Stream read error");
  EXPECT_EQ(temp_pointer_chars_allocated, 0);

  const std::vector<uint8_t> ansiBytes = Image({0x05, 0x00, 'a', 'b'});
  TLyingStream a(ansiBytes, 104);
  EXPECT_EQ(MessageOf<EReadError>([&] { DeletePAnsichar(ReadAnsiPchar(a)); }), "Stream read error");

  const std::vector<uint8_t> shortBytes = Image({0x05, 'a', 'b'});
  TMemoryViewStream s(shortBytes);
  EXPECT_EQ(MessageOf<EReadError>([&] { ReadShortString(s); }), "Stream read error");
  TMemoryViewStream nothing(nullptr, 0);
  EXPECT_THROW(ReadShortString(nothing), EReadError);
  EXPECT_THROW(ReadWidePchar(nothing), EReadError);
}

TEST(Myfilestreamu, FileStreamWritesItsOwnShortString) {
  const std::string path = "/tmp/qn_myfilestream_" + std::to_string(::getpid()) + ".bin";
  {
    TMyFileStream file(std::string_view(path), platform::fmCreate);
    EXPECT_TRUE(file.WriteAShortString("abc"));
    EXPECT_FALSE(file.WriteAShortString(std::string(256, 'y')));
  }
  const std::vector<uint8_t> bytes = platform::ReadWholeFile(std::string_view(path));
  ::unlink(path.c_str());
  ASSERT_EQ(bytes.size(), 4u + 256u);
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(bytes[4], 255);
}

// --- Zip paths -----------------------------------------------------------------------------

namespace fs = std::filesystem;

class ZipPaths : public testing::Test {
 protected:
  void SetUp() override {
    fDir = fs::temp_directory_path() / ("qn_zip_paths_" + std::to_string(::getpid()) + "_" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(fDir);
    fs::create_directories(fDir);
    // The temporary copy has one name per user: test runs of other builds
    // take turns with it.
    const std::string lock = platform::FileNameToUtf8(my_temp_path()) + "/test.lock";
    fLock = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fLock, 0);
    ASSERT_EQ(::flock(fLock, LOCK_EX), 0);
  }
  void TearDown() override {
    fs::remove_all(fDir);
    if (fLock >= 0) ::close(fLock);
  }

  static std::u16string W(const fs::path& path) { return platform::DecodedUTF8(path.string()); }

  // Writes an archive holding the given (name, bytes) entries in order.
  static void MakeArchive(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : entries) {
      void* copy = bytes.empty() ? nullptr : std::malloc(bytes.size());
      if (copy != nullptr) std::memcpy(copy, bytes.data(), bytes.size());
      zip_source_t* source = zip_source_buffer(archive, copy, bytes.size(), copy != nullptr ? 1 : 0);
      ASSERT_GE(zip_file_add(archive, name.c_str(), source, 0), 0) << name;
    }
    ASSERT_EQ(zip_close(archive), 0);
  }

  static std::string ReadFile(const fs::path& path) {
    const std::vector<uint8_t> bytes = platform::ReadWholeFile(std::string_view(path.string()));
    return std::string(bytes.begin(), bytes.end());
  }

  fs::path fDir;
  int fLock = -1;
};

TEST_F(ZipPaths, ExtensionsAndSplitting) {
  EXPECT_TRUE(IsZipExtension(u".ZIP"));
  EXPECT_TRUE(IsZipExtension(u".zip"));
  EXPECT_FALSE(IsZipExtension(u"zip"));
  EXPECT_FALSE(IsZipExtension(u".zipx"));
  EXPECT_TRUE(IsAZipFile(u"folder/texts.Zip"));
  EXPECT_TRUE(IsAZipFile(u"c:\\folder\\texts.zip"));
  EXPECT_FALSE(IsAZipFile(u"folder.zip/texts"));
  EXPECT_FALSE(IsAZipFile(u"folder.zip\\texts"));
  EXPECT_FALSE(IsAZipFile(u"zip"));

  // A path saved on Windows, and the same path with "/".
  const std::u16string saved = u"folder\\texts.ZIP\\a\\b.txt";
  EXPECT_EQ(ZipFileFullFileName(saved), u"folder\\texts.ZIP");
  EXPECT_EQ(ZipFileWantedFileNameWithin(saved), u"a\\b.txt");
  EXPECT_TRUE(IsWithinAZipFile(saved));
  EXPECT_EQ(ZipFileFullFileName(u"folder/texts.ZIP/a/b.txt"), u"folder/texts.ZIP");
  EXPECT_EQ(ZipFileWantedFileNameWithin(u"folder/texts.ZIP/a/b.txt"), u"a/b.txt");
  // ".zip" without a separator after it, or nothing of the kind.
  for (const char16_t* plain : {u"folder/texts.zip", u"folder/texts.zipped/a.txt", u"a/b.txt", u""}) {
    EXPECT_EQ(ZipFileFullFileName(plain), u"") << platform::EncodedUTF8(plain);
    EXPECT_EQ(ZipFileWantedFileNameWithin(plain), u"");
    EXPECT_FALSE(IsWithinAZipFile(plain));
  }
}

TEST_F(ZipPaths, AFolderNamedLikeAnArchiveIsPassedOver) {
  // dir/x.zip is a folder holding the real archive y.zip.
  fs::create_directories(fDir / "x.zip");
  MakeArchive(fDir / "x.zip" / "y.zip", {{"in/t.txt", "inner"}});
  const std::u16string path = W(fDir / "x.zip" / "y.zip" / "in" / "t.txt");
  EXPECT_EQ(ZipFileFullFileName(path), W(fDir / "x.zip" / "y.zip"));
  EXPECT_EQ(ZipFileWantedFileNameWithin(path), u"in/t.txt");
  EXPECT_EQ(ContentsOfFileWithinZipFile(path), u"inner\r\n");
  // A path that exists on disk is an ordinary file, not one inside an archive.
  fs::create_directories(fDir / "x.zip" / "real");
  EXPECT_FALSE(IsWithinAZipFile(W(fDir / "x.zip" / "real")));
  EXPECT_TRUE(IsWithinAZipFile(W(fDir / "x.zip" / "missing")));
}

TEST_F(ZipPaths, EntryTextsAreDecodedLikeFilesOnDisk) {
  const fs::path archive = fDir / "texts.zip";
  MakeArchive(archive, {{"a/utf8.txt", "h\xC3\xA9llo\nworld"},
                        {"a/wide.txt", std::string("\xFF\xFE" "a\0b\0\r\0\n\0c\0", 12)},
                        {"b\\saved.txt", "x\r\ny"}});
  EXPECT_EQ(ContentsOfFileWithinZipFile(W(archive) + u"/a/utf8.txt"), u"h\u00E9llo\r\nworld\r\n");
  EXPECT_EQ(ContentsOfFileWithinZipFile(W(archive) + u"/a/wide.txt"), u"ab\r\nc\r\n");
  // The other separator is tried when the name as given is not stored.
  EXPECT_EQ(ContentsOfFileWithinZipFile(W(archive) + u"\\a\\utf8.txt"), u"h\u00E9llo\r\nworld\r\n");
  EXPECT_EQ(ContentsOfFileWithinZipFile(W(archive) + u"/b/saved.txt"), u"x\r\ny\r\n");
  EXPECT_EQ(ContentsOfFileWithinZipFile(W(archive), 2), u"ab\r\nc\r\n");

  try {
    ContentsOfFileWithinZipFile(W(archive) + u"/a/none.txt");
    ADD_FAILURE() << "a missing entry must raise";
  } catch (const EZipError& e) {
    EXPECT_EQ(e.Kind(), TZipErrorKind::missing_entry);
  }
  for (int32_t n : {0, 4, -1}) {
    try {
      ContentsOfFileWithinZipFile(W(archive), n);
      ADD_FAILURE() << "entry " << n << " must raise";
    } catch (const EZipError& e) {
      EXPECT_EQ(e.Kind(), TZipErrorKind::bad_index) << n;
    }
  }
  EXPECT_THROW(ContentsOfFileWithinZipFile(W(fDir / "none.zip") + u"/a.txt"), EZipError);
}

TEST_F(ZipPaths, NumberedEntriesAreTakenByPositionEvenWithDuplicateNames) {
  // Two entries stored under one name: build a.txt and b.txt, then rename the
  // second in place (same length, so the archive stays consistent).
  const fs::path archive = fDir / "dupes.zip";
  MakeArchive(archive, {{"a.txt", "first"}, {"b.txt", "second"}});
  std::string bytes = ReadFile(archive);
  size_t renamed = 0;
  for (size_t at = bytes.find("b.txt"); at != std::string::npos; at = bytes.find("b.txt", at + 1)) {
    bytes.replace(at, 5, "a.txt");
    ++renamed;
  }
  ASSERT_EQ(renamed, 2u);  // local header and central directory
  platform::WriteFileSafely(std::string_view(archive.string()),
                            {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  EXPECT_EQ(ContentsOfFileWithinZipFile(W(archive), 1), u"first\r\n");
  EXPECT_EQ(ContentsOfFileWithinZipFile(W(archive), 2), u"second\r\n");
  const std::u16string temp = OpenedAZipFileToTempDir(W(archive), 2);
  const std::string written = ReadFile(platform::FileNameToUtf8(temp));
  EXPECT_EQ(written, std::string("\xFF\xFE" "s\0e\0c\0o\0n\0d\0\r\0\n\0", 18));
}

TEST_F(ZipPaths, TemporaryCopyNeverHoldsAnotherEntrysText) {
  const fs::path archive = fDir / "texts.zip";
  MakeArchive(archive, {{"one.txt", "l1\rl2\r\nl3"}, {"two.txt", ""}});
  const std::u16string path = OpenedAZipFileToTempDir(W(archive), 1);
  EXPECT_EQ(path, my_temp_path() + u"/tempzip.txt");
  const std::string pathUtf8 = platform::FileNameToUtf8(path);
  EXPECT_EQ(ReadFile(pathUtf8), std::string("\xFF\xFE" "l\0" "1\0\r\0\n\0l\0" "2\0\r\0\n\0l\0" "3\0\r\0\n\0", 26));
  EXPECT_EQ(OpenedAZipFileToTempDir(W(archive), 2), path);
  EXPECT_EQ(ReadFile(pathUtf8), "\xFF\xFE");
  // Out of range: the earlier copy goes and the path is still given.
  for (int32_t n : {0, 3, -7}) {
    OpenedAZipFileToTempDir(W(archive), 1);
    EXPECT_EQ(OpenedAZipFileToTempDir(W(archive), n), path);
    EXPECT_FALSE(fs::exists(pathUtf8)) << n;
  }
  EXPECT_THROW(OpenedAZipFileToTempDir(W(fDir / "none.zip"), 1), EZipError);
}

TEST_F(ZipPaths, APlantedLinkIsReplacedNotFollowed) {
  const fs::path archive = fDir / "texts.zip";
  MakeArchive(archive, {{"one.txt", "mine"}});
  const std::string pathUtf8 = platform::FileNameToUtf8(my_temp_path() + u"/tempzip.txt");
  const fs::path victim = fDir / "victim.txt";
  {
    std::ofstream out(victim);
    out << "precious";
  }
  fs::remove(pathUtf8);
  fs::create_symlink(victim, pathUtf8);
  OpenedAZipFileToTempDir(W(archive), 1);
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(pathUtf8));
  EXPECT_EQ(ReadFile(pathUtf8), std::string("\xFF\xFE" "m\0i\0n\0e\0\r\0\n\0", 14));
}

TEST_F(ZipPaths, PrivateFolderIsCheckedBeforeUse) {
  const fs::path made = fDir / "fresh";
  const mode_t oldMask = ::umask(0);
  EnsurePrivateFolder(made.string());
  ::umask(oldMask);
  struct stat info {};
  ASSERT_EQ(::lstat(made.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_NO_THROW(EnsurePrivateFolder(made.string()));  // an existing private folder is fine

  fs::create_directories(fDir / "open");
  fs::permissions(fDir / "open", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  EXPECT_THROW(EnsurePrivateFolder((fDir / "open").string()), EOSError);
  fs::create_directory_symlink(made, fDir / "link");
  EXPECT_THROW(EnsurePrivateFolder((fDir / "link").string()), EOSError);
  {
    std::ofstream file(fDir / "file");
  }
  EXPECT_THROW(EnsurePrivateFolder((fDir / "file").string()), EOSError);
  EXPECT_THROW(EnsurePrivateFolder((fDir / "no" / "parent").string()), EOSError);

  const std::string mine = platform::FileNameToUtf8(my_temp_path());
  EXPECT_EQ(mine, "/tmp/quillon-" + std::to_string(::geteuid()));
  ASSERT_EQ(::lstat(mine.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(info.st_uid, ::geteuid());
}

}  // namespace
}  // namespace qn
