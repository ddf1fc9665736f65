// wordlist, ngrams and keywords: each text's words or n-grams counted by the
// library's word-list functions, added into one table of the corpus keyed by
// the word list's own comparison (the collation key), then listed, or written
// in the partial-results format that `quillon merge` adds up.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>

#include "cli/quillon/Commands.h"
#include "cli/quillon/Partial.h"
#include "cli/quillon/Workers.h"
#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"
#include "platform/Streams.h"
#include "quillon/QuillonLemmatiser.h"
#include "runtime1/text/My_string_functions_wordlists.h"
#include "runtime2/statistics/maths_routines.h"

namespace quillon {

namespace {

constexpr uint8_t kSlot = 0;  // the word-list tool's slot in the lemmatiser

struct TEntry {
  std::u16string spelling;
  int64_t freq[2] = {0, 0};
  int64_t texts[2] = {0, 0};
  int64_t firstText = INT64_MAX;
  int64_t lastText[2] = {-1, -1};
};

// The corpus table: entries keyed by the collation key of their spelling.
class TCountTable {
 public:
  int64_t tokens[2] = {0, 0};
  int64_t textCount[2] = {0, 0};
  std::vector<TEntry> entries;

  TEntry& At(const std::string& key, std::u16string_view spelling, int64_t textNumber) {
    auto [it, added] = fIndex.try_emplace(key, static_cast<uint32_t>(entries.size()));
    if (added) {
      entries.emplace_back();
      entries.back().spelling.assign(spelling);
    }
    TEntry& e = entries[it->second];
    if (textNumber < e.firstText) {
      e.firstText = textNumber;
      e.spelling.assign(spelling);
    }
    return e;
  }

  // One entry of one text.
  void AddFromText(TEntry& e, std::u16string_view spelling, int64_t freq, int64_t textNumber, int side) {
    if (textNumber < e.firstText) {
      e.firstText = textNumber;
      e.spelling.assign(spelling);
    }
    e.freq[side] += freq;
    if (e.lastText[side] != textNumber) {
      e.lastText[side] = textNumber;
      ++e.texts[side];
    }
  }

  // The library's tally of the whole corpus (words or n-grams), which keeps
  // spellings and types from text to text, and the entry each of its types
  // counts for (kNoEntry: stop-listed; kUnknown: not seen yet).
  static constexpr int64_t kNoEntry = -1, kUnknown = -2;
  std::unique_ptr<qn::TCorpusWordTally> words;
  std::unique_ptr<qn::TCorpusNGramTally> grams;
  std::vector<int64_t> entryOfType;
  // The words of the text being read, not yet counted: their frequency by
  // type (zero for the types it has not met), the types met, and the tokens.
  std::vector<int64_t> pendingFreq;
  std::vector<int32_t> pendingTypes;
  int64_t pendingTokens = 0;

 private:
  std::unordered_map<std::string, uint32_t> fIndex;
};

// Stop and lemma lists through the lemmatiser's C functions, with the answer
// for each word type remembered.
class TListFilter {
 public:
  TListFilter(const std::string& lemmas, const std::string& stop) {
    fLcid = qn::platform::UserDefaultLCID();
    if (!stop.empty()) {
      Load(stop, QN_KIND_STOP);
      fStop = true;
    }
    if (!lemmas.empty()) {
      Load(lemmas, QN_KIND_LEMMA);
      fLemmas = true;
    }
  }
  ~TListFilter() {
    if (fStop) ClearOne(kSlot, QN_KIND_STOP);
    if (fLemmas) ClearOne(kSlot, QN_KIND_LEMMA);
  }
  bool Active() const { return fStop || fLemmas; }

  struct TAnswer {
    bool stopped = false;
    std::u16string head;  // empty: the word itself
    std::string headKey;
  };

