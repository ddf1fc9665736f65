// Lists handed from one of the suite's processes to another through named
// shared memory.
//
//   TMemoryMapFile    a named shared region: a signed 32-bit size header at
//                     offset 0, then the size asked for; positions count from
//                     the start of the region, header included
//   TFlexibleSizeMap  a region under the suite's common name prefix that can
//                     be resized, with a read/write position
//   TMyStreamMemList  a holder list that copies its items into such a region
//                     and loads them back, in this process or another
//
// Region of a TMyStreamMemList (little-endian):
//   0        int32    total: 4 + the bytes of all records
//   4 ...    records  each an int32 marker (the number of data bytes that
//                     follow, > 0) and the item's data
//   total    int32    0, ending the list
//
// The regions are POSIX shared memory (shm_open + mmap). The object's name is
// "/" + the region's name (UTF-8, "/" replaced by "_") + "." + the effective
// user id, so every user has names of their own. A region is created with
// O_CREAT | O_EXCL and mode 0600; an existing object is used only when it
// belongs to the effective user and no one else may read or write it,
// otherwise the map has no region (size 0). The process that created a region
// removes its name when it closes it; views that others hold stay valid until
// they close theirs.
//
// A region's content is untrusted: the size in its header is believed only as
// far as the mapping reaches, no read or write leaves the mapping, and loading
// stops at the first record whose marker or size does not fit.
//
// Protocol: one process writes the list (CopyToMemmap or MoveToMemmap) and
// keeps its list alive until the other has loaded it (LoadFromMemmap). There
// is no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/containers/Useful_Classes_base.h"

namespace qn {

class QN_API TMemoryMapFile {
 public:
  // Opens the region called name, creating it with size_wanted bytes (plus the
  // header) when there is none.
  TMemoryMapFile(std::u16string_view name, int32_t size_wanted);
  virtual ~TMemoryMapFile();
  TMemoryMapFile(const TMemoryMapFile&) = delete;
  TMemoryMapFile& operator=(const TMemoryMapFile&) = delete;

  // Opens the region called name, or creates it with size + 4 bytes (zero
  // filled) and the header size. An existing region keeps its own size: MapSize
  // becomes its header, as far as its mapping reaches. On any failure the
  // object has no region (MapSize 0).
  void SetupMap(std::u16string_view name, int32_t size);
  // SetupMap with the stored name, when the object has no region.
  void Remap(int32_t size);
  // Unmaps the view (removing the region's name when this object created it)
  // and clears base, size and handle.
  void Close();

  // The address of a position inside the region; null outside it.
  uint8_t* ConvertPointer(int32_t position) noexcept;
  // The signed 32-bit value at a position; 0 when it does not lie wholly
  // inside the region.
  int32_t GetMemL(int32_t position) noexcept;
  // Writes the value at a position; false (nothing written) outside the region.
  bool SetMemL(int32_t position, int32_t value) noexcept;
  // Whether a fault at index may be mended by committing memory. Mappings
  // here are committed when they are made, so this only says whether index
  // lies inside the region's size.
  virtual bool HandleException(void* address, int32_t index);

  uint8_t* Base() const noexcept { return fBase; }
  int32_t MapSize() const noexcept { return FSize; }
  const std::u16string& MapName() const noexcept { return fMapname; }
  // True when this object created the region it has open.
  bool CreatedHere() const noexcept { return fCreated; }
  // The POSIX name of a region name for the effective user.
  static std::string ObjectName(std::u16string_view name);

 protected:
  // Like SetupMap, but never creates: opens an existing region or has none.
  void ReopenMap();
  // The bytes the view covers (MapSize + 4 for a region created here).
  int64_t MappedBytes() const noexcept { return fMapped; }

  std::u16string fMapname;
  int32_t FSize = 0;
  uint8_t* fBase = nullptr;
  uint8_t* FOffset = nullptr;
  int FMapHandle = -1;

