#include "runtime1/files/File_utils.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/FolderListing.h"
#include "platform/StringList.h"
#include "platform/testing/TestFiles.h"
#include "runtime1/files/Mykpsmall.h"
#include "runtime1/text/Bare_assemb.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test_support::ReadBytes;
using test_support::Wide;
using test_support::WriteBytes;

// A host message box that records every request and gives a set answer.
struct TRecordingHost {
  TMessageAnswer answer = TMessageAnswer::OK;
  std::vector<std::u16string> texts;
  std::vector<std::u16string> captions;
  TMessageAnswer Show(const TMessageRequest& request) {
    texts.emplace_back(request.Text);
    captions.emplace_back(request.Caption);
    if (request.Buttons == TMessageButtons::OK) return TMessageAnswer::OK;
    return answer;
  }
};

class FileUtils : public test_support::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    AMessageBoxProc = TMessageBoxProc::Bind<&TRecordingHost::Show>(&fHost);
  }
  void TearDown() override {
    AMessageBoxProc.Clear();
    SetProgramFileName(u"");
    TTempFolderTest::TearDown();
  }
  fs::path Make(const std::string& relative, const std::string& bytes = "x") {
    const fs::path path = fDir / relative;
    fs::create_directories(path.parent_path());
    WriteBytes(path, bytes);
    return path;
  }
  std::u16string W(const std::string& relative) { return Wide(fDir / relative); }
  TRecordingHost fHost;
};

time_t MTime(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mtime;
}

// ---------------------------------------------------------------------------
// Placeholders.

TEST(FileUtilsPlaceholders, DesktopPathsRoundTripThroughTheUserFolder) {
  EXPECT_EQ(ConvertedUserFolderInFilename(u"C:\\Suite\\", u"C:\\Suite\\texts\\a.txt", true),
            u"$userdir\\texts\\a.txt");
  EXPECT_EQ(ConvertedFilenameFromUserDirFName(u"D:\\Portable\\", u"$userdir\\texts\\a.txt"),
            u"D:\\Portable\\texts\\a.txt");
  // Elsewhere on the same drive: the drive becomes the placeholder.
  EXPECT_EQ(ConvertedUserFolderInFilename(u"C:\\Suite\\", u"C:\\corpus\\b.txt", true),
            u"$user_drive\\corpus\\b.txt");
  EXPECT_EQ(ConvertedFilenameFromUserDirFName(u"E:\\Suite\\", u"$user_drive\\corpus\\b.txt"),
            u"E:\\corpus\\b.txt");
  // Another drive: unchanged; the folder itself is not "under" itself.
  EXPECT_EQ(ConvertedUserFolderInFilename(u"C:\\Suite\\", u"D:\\x.txt", true), u"D:\\x.txt");
  EXPECT_EQ(ConvertedUserFolderInFilename(u"C:\\Suite\\", u"C:\\Suite\\", true), u"$user_drive\\Suite\\");
}

TEST(FileUtilsPlaceholders, UserFolderIsComparedWithItsCase) {
  // On a case-sensitive file system /opt/Suite is another folder than /opt/suite.
  EXPECT_EQ(ConvertedUserFolderInFilename(u"/opt/suite/", u"/opt/suite/texts/a.txt", true), u"$userdir/texts/a.txt");
  const std::u16string other = ConvertedUserFolderInFilename(u"/opt/suite/", u"/opt/Suite/x", true);
  EXPECT_EQ(other.find(u"$userdir"), std::u16string::npos);
  EXPECT_EQ(ConvertedFilenameFromUserDirFName(u"/opt/suite/", other), u"/opt/Suite/x");
  // Relative names and names already holding a placeholder stay as they are.
  EXPECT_EQ(ConvertedUserFolderInFilename(u"/opt/suite/", u"texts/a.txt", true), u"texts/a.txt");
}

TEST(FileUtilsPlaceholders, ProgramDriveAndFolder) {
  SetProgramFileName(u"C:\\Suite\\tool.exe");
  EXPECT_EQ(ConvertedFilenameIfUserDrive(u"C:\\corpus\\b.txt", true), u"$user_drive\\corpus\\b.txt");
  EXPECT_EQ(ConvertedFilenameIfUserDrive(u"c:\\corpus\\b.txt", true), u"$user_drive\\corpus\\b.txt");
  EXPECT_EQ(ConvertedFilenameIfUserDrive(u"D:\\corpus\\b.txt", true), u"D:\\corpus\\b.txt");
  SetProgramFileName(u"E:\\Suite\\tool.exe");
  EXPECT_EQ(ConvertedFilenameIfUserDrive(u"$user_drive\\corpus\\b.txt", false), u"E:\\corpus\\b.txt");

  SetProgramFileName(u"/opt/suite/tool");
  platform::TStringList list;
  list.Add(u"/opt/suite/lists/stop.txt");
  list.Add(u"relative.txt");
  CheckUserDirConstFolder(list, true);
  EXPECT_EQ(list[0], u"$userdir/lists/stop.txt");
  EXPECT_EQ(list[1], u"relative.txt");
  SetProgramFileName(u"/media/stick/suite/tool");
  CheckUserDirConstFolder(list, false);
  EXPECT_EQ(list[0], u"/media/stick/suite/lists/stop.txt");
  SetProgramFileName(u"");
}

