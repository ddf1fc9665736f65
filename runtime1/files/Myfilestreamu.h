// Small stream formats that every stored file of the suite is built from, and
// text files inside zip archives reached through a path.
//
// Byte layouts (little-endian):
//   short string        1 byte n, then n bytes of 8-bit text (n <= 255)
//   wide text           int32 n (code units), then 2n bytes of UTF-16
//   8-bit text          uint16 n, then n bytes (n <= 65535)
//   pointer record      int32 n, then n code units (2n bytes when wide, n
//                       bytes otherwise); the count alone when n is 0
//
// Writers never lose data silently: a text too long for its count is cut to
// the largest count the layout holds and the call says so (false, or a byte
// count below what the text needed). Readers trust no stored count: a negative
// count, a count beyond the bytes left in the stream, or one above the caller's
// maximum raises EReadError "file read error : <reader>" before anything is
// allocated, and a stream that delivers fewer bytes than it claimed raises
// EReadError "Stream read error"; no buffer is returned in either case.
//
// Buffers returned by the readers belong to the caller and are released with
// DeletePWideChar / DeletePAnsichar (Myunicodenew). The empty text nowt lives
// there too.
//
// Zip paths: "folder/texts.zip/a/b.txt" names the entry "a/b.txt" of the
// archive "folder/texts.zip". Paths saved on Windows use "\"; both are
// accepted, and an entry is looked up by the inner name as given, then with
// the other separator. Entry bytes are decoded by the rules of text files on
// disk (signature, UTF-16 without one, UTF-8, else the active code page).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/Streams.h"
#include "runtime1/text/Myunicodenew.h"

namespace qn {

// --- Shared state -------------------------------------------------------------------

// The character count of the buffer returned by the last successful call of
// ReadUnknownLengthPointer / ReadUnknownLengthPointerMaxSize (0 after a call
// that raised). One variable for the process: callers read it straight after
// the call, on the one thread that reads such buffers.
extern QN_API int32_t temp_pointer_chars_allocated;

// The largest count ReadUnknownLengthPointer accepts.
inline constexpr int32_t kUnknownLengthPointerMax = 50000;

// The process's private temporary folder, without a trailing "/":
// "/tmp/quillon-<effective user id>". Made on first use with mode 0700 and
// checked on every call (a folder, not a link, owned by the effective user,
// mode 0700); anything else raises EOSError rather than falling back to a
// folder that other users share.
QN_API std::u16string my_temp_path();
// The check behind my_temp_path, for any folder path (UTF-8): creates the
// folder with mode 0700 when it is missing, then verifies it as above.
QN_API void EnsurePrivateFolder(const std::string& folderUtf8);

// --- Serialisation --------------------------------------------------------------------

// Writes a short string: n = min(length, 255), then the first n bytes. False
// when the text had to be cut or the stream took fewer bytes than asked.
QN_API bool WriteShortString(platform::TStream& stream, std::string_view text);
// Reads a short string (its bytes, in the code page they were written in).
// Raises EReadError on a short read.
QN_API std::string ReadShortString(platform::TStream& stream);

// A file stream that can write a short string of itself.
class QN_API TMyFileStream : public platform::TFileStream {
 public:
  using platform::TFileStream::TFileStream;
  ~TMyFileStream() override;
  bool WriteAShortString(std::string_view text) { return WriteShortString(*this, text); }
};

// Writes the zero-terminated UTF-16 text (null: the empty text) as a wide-text
// record. Raises EWriteError on a short write, and for a text longer than a
// signed 32-bit count can hold (nothing is written then).
QN_API void WriteWidePchar(platform::TStream& stream, const char16_t* text);
// Reads a wide-text record into a new zero-terminated buffer. A count below 0
// or beyond the bytes left raises "file read error : ReadWidePchar".
QN_API char16_t* ReadWidePchar(platform::TStream& stream);

// Writes the zero-terminated 8-bit text (null: the empty text) as an 8-bit
// text record of at most 65535 bytes. Returns the bytes the stream took: 2 + n
// when all went well, so a result below 2 + the text's length means the text
// was cut or the write fell short.
QN_API int32_t WriteAnsiPchar(platform::TStream& stream, const char* text);
// Reads an 8-bit text record into a new zero-terminated buffer. A count beyond
// the bytes left raises "file read error : ReadAnsiPchar".
QN_API char* ReadAnsiPchar(platform::TStream& stream);

// Writes a pointer record of n code units of buffer (2-byte units when wide).
// True when every byte was written. A negative n, or a null buffer with n > 0,
// writes the count 0 alone and returns false, so the stream stays readable.
QN_API bool WriteKnownLengthPointer(platform::TStream& stream, const void* buffer, bool wide, int32_t n);
// The same with n = the buffer's zero-terminated length (0 for null).
QN_API bool WriteUnknownLengthPointer(platform::TStream& stream, const void* buffer, bool wide);
// Reads a pointer record into a new zero-terminated buffer of the asked width
// (char16_t* when wide, else char*) and sets temp_pointer_chars_allocated to
// its count. A count below 0, above maximum or beyond the bytes left raises
// "file read error : ReadUnknownLengthPointer".
QN_API void* ReadUnknownLengthPointerMaxSize(platform::TStream& stream, bool wide, int32_t maximum);
// The same with the maximum kUnknownLengthPointerMax.
QN_API void* ReadUnknownLengthPointer(platform::TStream& stream, bool wide);

// --- Zip paths ---------------------------------------------------------------------------

// ext, lower-cased, is ".zip".
QN_API bool IsZipExtension(std::u16string_view ext);
// The extension of name's last component, lower-cased, is ".zip".
QN_API bool IsAZipFile(std::u16string_view name);
// No file or folder of that name exists and the lower-cased name holds ".zip/"
// or ".zip\".
QN_API bool IsWithinAZipFile(std::u16string_view name);
// The archive part of a path into an archive: the name up to and including
// the first ".zip" (any case) followed by a separator that names an existing
// regular file, else the first such ".zip"; "" when there is none.
QN_API std::u16string ZipFileFullFileName(std::u16string_view name);
// The rest of the path after that archive part and its separator; "" when
// there is none.
QN_API std::u16string ZipFileWantedFileNameWithin(std::u16string_view name);
// The text of the entry that the path points into, every line followed by
// CR LF. Errors of the zip component (EZipError: missing or damaged archive,
// missing entry) reach the caller.
QN_API std::u16string ContentsOfFileWithinZipFile(std::u16string_view name);
// The text of the archive's entry number n, counted from 1. An n outside the
// entries raises EZipError (bad_index).
QN_API std::u16string ContentsOfFileWithinZipFile(std::u16string_view archiveName, int32_t n);
// Writes entry n's text (counted from 1) to "tempzip.txt" in my_temp_path as
// UTF-16 little-endian with FF FE, lines ended by CR LF, and returns that
// file's path. For an n outside the entries a file left by an earlier call is
// removed (so the path never holds another entry's text) and the path is
// still returned. The file is replaced through a new file and a rename, so a
// link planted under its name is replaced, never followed.
QN_API std::u16string OpenedAZipFileToTempDir(std::u16string_view archiveName, int32_t n);

}  // namespace qn
