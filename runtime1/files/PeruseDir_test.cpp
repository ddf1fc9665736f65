#include "runtime1/files/PeruseDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/testing/TestFiles.h"
#include "runtime1/files/Logging_utilities.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test_support::ReadBytes;
using test_support::Wide;
using test_support::WriteBytes;

// Records what the walker reports.
struct TWatcher {
  std::vector<std::u16string> folders;
  std::vector<std::u16string> problems;
  std::vector<std::u16string> zipsStarted;
  int32_t zipsDone = 0;
  int32_t stopAfter = -1;  // clear the walker's processing flag after this many folders
  TPeruseDir* walker = nullptr;
  bool rejectAll = false;
  void Found(std::u16string_view dir) {
    folders.emplace_back(dir);
    if (stopAfter >= 0 && static_cast<int32_t>(folders.size()) >= stopAfter) walker->SetPeruse_Processing_Files(false);
  }
  void Problem(TPeruseDir& sender) { problems.push_back(sender.LastZipProblem()); }
  void Started(std::u16string_view name) { zipsStarted.emplace_back(name); }
  void Done(int32_t handled) { zipsDone = handled; }
  bool Check(TMySearchRec&, bool) { return !rejectAll; }
  void Attach(TPeruseDir& w) {
    walker = &w;
    w.OnFoundDir = TFoundDirEvent::Bind<&TWatcher::Found>(this);
    w.OnZipProblem = TZipProblemEvent::Bind<&TWatcher::Problem>(this);
    w.OnZipStartReading = TZipStartReadingEvent::Bind<&TWatcher::Started>(this);
    w.OnDoneZipReading = TZipDoneReadingEvent::Bind<&TWatcher::Done>(this);
    w.OnCheckFileAcceptable = TCheckFileAcceptableEvent::Bind<&TWatcher::Check>(this);
  }
};

class PeruseDir : public test_support::TTempFolderTest {
 protected:
  fs::path Make(const std::string& relative, const std::string& bytes = "x") {
    const fs::path path = fDir / relative;
    fs::create_directories(path.parent_path());
    WriteBytes(path, bytes);
    return path;
  }
  std::u16string W(const std::string& relative) { return Wide(fDir / relative); }

  static void MakeZip(const fs::path& path, const std::vector<std::string>& names) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const std::string& name : names) {
      if (!name.empty() && name.back() == '/') {
        zip_dir_add(archive, name.substr(0, name.size() - 1).c_str(), 0);
        continue;
      }
      zip_source_t* source = zip_source_buffer(archive, "text", 4, 0);
      const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
      ASSERT_GE(index, 0);
      zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
  }

  static std::vector<std::u16string> Names(const TMySearchRecList& list) {
    std::vector<std::u16string> names;
    for (int32_t i = 0; i < list.Count(); ++i) names.push_back(list.GetAMySearchRec(i).ShortName);
    return names;
  }

};

using V = std::vector<std::u16string>;

// ---------------------------------------------------------------------------
// Folders.

TEST_F(PeruseDir, FoldersAreReportedDepthFirstInNameOrder) {
  fs::create_directories(fDir / "t/b/y");
  fs::create_directories(fDir / "t/a/x");
  fs::create_directories(fDir / "t/C");
  fs::create_directories(fDir / "t/.hidden/z");
  TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, false);
  TWatcher watcher;
  watcher.Attach(walker);
  walker.ProcessAllSubDirectories(W("t"));
  EXPECT_EQ(watcher.folders, (V{W("t/a"), W("t/a/x"), W("t/b"), W("t/b/y"), W("t/C")}));
  EXPECT_EQ(walker.SubDirsFound(), 5);
}

TEST_F(PeruseDir, LinkLoopsEndAndEachFolderIsEnteredOnce) {
  fs::create_directories(fDir / "t/a/b");
  fs::create_directory_symlink(fDir / "t", fDir / "t/a/b/up");
  fs::create_directory_symlink(fDir / "t/a", fDir / "t/a/b/up2");
  fs::create_directories(fDir / "elsewhere/e");
  fs::create_directory_symlink(fDir / "elsewhere", fDir / "t/link_out");
  fs::create_symlink(fDir / "nothing", fDir / "t/broken");
  TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, false);
  TWatcher watcher;
  watcher.Attach(walker);
  walker.ProcessAllSubDirectories(W("t"));
  // Links out of the tree are followed; links back into it are not entered again.
  EXPECT_EQ(watcher.folders, (V{W("t/a"), W("t/a/b"), W("t/link_out"), W("t/link_out/e")}));
}

