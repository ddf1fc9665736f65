// Advice to the kernel about large blocks of memory.
#pragma once

#include <cstddef>

#include "platform/Export.h"

namespace qn::platform {

// Asks the kernel to back the whole 2 MiB pages inside [data, data + bytes)
// with huge pages. A fresh block of 100 MB otherwise costs some 25,000 page
// faults as it is first written, often more time than the work that writes
// it. Only advice: a block under two huge pages, or a kernel that declines,
// changes nothing.
QN_API void AdviseHugePages(void* data, size_t bytes) noexcept;

}  // namespace qn::platform
