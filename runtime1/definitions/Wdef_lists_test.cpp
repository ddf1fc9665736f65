#include "runtime1/definitions/Wdef_lists.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Streams.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Contents(platform::TMemoryStream& s) { return Bytes(s.Bytes().begin(), s.Bytes().end()); }

class BytesStream : public platform::TMemoryStream {
 public:
  explicit BytesStream(const std::vector<uint8_t>& b) {
    WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
    SetPosition(0);
  }
};

void Append32(Bytes& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

// A folder of its own under the system's temporary folder, removed afterwards.
struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    char pattern[] = "/tmp/qn_wdef_lists_XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path, ec);
  }
  std::u16string File(const char* name) const {
    const std::string s = (path / name).string();
    return std::u16string(s.begin(), s.end());
  }
};

// ---------------------------------------------------------------------------
// Sections
// ---------------------------------------------------------------------------

TSectionStartsList& ThreeSections(TSectionStartsList& list) {
  list.AddOne({0, u"intro"});
  list.AddOne({100, u"body"});
  list.AddOne({250, u""});
  return list;
}

TEST(SectionStartsList, StreamImage) {
  TSectionStartsList list;
  ThreeSections(list);
  platform::TMemoryStream s;
  ASSERT_TRUE(list.SaveToStream(s));
  Bytes expected;
  Append32(expected, 3);
  Append32(expected, 0);
  Append32(expected, 5);
  for (char16_t c : std::u16string(u"intro")) expected.insert(expected.end(), {static_cast<uint8_t>(c), 0});
  Append32(expected, 100);
  Append32(expected, 4);
  for (char16_t c : std::u16string(u"body")) expected.insert(expected.end(), {static_cast<uint8_t>(c), 0});
  Append32(expected, 250);
  Append32(expected, 0);
  EXPECT_EQ(Contents(s), expected);
  EXPECT_EQ(expected.size(), 4u + 3 * 8 + 2 * (5 + 4));

  s.SetPosition(0);
  TSectionStartsList back;
  back.AddOne({-7, u"kept"});  // reading appends
  ASSERT_TRUE(back.ReadFromStream(s));
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.GetASection(0), (TSectionTagRec{-7, u"kept"}));
  EXPECT_EQ(back.GetASection(2), (TSectionTagRec{100, u"body"}));
  EXPECT_EQ(back.GetASection(4), (TSectionTagRec{-1, u""}));
  EXPECT_EQ(back.GetASection(-1), (TSectionTagRec{-1, u""}));
}

TEST(SectionStartsList, CountsAreNotTrusted) {
  for (int32_t count : {-1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 2}) {
    Bytes b;
    Append32(b, count);
    Append32(b, 10);  // one section's start and an empty name: room for one only
    Append32(b, 0);
    BytesStream s(b);
    TSectionStartsList list;
    EXPECT_FALSE(list.ReadFromStream(s)) << count;
    EXPECT_EQ(list.Count(), 0) << count;
  }
  // A count that fits, with the second section cut short: the first stays.
  Bytes b;
  Append32(b, 2);
  Append32(b, 10);
  Append32(b, 0);
  Append32(b, 20);
  Append32(b, 3);  // a name of 3 units, of which 1 is there
  b.insert(b.end(), {'a', 0});
  BytesStream s(b);
  TSectionStartsList list;
  EXPECT_FALSE(list.ReadFromStream(s));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetASection(0), (TSectionTagRec{10, u""}));
}

TEST(SectionStartsList, SectionFromBytePosition) {
  TSectionStartsList list;
  ThreeSections(list);
  int32_t index = -5;
  EXPECT_EQ(list.SectionFromBytePosition(0, 150, index), u"body");
  EXPECT_EQ(index, 1);
  EXPECT_EQ(list.SectionFromBytePosition(0, 100, index), u"body");
  EXPECT_EQ(list.SectionFromBytePosition(0, 99, index), u"intro");
  EXPECT_EQ(index, 0);
  EXPECT_EQ(list.SectionFromBytePosition(-3, 5000, index), u"");  // the last section's name is empty
  EXPECT_EQ(index, 2);
  EXPECT_EQ(list.SectionFromBytePosition(2, 150, index), u"");  // none from index 2 starts that early
  EXPECT_EQ(index, 0);
  EXPECT_EQ(list.SectionFromBytePosition(7, 150, index), u"");
  EXPECT_EQ(index, 0);
}

