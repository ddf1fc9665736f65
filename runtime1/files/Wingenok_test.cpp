#include "runtime1/files/Wingenok.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/DateTime.h"
#include "platform/Format.h"
#include "platform/testing/NonRegularFiles.h"
#include "platform/testing/TestFiles.h"
#include "runtime1/files/Mykpsmall.h"

namespace qn {
namespace {

namespace fs = std::filesystem;

using test_support::ReadBytes;
using test_support::Wide;
using test_support::WriteBytes;

class TempFolder : public test_support::TTempFolderTest {
 protected:
  void TearDown() override {
    TTempFolderTest::TearDown();
    AMessageBoxProc.Clear();
  }
};

// ---- strings ---------------------------------------------------------------

TEST(WingenokStrings, DoubleAnyAmpersands) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"a&b", u"a&&b"}, {u"a&&b", u"a&&b"}, {u"&&", u"&&"},   {u"a&", u"a&&"},
      {u"&", u"&&"},     {u"&a&", u"&&a&&"}, {u"&&&", u"&&&"}, {u"", u""},
      {u"no amp", u"no amp"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(DoubleAnyAmpersands(in), out) << std::string(in.begin(), in.end());
}

TEST(WingenokStrings, Rightstr) {
  EXPECT_EQ(Rightstr(u"abc", 5), u"abc");
  EXPECT_EQ(Rightstr(u"abc", 3), u"abc");
  EXPECT_EQ(Rightstr(u"abc", 2), u"bc");
  EXPECT_EQ(Rightstr(u"abc", 0), u"");
  EXPECT_EQ(Rightstr(u"abc", -4), u"");
  EXPECT_EQ(Rightstr(u"", 2), u"");
}

TEST(WingenokStrings, AttributesToStrKeepsItsOrder) {
  EXPECT_EQ(AttributesToStr(0), u"");
  EXPECT_EQ(AttributesToStr(1 | 2 | 16), u"rhd");
  EXPECT_EQ(AttributesToStr(1 | 2 | 4 | 16 | 32), u"rashd");
  EXPECT_EQ(AttributesToStr(32 | 4), u"as");
  EXPECT_EQ(AttributesToStr(0x0080 | 0x0800), u"");  // other bits give no letter
}

TEST(WingenokStrings, BooleansAsText) {
  EXPECT_EQ(BooleanToStr(true), u"true");
  EXPECT_EQ(BooleanToStr(false), u"false");
  EXPECT_TRUE(StrToBoolean(u"true"));
  EXPECT_TRUE(StrToBoolean(u"TRUE"));
  EXPECT_FALSE(StrToBoolean(u"false"));
  EXPECT_FALSE(StrToBoolean(u"yes"));
  EXPECT_FALSE(StrToBoolean(u" true"));
}

TEST(WingenokStrings, StrLScanWFindsAMatchAnywhereWithinCount) {
  const char16_t text[] = u"abc\0de";  // a zero inside does not stop the scan
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(StrLScanW(text, text[i], 6), text + i) << i;
  }
  EXPECT_EQ(StrLScanW(text, u'e', 5), nullptr);
  EXPECT_EQ(StrLScanW(text, u'a', 0), nullptr);
  EXPECT_EQ(StrLScanW(text, u'a', -1), nullptr);
  EXPECT_EQ(StrLScanW(nullptr, u'a', 3), nullptr);
  EXPECT_EQ(StrLScanW(text, u'z', 6), nullptr);
}

TEST(WingenokStrings, StrSwapByteOrderStopsAtTheFirstZero) {
  char16_t text[] = {0x0041, 0x1234, 0xFF00, 0, 0x0102};
  StrSwapByteOrder(text);
  EXPECT_EQ(text[0], 0x4100);
  EXPECT_EQ(text[1], 0x3412);
  EXPECT_EQ(text[2], 0x00FF);
  EXPECT_EQ(text[4], 0x0102);
  StrSwapByteOrder(nullptr);
}

// ---- locales and case ----------------------------------------------------------

TEST(WingenokLocales, CodePagesOfLocales) {
  EXPECT_EQ(LCIDToCodePage(0x0409), 1252);
  EXPECT_EQ(LCIDToCodePage(0x0419), 1251);  // Russian
  EXPECT_EQ(CodePageFromLocale(0x0411), 932);  // Japanese
  // A language whose text needs Unicode: the active code page.
  EXPECT_EQ(LCIDToCodePage(0x0439), static_cast<int32_t>(platform::ActiveCodePage()));
}

