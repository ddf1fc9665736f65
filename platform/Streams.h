// Byte streams and the little-endian helpers of every stored format.
//
// TStream is the abstract stream: Read and Write move up to count bytes and
// return how many moved; ReadBuffer and WriteBuffer move exactly count bytes or
// raise (EReadError "Stream read error", EWriteError "Stream write error").
// Readers of stored formats use ReadBuffer (or the Get helpers built on it) when
// a short read is an error, and Read (or TryGet) when a short read is an answer.
//
// Streams offered:
//   TMemoryStream      a growable block of memory that the stream owns
//   TMemoryViewStream  read-only view of bytes that someone else owns
//   THandleStream      a file descriptor that the stream does not own
//   TFileStream        a file opened by name, with share modes; owns its descriptor
//
// Positions and sizes are 64-bit. Reads and writes with a count of 0 or less
// move nothing.
//
// Stored values are always written byte by byte, little-endian, through the
// Put/Get helpers below (for streams) or PutLE/GetLE (for byte buffers), never
// by copying a struct.
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Export.h"

namespace qn::platform {

// Origin of a Seek.
enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class QN_API TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream();

  // Reads up to count bytes into buffer; returns the number read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes; returns the number written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position. Seeking before the start
  // raises EStreamError; seeking beyond the end is allowed (a later write
  // extends the stream).
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  // Size in bytes. The base seeks to the end and back.
  virtual int64_t Size();
  // Truncates or extends the stream (extension is zero-filled).
  virtual void SetSize(int64_t newSize);

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  // Bytes between the position and the end (0 when positioned beyond the end).
  // Readers check a stored length against this before they allocate.
  int64_t Remaining();

  // Reads exactly count bytes or raises EReadError ("Stream read error"); the
  // position then stands after the bytes that could be read. A stream over a
  // file adds what it knows of the failure to the message: the file's name and
  // the operating system's reason ("Stream read error: notes.txt: Input/output
  // error"), or that the file ended first.
  void ReadBuffer(void* buffer, int64_t count);
  // Writes exactly count bytes or raises EWriteError ("Stream write error"),
  // with the same details as ReadBuffer ("...: No space left on device").
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies count bytes from source's position into this stream; a count of 0
  // (or less) copies the whole source from its start. Raises on a short read or
  // write. Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);

 protected:
  // What the stream knows of its last failed Read or Write, for the messages of
  // ReadBuffer and WriteBuffer; empty when it knows nothing more.
  virtual std::string FailureDetail(bool writing) const;
};

// A block of memory that grows as it is written. Memory() stays valid until the
// next write, SetSize, Clear or load.
class QN_API TMemoryStream : public TStream {
 public:
  TMemoryStream();
  ~TMemoryStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return fSize; }
  void SetSize(int64_t newSize) override;

  // Empties the stream and releases its memory.
  void Clear();
  uint8_t* Memory() noexcept { return fData.data(); }
  const uint8_t* Memory() const noexcept { return fData.data(); }
  // The bytes of the stream, from 0 to Size().
  std::span<const uint8_t> Bytes() const noexcept {
    return {fData.data(), static_cast<size_t>(fSize)};
  }

  // Replaces the contents with the whole of stream (from its start) or file;
  // the position becomes 0.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(std::u16string_view fileName);
  void LoadFromFile(std::string_view fileNameUtf8);
  // Writes the whole contents to stream (at its position) or to a file; a file
  // is replaced safely (WriteFileSafely), so a failed save keeps the old file.
  void SaveToStream(TStream& stream) const;
  void SaveToFile(std::u16string_view fileName) const;
  void SaveToFile(std::string_view fileNameUtf8) const;

 private:
  void Reserve(int64_t capacity);

  std::vector<uint8_t> fData;  // capacity is fData.size(); the stream is [0, fSize)
  int64_t fSize = 0;
  int64_t fPosition = 0;
};

// A read-only stream over bytes that the caller owns and keeps alive. Writes
// move nothing (return 0), so WriteBuffer raises.
class QN_API TMemoryViewStream : public TStream {
 public:
  TMemoryViewStream(const void* data, int64_t size) noexcept;
  explicit TMemoryViewStream(std::span<const uint8_t> bytes) noexcept
      : TMemoryViewStream(bytes.data(), static_cast<int64_t>(bytes.size())) {}
  ~TMemoryViewStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return fSize; }
  // A view cannot change size: raises EStreamError.
  void SetSize(int64_t newSize) override;

 private:
  const uint8_t* fData;
  int64_t fSize;
  int64_t fPosition = 0;
};

