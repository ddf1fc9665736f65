#include "platform/UserInfo.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

namespace qn::platform {
namespace {

TEST(UserInfo, NameOfTheEffectiveUser) {
  const passwd* entry = getpwuid(geteuid());
  std::u16string name = CurrentUserName();
  if (!entry) {
    EXPECT_EQ(name, u"");
    return;
  }
  std::string expected = entry->pw_name;
  ASSERT_FALSE(name.empty());
  EXPECT_LE(name.size(), 1023u);
  // Login names are ASCII in practice; compare unit by byte then.
  bool ascii = true;
  for (char c : expected) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    EXPECT_EQ(name, std::u16string(expected.begin(), expected.end()));
  }
  EXPECT_EQ(name.find(u'\0'), std::u16string::npos);
}

}  // namespace
}  // namespace qn::platform