// ---------------------------------------------------------------------------
// Text helpers.

TEST(FileUtilsText, NamesAndDelimiters) {
  EXPECT_EQ(CleanedUpFilename(u"C:\\a\\b<c>.txt"), u"bc.txt");
  EXPECT_EQ(CleanedUpFilename(u"/a/b\"*?:|x\x01.txt/"), u"bx.txt");
  EXPECT_EQ(CleanedUpFilename(u"/a/b/dir/"), u"dir");
  EXPECT_EQ(NameUpToXPathDelimiters(u"C:\\a\\b\\c.txt", 2), u"C:\\a");
  EXPECT_EQ(NameUpToXPathDelimiters(u"C:\\a\\b\\c.txt", 5), u"");
  EXPECT_EQ(NameUpToXPathDelimiters(u"/a/b", 0), u"");
  EXPECT_EQ(NameUpToXPathDelimiters(u"/a/b", 1), u"");
  EXPECT_EQ(PathDelimiterCount(u"/a\\b/c"), 3);
  EXPECT_EQ(NewSubFolderFrom(u"/base/sub/deeper/x.txt", u"/base"), u"sub/deeper/");
  EXPECT_EQ(NewSubFolderFrom(u"/base/x.txt", u"/base/"), u"");
  EXPECT_EQ(NewSubFolderFrom(u"/other/sub/x.txt", u"/base"), u"");
  EXPECT_EQ(FileFilterWithinFilterText(u"Text files (*.txt)"), u"*.txt");
  EXPECT_EQ(FileFilterWithinFilterText(u""), u"*.*");
  EXPECT_EQ(FileFilterWithinFilterText(u") *.htm ("), u") *.htm (");
  EXPECT_EQ(FileFilterWithinFilterText(u"HTML ( *.htm;*.html )"), u"*.htm;*.html");
  EXPECT_EQ(RemoveDotsFromFilename(u"a.b.c"), u"abc");
}

// text between double quotes.
std::u16string Quoted(std::u16string_view text) {
  std::u16string out;
  out.push_back(u'"');
  out.append(text);
  out.push_back(u'"');
  return out;
}

TEST_F(FileUtils, ParametersAreQuotedByArgumentRules) {
  Make("plain name.txt");
  Make("say \"hi\" $HOME.txt");
  Make("tail\\");
  const std::u16string dir = Wide(fDir);
  EXPECT_EQ(FormattedFNAsParameter(W("plain name.txt")), Quoted(W("plain name.txt")));
  EXPECT_EQ(FormattedFNAsParameter(W("say \"hi\" $HOME.txt")), Quoted(dir + u"/say \\\"hi\\\" $HOME.txt"));
  // A final backslash would otherwise escape the closing quote.
  EXPECT_EQ(FormattedFNAsParameter(W("tail\\")), Quoted(dir + u"/tail\\\\"));
  EXPECT_EQ(FormattedFNAsParameter(W("missing")), W("missing"));
}

// ---------------------------------------------------------------------------
// Tests and queries.

TEST_F(FileUtils, ExistenceAndAttributes) {
  const fs::path file = Make("a.txt", "12345");
  fs::create_directories(fDir / "sub");
  EXPECT_TRUE(DriveAndFileExist(W("a.txt")));
  EXPECT_FALSE(DriveAndFileExist(W("sub")));
  EXPECT_TRUE(DriveAndFolderExist(W("sub")));
  EXPECT_FALSE(DriveAndFolderExist(W("a.txt")));
  EXPECT_TRUE(DriveAndFileExist(u"\\\\server\\share\\x.txt", false, true));
  EXPECT_EQ(GetFileStatusOfAFile(u"\\\\server\\share\\x.txt", false), fs_unknown);
  EXPECT_EQ(GetFileStatusOfAFile(W("a.txt"), false), fs_exists);
  EXPECT_EQ(GetFileStatusOfAFile(W("gone.txt"), true), fs_moved);
  EXPECT_EQ(FileSize(W("a.txt")), 5);
  EXPECT_EQ(FileSize(W("gone.txt")), -1);
  // A name with wildcards is looked up literally, never as a pattern.
  EXPECT_EQ(FileSize(W("*.txt")), -1);
  EXPECT_FALSE(ReadOnlyFileW(W("a.txt")));
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_TRUE(ReadOnlyFileW(W("a.txt")));
  EXPECT_FALSE(ReadOnlyFolderW(W("a.txt")));
  EXPECT_FALSE(ReadOnlyFileW(W("?.txt")));
  EXPECT_EQ(GetLongPathNameW(W("?.txt")), W("?.txt"));
  EXPECT_EQ(GetLongPathNameW(W("s*b/a.txt")), W("s*b/a.txt"));
}

