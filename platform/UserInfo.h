// The signed-in user.
#pragma once

#include <string>

#include "platform/Export.h"

namespace qn::platform {

// The login name of the user the process runs as (from the password
// database, for the effective user id), decoded from UTF-8; "" when the
// system has no entry for the user. At most 1,023 code units, as the
// suite's name buffers hold.
QN_API std::u16string CurrentUserName();

}  // namespace qn::platform
