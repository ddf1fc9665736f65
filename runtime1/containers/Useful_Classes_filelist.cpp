#include "runtime1/containers/Useful_Classes_filelist.h"

#include <functional>
#include <utility>

#include "platform/CaseMapping.h"
#include "runtime1/containers/Useful_Classes.h"
#include "runtime1/text/My_string_functions_lists.h"

namespace qn {

namespace {

bool IsPathDelimiter(char16_t c) noexcept { return c == u'/' || c == u'\\'; }

// The folder part of a full name: up to and including its last delimiter
// (empty when it has none).
std::u16string_view FolderPart(std::u16string_view full) noexcept {
  for (size_t i = full.size(); i-- > 0;) {
    if (IsPathDelimiter(full[i])) return full.substr(0, i + 1);
  }
  return {};
}

// The key under which names match without regard to case: upper-cased, then
// lower-cased, so that letters with two upper forms meet too.
std::u16string Folded(std::u16string_view s) {
  std::u16string r(s);
  platform::UpperCaseInPlace(r.data(), r.size());
  platform::LowerCaseInPlace(r.data(), r.size());
  return r;
}

int32_t Lookup(const std::unordered_map<std::u16string, int32_t>& index, const std::u16string& key) {
  const auto it = index.find(key);
  return it == index.end() ? -1 : it->second;
}

}  // namespace

// ---------------------------------------------------------------------------

TMySimpleSearchRecHolderStringlist::TMySimpleSearchRecHolderStringlist() : TIndexCheckStringlist(true) {}
TMySimpleSearchRecHolderStringlist::~TMySimpleSearchRecHolderStringlist() = default;

TMySimpleSearchRecHolder* TMySimpleSearchRecHolderStringlist::Holder(int32_t index) const noexcept {
  if (!IndexAssignedOK(index)) return nullptr;
  return dynamic_cast<TMySimpleSearchRecHolder*>(GetObject(index));
}

std::u16string TMySimpleSearchRecHolderStringlist::Get(int32_t index) const {
  const TMySimpleSearchRecHolder* h = Holder(index);
  return h ? h->data.ShortName : std::u16string();
}

int32_t TMySimpleSearchRecHolderStringlist::GetAFolderNumber(int32_t index) const noexcept {
  const TMySimpleSearchRecHolder* h = Holder(index);
  return h ? h->data.folder_number : 0;
}

TMySimpleSearchRec TMySimpleSearchRecHolderStringlist::GetASimpleSearchRec(int32_t index) const {
  const TMySimpleSearchRecHolder* h = Holder(index);
  return h ? h->data : TMySimpleSearchRec{};
}

// ---------------------------------------------------------------------------

size_t TFolderEfficientFileStringlist::TFileKeyHash::operator()(const TFileKey& k) const noexcept {
  const size_t h = std::hash<std::u16string>{}(k.name);
  return h ^ (static_cast<size_t>(static_cast<uint32_t>(k.folder)) * 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2));
}

TFolderEfficientFileStringlist::TFolderEfficientFileStringlist() = default;
TFolderEfficientFileStringlist::~TFolderEfficientFileStringlist() = default;

void TFolderEfficientFileStringlist::Clear() {
  files.Clear();
  folders.Clear();
  fFoldersExact.clear();
  fFoldersFolded.clear();
  fNamesExact.clear();
  fNamesFolded.clear();
  fFilesExact.clear();
  fFilesFolded.clear();
  fFoldersFoldedValid = false;
  fFileIndexesValid = true;
  fFoldedFileIndexesValid = false;
}

int32_t TFolderEfficientFileStringlist::FolderIndexForAdding(std::u16string_view folder) {
  std::u16string key(folder);
  const auto found = fFoldersExact.find(key);
  if (found != fFoldersExact.end()) return found->second;
  const int32_t index = folders.Add(key);
  if (fFoldersFoldedValid) fFoldersFolded.emplace(Folded(key), index);
  fFoldersExact.emplace(std::move(key), index);
  return index;
}

void TFolderEfficientFileStringlist::EnsureFoldedFolderIndex() const {
  if (fFoldersFoldedValid) return;
  fFoldersFolded.clear();
  for (int32_t i = 0; i < folders.Count(); ++i) fFoldersFolded.emplace(Folded(folders[i]), i);
  fFoldersFoldedValid = true;
}

int32_t TFolderEfficientFileStringlist::FolderIndexOf(std::u16string_view folder) const {
  const std::u16string key(folder);
  const int32_t exact = Lookup(fFoldersExact, key);
  if (exact >= 0) return exact;
  EnsureFoldedFolderIndex();
  return Lookup(fFoldersFolded, Folded(key));
}

void TFolderEfficientFileStringlist::IndexFile(int32_t index) const {
  const std::u16string& name = files.platform::TStringList::Get(index);
  const int32_t folder = files.GetAFolderNumber(index);
  fNamesExact.emplace(name, index);
  fFilesExact.emplace(TFileKey{folder, name}, index);
  if (fFoldedFileIndexesValid) {
    std::u16string folded = Folded(name);
    fFilesFolded.emplace(TFileKey{folder, folded}, index);
    fNamesFolded.emplace(std::move(folded), index);
  }
}

void TFolderEfficientFileStringlist::EnsureFileIndexes() const {
  if (fFileIndexesValid) return;
  fNamesExact.clear();
  fFilesExact.clear();
  fFoldedFileIndexesValid = false;
  for (int32_t i = 0; i < files.Count(); ++i) IndexFile(i);
  fFileIndexesValid = true;
}