TEST_F(PeruseDir, AFolderMatchingTwoMasksIsReportedOnce) {
  fs::create_directories(fDir / "t/ab/abc");
  fs::create_directories(fDir / "t/b1");
  fs::create_directories(fDir / "t/a2");
  TPeruseDir walker(u"*.txt", u"a*;*b;b*", u"", u"", u"", true, false, false, false, false);
  TWatcher watcher;
  watcher.Attach(walker);
  walker.ProcessAllSubDirectories(W("t"));
  // Mask groups in mask order; below a folder only the mask that found it.
  EXPECT_EQ(watcher.folders, (V{W("t/a2"), W("t/ab"), W("t/ab/abc"), W("t/b1")}));
}

TEST_F(PeruseDir, ExcludedFoldersMatchTheirPath) {
  fs::create_directories(fDir / "t/backup/inner");
  fs::create_directories(fDir / "t/x/backup");
  fs::create_directories(fDir / "t/x/keep");
  for (const std::u16string& mask : {std::u16string(u"backup"), std::u16string(u"*\\backup"),
                                     std::u16string(u"*/BACKUP")}) {
    TPeruseDir walker(u"*.txt", u"*", u"", mask, u"", true, false, false, false, false);
    TWatcher watcher;
    watcher.Attach(walker);
    walker.ProcessAllSubDirectories(W("t"));
    EXPECT_EQ(watcher.folders, (V{W("t/x"), W("t/x/keep")})) << platform::EncodedUTF8(mask);
    EXPECT_TRUE(walker.IsExcludedFolder(W("t/backup")));
  }
  // An absolute mask matches the path as given.
  TPeruseDir walker(u"*.txt", u"*", u"", W("t/x"), u"", true, false, false, false, false);
  TWatcher watcher;
  watcher.Attach(walker);
  walker.ProcessAllSubDirectories(W("t"));
  EXPECT_EQ(watcher.folders, (V{W("t/backup"), W("t/backup/inner")}));
}

TEST_F(PeruseDir, ClearingTheFlagInOnFoundDirStopsTheWalk) {
  fs::create_directories(fDir / "t/a/a1");
  fs::create_directories(fDir / "t/b");
  TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, false);
  TWatcher watcher;
  watcher.stopAfter = 1;
  watcher.Attach(walker);
  walker.ProcessAllSubDirectories(W("t"));
  EXPECT_EQ(watcher.folders, (V{W("t/a")}));
  TMySearchRecList list;
  Make("t/f.txt");
  EXPECT_FALSE(walker.HandleAllFilesIn(W("t"), &list));
  EXPECT_EQ(list.Count(), 0);
}

// Collects the files of every folder as the walk reports it, keeping only
// the count and the last path (the paths of a deep tree are long).
struct TCollector {
  TPeruseDir* walker = nullptr;
  TMySearchRecList list;
  int32_t folders = 0;
  std::u16string last;
  void Found(std::u16string_view dir) {
    ++folders;
    last.assign(dir);
    walker->HandleAllFilesIn(dir, &list);
  }
};