 private:
  void Setup(std::u16string_view name, int32_t size, bool mayCreate);
  bool OpenExisting(const std::string& objectName);

  int64_t fMapped = 0;
  bool fCreated = false;
  std::string fObjectName;
};

// The prefix every region of the suite's lists is named with, so that all of
// its processes reach the same region by the same list name.
inline constexpr std::u16string_view kSharedMapPrefix = u"lexstore_compartilhar";

class QN_API TFlexibleSizeMap : public TMemoryMapFile {
 public:
  // The region kSharedMapPrefix + name.
  TFlexibleSizeMap(std::u16string_view name, int32_t size);
  ~TFlexibleSizeMap() override;

  // Resizes the region when wanted differs from MapSize: closes it and opens
  // it again (created anew at the wanted size when no other holder keeps the
  // old one alive; otherwise the old region comes back, with its old size).
  void Checksize(int32_t wanted);
  // Reopens an existing region when wanted differs from MapSize and the
  // region was not created here; never creates.
  void Refresh(int32_t wanted);
  // The address of the current position in the region; null outside it.
  uint8_t* PositionPtr() noexcept { return ConvertPointer(FPosition); }
  int32_t Position() const noexcept { return FPosition; }
  void SetPosition(int32_t position) noexcept { FPosition = position; }

  // Sets the position to index and copies min(Count, MapSize - index) bytes
  // from the region into Buffer; returns the bytes copied (0 when Count < 0 or
  // index is outside 0 .. MapSize - 1) and advances the position by them.
  int32_t ReadFromMemmap(void* Buffer, int32_t index, int32_t Count);
  // Sets the position to index and copies Count bytes from Buffer into the
  // region, advancing the position by Count. False, with nothing written, when
  // the bytes would not lie inside the region (index < 0, Count < 0 or
  // index + Count > MapSize + 4).
  bool WriteToMemmap(const void* Buffer, int32_t index, int32_t Count);

 protected:
  int32_t FPosition = 0;
};

// A list of holder objects that can travel through a shared region. Each
// concrete list says how big an item's record is, writes it and reads it back.
class QN_API TMyStreamMemList : public TUsefulBaseList {
 public:
  // The region's total is a signed 32-bit size less its header.
  static constexpr int64_t kMaxTotal = INT32_MAX - 4;

  TMyStreamMemList(std::u16string_view name, TUsefulBaseListObjectClass AnEntriesClass);
  ~TMyStreamMemList() override;

  // True after MoveToMemmap, until the next LoadFromMemmap.
  bool data_only_in_memmap = false;
  // The list's region (owned).
  std::unique_ptr<TFlexibleSizeMap> memmap;

  // Bytes of item i's record: 4 for the marker plus its data.
  virtual int32_t SizeofHolderData(int32_t i) = 0;
  // Writes item i's record at memmap's position (through WriteToMemmap, which
  // advances it): the marker, then the data. False when it could not.
  virtual bool WriteHolderToMap(int32_t i) = 0;
  // Reads one item's data from memmap's position (no more than bytesLeft
  // bytes), appends the item and returns the bytes it consumed; a negative
  // result when the data could not be read.
  virtual int32_t ReadHolderFromMap(int32_t bytesLeft) = 0;

  // Sizes the region for all items and writes them into it. False, without
  // clearing anything, when the total is out of range, the region cannot hold
  // it or an item cannot be written; records written before a failure are
  // ended by a 0 marker, so no reader takes older records for new ones.
  bool CopyToMemmap();
  // CopyToMemmap, then, only when it succeeded, clears the list and sets
  // data_only_in_memmap.
  bool MoveToMemmap();
  // Clears the list and reads the items from the region. False when there is
  // no region, the total cannot be read, or a record's marker or size does not
  // fit; the items read before that stay in the list.
  bool LoadFromMemmap();
};

}  // namespace qn