TEST_F(FileUtils, WriteableFolderProbeLeavesAnExistingFileAlone) {
  EXPECT_TRUE(IsDirectoryWriteable(Wide(fDir)));
  EXPECT_FALSE(fs::exists(fDir / "chk.tmp"));
  Make("chk.tmp", "keep");
  EXPECT_FALSE(IsDirectoryWriteable(Wide(fDir)));
  EXPECT_EQ(ReadBytes(fDir / "chk.tmp"), "keep");
}

TEST_F(FileUtils, FolderEmptinessAndSameFolders) {
  fs::create_directories(fDir / "e/only_sub");
  EXPECT_FALSE(FolderIsEmpty(W("e")));
  fs::create_directories(fDir / "dots");
  Make("dots/.hidden");
  EXPECT_TRUE(FolderIsEmpty(W("dots")));
  // Removal is rmdir only: the dotfile keeps the folder.
  EXPECT_FALSE(RemovedEmptyFolder(W("dots")));
  EXPECT_TRUE(fs::exists(fDir / "dots/.hidden"));
  EXPECT_TRUE(RemovedEmptyFolder(W("e")));  // not empty: nothing to do
  EXPECT_TRUE(RemovedEmptyFolder(W("e/only_sub")));
  EXPECT_FALSE(fs::exists(fDir / "e/only_sub"));

  fs::create_directories(fDir / "orig");
  fs::create_directory_symlink(fDir / "orig", fDir / "alias");
  EXPECT_TRUE(FolderProposedIsOriginalFolder(W("orig/a.txt"), W("ORIG/b.txt")));
  EXPECT_TRUE(FolderProposedIsOriginalFolder(W("orig/a.txt"), W("alias/a.txt")));
  EXPECT_FALSE(FolderProposedIsOriginalFolder(W("orig/a.txt"), W("e/a.txt")));
  EXPECT_FALSE(FolderProposedIsOriginalFolder(u"", W("e/a.txt")));
}

