#include "platform/StringList.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"

// Interim bodies: the header is final; the implementation follows.
namespace qn::platform {

namespace {
[[noreturn]] void Pending() { throw Exception(std::string("string list: not built yet")); }
}  // namespace

std::u16string DecodeTextBytes(std::span<const uint8_t>, TTextEncoding*) { Pending(); }
std::u16string DecodeTextBytesAs(std::span<const uint8_t>, TTextEncoding) { Pending(); }
std::vector<uint8_t> EncodeTextBytes(std::u16string_view, TTextEncoding, bool) { Pending(); }

TStringList::TStringList() = default;
TStringList::TStringList(bool ownsObjects) : fOwnsObjects(ownsObjects) {}
TStringList::~TStringList() = default;
const std::u16string& TStringList::Get(int32_t) const { Pending(); }
void TStringList::Put(int32_t, std::u16string) { Pending(); }
TObject* TStringList::GetObject(int32_t) const { Pending(); }
void TStringList::PutObject(int32_t, TObject*) { Pending(); }
int32_t TStringList::Add(std::u16string) { Pending(); }
int32_t TStringList::AddObject(std::u16string, TObject*) { Pending(); }
void TStringList::AddStrings(const TStringList&) { Pending(); }
void TStringList::Insert(int32_t, std::u16string) { Pending(); }
void TStringList::InsertObject(int32_t, std::u16string, TObject*) { Pending(); }
void TStringList::Delete(int32_t) { Pending(); }
void TStringList::Clear() { fItems.clear(); }
void TStringList::Exchange(int32_t, int32_t) { Pending(); }
void TStringList::Move(int32_t, int32_t) { Pending(); }
void TStringList::Assign(const TStringList&) { Pending(); }
void TStringList::SetCapacity(int32_t) { Pending(); }
bool TStringList::Find(std::u16string_view, int32_t&) const { Pending(); }
int32_t TStringList::IndexOf(std::u16string_view) const { Pending(); }
int32_t TStringList::IndexOfObject(const TObject*) const { Pending(); }
int32_t TStringList::IndexOfName(std::u16string_view) const { Pending(); }
void TStringList::SetSorted(bool) { Pending(); }
void TStringList::SetCaseSensitive(bool) { Pending(); }
void TStringList::SetLocale(uint32_t) { Pending(); }
void TStringList::Sort() { Pending(); }
void TStringList::CustomSort(TStringListSortCompare) { Pending(); }
void TStringList::CustomSort(const std::function<int(int32_t, int32_t)>&) { Pending(); }
int TStringList::CompareStrings(std::u16string_view, std::u16string_view) const { Pending(); }
std::u16string TStringList::GetTextStr() const { Pending(); }
void TStringList::SetTextStr(std::u16string_view) { Pending(); }
std::u16string TStringList::DelimitedText() const { Pending(); }
void TStringList::SetDelimitedText(std::u16string_view) { Pending(); }
std::u16string TStringList::CommaText() const { Pending(); }
void TStringList::SetCommaText(std::u16string_view) { Pending(); }
std::u16string TStringList::Names(int32_t) const { Pending(); }
std::u16string TStringList::ValueFromIndex(int32_t) const { Pending(); }
void TStringList::SetValueFromIndex(int32_t, std::u16string_view) { Pending(); }
std::u16string TStringList::Values(std::u16string_view) const { Pending(); }
void TStringList::SetValue(std::u16string_view, std::u16string_view) { Pending(); }
void TStringList::LoadFromFile(std::u16string_view) { Pending(); }
void TStringList::LoadFromFile(std::string_view) { Pending(); }
void TStringList::LoadFromStream(TStream&) { Pending(); }
void TStringList::LoadFromFile(std::u16string_view, TTextEncoding) { Pending(); }
void TStringList::LoadFromStream(TStream&, TTextEncoding) { Pending(); }
void TStringList::SaveToFile(std::u16string_view) const { Pending(); }
void TStringList::SaveToFile(std::string_view) const { Pending(); }
void TStringList::SaveToFile(std::u16string_view, TTextEncoding) const { Pending(); }
void TStringList::SaveToStream(TStream&) const { Pending(); }
void TStringList::SaveToStream(TStream&, TTextEncoding) const { Pending(); }
void TStringList::CheckIndex(int32_t, bool) const { Pending(); }
void TStringList::InsertItem(int32_t, std::u16string, TObject*) { Pending(); }
void TStringList::QuickSort(int32_t, int32_t, const std::function<int(int32_t, int32_t)>&) { Pending(); }
void TStringList::DestroyObject(TObject* object) noexcept { delete object; }

}  // namespace qn::platform
