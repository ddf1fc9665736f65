#include "runtime2/headings/base_heading_consts.h"

namespace qn {

namespace {

// Each list type's rows are its columns 0, 1, 2, ... without gap or repeat, so
// a column number indexes HeadingRowsOf directly; every column has a heading,
// column 0 is "N", and every column number fits below the next list's 100.
constexpr bool CatalogueIsWellFormed() {
  for (int t = 0; t < kListTypeCount; ++t) {
    const std::span<const THeadingCatalogueRow> rows = HeadingRowsOf(t);
    if (rows.size() > 100) return false;
    for (size_t c = 0; c < rows.size(); ++c) {
      if (rows[c].list != t || rows[c].column != c || rows[c].heading.empty()) return false;
    }
    if (!rows.empty() && rows[0].heading != u"N") return false;
  }
  return HeadingRowsOf(lt_statistics_list)[77].heading == u"50-letter words" &&
         HeadingRowsOf(lt_statistics_list)[28].heading == u"1-letter words";
}
static_assert(CatalogueIsWellFormed());

}  // namespace

}  // namespace qn
