// Heading texts by number, and a small list that maps heading texts to the
// facts a tool needs about their columns.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Export.h"
#include "platform/Object.h"
#include "platform/StringList.h"

namespace qn {

// The heading text of a heading number, or the hint text of a hint number
// (the heading number + 32768), from the heading catalogue. Empty for any
// number the catalogue does not hold: below 100, negative, above 16 bits, a
// list type without columns of its own, a column past a list's last, a hint
// number of a column without a hint.
QN_API std::u16string WideHStringFromN(int32_t n);

struct THeaderInfoRec {
  bool is_numerical = false;
  int32_t original_Col_num = 0;

  friend constexpr bool operator==(const THeaderInfoRec&, const THeaderInfoRec&) = default;
};

// One THeaderInfoRec, as the object of a list entry.
class QN_API THeaderInfoHolder : public platform::TObject {
 public:
  explicit THeaderInfoHolder(const THeaderInfoRec& aRec);
  ~THeaderInfoHolder() override;

  THeaderInfoRec rec;
};

// Heading texts in the order added, each with a holder that the list owns and
// destroys with the entry or the list.
class QN_API THeaderInfoList : public platform::TStringList {
 public:
  THeaderInfoList();
  ~THeaderInfoList() override;

  // Appends the heading with a new holder of a copy of aREc; the new index.
  int32_t AddOne(std::u16string aHeading, const THeaderInfoRec& aREc);
  // Entry i's record; a record of zeros when i is outside the list.
  THeaderInfoRec GetAHeaderInfo(int32_t i) const noexcept;
};

}  // namespace qn
