// The record that describes one column of a list's grid, and the small
// enumerations it carries. The headings catalogue builds every list type's
// default columns from it; the settings readers fill it from the older stored
// column layouts.
//
// Every enumeration here is byte-sized and its first row is 0, so a record
// that is value-initialised (or zero-filled, as the readers start) holds the
// first row of each, empty typefaces, empty texts and zero numbers. Rows are
// stored as their ordinals and are never reordered.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "runtime1/definitions/My_types_mini.h"
#include "runtime1/text/My_string_functions_words.h"

namespace qn {

// How a column's cells are laid out.
enum TQNAlignment : uint8_t {
  centre_aligned,
  default_aligned,
  right_aligned,
  decimal_aligned,
  plotting_aligned,  // the cell holds a plot drawn across it
  spare_aligned,
  conc_aligned,  // concordance lines: the search word kept in the middle
  spare2_aligned,
};
inline constexpr int kQNAlignmentCount = 8;

// Whether users may edit a column's cells, and how the edit is cased.
enum editable_type : uint8_t {
  nao_pode,   // not editable
  maiusc,     // editable, upper-cased
  minusc,     // editable, lower-cased
  tanto_faz,  // editable as typed
};
inline constexpr int kEditableTypeCount = 4;

// A Boolean that may not be known yet (a column's sort direction before it was
// first sorted).
enum TtriBool : uint8_t { quem_sabe, falso, verdadeiro };
inline constexpr int kTriBoolCount = 3;

// The stretch of a concordance line a column takes its words from. Only the
// row that the older column layouts map to has a name of its own; the others
// are stored numbers that the concordancer interprets, and any byte is kept.
enum TConcordance_span_type : uint8_t {
  span_first = 0,
  span_R51 = 101,
};

// What an extra (computed) column holds.
enum TQNColumnType : uint8_t { tnc_parsed_float, tnc_extra_set, tnc_relative_entropy, tnc_other };
inline constexpr int kQNColumnTypeCount = 4;

// Descriptive data a tool keeps with a column, carried as an opaque block:
// the libraries only copy it (the older 60-byte column layout holds the same
// 20 bytes at its end).
struct TGridColumnDataRec32 {
  static constexpr size_t kSize = 20;
  std::array<uint8_t, kSize> bytes{};

  friend constexpr bool operator==(const TGridColumnDataRec32&, const TGridColumnDataRec32&) = default;
};

// One column of a grid. A value-initialised record is the zero record: first
// rows, no typefaces, no flags, zero numbers, empty texts.
struct grid_head_type32 {
  TQNAlignment alignment = centre_aligned;
  TTypefaceSet typefaces;
  editable_type editable = nao_pode;
  float minimum = 0.0f;  // values below it are shown blank
  uint8_t decimals = 0;
  TColor vestigial_TextColour = 0;
  TColor user_specified_background = 0;
  bool allow_case_change = false;
  bool extra_computed = false;
  bool numerical = false;
  bool heading_visible = false;
  int16_t original_column = 0;  // the column's index in its list type's standard layout
  int16_t pixel_width96 = 0;    // width in pixels at 96 dots per inch
  TOutput_results_case output_case = upper_case_output;
  bool SpareB4 = false;
  bool may_have_old_data_unsafe = false;
  uint8_t previous_decimals = 0;
  bool wordwrap = false;
  bool has_custom_heading = false;
  bool percent_data = false;
  uint8_t version = 0;
  int32_t HelpContext = 0;          // help-topic number
  int32_t localization_number = 0;  // heading number of the column's text
  TGridColumnDataRec32 column_data;
  TTimeLinePlotbase timeline_basis = tlpb_unknown;
  bool timelinerounded = false;
  TtriBool SortStateAscending = quem_sabe;
  bool has_custom_colours = false;
  TConcordance_span_type span = span_first;
  uint8_t spare_span = 0;
  TQNColumnType extra_column_type = tnc_parsed_float;
  uint8_t spare_extra_col = 0;
  bool has_layout_changed_background = false;
  bool has_layout_changed_foreground = false;
  bool show_special_colour = false;
  std::array<bool, 4> spareBools{};
  TColor show_as_percent_colour = 0;
  TColor special_colour = 0;
  int32_t spare = 0;
  std::u16string hint;
  std::u16string heading;

  friend bool operator==(const grid_head_type32&, const grid_head_type32&) = default;
};

}  // namespace qn
