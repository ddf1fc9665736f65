#include "platform/UserInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include <unicode/ustring.h>

namespace qn::platform {

std::u16string CurrentUserName() {
  long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 4096);
  passwd entry{};
  passwd* found = nullptr;
  for (;;) {
    int rc = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0 || !found || !found->pw_name) return {};
    break;
  }
  const char* name = found->pw_name;
  int32_t length = int32_t(strnlen(name, 4096));
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = 0;
  u_strFromUTF8WithSub(nullptr, 0, &needed, name, length, 0xFFFD, nullptr, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  std::u16string result(size_t(needed), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(result.data()), needed, &needed, name, length, 0xFFFD,
                       nullptr, &status);
  if (U_FAILURE(status)) return {};
  // The suite's name buffers hold 1,023 code units; never cut a pair in two.
  if (result.size() > 1023) {
    result.resize(1023);
    if (result.back() >= 0xD800 && result.back() <= 0xDBFF) result.pop_back();
  }
  return result;
}

}  // namespace qn::platform
