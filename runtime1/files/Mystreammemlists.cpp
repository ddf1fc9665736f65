#include "runtime1/files/Mystreammemlists.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/CodePages.h"
#include "platform/Streams.h"

namespace qn {

// --- TMemoryMapFile -------------------------------------------------------------------------

TMemoryMapFile::TMemoryMapFile(std::u16string_view name, int32_t size_wanted) : fMapname(name) {
  SetupMap(name, size_wanted);
}

TMemoryMapFile::~TMemoryMapFile() { Close(); }

std::string TMemoryMapFile::ObjectName(std::u16string_view name) {
  std::u16string safe(name);
  for (char16_t& c : safe) {
    if (c == u'/' || c == u'\0') c = u'_';
  }
  std::string object(1, '/');
  object += platform::EncodedUTF8(safe);
  object += '.';
  object += std::to_string(::geteuid());
  return object;
}

void TMemoryMapFile::SetupMap(std::u16string_view name, int32_t size) { Setup(name, size, true); }

void TMemoryMapFile::Remap(int32_t size) {
  if (FMapHandle < 0) SetupMap(fMapname, size);
}

void TMemoryMapFile::ReopenMap() {
  if (FMapHandle < 0) Setup(fMapname, 0, false);
}

void TMemoryMapFile::Setup(std::u16string_view name, int32_t size, bool mayCreate) {
  Close();
  fMapname = name;
  fObjectName = ObjectName(name);
  if (mayCreate && (size < 0 || size > INT32_MAX - 4)) return;
  const char* object = fObjectName.c_str();
  // Another process may remove the name between a refused create and the
  // open that follows; a few rounds settle that race.
  for (int round = 0; round < 4; ++round) {
    if (mayCreate) {
      const int fd = ::shm_open(object, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        const int64_t bytes = int64_t{size} + 4;
        void* view = MAP_FAILED;
        // The umask may have taken bits from the mode; fchmod makes it exact.
        if (::fchmod(fd, 0600) == 0 && ::ftruncate(fd, bytes) == 0) {
          view = ::mmap(nullptr, static_cast<size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        }
        if (view == MAP_FAILED) {
          ::close(fd);
          ::shm_unlink(object);
          return;
        }
        fBase = FOffset = static_cast<uint8_t*>(view);
        FMapHandle = fd;
        fMapped = bytes;
        fCreated = true;
        platform::PutLE<int32_t>(fBase, size);
        FSize = size;
        return;
      }
      if (errno != EEXIST) return;
    }
    if (OpenExisting(fObjectName)) return;
    if (!mayCreate || errno != ENOENT) return;
  }
}

bool TMemoryMapFile::OpenExisting(const std::string& objectName) {
  const int fd = ::shm_open(objectName.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat info {};
  // Only a region of this user's own that nobody else can read or write: one
  // planted by another user, or left open to others, is not ours to trust.
  if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0 ||
      !S_ISREG(info.st_mode) || info.st_size < 4 || info.st_size > INT32_MAX) {
    ::close(fd);
    errno = EACCES;
    return false;
  }
  void* view = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    ::close(fd);
    return false;
  }
  const int32_t header = platform::GetLE<int32_t>(static_cast<const uint8_t*>(view));
  if (header < 0) {
    ::munmap(view, static_cast<size_t>(info.st_size));
    ::close(fd);
    errno = EINVAL;
    return false;
  }
  fBase = FOffset = static_cast<uint8_t*>(view);
  FMapHandle = fd;
  fMapped = info.st_size;
  fCreated = false;
  // The header is the creator's word for the size; the mapping is the fact.
  FSize = static_cast<int32_t>(std::min<int64_t>(header, info.st_size - 4));
  return true;
}

void TMemoryMapFile::Close() {
  if (fBase != nullptr) ::munmap(fBase, static_cast<size_t>(fMapped));
  if (FMapHandle >= 0) {
    if (fCreated) {
      // Remove the name only while it still stands for this region.
      struct stat mine {};
      struct stat named {};
      const int fd = ::shm_open(fObjectName.c_str(), O_RDONLY | O_CLOEXEC, 0);
      if (fd >= 0) {
        if (::fstat(FMapHandle, &mine) == 0 && ::fstat(fd, &named) == 0 && mine.st_ino == named.st_ino &&
            mine.st_dev == named.st_dev) {
          ::shm_unlink(fObjectName.c_str());
        }
        ::close(fd);
      }
    }
    ::close(FMapHandle);
  }
  FMapHandle = -1;
  fBase = FOffset = nullptr;
  FSize = 0;
  fMapped = 0;
  fCreated = false;
}

uint8_t* TMemoryMapFile::ConvertPointer(int32_t position) noexcept {
  if (fBase == nullptr || position < 0 || int64_t{position} >= int64_t{FSize} + 4) return nullptr;
  return FOffset + position;
}

int32_t TMemoryMapFile::GetMemL(int32_t position) noexcept {
  if (fBase == nullptr || position < 0 || int64_t{position} + 4 > int64_t{FSize} + 4) return 0;
  return platform::GetLE<int32_t>(FOffset + position);
}

bool TMemoryMapFile::SetMemL(int32_t position, int32_t value) noexcept {
  if (fBase == nullptr || position < 0 || int64_t{position} + 4 > int64_t{FSize} + 4) return false;
  platform::PutLE<int32_t>(FOffset + position, value);
  return true;
}

bool TMemoryMapFile::HandleException(void* /*address*/, int32_t index) { return index >= 0 && index < FSize; }

// --- TFlexibleSizeMap -----------------------------------------------------------------------

namespace {

std::u16string PrefixedName(std::u16string_view name) {
  std::u16string full(kSharedMapPrefix);
  full += name;
  return full;
}

}  // namespace

TFlexibleSizeMap::TFlexibleSizeMap(std::u16string_view name, int32_t size)
    : TMemoryMapFile(PrefixedName(name), size) {}

TFlexibleSizeMap::~TFlexibleSizeMap() = default;

void TFlexibleSizeMap::Checksize(int32_t wanted) {
  if (wanted == FSize) return;
  Close();
  Remap(wanted);
}

void TFlexibleSizeMap::Refresh(int32_t wanted) {
  // The name of a region made here cannot stand for a newer one.
  if (wanted == FSize || CreatedHere()) return;
  Close();
  ReopenMap();
}

int32_t TFlexibleSizeMap::ReadFromMemmap(void* Buffer, int32_t index, int32_t Count) {
  FPosition = index;
  if (fBase == nullptr || Count < 0 || index < 0 || index >= FSize) return 0;
  const int32_t n = std::min(Count, FSize - index);
  std::memcpy(Buffer, FOffset + index, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

bool TFlexibleSizeMap::WriteToMemmap(const void* Buffer, int32_t index, int32_t Count) {
  FPosition = index;
  if (fBase == nullptr || index < 0 || Count < 0 || int64_t{index} + Count > int64_t{FSize} + 4) return false;
  std::memcpy(FOffset + index, Buffer, static_cast<size_t>(Count));
  FPosition += Count;
  return true;
}

// --- TMyStreamMemList -----------------------------------------------------------------------

TMyStreamMemList::TMyStreamMemList(std::u16string_view name, TUsefulBaseListObjectClass AnEntriesClass)
    : TUsefulBaseList(AnEntriesClass), memmap(std::make_unique<TFlexibleSizeMap>(name, 4)) {}

TMyStreamMemList::~TMyStreamMemList() = default;

namespace {

bool WriteInt32(TFlexibleSizeMap& map, int32_t index, int32_t value) {
  uint8_t bytes[4];
  platform::PutLE<int32_t>(bytes, value);
  return map.WriteToMemmap(bytes, index, 4);
}

}  // namespace

bool TMyStreamMemList::CopyToMemmap() {
  int64_t total = 4;
  for (int32_t i = 0; i < Count(); ++i) {
    const int32_t size = SizeofHolderData(i);
    // A record is a marker and at least one byte of data.
    if (size <= 4) return false;
    total += size;
    if (total > kMaxTotal) return false;
  }
  memmap->Checksize(static_cast<int32_t>(total));
  // A region that another holder keeps open comes back at its old size.
  if (memmap->MapSize() < total) return false;
  if (!WriteInt32(*memmap, 0, static_cast<int32_t>(total))) return false;
  for (int32_t i = 0; i < Count(); ++i) {
    const int32_t start = memmap->Position();
    if (!WriteHolderToMap(i)) {
      // End the list where the failed record began, so that records of an
      // earlier copy further on are not read as this copy's.
      WriteInt32(*memmap, start, 0);
      return false;
    }
  }
  // A region used before may hold older records after this copy's end.
  WriteInt32(*memmap, memmap->Position(), 0);
  return true;
}

bool TMyStreamMemList::MoveToMemmap() {
  if (!CopyToMemmap()) return false;
  Clear();
  data_only_in_memmap = true;
  return true;
}

bool TMyStreamMemList::LoadFromMemmap() {
  Clear();
  data_only_in_memmap = false;
  if (memmap->MapSize() <= 3) return false;
  uint8_t bytes[4];
  bool result = memmap->ReadFromMemmap(bytes, 0, 4) == 4;
  const int32_t total = platform::GetLE<int32_t>(bytes);
  // The reader never creates a region: a total that differs from the size we
  // hold means the region was made anew since we opened it.
  memmap->Refresh(total);
  const int32_t size = memmap->MapSize();
  if (size <= 3) return false;
  int32_t position = 4;
  while (int64_t{position} + 4 <= size) {
    if (memmap->ReadFromMemmap(bytes, position, 4) != 4) return false;
    const int32_t marker = platform::GetLE<int32_t>(bytes);
    if (marker <= 0) break;
    const int32_t bytesLeft = size - position - 4;
    if (marker > bytesLeft) return false;
    memmap->SetPosition(position + 4);
    const int32_t consumed = ReadHolderFromMap(bytesLeft);
    // The marker is the record's data size: anything else means the record
    // is not what its list wrote.
    if (consumed != marker) return false;
    position += 4 + consumed;
  }
  return result;
}

}  // namespace qn
