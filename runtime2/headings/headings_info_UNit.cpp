#include "runtime2/headings/headings_info_UNit.h"

#include <memory>
#include <span>
#include <utility>

#include "runtime2/headings/base_heading_consts.h"

namespace qn {

std::u16string WideHStringFromN(int32_t n) {
  if (n < 0 || n > 0xFFFF) return {};
  const bool isHint = (n & kHintNumberBit) != 0;
  const int32_t headingNumber = n & ~kHintNumberBit;
  if (headingNumber < 100) return {};
  const std::span<const THeadingCatalogueRow> rows = HeadingRowsOf(headingNumber / 100 - 1);
  const size_t column = static_cast<size_t>(headingNumber % 100);
  if (column >= rows.size()) return {};
  return std::u16string(isHint ? rows[column].hint : rows[column].heading);
}

THeaderInfoHolder::THeaderInfoHolder(const THeaderInfoRec& aRec) : rec(aRec) {}

THeaderInfoHolder::~THeaderInfoHolder() = default;

THeaderInfoList::THeaderInfoList() : platform::TStringList(true) {}

THeaderInfoList::~THeaderInfoList() = default;

int32_t THeaderInfoList::AddOne(std::u16string aHeading, const THeaderInfoRec& aREc) {
  auto holder = std::make_unique<THeaderInfoHolder>(aREc);
  const int32_t index = AddObject(std::move(aHeading), holder.get());
  holder.release();
  return index;
}

THeaderInfoRec THeaderInfoList::GetAHeaderInfo(int32_t i) const noexcept {
  if (i < 0 || i >= Count()) return {};
  const auto* holder = dynamic_cast<const THeaderInfoHolder*>(GetObject(i));
  return holder != nullptr ? holder->rec : THeaderInfoRec{};
}

}  // namespace qn
