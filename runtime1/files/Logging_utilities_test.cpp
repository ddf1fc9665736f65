#include "runtime1/files/Logging_utilities.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/CodePages.h"
#include "platform/DateTime.h"
#include "platform/testing/TestFiles.h"
#include "runtime1/definitions/My_types_mini.h"

namespace qn {
namespace {

namespace fs = std::filesystem;

// The log bytes of a text: UTF-16 little-endian.
std::string LE(std::u16string_view text) {
  std::string bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

const std::string kMark("\xFF\xFE", 2);

using test_support::ReadBytes;
using test_support::Wide;
using test_support::WriteBytes;

class LogTest : public test_support::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    fLog = fDir / "tool.log";
    fSavedTool = current_tool_var;
    current_tool_var = tt_tallier;
    SetLogFilename(Wide(fLog));
    keeping_log = true;
  }
  void TearDown() override {
    keeping_log = false;
    SetLogFilename(u"");
    current_tool_var = fSavedTool;
    TTempFolderTest::TearDown();
  }

  fs::path fLog;
  tool_type fSavedTool = tt_hub;
};

TEST_F(LogTest, NothingIsWrittenWhileLoggingIsOffOrWithoutAName) {
  keeping_log = false;
  AddToLogFile(u"hidden");
  StartNewLogSection();
  EXPECT_FALSE(fs::exists(fLog));

  keeping_log = true;
  SetLogFilename(u"");
  AddToLogFile(u"nowhere");
  EXPECT_FALSE(fs::exists(fLog));
  EXPECT_TRUE(keeping_log);
}

TEST_F(LogTest, ANewFileBeginsWithTheMarkThenTagAndText) {
  AddToLogFile(u"first entry");
  EXPECT_EQ(ReadBytes(fLog), kMark + LE(u"(TAL): first entry\r\n"));
}

TEST_F(LogTest, EntriesAreAppendedWithoutASecondMark) {
  AddToLogFile(u"one");
  AddToLogFile(u"two, no line end", false);
  current_tool_var = tt_kwicker;
  AddToLogFile(u"\u00E9t\u00E9 \u4E2D");
  EXPECT_EQ(ReadBytes(fLog),
            kMark + LE(u"(TAL): one\r\n(TAL): two, no line end(KCR): \u00E9t\u00E9 \u4E2D\r\n"));
}

TEST_F(LogTest, AnExistingFileIsAppendedToAsItIs) {
  // No mark is added to, or required of, a file that already has text.
  WriteBytes(fLog, LE(u"old\r\n"));
  AddToLogFile(u"new");
  EXPECT_EQ(ReadBytes(fLog), LE(u"old\r\n(TAL): new\r\n"));
}

// A tail that does not end a line was left by a writer that died part-way
// (or left a line open and ended): the next entry starts on its own line,
// and what was there stays.
TEST_F(LogTest, AnUnfinishedLineIsClosedBeforeTheNextEntry) {
  WriteBytes(fLog, LE(u"old"));
  AddToLogFile(u"new");
  EXPECT_EQ(ReadBytes(fLog), LE(u"old\r\n(TAL): new\r\n"));

  WriteBytes(fLog, kMark + LE(u"half\r"));
  AddToLogFile(u"next");
  EXPECT_EQ(ReadBytes(fLog), kMark + LE(u"half\r\n(TAL): next\r\n"));

  // A file holding just the mark, or a line end of LF alone, needs nothing.
  WriteBytes(fLog, kMark);
  AddToLogFile(u"a");
  WriteBytes(fLog, ReadBytes(fLog) + LE(u"unix\n"));
  AddToLogFile(u"b");
  EXPECT_EQ(ReadBytes(fLog), kMark + LE(u"(TAL): a\r\nunix\n(TAL): b\r\n"));

  // This process's own open line stays open for its next entry, but not once
  // someone else has written to the file.
  AddToLogFile(u"open ", false);
  AddToLogFile(u"glued");
  AddToLogFile(u"open again", false);
  WriteBytes(fLog, ReadBytes(fLog) + LE(u"!"));
  AddToLogFile(u"own line");
  EXPECT_EQ(ReadBytes(fLog), kMark + LE(u"(TAL): a\r\nunix\n(TAL): b\r\n(TAL): open (TAL): glued\r\n"
                                        u"(TAL): open again!\r\n(TAL): own line\r\n"));
}

// A process killed in the middle of a long entry (a file-size limit with the
// default signal) leaves it torn, half a code unit included.
TEST_F(LogTest, AnEntryTornByADyingWriterIsClosedAndTheNextStartsAfresh) {
  AddToLogFile(u"earlier");
  const std::string before = ReadBytes(fLog);
  const std::u16string longText(50000, u'L');
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_DFL);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = before.size() + 1001;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    AddToLogFile(longText);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(ReadBytes(fLog).size(), before.size() + 1001);  // torn, mid-unit

