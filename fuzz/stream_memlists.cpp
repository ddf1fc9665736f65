// Arbitrary bytes as the content of a shared region, loaded by the lists that
// travel through shared memory.
//
// The first byte chooses the list (numbers or texts); the rest become the
// region, header included, exactly as large as the bytes given. Loading must
// never read outside the region, loop for ever, or make a region of the size
// a header claims; every item it returns must have come from a whole record.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/CodePages.h"
#include "runtime1/files/Mystreammemlists.h"
#include "runtime1/files/testing/SampleStreamMemLists.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const std::u16string& RegionName() {
  static const std::u16string name = qn::platform::DecodedUTF8("qn_fuzz_memlists_" + std::to_string(::getpid()));
  return name;
}

// The region's object, made once per process and refilled for every input
// (truncated to nothing and regrown, so that it is zero-filled); removed when
// the process ends.
const std::string& ObjectName() {
  static const std::string object =
      qn::TMemoryMapFile::ObjectName(std::u16string(qn::kSharedMapPrefix) + RegionName());
  return object;
}

void RemoveObject() { ::shm_unlink(ObjectName().c_str()); }

int ObjectHandle() {
  static const int fd = [] {
    ::shm_unlink(ObjectName().c_str());
    const int handle = ::shm_open(ObjectName().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (handle >= 0) std::atexit(RemoveObject);
    return handle;
  }();
  return fd;
}

// Puts the bytes in the region's object, which becomes exactly that large.
bool Plant(const uint8_t* data, size_t size) {
  const int fd = ObjectHandle();
  if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) return false;
  return size == 0 || ::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size);
}

template <typename L>
void Load(size_t regionSize, int32_t recordMinimum) {
  L list(RegionName());
  Check(!list.memmap->CreatedHere());  // the object exists: a reader never makes its own
  Check(list.memmap->MapSize() <= static_cast<int64_t>(regionSize) - 4 || list.memmap->MapSize() <= 4);
  const bool ok = list.LoadFromMemmap();
  Check(!ok || regionSize >= 4);
  Check(list.Count() <= static_cast<int32_t>(regionSize / static_cast<size_t>(recordMinimum)));
  Check(!list.data_only_in_memmap);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 8192) return 0;
  const uint8_t choice = data[0];
  ++data;
  --size;
  if (!Plant(data, size)) return 0;
  if (choice % 2 == 0) {
    Load<qn::test_support::TNumberMemList>(size, 8);
  } else {
    Load<qn::test_support::TTextMemList>(size, 8);
  }
  return 0;
}