TEST_F(PeruseDir, VeryDeepTreesNeedNoCallStack) {
  // Far deeper than a path can name (4,096 bytes), with fewer descriptors
  // than levels.
  constexpr int kLevels = 10000;
  const fs::path top = FastFolder() / "t";
  fs::create_directories(top);
  ASSERT_TRUE(test_support::MakeDeepChain(top, kLevels, "d", "f.txt"));
  std::u16string deepest = Wide(top);
  for (int i = 0; i < kLevels; ++i) deepest += u"/d";
  ASSERT_GT(deepest.size(), 2u * PATH_MAX);

  const test_support::TDescriptorLimit limit(64);
  TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, false);
  TCollector collector;
  collector.walker = &walker;
  walker.OnFoundDir = TFoundDirEvent::Bind<&TCollector::Found>(&collector);
  walker.ProcessAllSubDirectories(Wide(top));
  EXPECT_EQ(collector.folders, kLevels);
  EXPECT_EQ(walker.SubDirsFound(), kLevels);
  EXPECT_EQ(collector.last, deepest);
  ASSERT_EQ(collector.list.Count(), kLevels);
  EXPECT_EQ(collector.list.GetAMySearchRec(kLevels - 1).ShortName, u"f.txt");
  EXPECT_EQ(collector.list.GetAMySearchRec(kLevels - 1).Size, 1);

  // Long paths outside a walk: the deepest folder, its parent, one half way
  // and the deepest again.
  const std::u16string parent = deepest.substr(0, deepest.size() - 2);
  const std::u16string halfway = deepest.substr(0, deepest.size() - kLevels);
  for (const std::u16string* dir : std::vector<const std::u16string*>{&deepest, &parent, &halfway, &deepest}) {
    TMySearchRecList list;
    EXPECT_TRUE(walker.HandleAllFilesIn(*dir, &list)) << dir->size();
    EXPECT_EQ(Names(list), (V{u"f.txt"}));
  }
  TMySearchRecList none;
  EXPECT_FALSE(walker.HandleAllFilesIn(deepest + u"/missing", &none));
  EXPECT_EQ(none.Count(), 0);
}

// ---------------------------------------------------------------------------
// Files.

TEST_F(PeruseDir, FilesInMaskOrderEachOnce) {
  Make("t/b.txt", "bb");
  Make("t/a.htm", "a");
  Make("t/A.txt", "AAA");
  Make("t/a2.htm");
  Make("t/c.doc");
  Make("t/name with \"quotes\" and blanks.txt");
  Make("t/caf\xC3\xA9.txt");
  fs::create_directories(fDir / "t/folder.txt");
  TPeruseDir walker(u"*.txt;*.htm;a*", u"*", u"", u"", u"", true, false, false, false, false);
  TMySearchRecList list;
  EXPECT_TRUE(walker.HandleAllFilesIn(W("t"), &list));
  EXPECT_EQ(Names(list), (V{u"A.txt", u"b.txt", u"caf\u00e9.txt", u"name with \"quotes\" and blanks.txt",
                            u"a.htm", u"a2.htm"}));
  const TMySearchRec first = list.GetAMySearchRec(0);
  EXPECT_EQ(first.Size, 3);
  EXPECT_EQ(first.Number_Within_Zip, 0);
  EXPECT_EQ(first.Attr, 0x20);
  EXPECT_GT(first.DateTime, 40000.0);  // after the year 2009
}

TEST_F(PeruseDir, SystemHiddenAndCompanionFiles) {
  Make("t/plain.txt");
  Make("t/._notes.txt");
  Make("t/.hidden.txt");
  ASSERT_EQ(::mkfifo((fDir / "t/pipe.txt").c_str(), 0600), 0);
  fs::create_symlink(fDir / "t/missing.txt", fDir / "t/broken.txt");
  fs::create_symlink(fDir / "t/plain.txt", fDir / "t/via_link.txt");
  {
    // The broken link is skipped, with its line in the log.
    SetLogFilename(W("walk.log"));
    keeping_log = true;
    TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, false);
    TMySearchRecList list;
    EXPECT_TRUE(walker.HandleAllFilesIn(W("t"), &list));
    keeping_log = false;
    SetLogFilename(u"");
    EXPECT_EQ(Names(list), (V{u"plain.txt", u"via_link.txt"}));
    // The log is UTF-16, little-endian.
    const auto utf16 = [](std::string_view ascii) {
      std::string bytes;
      for (const char c : ascii) bytes.append({c, '\0'});
      return bytes;
    };
    const std::string log = ReadBytes(fDir / "walk.log");
    EXPECT_NE(log.find(utf16("ignoring broken.txt")), std::string::npos);
    EXPECT_NE(log.find(utf16("ignoring pipe.txt")), std::string::npos);
  }
  {
    // Hidden accepted, companion files still refused while checking for them.
    TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, true);
    TMySearchRecList list;
    walker.HandleAllFilesIn(W("t"), &list);
    EXPECT_EQ(Names(list), (V{u".hidden.txt", u"plain.txt", u"via_link.txt"}));
  }
  {
    TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", false, false, false, false, true);
    TMySearchRecList list;
    walker.HandleAllFilesIn(W("t"), &list);
    EXPECT_EQ(Names(list), (V{u".hidden.txt", u"._notes.txt", u"plain.txt", u"via_link.txt"}));
  }
  {
    TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, true, false);
    TMySearchRecList list;
    walker.HandleAllFilesIn(W("t"), &list);
    EXPECT_EQ(Names(list), (V{u"pipe.txt", u"plain.txt", u"via_link.txt"}));
    EXPECT_EQ(list.GetAMySearchRec(0).Attr & 0x04, 0x04);
  }
}

