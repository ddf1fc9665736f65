#include "runtime1/files/Mystreammemlists.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Streams.h"
#include "runtime1/files/testing/SampleStreamMemLists.h"

namespace qn {
namespace {

using test_support::TNumberMemList;
using test_support::TTextMemList;

// A region name of this test alone.
std::u16string UniqueName(const char* what) {
  return platform::DecodedUTF8(std::string("qn_test_") + std::to_string(::getpid()) + "_" + what + "_" +
                               testing::UnitTest::GetInstance()->current_test_info()->name());
}

std::string FullObjectName(const std::u16string& listName) {
  return TMemoryMapFile::ObjectName(std::u16string(kSharedMapPrefix) + listName);
}

bool ObjectExists(const std::string& objectName) {
  const int fd = ::shm_open(objectName.c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Makes a shared object by hand, as another program (or another user) could:
// the given bytes, mode and owner.
void PlantObject(const std::string& objectName, const std::vector<uint8_t>& bytes, mode_t mode,
                 uid_t owner = ::geteuid()) {
  const int fd = ::shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  ASSERT_EQ(::fchmod(fd, mode), 0);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(bytes.size())), 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  if (owner != ::geteuid()) {
    ASSERT_EQ(::fchown(fd, owner, static_cast<gid_t>(-1)), 0);
  }
  ::close(fd);
}

std::vector<uint8_t> Region(int32_t header, size_t totalBytes) {
  platform::TByteWriter w;
  w.Put<int32_t>(header);
  if (totalBytes > 4) w.PutZeros(totalBytes - 4);
  return w.TakeBytes();
}

// Runs child in a forked process; true when it exited with 0.
template <typename F>
bool InChild(F child) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 1;
    try {
      code = child() ? 0 : 2;
    } catch (...) {
      code = 3;
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// --- Regions --------------------------------------------------------------------------------

TEST(Mystreammemlists, RegionIsPrivateAndNamedForItsUser) {
  const std::u16string name = UniqueName("r");
  const std::string object = "/lexstore_compartilhar" + platform::EncodedUTF8(name) + "." + std::to_string(::geteuid());
  EXPECT_EQ(FullObjectName(name), object);
  EXPECT_EQ(TMemoryMapFile::ObjectName(u"a/b"), "/a_b." + std::to_string(::geteuid()));
  {
    TFlexibleSizeMap map(name, 100);
    ASSERT_NE(map.Base(), nullptr);
    EXPECT_TRUE(map.CreatedHere());
    EXPECT_EQ(map.MapSize(), 100);
    EXPECT_EQ(map.GetMemL(0), 100);
    EXPECT_EQ(map.MapName(), std::u16string(kSharedMapPrefix) + name);
    struct stat info {};
    const int fd = ::shm_open(object.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fstat(fd, &info), 0);
    ::close(fd);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 104);
    EXPECT_EQ(info.st_uid, ::geteuid());
  }
  // The creator removes the name when it closes.
  EXPECT_FALSE(ObjectExists(object));
}

TEST(Mystreammemlists, SecondOpenerSeesTheCreatorsSizeAndData) {
  const std::u16string name = UniqueName("s");
  TFlexibleSizeMap first(name, 64);
  ASSERT_TRUE(first.SetMemL(8, 0x12345678));
  TFlexibleSizeMap second(name, 5);  // the size asked for is ignored
  EXPECT_FALSE(second.CreatedHere());
  EXPECT_EQ(second.MapSize(), 64);
  EXPECT_EQ(second.GetMemL(8), 0x12345678);
  second.SetMemL(60, -7);
  EXPECT_EQ(first.GetMemL(60), -7);
  // Another process, too.
  EXPECT_TRUE(InChild([&] {
    TFlexibleSizeMap child(name, 1);
    const bool same = child.MapSize() == 64 && child.GetMemL(8) == 0x12345678;
    child.SetMemL(12, 99);
    return same;
  }));
  EXPECT_EQ(first.GetMemL(12), 99);
  // The one that only opened leaves the name in place when it closes.
  second.Close();
  EXPECT_TRUE(ObjectExists(FullObjectName(name)));
}

TEST(Mystreammemlists, ObjectsOthersCouldTouchAreRefused) {
  const std::u16string name = UniqueName("o");
  const std::string object = FullObjectName(name);
  // Readable or writable by group or others: someone else may have planted it
  // with a lying header, or may read the list.
  for (mode_t mode : {mode_t{0644}, mode_t{0660}, mode_t{0602}}) {
    PlantObject(object, Region(16, 20), mode);
    TFlexibleSizeMap map(name, 16);
    EXPECT_EQ(map.MapSize(), 0) << std::oct << mode;
    EXPECT_EQ(map.Base(), nullptr);
    TNumberMemList list(name);
    EXPECT_FALSE(list.LoadFromMemmap());
    ::shm_unlink(object.c_str());
  }
  // Owned by another user, even with a private mode.
  if (::geteuid() == 0) {
    PlantObject(object, Region(16, 20), 0600, 65534);
    TFlexibleSizeMap map(name, 16);
    EXPECT_EQ(map.MapSize(), 0);
    ::shm_unlink(object.c_str());
  }
  // A private object of our own is accepted.
  PlantObject(object, Region(16, 20), 0600);
  TFlexibleSizeMap ours(name, 3);
  EXPECT_EQ(ours.MapSize(), 16);
  ours.Close();
  ::shm_unlink(object.c_str());
}

TEST(Mystreammemlists, StoredSizeIsNeverTrustedBeyondTheMapping) {
  const std::u16string name = UniqueName("h");
  const std::string object = FullObjectName(name);
  PlantObject(object, Region(1 << 30, 32), 0600);
  {
    TFlexibleSizeMap map(name, 4);
    EXPECT_EQ(map.MapSize(), 28);
    uint8_t buffer[64];
    EXPECT_EQ(map.ReadFromMemmap(buffer, 0, 64), 28);
    EXPECT_EQ(map.ReadFromMemmap(buffer, 28, 4), 0);
    EXPECT_TRUE(map.WriteToMemmap(buffer, 0, 32));
    EXPECT_FALSE(map.WriteToMemmap(buffer, 1, 32));
  }
  ::shm_unlink(object.c_str());
  PlantObject(object, Region(-1, 32), 0600);
  {
    TFlexibleSizeMap map(name, 4);
    EXPECT_EQ(map.MapSize(), 0);
    EXPECT_EQ(map.Base(), nullptr);
  }
  ::shm_unlink(object.c_str());
  PlantObject(object, Region(0, 2), 0600);  // too small to hold a header
  {
    TFlexibleSizeMap map(name, 4);
    EXPECT_EQ(map.MapSize(), 0);
  }
  ::shm_unlink(object.c_str());
}

TEST(Mystreammemlists, AccessOutsideTheRegionIsRefused) {
  TFlexibleSizeMap map(UniqueName("b"), 8);  // region of 12 bytes
  uint8_t buffer[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  EXPECT_EQ(map.ConvertPointer(-1), nullptr);
  EXPECT_EQ(map.ConvertPointer(12), nullptr);
  EXPECT_EQ(map.ConvertPointer(11), map.Base() + 11);
  EXPECT_EQ(map.GetMemL(-4), 0);
  EXPECT_EQ(map.GetMemL(9), 0);
  EXPECT_FALSE(map.SetMemL(-1, 5));
  EXPECT_FALSE(map.SetMemL(9, 5));
  EXPECT_TRUE(map.SetMemL(8, 5));
  EXPECT_EQ(map.GetMemL(8), 5);

  EXPECT_FALSE(map.WriteToMemmap(buffer, -1, 4));
  EXPECT_FALSE(map.WriteToMemmap(buffer, 4, -1));
  EXPECT_FALSE(map.WriteToMemmap(buffer, 0, 13));
  EXPECT_FALSE(map.WriteToMemmap(buffer, INT32_MAX, 4));
  EXPECT_TRUE(map.WriteToMemmap(buffer, 0, 12));
  EXPECT_EQ(map.Position(), 12);
  EXPECT_EQ(map.PositionPtr(), nullptr);

  uint8_t in[16] = {};
  EXPECT_EQ(map.ReadFromMemmap(in, -4, 4), 0);
  EXPECT_EQ(map.ReadFromMemmap(in, 8, 4), 0);  // reads stop at the header's size
  EXPECT_EQ(map.ReadFromMemmap(in, 0, -1), 0);
  EXPECT_EQ(map.ReadFromMemmap(in, 6, 100), 2);
  EXPECT_EQ(map.Position(), 8);
  EXPECT_EQ(in[0], 7);
  EXPECT_EQ(in[1], 8);
  EXPECT_FALSE(map.HandleException(nullptr, 8));
  EXPECT_FALSE(map.HandleException(nullptr, -1));
  EXPECT_TRUE(map.HandleException(nullptr, 7));

  map.Close();
  EXPECT_EQ(map.GetMemL(0), 0);
  EXPECT_EQ(map.ReadFromMemmap(in, 0, 4), 0);
  EXPECT_FALSE(map.WriteToMemmap(buffer, 0, 4));
  EXPECT_EQ(map.ConvertPointer(0), nullptr);
}

TEST(Mystreammemlists, ChecksizeMakesTheRegionAnewOnlyForItsCreator) {
  const std::u16string name = UniqueName("c");
  TFlexibleSizeMap creator(name, 16);
  creator.Checksize(40);
  EXPECT_EQ(creator.MapSize(), 40);
  EXPECT_TRUE(creator.CreatedHere());
  TFlexibleSizeMap other(name, 0);
  EXPECT_EQ(other.MapSize(), 40);
  // The other holder cannot resize a region the creator keeps alive.
  other.Checksize(100);
  EXPECT_EQ(other.MapSize(), 40);
  EXPECT_FALSE(other.CreatedHere());
}

// --- Lists ----------------------------------------------------------------------------------

TEST(Mystreammemlists, ListGoldenImageAndRoundTrip) {
  const std::u16string name = UniqueName("l");
  TNumberMemList writer(name);
  for (int32_t v : {7, -1, 0x01020304}) writer.AddNumber(v);
  ASSERT_TRUE(writer.CopyToMemmap());
  EXPECT_EQ(writer.Count(), 3);
  EXPECT_FALSE(writer.data_only_in_memmap);
  // Header (the region's size), total, three records and the end marker.
  const std::vector<uint8_t> want = [] {
    platform::TByteWriter w;
    w.Put<int32_t>(28);
    w.Put<int32_t>(4).Put<int32_t>(7);
    w.Put<int32_t>(4).Put<int32_t>(-1);
    w.Put<int32_t>(4).Put<int32_t>(0x01020304);
    w.Put<int32_t>(0);
    return w.TakeBytes();
  }();
  ASSERT_EQ(writer.memmap->MapSize(), 28);
  EXPECT_EQ(std::vector<uint8_t>(writer.memmap->Base(), writer.memmap->Base() + 32), want);

  TNumberMemList reader(name);
  reader.AddNumber(55);  // loading replaces what was there
  ASSERT_TRUE(reader.LoadFromMemmap());
  ASSERT_EQ(reader.Count(), 3);
  EXPECT_EQ(reader.Number(0), 7);
  EXPECT_EQ(reader.Number(1), -1);
  EXPECT_EQ(reader.Number(2), 0x01020304);

  // Texts of any length, including empty ones, in another process.
  const std::u16string textsName = UniqueName("t");  // named before the fork: the child's pid differs
  TTextMemList texts(textsName);
  texts.AddText(u"");
  texts.AddText(u"h\u00E9llo");
  texts.AddText(std::u16string(5000, u'\u4E2D'));
  ASSERT_TRUE(texts.MoveToMemmap());
  EXPECT_EQ(texts.Count(), 0);
  EXPECT_TRUE(texts.data_only_in_memmap);
  EXPECT_TRUE(InChild([&] {
    TTextMemList child(textsName);
    return child.LoadFromMemmap() && child.Count() == 3 && child.Text(0).empty() && child.Text(1) == u"h\u00E9llo" &&
           child.Text(2) == std::u16string(5000, u'\u4E2D');
  }));
  ASSERT_TRUE(texts.LoadFromMemmap());
  EXPECT_EQ(texts.Count(), 3);
  EXPECT_FALSE(texts.data_only_in_memmap);
}

TEST(Mystreammemlists, ChildWritesParentReads) {
  const std::u16string name = UniqueName("p");
  TNumberMemList parent(name);
  // The parent holds the region (created at size 4) while the child writes:
  // the child cannot resize a region that someone else keeps, and says so.
  EXPECT_TRUE(InChild([&] {
    TNumberMemList child(name);
    child.AddNumber(1);
    return !child.CopyToMemmap() && child.Count() == 1;
  }));
  EXPECT_TRUE(parent.LoadFromMemmap());
  EXPECT_EQ(parent.Count(), 0);
  // Once the parent lets go, a writer makes the region at the size it needs
  // and keeps it while the parent loads.
  parent.memmap->Close();
  int toParent[2];
  int toChild[2];
  ASSERT_EQ(::pipe(toParent), 0);
  ASSERT_EQ(::pipe(toChild), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    {
      TNumberMemList child(name);
      for (int32_t i = 0; i < 1000; ++i) child.AddNumber(i * 3);
      const char ok = child.CopyToMemmap() ? 'y' : 'n';
      ssize_t unused = ::write(toParent[1], &ok, 1);
      char done = 0;
      unused = ::read(toChild[0], &done, 1);  // wait until the parent has loaded
      (void)unused;
    }  // the child made the region and removes its name
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(toParent[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');
  TNumberMemList loaded(name);
  EXPECT_TRUE(loaded.LoadFromMemmap());
  ASSERT_EQ(loaded.Count(), 1000);
  EXPECT_EQ(loaded.Number(999), 2997);
  const char done = 'd';
  EXPECT_EQ(::write(toChild[1], &done, 1), 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
  EXPECT_FALSE(ObjectExists(FullObjectName(name)));
}

// A number list whose records can be made to misbehave.
class TFaultyList : public TNumberMemList {
 public:
  using TNumberMemList::TNumberMemList;
  int32_t reportedSize = 8;
  int32_t failAt = -1;
  int32_t consumedAnswer = 0;  // 0: the true count
  int32_t SizeofHolderData(int32_t) override { return reportedSize; }
  bool WriteHolderToMap(int32_t i) override { return i != failAt && TNumberMemList::WriteHolderToMap(i); }
  int32_t ReadHolderFromMap(int32_t bytesLeft) override {
    const int32_t consumed = TNumberMemList::ReadHolderFromMap(bytesLeft);
    return consumedAnswer != 0 ? consumedAnswer : consumed;
  }
};

TEST(Mystreammemlists, FailedCopiesLoseNothingAndLeaveNoStaleRecords) {
  const std::u16string name = UniqueName("f");
  TFaultyList list(name);
  for (int32_t v = 1; v <= 5; ++v) list.AddNumber(v * 10);
  ASSERT_TRUE(list.CopyToMemmap());

  // The same total, so the region is reused; item 2 fails.
  list.Clear();
  for (int32_t v = 1; v <= 5; ++v) list.AddNumber(v * 100);
  list.failAt = 2;
  EXPECT_FALSE(list.MoveToMemmap());
  EXPECT_EQ(list.Count(), 5);  // nothing lost
  EXPECT_FALSE(list.data_only_in_memmap);
  TNumberMemList reader(name);
  reader.LoadFromMemmap();
  // Only this copy's records, never the earlier copy's 30, 40, 50.
  ASSERT_EQ(reader.Count(), 2);
  EXPECT_EQ(reader.Number(0), 100);
  EXPECT_EQ(reader.Number(1), 200);

  // Sizes reported too small: the records would run past the region.
  list.failAt = -1;
  list.reportedSize = 5;
  EXPECT_FALSE(list.CopyToMemmap());
  EXPECT_EQ(list.Count(), 5);
  // Sizes that cannot be records, or whose sum overflows.
  list.reportedSize = 4;
  EXPECT_FALSE(list.CopyToMemmap());
  list.reportedSize = -8;
  EXPECT_FALSE(list.CopyToMemmap());
  list.reportedSize = INT32_MAX / 2;
  EXPECT_FALSE(list.CopyToMemmap());
  EXPECT_EQ(list.Count(), 5);

  // An empty list copies as an empty region.
  TNumberMemList empty(UniqueName("e"));
  EXPECT_TRUE(empty.CopyToMemmap());
  EXPECT_TRUE(empty.LoadFromMemmap());
  EXPECT_EQ(empty.Count(), 0);
}

TEST(Mystreammemlists, LoadingStopsAtRecordsThatDoNotFit) {
  const std::u16string name = UniqueName("d");
  TFaultyList writer(name);
  for (int32_t v = 1; v <= 3; ++v) writer.AddNumber(v);
  ASSERT_TRUE(writer.CopyToMemmap());
  TFlexibleSizeMap& map = *writer.memmap;

  TFaultyList reader(name);
  // A reader that says it consumed nothing, less than nothing or too much
  // would loop for ever or read past the region.
  for (int32_t answer : {-4, -1, 3, 5, 1 << 20}) {
    reader.consumedAnswer = answer;
    EXPECT_FALSE(reader.LoadFromMemmap()) << answer;
    EXPECT_EQ(reader.Count(), 1) << answer;  // the item read before the stop stays
  }
  reader.consumedAnswer = 0;
  ASSERT_TRUE(reader.LoadFromMemmap());
  EXPECT_EQ(reader.Count(), 3);

  // A marker beyond the bytes left.
  map.SetMemL(12, 1000);
  EXPECT_FALSE(reader.LoadFromMemmap());
  EXPECT_EQ(reader.Count(), 1);
  // A zero or negative first marker ends the list at once.
  for (int32_t marker : {0, -5}) {
    map.SetMemL(4, marker);
    EXPECT_TRUE(reader.LoadFromMemmap());
    EXPECT_EQ(reader.Count(), 0);
  }
  // No region at all.
  map.Close();
  reader.memmap->Close();
  EXPECT_FALSE(reader.LoadFromMemmap());
}

TEST(Mystreammemlists, AReaderNeverCreatesARegion) {
  const std::u16string name = UniqueName("n");
  const std::string object = FullObjectName(name);
  // A lying total of 2 GiB in a small region must not make the reader build
  // a region of that size.
  PlantObject(object, Region(INT32_MAX - 8, 64), 0600);
  {
    TNumberMemList reader(name);
    EXPECT_EQ(reader.memmap->MapSize(), 60);
    EXPECT_TRUE(reader.LoadFromMemmap());
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_LE(reader.memmap->MapSize(), 60);
  }
  struct stat info {};
  const int fd = ::shm_open(object.c_str(), O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::fstat(fd, &info), 0);
  ::close(fd);
  EXPECT_EQ(info.st_size, 64);
  ::shm_unlink(object.c_str());
}

}  // namespace
}  // namespace qn
