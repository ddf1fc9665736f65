#include "platform/Streams.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/testing/NonRegularFiles.h"
#include "platform/testing/TestFiles.h"

namespace qn::platform {
namespace {

std::vector<uint8_t> Bytes(const TMemoryStream& stream) {
  const auto bytes = stream.Bytes();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// The tests that work on files get a fresh folder each, removed afterwards.
class StreamFiles : public test_support::TTempFolderTest {
 protected:
  std::string TempFolder() const { return fDir.string(); }
};

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

size_t FilesIn(const std::string& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

// --- memory streams ------------------------------------------------------------

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream s;
  const uint8_t data[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(s.Write(data, 5), 5);
  EXPECT_EQ(s.Size(), 5);
  EXPECT_EQ(s.Position(), 5);
  s.SetPosition(1);
  uint8_t out[8] = {};
  EXPECT_EQ(s.Read(out, 8), 4);  // a read at the end delivers what is there
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(s.Read(out, 8), 0);
  EXPECT_EQ(s.Seek(-2, TSeekOrigin::soEnd), 3);
  EXPECT_EQ(s.Seek(1, TSeekOrigin::soCurrent), 4);
  EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
  EXPECT_EQ(s.Write(data, 0), 0);
  EXPECT_EQ(s.Write(data, -3), 0);
}

TEST(Streams, WritingBeyondTheEndFillsTheGapWithZeros) {
  TMemoryStream s;
  s.SetSize(3);
  s.Seek(0, TSeekOrigin::soBeginning);
  const uint8_t ff = 0xFF;
  s.WriteBuffer(&ff, 1);
  s.SetSize(1);  // shrink, then grow through a seek and write
  s.Seek(4, TSeekOrigin::soBeginning);
  s.WriteBuffer(&ff, 1);
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{0xFF, 0, 0, 0, 0xFF}));
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);  // the position follows a shrinking size
}

TEST(Streams, ShortReadRaisesReadError) {
  TMemoryStream s;
  const uint8_t data[] = {1, 2, 3};
  s.WriteBuffer(data, 3);
  s.SetPosition(0);
  uint8_t out[4];
  try {
    s.ReadBuffer(out, 4);
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  EXPECT_EQ(s.Position(), 3);
  s.SetPosition(0);
  EXPECT_NO_THROW(s.ReadBuffer(out, 3));
  EXPECT_NO_THROW(s.ReadBuffer(out, 0));
}

TEST(Streams, ViewStreamIsReadOnly) {
  const uint8_t data[] = {9, 8, 7};
  TMemoryViewStream view(data, 3);
  EXPECT_EQ(view.Size(), 3);
  EXPECT_EQ(Get<uint8_t>(view), 9);
  EXPECT_EQ(view.Write(data, 1), 0);
  EXPECT_THROW(view.WriteBuffer(data, 1), EWriteError);
  EXPECT_THROW(view.SetSize(1), EStreamError);
  TMemoryViewStream empty(nullptr, 10);
  EXPECT_EQ(empty.Size(), 0);
}

TEST(Streams, CopyFromCopiesWholeOrPart) {
  TMemoryStream source;
  for (uint8_t i = 0; i < 10; ++i) Put<uint8_t>(source, i);
  TMemoryStream whole;
  EXPECT_EQ(whole.CopyFrom(source, 0), 10);
  EXPECT_EQ(Bytes(whole), Bytes(source));
  source.SetPosition(7);
  TMemoryStream part;
  EXPECT_THROW(part.CopyFrom(source, 4), EReadError);
  source.SetPosition(7);
  EXPECT_EQ(part.CopyFrom(source, 3), 3);
  EXPECT_EQ(Bytes(part), (std::vector<uint8_t>{7, 8, 9}));
}

// --- stored values -------------------------------------------------------------

TEST(Streams, PutWritesLittleEndianGoldenBytes) {
  TMemoryStream s;
  Put<int32_t>(s, -2);
  Put<uint16_t>(s, 0x1234);
  Put<int64_t>(s, 0x0102030405060708);
  Put<float>(s, 1.5f);
  Put<double>(s, 1.0);
  Put<bool>(s, true);
  Put<int8_t>(s, -1);
  Put<char16_t>(s, u'\u00e9');
  const std::vector<uint8_t> golden = {
      0xFE, 0xFF, 0xFF, 0xFF,                          // int32 -2
      0x34, 0x12,                                      // uint16
      0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // int64
      0x00, 0x00, 0xC0, 0x3F,                          // float 1.5
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  // double 1.0
      0x01,                                            // bool
      0xFF,                                            // int8 -1
      0xE9, 0x00};                                     // char16_t
  EXPECT_EQ(Bytes(s), golden);

  s.SetPosition(0);
  EXPECT_EQ(Get<int32_t>(s), -2);
  EXPECT_EQ(Get<uint16_t>(s), 0x1234);
  EXPECT_EQ(Get<int64_t>(s), 0x0102030405060708);
  EXPECT_EQ(Get<float>(s), 1.5f);
  EXPECT_EQ(Get<double>(s), 1.0);
  EXPECT_TRUE(Get<bool>(s));
  EXPECT_EQ(Get<int8_t>(s), -1);
  EXPECT_EQ(Get<char16_t>(s), u'\u00e9');
  EXPECT_THROW(Get<uint8_t>(s), EReadError);
}

TEST(Streams, FloatsKeepEveryBitPattern) {
  const double values[] = {0.0, -0.0, 1e-310, std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::infinity(), 3.141592653589793};
  for (double v : values) {
    uint8_t bytes[8];
    PutLE(bytes, v);
    const double back = GetLE<double>(bytes);
    EXPECT_EQ(std::memcmp(&back, &v, 8), 0);
  }
  uint8_t nan[8];
  PutLE(nan, std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(std::isnan(GetLE<double>(nan)));
  const uint8_t nonZero = 0x7F;
  EXPECT_TRUE(GetLE<bool>(&nonZero));
}

TEST(Streams, LittleEndianHelpersWorkAtAnyAlignment) {
  uint8_t buffer[24];
  for (size_t at = 0; at < 8; ++at) {
    std::memset(buffer, 0xAA, sizeof buffer);
    PutLE<uint64_t>(buffer + at, 0x0102030405060708ull);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(buffer[at + i], 8 - i);
    EXPECT_EQ(buffer[at + 8], 0xAA);  // nothing written past the value
    EXPECT_EQ(GetLE<uint64_t>(buffer + at), 0x0102030405060708ull);
    EXPECT_EQ(GetLE<uint32_t>(buffer + at), 0x05060708u);
    EXPECT_EQ(GetLE<int16_t>(buffer + at + 6), 0x0102);
    PutLE<int32_t>(buffer + at, -2);
    EXPECT_EQ(GetLE<int32_t>(buffer + at), -2);
    EXPECT_EQ(buffer[at + 3], 0xFF);
  }

  // UTF-16 units in both orders, from and to an odd address.
  const char16_t units[] = {u'A', 0x00E9, 0xFEFF, 0xD83D, 0x8001};
  const size_t n = std::size(units);
  for (bool big : {false, true}) {
    uint8_t bytes[1 + 2 * std::size(units) + 1];
    bytes[2 * n + 1] = 0x55;
    UnitsToBytes(bytes + 1, units, n, big);
    for (size_t i = 0; i < n; ++i) {
      const uint8_t high = static_cast<uint8_t>(units[i] >> 8), low = static_cast<uint8_t>(units[i] & 0xFF);
      EXPECT_EQ(bytes[1 + 2 * i], big ? high : low);
      EXPECT_EQ(bytes[2 + 2 * i], big ? low : high);
    }
    EXPECT_EQ(bytes[2 * n + 1], 0x55);
    char16_t back[std::size(units) + 1];
    back[n] = u'#';
    UnitsFromBytes(back, bytes + 1, n, big);
    EXPECT_EQ(std::u16string_view(back, n), std::u16string_view(units, n));
    EXPECT_EQ(back[n], u'#');
  }
}

TEST(Streams, TryGetReportsShortReadsWithoutRaising) {
  TMemoryStream s;
  Put<uint16_t>(s, 7);
  s.SetPosition(0);
  int32_t value = 42;
  EXPECT_FALSE(TryGet(s, value));
  EXPECT_EQ(value, 42);
  s.SetPosition(0);
  uint16_t small = 0;
  EXPECT_TRUE(TryGet(s, small));
  EXPECT_EQ(small, 7);
  TMemoryViewStream view(nullptr, 0);
  EXPECT_FALSE(TryPut<int32_t>(view, 1));
}

TEST(Streams, StringRecordGoldenImageAndLimits) {
  TMemoryStream s;
  PutString32(s, u"ab");
  PutString32(s, u"");
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{0x02, 0, 0, 0, 'a', 0, 'b', 0, 0, 0, 0, 0}));
  s.SetPosition(0);
  EXPECT_EQ(GetString32(s, 5000, "ReadAString"), u"ab");
  EXPECT_EQ(GetString32(s, 5000, "ReadAString"), u"");

  struct Case {
    int32_t storedLength;
    int32_t limit;
    const char* message;
  };
  const Case cases[] = {
      {5001, 5000, "file read error : ReadAString"},        // above the limit
      {-1, 5000, "file read error : ReadAString"},          // negative
      {0x7FFFFFFF, 0x7FFFFFFF, "Stream read error"},        // more than the stream holds
      {3, 5000, "Stream read error"},                       // stream ends inside the text
  };
  for (const Case& c : cases) {
    TMemoryStream bad;
    Put<int32_t>(bad, c.storedLength);
    Put<uint16_t>(bad, 'x');
    bad.SetPosition(0);
    try {
      GetString32(bad, c.limit, "ReadAString");
      FAIL() << "no error for " << c.storedLength;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(Streams, ShortStringKeepsLengthModulo256) {
  TMemoryStream s;
  PutShortString(s, std::string(300, 'z'));
  EXPECT_EQ(s.Size(), 1 + 44);
  s.SetPosition(0);
  EXPECT_EQ(GetShortString(s), std::string(44, 'z'));
  TMemoryStream cut;
  Put<uint8_t>(cut, 10);
  cut.SetPosition(0);
  EXPECT_THROW(GetShortString(cut), EReadError);
}

TEST(Streams, UnitsAndBytesAreCheckedBeforeAllocation) {
  TMemoryStream s;
  PutUnits(s, u"\u0391b");
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{0x91, 0x03, 'b', 0}));
  s.SetPosition(0);
  EXPECT_THROW(GetUnits(s, int64_t(1) << 40), EReadError);
  EXPECT_THROW(GetUnits(s, -1), EReadError);
  EXPECT_EQ(GetUnits(s, 2), u"\u0391b");
  s.SetPosition(0);
  EXPECT_THROW(GetBytes(s, 5), EReadError);
  EXPECT_EQ(GetBytes(s, 4).size(), 4u);
}

TEST(Streams, ByteWriterAndReader) {
  TByteWriter w;
  w.Put<int32_t>(1).PutZeros(2).PutUnits(u"A").Put<uint8_t>(9);
  EXPECT_EQ(w.Bytes(), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 'A', 0, 9}));
  TByteReader r(w.Bytes());
  EXPECT_EQ(r.Get<int32_t>(), 1);
  r.Skip(2);
  EXPECT_EQ(r.GetUnits(1), u"A");
  EXPECT_THROW(r.Get<uint16_t>(), EReadError);
  EXPECT_EQ(r.Position(), 8u);  // a failed read does not move the cursor
  EXPECT_EQ(r.Get<uint8_t>(), 9);
  EXPECT_THROW(r.GetUnits(SIZE_MAX / 2), EReadError);
}