TEST_F(FileUtils, ChecksumOfLargeFilesReadInBlocks) {
  std::string bytes(3 * (1 << 20) + 7, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 9));
  Make("big.bin", bytes);
  const uint32_t whole = My4Checksum(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(static_cast<uint32_t>(CheckSumOfAFile(W("big.bin"))), whole);
  EXPECT_EQ(CheckSumOfAFile(W("none.bin")), 0);
  ASSERT_EQ(::mkfifo((fDir / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(CheckSumOfAFile(W("pipe")), 0);  // never blocks on a FIFO
}

// ---------------------------------------------------------------------------
// Dates and copies.

TEST_F(FileUtils, DatesAreCheckedAndSetAtNoon) {
  const fs::path file = Make("d.txt");
  EXPECT_FALSE(SetFileDate(W("d.txt"), u"31/12/1979"));
  EXPECT_FALSE(SetFileDate(W("d.txt"), u"29/02/2001"));
  EXPECT_FALSE(SetFileDate(W("d.txt"), u"1/1/2000"));
  EXPECT_FALSE(SetFileDate(W("d.txt"), u"aa", u"01", u"2000"));
  EXPECT_FALSE(SetFileDate(W("missing.txt"), 1, 1, 2000));
  ASSERT_TRUE(SetFileDate(W("d.txt"), u"01/01/2000"));
  const time_t when = MTime(file);
  struct tm local {};
  localtime_r(&when, &local);
  EXPECT_EQ(local.tm_year, 100);
  EXPECT_EQ(local.tm_mon, 0);
  EXPECT_EQ(local.tm_mday, 1);
  EXPECT_EQ(local.tm_hour, 12);
  EXPECT_TRUE(SetFileDate(W("d.txt"), u"29", u"02", u"2004"));

  Make("copy.txt", "other");
  EXPECT_TRUE(CopyDateOfFile(W("d.txt"), W("copy.txt")));
  EXPECT_EQ(MTime(fDir / "copy.txt"), MTime(file));
  EXPECT_FALSE(CopyDateOfFile(W("d.txt"), W("nothing.txt")));
}

TEST_F(FileUtils, CopiesNeverEmptyAFileCopiedOntoItself) {
  Make("src.txt", "source text");
  ASSERT_TRUE(SetFileDate(W("src.txt"), 5, 6, 2001));
  EXPECT_TRUE(CopyFileRetainingDate(W("src.txt"), W("dst.txt")));
  EXPECT_EQ(ReadBytes(fDir / "dst.txt"), "source text");
  EXPECT_EQ(MTime(fDir / "dst.txt"), MTime(fDir / "src.txt"));
  EXPECT_TRUE(CopyFileRetainingDate(W("src.txt"), W("src.txt")));
  EXPECT_EQ(ReadBytes(fDir / "src.txt"), "source text");
  fs::create_symlink(fDir / "src.txt", fDir / "link.txt");
  EXPECT_TRUE(CopyFileRetainingDate(W("src.txt"), W("link.txt")));
  EXPECT_EQ(ReadBytes(fDir / "src.txt"), "source text");
  EXPECT_FALSE(CopyFileRetainingDate(W("absent.txt"), W("dst2.txt")));
  EXPECT_FALSE(fs::exists(fDir / "dst2.txt"));

  Make("x.bak", "backup itself");
  EXPECT_TRUE(CopyAFileWithBackup(W("x.bak")));
  EXPECT_EQ(ReadBytes(fDir / "x.bak"), "backup itself");
  Make("y.txt", "new");
  Make("y.bak", "old");
  EXPECT_TRUE(CopyAFileWithBackup(W("y.txt")));
  EXPECT_EQ(ReadBytes(fDir / "y.bak"), "new");
}

TEST_F(FileUtils, CopiesDropSetuidAndSetgid) {
  const fs::path file = Make("tool.sh", "#!/bin/sh\n");
  ASSERT_EQ(::chmod(file.c_str(), 06755), 0);
  ASSERT_TRUE(CopyFileRetainingDate(W("tool.sh"), W("copy.sh")));
  struct stat info {};
  ASSERT_EQ(::stat((fDir / "copy.sh").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
}

TEST_F(FileUtils, InsertKeepsTheEncodingAndRefusesLossyTexts) {
  // UTF-8 with its signature, CR LF lines.
  Make("u8.txt", "\xEF\xBB\xBF" "caf\xC3\xA9\r\nend");
  EXPECT_TRUE(InsertIntoFileA(W("u8.txt"), u"NEW ", false, 1));
  EXPECT_EQ(ReadBytes(fDir / "u8.txt"), "\xEF\xBB\xBF" "NEW caf\xC3\xA9\r\nend");
  EXPECT_TRUE(InsertIntoFileA(W("u8.txt"), u"!", true, 1000));
  EXPECT_EQ(ReadBytes(fDir / "u8.txt"), "\xEF\xBB\xBF" "NEW caf\xC3\xA9\r\nend!");
  EXPECT_EQ(ReadBytes(fDir / "u8.bak"), "\xEF\xBB\xBF" "NEW caf\xC3\xA9\r\nend");
  // 8-bit text in the active code page.
  Make("ansi.txt", "abc\xE9");
  EXPECT_TRUE(InsertIntoFileA(W("ansi.txt"), u"\u00E9", false, 2));
  EXPECT_EQ(ReadBytes(fDir / "ansi.txt"), "a\xE9" "bc\xE9");
  // UTF-16 output for the wide form.
  Make("w.txt", "ab");
  EXPECT_TRUE(InsertIntoFileW(W("w.txt"), u"X", false, 2));
  EXPECT_EQ(ReadBytes(fDir / "w.txt"), std::string("\xFF\xFE" "a\0X\0b\0", 8));
  // A NUL inside, or invalid UTF-8: the text cannot be saved back unchanged.
  const std::string withNul("ab\0cd", 5);
  Make("nul.txt", withNul);
  EXPECT_FALSE(InsertIntoFileA(W("nul.txt"), u"X", true, 1));
  EXPECT_EQ(ReadBytes(fDir / "nul.txt"), withNul);
  EXPECT_FALSE(fs::exists(fDir / "nul.bak"));
  const std::string broken = "\xEF\xBB\xBF" "ok \xC3 broken";
  Make("bad.txt", broken);
  EXPECT_FALSE(InsertIntoFileW(W("bad.txt"), u"X", false, 1));
  EXPECT_EQ(ReadBytes(fDir / "bad.txt"), broken);
  EXPECT_THROW(InsertIntoFileA(W("absent.txt"), u"X", false, 1), Exception);
}

TEST_F(FileUtils, FailedInsertLeavesTheFile) {
  Make("big.txt", std::string(4000, 'a'));
  {
    test_support::TFileSizeLimit limit(4096);
    EXPECT_FALSE(InsertIntoFileA(W("big.txt"), std::u16string(500, u'b'), false, 1));
  }
  EXPECT_EQ(ReadBytes(fDir / "big.txt"), std::string(4000, 'a'));
}

// ---------------------------------------------------------------------------
// Deleting.

TEST_F(FileUtils, OKToDeleteAsksAndReportsFailures) {
  Make("a.txt");
  fHost.answer = TMessageAnswer::Cancel;
  EXPECT_FALSE(OKToDeleteFile(W("a.txt")));
  EXPECT_TRUE(fs::exists(fDir / "a.txt"));
  ASSERT_EQ(fHost.texts.size(), 1u);
  EXPECT_EQ(fHost.texts[0], u"Delete " + W("a.txt") + u"?");
  EXPECT_EQ(fHost.captions[0], u"Confirmation");
  fHost.answer = TMessageAnswer::OK;
  EXPECT_TRUE(OKToDeleteFile(W("a.txt")));
  EXPECT_FALSE(fs::exists(fDir / "a.txt"));
  EXPECT_TRUE(OKToDeleteFile(W("a.txt")));  // missing: true, no question
  EXPECT_EQ(fHost.texts.size(), 2u);
  if (::geteuid() != 0) {
    Make("locked/b.txt");
    fs::permissions(fDir / "locked", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_THROW(OKToDeleteFile(W("locked/b.txt")), EOSError);
    fs::permissions(fDir / "locked", fs::perms::owner_write, fs::perm_options::add);
  }
}

TEST_F(FileUtils, RemoveAllEmptyFoldersNeverLeavesTheTree) {
  fs::create_directories(fDir / "root/a/b/c");
  fs::create_directories(fDir / "root/keep");
  Make("root/keep/file.txt");
  fs::create_directories(fDir / "outside/empty");
  fs::create_directory_symlink(fDir / "outside", fDir / "root/link");
  fs::create_directory_symlink(fDir / "root", fDir / "root/a/loop");
  const auto list = RemoveAllEmptyFolders(W("root"));
  ASSERT_GE(list->Count(), 5);
  EXPECT_EQ((*list)[0], W("root"));
  EXPECT_EQ((*list)[1], W("root") + u"/a");
  EXPECT_FALSE(fs::exists(fDir / "root/a/b"));
  EXPECT_TRUE(fs::exists(fDir / "root/a"));  // the loop link is in it
  EXPECT_TRUE(fs::exists(fDir / "root/keep/file.txt"));
  EXPECT_TRUE(fs::exists(fDir / "outside/empty"));
  for (int32_t i = 0; i < list->Count(); ++i) EXPECT_EQ((*list)[i].find(u"link"), std::u16string::npos);
}

TEST_F(FileUtils, DeleteAllRefusesRootsHoweverSpelled) {
  fs::create_directory_symlink("/", fDir / "to_root");
  for (const std::u16string& root : {std::u16string(u"/"), std::u16string(u"/tmp/.."), std::u16string(u"/./."),
                                     std::u16string(u"//"), W("to_root"), std::u16string(u"/proc"),
                                     W("does_not_exist")}) {
    fHost.texts.clear();
    EXPECT_EQ(DeleteAllFilesOn(root, u"txt"), 0) << platform::EncodedUTF8(root);
    ASSERT_EQ(fHost.texts.size(), 1u) << platform::EncodedUTF8(root);
    EXPECT_EQ(fHost.captions[0], u"No Way!");
    EXPECT_EQ(fHost.texts[0].rfind(u"Won't delete all files on ", 0), 0u);
  }
  // Sub-paths that climb out of the root are refused too.
  Make("r/x.txt");
  Make("outside.txt");
  fHost.texts.clear();
  fHost.captions.clear();
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"\\..\\*.*"), 0);
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"/./*.txt"), 0);
  EXPECT_TRUE(fs::exists(fDir / "outside.txt"));
  EXPECT_TRUE(fs::exists(fDir / "r/x.txt"));
  EXPECT_EQ(fHost.captions.size(), 2u);
}

TEST_F(FileUtils, DeleteAllAsksAndDeletesOnlyWhatMatches) {
  Make("r/a.txt");
  Make("r/b.TXT");
  Make("r/c.htm");
  Make("r/.hidden.txt");
  Make("r/sub/d.txt");
  Make("r/.dotdir/e.txt");
  Make("outside/f.txt");
  fs::create_directory_symlink(fDir / "outside", fDir / "r/link");
  fs::create_symlink(fDir / "outside/f.txt", fDir / "r/g.txt");
  ASSERT_EQ(::mkfifo((fDir / "r/pipe.txt").c_str(), 0600), 0);

  fHost.answer = TMessageAnswer::Cancel;
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u".txt"), 0);
  ASSERT_EQ(fHost.texts.size(), 1u);
  EXPECT_EQ(fHost.captions[0], u"Sure?");
  EXPECT_EQ(fHost.texts[0], u"File(s) already found there.\rDelete all 3 .txt files in " + W("r") + u"?");
  EXPECT_TRUE(fs::exists(fDir / "r/a.txt"));

  fHost.answer = TMessageAnswer::OK;
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"txt"), 3);
  EXPECT_FALSE(fs::exists(fDir / "r/a.txt"));
  EXPECT_FALSE(fs::exists(fDir / "r/b.TXT"));
  EXPECT_FALSE(fs::exists(fDir / "r/sub"));  // emptied, so removed
  EXPECT_TRUE(fs::exists(fDir / "r/c.htm"));
  EXPECT_TRUE(fs::exists(fDir / "r/.hidden.txt"));
  EXPECT_TRUE(fs::exists(fDir / "r/.dotdir/e.txt"));
  EXPECT_TRUE(fs::exists(fDir / "outside/f.txt"));
  EXPECT_TRUE(fs::is_symlink(fDir / "r/g.txt"));
  EXPECT_TRUE(fs::exists(fDir / "r/pipe.txt"));
  EXPECT_TRUE(fs::exists(fDir / "r"));

  // Without a host nothing is deleted.
  AMessageBoxProc.Clear();
  Make("r/h.txt");
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"txt"), 0);
  EXPECT_TRUE(fs::exists(fDir / "r/h.txt"));
}