TEST_F(PeruseDir, ExclusionsAndTheCallback) {
  Make("t/a.txt");
  Make("t/b.bak");
  Make("t/c.zip");
  TPeruseDir walker(u"*.*", u"*", u"", u"", u".bak", true, false, false, false, false);
  TMySearchRecList list;
  EXPECT_TRUE(walker.HandleAllFilesIn(W("t"), &list));
  EXPECT_EQ(Names(list), (V{u"a.txt"}));
  TPeruseDir likeFiles(u"*.*", u"*", u"", u"", u".bak", true, false, true, false, false);
  list.Clear();
  likeFiles.HandleAllFilesIn(W("t"), &list);
  EXPECT_EQ(Names(list), (V{u"a.txt", u"c.zip"}));
  TWatcher watcher;
  watcher.rejectAll = true;
  watcher.Attach(likeFiles);
  list.Clear();
  EXPECT_FALSE(likeFiles.HandleAllFilesIn(W("t"), &list));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(likeFiles.fIsAZipfile(u"X.ZIP"));
  EXPECT_FALSE(likeFiles.fIsAZipfile(u".zip"));
  EXPECT_TRUE(likeFiles.HasExcludedExtension(u"x.BAK"));
  EXPECT_FALSE(likeFiles.HasExcludedExtension(u"bak"));
  EXPECT_TRUE(likeFiles.IsDot_UnderscoreFile(u"._x"));
}

// ---------------------------------------------------------------------------
// Archives.

TEST_F(PeruseDir, ZipEntriesAreCollectedWithTheirNumbers) {
  Make("t/plain.txt");
  MakeZip(fDir / "t/a.zip", {"one.txt", "sub/", "sub/two.txt", "three.doc", "four.bak.txt"});
  TPeruseDir walker(u"*.txt", u"*", u"*.txt", u"", u"", true, true, false, false, false);
  TWatcher watcher;
  watcher.Attach(walker);
  TMySearchRecList list;
  EXPECT_TRUE(walker.HandleAllFilesIn(W("t"), &list));
  const std::u16string prefix = W("t") + u"/a.zip/";
  EXPECT_EQ(Names(list), (V{prefix + u"one.txt", prefix + u"sub/two.txt", prefix + u"four.bak.txt", u"plain.txt"}));
  EXPECT_EQ(list.GetAMySearchRec(0).Number_Within_Zip, 1);
  EXPECT_EQ(list.GetAMySearchRec(1).Number_Within_Zip, 3);
  EXPECT_EQ(list.GetAMySearchRec(0).Size, 4);
  EXPECT_EQ(walker.ZipsExamined(), 1);
  EXPECT_EQ(walker.TotalFilesInZips(), 3);
  EXPECT_EQ(watcher.zipsStarted, (V{W("t/a.zip")}));
  EXPECT_EQ(watcher.zipsDone, 1);
  EXPECT_TRUE(watcher.problems.empty());
}

TEST_F(PeruseDir, ADamagedArchiveHidesNothingElse) {
  Make("t/a.txt");
  Make("t/bad.zip", "PK\x03\x04 this is not an archive");
  MakeZip(fDir / "t/good.zip", {"in.txt"});
  ASSERT_EQ(::mkfifo((fDir / "t/fifo.zip").c_str(), 0600), 0);
  TPeruseDir walker(u"*.txt", u"*", u"*", u"", u"", true, true, false, false, false);
  TWatcher watcher;
  watcher.Attach(walker);
  TMySearchRecList list;
  EXPECT_TRUE(walker.HandleAllFilesIn(W("t"), &list));
  EXPECT_EQ(Names(list), (V{W("t") + u"/good.zip/in.txt", u"a.txt"}));
  ASSERT_EQ(watcher.problems.size(), 1u);
  EXPECT_NE(watcher.problems[0].find(u"bad.zip"), std::u16string::npos);
}

