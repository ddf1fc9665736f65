#include "runtime1/files/Registry_utils.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/CharTypes.h"
#include "platform/Exceptions.h"
#include "platform/UserInfo.h"

namespace qn {

std::u16string Registry_Current_User() {
  errno = 0;
  std::u16string name = platform::CurrentUserName();
  if (!name.empty()) return name;
  // No entry for the user (errno 0) or a failing lookup (errno set).
  const int code = errno;
  std::string message = "The name of the signed-in user cannot be read (error " + std::to_string(code) +
                        ": " + (code != 0 ? std::strerror(code) : "no such user") + ")";
  throw Exception(message);
}

std::u16string InitialsOfName(std::u16string_view name) {
  std::u16string initials;
  for (const char16_t unit : name) {
    if (initials.size() >= 2) break;
    if (platform::IsUpperChar(unit)) initials.push_back(unit);
  }
  return initials;
}

std::u16string Registry_Current_User_Initials() { return InitialsOfName(Registry_Current_User()); }

}  // namespace qn