  AddToLogFile(u"after");
  const std::u16string torn = (u"(TAL): " + longText).substr(0, 500);
  EXPECT_EQ(ReadBytes(fLog), before + LE(torn) + LE(u"\r\n(TAL): after\r\n"));
  EXPECT_TRUE(keeping_log);
}

TEST_F(LogTest, AnEmptyExistingFileGetsTheMark) {
  WriteBytes(fLog, "");
  AddToLogFile(u"x");
  EXPECT_EQ(ReadBytes(fLog), kMark + LE(u"(TAL): x\r\n"));
}

TEST_F(LogTest, AnOddTrailingByteIsReplacedSoTextStaysAligned) {
  WriteBytes(fLog, kMark + LE(u"ab\r\n") + "Z");
  AddToLogFile(u"c");
  EXPECT_EQ(ReadBytes(fLog), kMark + LE(u"ab\r\n(TAL): c\r\n"));
}

TEST_F(LogTest, ATaglessToolWritesQuestionMarksDirectlyBeforeTheText) {
  current_tool_var = tt_no_tool_at_all;
  AddToLogFile(u"entry");
  EXPECT_EQ(ReadBytes(fLog), kMark + LE(u"(?\?)entry\r\n"));
}

TEST(LogTags, EveryToolHasItsTag) {
  const std::u16string_view expected[kToolTypeCount] = {
      u"(TAL): ", u"(KCR): ", u"(SAL): ", u"(GLS): ", u"(QN7): ", u"(?\?)",    u"(RCD): ", u"(QCG): ",
      u"(?\?)",    u"(LCP): ", u"(?\?)",    u"(PPG): ", u"(?\?)",    u"(GCN): ", u"(NTW): ", u"(DTK): ",
      u"(PLG): ", u"(PPK): ", u"(CLA): ", u"(?\?)",    u"(LXS): ", u"(?\?)"};
  for (int tool = 0; tool < kToolTypeCount; ++tool) {
    EXPECT_EQ(LogTagOfTool(static_cast<tool_type>(tool)), expected[tool]) << "tool " << tool;
  }
}

TEST_F(LogTest, AFileThatCannotBeOpenedSwitchesLoggingOffForGood) {
  const fs::path missingFolder = fDir / "missing" / "tool.log";
  SetLogFilename(Wide(missingFolder));
  AddToLogFile(u"lost");
  EXPECT_FALSE(keeping_log);
  EXPECT_FALSE(fs::exists(missingFolder));

  // The folder appears, but entries stay dropped until logging is switched on.
  fs::create_directories(missingFolder.parent_path());
  AddToLogFile(u"still lost");
  EXPECT_FALSE(fs::exists(missingFolder));

  keeping_log = true;
  AddToLogFile(u"back");
  EXPECT_EQ(ReadBytes(missingFolder), kMark + LE(u"(TAL): back\r\n"));
}

TEST_F(LogTest, AFolderInPlaceOfTheFileSwitchesLoggingOff) {
  fs::create_directories(fLog);
  AddToLogFile(u"x");
  EXPECT_FALSE(keeping_log);
  EXPECT_TRUE(fs::is_directory(fLog));
}

// A write that fails part way (here: the file size limit is reached) must
// leave the file exactly as it was.
using FileSizeLimit = test_support::TFileSizeLimit;

TEST_F(LogTest, AFailedWriteLeavesTheFileAsItWasAndSwitchesLoggingOff) {
  AddToLogFile(u"kept");
  const std::string before = ReadBytes(fLog);
  {
    const FileSizeLimit limit(before.size() + 6);
    AddToLogFile(u"this entry is far longer than the six bytes still allowed");
  }
  EXPECT_FALSE(keeping_log);
  EXPECT_EQ(ReadBytes(fLog), before);
}