TEST(WingenokLocales, CaseMappingStopsAtZeroAndFollowsTheLocale) {
  EXPECT_EQ(Lowercase(0x0409, std::u16string_view(u"AB\0CD", 5)), u"ab");
  EXPECT_EQ(Uppercase(0x0409, u"istanbul"), u"ISTANBUL");
  EXPECT_EQ(Uppercase(0x041F, u"istanbul"), u"\u0130STANBUL");
  EXPECT_EQ(Lowercase(0x041F, u"I"), u"\u0131");
  EXPECT_EQ(Uppercase(u"stra\u00DFe"), u"STRA\u00DFE");  // one unit in, one out
  EXPECT_EQ(Lowercase(u"\u0130I"), u"\u0069\u0069");

  char16_t buffer[] = u"Ii\0Q";
  UppercaseIt(0x041F, buffer);
  EXPECT_EQ(std::u16string(buffer, 4), std::u16string(u"I\u0130\0Q", 4));
  LowercaseIt(0x0409, buffer);
  EXPECT_EQ(buffer[0], u'i');
  LowercaseIt(0x0409, nullptr);
}

TEST(WingenokLocales, DigitsAndMeasurements) {
  EXPECT_TRUE(IsADigitChar(u'7'));
  EXPECT_TRUE(IsADigitChar(u'\u0663'));   // Arabic-Indic three
  EXPECT_TRUE(IsADigitChar(u'\u0967'));   // Devanagari one
  EXPECT_FALSE(IsADigitChar(u'\u00B2'));  // superscript two is no decimal digit
  EXPECT_FALSE(IsADigitChar(u'x'));
  EXPECT_TRUE(IsOrdinaryNumberChar(u'0'));
  EXPECT_FALSE(IsOrdinaryNumberChar(u'\u0663'));
  EXPECT_FALSE(UserDefaultMeasurements(0x0409));  // U.S.
  EXPECT_TRUE(UserDefaultMeasurements(0x0407));   // German: metric
  EXPECT_TRUE(UserDefaultMeasurements(0x0809));   // British: metric
}

// ---- numbers and dates in two locales -------------------------------------------------

TEST(WingenokNumbers, DecimalTextsInTwoLocales) {
  const platform::TFormatSettings us = platform::TFormatSettings::ForLocale(0x0409);
  const platform::TFormatSettings de = platform::TFormatSettings::ForLocale(0x0407);
  struct Case {
    double x;
    std::u16string_view us, de;
  };
  const Case reals[] = {
      {0.5, u".50", u",50"},
      {1234567.891, u"1,234,567.89", u"1.234.567,89"},
      {0.0, u".00", u",00"},
      {-0.25, u"-.25", u"-,25"},
      {999.999, u"1,000.00", u"1.000,00"},
      {12.0, u"12.00", u"12,00"},
  };
  for (const Case& c : reals) {
    EXPECT_EQ(RealToDecStr(c.x, us), c.us) << c.x;
    EXPECT_EQ(RealToDecStr(c.x, de), c.de) << c.x;
  }
  EXPECT_EQ(RealToDecStr(std::nan(""), us), u"*");
  EXPECT_EQ(RealToDecStr(std::numeric_limits<double>::infinity(), de), u"*");
}

TEST(WingenokNumbers, WholeNumbersKeepEveryDigit) {
  const platform::TFormatSettings us = platform::TFormatSettings::ForLocale(0x0409);
  const platform::TFormatSettings de = platform::TFormatSettings::ForLocale(0x0407);
  EXPECT_EQ(IntToDecStr(int32_t{0}, us), u"0");
  EXPECT_EQ(IntToDecStr(int32_t{999}, us), u"999");
  EXPECT_EQ(IntToDecStr(int32_t{1000}, de), u"1.000");
  EXPECT_EQ(IntToDecStr(int32_t{-1234567}, us), u"-1,234,567");
  // Beyond 2^24 a pass through single precision would show 16,777,216.
  EXPECT_EQ(IntToDecStr(int32_t{16777217}, us), u"16,777,217");
  EXPECT_EQ(IntToDecStr(int32_t{2147483647}, de), u"2.147.483.647");
  EXPECT_EQ(IntToDecStr(std::numeric_limits<int32_t>::min(), us), u"-2,147,483,648");
  EXPECT_EQ(IntToDecStr(int64_t{123456789012345}, us), u"123,456,789,012,345");
  EXPECT_EQ(IntToDecStr(std::numeric_limits<int64_t>::max(), de), u"9.223.372.036.854.775.807");
  EXPECT_EQ(IntToDecStr(std::numeric_limits<int64_t>::min(), us), u"-9,223,372,036,854,775,808");
  EXPECT_FLOAT_EQ(Int64ToSingle(16777217), 16777216.0f);
}

