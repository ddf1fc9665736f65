// The partial-results format of the quillon program: the counts of a word
// list, n-gram list or key-word list over part of a corpus, written by
// `--partial` and added up exactly by `quillon merge` (docs/quillon.md).
//
//   quillon-partial 1 KIND            KIND: wordlist | ngrams N | keywords
//   texts T                           keywords: T-STUDY TAB T-REFERENCE
//   tokens N                          keywords: N-STUDY TAB N-REFERENCE
//   FREQ TAB TEXTS TAB FIRST TAB SPELLING                 (one line per entry)
//   STUDY TAB REF TAB STUDY-TEXTS TAB REF-TEXTS TAB FIRST TAB SPELLING  (keywords)
//   end
//
// A partial file is outside input: every line must end with LF, every count
// is a decimal number of at most 19 digits that fits 63 bits, a spelling is
// not empty and holds no TAB, and nothing follows "end". Header only, so that
// the fuzz target reads it exactly as the program does.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::partial {

struct TEntry {
  int64_t freq[2] = {0, 0};
  int64_t texts[2] = {0, 0};
  int64_t firstText = 0;
  std::string_view spelling;  // UTF-8, into the parsed bytes
};

struct THeader {
  int64_t texts[2] = {0, 0};
  int64_t tokens[2] = {0, 0};
};

// Why a text is not a partial-results file.
struct TError {
  std::string why;
};

inline void AppendNumber(std::string& out, int64_t v, char after) {
  out += std::to_string(v);
  out.push_back(after);
}

inline void AppendHeader(std::string& out, const std::string& kindLine, bool keywords, const THeader& h) {
  out += "quillon-partial 1 ";
  out += kindLine;
  out += "\ntexts ";
  if (keywords) AppendNumber(out, h.texts[0], '\t');
  AppendNumber(out, h.texts[keywords ? 1 : 0], '\n');
  out += "tokens ";
  if (keywords) AppendNumber(out, h.tokens[0], '\t');
  AppendNumber(out, h.tokens[keywords ? 1 : 0], '\n');
}

inline void AppendEntry(std::string& out, bool keywords, const TEntry& e) {
  AppendNumber(out, e.freq[0], '\t');
  if (keywords) AppendNumber(out, e.freq[1], '\t');
  AppendNumber(out, e.texts[0], '\t');
  if (keywords) AppendNumber(out, e.texts[1], '\t');
  AppendNumber(out, e.firstText, '\t');
  out += e.spelling;
  out.push_back('\n');
}

inline void AppendEnd(std::string& out) { out += "end\n"; }

// The next line, without its LF; false at the end or when the rest has no LF.
inline bool NextLine(std::string_view& rest, std::string_view& line) {
  const size_t nl = rest.find('\n');
  if (nl == std::string_view::npos) return false;
  line = rest.substr(0, nl);
  rest.remove_prefix(nl + 1);
  return true;
}

// A field up to the next TAB (last: up to the end of the line); false when it
// is not a non-negative decimal number that fits 63 bits.
inline bool Number(std::string_view& line, int64_t& value, bool last = false) {
  const size_t tab = line.find('\t');
  if (last != (tab == std::string_view::npos)) return false;
  const std::string_view field = line.substr(0, tab);
  if (field.empty() || field.size() > 19 || field.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  const auto [p, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc() || p != field.data() + field.size()) return false;
  line.remove_prefix(last ? line.size() : tab + 1);
  return true;
}

// The kind line of a file ("wordlist", "ngrams 3", "keywords"), from its
// first line; throws TError when there is none.
inline std::string KindLineOf(std::string_view bytes) {
  std::string_view line;
  if (!NextLine(bytes, line) || line.substr(0, 18) != "quillon-partial 1 ") {
    throw TError{"the first line must be \"quillon-partial 1 KIND\""};
  }
  return std::string(line.substr(18));
}

// Reads a partial-results text of the given kind: the header, then
// entry(e) for each entry. Throws TError.
template <typename OnEntry>
THeader Parse(std::string_view bytes, const std::string& kindLine, bool keywords, OnEntry&& entry) {
  std::string_view rest = bytes, line;
  if (!NextLine(rest, line) || line != "quillon-partial 1 " + kindLine) {
    throw TError{"the first line must be \"quillon-partial 1 " + kindLine + "\""};
  }
  THeader header;
  for (const std::string_view name : {std::string_view("texts "), std::string_view("tokens ")}) {
    if (!NextLine(rest, line) || line.substr(0, name.size()) != name) {
      throw TError{"no \"" + std::string(name) + "\" line"};
    }
    line.remove_prefix(name.size());
    int64_t* target = name[1] == 'e' ? header.texts : header.tokens;
    if (!Number(line, target[0], !keywords) || (keywords && !Number(line, target[1], true))) {
      throw TError{"a bad \"" + std::string(name) + "\" line"};
    }
  }
  int64_t lineNumber = 3;
  for (;;) {
    ++lineNumber;
    if (!NextLine(rest, line)) throw TError{"no \"end\" line"};
    if (line == "end") break;
    TEntry e;
    const bool ok = Number(line, e.freq[0]) && (!keywords || Number(line, e.freq[1])) && Number(line, e.texts[0]) &&
                    (!keywords || Number(line, e.texts[1])) && Number(line, e.firstText);
    if (!ok || line.empty() || line.find('\t') != std::string_view::npos) {
      throw TError{"line " + std::to_string(lineNumber) + " is not an entry"};
    }
    e.spelling = line;
    entry(e);
  }
  if (!rest.empty()) throw TError{"text after \"end\""};
  return header;
}

}  // namespace quillon::partial