TEST_F(LogTest, AFailedWriteOverAnOddByteRestoresIt) {
  const std::string before = kMark + LE(u"ab") + "Z";
  WriteBytes(fLog, before);
  {
    const FileSizeLimit limit(before.size() + 4);
    AddToLogFile(u"longer than four bytes");
  }
  EXPECT_FALSE(keeping_log);
  EXPECT_EQ(ReadBytes(fLog), before);
}

TEST_F(LogTest, AFailedFirstWriteLeavesNoFile) {
  {
    const FileSizeLimit limit(3);
    AddToLogFile(u"too long for three bytes");
  }
  EXPECT_FALSE(keeping_log);
  EXPECT_FALSE(fs::exists(fLog));
}

// The section's second line carries the time of writing in the user's
// formats; it must be one of the two times read around the call.
void ExpectSectionAt(const std::string& bytes, const std::string& prefix, platform::TDateTime before,
                     platform::TDateTime after) {
  const std::string head = prefix + LE(u"(TAL): **********\r\n(TAL): LOG STARTED at ");
  ASSERT_GE(bytes.size(), head.size());
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  const std::string rest = bytes.substr(head.size());
  const bool matches = rest == LE(platform::DateTimeToStr(before) + u"\r\n") ||
                       rest == LE(platform::DateTimeToStr(after) + u"\r\n");
  EXPECT_TRUE(matches);
}

TEST_F(LogTest, ANewSectionIsAsterisksThenTheStartTime) {
  const platform::TDateTime before = platform::Now();
  StartNewLogSection();
  const platform::TDateTime after = platform::Now();
  ExpectSectionAt(ReadBytes(fLog), kMark, before, after);
}

TEST_F(LogTest, ClearingAMissingFileDoesNothing) {
  ClearLogFile();
  EXPECT_FALSE(fs::exists(fLog));
}

TEST_F(LogTest, ClearingAnExistingFileLeavesOneSectionStart) {
  AddToLogFile(u"old entry one");
  AddToLogFile(u"old entry two");
  const platform::TDateTime before = platform::Now();
  ClearLogFile();
  const platform::TDateTime after = platform::Now();
  ExpectSectionAt(ReadBytes(fLog), kMark, before, after);
}

TEST_F(LogTest, ClearingWithLoggingOffDeletesTheFile) {
  AddToLogFile(u"old");
  keeping_log = false;
  ClearLogFile();
  EXPECT_FALSE(fs::exists(fLog));
}

TEST_F(LogTest, TheFileNameIsKeptAsGiven) {
  SetLogFilename(u"/some/where/\u00E9.log");
  EXPECT_EQ(GetLogFilename(), u"/some/where/\u00E9.log");
}

// The runtime package writes its leaving entries when it is unloaded with
// logging on: "quit wingenok, " without a line end, then "quit myKpSmall".
// The package is loaded in a child process that then ends normally, which
// unloads it whether or not the loader would let dlclose do so.
TEST_F(LogTest, UnloadingThePackageWritesItsLeavingEntries) {
  const fs::path packLog = fDir / "pack.log";
  keeping_log = false;  // this program's own log stays quiet in the child
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    void* pack = ::dlopen(QN_PACK1_SO, RTLD_NOW | RTLD_LOCAL);
    auto* packKeepingLog = pack ? static_cast<bool*>(::dlsym(pack, "_ZN2qn11keeping_logE")) : nullptr;
    auto* packSetLogFilename = pack ? reinterpret_cast<void (*)(std::u16string_view)>(::dlsym(
                                          pack, "_ZN2qn14SetLogFilenameESt17basic_string_viewIDsSt11char_traitsIDsEE"))
                                    : nullptr;
    // The package's own state, not this program's.
    if (packKeepingLog == nullptr || packSetLogFilename == nullptr || packKeepingLog == &keeping_log) ::_exit(2);
    packSetLogFilename(Wide(packLog));
    *packKeepingLog = true;
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  // Other modules of the package may write leaving entries of their own.
  const std::string bytes = ReadBytes(packLog);
  EXPECT_EQ(bytes.substr(0, 2), kMark);
  const size_t wingenok = bytes.find(LE(u"(QN7): quit wingenok, (QN7): "));
  const size_t mykpsmall = bytes.find(LE(u"(QN7): quit myKpSmall\r\n"));
  ASSERT_NE(wingenok, std::string::npos);
  ASSERT_NE(mykpsmall, std::string::npos);
  EXPECT_LT(wingenok, mykpsmall);
  EXPECT_EQ((bytes.size() - wingenok) % 2, 0u);
}

}  // namespace
}  // namespace qn
