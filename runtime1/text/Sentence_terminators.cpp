#include "runtime1/text/Sentence_terminators.h"

#include <algorithm>

namespace qn {

const std::array<char16_t, 3> basic_sent_terminators = {u'!', u'.', u'?'};

// Armenian, Arabic, Syriac, N'Ko, Devanagari, Myanmar, Ethiopic, Canadian
// syllabics, Mongolian, Limbu, Tai Tham, Balinese, Lepcha, Ol Chiki, the double
// and interrobang marks, the reversed question mark, the ideographic full stop,
// Lisu, Vai, Bamum, Phags-pa, Saurashtra, Kayah Li, Javanese, Cham, Meetei
// Mayek, and the small, full-width and half-width forms.
const std::array<char16_t, 63> other_sent_terminators = {
    u'\u0589', u'\u061F', u'\u06D4', u'\u0700', u'\u0701', u'\u0702', u'\u07F9', u'\u0964',
    u'\u0965', u'\u104A', u'\u104B', u'\u1362', u'\u1367', u'\u1368', u'\u166E', u'\u1803',
    u'\u1809', u'\u1944', u'\u1945', u'\u1AA8', u'\u1AA9', u'\u1AAA', u'\u1AAB', u'\u1B5A',
    u'\u1B5B', u'\u1B5E', u'\u1B5F', u'\u1C3B', u'\u1C3C', u'\u1C7E', u'\u1C7F', u'\u203C',
    u'\u203D', u'\u2047', u'\u2048', u'\u2049', u'\u2E2E', u'\u3002', u'\uA4FF', u'\uA60E',
    u'\uA60F', u'\uA6F3', u'\uA6F7', u'\uA876', u'\uA877', u'\uA8CE', u'\uA8CF', u'\uA92F',
    u'\uA9C8', u'\uA9C9', u'\uAA5D', u'\uAA5E', u'\uAA5F', u'\uAAF0', u'\uAAF1', u'\uABEB',
    u'\uFE52', u'\uFE56', u'\uFE57', u'\uFF01', u'\uFF0E', u'\uFF1F', u'\uFF61'
};

const std::array<char16_t, 276> punct_not_ending_sent = {
    u'\u037E', u'\u0387', u'\u055A', u'\u055B', u'\u055C', u'\u055D', u'\u055E', u'\u055F',
    u'\u05C0', u'\u05C3', u'\u05C6', u'\u05F3', u'\u05F4', u'\u0609', u'\u060A', u'\u060C',
    u'\u060D', u'\u061B', u'\u061E', u'\u066A', u'\u066B', u'\u066C', u'\u066D', u'\u0703',
    u'\u0704', u'\u0705', u'\u0706', u'\u0707', u'\u0708', u'\u0709', u'\u070A', u'\u070B',
    u'\u070C', u'\u070D', u'\u07F7', u'\u07F8', u'\u0830', u'\u0831', u'\u0832', u'\u0833',
    u'\u0834', u'\u0835', u'\u0836', u'\u0837', u'\u0838', u'\u0839', u'\u083A', u'\u083B',
    u'\u083C', u'\u083D', u'\u083E', u'\u0970', u'\u0DF4', u'\u0E4F', u'\u0E5A', u'\u0E5B',
    u'\u0F04', u'\u0F05', u'\u0F06', u'\u0F07', u'\u0F08', u'\u0F09', u'\u0F0A', u'\u0F0B',
    u'\u0F0C', u'\u0F0D', u'\u0F0E', u'\u0F0F', u'\u0F10', u'\u0F11', u'\u0F12', u'\u0F85',
    u'\u0FD0', u'\u0FD1', u'\u0FD2', u'\u0FD3', u'\u0FD4', u'\u104C', u'\u104D', u'\u104E',
    u'\u104F', u'\u10FB', u'\u1361', u'\u1363', u'\u1364', u'\u1365', u'\u1366', u'\u166D',
    u'\u16EB', u'\u16EC', u'\u16ED', u'\u1735', u'\u1736', u'\u17D4', u'\u17D5', u'\u17D6',
    u'\u17D8', u'\u17D9', u'\u17DA', u'\u1800', u'\u1801', u'\u1802', u'\u1804', u'\u1805',
    u'\u1807', u'\u1808', u'\u180A', u'\u19DE', u'\u19DF', u'\u1A1E', u'\u1A1F', u'\u1AA0',
    u'\u1AA1', u'\u1AA2', u'\u1AA3', u'\u1AA4', u'\u1AA5', u'\u1AA6', u'\u1AAC', u'\u1AAD',
    u'\u1B5C', u'\u1B5D', u'\u1B60', u'\u1C3D', u'\u1C3E', u'\u1C3F', u'\u1CD3', u'\u2016',
    u'\u2017', u'\u2020', u'\u2021', u'\u2022', u'\u2023', u'\u2024', u'\u2025', u'\u2026',
    u'\u2027', u'\u2030', u'\u2031', u'\u2032', u'\u2033', u'\u2034', u'\u2035', u'\u2036',
    u'\u2037', u'\u2038', u'\u203B', u'\u203E', u'\u2041', u'\u2042', u'\u2043', u'\u204A',
    u'\u204B', u'\u204C', u'\u204D', u'\u204E', u'\u204F', u'\u2050', u'\u2051', u'\u2053',
    u'\u2055', u'\u2056', u'\u2057', u'\u2058', u'\u2059', u'\u205A', u'\u205B', u'\u205C',
    u'\u205D', u'\u205E', u'\u2CF9', u'\u2CFA', u'\u2CFB', u'\u2CFC', u'\u2CFE', u'\u2CFF',
    u'\u2E00', u'\u2E01', u'\u2E06', u'\u2E07', u'\u2E08', u'\u2E0B', u'\u2E0E', u'\u2E0F',
    u'\u2E10', u'\u2E11', u'\u2E12', u'\u2E13', u'\u2E14', u'\u2E15', u'\u2E16', u'\u2E18',
    u'\u2E19', u'\u2E1B', u'\u2E1E', u'\u2E1F', u'\u2E2A', u'\u2E2B', u'\u2E2C', u'\u2E2D',
    u'\u2E30', u'\u2E31', u'\u3001', u'\u3003', u'\u303D', u'\u30FB', u'\uA4FE', u'\uA60D',
    u'\uA673', u'\uA67E', u'\uA6F2', u'\uA6F4', u'\uA6F5', u'\uA6F6', u'\uA874', u'\uA875',
    u'\uA8F8', u'\uA8F9', u'\uA8FA', u'\uA92E', u'\uA95F', u'\uA9C1', u'\uA9C2', u'\uA9C3',
    u'\uA9C4', u'\uA9C5', u'\uA9C6', u'\uA9C7', u'\uA9CA', u'\uA9CB', u'\uA9CC', u'\uA9CD',
    u'\uA9DE', u'\uA9DF', u'\uAA5C', u'\uAADE', u'\uAADF', u'\uFE10', u'\uFE11', u'\uFE12',
    u'\uFE13', u'\uFE14', u'\uFE15', u'\uFE16', u'\uFE19', u'\uFE30', u'\uFE45', u'\uFE46',
    u'\uFE49', u'\uFE4A', u'\uFE4B', u'\uFE4C', u'\uFE50', u'\uFE51', u'\uFE54', u'\uFE55',
    u'\uFE5F', u'\uFE60', u'\uFE61', u'\uFE68', u'\uFE6A', u'\uFE6B', u'\uFF02', u'\uFF03',
    u'\uFF05', u'\uFF06', u'\uFF07', u'\uFF0A', u'\uFF0C', u'\uFF0F', u'\uFF1A', u'\uFF1B',
    u'\uFF20', u'\uFF3C', u'\uFF64', u'\uFF65'
};

namespace {

template <size_t N>
bool Contains(const std::array<char16_t, N>& table, char16_t c) noexcept {
  return std::binary_search(table.begin(), table.end(), c);
}

}  // namespace

bool IsBasicSentTerminator(char16_t c) noexcept { return Contains(basic_sent_terminators, c); }

bool IsOtherSentTerminator(char16_t c) noexcept { return Contains(other_sent_terminators, c); }

bool IsPunctNotEndingSent(char16_t c) noexcept { return Contains(punct_not_ending_sent, c); }

}  // namespace qn