  const TAnswer& Of(const std::string& key, std::u16string_view word) {
    auto [it, added] = fCache.try_emplace(key);
    if (!added) return it->second;
    TAnswer& a = it->second;
    std::u16string upper = qn::platform::UpperCasedForLCID(fLcid, word);
    if (fStop && FoundInTheList(kSlot, upper.c_str(), true, QN_KIND_STOP) != nullptr) {
      a.stopped = true;
      return a;
    }
    if (fLemmas) {
      const auto* head = static_cast<const QNWideChar*>(TallierChangeWord(kSlot, upper.c_str(), 0, QN_TRUE16));
      if (head != nullptr && head[0] != 0) {
        a.head.assign(reinterpret_cast<const char16_t*>(head));
        WordKey(a.head, a.headKey);
      }
    }
    return a;
  }

 private:
  void Load(const std::string& file, uint8_t kind) {
    const std::u16string name = Utf16(file);
    if (::access(file.c_str(), R_OK) != 0 ||
        !LoadedOne(kSlot, reinterpret_cast<const QNWideChar*>(name.c_str()), kind, {}, {}, fLcid, false, false)) {
      throw TFatal{kExitCannot, file + ": no entries could be read from this " +
                                    (kind == QN_KIND_STOP ? "stop" : "lemma") + " list"};
    }
  }
  uint32_t fLcid = 0;
  bool fStop = false;
  bool fLemmas = false;
  std::unordered_map<std::string, TAnswer> fCache;
};

// The entry of a type of the library's tally met for the first time, with
// its spelling and collation key (kNoEntry when it is stop-listed), made when
// new.
int64_t EntryOfNewType(std::u16string_view s, const std::string& key, const TTextRef& ref, TCountTable& table,
                       TListFilter& filter) {
  const TListFilter::TAnswer* a = filter.Active() ? &filter.Of(key, s) : nullptr;
  if (a != nullptr && a->stopped) return TCountTable::kNoEntry;
  const bool lemma = a != nullptr && !a->head.empty();
  TEntry& e = lemma ? table.At(a->headKey, a->head, ref.number) : table.At(key, s, ref.number);
  return &e - table.entries.data();
}

// The words of a text are counted into the table only once the whole text
// is read: its pieces are tallied first (the library's tally learns their
// types as it goes), so that a text whose reading fails part-way adds
// nothing, as a text that cannot be read at all.
void TallyWordsOfPiece(const TTextRef& ref, std::u16string_view piece, TCountTable& table) {
  if (!table.words) table.words = std::make_unique<qn::TCorpusWordTally>(1);
  qn::TCorpusWordTally& words = *table.words;
  table.pendingTokens += words.AddText(piece, ref.number);
  if (table.pendingFreq.size() < static_cast<size_t>(words.TypeCount())) {
    table.pendingFreq.resize(static_cast<size_t>(words.TypeCount()), 0);
  }
  const int32_t met = words.MetCount();
  for (int32_t i = 0; i < met; ++i) {
    const auto t = static_cast<size_t>(words.MetType(i));
    if (table.pendingFreq[t] == 0) table.pendingTypes.push_back(static_cast<int32_t>(t));
    table.pendingFreq[t] += words.MetFreq(i);
  }
}

// Forgets what the pieces of a text tallied.
void DropPendingWords(TCountTable& table) {
  for (int32_t t : table.pendingTypes) table.pendingFreq[static_cast<size_t>(t)] = 0;
  table.pendingTypes.clear();
  table.pendingTokens = 0;
}

// Counts the words tallied from a whole text into the table. The types new
// to the table make their entries in the order of their collation keys, so
// that the entries come in the same order however the texts' words are
// counted.
void AddPendingWords(const TTextRef& ref, TCountTable& table, TListFilter& filter) {
  if (!table.words) return;  // no piece: an empty text
  qn::TCorpusWordTally& words = *table.words;
  table.tokens[ref.side] += table.pendingTokens;
  table.entryOfType.resize(static_cast<size_t>(words.TypeCount()), TCountTable::kUnknown);
  std::vector<int32_t> fresh;
  for (int32_t t : table.pendingTypes) {
    if (table.entryOfType[static_cast<size_t>(t)] == TCountTable::kUnknown) fresh.push_back(t);
  }
  std::sort(fresh.begin(), fresh.end(), [&](int32_t a, int32_t b) { return words.Key(a) < words.Key(b); });
  for (int32_t t : fresh) {
    table.entryOfType[static_cast<size_t>(t)] =
        EntryOfNewType(words.Spelling(t), std::string(words.Key(t)), ref, table, filter);
  }
  for (int32_t t : table.pendingTypes) {
    const int64_t e = table.entryOfType[static_cast<size_t>(t)];
    if (e < 0) continue;
    TEntry& entry = table.entries[static_cast<size_t>(e)];
    // A lemma's entry keeps the headword's spelling.
    table.AddFromText(entry, entry.spelling, table.pendingFreq[static_cast<size_t>(t)], ref.number, ref.side);
  }
  DropPendingWords(table);
}

// Counts the n-grams of a text into the table. The n-grams new to the table
// make their entries in the order of the text's n-gram list (by frequency in
// the text, ties in code-unit order), as they always have.
void CountNGrams(const TCountOptions& options, const TTextRef& ref, std::u16string_view text, TCountTable& table,
                 TListFilter& filter) {
  if (!table.grams) table.grams = std::make_unique<qn::TCorpusNGramTally>(options.n, 0);
  qn::TCorpusNGramTally& grams = *table.grams;
  const int side = ref.side;
  table.tokens[side] += grams.AddText(text, ref.number);
  const int32_t met = grams.MetCount();
  table.entryOfType.resize(static_cast<size_t>(grams.TypeCount()), TCountTable::kUnknown);
  struct TFresh {
    int32_t type;
    int32_t freq;  // in the text, as its list states it
    std::u16string text;
  };
  std::vector<TFresh> fresh;
  for (int32_t i = 0; i < met; ++i) {
    const int32_t t = grams.MetType(i);
    if (table.entryOfType[static_cast<size_t>(t)] != TCountTable::kUnknown) continue;
    fresh.push_back({t, static_cast<int32_t>(std::min<int64_t>(grams.MetFreq(i), INT32_MAX)), grams.Text(t)});
  }
  std::sort(fresh.begin(), fresh.end(), [](const TFresh& a, const TFresh& b) {
    return a.freq != b.freq ? a.freq > b.freq : a.text < b.text;
  });
  std::string key;
  for (const TFresh& f : fresh) {
    WordKey(f.text, key);
    table.entryOfType[static_cast<size_t>(f.type)] = EntryOfNewType(f.text, key, ref, table, filter);
  }
  for (int32_t i = 0; i < met; ++i) {
    const int64_t e = table.entryOfType[static_cast<size_t>(grams.MetType(i))];
    if (e < 0) continue;
    TEntry& entry = table.entries[static_cast<size_t>(e)];
    table.AddFromText(entry, entry.spelling, grams.MetFreq(i), ref.number, side);
  }
}

// Counts one text: word lists in pieces (a word never spans a line break),
// n-grams whole (their windows run on across lines).
constexpr size_t kPieceBytes = size_t{16} << 20;

void CountWholeText(const TCountOptions& options, TTextReader& reader, const TTextRef& ref, std::u16string& text,
                    TCountTable& table, TListFilter& filter) {
  bool read;
  if (options.kind == "ngrams") {
    read = reader.Read(ref, text);
    if (read) CountNGrams(options, ref, text, table, filter);
  } else {
    read = reader.ReadPieces(ref, PieceBytes(kPieceBytes), [&](const std::u16string& piece) {
      TallyWordsOfPiece(ref, piece, table);
    });
    if (read) AddPendingWords(ref, table, filter);
    else DropPendingWords(table);
  }
  if (read) ++table.textCount[ref.side];
}

// ---------------------------------------------------------------------------
// The partial-results format.

std::string KindLine(const TCountOptions& options) {
  if (options.kind == "ngrams") return "ngrams " + std::to_string(options.n);
  return options.kind;
}

std::string Serialised(const TCountOptions& options, const TCountTable& table) {
  const bool kw = options.kind == "keywords";
  std::string out;
  partial::THeader header;
  for (int side = 0; side < 2; ++side) {
    header.texts[side] = table.textCount[side];
    header.tokens[side] = table.tokens[side];
  }
  partial::AppendHeader(out, KindLine(options), kw, header);
  std::string spelling;
  for (const TEntry& e : table.entries) {
    partial::TEntry p;
    for (int side = 0; side < 2; ++side) {
      p.freq[side] = e.freq[side];
      p.texts[side] = e.texts[side];
    }
    p.firstText = e.firstText;
    spelling = Utf8(e.spelling);
    p.spelling = spelling;
    partial::AppendEntry(out, kw, p);
  }
  partial::AppendEnd(out);
  return out;
}

bool Add(int64_t& total, int64_t more) { return !__builtin_add_overflow(total, more, &total); }

// Adds a partial-results text to the table; raises TFatal when it is not one.
void MergeSerialised(const std::string& source, std::string_view bytes, const TCountOptions& options,
                     TCountTable& table) {
  const auto bad = [&source](const std::string& why) {
    return TFatal{kExitCannot, source + ": not a quillon partial-results file of this kind (" + why + ")"};
  };
  std::string key;
  try {
    const partial::THeader header =
        partial::Parse(bytes, KindLine(options), options.kind == "keywords", [&](const partial::TEntry& p) {
          const std::u16string spelling = Utf16(p.spelling);
          WordKey(spelling, key);
          TEntry& e = table.At(key, spelling, p.firstText);
          for (int side = 0; side < 2; ++side) {
            if (!Add(e.freq[side], p.freq[side]) || !Add(e.texts[side], p.texts[side])) throw bad("counts too large");
          }
        });
    for (int side = 0; side < 2; ++side) {
      if (!Add(table.textCount[side], header.texts[side]) || !Add(table.tokens[side], header.tokens[side])) {
        throw bad("counts too large");
      }
    }
  } catch (const partial::TError& error) {
    throw bad(error.why);
  }
}

// ---------------------------------------------------------------------------
// Tables.

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); }

