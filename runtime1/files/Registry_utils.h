// The signed-in user: the name the suite shows and stores with its settings,
// and the initials it proposes for notes and file names.
//
// The user is the one the process runs as (the effective user's entry in the
// password database); no environment variable is consulted.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn {

// The login name of the signed-in user. Raises qn::Exception carrying the
// system's error code and its text when the system cannot give it.
QN_API std::u16string Registry_Current_User();

// Up to two initials: walking the user name from its start, each upper-case
// letter is taken while fewer than two are held ("john Smith Doe" gives "SD";
// a name without capitals gives "").
QN_API std::u16string Registry_Current_User_Initials();

// The initials rule on any name.
QN_API std::u16string InitialsOfName(std::u16string_view name);

}  // namespace qn
