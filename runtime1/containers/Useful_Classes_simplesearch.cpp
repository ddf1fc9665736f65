#include "runtime1/containers/Useful_Classes_simplesearch.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/CaseMapping.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "platform/YieldHook.h"
#include "runtime1/containers/Useful_Classes.h"
#include "runtime1/text/My_string_functions_words.h"

namespace qn {

namespace {

constexpr std::u16string_view kArrow = u" -> ";

const TSimpleSearchHolder* HolderAt(const TPointerList& list, int32_t i) noexcept {
  return static_cast<const TSimpleSearchHolder*>(static_cast<const platform::TObject*>(list.List()[i]));
}

}  // namespace

TSimpleSearchSettings DefaultSimpleSearchSettings() noexcept { return {1000, 200}; }

TSimpleSearchlist::TSimpleSearchlist(const TSimpleSearchSettings& aSettings) : Settings(aSettings) {}

TSimpleSearchlist::~TSimpleSearchlist() { TSimpleSearchlist::Clear(); }

void TSimpleSearchlist::Notify(void* item, TListNotification action) {
  if (action == TListNotification::lnDeleted && item != nullptr) delete static_cast<platform::TObject*>(item);
}

void TSimpleSearchlist::Clear() { TPointerList::Clear(); }

int32_t TSimpleSearchlist::AddOne(const TSimpleSearch_rec& r) {
  auto holder = std::make_unique<TSimpleSearchHolder>(r);
  const int32_t index = Add(static_cast<platform::TObject*>(holder.get()));
  holder.release();
  return index;
}

void TSimpleSearchlist::AddAll(const TSimpleSearchlist& other) {
  Settings = other.Settings;
  const int32_t n = other.Count();  // fixed first: other may be this list
  Reserve(Count() + n);
  for (int32_t i = 0; i < n; ++i) {
    if (other.IndexAssignedOK(i)) AddOne(TSimpleSearch_rec(HolderAt(other, i)->data));
  }
}

TSimpleSearch_rec TSimpleSearchlist::GetAValue(int32_t i) const {
  return IndexAssignedOK(i) ? HolderAt(*this, i)->data : TSimpleSearch_rec{};
}

std::u16string TSimpleSearchlist::GetATypedInSW(int32_t i) const {
  if (!IndexAssignedOK(i)) return {};
  const TSimpleSearch_rec& r = HolderAt(*this, i)->data;
  return SWStringPlusFlags(r.seek, r.flags);
}

std::u16string TSimpleSearchlist::AsText(std::u16string_view separator) const {
  std::u16string text;
  for (int32_t i = 0; i < Count(); ++i) {
    if (i > 0) text += separator;
    if (IndexAssignedOK(i)) text += HolderAt(*this, i)->data.seek;
  }
  return text;
}

void TSimpleSearchlist::AddItem(std::u16string_view item, bool require_equals_sign) {
  TSimpleSearch_rec r;
  r.seek = require_equals_sign ? platform::UpperCased(KeyOfKeyPlusValue(item)) : std::u16string(item);
  r.flags = FlagsFromSW(r.seek);
  if (!r.flags.Contains(myCaseIsSensitive)) r.seek = platform::UpperCased(r.seek);
  r.n_wanted = std::max<int32_t>(1, ValueOfKeyPlusValue(item));
  AddOne(r);
}

void TSimpleSearchlist::AddLine(std::u16string_view line, bool require_equals_sign) {
  // The next " -> " is remembered, not searched for again from every item:
  // a long line of commas would otherwise be scanned once per item.
  size_t arrow = line.find(kArrow);
  size_t start = 0;
  for (;;) {
    if (arrow != std::u16string_view::npos && arrow < start) arrow = line.find(kArrow, start);
    if (arrow != std::u16string_view::npos) {
      AddItem(WideTrimSpaceOnly(line.substr(start, arrow - start)), require_equals_sign);
      start = arrow + kArrow.size();
    }
    const size_t comma = line.find(u',', start);
    if (comma == std::u16string_view::npos) {
      AddItem(WideTrimSpaceOnly(line.substr(start)), require_equals_sign);
      return;
    }
    AddItem(WideTrimSpaceOnly(line.substr(start, comma - start)), require_equals_sign);
    start = comma + 1;
  }
}

void TSimpleSearchlist::AddLines(const platform::TStringList& lines, bool require_equals_sign) {
  for (int32_t i = 0; i < lines.Count(); ++i) {
    MyYieldProcess();
    const std::u16string& line = lines[i];
    if (line.empty() || line.front() == u';' || line.starts_with(u"//")) continue;
    AddLine(line, require_equals_sign);
  }
}

void TSimpleSearchlist::LoadFromStream(platform::TStream& stream, bool require_equals_sign) {
  Clear();
  platform::TStringList lines;
  lines.LoadFromStream(stream);
  AddLines(lines, require_equals_sign);
}

bool TSimpleSearchlist::LoadFromFile(std::u16string_view f, bool require_equals_sign) {
  Clear();
  std::error_code error;
  if (f.empty() || !std::filesystem::is_regular_file(platform::FileNameToUtf8(f), error)) return false;
  platform::TStringList lines;
  lines.LoadFromFile(f);
  AddLines(lines, require_equals_sign);
  return true;
}

}  // namespace qn