void TFolderEfficientFileStringlist::EnsureFoldedFileIndexes() const {
  EnsureFileIndexes();
  if (fFoldedFileIndexesValid) return;
  fNamesFolded.clear();
  fFilesFolded.clear();
  for (int32_t i = 0; i < files.Count(); ++i) {
    const std::u16string& name = files.platform::TStringList::Get(i);
    std::u16string folded = Folded(name);
    fFilesFolded.emplace(TFileKey{files.GetAFolderNumber(i), folded}, i);
    fNamesFolded.emplace(std::move(folded), i);
  }
  fFoldedFileIndexesValid = true;
}

int32_t TFolderEfficientFileStringlist::AddOne(std::u16string_view full) {
  TMySimpleSearchRec rec;
  rec.ShortName = BothSlashesExtractFilename(full);
  return AddOne(FolderIndexForAdding(FolderPart(full)), rec);
}

int32_t TFolderEfficientFileStringlist::AddOne(std::u16string_view afolder, const TMySimpleSearchRec& file_info) {
  return AddOne(FolderIndexForAdding(afolder), file_info);
}

int32_t TFolderEfficientFileStringlist::AddOne(int32_t known_foldernum, const TMySimpleSearchRec& file_info) {
  auto holder = std::make_unique<TMySimpleSearchRecHolder>(file_info);
  holder->data.folder_number = known_foldernum;
  const int32_t index = files.AddObject(holder->data.ShortName, holder.get());
  holder.release();
  if (fFileIndexesValid) IndexFile(index);
  return index;
}

void TFolderEfficientFileStringlist::Delete(int32_t index) {
  files.Delete(index);  // raises EListError for an invalid index
  fFileIndexesValid = false;
  fFoldedFileIndexesValid = false;
}

std::u16string TFolderEfficientFileStringlist::GetFullFilename(int32_t index) const {
  const TMySimpleSearchRecHolder* h = files.Holder(index);
  if (!h) return {};
  const int32_t f = h->data.folder_number;
  if (f < 0 || f >= folders.Count()) return h->data.ShortName;
  const std::u16string& folder = folders.Get(f);
  std::u16string full = folder;
  if (!folder.empty() && !IsPathDelimiter(folder.back())) {
    const bool backslashes =
        folder.find(u'\\') != std::u16string::npos && folder.find(u'/') == std::u16string::npos;
    full.push_back(backslashes ? u'\\' : u'/');
  }
  full += h->data.ShortName;
  return full;
}

void TFolderEfficientFileStringlist::SetFullFilename(int32_t index, std::u16string_view name) {
  if (!files.IndexAssignedOK(index)) return;
  files.Put(index, BothSlashesExtractFilename(name));
  fFileIndexesValid = false;
  fFoldedFileIndexesValid = false;
}

int32_t TFolderEfficientFileStringlist::IndexOfFullName(std::u16string_view aFullname) const {
  const int32_t folder = FolderIndexOf(FolderPart(aFullname));
  if (folder < 0) return -1;
  EnsureFileIndexes();
  TFileKey key{folder, BothSlashesExtractFilename(aFullname)};
  const auto exact = fFilesExact.find(key);
  if (exact != fFilesExact.end()) return exact->second;
  EnsureFoldedFileIndexes();
  key.name = Folded(key.name);
  const auto folded = fFilesFolded.find(key);
  return folded == fFilesFolded.end() ? -1 : folded->second;
}

int32_t TFolderEfficientFileStringlist::IndexOfShortName(std::u16string_view aShortname) const {
  EnsureFileIndexes();
  const std::u16string key(aShortname);
  const int32_t exact = Lookup(fNamesExact, key);
  if (exact >= 0) return exact;
  EnsureFoldedFileIndexes();
  return Lookup(fNamesFolded, Folded(key));
}

std::unique_ptr<platform::TStringList> TFolderEfficientFileStringlist::GetAsStringlist() const {
  auto list = std::make_unique<platform::TStringList>();
  list->SetCapacity(files.Count());
  for (int32_t i = 0; i < files.Count(); ++i) list->Add(GetFullFilename(i));
  return list;
}

void TFolderEfficientFileStringlist::DoASort(TMySimpleSearchRecSort how1, TMySimpleSearchRecSort how2,
                                             bool ascending) {
  sort_1 = how1;
  sort_2 = how2;
  const TMySimpleSearchRecSort second = how2 == how1 ? ss_none : how2;
  if (how1 == ss_none) return;
  const auto byKey = [](TMySimpleSearchRecSort how, const TMySimpleSearchRec& a,
                        const TMySimpleSearchRec& b) -> int32_t {
    switch (how) {
      case ss_date:
        return CompareDates(a.DateTime, b.DateTime);
      case ss_size:
        return CompareLongints(a.Size, b.Size);
      case ss_folder:
        return CompareLongints(a.folder_number, b.folder_number);
      case ss_shortname:
        return Compare2Strings(a.ShortName, b.ShortName);
      case ss_none:
        break;
    }
    return 0;
  };
  // Every object of files is a holder this class made.
  files.CustomSort([&](int32_t i, int32_t j) -> int {
    const TMySimpleSearchRec& a = static_cast<const TMySimpleSearchRecHolder*>(files.GetObject(i))->data;
    const TMySimpleSearchRec& b = static_cast<const TMySimpleSearchRecHolder*>(files.GetObject(j))->data;
    const int32_t c = byKey(how1, a, b);
    return c != 0 ? c : byKey(second, a, b);
  });
  if (!ascending) files.ReverseTheSort();
  fFileIndexesValid = false;
  fFoldedFileIndexesValid = false;
}

}  // namespace qn
