#include "platform/FolderListing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/TestFiles.h"

namespace qn::platform {
namespace {

namespace fs = std::filesystem;
using test_support::WriteBytes;

class FolderListing : public test_support::TTempFolderTest {
 protected:
  void Make(const std::string& name, const std::string& bytes = "x") { WriteBytes(fDir / name, bytes); }
  static std::vector<std::u16string> Names(const TFolderListing& listing) {
    std::vector<std::u16string> names;
    for (const TFolderEntry& entry : listing.Entries) names.push_back(entry.Name);
    return names;
  }
  const TFolderEntry* Entry(const TFolderListing& listing, std::u16string_view name) {
    for (const TFolderEntry& entry : listing.Entries) {
      if (entry.Name == name) return &entry;
    }
    return nullptr;
  }
};

using V = std::vector<std::u16string>;

TEST_F(FolderListing, SortedByUpperCaseThenOrdinal) {
  for (const char* name : {"b", "B", "a", "_x", "Z", "\xC3\xA9t\xC3\xA9", "A1"}) Make(name);
  const TFolderListing listing = ListFolder(fDir.string(), TLinkPolicy::Follow, false);
  ASSERT_TRUE(listing.Opened);
  // "_" (0x5F) sorts after the upper-case letters, as upper-cased names do.
  EXPECT_EQ(Names(listing), (V{u"a", u"A1", u"B", u"b", u"Z", u"_x", u"\u00e9t\u00e9"}));
  EXPECT_LT(CompareFileNames(u"abc", u"ABD"), 0);
  EXPECT_LT(CompareFileNames(u"ABC", u"abc"), 0);
  EXPECT_EQ(CompareFileNames(u"abc", u"abc"), 0);
  EXPECT_GT(CompareFileNames(u"abcd", u"ABC"), 0);
}

TEST_F(FolderListing, AttributesFollowTheDesktopMapping) {
  Make("plain.txt", "12345");
  Make(".hidden");
  Make("readonly.txt");
  ASSERT_EQ(::chmod((fDir / "readonly.txt").c_str(), 0444), 0);
  fs::create_directory(fDir / "folder");
  ASSERT_EQ(::mkfifo((fDir / "pipe").c_str(), 0600), 0);
  fs::create_symlink(fDir / "plain.txt", fDir / "link");
  fs::create_symlink(fDir / "gone", fDir / "broken");
  fs::create_directory_symlink(fDir / "folder", fDir / "folder_link");

  const TFolderListing followed = ListFolder(fDir.string(), TLinkPolicy::Follow, true);
  EXPECT_EQ(followed.BrokenLinks, (V{u"broken"}));
  EXPECT_EQ(Entry(followed, u"broken"), nullptr);
  ASSERT_NE(Entry(followed, u"plain.txt"), nullptr);
  EXPECT_EQ(Entry(followed, u"plain.txt")->Attr, faArchive);
  EXPECT_EQ(Entry(followed, u"plain.txt")->Size, 5);
  EXPECT_GT(Entry(followed, u"plain.txt")->DateTime, 40000.0);
  EXPECT_EQ(Entry(followed, u".hidden")->Attr, faArchive | faHidden);
  EXPECT_EQ(Entry(followed, u"readonly.txt")->Attr, faArchive | faReadOnly);
  EXPECT_EQ(Entry(followed, u"folder")->Attr, faDirectory);
  EXPECT_EQ(Entry(followed, u"pipe")->Attr, faSysFile);
  EXPECT_EQ(Entry(followed, u"link")->Attr, faArchive);
  EXPECT_TRUE(Entry(followed, u"link")->IsLink);
  EXPECT_TRUE(Entry(followed, u"folder_link")->IsFolder());
  EXPECT_EQ(Entry(followed, u"folder_link")->Inode, Entry(followed, u"folder")->Inode);

  const TFolderListing literal = ListFolder(fDir.string(), TLinkPolicy::DoNotFollow, false);
  EXPECT_TRUE(literal.BrokenLinks.empty());
  EXPECT_EQ(Entry(literal, u"folder_link")->Attr & (faDirectory | faSysFile), faSysFile);
  EXPECT_EQ(Entry(literal, u"link")->Attr & faSysFile, faSysFile);
  EXPECT_EQ(Entry(literal, u"broken")->Attr & faSysFile, faSysFile);
  EXPECT_EQ(Entry(literal, u"pipe")->Attr, faSysFile);
}

TEST_F(FolderListing, NamesWithoutAUtf16FormAreReported) {
  Make("ok.txt");
  Make(std::string("bad\xFF.txt"));
  const TFolderListing listing = ListFolder(fDir.string(), TLinkPolicy::Follow, false);
  EXPECT_EQ(Names(listing), (V{u"ok.txt"}));
  EXPECT_EQ(listing.SkippedNames, (std::vector<std::string>{"bad\xFF.txt"}));
  EXPECT_FALSE(ListFolder((fDir / "missing").string(), TLinkPolicy::Follow, false).Opened);
}

TEST_F(FolderListing, DetailsOnlyForTheWantedPieces) {
  Make("a.txt", "123");
  Make("b.htm", "4567");
  const std::vector<std::u16string> pieces{u"*.txt"};
  const TFolderListing listing = ListFolder(fDir.string(), TLinkPolicy::Follow, true, &pieces);
  EXPECT_EQ(Entry(listing, u"a.txt")->Size, 3);
  EXPECT_EQ(Entry(listing, u"b.htm")->Size, 0);
  EXPECT_EQ(Entry(listing, u"b.htm")->Attr, faArchive);
}

// ---------------------------------------------------------------------------
// Trees deeper than a path can name.

struct TIdentity {
  uint64_t device = 0, inode = 0;
  bool operator==(const TIdentity&) const = default;
};

TIdentity IdentityOfFd(int fd) {
  struct stat info {};
  EXPECT_EQ(::fstat(fd, &info), 0);
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

TEST_F(FolderListing, TrailsWalkTenThousandLevelsWithFewDescriptors) {
  constexpr int kLevels = 10000;
  ASSERT_TRUE(test_support::MakeDeepChain(FastFolder(), kLevels, "d", "f.txt"));
  const test_support::TDescriptorLimit limit(64);  // one descriptor per level would fail
  TFolderTrail trail;
  ASSERT_TRUE(trail.Start(FastFolder().string()));
  const TIdentity top{trail.Device(), trail.Inode()};
  for (int i = 0; i < kLevels; ++i) ASSERT_TRUE(trail.Enter("d", false)) << i;
  EXPECT_EQ(trail.Depth(), static_cast<size_t>(kLevels));
  EXPECT_LE(trail.HeldDescriptors(), 33u);
  std::string expected = FastFolder().string();
  for (int i = 0; i < kLevels; ++i) expected += "/d";
  ASSERT_EQ(trail.Path(), expected);
  ASSERT_GT(expected.size(), static_cast<size_t>(PATH_MAX));

  // The deepest folder by its path, in pieces, and what is in it.
  const int byPath = OpenFolderPath(expected);
  ASSERT_GE(byPath, 0);
  EXPECT_EQ(IdentityOfFd(byPath), IdentityOfFd(trail.Fd()));
  ::close(byPath);
  EXPECT_EQ(Names(ListFolder(expected, TLinkPolicy::Follow, true)), (V{u"f.txt"}));
  EXPECT_EQ(Names(ListFolderAt(trail.Fd(), TLinkPolicy::Follow, false)), (V{u"f.txt"}));
  // Listing through the descriptor leaves it usable for the next listing.
  EXPECT_EQ(Names(ListFolderAt(trail.Fd(), TLinkPolicy::Follow, false)), (V{u"f.txt"}));
  {
    const TPathAt at(expected + "/f.txt");
    struct stat info {};
    ASSERT_NE(at.Dir(), -1);
    EXPECT_EQ(::fstatat(at.Dir(), at.Name(), &info, 0), 0);
    EXPECT_EQ(info.st_size, 1);
  }

  // Back up, re-opening the folders given up on the way down.
  for (int i = 0; i < kLevels; ++i) {
    ASSERT_TRUE(trail.Leave()) << i;
    ASSERT_LE(trail.HeldDescriptors(), 33u);
  }
  EXPECT_FALSE(trail.Leave());
  EXPECT_EQ((TIdentity{trail.Device(), trail.Inode()}), top);
  EXPECT_EQ(trail.Path(), FastFolder().string());

  // Going to a path from where the trail is reuses what the two share.
  ASSERT_TRUE(trail.MoveTo(expected));
  EXPECT_EQ(trail.Depth(), static_cast<size_t>(kLevels));
  ASSERT_TRUE(trail.MoveTo(FastFolder().string() + "/d/d/d"));
  EXPECT_EQ(trail.Depth(), 3u);
  EXPECT_EQ(Names(ListFolderAt(trail.Fd(), TLinkPolicy::Follow, false)), (V{u"d", u"f.txt"}));
  EXPECT_FALSE(trail.MoveTo(FastFolder().string() + "/d/missing"));
}

TEST_F(FolderListing, TrailsComeBackThroughLinksAndNoticeReplacedFolders) {
  fs::create_directories(fDir / "x/a/b");
  fs::create_directory_symlink(fDir / "x", fDir / "l");
  TFolderTrail trail(1);  // hold as little as possible: every step up re-opens
  ASSERT_TRUE(trail.Start(fDir.string()));
  EXPECT_FALSE(trail.Enter("l", false));  // a link is entered only when asked
  ASSERT_TRUE(trail.Enter("l", true));
  ASSERT_TRUE(trail.Enter("a", true));
  ASSERT_TRUE(trail.Enter("b", true));
  // The ".." of x is fDir, not the link: found again by its names.
  ASSERT_TRUE(trail.Leave());
  ASSERT_TRUE(trail.Leave());
  EXPECT_EQ(trail.Path(), (fDir / "l").string());
  EXPECT_EQ(Names(ListFolderAt(trail.Fd(), TLinkPolicy::Follow, false)), (V{u"a"}));
  ASSERT_TRUE(trail.Leave());
  EXPECT_EQ(trail.Depth(), 0u);

  // A folder replaced while the trail was below it is not taken for it.
  ASSERT_TRUE(trail.Enter("l", true));
  ASSERT_TRUE(trail.Enter("a", true));
  ASSERT_TRUE(trail.Enter("b", true));
  fs::create_directories(fDir / "moved");
  fs::rename(fDir / "x/a", fDir / "moved/a");
  fs::create_directories(fDir / "x/a");  // a new folder under the old name
  EXPECT_TRUE(trail.Leave());            // b's ".." is still the a that was entered
  fs::rename(fDir / "moved/a/b", fDir / "b");
  fs::rename(fDir / "x", fDir / "x_old");
  fs::create_directories(fDir / "x");
  EXPECT_FALSE(trail.Leave());  // neither ".." nor the names lead to the x entered
  EXPECT_EQ(trail.Fd(), -1);
  EXPECT_FALSE(trail.Enter("a", true));
  EXPECT_TRUE(trail.Leave());  // the start folder is always held
  EXPECT_EQ(trail.Path(), fDir.string());
}

TEST(FolderListingPieces, GroupedByPieceAndTakenOnce) {
  std::vector<TFolderEntry> entries(5);
  const char16_t* names[] = {u"a.htm", u"ab", u"b.txt", u"c", u"c.TXT"};
  for (size_t i = 0; i < entries.size(); ++i) entries[i].Name = names[i];
  EXPECT_EQ(SelectByPieces(entries, {u"*.txt", u"a*", u"*.txt"}), (std::vector<size_t>{2, 4, 0, 1}));
  EXPECT_EQ(SelectByPieces(entries, {u"*.*"}), (std::vector<size_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(SelectByPieces(entries, {u" *.txt"}), (std::vector<size_t>{}));  // pieces are not trimmed
  EXPECT_TRUE(NameMatchesPiece(u"noext", u"*.*"));
  EXPECT_FALSE(NameMatchesPiece(u"noext", u"*.?*"));
}

TEST(FolderListingTimes, LocalTimeOfFileStamps) {
  // 1 Jan 1970 00:00 UTC plus the local offset; never a failure value in between.
  const double epoch = FileTimeToDateTime(0, 0);
  EXPECT_NEAR(epoch, 25569.0, 1.0);
  EXPECT_NEAR(FileTimeToDateTime(86400, 500000000) - epoch, 1.0 + 0.5 / 86400.0, 1.0 / 24);
}

}  // namespace
}  // namespace qn::platform
