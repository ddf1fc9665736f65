#include "runtime1/files/Registry_utils.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

#include "platform/CodePages.h"

namespace qn {
namespace {

TEST(RegistryUtils, TheUserIsTheOneTheProcessRunsAs) {
  const passwd* entry = ::getpwuid(::geteuid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(Registry_Current_User(), platform::DecodedUTF8(entry->pw_name));
  EXPECT_EQ(Registry_Current_User_Initials(), InitialsOfName(Registry_Current_User()));
}

TEST(RegistryUtils, InitialsAreTheFirstTwoCapitals) {
  struct Case {
    std::u16string_view name;
    std::u16string_view initials;
  };
  const Case cases[] = {
      {u"john Smith Doe", u"SD"},
      {u"john", u""},
      {u"", u""},
      {u"Mary", u"M"},
      {u"AnnaBethCarla", u"AB"},
      {u"\u00C9mile Zola", u"\u00C9Z"},           // accented capitals count
      {u"\u0416\u0430\u043D\u043D\u0430 \u0418", u"\u0416\u0418"},  // Cyrillic
      {u"42 O'Brien", u"OB"},
      {u"\u4E2D\u6587", u""},                     // no case at all
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InitialsOfName(c.name), c.initials);
  }
}

}  // namespace
}  // namespace qn