// A stream over an open file descriptor that someone else owns and closes.
class QN_API THandleStream : public TStream {
 public:
  explicit THandleStream(int handle) noexcept : fHandle(handle) {}
  ~THandleStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t newSize) override;

  int Handle() const noexcept { return fHandle; }
  // errno of the last read or write if it failed; 0 when it did not.
  int LastErrno() const noexcept { return fLastErrno; }

 protected:
  // The system's reason for the last failed read or write, if there was one.
  std::string FailureDetail(bool writing) const override;

  int fHandle;
  int fLastErrno = 0;  // errno of the last failed read or write; 0 when none
};

// Open modes of TFileStream: one access mode or fmCreate, or-ed with one share
// mode. The values are those of the framework the tools were written for.
enum : uint16_t {
  fmCreate = 0xFF00,        // create, or truncate an existing file; read and write access
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,   // treated as fmShareExclusive for fmCreate, else as fmShareDenyNone
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
};

// A file opened by name: a regular file only. The name is opened without
// blocking, and a folder, named pipe, socket or device is refused with
// EFOpenError (EFCreateError for fmCreate), so no reader can hang on a pipe or
// read a device without end. Share modes are kept among the system's own streams
// with advisory locks: fmShareExclusive and fmShareDenyRead take an exclusive
// lock, fmShareDenyWrite a shared one, fmShareDenyNone none; an open whose lock
// conflicts with a lock held by another open stream fails with EFOpenError.
// Readers that open with fmShareDenyNone (as the list readers do) take no lock
// and are never refused because of another stream's share mode.
class QN_API TFileStream : public THandleStream {
 public:
  // Raises EFCreateError (fmCreate) or EFOpenError with the system's reason.
  TFileStream(std::u16string_view fileName, uint16_t mode);
  TFileStream(std::string_view fileNameUtf8, uint16_t mode);
  ~TFileStream() override;  // closes the file

  // The name as given (UTF-8).
  const std::string& FileName() const noexcept { return fFileName; }
  // Forces written data to the disk (fsync); raises EOSError on failure.
  void Flush();

 protected:
  // The file's name and the system's reason, or that the file ended first.
  std::string FailureDetail(bool writing) const override;

 private:
  void Open(uint16_t mode);

  std::string fFileName;
};

// Writes bytes to a file without ever losing the file's previous contents: the
// bytes go to a new temporary file in the same folder, which is flushed to the
// disk and then renamed over the old name (the folder is flushed too). A
// failure at any step removes the temporary file, keeps the old file as it was
// and raises EFCreateError or EWriteError.
// - A symbolic link is followed (through any chain of links) and the file it
//   names is replaced; the link stays a link. A link to a missing file
//   creates that file.
// - A replaced file keeps its permission bits, and its owner and group as far
//   as the system lets this process give them (a process that is neither the
//   owner nor privileged cannot give a file away: the saved file is then its
//   own, with the old group where it belongs to that group).
// - A file with several hard links: the name saved to gets the new bytes as a
//   new file; the other names keep the old contents (they stay links to the
//   old file).
// - The temporary file is named ".<name>.<process id>.<random>.tmp" and holds
//   a lock while it is written. A save killed part-way leaves it behind; the
//   next save of the same name removes such leftovers once their process has
//   ended and nothing holds their lock.
QN_API void WriteFileSafely(std::string_view fileNameUtf8, std::span<const uint8_t> bytes);
QN_API void WriteFileSafely(std::u16string_view fileName, std::span<const uint8_t> bytes);

// WriteFileSafely for bytes that come in pieces: a file written a piece at a
// time and put in place only by Commit, so its writer never holds the whole
// contents. The temporary file is made by the constructor (raising
// EFCreateError as WriteFileSafely does); Write appends to it (EWriteError);
// Commit flushes it to the disk, gives it the old file's permissions and
// owner and renames it over the name (EWriteError or EFCreateError, the
// temporary file removed). Abandon, or the destructor of a writer not
// committed, removes the temporary file and leaves any old file as it was.
// TemporaryName is the file's name while it is being written (empty once
// committed or abandoned), for a handler that must remove it when the
// process is interrupted: such a handler may call unlink on it and nothing
// else of the writer.
class QN_API TSafeFileWriter {
 public:
  explicit TSafeFileWriter(std::string_view fileNameUtf8);
  explicit TSafeFileWriter(std::u16string_view fileName);
  ~TSafeFileWriter();
  TSafeFileWriter(const TSafeFileWriter&) = delete;
  TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

  void Write(const void* data, size_t count);
  void Write(std::span<const uint8_t> bytes) { Write(bytes.data(), bytes.size()); }
  void Commit();
  void Abandon() noexcept;

  const std::string& FileName() const noexcept { return fGiven; }
  const std::string& TemporaryName() const noexcept { return fTemporary; }
  bool Open() const noexcept { return fHandle >= 0; }

