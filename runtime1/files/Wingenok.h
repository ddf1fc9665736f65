// General helpers every module leans on: locales and case mapping, paths and
// drives, confirmations before overwriting a file or when disk space is low,
// numbered names for batch output, number and date formatting, and shared
// constants.
//
// Strings are UTF-16; locale identifiers are Windows LCIDs (uint32_t). Paths
// use '/' as their delimiter. How the desktop notions map to this system
// (drive letters, hidden files, network drives) is written up in
// docs/general-helpers.md; in short:
//   - drive C: is the root file system "/", and D: to Z: the further mounted
//     block-device file systems in the order of the mount table (A: and B:
//     stay empty), so that a drive letter names a mount point;
//   - a file or folder is hidden when its name begins with ".";
//   - there are no mapped network drives, so no path is rewritten to a
//     network name.
//
// Questions (overwrite? proceed?) go through MyMessageBox (Mykpsmall), so a
// host decides how they are asked; without a host they are declined.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/DateTime.h"
#include "platform/Export.h"
#include "platform/Format.h"
#include "platform/StringList.h"

namespace qn {

// ---------------------------------------------------------------------------
// Constants and shared state.
// ---------------------------------------------------------------------------

inline constexpr std::u16string_view CRLF = u"\r\n";
using TThreeBytes = std::array<uint8_t, 3>;
inline constexpr TThreeBytes UTF8_signature = {0xEF, 0xBB, 0xBF};
inline constexpr std::u16string_view HexCharactersStr = u"0123456789ABCDEFabcdef";
// The characters that mark a number as hexadecimal.
inline constexpr std::u16string_view HexSignalStr = u"Xx$Hh";

inline constexpr float mm_to_inch = 0.03937008f;  // 1/25.4
inline constexpr float inch_to_cm = 2.54f;
inline constexpr float inch_to_mm = 25.4f;
inline constexpr float inch_to_mm100 = 2540.0f;

enum TPrint_measurement_units : uint8_t { pmu_inches, pmu_centimetres, pmu_print_dots };

// Drives A: to Z: as 0 to 25.
using drive_limits = uint8_t;
inline constexpr drive_limits drive_limits_first = 0;
inline constexpr drive_limits drive_limits_last = 25;

// The present drives as last read (bit 0 is A:); refreshed by ValidDrive and
// ValidDriveW.
extern QN_API uint32_t DriveBits;

// A screen rectangle, signed 32-bit edges.
struct TWorkAreaRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};
// The work area of the primary screen. There is no screen to ask here: it
// starts as 1024 x 768 at the origin and a host with a display sets it.
extern QN_API TWorkAreaRect Work_Area;

// Number, date and time formats of the user's default locale, read when the
// library loads. A host that changes the user's locale afterwards assigns
// platform::UserFormatSettings() here again.
extern QN_API platform::TFormatSettings UserDefaultFormatSettings;

// Localizable texts.
extern QN_API std::u16string _QNTrue;          // "true"
extern QN_API std::u16string _QNFalse;         // "false"
extern QN_API std::u16string _QNConfirmation;  // "Confirmation"
extern QN_API std::u16string _QNOverwriteXQ;   // "Overwrite %s?"
extern QN_API std::u16string _QNOverwriteWithBackupXQ;  // "Overwrite %s (with backup)?"
extern QN_API std::u16string _QNLittleDiskSpaceQ;  // "Only %dMb space left on %s -- Proceed?"

// A string list in one language, saved as UTF-16 unless told otherwise.
class QN_API TLanguageStringlist : public platform::TStringList {
 public:
  explicit TLanguageStringlist(uint32_t ALanguage);
  ~TLanguageStringlist() override;

  uint32_t Language;      // locale identifier
  bool SaveUnicode = true;  // save as UTF-16 (with FF FE)