TEST(WingenokDates, CompilationDateInTwoLocales) {
  struct stat info {};
  ASSERT_EQ(::stat("/proc/self/exe", &info), 0);
  const platform::TDateTime built = Compilation_DateTime();
  EXPECT_NEAR(built, platform::UnixToDateTime(info.st_mtim.tv_sec, static_cast<int32_t>(info.st_mtim.tv_nsec)),
              1e-9);
  int32_t year = 0, month = 0, day = 0;
  platform::DecodeDate(built, year, month, day);
  ASSERT_GT(year, 2000);

  const platform::TFormatSettings saved = UserDefaultFormatSettings;
  UserDefaultFormatSettings = platform::TFormatSettings::ForLocale(0x0409);
  const std::u16string us = Compilation_Date();
  EXPECT_EQ(Compilation_Year(), platform::IntToStr(year));
  UserDefaultFormatSettings = platform::TFormatSettings::ForLocale(0x0407);
  const std::u16string de = Compilation_Date();
  UserDefaultFormatSettings = saved;

  const std::u16string d = platform::IntToStr(day), m = platform::IntToStr(month), y = platform::IntToStr(year);
  const auto two = [](int32_t n) {
    std::u16string text = platform::IntToStr(n);
    if (text.size() < 2) text.insert(text.begin(), u'0');
    return text;
  };
  EXPECT_EQ(us, m + u"/" + d + u"/" + y);
  EXPECT_EQ(de, two(day) + u"." + two(month) + u"." + y);
}

TEST(WingenokDates, TimesOfDayAndElapsedSeconds) {
  EXPECT_EQ(TodaysTimeInSeconds(0.5), 43200);
  EXPECT_EQ(TodaysTimeInSeconds(45000.25), 21600);
  EXPECT_EQ(TodaysTimeInSeconds(-1.25), 21600);  // 29 Dec 1899, 06:00
  EXPECT_EQ(TodaysTimeInSeconds(std::nan("")), 0);
  const platform::TDateTime now = 46000.75;
  EXPECT_EQ(SecondsElapsedBetween(now - 25.0 / 24.0, now), 3600);  // whole days dropped
  EXPECT_EQ(SecondsElapsedBetween(now - 90.0 / 86400.0, now), 90);
  EXPECT_EQ(SecondsElapsedBetween(now, now), 0);
  EXPECT_EQ(SecondsElapsedSince(platform::Now() - 25.0 / 24.0), 3600);
  const int32_t today = TodayAsLongint();
  EXPECT_EQ(today, static_cast<int32_t>(std::floor(platform::Now())));
}

// ---- batch names ---------------------------------------------------------------

