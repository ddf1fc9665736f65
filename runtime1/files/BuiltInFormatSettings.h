// The format settings of the locale the user's default starts as (en-US),
// worked out with ICU when the libraries are built
// (platform/generate/MakeFormatSettings.cpp) and compiled in, so that loading
// the library does not open ICU's number and date formats to fill
// UserDefaultFormatSettings: that took some 3.5 ms, most of a short run's
// start.
#pragma once

#include <cstdint>

#include "platform/Format.h"

namespace qn {

// Fills settings with the built-in settings and gives true when lcid is the
// locale they were made for and ICU reads its locale data from where it did
// when they were made (a data folder named by ICU_DATA may hold other data);
// else false, settings untouched.
bool BuiltInFormatSettings(uint32_t lcid, platform::TFormatSettings& settings);

}  // namespace qn