 private:
  [[noreturn]] void CreateError(int code) const;
  [[noreturn]] void Fail(int code, bool writing);

  std::string fGiven;      // the name as given
  std::string fTarget;     // the file replaced (links followed)
  std::string fTemporary;  // the temporary file, while it exists
  int fHandle = -1;
  bool fExists = false;    // a file was there to be replaced
  uint32_t fOldMode = 0, fOldOwner = 0, fOldGroup = 0;
};

// The pieces of WriteFileSafely for writers that fill the temporary file
// themselves. CreateSaveTemporary creates the locked, empty temporary file
// for a save replacing path (mode 0600, opened for reading and writing) and
// returns its handle with its name in temporary, or -1 with errno set.
// RemoveAbandonedSaveTemporaries removes the temporary files that saves of
// path left behind when their process died (see above); it never raises.
int CreateSaveTemporary(const std::string& path, std::string& temporary);
void RemoveAbandonedSaveTemporaries(const std::string& path) noexcept;

// Reads a whole file (opened with fmOpenRead | fmShareDenyNone), up to the size
// it had when opened. Raises EFOpenError when it cannot be opened or is not a
// regular file, EReadError when it cannot be read.
QN_API std::vector<uint8_t> ReadWholeFile(std::string_view fileNameUtf8);
QN_API std::vector<uint8_t> ReadWholeFile(std::u16string_view fileName);

// The UTF-8 form of a UTF-16 file name (unpaired surrogates become U+FFFD).
QN_API std::string FileNameToUtf8(std::u16string_view fileName);

// ---------------------------------------------------------------------------
// Little-endian values in byte buffers.
// ---------------------------------------------------------------------------

// The values the stored formats hold: integers of 1 to 8 bytes, bool (1 byte,
// 0 or 1; any non-zero byte reads as true), float and double (IEEE, their bit
// patterns little-endian), char16_t (2 bytes).
template <typename T>
concept StoredValue = std::is_arithmetic_v<T> && !std::is_same_v<T, long double>;

namespace detail {
template <typename T>
using StoredBits = std::conditional_t<
    sizeof(T) == 1, uint8_t,
    std::conditional_t<sizeof(T) == 2, uint16_t,
                       std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
}  // namespace detail

// On a little-endian host the stored bytes are the value's own: one copy
// (a single load or store, at any alignment). Elsewhere the bytes are taken
// apart and put together with shifts.

// Writes value at p, sizeof(T) bytes, lowest byte first.
template <StoredValue T>
inline void PutLE(uint8_t* p, T value) noexcept {
  using Bits = detail::StoredBits<T>;
  Bits bits;
  if constexpr (std::is_same_v<T, bool>) {
    bits = value ? 1 : 0;
  } else {
    bits = std::bit_cast<Bits>(value);
  }
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &bits, sizeof(Bits));
  } else {
    for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
}

// Reads a value of type T stored at p, lowest byte first.
template <StoredValue T>
inline T GetLE(const uint8_t* p) noexcept {
  using Bits = detail::StoredBits<T>;
  Bits bits = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&bits, p, sizeof(Bits));
  } else {
    for (size_t i = 0; i < sizeof(T); ++i) bits = static_cast<Bits>(bits | (Bits(p[i]) << (8 * i)));
  }
  if constexpr (std::is_same_v<T, bool>) {
    return bits != 0;
  } else {
    return std::bit_cast<T>(bits);
  }
}

// The UTF-16 code unit stored at p in the given byte order.
inline char16_t UnitAt(const uint8_t* p, bool bigEndian) noexcept {
  return bigEndian ? static_cast<char16_t>((p[0] << 8) | p[1]) : static_cast<char16_t>(p[0] | (p[1] << 8));
}

// count UTF-16 code units stored at bytes, little-endian or big-endian, into
// units (and back). In the host's order this is one block copy; in the other a
// loop of byte swaps over whole units, which compilers turn into vector shuffles.
inline void UnitsFromBytes(char16_t* units, const uint8_t* bytes, size_t count, bool bigEndian) noexcept {
  if (count == 0) return;
  if (bigEndian == (std::endian::native == std::endian::big)) {
    std::memcpy(units, bytes, 2 * count);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    uint16_t unit;
    std::memcpy(&unit, bytes + 2 * i, 2);
    units[i] = static_cast<char16_t>((unit >> 8) | (unit << 8));
  }
}
inline void UnitsToBytes(uint8_t* bytes, const char16_t* units, size_t count, bool bigEndian) noexcept {
  if (count == 0) return;
  if (bigEndian == (std::endian::native == std::endian::big)) {
    std::memcpy(bytes, units, 2 * count);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    const uint16_t unit = static_cast<uint16_t>((units[i] >> 8) | (units[i] << 8));
    std::memcpy(bytes + 2 * i, &unit, 2);
  }
}