TEST_F(TempFolder, ForcedToBeNewFileNumbersAndAccumulates) {
  SetBatchFileStartNumberTo(0);
  std::u16string name = Wide(fDir / "fresh");
  EXPECT_TRUE(ForcedToBeNewFile(name));
  EXPECT_EQ(name, Wide(fDir / "fresh."));  // a dot is added even for a new name

  WriteBytes(fDir / "out.txt", "x");
  name = Wide(fDir / "out.txt");
  EXPECT_TRUE(ForcedToBeNewFile(name));
  EXPECT_EQ(name, Wide(fDir / "out_001.txt"));
  EXPECT_EQ(GetBatchFileStartNumber(), 1);

  WriteBytes(fDir / "out_001.txt", "x");
  name = Wide(fDir / "out.txt");
  EXPECT_TRUE(ForcedToBeNewFile(name));
  // out.txt -> out_002.txt, free: the counter is shared and never reset.
  EXPECT_EQ(name, Wide(fDir / "out_002.txt"));
  WriteBytes(fDir / "out_002.txt", "x");
  SetBatchFileStartNumberTo(0);
  name = Wide(fDir / "out_001.txt");
  EXPECT_TRUE(ForcedToBeNewFile(name));
  EXPECT_EQ(name, Wide(fDir / "out_001_001.txt"));

  SetBatchFileStartNumberTo(998);
  name = Wide(fDir / "out.txt");
  ForcedToBeNewFile(name);
  EXPECT_EQ(name, Wide(fDir / "out_999.txt"));
  WriteBytes(fDir / "out_999.txt", "x");
  name = Wide(fDir / "out_999.txt");
  ForcedToBeNewFile(name);
  EXPECT_EQ(name, Wide(fDir / "out_999_1000.txt"));
}

TEST_F(TempFolder, ForcedToBeNewFileNeverTakesAFolderDotForTheExtension) {
  SetBatchFileStartNumberTo(0);
  fs::create_directories(fDir / "my.dir");
  WriteBytes(fDir / "my.dir" / "out", "x");
  std::u16string name = Wide(fDir / "my.dir" / "out");
  EXPECT_TRUE(ForcedToBeNewFile(name));
  EXPECT_EQ(name, Wide(fDir / "my.dir" / "out."));  // "out." is free
  WriteBytes(fDir / "my.dir" / "out.", "x");
  name = Wide(fDir / "my.dir" / "out");
  ForcedToBeNewFile(name);
  EXPECT_EQ(name, Wide(fDir / "my.dir" / "out_001."));
}

TEST(WingenokBatch, TheStartNumberIsNeverNegative) {
  SetBatchFileStartNumberTo(-5);
  EXPECT_EQ(GetBatchFileStartNumber(), 0);
  SetBatchFileStartNumberTo(41);
  EXPECT_EQ(GetBatchFileStartNumber(), 41);
  SetBatchFileStartNumberTo(0);
}

// ---- paths, folders and drives ----------------------------------------------------

TEST(WingenokPaths, NormalisedPath) {
  EXPECT_EQ(NormalisedPath(u"/"), u"/");
  EXPECT_EQ(NormalisedPath(u"/a/"), u"/a/");  // three units: unchanged
  EXPECT_EQ(NormalisedPath(u"ab"), u"ab");
  EXPECT_EQ(NormalisedPath(u"/data/corpus/"), u"/data/corpus");
  EXPECT_EQ(NormalisedPath(u"/data/./x/../corpus//"), u"/data/corpus");
  EXPECT_EQ(NormalisedPath(u"/data/caf\u00E9/"), u"/data/caf\u00E9");
  const std::u16string cwd = Wide(fs::current_path());
  EXPECT_EQ(NormalisedPath(u"texts/"), cwd + u"/texts");

  const TNormalisedPathW w = NormalisedPathW(u"/data/corpus/");
  EXPECT_EQ(std::u16string(w.data()), u"/data/corpus");
  EXPECT_EQ(w[12], 0);
  const std::u16string longPath = u"/" + std::u16string(300, u'x');
  const TNormalisedPathW cut = NormalisedPathW(longPath);
  EXPECT_EQ(std::u16string(cut.data()), longPath.substr(0, 260));
  EXPECT_EQ(cut[260], 0);
}

TEST_F(TempFolder, FoldersAndWildcards) {
  fs::create_directories(fDir / "sub");
  WriteBytes(fDir / "file.txt", "x");
  EXPECT_TRUE(sIsADirectory(Wide(fDir / "sub")));
  EXPECT_FALSE(sIsADirectory(Wide(fDir / "file.txt")));
  EXPECT_FALSE(sIsADirectory(Wide(fDir / "missing")));
  EXPECT_FALSE(sIsADirectory(u""));
  EXPECT_TRUE(FileNameHasWildCards(u"*.txt"));
  EXPECT_TRUE(FileNameHasWildCards(u"a?c"));
  EXPECT_FALSE(FileNameHasWildCards(u"/data/a.txt"));
}