  // Saves in UTF-16 little-endian with its byte-order mark when SaveUnicode
  // holds, else as the string list saves.
  using platform::TStringList::SaveToFile;
  void SaveToFile(std::u16string_view fileName) const override;
};

// ---------------------------------------------------------------------------
// Locales and case.
// ---------------------------------------------------------------------------

// The locale's default 8-bit code page; the active code page when the locale
// has none. Two names for one operation.
QN_API int32_t CodePageFromLocale(uint32_t locale) noexcept;
QN_API int32_t LCIDToCodePage(uint32_t locale) noexcept;

// s up to its first zero code unit, with the locale's linguistic casing.
QN_API std::u16string Lowercase(uint32_t locale, std::u16string_view s);
QN_API std::u16string Uppercase(uint32_t locale, std::u16string_view s);
// The same in place on a zero-terminated buffer (nothing for a null one).
QN_API void LowercaseIt(uint32_t locale, char16_t* p) noexcept;
QN_API void UppercaseIt(uint32_t locale, char16_t* p) noexcept;
// Locale-independent case mapping of each code unit.
QN_API std::u16string Lowercase(std::u16string_view s);
QN_API std::u16string Uppercase(std::u16string_view s);

// A Unicode decimal digit (general category Nd).
QN_API bool IsADigitChar(char16_t c) noexcept;
// One of the ASCII digits 0 to 9.
QN_API bool IsOrdinaryNumberChar(char16_t c) noexcept;
// False when the locale measures in the U.S. system; true otherwise, also when
// the locale cannot be asked.
QN_API bool UserDefaultMeasurements(uint32_t locale);

// ---------------------------------------------------------------------------
// Paths and drives.
// ---------------------------------------------------------------------------

// A path of more than 3 code units made absolute (".." and "." resolved as
// text, symbolic links left alone) without a trailing delimiter; shorter paths
// come back unchanged. There are no network drives to expand.
QN_API std::u16string NormalisedPath(std::u16string_view path);
using TNormalisedPathW = std::array<char16_t, 261>;
// The same, zero-filled, holding at most 260 code units.
QN_API TNormalisedPathW NormalisedPathW(std::u16string_view path);

// name exists and is a folder (a link to a folder counts).
QN_API bool sIsADirectory(std::u16string_view name);
// The file system holding root lies on a fixed disk: not removable, not a
// network or memory file system.
QN_API bool Fixed_Drive(std::u16string_view root);
// The file system holding path lies on a device the kernel marks removable.
// False for memory, network and pseudo file systems, which have no such
// device.
QN_API bool RemovableDrive(std::u16string_view path);
// The mount point a drive letter stands for (see the header comment); empty
// when the drive is not present.
QN_API std::u16string DriveRootOfLetter(char16_t letter);
// c, upper-cased, names a drive that is present and whose size can be read.
QN_API bool ValidDrive(char c);
QN_API bool ValidDriveW(char16_t c);

// name contains "*" or "?".
QN_API bool FileNameHasWildCards(std::u16string_view name) noexcept;

// A new list (the caller owns it) holding folder and, with recurse, every
// folder below it that is not hidden, in pre-order (each folder's
// sub-folders in name order): folder + "/" + name, the name's letter case
// kept; trees deeper than a path can name are walked too. Links to folders are followed once (a link that
// leads back into the walk is not walked again). Yields at every entry.
QN_API std::unique_ptr<platform::TStringList> ListOfSubFolders(std::u16string_view folder,
                                                               bool recurse);

// Makes name a file name that does not exist yet: gives the name part a "."
// when it has none, then, while the file exists, replaces the extension by
// "_" + the next batch file number (at least three digits) + the extension.
// Always true.
QN_API bool ForcedToBeNewFile(std::u16string& name);
// The batch file start number: 0 at start, never below 0.
QN_API void SetBatchFileStartNumberTo(int32_t n) noexcept;
QN_API int32_t GetBatchFileStartNumber() noexcept;

