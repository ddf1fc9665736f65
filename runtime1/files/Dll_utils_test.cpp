#include "runtime1/files/Dll_utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace qn {
namespace {

std::u16string Wide(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

TEST(DllUtils, BindsAFunctionOfASystemLibraryAndReleasesIt) {
  Tlibrary_rec rec = FindLibraryFunction(u"libm.so.6", u"cos");
  ASSERT_NE(rec.Hinst, 0u);
  ASSERT_NE(rec.FPointer, nullptr);
  const auto cosine = FunctionOf<double (*)(double)>(rec);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_DOUBLE_EQ(cosine(1.0), std::cos(1.0));
  EXPECT_TRUE(CloseLibraryFunction(rec));
  EXPECT_EQ(rec.Hinst, 0u);
  EXPECT_EQ(rec.FPointer, nullptr);
}

TEST(DllUtils, BindsAnExportOfTheLemmatiserLibrary) {
  Tlibrary_rec rec = FindLibraryFunction(Wide(QN_LEMMATISER_SO), u"LemmaHeadWordsCount");
  ASSERT_NE(rec.Hinst, 0u) << "the built lemmatiser library must load";
  const bool bound = rec.FPointer != nullptr;
  EXPECT_TRUE(CloseLibraryFunction(rec));
  if (!bound) GTEST_SKIP() << "the lemmatiser library does not export its functions yet";
}

TEST(DllUtils, AMissingLibraryGivesARecordOfZeros) {
  for (const std::u16string& name : {std::u16string(u"/nonexistent/libnothing.so"), std::u16string(u"libqn-no-such-library.so"),
                                    std::u16string()}) {
    const Tlibrary_rec rec = FindLibraryFunction(name, u"cos");
    EXPECT_EQ(rec.Hinst, 0u);
    EXPECT_EQ(rec.FPointer, nullptr);
  }
}

TEST(DllUtils, AMissingFunctionLeavesTheLibraryToBeClosed) {
  for (const std::u16string& name : {std::u16string(u"no_such_function_anywhere"), std::u16string(u""),
                                    std::u16string(u"co\u00E9"), std::u16string(u"cos\0x", 5)}) {
    Tlibrary_rec rec = FindLibraryFunction(u"libm.so.6", name);
    EXPECT_NE(rec.Hinst, 0u);
    EXPECT_EQ(rec.FPointer, nullptr);
    EXPECT_TRUE(CloseLibraryFunction(rec));
  }
}

TEST(DllUtils, ClosingTwiceOrClosingAStaleCopyIsRefused) {
  Tlibrary_rec rec = FindLibraryFunction(u"libm.so.6", u"sin");
  ASSERT_NE(rec.Hinst, 0u);
  Tlibrary_rec copy = rec;
  EXPECT_TRUE(CloseLibraryFunction(rec));
  EXPECT_FALSE(CloseLibraryFunction(rec));
  EXPECT_FALSE(CloseLibraryFunction(copy));
  EXPECT_EQ(copy.Hinst, 0u);

  Tlibrary_rec empty;
  EXPECT_FALSE(CloseLibraryFunction(empty));
}

TEST(DllUtils, EachRecordHoldsItsOwnReference) {
  Tlibrary_rec first = FindLibraryFunction(u"libm.so.6", u"cos");
  Tlibrary_rec second = FindLibraryFunction(u"libm.so.6", u"sqrt");
  ASSERT_NE(first.Hinst, 0u);
  ASSERT_NE(second.Hinst, 0u);
  EXPECT_NE(first.Hinst, second.Hinst);
  EXPECT_TRUE(CloseLibraryFunction(first));
  // The library stays loaded for the second record.
  EXPECT_DOUBLE_EQ(FunctionOf<double (*)(double)>(second)(9.0), 3.0);
  EXPECT_TRUE(CloseLibraryFunction(second));
}

}  // namespace
}  // namespace qn
