#include "runtime1/files/Zip_utils.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/DateTime.h"
#include "platform/testing/TestFiles.h"
#include "platform/testing/NonRegularFiles.h"

namespace qn {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
  return text;
}

std::string AllBytes() {
  std::string bytes(256, '\0');
  for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i);
  return bytes;
}

// Local time 2021-03-04 05:06:08 (an even second: zip times have 2-second steps).
time_t SampleTime() {
  std::tm fields{};
  fields.tm_year = 2021 - 1900;
  fields.tm_mon = 2;
  fields.tm_mday = 4;
  fields.tm_hour = 5;
  fields.tm_min = 6;
  fields.tm_sec = 8;
  fields.tm_isdst = -1;
  return std::mktime(&fields);
}

const char* const kComment = "Kommentar: \xC3\xBC \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC";  // ü – 日本
const std::u16string kCommentW = u"Kommentar: ü – 日本";
const char* const kUtf8Name = "\xC3\xA7\xC3\xA3o/\xE6\x97\xA5\xE6\x9C\xAC.txt";  // ção/日本.txt

class ZipFixture : public test_support::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    fSample = fDir / "sample.zip";
    MakeSample(fSample);
  }

  // Adds an entry from bytes that the archive copies.
  static zip_int64_t Add(zip_t* archive, const char* name, const std::string& bytes, zip_flags_t flags = 0) {
    // libzip frees the copy (it keeps no buffer for an empty entry).
    void* copy = bytes.empty() ? nullptr : std::malloc(bytes.size());
    if (copy != nullptr) std::memcpy(copy, bytes.data(), bytes.size());
    zip_source_t* source = zip_source_buffer(archive, copy, bytes.size(), copy != nullptr ? 1 : 0);
    const zip_int64_t index = zip_file_add(archive, name, source, flags | ZIP_FL_OVERWRITE);
    EXPECT_GE(index, 0) << name;
    return index;
  }

  void MakeSample(const fs::path& path) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    const zip_int64_t a = Add(archive, "a.txt", "hello zip");
    zip_file_set_mtime(archive, static_cast<zip_uint64_t>(a), SampleTime(), 0);
    zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(a), 0, ZIP_OPSYS_DOS, 0x21);
    zip_dir_add(archive, "folder", 0);
    Add(archive, "folder/b.txt", Pattern(200000));
    Add(archive, "win\\c.txt", "back");
    Add(archive, kUtf8Name, "utf");
    Add(archive, "empty.txt", "");
    const zip_int64_t stored = Add(archive, "stored.bin", AllBytes());
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(stored), ZIP_CM_STORE, 0);
    Add(archive, "\x82t\x82.txt", "cp437", ZIP_FL_ENC_CP437);  // été.txt in the zip format's old code page
    zip_set_archive_comment(archive, kComment, static_cast<zip_uint16_t>(std::strlen(kComment)));
    ASSERT_EQ(zip_close(archive), 0);
  }

  // Offsets of an entry's local header and central directory record, found by
  // its name (first and second occurrence).
  static std::pair<size_t, size_t> HeadersOf(const std::string& bytes, std::string_view name) {
    const size_t local = bytes.find(name);
    const size_t central = bytes.find(name, local + 1);
    EXPECT_NE(local, std::string::npos);
    EXPECT_NE(central, std::string::npos);
    return {local - 30, central - 46};
  }
  static void Put32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
  }
  // Writes a copy of the sample with the declared (uncompressed) size of an
  // entry changed in both its headers.
  fs::path WithDeclaredSize(std::string_view name, uint32_t size) {
    std::string bytes = ReadFile(fSample);
    const auto [local, central] = HeadersOf(bytes, name);
    Put32(bytes, local + 22, size);
    Put32(bytes, central + 24, size);
    const fs::path path = fDir / "lying.zip";
    WriteFile(path, bytes);
    return path;
  }

  static TZipErrorKind KindOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const EZipError& error) {
      EXPECT_FALSE(error.Message().empty());
      return error.Kind();
    }
    ADD_FAILURE() << "no EZipError";
    return TZipErrorKind::no_archive_name;
  }

  fs::path fSample;
};

const std::u16string kNames[] = {u"a.txt",     u"folder/",    u"folder/b.txt", u"win\\c.txt", u"ção/日本.txt",
                                 u"empty.txt", u"stored.bin", u"été.txt"};

TEST_F(ZipFixture, ListsEntriesWithTheirStoredNames) {
  TZipForge zip;
  zip.SetFileName(fSample.u16string());
  zip.OpenArchive();
  EXPECT_TRUE(zip.Active());
  ASSERT_EQ(zip.GetEntryCount(), 8);
  EXPECT_EQ(zip.GetFileCount(), 7);
  for (int32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(zip.GetAZipMainDetail(i).FileName, kNames[i]) << i;
    EXPECT_EQ(zip.FindEntry(kNames[i]), i);
  }
  EXPECT_EQ(zip.FindEntry(u"A.TXT"), -1);  // stored names are matched exactly
  EXPECT_EQ(zip.FindEntry(u"win/c.txt"), -1);
  EXPECT_EQ(zip.GetFileComment(), kCommentW);
}