TEST_F(FileUtils, DeleteAllWithASubPathAndMask) {
  Make("r/temp/a.x");
  Make("r/temp/b.y");
  Make("r/s/temp/c.z");
  Make("r/keep.x");
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"\\temp\\*.*", u"", false, true, true), 3);
  ASSERT_EQ(fHost.texts.size(), 1u);
  EXPECT_FALSE(fs::exists(fDir / "r/temp"));
  EXPECT_FALSE(fs::exists(fDir / "r/s/temp"));
  EXPECT_TRUE(fs::exists(fDir / "r/keep.x"));
}

TEST_F(FileUtils, MovingNeverOverwritesAFileMovedInTheSameCall) {
  Make("r/d1/a.txt", "first");
  Make("r/d2/a.txt", "second");
  Make("r/b.txt", "bee");
  fs::create_directories(fDir / "target");
  Make("target/old.txt", "old");
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"txt", W("target"), true, true, false), 2);
  // One a.txt moved; the other stays where it was.
  const std::string moved = ReadBytes(fDir / "target/a.txt");
  EXPECT_TRUE(moved == "first" || moved == "second");
  const int remaining = fs::exists(fDir / "r/d1/a.txt") + fs::exists(fDir / "r/d2/a.txt");
  EXPECT_EQ(remaining, 1);
  EXPECT_EQ(ReadBytes(fDir / "target/b.txt"), "bee");
  EXPECT_FALSE(fs::exists(fDir / "r/b.txt"));
  EXPECT_EQ(ReadBytes(fDir / "target/old.txt"), "old");
}