TEST(SectionStartsList, Files) {
  TempFolder folder;
  const std::u16string name = folder.File("sections.dat");
  TSectionStartsList list;
  ThreeSections(list);
  ASSERT_TRUE(list.SaveToFile(name));
  const Bytes saved = platform::ReadWholeFile(name);
  ASSERT_EQ(saved.size(), 57u + 4 + 3 * 8 + 2 * 9);
  TCheckSignature header =
      TCheckSignature::FromBytes(std::span<const uint8_t, TCheckSignature::kStoredSize>(saved.data(), 57));
  EXPECT_EQ(header.signature, CurrentSignature[current_tool_var]);
  EXPECT_EQ(header.type_of_data.Text(), "Section List32");
  EXPECT_EQ(header.screen_res, 0);

  TSectionStartsList back;
  ASSERT_TRUE(back.ReadFromFile(name));
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.GetASection(1), (TSectionTagRec{100, u"body"}));

  // Another list type's header is refused.
  Bytes other = saved;
  other[17] = 'X';
  platform::WriteFileSafely(name, other);
  TSectionStartsList refused;
  EXPECT_FALSE(refused.ReadFromFile(name));
  EXPECT_FALSE(refused.ReadFromFile(folder.File("missing.dat")));

  // A save that cannot be made keeps the old file: here the header cannot be
  // written for a running tool outside the enumeration.
  platform::WriteFileSafely(name, saved);
  {
    const tool_type running = current_tool_var;
    current_tool_var = static_cast<tool_type>(200);
    TSectionStartsList changed;
    changed.AddOne({1, u"new"});
    EXPECT_FALSE(changed.SaveToFile(name));
    current_tool_var = running;
    EXPECT_EQ(platform::ReadWholeFile(name), saved);
  }
  // And when the folder refuses new files (not for a privileged process).
  if (geteuid() != 0) {
    std::filesystem::permissions(folder.path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    TSectionStartsList changed;
    changed.AddOne({1, u"new"});
    EXPECT_FALSE(changed.SaveToFile(name));
    std::filesystem::permissions(folder.path, std::filesystem::perms::owner_all);
    EXPECT_EQ(platform::ReadWholeFile(name), saved);
  }
}

// ---------------------------------------------------------------------------
// Font switches
// ---------------------------------------------------------------------------

TExtraFontRec FontSwitch(int32_t on, int32_t off, uint8_t faces = 0) {
  TExtraFontRec rec;
  rec.basics.switch_on_at_char = on;
  rec.basics.switch_off_at_char = off;
  rec.default_typeface = TTypefaceSet::FromBits(faces);
  return rec;
}

TEST(ExtraFontRecords, GoldenImage) {
  TExtraFontRec rec;
  rec.basics.switch_on_at_char = 10;
  rec.basics.switch_off_at_char = -1;
  rec.basics.colour_rec = {1, 2, 3, 4};
  rec.basics.spare_typefaces = TTypefaceSet{tf_italics};
  rec.basics.padding = {5, 6, 7};
  rec.Colouring_word_instead_of_tag = true;
  rec.applies_to = efc_sort2;
  rec.default_typeface = TTypefaceSet{tf_bold};
  rec.highlight_typeface = TTypefaceSet{tf_underline, tf_strikeout};
  rec.spare_determined = {8, 9, 10};
  rec.spareInts[8] = -2;
  Bytes img;
  Append32(img, 10);
  Append32(img, -1);
  for (int32_t c : {1, 2, 3, 4}) Append32(img, c);
  img.insert(img.end(), {0x02, 5, 6, 7, 1, 0, efc_sort2, 0x01, 0x0C, 8, 9, 10});
  for (int i = 0; i < 8; ++i) Append32(img, 0);
  Append32(img, -2);
  ASSERT_EQ(img.size(), 72u);
  std::array<uint8_t, 72> out;
  rec.ToBytes(out);
  EXPECT_EQ(Bytes(out.begin(), out.end()), img);
  EXPECT_EQ(TExtraFontRec::FromBytes(out), rec);
}

TEST(ExtraFontRecords, StoredValuesBeyondTheRowsAreClamped) {
  TExtraFontRec rec;
  rec.applies_to = static_cast<TExtraFontCategory>(200);
  EXPECT_EQ(ExtraFontCategoryOf(rec), efc_unknown);
  rec.applies_to = efc_centre_word;
  EXPECT_EQ(ExtraFontCategoryOf(rec), efc_centre_word);
  rec.default_typeface = TTypefaceSet::FromBits(0xF0);  // no real typeface
  EXPECT_FALSE(SetsATypeface(rec));
  EXPECT_EQ(KnownTypefaces(TTypefaceSet::FromBits(0xF3)).Bits(), 0x03);
}

