#include "platform/Memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace qn::platform {

void AdviseHugePages(void* data, size_t bytes) noexcept {
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (data == nullptr || bytes < 2 * kHuge) return;
  const uintptr_t first = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t last = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace qn::platform