TEST_F(ZipFixture, DatesSizesAndAttributes) {
  TZipForge zip;
  zip.SetFileName(fSample.u16string());
  zip.OpenArchive();
  EXPECT_NEAR(zip.GetADateTime(0), platform::EncodeDateTime(2021, 3, 4, 5, 6, 8, 0), 1e-9);
  const TZipFileSubProperty a = zip.GetAZipFileSubProperty(0);
  EXPECT_EQ(a.Size, 9u);
  EXPECT_EQ(a.Attr, zfa_ReadOnly | zfa_Archive);  // the DOS bits as stored
  EXPECT_NE(zip.GetAZipFileSubProperty(1).Attr & zfa_Directory, 0u);
  EXPECT_EQ(zip.GetAZipFileSubProperty(2).Attr & zfa_Directory, 0u);

  const TZipDirItem big = zip.GetAZipMainDetail(2);
  EXPECT_EQ(big.UncompressedSize, 200000u);
  EXPECT_LT(big.CompressedSize, big.UncompressedSize);
  EXPECT_EQ(big.CompressionMethod, ZIP_CM_DEFLATE);
  const TZipDirItem stored = zip.GetAZipMainDetail(6);
  EXPECT_EQ(stored.CompressionMethod, ZIP_CM_STORE);
  EXPECT_EQ(stored.CompressedSize, 256u);
  EXPECT_FALSE(stored.Encrypted);
}

TEST_F(ZipFixture, ExtractsIntoStringsAndStreams) {
  TZipForge zip;
  zip.SetFileName(fSample.u16string());
  zip.OpenArchive();
  std::string text = "old";
  zip.ExtractToString(u"a.txt", text);
  EXPECT_EQ(text, "hello zip");
  zip.ExtractToString(u"folder/b.txt", text);
  EXPECT_EQ(text, Pattern(200000));
  zip.ExtractToString(u"empty.txt", text);
  EXPECT_EQ(text, "");
  zip.ExtractToString(u"stored.bin", text);
  EXPECT_EQ(text, AllBytes());
  zip.ExtractToString(u"ção/日本.txt", text);
  EXPECT_EQ(text, "utf");
  EXPECT_EQ(zip.ExtractEntryToString(3), "back");

  platform::TMemoryStream stream;
  stream.WriteBuffer("xy", 2);
  zip.ExtractToStream(u"folder/b.txt", stream);
  const auto bytes = stream.Bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "xy" + Pattern(200000));
}

TEST_F(ZipFixture, OpensArchivesHeldInMemory) {
  TZipForge zip;
  std::string bytes = ReadFile(fSample);
  zip.OpenArchiveFromMemory(bytes);
  bytes.assign(bytes.size(), '\0');  // the component keeps its own copy
  ASSERT_EQ(zip.GetEntryCount(), 8);
  EXPECT_EQ(zip.GetAZipMainDetail(4).FileName, kNames[4]);
  EXPECT_EQ(zip.ExtractEntryToString(2), Pattern(200000));
  EXPECT_EQ(zip.GetFileComment(), kCommentW);
}

TEST_F(ZipFixture, ArchivesThatCannotBeOpened) {
  const fs::path junk = fDir / "junk.zip";
  WriteFile(junk, std::string(1000, 'J'));
  const fs::path empty = fDir / "empty.zip";
  WriteFile(empty, "");
  const std::string whole = ReadFile(fSample);
  const fs::path truncated = fDir / "truncated.zip";
  WriteFile(truncated, std::string_view(whole).substr(0, whole.size() / 2));
  const fs::path cutTail = fDir / "cut_tail.zip";  // the end record cut in the middle
  WriteFile(cutTail, std::string_view(whole).substr(0, whole.size() - std::strlen(kComment) - 12));

  const std::pair<fs::path, TZipErrorKind> cases[] = {
      {fDir / "missing.zip", TZipErrorKind::missing_file},
      {fDir / "no_folder" / "missing.zip", TZipErrorKind::missing_file},
      {fDir, TZipErrorKind::cannot_open},
      {junk, TZipErrorKind::damaged_archive},
      {empty, TZipErrorKind::damaged_archive},
      {truncated, TZipErrorKind::damaged_archive},
      {cutTail, TZipErrorKind::damaged_archive},
  };
  for (const auto& [path, kind] : cases) {
    TZipForge zip;
    zip.SetFileName(path.u16string());
    EXPECT_EQ(KindOf([&] { zip.OpenArchive(); }), kind) << path;
    EXPECT_FALSE(zip.Active());
  }
  TZipForge zip;
  EXPECT_EQ(KindOf([&] { zip.OpenArchive(); }), TZipErrorKind::no_archive_name);
  EXPECT_EQ(KindOf([&] { zip.OpenArchiveFromMemory(""); }), TZipErrorKind::damaged_archive);
  EXPECT_EQ(KindOf([&] { zip.OpenArchiveFromMemory(std::string(100, 'x')); }), TZipErrorKind::damaged_archive);
  EXPECT_EQ(KindOf([&] { zip.OpenArchiveFromMemory(std::string_view(whole).substr(0, 200)); }),
            TZipErrorKind::damaged_archive);
}