TEST_F(PeruseDir, EntryNumbersNeverWrap) {
  std::vector<std::string> names;
  for (int i = 0; i < 32770; ++i) {
    std::string name = std::to_string(i);
    name.append(".txt");
    names.push_back(std::move(name));
  }
  fs::create_directories(fDir / "t");
  MakeZip(fDir / "t/many.zip", names);
  TPeruseDir walker(u"*.txt", u"*", u"*", u"", u"", true, true, false, false, false);
  TWatcher watcher;
  watcher.Attach(walker);
  TMySearchRecList list;
  walker.HandleAllFilesIn(W("t"), &list);
  ASSERT_EQ(list.Count(), 32767);
  EXPECT_EQ(list.GetAMySearchRec(32766).Number_Within_Zip, 32767);
  for (int32_t i = 0; i < list.Count(); ++i) ASSERT_GT(list.GetAMySearchRec(i).Number_Within_Zip, 0);
  EXPECT_EQ(watcher.problems.size(), 1u);
}

// ---------------------------------------------------------------------------
// The list.

TMySearchRec Rec(std::u16string name, int32_t size, double date, int32_t attr = 0x20) {
  TMySearchRec rec;
  rec.ShortName = std::move(name);
  rec.Size = size;
  rec.DateTime = date;
  rec.Attr = attr;
  return rec;
}

TEST(MySearchRecList, SortsAndFinds) {
  TMySearchRecList list;
  list.AddRec(Rec(u"b.txt", 10, 3.0));
  list.AddRec(Rec(u"A.htm", 30, 1.0, 0x21));
  list.AddRec(Rec(u"c.TXT", 10, 2.0));
  list.AddRec(Rec(u"d.doc", 20, 4.0));
  list.SetSort(sr_sort_by_name);
  EXPECT_EQ(list.GetAMySearchRec(0).ShortName, u"A.htm");
  EXPECT_EQ(list.GetAMySearchRec(3).ShortName, u"d.doc");
  EXPECT_EQ(list.Find(Rec(u"c.TXT", 10, 2.0)), 2);
  EXPECT_EQ(list.Find(Rec(u"C.TXT", 10, 2.0)), -1);  // same key, another name
  EXPECT_EQ(list.Find(Rec(u"c.TXT", 11, 2.0)), -1);
  list.SetSort(sr_sort_by_date);
  EXPECT_EQ(list.GetAMySearchRec(0).ShortName, u"A.htm");
  EXPECT_EQ(list.Find(Rec(u"d.doc", 20, 4.0)), 3);
  // Two files of one size: found either way.
  list.SetSort(sr_sort_by_size);
  EXPECT_EQ(list.GetAMySearchRec(3).ShortName, u"A.htm");
  EXPECT_EQ(list.GetAMySearchRec(list.Find(Rec(u"b.txt", 10, 3.0))).ShortName, u"b.txt");
  EXPECT_EQ(list.GetAMySearchRec(list.Find(Rec(u"c.TXT", 10, 2.0))).ShortName, u"c.TXT");
  list.SetSort(sr_sort_by_extension);
  EXPECT_EQ(list.GetAMySearchRec(0).ShortName, u"d.doc");
  EXPECT_EQ(list.GetAMySearchRec(1).ShortName, u"A.htm");
  list.SetSort(sr_sort_by_attr);
  EXPECT_EQ(list.GetAMySearchRec(3).ShortName, u"A.htm");
  EXPECT_EQ(list.Find(Rec(u"A.htm", 30, 1.0, 0)), 3);  // attributes are not compared
  // Appending forgets the order, so a new record is still found.
  list.SetSort(sr_sort_by_name);
  list.AddRec(Rec(u"a0.txt", 1, 1.0));
  EXPECT_EQ(list.Sort(), sr_sort_none);
  EXPECT_EQ(list.Find(Rec(u"a0.txt", 1, 1.0)), 4);
  EXPECT_EQ(list.IndexOF(Rec(u"zz", 1, 1.0)), -1);
  EXPECT_EQ(list.GetAMySearchRec(-1), TMySearchRec{});
  EXPECT_EQ(list.GetAMySearchRec(5), TMySearchRec{});
  list.Clear();
  EXPECT_EQ(list.Sort(), sr_sort_none);
  EXPECT_EQ(list.Find(Rec(u"a0.txt", 1, 1.0)), -1);
}