TEST(Streams, FileReadErrorMessage) {
  try {
    RaiseFileReadError("ReadUnknownLengthPointer");
    FAIL() << "nothing was raised";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "file read error : ReadUnknownLengthPointer");
    EXPECT_EQ(e.MessageW(), u"file read error : ReadUnknownLengthPointer");
  }
}

// --- files ---------------------------------------------------------------------

TEST_F(StreamFiles, FileStreamCreatesReadsAndReportsMissingFiles) {
  const std::string path = TempFolder() + "/file.bin";
  {
    TFileStream out(path, fmCreate);
    Put<int32_t>(out, 77);
    out.Flush();
  }
  {
    TFileStream in(path, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(in.Size(), 4);
    EXPECT_EQ(Get<int32_t>(in), 77);
    EXPECT_THROW(Get<int32_t>(in), EReadError);
  }
  try {
    TFileStream missing(TempFolder() + "/none.bin", fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(e.Message().find("none.bin"), std::string::npos);
  }
  EXPECT_THROW(TFileStream(TempFolder(), fmOpenRead), EFOpenError);  // a folder
  EXPECT_THROW(TFileStream(TempFolder() + "/no/such/x", fmCreate), EFCreateError);
}

// A failed read or write says which file and why, so a tool can tell its user
// more than "Stream read error".
TEST_F(StreamFiles, FailuresCarryTheFileNameAndTheSystemsReason) {
  const std::string path = TempFolder() + "/short.bin";
  {
    TFileStream out(path, fmCreate);
    Put<int16_t>(out, 1);
  }
  try {
    TFileStream in(path, fmOpenRead | fmShareDenyNone);
    Get<int32_t>(in);
    FAIL() << "read past the end of the file";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error: " + path + ": the file ended first");
  }

  const int folder = ::open(TempFolder().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  try {
    THandleStream handle(folder);
    Get<int32_t>(handle);
    ADD_FAILURE() << "read a folder as a file";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error: " + SystemErrorText(EISDIR));
  }
  ::close(folder);

  const int full = ::open("/dev/full", O_WRONLY);
  if (full >= 0) {  // every Linux system has it; guarded for unusual containers
    try {
      THandleStream handle(full);
      Put<int32_t>(handle, 5);
      ADD_FAILURE() << "wrote to a full device";
    } catch (const EWriteError& e) {
      EXPECT_EQ(e.Message(), "Stream write error: " + SystemErrorText(ENOSPC));
    }
    ::close(full);
  }
}

TEST_F(StreamFiles, ShareModes) {
  const std::string path = TempFolder() + "/shared.bin";
  {
    TFileStream out(path, fmCreate);
    Put<int32_t>(out, 5);
  }
  {
    TFileStream exclusive(path, fmOpenReadWrite | fmShareExclusive);
    // Readers that allow others (as the list readers open) are never refused.
    TFileStream reader(path, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(Get<int32_t>(reader), 5);
    EXPECT_THROW(TFileStream(path, fmOpenRead | fmShareDenyWrite), EFOpenError);
    EXPECT_THROW(TFileStream(path, fmOpenRead | fmShareExclusive), EFOpenError);
    // A refused create must not have truncated the file.
    EXPECT_THROW(TFileStream(path, fmCreate), EFCreateError);
    EXPECT_EQ(FileBytes(path).size(), 4u);
  }
  {
    TFileStream first(path, fmOpenRead | fmShareDenyWrite);
    TFileStream second(path, fmOpenRead | fmShareDenyWrite);  // readers share
    EXPECT_THROW(TFileStream(path, fmOpenReadWrite | fmShareExclusive), EFOpenError);
  }
  TFileStream again(path, fmOpenReadWrite | fmShareExclusive);  // locks went with the streams
  EXPECT_EQ(again.Size(), 4);
}

TEST_F(StreamFiles, WriteFileSafelyReplacesAndKeepsPermissions) {
  const std::string folder = TempFolder() + "/safe";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/target.txt";
  const std::vector<uint8_t> first = {'o', 'n', 'e'};
  WriteFileSafely(std::string_view(path), first);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const std::vector<uint8_t> second = {'t', 'w', 'o', '!'};
  WriteFileSafely(std::string_view(path), second);
  EXPECT_EQ(FileBytes(path), second);
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(FilesIn(folder), 1u);  // no temporary file left behind
  EXPECT_THROW(WriteFileSafely(std::string_view(folder), second), EFCreateError);
}

// The streaming form: the old file stays as it was until Commit, whatever was
// written meanwhile; an abandoned writer leaves no temporary file.
TEST_F(StreamFiles, SafeFileWriterPutsTheFileInPlaceOnlyOnCommit) {
  const std::string folder = TempFolder() + "/streamed";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/table.tsv";
  WriteFileSafely(std::string_view(path), std::vector<uint8_t>{'o', 'l', 'd'});
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  {
    TSafeFileWriter writer{std::string_view(path)};
    ASSERT_TRUE(writer.Open());
    const std::string temporary = writer.TemporaryName();
    EXPECT_EQ(temporary.rfind(folder + "/.table.tsv." + std::to_string(::getpid()) + ".", 0), 0u) << temporary;
    writer.Write("first ", 6);
    writer.Write(std::vector<uint8_t>(100000, 'x'));
    EXPECT_EQ(FileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(FileBytes(temporary).size(), 100006u);
    // Not committed: the destructor removes the temporary file.
  }
  EXPECT_EQ(FileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(FilesIn(folder), 1u);

  TSafeFileWriter abandoned{std::string_view(path)};
  abandoned.Write("gone", 4);
  abandoned.Abandon();
  EXPECT_FALSE(abandoned.Open());
  EXPECT_TRUE(abandoned.TemporaryName().empty());
  EXPECT_THROW(abandoned.Write("more", 4), EWriteError);
  EXPECT_THROW(abandoned.Commit(), EWriteError);
  EXPECT_EQ(FilesIn(folder), 1u);

  TSafeFileWriter writer{std::string_view(path)};
  writer.Write("new ", 4);
  writer.Write("contents", 8);
  writer.Commit();
  EXPECT_TRUE(writer.TemporaryName().empty());
  writer.Abandon();  // after Commit: nothing to remove, the file stays
  EXPECT_EQ(FileBytes(path), (std::vector<uint8_t>{'n', 'e', 'w', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'}));
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0604u);
  EXPECT_EQ(FilesIn(folder), 1u);

  EXPECT_THROW(TSafeFileWriter{std::string_view(folder)}, EFCreateError);
  EXPECT_THROW(TSafeFileWriter{std::string_view(folder + "/no/such/file")}, EFCreateError);
}

// A child process that runs out of room (file size limit) while it writes the
// new contents: with the default signal action it dies in the middle of the
// write, as in a crash; with the signal ignored the write fails and raises.
// Either way the old file must be there, whole.
TEST_F(StreamFiles, CrashOrFailureWhileWritingKeepsTheOldFile) {
  const std::string folder = TempFolder() + "/crash";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/settings.txt";
  const std::vector<uint8_t> old(1000, 'o');
  WriteFileSafely(std::string_view(path), old);

  for (const bool crash : {true, false}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, crash ? SIG_DFL : SIG_IGN);
      struct rlimit limit = {4096, 4096};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      const std::vector<uint8_t> bigger(100000, 'n');
      try {
        WriteFileSafely(std::string_view(path), bigger);
      } catch (const EWriteError&) {
        ::_exit(3);
      } catch (...) {
        ::_exit(4);
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (crash) {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    } else {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 3);  // the failure was raised as a write error
    }
    EXPECT_EQ(FileBytes(path), old);
  }
  // The crash left its temporary file, which the next save cleared; the
  // failure cleaned up after itself.
  EXPECT_EQ(FilesIn(folder), 1u);
}

TEST_F(StreamFiles, WriteFileSafelySavesThroughLinksToTheirTarget) {
  const std::string folder = TempFolder();
  const std::string target = folder + "/real.txt";
  WriteFileSafely(std::string_view(target), std::vector<uint8_t>{'o', 'l', 'd'});
  ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
  // A chain: an absolute link to a relative link to the file.
  ASSERT_EQ(::symlink("real.txt", (folder + "/near").c_str()), 0);
  ASSERT_EQ(::symlink((folder + "/near").c_str(), (folder + "/far").c_str()), 0);

  const std::vector<uint8_t> fresh = {'n', 'e', 'w'};
  WriteFileSafely(std::string_view(folder + "/far"), fresh);
  EXPECT_EQ(FileBytes(target), fresh);
  struct stat info;
  ASSERT_EQ(::lstat((folder + "/far").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::lstat((folder + "/near").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);

  // A link to a missing file creates that file; a loop of links is refused.
  ASSERT_EQ(::symlink("later.txt", (folder + "/pending").c_str()), 0);
  WriteFileSafely(std::string_view(folder + "/pending"), fresh);
  EXPECT_EQ(FileBytes(folder + "/later.txt"), fresh);
  ASSERT_EQ(::symlink("loop2", (folder + "/loop1").c_str()), 0);
  ASSERT_EQ(::symlink("loop1", (folder + "/loop2").c_str()), 0);
  EXPECT_THROW(WriteFileSafely(std::string_view(folder + "/loop1"), fresh), EFCreateError);
  EXPECT_EQ(FilesIn(folder), 7u);  // nothing else was made

  // Another hard link keeps the old contents.
  ASSERT_EQ(::link(target.c_str(), (folder + "/twin.txt").c_str()), 0);
  WriteFileSafely(std::string_view(target), std::vector<uint8_t>{'3'});
  EXPECT_EQ(FileBytes(target), std::vector<uint8_t>{'3'});
  EXPECT_EQ(FileBytes(folder + "/twin.txt"), fresh);
}

TEST_F(StreamFiles, WriteFileSafelyKeepsOwnerAndGroup) {
  const std::string path = TempFolder() + "/owned.txt";
  WriteFileSafely(std::string_view(path), std::vector<uint8_t>{'a'});
  // Giving a file away takes privilege; where the tests run without it, the
  // saved file is the saver's own and there is nothing to compare.
  if (::chown(path.c_str(), 4321, 4322) != 0) GTEST_SKIP() << "cannot give a file away here";
  ASSERT_EQ(::chmod(path.c_str(), 02640), 0);
  WriteFileSafely(std::string_view(path), std::vector<uint8_t>{'b'});
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 4322u);
  EXPECT_EQ(info.st_mode & 07777, 02640u);
  EXPECT_EQ(FileBytes(path), std::vector<uint8_t>{'b'});
}

// Children forked from one process start saves that die part-way (a file-size
// limit with the default signal). Each must draw its own temporary name, and
// the parent's next save must both succeed and clear the leftovers.
TEST_F(StreamFiles, SavesKilledInForkedChildrenLeaveNothingInTheWay) {
  const std::string folder = TempFolder();
  const std::string path = folder + "/list.txt";
  const std::vector<uint8_t> old(100, 'o');
  WriteFileSafely(std::string_view(path), old);  // the parent has drawn a name

  pid_t last = 0;
  for (int i = 0; i < 16; ++i) {
    const pid_t child = last = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_DFL);
      struct rlimit limit = {4096, 4096};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      WriteFileSafely(std::string_view(path), std::vector<uint8_t>(100000, 'n'));
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
  }
  // Each save cleared the leftovers of those before it: the last child's
  // remains, named after that child.
  ASSERT_EQ(FilesIn(folder), 2u);
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "list.txt") {
      EXPECT_EQ(name.rfind(".list.txt." + std::to_string(last) + ".", 0), 0u) << name;
    }
  }
  EXPECT_EQ(FileBytes(path), old);

  const std::vector<uint8_t> fresh(5000, 'f');
  WriteFileSafely(std::string_view(path), fresh);
  EXPECT_EQ(FileBytes(path), fresh);
  EXPECT_EQ(FilesIn(folder), 1u);
}

TEST_F(StreamFiles, OnlyLeftoversOfEndedWritersAreRemoved) {
  const std::string folder = TempFolder();
  const std::string path = folder + "/data.bin";
  WriteFileSafely(std::string_view(path), std::vector<uint8_t>{1});

  // A process id that has surely ended: a child already reaped.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child);

  // This process's own temporary file, still being written.
  std::string live;
  const int liveHandle = CreateSaveTemporary(path, live);
  ASSERT_GE(liveHandle, 0);
  EXPECT_EQ(live.rfind(folder + "/.data.bin." + std::to_string(::getpid()) + ".", 0), 0u) << live;
  // An ended writer's file whose lock someone still holds (as a writer on
  // another machine sharing the folder would).
  const std::string held = folder + "/.data.bin." + dead + ".00000000000000aa.tmp";
  test_support::WriteBytes(held, "h");
  const int heldHandle = ::open(held.c_str(), O_RDONLY);
  ASSERT_GE(heldHandle, 0);
  ASSERT_EQ(::flock(heldHandle, LOCK_EX), 0);
  // Abandoned, and names that merely look alike.
  const std::string abandoned = folder + "/.data.bin." + dead + ".0123456789abcdef.tmp";
  test_support::WriteBytes(abandoned, "x");
  const std::vector<std::string> alike = {
      folder + "/.data.bin." + dead + ".0123456789abcde.tmp",   // 15 digits
      folder + "/.data.bin." + dead + ".0123456789ABCDEF.tmp",  // not made here
      folder + "/.data.bin.x" + dead + ".0123456789abcdef.tmp",
      folder + "/.other.bin." + dead + ".0123456789abcdef.tmp",
      folder + "/data.bin." + dead + ".0123456789abcdef.tmp"};
  for (const std::string& name : alike) test_support::WriteBytes(name, "y");

  WriteFileSafely(std::string_view(path), std::vector<uint8_t>{2});
  EXPECT_FALSE(std::filesystem::exists(abandoned));
  EXPECT_TRUE(std::filesystem::exists(live));
  EXPECT_TRUE(std::filesystem::exists(held));
  for (const std::string& name : alike) EXPECT_TRUE(std::filesystem::exists(name)) << name;

  ::close(heldHandle);  // its holder ends: the next save clears it
  WriteFileSafely(std::string_view(path), std::vector<uint8_t>{3});
  EXPECT_FALSE(std::filesystem::exists(held));
  EXPECT_TRUE(std::filesystem::exists(live));
  ::close(liveHandle);
  EXPECT_EQ(FileBytes(path), std::vector<uint8_t>{3});
}

TEST_F(StreamFiles, ReadWholeFileAndMemoryStreamFiles) {
  const std::string path = TempFolder() + "/whole.bin";
  TMemoryStream m;
  for (int i = 0; i < 100000; ++i) Put<uint8_t>(m, static_cast<uint8_t>(i));
  m.SaveToFile(std::string_view(path));
  const std::vector<uint8_t> bytes = ReadWholeFile(std::string_view(path));
  EXPECT_EQ(bytes, Bytes(m));
  TMemoryStream back;
  back.LoadFromFile(std::string_view(path));
  EXPECT_EQ(Bytes(back), Bytes(m));
  EXPECT_EQ(back.Position(), 0);
  EXPECT_THROW(ReadWholeFile(std::string_view(TempFolder() + "/absent")), EFOpenError);
}

class StreamsOnNonRegularFiles : public test_support::TTempFolderTest {};

// A named pipe without a writer and an endless device are refused at once, in
// every mode, with an error that says why; regular files still open.
TEST_F(StreamsOnNonRegularFiles, OnlyRegularFilesAreOpened) {
  const std::string pipe = (fDir / "pipe").string();
  ASSERT_TRUE(test_support::MakeNamedPipe(pipe));
  for (const uint16_t mode : {uint16_t(fmOpenRead | fmShareDenyNone), uint16_t(fmOpenRead),
                              uint16_t(fmOpenReadWrite | fmShareDenyWrite), uint16_t(fmCreate)}) {
    SCOPED_TRACE(mode);
    std::string message;
    EXPECT_TRUE(test_support::ReturnsWithoutAWriter(pipe, [&] {
      try {
        TFileStream stream(std::string_view(pipe), mode);
      } catch (const EFileStreamError& e) {
        message = e.what();
      }
    }));
    EXPECT_NE(message.find("cannot be read"), std::string::npos) << message;
    EXPECT_NE(message.find(pipe), std::string::npos) << message;
  }
  EXPECT_TRUE(test_support::ReturnsWithoutAWriter(pipe, [&] {
    EXPECT_THROW(ReadWholeFile(std::string_view(pipe)), EFOpenError);
  }));
  // Without the refusal this would read zeros until memory ran out.
  EXPECT_THROW(ReadWholeFile(std::string_view("/dev/zero")), EFOpenError);
  EXPECT_THROW(TFileStream(std::string_view("/dev/null"), fmOpenRead), EFOpenError);
  const std::string plain = (fDir / "plain.bin").string();
  test_support::WriteBytes(plain, "abc");
  TFileStream stream(std::string_view(plain), fmOpenRead | fmShareDenyNone);
  uint8_t got[3] = {};
  stream.ReadBuffer(got, 3);  // a regular file still blocks (and reads) as usual
  EXPECT_EQ(got[2], 'c');
}

}  // namespace
}  // namespace qn::platform