// An archive name that is a named pipe nobody writes, or a device, is refused
// at once instead of holding the caller.
TEST_F(ZipFixture, PipesAndDevicesCannotBeOpened) {
  const std::string pipe = (fDir / "pipe.zip").string();
  ASSERT_TRUE(test_support::MakeNamedPipe(pipe));
  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    EXPECT_TRUE(test_support::ReturnsWithoutAWriter(pipe, [&] {
      TZipForge zip;
      zip.SetFileName(fs::path(path).u16string());
      EXPECT_EQ(KindOf([&] { zip.OpenArchive(); }), TZipErrorKind::cannot_open) << path;
      EXPECT_FALSE(zip.Active());
    }));
  }
}

TEST_F(ZipFixture, MessagesNameTheArchiveAndTheEntry) {
  TZipForge zip;
  zip.SetFileName((fDir / "missing.zip").u16string());
  try {
    zip.OpenArchive();
    FAIL();
  } catch (const EZipError& error) {
    EXPECT_NE(error.Message().find("missing.zip"), std::string::npos) << error.Message();
  }
  zip.SetFileName(fSample.u16string());
  zip.OpenArchive();
  std::string text;
  try {
    zip.ExtractToString(u"nothing/here.txt", text);
    FAIL();
  } catch (const EZipError& error) {
    EXPECT_EQ(error.Kind(), TZipErrorKind::missing_entry);
    EXPECT_NE(error.Message().find("nothing/here.txt"), std::string::npos) << error.Message();
    EXPECT_NE(error.Message().find("sample.zip"), std::string::npos) << error.Message();
  }
}

TEST_F(ZipFixture, QueriesOutsideTheArchive) {
  TZipForge zip;
  std::string text;
  EXPECT_EQ(KindOf([&] { zip.GetEntryCount(); }), TZipErrorKind::not_open);
  EXPECT_EQ(KindOf([&] { zip.GetFileComment(); }), TZipErrorKind::not_open);
  EXPECT_EQ(KindOf([&] { zip.ExtractToString(u"a.txt", text); }), TZipErrorKind::not_open);
  zip.SetFileName(fSample.u16string());
  zip.OpenArchive();
  EXPECT_EQ(KindOf([&] { zip.GetAZipMainDetail(8); }), TZipErrorKind::bad_index);
  EXPECT_EQ(KindOf([&] { zip.GetADateTime(-1); }), TZipErrorKind::bad_index);
  EXPECT_EQ(KindOf([&] { zip.ExtractEntryToString(100); }), TZipErrorKind::bad_index);
  EXPECT_EQ(KindOf([&] { zip.ExtractToString(u"A.txt", text); }), TZipErrorKind::missing_entry);
  zip.CloseArchive();
  zip.CloseArchive();  // harmless twice
  EXPECT_EQ(KindOf([&] { zip.GetAZipFileSubProperty(0); }), TZipErrorKind::not_open);
}

TEST_F(ZipFixture, SizeLimitIsCheckedBeforeAndWhileInflating) {
  TZipForge zip;
  zip.SetFileName(fSample.u16string());
  zip.OpenArchive();
  EXPECT_EQ(zip.MaxExtractSize(), TZipForge::kDefaultMaxExtractSize);
  zip.SetMaxExtractSize(199999);
  std::string text = "old";
  EXPECT_EQ(KindOf([&] { zip.ExtractToString(u"folder/b.txt", text); }), TZipErrorKind::too_large);
  EXPECT_TRUE(text.empty());
  platform::TMemoryStream stream;
  EXPECT_EQ(KindOf([&] { zip.ExtractToStream(u"folder/b.txt", stream); }), TZipErrorKind::too_large);
  EXPECT_EQ(stream.Size(), 0);  // refused before a byte was produced
  zip.SetMaxExtractSize(200000);
  zip.ExtractToString(u"folder/b.txt", text);
  EXPECT_EQ(text.size(), 200000u);
}