// The stream image of one record, worked out by hand.
const uint8_t kOneRecordList[] = {
    0x01, 0x00, 0x00, 0x00,                          // count 1
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F,  // DateTime 1.5
    0x05, 0x01, 0x00, 0x00,                          // Size 261
    0x21, 0x00, 0x00, 0x00,                          // Attr 0x21
    0xFE, 0xFF,                                      // Number_Within_Zip -2
    0x00, 0x00,                                      // padding
    0x03, 0x00, 0x00, 0x00, 0x61, 0x00, 0x2E, 0x00, 0xE9, 0x00,  // "a.é"
};

TEST(MySearchRecList, GoldenStreamImage) {
  TMySearchRecList list;
  TMySearchRec rec = Rec(u"a.\u00e9", 261, 1.5, 0x21);
  rec.Number_Within_Zip = -2;
  list.AddRec(rec);
  platform::TMemoryStream out;
  EXPECT_TRUE(list.SaveToStream(out));
  ASSERT_EQ(out.Size(), static_cast<int64_t>(sizeof kOneRecordList));
  EXPECT_EQ(std::memcmp(out.Memory(), kOneRecordList, sizeof kOneRecordList), 0);

  // Reading appends, in the saved order, and forgets any order.
  TMySearchRecList back;
  back.AddRec(Rec(u"z", 1, 1.0));
  back.SetSort(sr_sort_by_name);
  platform::TMemoryViewStream in(kOneRecordList, sizeof kOneRecordList);
  EXPECT_TRUE(back.ReadFromStream(in));
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.GetAMySearchRec(1), rec);
  EXPECT_EQ(back.Sort(), sr_sort_none);
}

TEST(MySearchRecList, HostileCountsAreRefusedBeforeAnything) {
  // A count beyond what the bytes can hold.
  uint8_t tooMany[sizeof kOneRecordList];
  std::memcpy(tooMany, kOneRecordList, sizeof tooMany);
  tooMany[0] = 2;
  TMySearchRecList list;
  platform::TMemoryViewStream in(tooMany, sizeof tooMany);
  try {
    list.ReadFromStream(in);
    FAIL() << "no error";
  } catch (const EReadError& error) {
    EXPECT_STREQ(error.what(), "file read error : ReadFromStream");
  }
  EXPECT_EQ(list.Count(), 0);
  const uint8_t negative[] = {0xFF, 0xFF, 0xFF, 0xFF};
  platform::TMemoryViewStream in2(negative, sizeof negative);
  EXPECT_THROW(list.ReadFromStream(in2), EReadError);
  // A string longer than the bytes left: the records read before stay.
  uint8_t shortString[sizeof kOneRecordList];
  std::memcpy(shortString, kOneRecordList, sizeof shortString);
  shortString[24] = 0x40;
  platform::TMemoryViewStream in3(shortString, sizeof shortString);
  EXPECT_THROW(list.ReadFromStream(in3), EReadError);
}

// ---------------------------------------------------------------------------
// TFolderful.

const uint8_t kFolderfulImage[] = {
    0x02,                                            // sort by date
    0x07, 0x00, 0x00, 0x00,                          // starts 7
    0x09, 0x00, 0x00, 0x00,                          // ends 9
    0xFF, 0xFF, 0xFF, 0xFF,                          // dirnum -1
    0x03, 0x00, 0x00, 0x00, 0x2F, 0x00, 0x64, 0x00, 0x2F, 0x00,  // "/d/"
    0x00, 0x00, 0x00, 0x00,                          // no files
};