void WriteList(const TCountOptions& options, TCountTable& table, const TOutputOptions& output) {
  std::vector<const TEntry*> rows;
  std::vector<std::u16string> shown(table.entries.size());
  for (size_t i = 0; i < table.entries.size(); ++i) {
    TEntry& e = table.entries[i];
    e.spelling = Lowered(e.spelling);
    if (e.freq[0] >= options.minFreq) rows.push_back(&e);
  }
  if (options.sort == "alpha") {
    std::vector<std::pair<std::string, const TEntry*>> keyed;
    keyed.reserve(rows.size());
    std::string key;
    for (const TEntry* e : rows) {
      WordKey(e->spelling, key);
      keyed.emplace_back(key, e);
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first < b.first : a.second->spelling < b.second->spelling;
    });
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = keyed[i].second;
  } else {
    std::sort(rows.begin(), rows.end(), [](const TEntry* a, const TEntry* b) {
      return a->freq[0] != b->freq[0] ? a->freq[0] > b->freq[0] : a->spelling < b->spelling;
    });
  }
  if (options.top > 0 && rows.size() > static_cast<size_t>(options.top)) rows.resize(static_cast<size_t>(options.top));
  TTableWriter out(output, {options.kind == "ngrams" ? "ngram" : "word", "frequency", "percent", "texts"});
  const double total = static_cast<double>(table.tokens[0]);
  for (const TEntry* e : rows) {
    out.Str(e->spelling);
    out.Int(e->freq[0]);
    out.Num(total > 0 ? static_cast<double>(e->freq[0]) * 100.0 / total : 0.0, 4);
    out.Int(e->texts[0]);
    out.EndRow();
  }
  out.Finish();
  std::fprintf(stderr, "quillon: %s: %s read, %s, %s\n", options.kind.c_str(),
               Counted(table.textCount[0], "text").c_str(),
               Counted(table.tokens[0], options.kind == "ngrams" ? "n-gram" : "token").c_str(),
               Counted(static_cast<int64_t>(table.entries.size()), "type").c_str());
}