// Builds a stored image in memory: appends little-endian values and raw bytes.
// Used for records that are written whole, and for golden byte images in tests.
class QN_API TByteWriter {
 public:
  template <StoredValue T>
  TByteWriter& Put(T value) {
    uint8_t bytes[sizeof(T)];
    PutLE(bytes, value);
    return PutBytes(bytes, sizeof(T));
  }
  TByteWriter& PutBytes(const void* data, size_t count);
  // count zero bytes (padding and reserved fields).
  TByteWriter& PutZeros(size_t count);
  // UTF-16 code units, 2 bytes each, without length.
  TByteWriter& PutUnits(std::u16string_view text);

  const std::vector<uint8_t>& Bytes() const noexcept { return fBytes; }
  std::vector<uint8_t> TakeBytes() noexcept { return std::move(fBytes); }
  size_t Size() const noexcept { return fBytes.size(); }

 private:
  std::vector<uint8_t> fBytes;
};

// Reads little-endian values from a byte buffer with a cursor. Every read
// checks the bytes that remain; reading past the end raises EReadError
// ("Stream read error") and leaves the cursor where it was.
class QN_API TByteReader {
 public:
  TByteReader(const void* data, size_t size) noexcept
      : fData(static_cast<const uint8_t*>(data)), fSize(size) {}
  explicit TByteReader(std::span<const uint8_t> bytes) noexcept
      : TByteReader(bytes.data(), bytes.size()) {}

  template <StoredValue T>
  T Get() {
    Need(sizeof(T));
    T value = GetLE<T>(fData + fPosition);
    fPosition += sizeof(T);
    return value;
  }
  void GetBytes(void* buffer, size_t count);
  void Skip(size_t count);
  // count UTF-16 code units (2 bytes each).
  std::u16string GetUnits(size_t count);

  size_t Position() const noexcept { return fPosition; }
  size_t Remaining() const noexcept { return fSize - fPosition; }

 private:
  void Need(size_t count) const;

  const uint8_t* fData;
  size_t fSize;
  size_t fPosition = 0;
};

// ---------------------------------------------------------------------------
// Little-endian values in streams.
// ---------------------------------------------------------------------------

// Writes value at the stream's position; raises EWriteError on a short write.
template <StoredValue T>
inline void Put(TStream& stream, T value) {
  uint8_t bytes[sizeof(T)];
  PutLE(bytes, value);
  stream.WriteBuffer(bytes, sizeof(T));
}

// Reads a value; raises EReadError on a short read.
template <StoredValue T>
inline T Get(TStream& stream) {
  uint8_t bytes[sizeof(T)];
  stream.ReadBuffer(bytes, sizeof(T));
  return GetLE<T>(bytes);
}

// Reads a value; false on a short read (value then unchanged, the position
// after the bytes that could be read).
template <StoredValue T>
inline bool TryGet(TStream& stream, T& value) {
  uint8_t bytes[sizeof(T)];
  if (stream.Read(bytes, sizeof(T)) != static_cast<int64_t>(sizeof(T))) return false;
  value = GetLE<T>(bytes);
  return true;
}

// Writes value; false when fewer bytes than asked were written.
template <StoredValue T>
inline bool TryPut(TStream& stream, T value) {
  uint8_t bytes[sizeof(T)];
  PutLE(bytes, value);
  return stream.Write(bytes, sizeof(T)) == static_cast<int64_t>(sizeof(T));
}

// UTF-16 code units, 2 bytes each little-endian, without a length.
QN_API void PutUnits(TStream& stream, std::u16string_view text);
// Reads count code units. The count is checked against the bytes left in the
// stream before anything is allocated; a count that cannot be satisfied raises
// EReadError ("Stream read error"), as does a short read.
QN_API std::u16string GetUnits(TStream& stream, int64_t count);
// Reads count bytes; checked like GetUnits.
QN_API std::string GetBytes(TStream& stream, int64_t count);

// The string record of the stored formats: a signed 32-bit length in UTF-16
// code units, then the code units; the empty string is the length 0 alone.
QN_API void PutString32(TStream& stream, std::u16string_view text);
// Reads a string record. A length below 0 or above maxUnits raises EReadError
// with "file read error : " + where; a short read raises EReadError.
QN_API std::u16string GetString32(TStream& stream, int32_t maxUnits, std::string_view where);

// The short string of the stored formats: one byte n (the length modulo 256),
// then the first n bytes of the 8-bit text.
QN_API void PutShortString(TStream& stream, std::string_view text);
// Reads a short string (its bytes, unconverted); a short read raises EReadError.
QN_API std::string GetShortString(TStream& stream);

}  // namespace qn::platform
