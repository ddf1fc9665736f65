#include "runtime1/files/PeruseDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/FolderListing.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"
#include "runtime1/files/Logging_utilities.h"
#include "runtime1/files/Zip_utils.h"

namespace qn {

namespace {

using platform::TFolderEntry;
using platform::TFolderListing;
using platform::TLinkPolicy;

constexpr char16_t kDelim = u'/';
// Number_Within_Zip is 1 + the entry index in 16 signed bits.
constexpr int32_t kLastZipEntryIndex = 32766;
// DateTime 8, Size 4, Attr 4, Number_Within_Zip 2, padding 2, string length 4.
constexpr int64_t kMinStoredRecord = 24;

std::string Sys(std::u16string_view name) { return platform::EncodedUTF8(name); }

std::u16string JoinWide(std::u16string_view folder, std::u16string_view name) {
  std::u16string out(folder);
  if (!out.empty() && out.back() != kDelim && out.back() != u'\\') out.push_back(kDelim);
  out.append(name);
  return out;
}

char16_t FoldAZ(char16_t c) noexcept { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

int CompareFolded(std::u16string_view a, std::u16string_view b) noexcept {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = FoldAZ(a[i]);
    const char16_t y = FoldAZ(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::u16string_view ExtensionOf(std::u16string_view name) noexcept {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return {};
  const size_t delim = name.find_last_of(u"/\\");
  if (delim != std::u16string_view::npos && delim > dot) return {};
  return name.substr(dot);
}

template <typename T>
int Order(T a, T b) noexcept {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Dates in a total order: a value that is not a number (only a damaged stream
// holds one) sorts before every date.
int OrderDates(double a, double b) noexcept {
  const bool aNaN = std::isnan(a);
  const bool bNaN = std::isnan(b);
  if (aNaN || bNaN) return aNaN == bNaN ? 0 : (aNaN ? -1 : 1);
  return Order(a, b);
}

int CompareByKey(TMySearchRecSort key, const TMySearchRec& a, const TMySearchRec& b) noexcept {
  switch (key) {
    case sr_sort_by_name:
      return CompareFolded(a.ShortName, b.ShortName);
    case sr_sort_by_date:
      return OrderDates(a.DateTime, b.DateTime);
    case sr_sort_by_size:
      return Order(a.Size, b.Size);
    case sr_sort_by_attr:
      return Order(a.Attr, b.Attr);
    case sr_sort_by_extension:
      return CompareFolded(ExtensionOf(a.ShortName), ExtensionOf(b.ShortName));
    case sr_sort_none:
      break;
  }
  return 0;
}

bool SameFile(const TMySearchRec& a, const TMySearchRec& b) noexcept {
  return a.Size == b.Size && a.DateTime == b.DateTime && a.ShortName == b.ShortName;
}

std::vector<std::u16string> SplitAtSemicolons(std::u16string_view text) {
  std::vector<std::u16string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(u';', start), text.size());
    pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

void Log(std::u16string_view text) {
  if (keeping_log) AddToLogFile(text);
}

}  // namespace

// ---------------------------------------------------------------------------
// TMySearchRecList

TMySearchRecList::TMySearchRecList()
    : TUsefulBaseList(ClassOf<TMySearchRecHolder, static_cast<int32_t>(kMinStoredRecord)>()) {}

TMySearchRecList::~TMySearchRecList() = default;

int32_t TMySearchRecList::AddRec(const TMySearchRec& rec) {
  fSort = sr_sort_none;
  return Add(new TMySearchRecHolder(rec));
}

void TMySearchRecList::Clear() {
  TUsefulBaseList::Clear();
  fSort = sr_sort_none;
}

const TMySearchRec* TMySearchRecList::Rec(int32_t index) const noexcept {
  if (index < 0 || index >= Count()) return nullptr;
  const auto* holder = static_cast<const TMySearchRecHolder*>(List()[index]);
  return holder == nullptr ? nullptr : &holder->data;
}

void TMySearchRecList::SetSort(TMySearchRecSort wanted) {
  if (wanted == fSort) return;
  fSort = wanted;
  if (wanted == sr_sort_none || Count() < 2) return;
  void** items = List();
  std::sort(items, items + Count(), [wanted](void* x, void* y) {
    // Empty slots go last.
    if (x == nullptr || y == nullptr) return x != nullptr && y == nullptr;
    return CompareByKey(wanted, static_cast<TMySearchRecHolder*>(x)->data,
                        static_cast<TMySearchRecHolder*>(y)->data) < 0;
  });
}

int32_t TMySearchRecList::LinearFind(const TMySearchRec& item) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const TMySearchRec* rec = Rec(i);
    if (rec != nullptr && SameFile(*rec, item)) return i;
  }
  return -1;
}

int32_t TMySearchRecList::Find(const TMySearchRec& item) {
  // Sorted by attribute, the same file may sit anywhere (attributes are not
  // part of "the same file"): linear, as for an unsorted list.
  if (fSort == sr_sort_none || fSort == sr_sort_by_attr) return LinearFind(item);
  int32_t low = 0;
  int32_t high = Count() - 1;
  while (low <= high) {
    MyYieldProcess();
    const int32_t mid = low + (high - low) / 2;
    const TMySearchRec* rec = Rec(mid);
    if (rec == nullptr) return LinearFind(item);
    const int order = CompareByKey(fSort, *rec, item);
    if (order == 0) {
      // Every record that can be the same file has this key, and records of
      // one key lie together: the first match of that run is the first match
      // of the whole list.
      int32_t first = mid;
      while (first > 0) {
        const TMySearchRec* before = Rec(first - 1);
        if (before == nullptr || CompareByKey(fSort, *before, item) != 0) break;
        --first;
      }
      for (int32_t i = first; i < Count(); ++i) {
        const TMySearchRec* candidate = Rec(i);
        if (candidate == nullptr || CompareByKey(fSort, *candidate, item) != 0) break;
        if (SameFile(*candidate, item)) return i;
      }
      return -1;
    }
    if (order < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
    }
  }
  return -1;
}

TMySearchRec TMySearchRecList::GetAMySearchRec(int32_t index) const {
  const TMySearchRec* rec = Rec(index);
  return rec == nullptr ? TMySearchRec{} : *rec;
}

bool TMySearchRecList::SaveToStream(platform::TStream& Stream) {
  const int32_t n = AssignedCount();
  platform::Put<int32_t>(Stream, n);
  for (int32_t i = 0; i < Count(); ++i) {
    const TMySearchRec* rec = Rec(i);
    if (rec == nullptr) continue;
    platform::Put<double>(Stream, rec->DateTime);
    platform::Put<int32_t>(Stream, rec->Size);
    platform::Put<int32_t>(Stream, rec->Attr);
    platform::Put<int16_t>(Stream, rec->Number_Within_Zip);
    platform::Put<uint16_t>(Stream, 0);
    WriteAString(Stream, rec->ShortName);
  }
  return true;
}

bool TMySearchRecList::ReadFromStream(platform::TStream& Stream) {
  const int32_t n = platform::Get<int32_t>(Stream);
  if (n < 0 || n > Stream.Remaining() / kMinStoredRecord) RaiseFileReadError("ReadFromStream");
  fSort = sr_sort_none;
  for (int32_t i = 0; i < n; ++i) {
    TMySearchRec rec;
    rec.DateTime = platform::Get<double>(Stream);
    rec.Size = platform::Get<int32_t>(Stream);
    rec.Attr = platform::Get<int32_t>(Stream);
    rec.Number_Within_Zip = platform::Get<int16_t>(Stream);
    platform::Get<uint16_t>(Stream);
    rec.ShortName = ReadAString(Stream);
    Add(new TMySearchRecHolder(std::move(rec)));
  }
  return true;
}

// ---------------------------------------------------------------------------
// TPeruseDir

TPeruseDir::TPeruseDir(std::u16string_view filemask, std::u16string_view dirmask, std::u16string_view zipmask,
                       std::u16string_view excluded_dirs_mask, std::u16string_view excluded_exts,
                       bool ACheckingMACOS_files, bool zips_too, bool aTreatZipsLikeAnyOtherFile,
                       bool AAcceptSystemFiles, bool AAcceptHiddenFiles)
    : fFilemaskStr(filemask),
      fZipExtension(u".zip"),
      fCheckingMACOS_files(ACheckingMACOS_files),
      fTreatZipsLikeAnyOtherFile(aTreatZipsLikeAnyOtherFile),
      fAcceptSystemFiles(AAcceptSystemFiles),
      fAcceptHiddenFiles(AAcceptHiddenFiles),
      fExamineZips(zips_too) {
  BuildAMask(fExtExcludeMasks, excluded_exts);
  BuildAMask(fDirExcludeMasks, excluded_dirs_mask);
  BuildAMask(fFilemasks, filemask);
  BuildAMask(fDirmasks, dirmask);
  BuildAMask(fZipMasks, zipmask);
  TMaskList folders;
  for (std::u16string mask : fDirExcludeMasks) {
    std::replace(mask.begin(), mask.end(), u'\\', kDelim);
    if (mask.empty()) continue;
    if (mask.front() == kDelim) {
      folders.push_back(mask);           // the full path as given
      folders.push_back(u"*" + mask);    // or any path ending in it
    } else if (mask.rfind(u"*/", 0) == 0) {
      folders.push_back(mask);
    } else {
      folders.push_back(u"*/" + mask);
    }
  }
  fDirExcludeMasks = std::move(folders);
}

TPeruseDir::~TPeruseDir() = default;

bool TPeruseDir::IsDot_UnderscoreFile(std::u16string_view name) const noexcept {
  return name.size() >= 2 && name[0] == u'.' && name[1] == u'_';
}

bool TPeruseDir::IsExcludedFolder(std::u16string_view path) const noexcept {
  return !fDirExcludeMasks.empty() && WhereInAMask(path, fDirExcludeMasks) >= 0;
}

bool TPeruseDir::HasExcludedExtension(std::u16string_view name) const noexcept {
  if (fExtExcludeMasks.empty()) return false;
  const std::u16string_view ext = ExtensionOf(name);
  return !ext.empty() && WhereInAMask(ext, fExtExcludeMasks) >= 0;
}

bool TPeruseDir::fIsAZipfile(std::u16string_view name) const {
  if (name.size() < 5) return false;
  std::u16string tail(name.substr(name.size() - 4));
  for (char16_t& c : tail) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return tail == fZipExtension;
}

void TPeruseDir::ProcessAllSubDirectories(std::u16string_view dir) {
  struct TChild {
    std::u16string Name;
    std::string SystemName;
    size_t Mask;  // the folder mask that found it: its own sub-folders are searched with it
    std::pair<uint64_t, uint64_t> Identity;  // device and inode, as the listing found them
  };
  struct TLevel {
    std::vector<TChild> Children;
    size_t Next = 0;
    size_t PathLength = 0;  // of the folder's own path
  };
  // One read of the folder, grouped by mask (one mask below the start).
  const auto search = [this](int folderFd, size_t onlyMask, bool allMasks) {
    MyYieldProcess();
    std::vector<TChild> children;
    if (folderFd < 0) return children;
    const TFolderListing listing = platform::ListFolderAt(folderFd, TLinkPolicy::Follow, false);
    std::vector<const TFolderEntry*> folders;
    for (const TFolderEntry& entry : listing.Entries) {
      if (entry.IsFolder() && (entry.Attr & platform::faHidden) == 0 && entry.Name.front() != u'.') {
        folders.push_back(&entry);
      }
    }
    const size_t first = allMasks ? 0 : onlyMask;
    const size_t last = allMasks ? fDirmasks.size() : onlyMask + 1;
    std::vector<bool> taken(folders.size(), false);
    for (size_t m = first; m < last && m < fDirmasks.size(); ++m) {
      for (size_t i = 0; i < folders.size(); ++i) {
        if (taken[i] || !platform::NameMatchesPiece(folders[i]->Name, fDirmasks[m])) continue;
        taken[i] = true;
        children.push_back({folders[i]->Name, folders[i]->SystemName, m, {folders[i]->Device, folders[i]->Inode}});
      }
    }
    return children;
  };

  // Each folder is opened relative to its parent: the depth of the tree
  // costs neither call stack nor path look-ups, and paths longer than the
  // system takes in one call are walked as well.
  platform::TFolderTrail trail;
  std::u16string path(dir);
  if (!trail.Start(Sys(path))) return;
  std::set<std::pair<uint64_t, uint64_t>> entered{{trail.Device(), trail.Inode()}};
  std::vector<TLevel> stack;
  stack.push_back({search(trail.Fd(), 0, true), 0, path.size()});
  fWalkTrail = &trail;
  while (!stack.empty() && fProcessing_files) {
    TLevel& level = stack.back();
    if (level.Next >= level.Children.size()) {
      stack.pop_back();
      if (stack.empty()) break;
      trail.Leave();
      path.resize(stack.back().PathLength);
      continue;
    }
    const TChild child = std::move(level.Children[level.Next++]);
    const size_t parentLength = path.size();
    path = JoinWide(path, child.Name);
    if (IsExcludedFolder(path) || !entered.insert(child.Identity).second) {
      path.resize(parentLength);
      continue;
    }
    ++fsubdir_counter;
    // Entered before it is reported, so that HandleAllFilesIn called from
    // OnFoundDir finds it open.
    const bool opened = trail.Enter(child.SystemName, true);
    fWalkPath = opened ? &path : nullptr;
    if (OnFoundDir.Assigned()) OnFoundDir(path);
    fWalkPath = nullptr;
    MyYieldProcess();
    if (!fProcessing_files) break;
    if (!opened) {
      path.resize(parentLength);
      continue;
    }
    std::vector<TChild> below = search(trail.Fd(), child.Mask, false);
    stack.push_back({std::move(below), 0, path.size()});
  }
  fWalkTrail = nullptr;
}

int TPeruseDir::OpenFolderOf(const std::u16string& folder) {
  // The folder the walk has just entered and reported.
  if (fWalkTrail != nullptr && fWalkPath != nullptr && *fWalkPath == folder && fWalkTrail->Fd() >= 0) {
    return ::openat(fWalkTrail->Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  const std::string system = Sys(folder);
  if (system.size() < PATH_MAX) return ::open(system.empty() ? "." : system.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // Too long to name in one call: from the folders of the last such call
  // that lie on the way (walks report folders one below another).
  if (fLongTrail == nullptr) fLongTrail = std::make_unique<platform::TFolderTrail>();
  if (!fLongTrail->MoveTo(system) || fLongTrail->Fd() < 0) {
    fLongTrail->Clear();
    return -1;
  }
  return ::openat(fLongTrail->Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void TPeruseDir::ZipProblem(std::u16string message) {
  fLastZipProblem = std::move(message);
  Log(fLastZipProblem);
  if (OnZipProblem.Assigned()) OnZipProblem(*this);
}

void TPeruseDir::EntryFailure(int32_t index, std::u16string_view name, std::u16string_view message) {
  ZipProblem(fCurrentZip + u": " + platform::IntToStr(index) + u" " + std::u16string(name) + u": " +
             std::u16string(message));
}

void TPeruseDir::AddAZip(TMySearchRecList* list, const std::u16string& folder, const std::u16string& zipname) {
  TZipForge zip;
  fCurrentZip = folder + zipname;
  zip.SetFileName(fCurrentZip);
  zip.SetOnProcessFileFailure(TZipProcessFileFailure::Bind<&TPeruseDir::EntryFailure>(this));
  zip.OpenArchive();
  if (OnZipStartReading.Assigned()) OnZipStartReading(fCurrentZip);
  ++fzips_examined;
  const int32_t count = zip.GetEntryCount();
  for (int32_t i = 0; i < count && fProcessing_files; ++i) {
    MyYieldProcess();
    if (OnZipReading.Assigned()) OnZipReading(i, count);
    const TZipDirItem item = zip.GetAZipMainDetail(i);
    const std::u16string& name = item.FileName;
    if (name.empty()) continue;
    // Folder entries are not texts.
    if (name.back() == u'/' || name.back() == u'\\' || (item.Attributes & zfa_Directory) != 0) continue;
    if (WhereInAMask(name, fZipMasks) < 0 || HasExcludedExtension(name)) continue;
    if (i > kLastZipEntryIndex) {
      ZipProblem(fCurrentZip + u": entries after number " + platform::IntToStr(kLastZipEntryIndex + 1) +
                 u" are not collected");
      break;
    }
    TMySearchRec rec;
    rec.ShortName = folder + zipname + kDelim + name;
    if (rec.ShortName.size() > static_cast<size_t>(global_string_safety_limit)) {
      ZipProblem(fCurrentZip + u": entry name too long: " + platform::IntToStr(i));
      continue;
    }
    ++ftotal_files_in_zips;
    rec.DateTime = item.DateTime;
    rec.Size = static_cast<int32_t>(static_cast<uint32_t>(item.UncompressedSize));
    rec.Attr = static_cast<int32_t>(item.Attributes);
    rec.Number_Within_Zip = static_cast<int16_t>(i + 1);
    if (OnCheckFileAcceptable.Assigned() && !OnCheckFileAcceptable(rec, true)) continue;
    if (list != nullptr) list->AddRec(rec);
  }
  if (OnDoneZipReading.Assigned()) OnDoneZipReading(fzips_examined);
  zip.CloseArchive();
}

bool TPeruseDir::HandleAllFilesIn(std::u16string_view dir, TMySearchRecList* ASearchRecList) {
  if (!fProcessing_files) return false;
  bool accepted = false;
  try {
    const std::u16string folder(dir);
    if (keeping_log) AddToLogFile(platform::Format(u"searching %s for %s", folder, fFilemaskStr));
    const std::vector<std::u16string> pieces = SplitAtSemicolons(fFilemaskStr);

    // One read of the folder for the archives and for every piece.
    std::u16string zipPiece;
    if (fExamineZips) {
      const size_t dot = fFilemaskStr.find(u'.');
      zipPiece = (dot == std::u16string::npos ? std::u16string(u"*") : fFilemaskStr.substr(0, dot)) + u".zip";
    }
    std::vector<std::u16string> described = pieces;
    if (!zipPiece.empty()) described.push_back(zipPiece);
    const TFolderListing listing =
        platform::ListFolderTaking(OpenFolderOf(folder), TLinkPolicy::Follow, true, &described);
    if (keeping_log) {
      for (const std::string& bytes : listing.SkippedNames) {
        AddToLogFile(platform::Format(u"ignoring %s (%d)", platform::DecodedUTF8(bytes), 0));
      }
      for (const std::u16string& broken : listing.BrokenLinks) {
        AddToLogFile(platform::Format(u"ignoring %s (%d)", broken, 0));
      }
    }
    const std::u16string folderWithDelim = JoinWide(folder, u"");

    if (fExamineZips) {
      for (const TFolderEntry& entry : listing.Entries) {
        if (!fProcessing_files) break;
        // Only regular files: opening a FIFO would block.
        if ((entry.Attr & (platform::faDirectory | platform::faSysFile)) != 0) continue;
        if (!platform::NameMatchesPiece(entry.Name, zipPiece)) continue;
        try {
          AddAZip(ASearchRecList, folderWithDelim, entry.Name);
        } catch (const Exception& error) {
          ZipProblem(folderWithDelim + entry.Name + u": " + error.MessageW());
        }
        MyYieldProcess();
      }
    }

    std::vector<bool> taken(listing.Entries.size(), false);
    for (const std::u16string& piece : pieces) {
      std::vector<size_t> matches;
      for (size_t i = 0; i < listing.Entries.size(); ++i) {
        if (!taken[i] && platform::NameMatchesPiece(listing.Entries[i].Name, piece)) matches.push_back(i);
      }
      if (matches.empty()) continue;
      if (!fProcessing_files) {
        Log(u"processing stopped");
        continue;
      }
      for (const size_t i : matches) {
        if (!fProcessing_files) break;
        taken[i] = true;
        const TFolderEntry& entry = listing.Entries[i];
        if (entry.IsFolder()) continue;
        const bool rejected = ((entry.Attr & platform::faSysFile) != 0 && !fAcceptSystemFiles) ||
                              ((entry.Attr & platform::faHidden) != 0 && !fAcceptHiddenFiles) ||
                              (fCheckingMACOS_files && IsDot_UnderscoreFile(entry.Name));
        if (rejected) {
          if (keeping_log) {
            AddToLogFile(platform::Format(u"ignoring %s (%d)", entry.Name, static_cast<int32_t>(entry.Attr)));
          }
          continue;
        }
        if (keeping_log) AddToLogFile(u"\t" + platform::Format(u"found %s", entry.Name));
        if (HasExcludedExtension(entry.Name)) continue;
        if (!fTreatZipsLikeAnyOtherFile && fIsAZipfile(entry.Name)) continue;
        TMySearchRec rec;
        rec.Size = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(entry.Size)));
        rec.Attr = static_cast<int32_t>(entry.Attr);
        rec.ShortName = entry.Name;
        rec.Number_Within_Zip = 0;
        rec.DateTime = entry.DateTime;
        if (OnCheckFileAcceptable.Assigned() && !OnCheckFileAcceptable(rec, false)) {
          if (keeping_log) {
            AddToLogFile(platform::Format(u"ignoring %s (%d)", entry.Name, static_cast<int32_t>(entry.Attr)));
          }
          continue;
        }
        accepted = true;
        if (ASearchRecList != nullptr) ASearchRecList->AddRec(rec);
        MyYieldProcess();
      }
    }
  } catch (const Exception&) {
    return false;
  } catch (const std::exception&) {
    return false;
  }
  return accepted;
}

// ---------------------------------------------------------------------------
// TFolderful

TFolderful::TFolderful(std::u16string_view ADirname)
    : fThisList(std::make_unique<TMySearchRecList>()), fDirname(JoinWide(ADirname, u"")) {}

TFolderful::~TFolderful() = default;

void TFolderful::Clear() { fThisList.reset(); }

bool TFolderful::FillList(TPeruseDir& walker) { return walker.HandleAllFilesIn(fDirname, fThisList.get()); }

int32_t TFolderful::Count() const noexcept {
  return fProcessing_files && fThisList != nullptr ? fThisList->Count() : 0;
}

bool TFolderful::Valid(int32_t index) const noexcept { return index >= 0 && index < Count(); }

std::u16string TFolderful::ShortName(int32_t index) const {
  return Valid(index) ? fThisList->GetAMySearchRec(index).ShortName : std::u16string();
}

std::u16string TFolderful::FullName(int32_t index) const {
  return Valid(index) ? fDirname + fThisList->GetAMySearchRec(index).ShortName : std::u16string();
}

void TFolderful::SetFullName(int32_t index, std::u16string_view newName) {
  if (!Valid(index)) return;
  auto* holder = static_cast<TMySearchRecHolder*>(fThisList->Items(index));
  if (holder == nullptr) return;
  const std::u16string oldName = fDirname + holder->data.ShortName;
  const std::string from = Sys(oldName);
  const std::string to = Sys(newName);
  // Never replaces a file already there.
  int result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    result = ::link(from.c_str(), to.c_str());
    if (result == 0 && ::unlink(from.c_str()) != 0) {
      ::unlink(to.c_str());
      result = -1;
    }
  }
  if (result != 0) throw Exception(platform::Format(u"cannot rename %s", oldName));
  const size_t delim = newName.find_last_of(u"/\\");
  holder->data.ShortName.assign(delim == std::u16string_view::npos ? newName : newName.substr(delim + 1));
}

TMySearchRec TFolderful::SearchRec(int32_t index) const {
  return Valid(index) ? fThisList->GetAMySearchRec(index) : TMySearchRec{};
}

TMySimpleSearchRec TFolderful::SimpleSearchRec(int32_t index) const {
  TMySimpleSearchRec simple;
  if (!Valid(index)) return simple;
  TMySearchRec rec = fThisList->GetAMySearchRec(index);
  simple.DateTime = rec.DateTime;
  simple.Size = rec.Size;
  simple.ShortName = std::move(rec.ShortName);
  return simple;
}

int64_t TFolderful::FileSize(int32_t index) const {
  return Valid(index) ? fThisList->GetAMySearchRec(index).Size : -1;
}

bool TFolderful::InAZip(int32_t index) const {
  return Valid(index) && fThisList->GetAMySearchRec(index).Number_Within_Zip > 0;
}

void TFolderful::SetCurrentSort(TMySearchRecSort value) {
  if (fThisList != nullptr) fThisList->SetSort(value);
  fSort = value;
}

bool TFolderful::SaveToStream(platform::TStream& Stream) {
  platform::Put<uint8_t>(Stream, static_cast<uint8_t>(fSort));
  platform::Put<int32_t>(Stream, fstarts);
  platform::Put<int32_t>(Stream, fends);
  platform::Put<int32_t>(Stream, fdirnum);
  WriteAString(Stream, fDirname);
  if (fThisList != nullptr) return fThisList->SaveToStream(Stream);
  platform::Put<int32_t>(Stream, 0);
  return true;
}

bool TFolderful::ReadFromStream(platform::TStream& Stream) {
  const uint8_t sort = platform::Get<uint8_t>(Stream);
  fSort = sort <= sr_sort_by_extension ? static_cast<TMySearchRecSort>(sort) : sr_sort_none;
  fstarts = platform::Get<int32_t>(Stream);
  fends = platform::Get<int32_t>(Stream);
  fdirnum = platform::Get<int32_t>(Stream);
  fDirname = ReadAString(Stream);
  if (fThisList == nullptr) {
    fThisList = std::make_unique<TMySearchRecList>();
  } else {
    fThisList->Clear();
  }
  return fThisList->ReadFromStream(Stream);
}

}  // namespace qn
