// The catalogue of the suite's column headings: the numbering of every column
// of every list type, and the default-language heading and hint texts, widths,
// display codes and help topics behind the numbers.
//
// Numbering: column c (0-based) of a list of type t has the heading number
// (t + 1) * 100 + c; the hint of that column has the same number with bit 15
// set (+ 32768). Column 0 of every list is the running number "N".
//
// Every text lives once, in HeadingCatalogue below; the default column records
// of Base_HeadingsU and the number-to-text look-up of headings_info_UNit are
// both made from it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime1/definitions/My_types_mini.h"

namespace qn {

// ---------------------------------------------------------------------------
// The columns of each list type, in column order.
// ---------------------------------------------------------------------------

// Columns of a list of type lt_word_list.
enum THeaderNumWord_list : uint8_t {
  W_hn_N00,
  W_hn_Word01,
  W_hn_Freq02,
  W_hn_pc03,
  W_hn_Texts04,
  W_hn_pc05,
  W_hn_Dispersion06,
  W_hn_Lemmas07,
  W_hn_Set08,
};

// Columns of a list of type lt_keyword_list.
enum THeaderNumKey_word_list : uint8_t {
  K_hn_N10,
  K_hn_Keyword11,
  K_hn_Freq12,
  K_hn_pc13,
  K_hn_Texts14,
  K_hn_RCFreq15,
  K_hn_RCpc16,
  K_hn_BIC17,
  K_hn_LogL18,
  K_hn_LogR19,
  K_hn_P110,
  K_hn_Lemmas111,
  K_hn_Set112,
};

// Columns of a list of type lt_KW_database_list.
enum THeaderNumSalientor_Database : uint8_t {
  KD_hn_N20,
  KD_hn_KW21,
  KD_hn_Texts22,
  KD_hn_pc23,
  KD_hn_OverallFreq24,
  KD_hn_NoAss25,
  KD_hn_Associates26,
  KD_hn_Set27,
};

// Columns of a list of type lt_detailed_consistency_relations_list.
enum THeaderNumDetailed_Consistency_Relations_List : uint8_t {
  DCRL_hn_N30,
  DCRL_hn_File31,
  DCRL_hn_Count32,
  DCRL_hn_File33,
  DCRL_hn_Count34,
  DCRL_hn_Joint35,
  DCRL_hn_Relation36,
  DCRL_hn_Set37,
};

// Columns of a list of type lt_detailed_consistency_list.
enum THeaderNumDetailed_Consistency_List : uint8_t {
  DCL_hn_N40,
  DCL_hn_Word41,
  DCL_hn_Total42,
  DCL_hn_Texts43,
  DCL_hn_NoofLemmas44,
  DCL_hn_Set45,
};

// Columns of a list of type lt_collocate_list.
enum THeaderNumCollocate_List : uint8_t {
  CL_hn_N50,
  CL_hn_Word51,
  CL_hn_With52,
  CL_hn_Dice53,
  CL_hn_MI54,
  CL_hn_MI55,
  CL_hn_Z56,
  CL_hn_LogL57,
  CL_hn_T58,
  CL_hn_LogR59,
  CL_hn_Set510,
  CL_hn_Texts511,
  CL_hn_Total512,
  CL_hn_TotalLeft513,
  CL_hn_TotalRight514,
};

// Columns of a list of type lt_KWs_as_word_list.
enum THeaderNumSalientor_as_Tallier : uint8_t {
  KWWL_hn_N60,
  KWWL_hn_Word61,
  KWWL_hn_Freq62,
  KWWL_hn_pc63,
  KWWL_hn_Texts64,
  KWWL_hn_pc65,
  KWWL_hn_Dispersion66,
  KWWL_hn_Lemmas67,
  KWWL_hn_Set68,
};

// Columns of a list of type lt_KWDB_as_word_list.
enum THeaderNumKWDBase_as_Tallier : uint8_t {
  KWDBWL_hn_N70,
  KWDBWL_hn_Word71,
  KWDBWL_hn_Freq72,
  KWDBWL_hn_pc73,
  KWDBWL_hn_Texts74,
  KWDBWL_hn_pc75,
  KWDBWL_hn_Dispersion76,
  KWDBWL_hn_Lemmas77,
  KWDBWL_hn_Set78,
};

// Columns of a list of type lt_associates_as_word_list.
enum THeaderNumAssociates_as_Tallier : uint8_t {
  AWL_hn_N80,
  AWL_hn_Word81,
  AWL_hn_Freq82,
  AWL_hn_pc83,
  AWL_hn_Texts84,
  AWL_hn_pc85,
  AWL_hn_Dispersion86,
  AWL_hn_Lemmas87,
  AWL_hn_Set88,
};

// Columns of a list of type lt_clumps_as_word_list.
enum THeaderNumClumps_as_Tallier : uint8_t {
  CWL_hn_N90,
  CWL_hn_Word91,
  CWL_hn_Freq92,
  CWL_hn_pc93,
  CWL_hn_Texts94,
  CWL_hn_pc95,
  CWL_hn_Dispersion96,
  CWL_hn_Lemmas97,
  CWL_hn_Set98,
};

// Columns of a list of type lt_concordance_list.
enum THeaderNumConcordance_list : uint8_t {
  C_hn_N100,
  C_hn_Concordance101,
  C_hn_Set102,
  C_hn_Tag103,
  C_hn_Word104,
  C_hn_Sent105,
  C_hn_SentPos106,
  C_hn_Para107,
  C_hn_ParaPos108,
  C_hn_Head109,
  C_hn_HeadPos1010,
  C_hn_Sect1011,
  C_hn_SectPos1012,
  C_hn_File1013,
  C_hn_Date1014,
  C_hn_pc1015,
};

// Columns of a list of type lt_KW_plot_list.
enum THeaderNumSalientor_Plot_list : uint8_t {
  KWP_hn_N110,
  KWP_hn_Keyword111,
  KWP_hn_Dispersion112,
  KWP_hn_Keyness113,
  KWP_hn_Linktokens114,
  KWP_hn_Hits115,
  KWP_hn_Plot116,
};

// Columns of a list of type lt_concordance_plot_list.
enum THeaderNumConcordance_Plot_list : uint8_t {
  CP_hn_N120,
  CP_hn_File121,
  CP_hn_Words122,
  CP_hn_Hits123,
  CP_hn_per124,
  CP_hn_Dispersion125,
  CP_hn_Plot126,
};

// Columns of a list of type lt_concordance_cluster_list.
enum THeaderNumConcordance_Cluster_List : uint8_t {
  CCL_hn_N130,
  CCL_hn_Cluster131,
  CCL_hn_Freq132,
  CCL_hn_Set133,
  CCL_hn_Length134,
  CCL_hn_Related135,
};

// Columns of a list of type lt_concordance_pattern_list.
enum THeaderNumConcordance_Pattern_List : uint8_t {
  CPL_hn_N140,
  CPL_hn_L141,
  CPL_hn_L142,
  CPL_hn_L143,
  CPL_hn_L144,
  CPL_hn_L145,
  CPL_hn_Centre146,
  CPL_hn_R147,
  CPL_hn_R148,
  CPL_hn_R149,
  CPL_hn_R1410,
  CPL_hn_R1411,
};

// Columns of a list of type lt_associate_list.
enum THeaderNumAssociate_List : uint8_t {
  AL_hn_N150,
  AL_hn_Associate151,
  AL_hn_Strength152,
  AL_hn_Texts153,
  AL_hn_pc154,
  AL_hn_Set155,
};

// Columns of a list of type lt_filename_list.
enum THeaderNumFilename_List : uint8_t {
  FL_hn_N170,
  FL_hn_Filename171,
};

// Columns of a list of type lt_link_list.
enum THeaderNumLink_List : uint8_t {
  LL_hn_N180,
  LL_hn_Keyword181,
  LL_hn_Linktypes182,
  LL_hn_Hits183,
  LL_hn_LinkedKWs184,
};

// Columns of a list of type lt_statistics_list.
enum THeaderNumStatistics_List : uint8_t {
  SL_hn_N190,
  SL_hn_textfile191,
  SL_hn_filesize192,
  SL_hn_tokensrunningwordsintext193,
  SL_hn_tokensusedforwordlist194,
  SL_hn_sumofentries195,
  SL_hn_typesdistinctwords196,
  SL_hn_typetokenratioTTR197,
  SL_hn_standardisedTTR198,
  SL_hn_STTRstddev199,
  SL_hn_STTRbasis1910,
  SL_hn_meanwordlengthincharacters1911,
  SL_hn_wordlengthstddev1912,
  SL_hn_sentences1913,
  SL_hn_meaninwords1914,
  SL_hn_stddev1915,
  SL_hn_paragraphs1916,
  SL_hn_meaninwords1917,
  SL_hn_stddev1918,
  SL_hn_headings1919,
  SL_hn_meaninwords1920,
  SL_hn_stddev1921,
  SL_hn_sections1922,
  SL_hn_meaninwords1923,
  SL_hn_stddev1924,
  SL_hn_numbersremoved1925,
  SL_hn_stoplisttokensremoved1926,
  SL_hn_stoplisttypesremoved1927,
  SL_hn_letterwords1928,
  SL_hn_letterwords1929,
  SL_hn_letterwords1930,
  SL_hn_letterwords1931,
  SL_hn_letterwords1932,
  SL_hn_letterwords1933,
  SL_hn_letterwords1934,
  SL_hn_letterwords1935,
  SL_hn_letterwords1936,
  SL_hn_letterwords1937,
  SL_hn_letterwords1938,
  SL_hn_letterwords1939,
  SL_hn_letterwords1940,
  SL_hn_letterwords1941,
  SL_hn_letterwords1942,
  SL_hn_letterwords1943,
  SL_hn_letterwords1944,
  SL_hn_letterwords1945,
  SL_hn_letterwords1946,
  SL_hn_letterwords1947,
  SL_hn_letterwords1948,
  SL_hn_letterwords1949,
  SL_hn_letterwords1950,
  SL_hn_letterwords1951,
  SL_hn_letterwords1952,
  SL_hn_letterwords1953,
  SL_hn_letterwords1954,
  SL_hn_letterwords1955,
  SL_hn_letterwords1956,
  SL_hn_letterwords1957,
  SL_hn_letterwords1958,
  SL_hn_letterwords1959,
  SL_hn_letterwords1960,
  SL_hn_letterwords1961,
  SL_hn_letterwords1962,
  SL_hn_letterwords1963,
  SL_hn_letterwords1964,
  SL_hn_letterwords1965,
  SL_hn_letterwords1966,
  SL_hn_letterwords1967,
  SL_hn_letterwords1968,
  SL_hn_letterwords1969,
  SL_hn_letterwords1970,
  SL_hn_letterwords1971,
  SL_hn_letterwords1972,
  SL_hn_letterwords1973,
  SL_hn_letterwords1974,
  SL_hn_letterwords1975,
  SL_hn_letterwords1976,
  SL_hn_letterwords1977,
};

// Columns of a list of type lt_timeline_list.
enum THeaderNumTimeline_List : uint8_t {
  TL_hn_N200,
  TL_hn_File201,
  TL_hn_Words202,
  TL_hn_Hits203,
  TL_hn_per204,
  TL_hn_Spread205,
  TL_hn_Timeline206,
};

// Columns of a list of type lt_aligner_list.
enum THeaderNumAligner_List : uint8_t {
  AL_hn_N210,
  AL_hn_Sentences211,
  AL_hn_Paragraphs212,
};

// Columns of a list of type lt_aligner_plaintext_list.
enum THeaderNumText_List : uint8_t {
  TL_hn_N220,
  TL_hn_Text221,
};

// Columns of a list of type lt_wordlist_index_list.
enum THeaderNumTallier_Index_List : uint8_t {
  WIL_hn_N230,
  WIL_hn_Word231,
  WIL_hn_Freq232,
  WIL_hn_pc233,
  WIL_hn_Texts234,
  WIL_hn_pc235,
  WIL_hn_Dispersion236,
  WIL_hn_Lemmas237,
  WIL_hn_Set238,
};

// Columns of a list of type lt_kw_cluster_list.
enum THeaderNumSalientor_Cluster_list : uint8_t {
  KWC_hn_N240,
  KWC_hn_KWCluster241,
  KWC_hn_Freq242,
};

// Columns of a list of type lt_relationship_list.
enum THeaderNumMutual_Information_List : uint8_t {
  MIL_hn_N280,
  MIL_hn_Word281,
  MIL_hn_Freq282,
  MIL_hn_Word283,
  MIL_hn_Freq284,
  MIL_hn_Texts285,
  MIL_hn_Gap286,
  MIL_hn_Joint287,
  MIL_hn_MI288,
  MIL_hn_Z289,
  MIL_hn_MI2810,
  MIL_hn_LogL2811,
  MIL_hn_TScore2812,
  MIL_hn_Dice2813,
  MIL_hn_LogRatio2814,
  MIL_hn_Set2815,
};

// Columns of a list of type lt_chargram_list.
enum THeaderNumChargram_List : uint8_t {
  CL_hn_N330,
  CL_hn_Chargram331,
  CL_hn_Position332,
  CL_hn_Freq333,
  CL_hn_Length334,
  CL_hn_Texts335,
  CL_hn_pc336,
  CL_hn_Contexts337,
  CL_hn_Set338,
};
// ---------------------------------------------------------------------------
// The catalogue.
// ---------------------------------------------------------------------------

// Bit 15 of a heading number marks the hint of that column.
inline constexpr int32_t kHintNumberBit = 0x8000;

// The heading number of column c of list type t (no check of either).
inline constexpr int32_t HeadingNumber(list_type t, int32_t column) noexcept {
  return (static_cast<int32_t>(t) + 1) * 100 + column;
}

// How a column departs from the default column record (codes combined with |).
enum THeadingCode : uint16_t {
  hc_E = 1 << 0,        // editable as typed (tanto_faz)
  hc_N = 1 << 1,        // numerical
  hc_P = 1 << 2,        // percent data
  hc_D2 = 1 << 3,       // 2 decimals
  hc_D3 = 1 << 4,       // 3 decimals
  hc_D10 = 1 << 5,      // 10 decimals
  hc_Mplus = 1 << 6,    // minimum 0.01
  hc_Mminus = 1 << 7,   // minimum -9999999.0
  hc_L = 1 << 8,        // shown lower-cased
  hc_U = 1 << 9,        // shown upper-cased
  hc_W = 1 << 10,       // word-wrapped
  hc_C = 1 << 11,       // concordance-aligned
  hc_G = 1 << 12,       // plotting-aligned
  hc_F = 1 << 13,       // default-aligned
};

// One column of one list type.
struct THeadingCatalogueRow {
  list_type list = lt_word_list;
  uint8_t column = 0;
  std::u16string_view heading;
  std::u16string_view hint;  // empty: the column has no hint
  int16_t width = 0;         // pixels at 96 dots per inch
  uint16_t codes = 0;        // THeadingCode bits
  int32_t help = 0;          // help-topic number
};

namespace heading_detail {

// "1-letter words" to "50-letter words": the statistics list's columns 28 to 77.
inline constexpr int kFirstLetterWordsColumn = 28;
inline constexpr int kLetterWordsColumns = 50;
inline constexpr std::u16string_view kLetterWordsSuffix = u"-letter words";

struct TLetterWordsText {
  std::array<char16_t, 16> units{};
  size_t length = 0;
};

inline constexpr std::array<TLetterWordsText, kLetterWordsColumns> kLetterWordsTexts = [] {
  std::array<TLetterWordsText, kLetterWordsColumns> texts{};
  for (int letters = 1; letters <= kLetterWordsColumns; ++letters) {
    TLetterWordsText& t = texts[letters - 1];
    if (letters >= 10) t.units[t.length++] = static_cast<char16_t>(u'0' + letters / 10);
    t.units[t.length++] = static_cast<char16_t>(u'0' + letters % 10);
    for (char16_t c : kLetterWordsSuffix) t.units[t.length++] = c;
  }
  return texts;
}();

// Every column whose text is written out; the letter-word columns are added
// to these by HeadingCatalogue.
inline constexpr THeadingCatalogueRow kWrittenRows[] = {
    // lt_word_list
    {lt_word_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_word_list, 1, u"Word", u"", 144, hc_E, 4560},
    {lt_word_list, 2, u"Freq.", u"frequency", 48, hc_E | hc_N, 4560},
    {lt_word_list, 3, u"%", u"% of running words", 48, hc_N | hc_P | hc_D2 | hc_Mplus, 4560},
    {lt_word_list, 4, u"Texts", u"number of texts", 48, hc_E | hc_N, 2770},
    {lt_word_list, 5, u"%", u"% of texts", 48, hc_N | hc_P | hc_D2 | hc_Mplus, 2770},
    {lt_word_list, 6, u"Dispersion", u"Dispersion", 48, hc_N | hc_P | hc_D2, 2770},
    {lt_word_list, 7, u"Lemmas", u"joined words", 48, hc_L, 2790},
    {lt_word_list, 8, u"Set", u"user-defined class", 24, hc_E, 1950},
    // lt_keyword_list
    {lt_keyword_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_keyword_list, 1, u"Key word", u"click to sort", 192, hc_E, 2420},
    {lt_keyword_list, 2, u"Freq.", u"frequency in this text", 48, hc_E | hc_N, 2420},
    {lt_keyword_list, 3, u"%", u"% in this text", 48, hc_N | hc_P | hc_D2 | hc_Mplus, 2420},
    {lt_keyword_list, 4, u"Texts", u"number of texts", 48, hc_N, 2420},
    {lt_keyword_list, 5, u"RC. Freq.", u"frequency in reference corpus", 48, hc_N, 2420},
    {lt_keyword_list, 6, u"RC. %", u"% of reference corpus tokens", 48, hc_N | hc_P | hc_D2 | hc_Mplus, 2420},
    {lt_keyword_list, 7, u"BIC", u"BIC score (Bayes factor)", 72, hc_N | hc_D2 | hc_Mminus, 2420},
    {lt_keyword_list, 8, u"Log_L", u"Log Likelihood", 72, hc_N | hc_D2 | hc_Mminus, 2420},
    {lt_keyword_list, 9, u"Log_R", u"Log Ratio", 72, hc_N | hc_D2 | hc_Mminus, 2420},
    {lt_keyword_list, 10, u"P", u"significance", 144, hc_N | hc_D10 | hc_Mminus, 2420},
    {lt_keyword_list, 11, u"Lemmas", u"joined KWs", 48, hc_L, 2790},
    {lt_keyword_list, 12, u"Set", u"user-defined class", 24, hc_E, 1950},
    // lt_KW_database_list
    {lt_KW_database_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_KW_database_list, 1, u"KW", u"Key word", 144, hc_E, 2310},
    {lt_KW_database_list, 2, u"Texts", u"no. of texts", 48, hc_N, 2310},
    {lt_KW_database_list, 3, u"%", u"% of texts", 48, hc_N | hc_P | hc_D2 | hc_Mplus, 2310},
    {lt_KW_database_list, 4, u"Overall Freq.", u"total frequency as a KW", 48, hc_N, 2310},
    {lt_KW_database_list, 5, u"No. Ass.", u"number of associates", 48, hc_N, 2310},
    {lt_KW_database_list, 6, u"Associates", u"top associates", 288, hc_L, 2310},
    {lt_KW_database_list, 7, u"Set", u"user-defined class", 48, hc_E, 1950},
    // lt_detailed_consistency_relations_list
    {lt_detailed_consistency_relations_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_detailed_consistency_relations_list, 1, u"File 1", u"", 144, hc_E, 2760},
    {lt_detailed_consistency_relations_list, 2, u"Count", u"number of types in file 1", 48, hc_N, 2760},
    {lt_detailed_consistency_relations_list, 3, u"File 2", u"", 144, hc_E, 2760},
    {lt_detailed_consistency_relations_list, 4, u"Count", u"number of types in file 2", 48, hc_N, 2760},
    {lt_detailed_consistency_relations_list, 5, u"Joint", u"number of joint types", 48, hc_N, 2760},
    {lt_detailed_consistency_relations_list, 6, u"Relation", u"relation strength", 48, hc_N | hc_D3 | hc_Mminus, 2760},
    {lt_detailed_consistency_relations_list, 7, u"Set", u"user-defined class", 24, hc_E, 1950},
    // lt_detailed_consistency_list
    {lt_detailed_consistency_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_detailed_consistency_list, 1, u"Word", u"", 144, hc_E, 2760},
    {lt_detailed_consistency_list, 2, u"Total", u"frequency", 48, hc_N, 2760},
    {lt_detailed_consistency_list, 3, u"Texts", u"number of texts", 48, hc_N, 2760},
    {lt_detailed_consistency_list, 4, u"No. of Lemmas", u"number of joined words", 24, hc_N, 2790},
    {lt_detailed_consistency_list, 5, u"Set", u"user-defined class", 24, hc_E, 1950},
    // lt_collocate_list
    {lt_collocate_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_collocate_list, 1, u"Word", u"", 96, hc_E, 1980},
    {lt_collocate_list, 2, u"With", u"search-word", 96, hc_E, 1980},
    {lt_collocate_list, 3, u"Dice", u"Dice score", 48, hc_N | hc_D2 | hc_Mminus, 1980},
    {lt_collocate_list, 4, u"MI", u"mutual information score", 48, hc_N | hc_D2 | hc_Mminus, 1980},
    {lt_collocate_list, 5, u"MI3", u"MI3 score", 48, hc_N | hc_D2 | hc_Mminus, 1980},
    {lt_collocate_list, 6, u"Z", u"Z score", 48, hc_N | hc_D2 | hc_Mminus, 1980},
    {lt_collocate_list, 7, u"Log_L", u"log likelihood score", 48, hc_N | hc_D2 | hc_Mminus, 1980},
    {lt_collocate_list, 8, u"T", u"T score", 48, hc_N | hc_D2 | hc_Mminus, 1980},
    {lt_collocate_list, 9, u"Log_R", u"log ratio score", 48, hc_N | hc_D2 | hc_Mminus, 1980},
    {lt_collocate_list, 10, u"Set", u"user-defined class", 24, hc_E, 1950},
    {lt_collocate_list, 11, u"Texts", u"number of texts", 48, hc_N, 1980},
    {lt_collocate_list, 12, u"Total", u"total overall", 48, hc_N, 1980},
    {lt_collocate_list, 13, u"Total Left", u"total to the left", 48, hc_N, 1980},
    {lt_collocate_list, 14, u"Total Right", u"total to the right", 48, hc_N, 1980},
    // lt_concordance_list
    {lt_concordance_list, 0, u"N", u"", 48, hc_N, 2040},
    {lt_concordance_list, 1, u"Concordance", u"click to sort", 480, hc_C, 2040},
    {lt_concordance_list, 2, u"Set", u"user-defined class", 24, hc_E, 1950},
    {lt_concordance_list, 3, u"Tag", u"tag context", 24, 0, 2120},
    {lt_concordance_list, 4, u"Word #", u"word number in the text", 48, hc_N, 2040},
    {lt_concordance_list, 5, u"Sent. #", u"sentence number", 24, hc_N, 2040},
    {lt_concordance_list, 6, u"Sent. Pos.", u"sentence position", 24, hc_N, 2040},
    {lt_concordance_list, 7, u"Para. #", u"paragraph number", 24, hc_N, 2040},
    {lt_concordance_list, 8, u"Para. Pos.", u"paragraph position", 24, hc_N, 2040},
    {lt_concordance_list, 9, u"Head. #", u"heading number", 24, hc_N, 2040},
    {lt_concordance_list, 10, u"Head. Pos.", u"heading position", 24, hc_N, 2040},
    {lt_concordance_list, 11, u"Sect. #", u"section number", 24, hc_N, 2040},
    {lt_concordance_list, 12, u"Sect. Pos.", u"section position", 24, hc_N, 2040},
    {lt_concordance_list, 13, u"File", u"filename", 96, 0, 2040},
    {lt_concordance_list, 14, u"Date", u"text date", 96, 0, 2040},
    {lt_concordance_list, 15, u"%", u"% position in its text", 48, hc_N | hc_P, 2040},
    // lt_KW_plot_list
    {lt_KW_plot_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_KW_plot_list, 1, u"Key word", u"Key word", 144, hc_E, 2390},
    {lt_KW_plot_list, 2, u"Dispersion", u"amount of dispersion", 40, hc_N | hc_D3 | hc_Mminus, 4600},
    {lt_KW_plot_list, 3, u"Keyness", u"Keyness", 40, hc_N | hc_D2 | hc_Mminus, 2420},
    {lt_KW_plot_list, 4, u"Link tokens", u"links with other KWs (tokens)", 48, hc_N, 2390},
    {lt_KW_plot_list, 5, u"Hits", u"frequency in the text", 48, hc_N, 2390},
    {lt_KW_plot_list, 6, u"Plot", u"plot of distribution in the text", 480, hc_U | hc_G, 2390},
    // lt_concordance_plot_list
    {lt_concordance_plot_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_concordance_plot_list, 1, u"File", u"", 96, hc_W, 2010},
    {lt_concordance_plot_list, 2, u"Words", u"running words in text", 48, hc_N, 2010},
    {lt_concordance_plot_list, 3, u"Hits", u"frequency in the text", 48, hc_N, 2010},
    {lt_concordance_plot_list, 4, u"per 1,000", u"per 1,000 words", 48, hc_N | hc_D2 | hc_Mplus, 2010},
    {lt_concordance_plot_list, 5, u"Dispersion", u"amount of dispersion", 48, hc_N | hc_D3 | hc_Mminus, 4600},
    {lt_concordance_plot_list, 6, u"Plot", u"plot of distribution in the text", 480, hc_U | hc_G, 2010},
    // lt_concordance_cluster_list
    {lt_concordance_cluster_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_concordance_cluster_list, 1, u"Cluster", u"computed cluster", 288, hc_E, 2000},
    {lt_concordance_cluster_list, 2, u"Freq.", u"frequency in concordance", 48, hc_N, 2000},
    {lt_concordance_cluster_list, 3, u"Set", u"user-defined class", 24, hc_E, 1950},
    {lt_concordance_cluster_list, 4, u"Length", u"cluster length", 48, hc_N, 2000},
    {lt_concordance_cluster_list, 5, u"Related", u"related clusters", 288, 0, 2000},
    // lt_concordance_pattern_list
    {lt_concordance_pattern_list, 0, u"N", u"", 72, hc_N, 0},
    {lt_concordance_pattern_list, 1, u"L5", u"5th to the left", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 2, u"L4", u"4th to the left", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 3, u"L3", u"3rd to the left", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 4, u"L2", u"2nd to the left", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 5, u"L1", u"word to the left", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 6, u"Centre", u"centre word", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 7, u"R1", u"word to the right", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 8, u"R2", u"2nd to the right", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 9, u"R3", u"3rd to the right", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 10, u"R4", u"4th to the right", 72, hc_E, 2130},
    {lt_concordance_pattern_list, 11, u"R5", u"5th to the right", 72, hc_E, 2130},
    // lt_associate_list
    {lt_associate_list, 0, u"N", u"", 48, hc_N, 2230},
    {lt_associate_list, 1, u"Associate", u"Associate", 144, hc_E, 2230},
    {lt_associate_list, 2, u"Strength", u"strength of association", 64, hc_N | hc_D3 | hc_Mminus, 2230},
    {lt_associate_list, 3, u"Texts", u"number of texts", 48, hc_N, 2230},
    {lt_associate_list, 4, u"%", u"% of texts", 48, hc_N | hc_P | hc_D2 | hc_Mplus, 2230},
    {lt_associate_list, 5, u"Set", u"user-defined class", 24, hc_E, 1950},
    // lt_filename_list
    {lt_filename_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_filename_list, 1, u"filename", u"source text filename", 336, hc_E, 1450},
    // lt_link_list
    {lt_link_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_link_list, 1, u"Key word", u"Key word", 144, hc_E, 2340},
    {lt_link_list, 2, u"Link types", u"links to other KWs (types)", 48, hc_N, 2340},
    {lt_link_list, 3, u"Hits", u"frequency in text", 48, hc_N, 2340},
    {lt_link_list, 4, u"Linked KWs", u"Linked KWs", 288, hc_L, 2340},
    // lt_statistics_list
    {lt_statistics_list, 0, u"N", u"", 48, hc_N, 2850},
    {lt_statistics_list, 1, u"text file", u"", 96, hc_E, 2850},
    {lt_statistics_list, 2, u"file size", u"", 60, hc_E | hc_N, 2850},
    {lt_statistics_list, 3, u"tokens (running words) in text", u"", 60, hc_E | hc_N, 2850},
    {lt_statistics_list, 4, u"tokens used for word list", u"", 60, hc_N, 2850},
    {lt_statistics_list, 5, u"sum of entries", u"", 48, hc_N, 2850},
    {lt_statistics_list, 6, u"types (distinct words)", u"", 48, hc_N, 2850},
    {lt_statistics_list, 7, u"type/token ratio (TTR)", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 8, u"standardised TTR", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 9, u"STTR std.dev.", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 10, u"STTR basis", u"", 48, hc_N, 2850},
    {lt_statistics_list, 11, u"mean word length (in characters)", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 12, u"word length std.dev.", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 13, u"sentences", u"", 48, hc_N, 2850},
    {lt_statistics_list, 14, u"mean (in words)", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 15, u"std.dev.", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 16, u"paragraphs", u"", 48, hc_N, 2850},
    {lt_statistics_list, 17, u"mean (in words)", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 18, u"std.dev.", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 19, u"headings", u"", 48, hc_N, 2850},
    {lt_statistics_list, 20, u"mean (in words)", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 21, u"std.dev.", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 22, u"sections", u"", 48, hc_N, 2850},
    {lt_statistics_list, 23, u"mean (in words)", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 24, u"std.dev.", u"", 48, hc_N | hc_D2 | hc_Mplus, 2850},
    {lt_statistics_list, 25, u"numbers removed", u"", 48, hc_N, 2850},
    {lt_statistics_list, 26, u"stoplist tokens removed", u"", 48, hc_N, 2850},
    {lt_statistics_list, 27, u"stoplist types removed", u"", 48, hc_N, 2850},
    // lt_timeline_list
    {lt_timeline_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_timeline_list, 1, u"File", u"", 96, 0, 5560},
    {lt_timeline_list, 2, u"Words", u"running words in text", 48, hc_N, 5560},
    {lt_timeline_list, 3, u"Hits", u"frequency in the text", 48, hc_N, 5560},
    {lt_timeline_list, 4, u"per 1,000", u"per 1,000 words", 48, hc_N | hc_D2 | hc_Mplus, 5560},
    {lt_timeline_list, 5, u"Spread", u"amount of spread", 48, hc_N | hc_D3 | hc_Mminus, 4600},
    {lt_timeline_list, 6, u"Timeline", u"text times & dates", 480, hc_U | hc_G, 5560},
    // lt_aligner_list
    {lt_aligner_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_aligner_list, 1, u"sentences", u"sentences", 480, hc_E, 2600},
    {lt_aligner_list, 2, u"paragraphs", u"paragraphs", 480, hc_E, 2600},
    // lt_aligner_plaintext_list
    {lt_aligner_plaintext_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_aligner_plaintext_list, 1, u"Text", u"Text", 336, hc_E | hc_F, 2640},
    // lt_kw_cluster_list
    {lt_kw_cluster_list, 0, u"N", u"", 48, hc_N, 4570},
    {lt_kw_cluster_list, 1, u"KW Cluster", u"KW Cluster", 384, hc_E, 4570},
    {lt_kw_cluster_list, 2, u"Freq.", u"frequency in these KWs", 48, hc_N, 4570},
    // lt_relationship_list
    {lt_relationship_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_relationship_list, 1, u"Word 1", u"", 144, hc_E, 2820},
    {lt_relationship_list, 2, u"Freq.", u"frequency word 1", 48, hc_E | hc_N, 2820},
    {lt_relationship_list, 3, u"Word 2", u"", 144, 0, 2820},
    {lt_relationship_list, 4, u"Freq.", u"frequency word 2", 48, hc_E | hc_N, 2820},
    {lt_relationship_list, 5, u"Texts", u"texts with pair", 48, hc_E | hc_N, 2820},
    {lt_relationship_list, 6, u"Gap", u"typical gap distance", 36, hc_E | hc_N, 2820},
    {lt_relationship_list, 7, u"Joint", u"joint frequency", 48, hc_E | hc_N, 2820},
    {lt_relationship_list, 8, u"MI", u"mutual information score", 72, hc_N | hc_D2 | hc_Mminus, 2820},
    {lt_relationship_list, 9, u"Z", u"Z score", 72, hc_N | hc_D2 | hc_Mminus, 2820},
    {lt_relationship_list, 10, u"MI3", u"MI3 score", 72, hc_N | hc_D2 | hc_Mminus, 2820},
    {lt_relationship_list, 11, u"Log L.", u"log likelihood score", 72, hc_N | hc_D2 | hc_Mminus, 2820},
    {lt_relationship_list, 12, u"T score", u"T score", 72, hc_N | hc_D2 | hc_Mminus, 2820},
    {lt_relationship_list, 13, u"Dice", u"dice coefficient", 72, hc_N | hc_D2 | hc_Mminus, 2820},
    {lt_relationship_list, 14, u"Log Ratio", u"Log Ratio", 72, hc_N | hc_D2 | hc_Mminus, 2820},
    {lt_relationship_list, 15, u"Set", u"user-defined class", 24, hc_E, 1950},
    // lt_chargram_list
    {lt_chargram_list, 0, u"N", u"", 48, hc_N, 0},
    {lt_chargram_list, 1, u"Chargram", u"", 144, hc_E, 2986},
    {lt_chargram_list, 2, u"Position", u"word-position", 144, hc_E, 2986},
    {lt_chargram_list, 3, u"Freq.", u"frequency", 48, hc_E | hc_N, 2986},
    {lt_chargram_list, 4, u"Length", u"Length", 48, hc_E | hc_N, 2986},
    {lt_chargram_list, 5, u"Texts", u"number of texts", 48, hc_E | hc_N, 2986},
    {lt_chargram_list, 6, u"%", u"% of texts", 48, hc_N | hc_P | hc_D2 | hc_Mplus, 2986},
    {lt_chargram_list, 7, u"Contexts", u"typical contexts", 288, hc_L, 2986},
    {lt_chargram_list, 8, u"Set", u"user-defined class", 24, hc_E, 1950},
};

inline constexpr size_t kCatalogueSize = std::size(kWrittenRows) + kLetterWordsColumns;

}  // namespace heading_detail

// Every column of every list type that has columns of its own, ordered by list
// type and column.
inline constexpr std::array<THeadingCatalogueRow, heading_detail::kCatalogueSize> HeadingCatalogue = [] {
  using namespace heading_detail;
  std::array<THeadingCatalogueRow, kCatalogueSize> rows{};
  size_t n = 0;
  for (const THeadingCatalogueRow& row : kWrittenRows) rows[n++] = row;
  for (int i = 0; i < kLetterWordsColumns; ++i) {
    const TLetterWordsText& text = kLetterWordsTexts[i];
    rows[n++] = {lt_statistics_list, static_cast<uint8_t>(kFirstLetterWordsColumn + i),
                 std::u16string_view(text.units.data(), text.length), u"", 48, hc_N, 2850};
  }
  std::sort(rows.begin(), rows.end(), [](const THeadingCatalogueRow& a, const THeadingCatalogueRow& b) {
    return a.list != b.list ? a.list < b.list : a.column < b.column;
  });
  return rows;
}();

namespace heading_detail {

// Where each list type's rows begin in HeadingCatalogue (entry kListTypeCount
// is the end of the last).
inline constexpr std::array<uint16_t, kListTypeCount + 1> kFirstRowOfListType = [] {
  std::array<uint16_t, kListTypeCount + 1> first{};
  size_t row = 0;
  for (int t = 0; t <= kListTypeCount; ++t) {
    while (row < HeadingCatalogue.size() && HeadingCatalogue[row].list < t) ++row;
    first[t] = static_cast<uint16_t>(row);
  }
  return first;
}();

}  // namespace heading_detail

// The catalogue's rows of one list type, in column order; empty for a list
// type without columns of its own and for an ordinal outside list_type.
constexpr std::span<const THeadingCatalogueRow> HeadingRowsOf(int listType) noexcept {
  if (!IsValidListType(listType)) return {};
  const size_t first = heading_detail::kFirstRowOfListType[listType];
  const size_t end = heading_detail::kFirstRowOfListType[listType + 1];
  return std::span<const THeadingCatalogueRow>(HeadingCatalogue).subspan(first, end - first);
}

}  // namespace qn