struct TKeyRow {
  const TEntry* e;
  float ll, logRatio, bic;
  double p, percentDiff;
};

void WriteKeywords(const TCountOptions& options, TCountTable& table, const TOutputOptions& output) {
  const qn::TIntegerPair sizes{Clamp32(table.tokens[0]), Clamp32(table.tokens[1])};
  std::vector<TKeyRow> rows;
  for (TEntry& e : table.entries) {
    if (e.freq[0] < options.minFreq && !(options.negative && e.freq[1] >= options.minFreq)) continue;
    const qn::TIntegerPair q{Clamp32(e.freq[0]), Clamp32(e.freq[1])};
    qn::TKeyword_entry_rec k = qn::KWStatsCalculated(q, sizes);
    TKeyRow row{&e, k.LL, k.LogRatio, k.BIC_Score, 1.0, 0.0};
    qn::FreeKeywordEntry(k);
    try {
      row.p = qn::Norberto(row.ll);
    } catch (const qn::Exception&) {
      row.p = 1.0;
    }
    try {
      row.percentDiff = qn::PercentDiff(q, sizes);
    } catch (const qn::Exception&) {
      row.percentDiff = HUGE_VAL;  // no occurrence in the reference corpus
    }
    if (row.p > options.maxP) continue;
    if (row.ll < 0 && !options.negative) continue;
    if (row.ll >= 0 && e.freq[0] < options.minFreq) continue;
    rows.push_back(row);
  }
  for (TKeyRow& r : rows) const_cast<TEntry*>(r.e)->spelling = Lowered(r.e->spelling);
  std::sort(rows.begin(), rows.end(), [](const TKeyRow& a, const TKeyRow& b) {
    return a.ll != b.ll ? a.ll > b.ll : a.e->spelling < b.e->spelling;
  });
  if (options.top > 0 && rows.size() > static_cast<size_t>(options.top)) rows.resize(static_cast<size_t>(options.top));
  TTableWriter out(output, {"word", "study_freq", "study_size", "ref_freq", "ref_size", "log_likelihood", "p",
                            "log_ratio", "percent_diff", "bic"});
  for (const TKeyRow& r : rows) {
    out.Str(r.e->spelling);
    out.Int(r.e->freq[0]);
    out.Int(table.tokens[0]);
    out.Int(r.e->freq[1]);
    out.Int(table.tokens[1]);
    out.Num(r.ll, 2);
    out.Num(r.p, 3, true);
    out.Num(r.logRatio, 3);
    out.Num(r.percentDiff, 2);
    out.Num(r.bic, 2);
    out.EndRow();
  }
  out.Finish();
  std::fprintf(stderr, "quillon: keywords: study %s read, %s; reference %s read, %s; %s\n",
               Counted(table.textCount[0], "text").c_str(), Counted(table.tokens[0], "token").c_str(),
               Counted(table.textCount[1], "text").c_str(), Counted(table.tokens[1], "token").c_str(),
               Counted(static_cast<int64_t>(rows.size()), "key word").c_str());
}