TEST_F(FileUtils, MovingIntoACollectedFolderKeepsTheFiles) {
  Make("r/a.txt", "A");
  Make("r/sub/b.txt", "B");
  // The target is the root itself: every copy would land on its own source.
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"txt", W("r"), true, false, false), 0);
  EXPECT_EQ(ReadBytes(fDir / "r/a.txt"), "A");
  // A copy that cannot land keeps its source.
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"txt", W("no_such_target"), true, true, false), 0);
  EXPECT_EQ(ReadBytes(fDir / "r/sub/b.txt"), "B");
}

// A deep chain's path: top + "/d" per level.
std::u16string DeepPath(const fs::path& top, int levels) {
  std::u16string path = Wide(top);
  for (int i = 0; i < levels; ++i) path += u"/d";
  return path;
}

// A descriptor of the folder at a path of any length.
struct TOpenFolder {
  explicit TOpenFolder(const std::u16string& path) : fd(platform::OpenFolderPath(platform::EncodedUTF8(path))) {}
  ~TOpenFolder() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

TEST_F(FileUtils, DeepTreesAreWalkedWithoutRecursion) {
  // Past the 4,096 bytes a path can have, with fewer descriptors than levels.
  // (The list returned holds every folder's full path, so not 10,000 levels:
  // that would be 200 MB of names.)
  constexpr int kLevels = 3000;
  const fs::path top = FastFolder() / "deep";
  fs::create_directories(top);
  ASSERT_TRUE(test_support::MakeDeepChain(top, kLevels));
  const std::u16string deepest = DeepPath(top, kLevels);
  ASSERT_GT(deepest.size(), static_cast<size_t>(PATH_MAX));
  {
    // A file half way keeps the folders above it.
    const TOpenFolder halfway(DeepPath(top, kLevels / 2));
    ASSERT_GE(halfway.fd, 0);
    const int file = ::openat(halfway.fd, "keep.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ::close(file);
  }
  const test_support::TDescriptorLimit limit(64);
  const auto list = RemoveAllEmptyFolders(Wide(top));
  ASSERT_EQ(list->Count(), kLevels + 1);
  EXPECT_EQ((*list)[0], Wide(top));
  EXPECT_EQ((*list)[kLevels], deepest);
  EXPECT_EQ((*list)[kLevels / 2], DeepPath(top, kLevels / 2));
  EXPECT_TRUE(DriveAndFolderExist(DeepPath(top, kLevels / 2)));
  EXPECT_TRUE(DriveAndFileExist(DeepPath(top, kLevels / 2) + u"/keep.txt"));
  EXPECT_FALSE(DriveAndFolderExist(DeepPath(top, kLevels / 2 + 1)));
  // Single paths of that length work too.
  EXPECT_TRUE(OKToDeleteFile(DeepPath(top, kLevels / 2) + u"/keep.txt"));
  EXPECT_FALSE(DriveAndFileExist(DeepPath(top, kLevels / 2) + u"/keep.txt"));
  EXPECT_TRUE(RemovedEmptyFolder(DeepPath(top, kLevels / 2)));
  EXPECT_FALSE(DriveAndFolderExist(DeepPath(top, kLevels / 2)));
  RemoveAllEmptyFolders(Wide(top));
  EXPECT_FALSE(fs::exists(top));
}

TEST_F(FileUtils, DeleteAllOnTenThousandLevelsNeverFollowsALink) {
  constexpr int kLevels = 10000;
  const fs::path top = FastFolder() / "deep";
  fs::create_directories(top);
  ASSERT_TRUE(test_support::MakeDeepChain(top, kLevels, "d", "f.txt"));
  Make("outside/f.txt", "keep me");
  {
    // At the bottom, a link to a folder outside the tree; half way, a file
    // that does not match.
    const TOpenFolder bottom(DeepPath(top, kLevels));
    ASSERT_GE(bottom.fd, 0);
    ASSERT_EQ(::symlinkat((fDir / "outside").c_str(), bottom.fd, "out"), 0);
    const TOpenFolder halfway(DeepPath(top, kLevels / 2));
    ASSERT_GE(halfway.fd, 0);
    const int file = ::openat(halfway.fd, "keep.htm", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ::close(file);
  }
  const test_support::TDescriptorLimit limit(64);
  EXPECT_EQ(DeleteAllFilesOn(Wide(top), u"txt"), kLevels);
  ASSERT_EQ(fHost.texts.size(), 1u);
  EXPECT_EQ(fHost.texts[0], u"File(s) already found there.\rDelete all 10000 .txt files in " + Wide(top) + u"?");
  EXPECT_EQ(ReadBytes(fDir / "outside/f.txt"), "keep me");
  // No folder was left empty: the link keeps the deepest one, and each keeps
  // the one below it.
  EXPECT_TRUE(DriveAndFileExist(DeepPath(top, kLevels / 2) + u"/keep.htm"));
  EXPECT_FALSE(DriveAndFileExist(DeepPath(top, kLevels / 2) + u"/f.txt"));
  EXPECT_FALSE(DriveAndFileExist(DeepPath(top, 1) + u"/f.txt"));
  EXPECT_TRUE(DriveAndFolderExist(DeepPath(top, kLevels)));  // the link keeps it
  struct stat info {};
  const platform::TPathAt link(platform::EncodedUTF8(DeepPath(top, kLevels) + u"/out"));
  EXPECT_EQ(::fstatat(link.Dir(), link.Name(), &info, AT_SYMLINK_NOFOLLOW), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST_F(FileUtils, MovingFromFoldersDeeperThanAPathCanName) {
  constexpr int kLevels = 2500;
  const fs::path top = FastFolder() / "deep";
  fs::create_directories(top);
  ASSERT_TRUE(test_support::MakeDeepChain(top, kLevels, "d", "f.txt"));
  ASSERT_GT(DeepPath(top, kLevels).size(), static_cast<size_t>(PATH_MAX));
  fs::create_directories(fDir / "target");
  // Every f.txt goes to the same name: the first one (the deepest) moves,
  // the others keep their place.
  EXPECT_EQ(DeleteAllFilesOn(Wide(top), u"txt", W("target"), true, true, true), 1);
  EXPECT_EQ(ReadBytes(fDir / "target/f.txt"), "x");
  EXPECT_FALSE(DriveAndFileExist(DeepPath(top, kLevels) + u"/f.txt"));
  EXPECT_FALSE(DriveAndFolderExist(DeepPath(top, kLevels)));  // emptied, so removed
  EXPECT_TRUE(DriveAndFileExist(DeepPath(top, kLevels - 1) + u"/f.txt"));
  EXPECT_TRUE(DriveAndFileExist(DeepPath(top, 1) + u"/f.txt"));
}

TEST_F(FileUtils, SubPathsNeverLeadThroughALink) {
  Make("outside/a.txt");
  Make("r/s/temp/b.txt");
  fs::create_directory_symlink(fDir / "outside", fDir / "r/temp");
  EXPECT_EQ(DeleteAllFilesOn(W("r"), u"\\temp\\*.*", u"", false, true, true), 1);
  EXPECT_TRUE(fs::exists(fDir / "outside/a.txt"));
  EXPECT_FALSE(fs::exists(fDir / "r/s/temp"));
  EXPECT_TRUE(fs::is_symlink(fDir / "r/temp"));
}

// ---------------------------------------------------------------------------
// Lists.

TEST_F(FileUtils, ListsAndSorts) {
  Make("l/b.txt");
  Make("l/A.txt");
  Make("l/c.htm");
  Make("l/.h.txt");
  fs::create_directories(fDir / "l/sub.txt");
  const auto all = ListOfAllFilesIn(W("l"));
  ASSERT_EQ(all->Count(), 3);
  EXPECT_EQ((*all)[0], W("l/A.txt"));
  EXPECT_EQ((*all)[1], W("l/b.txt"));
  EXPECT_EQ((*all)[2], W("l/c.htm"));

  const auto same = ListOfAllFilesMatchingExt(W("l/b.txt"), u".*", false);
  ASSERT_EQ(same->Count(), 0);
  Make("l/b.htm");
  const auto withItself = ListOfAllFilesMatchingExt(W("l/b.txt"), u".*", true);
  ASSERT_EQ(withItself->Count(), 2);
  EXPECT_EQ((*withItself)[0], W("l/b.htm"));
  EXPECT_EQ((*withItself)[1], W("l/b.txt"));

  platform::TStringList list;
  list.Add(W("l/c.htm"));
  list.Add(W("l/A.txt"));
  list.Add(W("l/b.txt"));
  SortListOfFiles(list, false, true);
  EXPECT_EQ(list[0], W("l/A.txt"));
  EXPECT_EQ(list[2], W("l/c.htm"));
  SortListOfFiles(list, false, false);
  EXPECT_EQ(list[0], W("l/c.htm"));

  // By last access: set the access times apart.
  const char* names[] = {"l/c.htm", "l/A.txt", "l/b.txt"};
  for (int i = 0; i < 3; ++i) {
    struct timespec times[2] = {{1000000000 + i * 100, 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (fDir / names[i]).c_str(), times, 0), 0);
  }
  SortListOfFiles(list, true, true);
  EXPECT_EQ(list[0], W("l/c.htm"));
  EXPECT_EQ(list[1], W("l/A.txt"));
  EXPECT_EQ(list[2], W("l/b.txt"));
  SortListOfFiles(list, true, false);
  EXPECT_EQ(list[0], W("l/b.txt"));
}

// ---------------------------------------------------------------------------
// Drives.

TEST(FileUtilsDrives, NeutralAnswersAndLabels) {
  EXPECT_GE(NumberOfDrives(), 1);  // the root file system is C:
  EXPECT_EQ(NumberOfNetworkDrives(), 0);
  EXPECT_EQ(AllNetworkDrives(), u"");
  const std::u16string most = DriveWithMostFreeSpace();
  if (!most.empty()) {
    EXPECT_EQ(most.back(), u'/');
  }
  const std::u16string id = VolumeID(u'C');
  ASSERT_GE(id.size(), 2u);
  EXPECT_EQ(id.front(), u'[');
  EXPECT_EQ(id.back(), u']');
  EXPECT_EQ(VolumeID(u'Y'), u"[]");
  EXPECT_EQ(NetworkVolume(u'C'), id);
  EXPECT_EQ(DriveOfPath(u"C:\\x"), u"C:");
  EXPECT_EQ(DriveOfPath(u"relative"), u"");
}

}  // namespace
}  // namespace qn