// The system's text for the calling thread's last error (errno), at most 255
// code units.
QN_API std::u16string GetLastErrorString();

// The last-write time of the running program's file, and its date and year.
QN_API platform::TDateTime Compilation_DateTime();
QN_API std::u16string Compilation_Date();
QN_API std::u16string Compilation_Year();

// True when the volume of path has at least minimum bytes free, or the user
// chooses to go on although it has not; true as well when the volume cannot
// be asked; false for an empty path.
QN_API bool ProceedIfLittleDiskSpace(std::u16string_view path, int64_t minimum);

// True when no file name exists, else whether the user agrees to overwrite it.
QN_API bool OKToOverwrite(std::u16string_view name);
// The same; on Yes the file is first copied to name with the extension ".bak"
// (replacing an older copy). A failed copy is not reported.
QN_API bool OKToOverwriteWithBackup(std::u16string_view name);

// Copies source to dest through a temporary file in dest's folder renamed into
// place, so that dest holds either its old content or the whole copy. False
// when the copy could not be made (dest is then as it was). The temporary
// file is named and cleared as WriteFileSafely's (platform/Streams.h): one
// left by a copy that was killed goes at the next copy to the same name.
QN_API bool CopyFileReplacing(std::u16string_view source, std::u16string_view dest);
// The same from a file the caller opened (and still owns); false unless it is
// a regular file.
bool CopyOpenFileReplacing(int sourceFd, std::u16string_view dest);
// name with the extension of its name part replaced by ext (ext with its dot).
QN_API std::u16string ChangeFileExtension(std::u16string_view name, std::u16string_view ext);

// ---------------------------------------------------------------------------
// Strings and numbers.
// ---------------------------------------------------------------------------

// Doubles each "&" that has no "&" directly beside it, so that a menu or
// label shows it literally: a&b -> a&&b; a&&b and && stay; a& -> a&&.
QN_API std::u16string DoubleAnyAmpersands(std::u16string_view s);
// The last count code units of s (all of s when count >= its length; empty
// when count <= 0).
QN_API std::u16string Rightstr(std::u16string_view s, int32_t count);
// Attribute letters in the order r a s h d (read-only 1, archive 32, system
// 4, hidden 2, folder 16); empty when none is set.
QN_API std::u16string AttributesToStr(uint16_t attr);
QN_API std::u16string BooleanToStr(bool b);
// s equals _QNTrue without regard to case.
QN_API bool StrToBoolean(std::u16string_view s);

// x with thousand separators and exactly two decimals, no digit before the
// decimal separator when the integer part is 0 (0.5 -> ".50"); "*" when x
// cannot be formatted (not a finite number).
QN_API std::u16string RealToDecStr(double x, const platform::TFormatSettings& settings);
// n with thousand separators, every digit exact.
QN_API std::u16string IntToDecStr(int32_t n, const platform::TFormatSettings& settings);
QN_API std::u16string IntToDecStr(int64_t n, const platform::TFormatSettings& settings);
QN_API float Int64ToSingle(int64_t n) noexcept;

// Today as a whole day number.
QN_API int32_t TodayAsLongint();
// The time of day of t in seconds, rounded.
QN_API int32_t TodaysTimeInSeconds(platform::TDateTime t) noexcept;
// The seconds from t to now, rounded, whole days dropped.
QN_API int32_t SecondsElapsedSince(platform::TDateTime t);
// The same with a given "now" (for callers that hold one already).
QN_API int32_t SecondsElapsedBetween(platform::TDateTime t, platform::TDateTime now) noexcept;

// The first of the count code units from p that equals c; null when p is null
// or none matches.
QN_API const char16_t* StrLScanW(const char16_t* p, char16_t c, int32_t count) noexcept;
// Swaps the bytes of every code unit in place, up to the first zero unit.
QN_API void StrSwapByteOrder(char16_t* p) noexcept;

}  // namespace qn