std::vector<std::u16string> Entries(const platform::TStringList& list) {
  std::vector<std::u16string> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

TEST_F(TempFolder, ListOfSubFoldersWalksVisibleFoldersInPreOrder) {
  fs::create_directories(fDir / "A" / "A1" / "A11");
  fs::create_directories(fDir / "A" / "A2");
  fs::create_directories(fDir / "B");
  fs::create_directories(fDir / ".hidden" / "inner");
  fs::create_directories(fDir / "B" / ".git" / "objects");
  WriteBytes(fDir / "A" / "file.txt", "x");
  fs::create_directory_symlink(fDir, fDir / "B" / "loop");  // leads back to the top

  const std::u16string top = Wide(fDir);
  auto flat = ListOfSubFolders(top, false);
  EXPECT_EQ(Entries(*flat), std::vector<std::u16string>{top});

  int yields = 0;
  auto count = [&yields] { ++yields; };
  AYieldProcessProc = TYieldProcessProc::FromCallable(count);
  auto walked = ListOfSubFolders(top, true);
  AYieldProcessProc.Clear();
  const std::vector<std::u16string> got = Entries(*walked);
  EXPECT_GT(yields, 0);

  const std::vector<std::u16string> expectedSet = {top,
                                                   top + u"/A",
                                                   top + u"/A/A1",
                                                   top + u"/A/A1/A11",
                                                   top + u"/A/A2",
                                                   top + u"/B"};
  EXPECT_EQ(std::set<std::u16string>(got.begin(), got.end()),
            std::set<std::u16string>(expectedSet.begin(), expectedSet.end()));
  ASSERT_EQ(got.size(), expectedSet.size());
  EXPECT_EQ(got[0], top);
  // Pre-order: every folder comes straight after its parent's earlier
  // descendants, and each sub-tree is contiguous.
  for (size_t i = 1; i < got.size(); ++i) {
    const std::u16string parent = got[i].substr(0, got[i].rfind(u'/'));
    const auto parentAt = std::find(got.begin(), got.end(), parent);
    ASSERT_NE(parentAt, got.end());
    for (auto between = parentAt + 1; between != got.begin() + static_cast<long>(i); ++between) {
      EXPECT_EQ(between->rfind(parent + u"/", 0), 0u) << "sub-tree of " << i << " is interrupted";
    }
  }
  // A trailing delimiter on the folder is not doubled.
  auto slashed = ListOfSubFolders(top + u"/", true);
  EXPECT_EQ(slashed->Count(), static_cast<int32_t>(expectedSet.size()));
  EXPECT_EQ((*slashed)[1].find(u"//"), std::u16string::npos);
}

TEST_F(TempFolder, ListOfSubFoldersGoesDeeperThanAPathCanName) {
  constexpr int kLevels = 3000;  // the list holds every full path: 18 MB at this depth
  const fs::path top = FastFolder() / "deep";
  fs::create_directories(top);
  ASSERT_TRUE(test_support::MakeDeepChain(top, kLevels));
  fs::create_directory_symlink(top, top / "d" / "d" / "up");  // a loop, walked once
  const test_support::TDescriptorLimit limit(64);
  const auto list = ListOfSubFolders(test_support::Wide(top), true);
  ASSERT_EQ(list->Count(), kLevels + 1);
  std::u16string deepest = test_support::Wide(top);
  for (int i = 0; i < kLevels; ++i) deepest += u"/d";
  EXPECT_EQ((*list)[kLevels], deepest);
}

TEST(WingenokDrives, DriveLettersNameMountPoints) {
  EXPECT_EQ(DriveRootOfLetter(u'C'), u"/");
  EXPECT_EQ(DriveRootOfLetter(u'c'), u"/");
  EXPECT_EQ(DriveRootOfLetter(u'A'), u"");
  EXPECT_EQ(DriveRootOfLetter(u'1'), u"");
  EXPECT_TRUE(ValidDrive('C'));
  EXPECT_TRUE(ValidDriveW(u'c'));
  EXPECT_NE(DriveBits & (1u << 2), 0u);
  EXPECT_EQ(DriveBits & 3u, 0u);
  EXPECT_FALSE(ValidDrive('A'));
  EXPECT_FALSE(ValidDrive('B'));
  EXPECT_FALSE(ValidDrive('?'));
  EXPECT_FALSE(ValidDriveW(u'\u00C4'));
  // Every further present drive has a mount point that is a folder.
  for (char16_t letter = u'D'; letter <= u'Z'; ++letter) {
    const std::u16string root = DriveRootOfLetter(letter);
    EXPECT_EQ(!root.empty(), (DriveBits & (1u << (letter - u'A'))) != 0) << char(letter);
    if (!root.empty()) {
      EXPECT_TRUE(sIsADirectory(root));
    }
  }
}

TEST(WingenokDrives, FixedDrives) {
  EXPECT_FALSE(Fixed_Drive(u"/proc"));
  EXPECT_FALSE(Fixed_Drive(u"/no/such/place"));
  EXPECT_FALSE(Fixed_Drive(u""));
  if (fs::exists("/dev/shm")) {
    EXPECT_FALSE(Fixed_Drive(u"/dev/shm"));  // memory
  }
}

// ---- questions ----------------------------------------------------------------------

struct Answering {
  TMessageAnswer answer = TMessageAnswer::Yes;
  std::vector<std::u16string> asked;
  std::vector<std::u16string> captions;
  TMessageAnswer Show(const TMessageRequest& request) {
    asked.emplace_back(request.Text);
    captions.emplace_back(request.Caption);
    return answer;
  }
};

TEST_F(TempFolder, LowDiskSpaceAsksOnlyBelowTheMinimum) {
  EXPECT_FALSE(ProceedIfLittleDiskSpace(u"", 0));
  Answering host;
  host.answer = TMessageAnswer::OK;
  AMessageBoxProc = TMessageBoxProc::Bind<&Answering::Show>(&host);
  const std::u16string folder = Wide(fDir);
  EXPECT_TRUE(ProceedIfLittleDiskSpace(folder, 0));
  EXPECT_TRUE(ProceedIfLittleDiskSpace(folder + u"/not/yet/written.txt", 1));
  EXPECT_TRUE(ProceedIfLittleDiskSpace(u"relative/not/there", 1));
  EXPECT_TRUE(host.asked.empty());

  EXPECT_TRUE(ProceedIfLittleDiskSpace(folder, std::numeric_limits<int64_t>::max()));
  ASSERT_EQ(host.asked.size(), 1u);
  EXPECT_EQ(host.captions[0], u"Confirmation");
  EXPECT_EQ(host.asked[0].rfind(u"Only ", 0), 0u);
  const std::u16string tail = u"Mb space left on " + folder + u" -- Proceed?";
  ASSERT_GT(host.asked[0].size(), tail.size());
  EXPECT_EQ(host.asked[0].substr(host.asked[0].size() - tail.size()), tail);

  host.answer = TMessageAnswer::Cancel;
  EXPECT_FALSE(ProceedIfLittleDiskSpace(folder, std::numeric_limits<int64_t>::max()));
  AMessageBoxProc.Clear();
  // Without a host the question is declined.
  EXPECT_FALSE(ProceedIfLittleDiskSpace(folder, std::numeric_limits<int64_t>::max()));
}

TEST_F(TempFolder, OverwriteQuestions) {
  const fs::path file = fDir / "list.txt";
  const std::u16string name = Wide(file);
  Answering host;
  AMessageBoxProc = TMessageBoxProc::Bind<&Answering::Show>(&host);
  EXPECT_TRUE(OKToOverwrite(name));
  EXPECT_TRUE(OKToOverwriteWithBackup(name));
  EXPECT_TRUE(host.asked.empty());

  WriteBytes(file, "current");
  WriteBytes(fDir / "list.bak", "older backup");
  host.answer = TMessageAnswer::No;
  EXPECT_FALSE(OKToOverwrite(name));
  EXPECT_FALSE(OKToOverwriteWithBackup(name));
  EXPECT_EQ(ReadBytes(fDir / "list.bak"), "older backup");
  ASSERT_EQ(host.asked.size(), 2u);
  EXPECT_EQ(host.asked[0], u"Overwrite " + name + u"?");
  EXPECT_EQ(host.asked[1], u"Overwrite " + name + u" (with backup)?");

  host.answer = TMessageAnswer::Yes;
  EXPECT_TRUE(OKToOverwrite(name));
  EXPECT_EQ(ReadBytes(fDir / "list.bak"), "older backup");
  EXPECT_TRUE(OKToOverwriteWithBackup(name));
  EXPECT_EQ(ReadBytes(fDir / "list.bak"), "current");

  // Without a host nothing is overwritten.
  AMessageBoxProc.Clear();
  EXPECT_FALSE(OKToOverwrite(name));
  EXPECT_FALSE(OKToOverwriteWithBackup(name));
}

// A named pipe nobody writes is no file to copy: refused at once, the
// destination untouched.
TEST_F(TempFolder, CopyFileReplacingRefusesAPipeAtOnce) {
  const fs::path pipe = fDir / "pipe";
  const fs::path dest = fDir / "dest.txt";
  ASSERT_TRUE(test_support::MakeNamedPipe(pipe.string()));
  WriteBytes(dest, "old");
  bool copied = true;
  EXPECT_TRUE(test_support::ReturnsWithoutAWriter(pipe.string(),
                                                  [&] { copied = CopyFileReplacing(Wide(pipe), Wide(dest)); }));
  EXPECT_FALSE(copied);
  EXPECT_EQ(ReadBytes(dest), "old");
}

TEST_F(TempFolder, CopyFileReplacingIsAllOrNothing) {
  const fs::path source = fDir / "source.txt";
  const fs::path dest = fDir / "dest.txt";
  std::string big(300000, 'q');
  big[12345] = 'Z';
  WriteBytes(source, big);
  WriteBytes(dest, "old");
  EXPECT_TRUE(CopyFileReplacing(Wide(source), Wide(dest)));
  EXPECT_EQ(ReadBytes(dest), big);

  WriteBytes(dest, "old");
  EXPECT_FALSE(CopyFileReplacing(Wide(fDir / "missing.txt"), Wide(dest)));
  EXPECT_FALSE(CopyFileReplacing(Wide(fDir), Wide(dest)));  // a folder is no file
  EXPECT_FALSE(CopyFileReplacing(Wide(source), Wide(fDir / "no" / "dest.txt")));
  EXPECT_EQ(ReadBytes(dest), "old");
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(fDir)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // no temporary copy left behind

  // A copy killed part-way leaves its temporary file; the next copy clears it.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_DFL);
    struct rlimit limit = {4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    (void)CopyFileReplacing(Wide(source), Wide(dest));
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(std::distance(fs::directory_iterator(fDir), fs::directory_iterator()), 3);
  EXPECT_EQ(ReadBytes(dest), "old");
  EXPECT_TRUE(CopyFileReplacing(Wide(source), Wide(dest)));
  EXPECT_EQ(ReadBytes(dest), big);
  EXPECT_EQ(std::distance(fs::directory_iterator(fDir), fs::directory_iterator()), 2);

  EXPECT_EQ(ChangeFileExtension(u"/a.b/c", u".bak"), u"/a.b/c.bak");
  EXPECT_EQ(ChangeFileExtension(u"/a/c.txt", u".bak"), u"/a/c.bak");
  EXPECT_EQ(ChangeFileExtension(u"c.tar.gz", u""), u"c.tar");
}

TEST(WingenokErrors, LastErrorText) {
  errno = ENOENT;
  EXPECT_EQ(GetLastErrorString(), u"No such file or directory");
  errno = 99999;
  EXPECT_LE(GetLastErrorString().size(), 255u);
  EXPECT_FALSE(GetLastErrorString().empty());
}

TEST_F(TempFolder, LanguageStringListsSaveAsUtf16) {
  TLanguageStringlist list(0x0407);
  EXPECT_EQ(list.Language, 0x0407u);
  EXPECT_TRUE(list.SaveUnicode);
  list.Add(u"Stra\u00DFe");
  list.SaveToFile(Wide(fDir / "list.txt"));
  EXPECT_EQ(ReadBytes(fDir / "list.txt"), std::string("\xFF\xFES\0t\0r\0a\0\xDF\0e\0\r\0\n\0", 18));
  list.SaveUnicode = false;
  list.SetEncoding(platform::kEncodingUTF8);
  list.SetWriteBOM(false);
  list.SaveToFile(Wide(fDir / "list8.txt"));
  EXPECT_EQ(ReadBytes(fDir / "list8.txt"), "Stra\xC3\x9F" "e\r\n");
}

}  // namespace
}  // namespace qn