TEST(Folderful, GoldenStreamImageAndUnknownSorts) {
  TFolderful folder(u"/d");
  EXPECT_EQ(folder.DirName(), u"/d/");
  folder.SetStarts(7);
  folder.SetEnds(9);
  folder.Setdirnum(-1);
  folder.SetCurrentSort(sr_sort_by_date);
  platform::TMemoryStream out;
  EXPECT_TRUE(folder.SaveToStream(out));
  ASSERT_EQ(out.Size(), static_cast<int64_t>(sizeof kFolderfulImage));
  EXPECT_EQ(std::memcmp(out.Memory(), kFolderfulImage, sizeof kFolderfulImage), 0);

  TFolderful back(u"/other");
  platform::TMemoryViewStream in(kFolderfulImage, sizeof kFolderfulImage);
  EXPECT_TRUE(back.ReadFromStream(in));
  EXPECT_EQ(back.DirName(), u"/d/");
  EXPECT_EQ(back.Starts(), 7);
  EXPECT_EQ(back.Ends(), 9);
  EXPECT_EQ(back.dirnum(), -1);
  EXPECT_EQ(back.CurrentSort(), sr_sort_by_date);

  uint8_t strange[sizeof kFolderfulImage];
  std::memcpy(strange, kFolderfulImage, sizeof strange);
  strange[0] = 200;
  platform::TMemoryViewStream in2(strange, sizeof strange);
  EXPECT_TRUE(back.ReadFromStream(in2));
  EXPECT_EQ(back.CurrentSort(), sr_sort_none);
}

TEST_F(PeruseDir, FolderfulFillsRoundTripsAndGuardsItsIndices) {
  Make("t/b.txt", "bb");
  Make("t/a.txt", "a");
  TFolderful folder(W("t"));
  TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, false);
  EXPECT_TRUE(folder.FillList(walker));
  ASSERT_EQ(folder.Count(), 2);
  EXPECT_EQ(folder.ShortName(0), u"a.txt");
  EXPECT_EQ(folder.FullName(1), W("t/b.txt"));
  EXPECT_EQ(folder.FileSize(1), 2);
  EXPECT_FALSE(folder.InAZip(0));
  EXPECT_EQ(folder.ShortName(2), u"");
  EXPECT_EQ(folder.FileSize(2), -1);
  EXPECT_EQ(folder.FileSize(-1), -1);
  EXPECT_EQ(folder.SearchRec(-5), TMySearchRec{});
  const TMySimpleSearchRec simple = folder.SimpleSearchRec(1);
  EXPECT_EQ(simple.ShortName, u"b.txt");
  EXPECT_EQ(simple.Size, 2);
  EXPECT_EQ(simple.DateTime, folder.SearchRec(1).DateTime);
  EXPECT_EQ(simple.folder_number, 0);
  EXPECT_EQ(folder.SimpleSearchRec(2), TMySimpleSearchRec{});

  platform::TMemoryStream stream;
  folder.SaveToStream(stream);
  stream.SetPosition(0);
  TFolderful back(u"");
  back.ReadFromStream(stream);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.SearchRec(0), folder.SearchRec(0));
  EXPECT_EQ(back.SearchRec(1), folder.SearchRec(1));

  folder.SetFolder_Processing_Files(false);
  EXPECT_EQ(folder.Count(), 0);
  EXPECT_TRUE(folder.Empty());
  folder.SetFolder_Processing_Files(true);
  folder.Clear();
  EXPECT_EQ(folder.Count(), 0);
  EXPECT_EQ(folder.ShortName(0), u"");
  EXPECT_EQ(folder.ListOfFiles(), nullptr);
}

TEST_F(PeruseDir, RenamingNeverReplacesAFile) {
  Make("t/a.txt", "A");
  Make("t/b.txt", "B");
  TFolderful folder(W("t"));
  TPeruseDir walker(u"*.txt", u"*", u"", u"", u"", true, false, false, false, false);
  folder.FillList(walker);
  ASSERT_EQ(folder.ShortName(0), u"a.txt");
  try {
    folder.SetFullName(0, W("t/b.txt"));
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.MessageW(), u"cannot rename " + W("t/a.txt"));
  }
  EXPECT_EQ(ReadBytes(fDir / "t/a.txt"), "A");
  EXPECT_EQ(ReadBytes(fDir / "t/b.txt"), "B");
  fs::create_directories(fDir / "u");
  folder.SetFullName(0, W("u/c.txt"));
  EXPECT_EQ(folder.ShortName(0), u"c.txt");
  EXPECT_EQ(ReadBytes(fDir / "u/c.txt"), "A");
  EXPECT_FALSE(fs::exists(fDir / "t/a.txt"));
}

}  // namespace
}  // namespace qn