void WriteResult(const TCountOptions& options, TCountTable& table, const TOutputOptions& output) {
  if (options.partial) {
    WriteWhole(output, Serialised(options, table));
  } else if (options.kind == "keywords") {
    WriteKeywords(options, table, output);
  } else {
    WriteList(options, table, output);
  }
}

void CheckCountOptions(const TCountOptions& options) {
  if (options.sort != "freq" && options.sort != "alpha") {
    throw TFatal{kExitUsage, "--sort " + options.sort + ": expected freq or alpha"};
  }
  if (options.kind == "ngrams" && (options.n < 1 || options.n > 32)) throw TFatal{kExitUsage, "N: expected 1 to 32"};
  if (options.minFreq < 1) throw TFatal{kExitUsage, "--min-freq: expected at least 1"};
  if (!(options.maxP >= 0 && options.maxP <= 1)) throw TFatal{kExitUsage, "--max-p: expected 0 to 1"};
}

}  // namespace

int RunCounts(TCountOptions& options, TInputOptions& input, const TOutputOptions& output) {
  CheckCountOptions(options);
  ApplyInputOptions(input);
  std::vector<TTextRef> texts;
  ListTexts(options.paths, input, 0, texts);
  if (options.kind == "keywords") ListTexts(options.reference, input, 1, texts);
  NumberAndShard(texts, input);
  TListFilter filter(options.lemmas, options.stop);

  const auto work = [&](int w, int n) {
    TCountTable table;
    TTextReader reader;
    TProgress progress(output.quiet || w > 0, texts);
    std::u16string text;
    for (size_t i = static_cast<size_t>(w); i < texts.size(); i += static_cast<size_t>(n)) {
      CountWholeText(options, reader, texts[i], text, table, filter);
      for (int k = 0; k < n; ++k) progress.Done(texts[i]);  // worker 0 shows the whole run's pace
    }
    progress.Finish();
    if (n == 1) return std::string();
    return Serialised(options, table);
  };
  TCountTable table;
  if (input.jobs <= 1) {
    TTextReader reader;
    TProgress progress(output.quiet, texts);
    std::u16string text;
    for (const TTextRef& ref : texts) {
      CountWholeText(options, reader, ref, text, table, filter);
      progress.Done(ref);
    }
  } else {
    const std::vector<std::string> parts = RunInWorkers(input.jobs, texts, work);
    for (size_t w = 0; w < parts.size(); ++w) MergeSerialised("worker " + std::to_string(w + 1), parts[w], options, table);
  }
  WriteResult(options, table, output);
  return AnyInputFailed() ? kExitSomeInputsFailed : kExitOk;
}

