#include "runtime1/definitions/LemmaStopMatchTypes.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

namespace qn {
namespace {

TEST(LemmaStopMatchTypes, FileCaptionsReplaceTheirPlaceholder) {
  const struct {
    TLemmaMatchStopOptions option;
    std::u16string_view name;
    std::u16string_view expected;
  } cases[] = {
      {as_lemma, u"e_lemma.txt", u"lemmas file e_lemma.txt"},
      {as_match, u"m.txt", u"match list file m.txt"},
      {as_stop, u"", u"stop list file "},
      {as_relation, u"%s", u"relation list file %s"},  // the name is not scanned again
  };
  for (const auto& c : cases) EXPECT_EQ(LemmaMatchStopFileTypeStr(c.option, c.name), c.expected);
  EXPECT_EQ(LemmaMatchStopFileTypeStr(static_cast<TLemmaMatchStopOptions>(4), u"x"), u"");
}

TEST(LemmaStopMatchTypes, KindOrdinalsAndNames) {
  EXPECT_EQ(as_lemma, 0);
  EXPECT_EQ(as_match, 1);
  EXPECT_EQ(as_stop, 2);
  EXPECT_EQ(as_relation, 3);
  EXPECT_EQ(LemmaMatchStopnames_of_processes[as_lemma], u"lemmas");
  EXPECT_EQ(LemmaMatchStopnames_of_processes[as_match], u"match list");
  EXPECT_EQ(LemmaMatchStopnames_of_processes[as_stop], u"stop list");
  EXPECT_EQ(LemmaMatchStopnames_of_processes[as_relation], u"relation list");
}

TEST(LemmaStopMatchTypes, RecordLayoutsMatchTheBoundary) {
  // Two and one text pointers, no padding; stop and match entries share one layout.
  EXPECT_EQ(sizeof(TLemmaEntryRec), 2 * sizeof(void*));
  EXPECT_EQ(offsetof(TLemmaEntryRec, variantp), 0u);
  EXPECT_EQ(offsetof(TLemmaEntryRec, headwordp), sizeof(void*));
  EXPECT_EQ(sizeof(TMatchEntryRec), sizeof(void*));
  static_assert(std::is_same_v<PStopEntryRec, PMatchEntryRec>);
  EXPECT_EQ(sizeof(hundredwidechar), 202u);
}

TEST(LemmaStopMatchTypes, HundredWideCharIsCutAndTerminated) {
  hundredwidechar h;
  h.fill(u'x');
  SetHundredWideChar(h, std::u16string(150, u'a'));
  EXPECT_EQ(std::u16string_view(h.data()), std::u16string(100, u'a'));
  SetHundredWideChar(h, u"stop list");
  EXPECT_EQ(std::u16string_view(h.data()), u"stop list");
  EXPECT_EQ(h[100], u'\0');
}

TEST(LemmaStopMatchTypes, CallbacksConvertFromTheCForm) {
  int32_t seen = 0;
  TQNShowSomeProgressProc c{[](void* context, int32_t n) { *static_cast<int32_t*>(context) = n; },
                            &seen};
  TShowSomeProgressProc p = FromC(c);
  ASSERT_TRUE(p.Assigned());
  p(256);
  EXPECT_EQ(seen, 256);
  EXPECT_FALSE(FromC(TQNHandleLemmaProc{nullptr, &seen}).Assigned());
}

}  // namespace
}  // namespace qn