TEST(ExtraFontList, EditingAndSearching) {
  TExtraFontList list;
  list.AddOne(FontSwitch(50, 60));
  list.AddOne(FontSwitch(10, -1));
  list.AddOne(FontSwitch(30, 40));
  list.AddOne(FontSwitch(10, 20));
  EXPECT_FALSE(list.insert_space_between_words);
  EXPECT_EQ(list.IndexOfStart(10), 1);
  EXPECT_EQ(list.IndexOfStart(30), 2);  // unsorted: the whole list is searched
  EXPECT_EQ(list.IndexOfStart(11), -1);
  EXPECT_EQ(list.IndexOfStartAndEnd(25, 45), 2);
  EXPECT_EQ(list.IndexOfStartAndEnd(5, 15), 1);   // no end counts as inside
  EXPECT_EQ(list.IndexOfStartAndEnd(55, 59), -1);  // ends after the range

  list.SortOnStartpoints();
  ASSERT_EQ(list.Count(), 4);
  for (int32_t i = 1; i < list.Count(); ++i) {
    EXPECT_LE(list.GetAFontFrec(i - 1).basics.switch_on_at_char, list.GetAFontFrec(i).basics.switch_on_at_char);
  }
  EXPECT_TRUE(list.SortedOnStartpoints());
  EXPECT_EQ(list.IndexOfStart(50), 3);
  EXPECT_EQ(list.GetAFontFrec(list.IndexOfStart(10)).basics.switch_on_at_char, 10);

  // Setting a record out of order clears the sorted state, so it is still found.
  list.SetAFontFrec(0, FontSwitch(99, 100, 0x01));
  EXPECT_FALSE(list.SortedOnStartpoints());
  EXPECT_EQ(list.IndexOfStart(99), 0);
  EXPECT_TRUE(list.insert_space_between_words);

  list.SetAFontFrec(9, FontSwitch(1, 2));  // ignored
  list.Delete(-1);                         // ignored
  list.Delete(0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.GetAFontFrec(7), TExtraFontRec{});
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(ExtraFontList, SavedWithVersion3AndReadBack) {
  TExtraFontList list;
  TExtraFontRec a = FontSwitch(1, 5);
  a.highlight_typeface = TTypefaceSet{tf_italics};
  a.basics.spare_typefaces = TTypefaceSet{tf_bold};
  list.AddOne(a);
  list.AddOne(FontSwitch(7, 9));
  ASSERT_EQ(list.fEFVersion, 0);
  platform::TMemoryStream s;
  ASSERT_TRUE(list.XSaveToStream(s, 20));
  EXPECT_EQ(list.fEFVersion, 3);
  ASSERT_EQ(s.Size(), 8 + 2 * 72);
  EXPECT_EQ(platform::GetLE<int32_t>(s.Memory() + 4), 3);

  s.SetPosition(0);
  TExtraFontList back;
  ASSERT_TRUE(back.XReadFromStream(s, 20));
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.GetAFontFrec(0), a);  // version 3: the typefaces are the record's own
  EXPECT_EQ(back.GetAFontFrec(1), FontSwitch(7, 9));
  EXPECT_TRUE(back.insert_space_between_words);
  EXPECT_EQ(back.fEFVersion, 3);
}

TEST(ExtraFontList, OlderForms) {
  // Work bases before version 20: no version in the stream, 28-byte records,
  // both typefaces taken from the spare byte.
  Bytes b;
  Append32(b, 1);
  TExtraFontRecOld old;
  old.switch_on_at_char = 4;
  old.switch_off_at_char = 8;
  old.spare_typefaces = TTypefaceSet{tf_underline};
  std::array<uint8_t, 28> image;
  old.ToBytes(image);
  b.insert(b.end(), image.begin(), image.end());
  BytesStream s(b);
  TExtraFontList list;
  ASSERT_TRUE(list.XReadFromStream(s, 19));
  ASSERT_EQ(list.Count(), 1);
  const TExtraFontRec rec = list.GetAFontFrec(0);
  EXPECT_EQ(rec.basics, old);
  EXPECT_EQ(rec.default_typeface, TTypefaceSet{tf_underline});
  EXPECT_EQ(rec.highlight_typeface, TTypefaceSet{tf_underline});
  EXPECT_EQ(rec.spareInts, (std::array<int32_t, 9>{}));
  EXPECT_TRUE(list.insert_space_between_words);
  EXPECT_EQ(list.fEFVersion, 0);

  // Version 20, a negative count (its absolute value) and records of version 2.
  Bytes c;
  Append32(c, -1);
  Append32(c, 2);
  TExtraFontRec full = FontSwitch(3, 6);
  full.basics.spare_typefaces = TTypefaceSet{tf_bold};
  full.highlight_typeface = TTypefaceSet{tf_italics};  // replaced by the spare byte
  std::array<uint8_t, 72> fullImage;
  full.ToBytes(fullImage);
  c.insert(c.end(), fullImage.begin(), fullImage.end());
  BytesStream s2(c);
  TExtraFontList list2;
  ASSERT_TRUE(list2.XReadFromStream(s2, 20));
  ASSERT_EQ(list2.Count(), 1);
  EXPECT_EQ(list2.GetAFontFrec(0).highlight_typeface, TTypefaceSet{tf_bold});
}