int RunMerge(TCountOptions& options, const std::vector<std::string>& partials, const TOutputOptions& output) {
  CheckCountOptions(options);
  if (partials.empty()) throw TFatal{kExitUsage, "merge: no partial-results files given"};
  // The kind comes from the first file's first line.
  std::vector<std::string> contents;
  for (const std::string& file : partials) {
    try {
      const std::vector<uint8_t> bytes = qn::platform::ReadWholeFile(std::string_view(file));
      contents.emplace_back(bytes.begin(), bytes.end());
    } catch (const qn::Exception& error) {
      throw TFatal{kExitCannot, file + ": " + error.what()};
    }
  }
  std::string kind;
  try {
    kind = partial::KindLineOf(contents[0]);
  } catch (const partial::TError& error) {
    throw TFatal{kExitCannot, partials[0] + ": not a quillon partial-results file (" + error.why + ")"};
  }
  if (kind == "wordlist" || kind == "keywords") {
    options.kind = kind;
  } else if (kind.rfind("ngrams ", 0) == 0) {
    options.kind = "ngrams";
    int64_t n = 0;
    std::string_view digits = std::string_view(kind).substr(7);
    if (!partial::Number(digits, n, true) || n < 1 || n > 32) {
      throw TFatal{kExitCannot, partials[0] + ": bad n-gram length"};
    }
    options.n = static_cast<int32_t>(n);
  } else {
    throw TFatal{kExitCannot, partials[0] + ": not a quillon partial-results file (unknown kind)"};
  }
  TCountTable table;
  for (size_t i = 0; i < contents.size(); ++i) MergeSerialised(partials[i], contents[i], options, table);
  WriteResult(options, table, output);
  return kExitOk;
}

}  // namespace quillon
