#include "runtime1/definitions/My_lang_rec_holder.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

TEST(My_lang_rec_holder, SettersChangeOneFieldAndKeepTheTerminator) {
  fixed_lang_details_rec32 rec;
  rec.lcid = 0x0409;
  SetFixedWideText(rec.nome, u"English");
  TQNDefinedLanguageHolder holder(rec, 18);
  EXPECT_EQ(holder.VersionNumber(), 18);

  EXPECT_TRUE(holder.SetAllowables(u"'-\u2019abcdefghij"));  // 13 characters
  EXPECT_EQ(FixedWideText(holder.Record().allowable_middle_letters), u"'-\u2019abcdefg");
  EXPECT_EQ(holder.Record().allowable_middle_letters[10], u'\0');
  EXPECT_TRUE(holder.SetAllowables(u"'"));
  EXPECT_EQ(FixedWideText(holder.Record().allowable_middle_letters), u"'");

  EXPECT_TRUE(holder.SetWinFontName(std::u16string(150, u'W')));
  EXPECT_EQ(FixedWideText(holder.Record().new_win_font.fontname), std::u16string(100, u'W'));
  EXPECT_EQ(holder.Record().new_win_font.fontname[100], u'\0');
  EXPECT_TRUE(holder.SetWinFontSize(14));
  EXPECT_TRUE(holder.SetCustomLanguage(true));
  EXPECT_TRUE(holder.SetPreference(lang_rank_2));
  EXPECT_TRUE(holder.SetHyphenBreaks(true));

  fixed_lang_details_rec32 expected = rec;
  SetFixedWideText(expected.allowable_middle_letters, u"'");
  SetFixedWideText(expected.new_win_font.fontname, std::u16string(100, u'W'));
  expected.new_win_font.fontsize = 14;
  expected.custom_language = true;
  expected.preference = lang_rank_2;
  expected.hyphen_breaks_word = true;
  EXPECT_EQ(holder.Record(), expected);
}

// Counts destructions, to see who releases the attached objects.
class Counted : public TMyLangRecHolder {
 public:
  Counted(const TMyLangRec& rec, int& destroyed) : TMyLangRecHolder(rec), fDestroyed(destroyed) {}
  ~Counted() override { ++fDestroyed; }

 private:
  int& fDestroyed;
};

TEST(My_lang_rec_holder, NameListOwnsItsObjectsAndKeepsItsOrder) {
  int destroyed = 0;
  {
    TListOfAllNamesStringlist names;
    EXPECT_TRUE(names.OwnsObjects());
    EXPECT_FALSE(names.Sorted());
    names.AddObject(u"Portuguese", new Counted({u"Portuguese", 0x0816, true}, destroyed));
    names.AddObject(u"English", new Counted({u"English", 0x0809, false}, destroyed));
    EXPECT_EQ(names[0], u"Portuguese");
    const auto* held = dynamic_cast<TMyLangRecHolder*>(names.GetObject(1));
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->rec, (TMyLangRec{u"English", 0x0809, false}));
    names.Delete(0);
    EXPECT_EQ(destroyed, 1);
  }
  EXPECT_EQ(destroyed, 2);
}

}  // namespace
}  // namespace qn