TEST_F(ZipFixture, LyingDirectoriesAreCaught) {
  // An entry that declares fewer bytes than it inflates to (the shape of a
  // zip bomb), and one that declares more than it holds.
  const std::tuple<std::string_view, uint32_t, uint64_t> cases[] = {
      {"folder/b.txt", 1000, TZipForge::kDefaultMaxExtractSize},
      {"folder/b.txt", 1000, 5000},  // the limit passes the declaration but not the data
      {"folder/b.txt", 300000, TZipForge::kDefaultMaxExtractSize},
      {"stored.bin", 100, TZipForge::kDefaultMaxExtractSize},
      {"stored.bin", 1000, TZipForge::kDefaultMaxExtractSize},
  };
  for (const auto& [name, declared, limit] : cases) {
    SCOPED_TRACE(testing::Message() << name << " declared " << declared << " limit " << limit);
    TZipForge zip;
    zip.SetFileName(WithDeclaredSize(name, declared).u16string());
    zip.SetMaxExtractSize(limit);
    zip.OpenArchive();
    const std::u16string wide(name.begin(), name.end());
    std::string text;
    const TZipErrorKind kind = KindOf([&] { zip.ExtractToString(wide, text); });
    EXPECT_TRUE(kind == TZipErrorKind::failed_extraction || kind == TZipErrorKind::too_large) << int(kind);
    EXPECT_TRUE(text.empty());
    platform::TMemoryStream stream;
    const TZipErrorKind streamKind = KindOf([&] { zip.ExtractToStream(wide, stream); });
    EXPECT_TRUE(streamKind == TZipErrorKind::failed_extraction || streamKind == TZipErrorKind::too_large);
    EXPECT_LE(static_cast<uint64_t>(stream.Size()), std::max<uint64_t>(declared, 65536));
    // The other entries stay readable.
    EXPECT_EQ(zip.ExtractEntryToString(0), "hello zip");
  }
}

TEST_F(ZipFixture, DamagedDataFailsExtractionAndReportsTheEntry) {
  std::string bytes = ReadFile(fSample);
  const size_t data = bytes.find(AllBytes().substr(0, 64));  // the stored entry's bytes
  ASSERT_NE(data, std::string::npos);
  bytes[data + 10] ^= 0x55;
  const fs::path damaged = fDir / "crc.zip";
  WriteFile(damaged, bytes);

  struct Report {
    int calls = 0;
    int32_t index = -1;
    std::u16string name;
    void operator()(int32_t i, std::u16string_view n, std::u16string_view message) {
      ++calls;
      index = i;
      name = n;
      EXPECT_FALSE(message.empty());
    }
  } report;
  TZipForge zip;
  zip.SetFileName(damaged.u16string());
  zip.SetOnProcessFileFailure(TZipProcessFileFailure::FromCallable(report));
  zip.OpenArchive();
  std::string text;
  EXPECT_EQ(KindOf([&] { zip.ExtractToString(u"stored.bin", text); }), TZipErrorKind::failed_extraction);
  EXPECT_EQ(report.calls, 1);
  EXPECT_EQ(report.index, 6);
  EXPECT_EQ(report.name, u"stored.bin");
  EXPECT_EQ(zip.ExtractEntryToString(0), "hello zip");
}

TEST_F(ZipFixture, EncryptedEntriesAreNotExtractedWithoutAPassword) {
  const fs::path path = fDir / "secret.zip";
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  const zip_int64_t index = Add(archive, "secret.txt", "top secret");
  if (zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, "pw") != 0) {
    zip_discard(archive);
    GTEST_SKIP() << "this libzip cannot write encrypted entries";
  }
  ASSERT_EQ(zip_close(archive), 0);
  TZipForge zip;
  zip.SetFileName(path.u16string());
  zip.OpenArchive();
  EXPECT_TRUE(zip.GetAZipMainDetail(0).Encrypted);
  std::string text;
  EXPECT_EQ(KindOf([&] { zip.ExtractToString(u"secret.txt", text); }), TZipErrorKind::failed_extraction);
}

size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST_F(ZipFixture, ReleasingAnOpenComponentClosesTheArchive) {
  const size_t before = OpenDescriptors();
  for (int i = 0; i < 50; ++i) {
    auto zip = std::make_unique<TZipForge>();
    zip->SetFileName(fSample.u16string());
    zip->OpenArchive();
    zip->ExtractEntryToString(0);
    ASSERT_GT(OpenDescriptors(), before);  // the archive holds a descriptor while open
  }  // released without CloseArchive
  EXPECT_EQ(OpenDescriptors(), before);
  // Reopening another archive closes the first.
  TZipForge zip;
  zip.SetFileName(fSample.u16string());
  zip.OpenArchive();
  zip.OpenArchive();
  EXPECT_EQ(OpenDescriptors(), before + 1);
}

}  // namespace
}  // namespace qn