TEST(ExtraFontList, CountsAreNotTrusted) {
  for (int32_t count : {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 2}) {
    Bytes b;
    Append32(b, count);
    Append32(b, 3);
    b.resize(b.size() + 72, 0);  // room for one record
    BytesStream s(b);
    TExtraFontList list;
    EXPECT_FALSE(list.XReadFromStream(s, 20)) << count;
    EXPECT_EQ(list.Count(), 0) << count;
  }
  Bytes cut;
  Append32(cut, 1);
  Append32(cut, 3);
  cut.resize(cut.size() + 71, 0);
  BytesStream s(cut);
  TExtraFontList list;
  EXPECT_FALSE(list.XReadFromStream(s, 20));
  EXPECT_EQ(list.Count(), 0);
}

// ---------------------------------------------------------------------------
// Self-saving string lists
// ---------------------------------------------------------------------------

TEST(StreamableStringlist, ShortStringFormAndCounts) {
  const uint32_t saved = platform::ActiveCodePage();
  platform::SetActiveCodePage(1252);
  Bytes b;
  Append32(b, 2);
  b.insert(b.end(), {3, 'c', 'a', 't', 2, 0xE9, 'a'});
  BytesStream s(b);
  TMyStreamableStringlist list;
  EXPECT_TRUE(list.ReadFromStream(s));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(0), u"cat");
  EXPECT_EQ(list.Get(1), u"\u00E9a");
  platform::SetActiveCodePage(saved);

  for (int32_t count : {std::numeric_limits<int32_t>::min(), -3, 9}) {
    Bytes c;
    Append32(c, count);
    c.resize(c.size() + 8, 0);  // two empty string records, or 8 empty short strings
    BytesStream s2(c);
    EXPECT_FALSE(list.ReadFromStream(s2)) << count;
    EXPECT_EQ(list.Count(), 0) << count;
  }
}

// ---------------------------------------------------------------------------
// Timing
// ---------------------------------------------------------------------------

TEST(Timing, Estimates) {
  const double minute = 1.0 / 1440;
  EXPECT_DOUBLE_EQ(EstimateOfTimeRemainingAfter(10 * minute, 1, 4), 30 * minute);
  EXPECT_EQ(EstimateOfTimeRemainingAfter(10 * minute, 0, 4), 0);  // the first progress call
  EXPECT_EQ(EstimateOfTimeRemainingAfter(10 * minute, -1, 4), 0);
  EXPECT_EQ(EstimateOfTimeRemainingAfter(10 * minute, 3, 0), 0);
  EXPECT_EQ(EstimateOfTimeRemainingAfter(10 * minute, 5, 4), 0);  // done beyond total
  EXPECT_EQ(EstimateOfTimeRemaining(0, 100), 0);
}

TEST(Timing, Messages) {
  const double second = 1.0 / 86400;
  EXPECT_EQ(MessageOfTimeRemaining(90 * 60 * second), u"~ 1h 30m to go");
  EXPECT_EQ(MessageOfTimeRemaining(45 * second), u"~ 45s to go");
  EXPECT_EQ(MessageOfTimeRemaining(5 * 60 * second + 20 * second), u"~ 5m to go");
  EXPECT_EQ(MessageOfTimeRemaining(25 * 3600 * second), u"~ 25h 0m to go");  // no wrap after a day
  EXPECT_EQ(MessageOfTimeRemaining(0), u"~ 0s to go");
  EXPECT_EQ(MessageOfTimeRemaining(-1), u"~ 0s to go");
}

TEST(Timing, ElapsedFromTheGlobalStart) {
  StartTiming();
  const double elapsed = ElapsedTime(false);
  EXPECT_GE(elapsed, 0);
  EXPECT_LT(elapsed, 1.0 / 24);
  Global_StartTime = platform::Now() - 1.0 / 24;  // an hour ago
  const int32_t seconds = SecondsSinceGlobalStartTime();
  EXPECT_GE(seconds, 3599);
  EXPECT_LE(seconds, 3660);
  const double estimate = EstimateOfTimeRemaining(1, 2);  // half done in an hour
  EXPECT_NEAR(estimate * 24, 1.0, 0.02);
  EXPECT_NEAR(ElapsedTime(true) * 24, 1.0, 0.02);
  EXPECT_LT(ElapsedTime(false), 1.0 / 24 / 60);  // restarted
}

}  // namespace
}  // namespace qn
