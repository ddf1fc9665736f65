// Small text analyses over one string or one file in memory: the word list of
// a text, its list of word n-grams, a quick comparison of two texts by their
// word frequencies, how far two texts differ in types and tokens, long
// character chunks that repeat within a text, and the sentences that recur
// across many files (TRepeatedChunks).
//
// Word lists. A word list is a TStringListWithFreqPointers (the caller owns
// and frees it) whose objects hold each word's frequency. Two spellings are
// one entry when the list's comparison (the user's locale, letter case
// ignored) finds them equal: "The" and "the" are one word, and so are the
// full-width and the ordinary letters of "cat", while "Straße" and "STRASSE"
// stay apart. An entry is spelled as the text first spelled it. A list in
// alphabetical order is a sorted list (Find works); a list in frequency order
// (descending, ties in code-unit order of the spellings) is not marked sorted,
// so that a lookup in it searches the whole list instead of answering wrongly.
//
// Speed. Words are counted in hash tables keyed first by exact spelling, then
// by the collation key of each new spelling, and the list is built once at
// the end, so a list of ten million words or trigrams takes seconds. Long
// walks yield to the user interface (MyYieldProcess) every 4,096 code units.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Callbacks.h"
#include "platform/Export.h"
#include "runtime1/containers/Useful_Classes_filelist.h"
#include "runtime1/containers/Useful_Classes_numberlists.h"
#include "runtime1/containers/Useful_Classes_stringlists.h"

namespace qn {

// Progress of a long walk in percent, 0 to 100.
using TProgressChangedFunct = platform::TMethod<void(int32_t percent)>;
// A running count.
using TTellCountEvent = platform::TMethod<void(int32_t contagem)>;
// Whether a word is to be counted.
using TAcceptWordFunct = platform::TMethod<bool(const std::u16string& word)>;

// A word whose frequencies in two texts differ, with both frequencies.
struct TFreqDifference {
  int32_t first_text_freq = 0;
  int32_t second_text_freq = 0;
  std::u16string wd;
};

// How far two texts differ: the number of types found in only one of them,
// and the sum of the token differences. (-1, -1) when they were not compared.
struct TTypeAndTokenDifferences {
  int32_t types = -1;
  int32_t tokens = -1;
  friend bool operator==(const TTypeAndTokenDifferences&, const TTypeAndTokenDifferences&) = default;
};

// ---------------------------------------------------------------------------
// Word lists and n-grams.

// The words of text (maximal runs of letters or digits: Lu, Ll, Lt, Lm, Lo,
// Nd) of at least minLength code units, with their frequencies; in
// alphabetical order, or by descending frequency with sortByFrequency.
QN_API TStringListWithFreqPointers* SimpleTallierOfTxt(std::u16string_view text, int32_t minLength,
                                                       bool sortByFrequency);
// The same, counting only the words that accept returns true for (every word
// when accept is not assigned).
QN_API TStringListWithFreqPointers* SimpleTallierOfTxt(std::u16string_view text, TAcceptWordFunct accept,
                                                       bool sortByFrequency);

// The word list of a whole corpus, counted text by text. Words and their
// comparison are those of SimpleTallierOfTxt; what a text taught the tally
// stays for the next one: every spelling met, its word type and the type's
// collation key are made once per corpus, and a spelling met again in a later
// text costs one lookup in the tally's table.
//
// Each word type (numbered 0, 1, ... in the order they were first met) keeps
// its first spelling, its frequency over the corpus and the number of texts
// it occurs in. AddText counts one text, or a piece of one cut between
// words; the pieces of one text share its number and come one after the
// other. After each AddText, the types met in that call and their
// frequencies there can be read (MetType, MetFreq), so that a caller can
// keep facts of its own per text (for example counting several types as one
// headword).
class QN_API TCorpusWordTally {
 public:
  // Words shorter than minLength code units are not counted.
  explicit TCorpusWordTally(int32_t minLength = 1);
  TCorpusWordTally(const TCorpusWordTally&) = delete;
  TCorpusWordTally& operator=(const TCorpusWordTally&) = delete;
  ~TCorpusWordTally();

  // Counts the words of text as part of text textNumber; the number of words
  // counted.
  int64_t AddText(std::u16string_view text, int64_t textNumber);

  // Word types so far.
  int32_t TypeCount() const noexcept;
  // A type's first spelling (valid as long as the tally).
  std::u16string_view Spelling(int32_t type) const;
  // A type's collation key under the list's comparison (valid until the next
  // AddText).
  std::string_view Key(int32_t type) const;
  // A type's frequency over the corpus (saturating at INT64_MAX) and the
  // number of texts it occurs in.
  int64_t Freq(int32_t type) const;
  int64_t Texts(int32_t type) const;
  // Words counted, and distinct text numbers given, over the corpus.
  int64_t Tokens() const noexcept;
  int64_t TextCount() const noexcept;
  // The type of word, or -1 when no spelling equal to it under the list's
  // comparison was counted.
  int32_t Find(std::u16string_view word) const;

  // The types met in the last AddText, in no particular order, each once,
  // with their frequencies in it.
  int32_t MetCount() const noexcept;
  int32_t MetType(int32_t i) const;
  int64_t MetFreq(int32_t i) const;

  // The corpus's word list as SimpleTallierOfTxt makes a text's (frequencies
  // saturating at INT32_MAX); the caller owns it.
  TStringListWithFreqPointers* List(bool sortByFrequency) const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> fImpl;
};

// The n-grams of text (n words joined by single spaces) with their
// frequencies. Words are runs of letters and numbers (L*, Nd, Nl, No); a tag
// ("<" to ">", at most maxTagLength units) inside or between words is passed
// over. White space, controls and symbols end a word; punctuation and marks
// end it too and, unless they are connectors, dashes or a comma, end the run
// of words, so no n-gram spans a full stop. N-grams are the same when their
// words are the same one by one under the list's comparison. progress, when
// assigned, receives the percentage of the text walked whenever it changes as
// new n-grams appear. An empty list for n < 1.
QN_API TStringListWithFreqPointers* SimpleNGramListOfTxt(std::u16string_view text, int32_t n, int32_t maxTagLength,
                                                         TProgressChangedFunct progress, bool sortByFrequency);

// The n-gram list of a whole corpus, counted text by text, as
// TCorpusWordTally counts words: n-grams and their word types are those of
// SimpleNGramListOfTxt, and the word types, the n-grams and their first
// spellings stay from text to text, so that a text costs its walk and no list
// of its own. N-grams are numbered 0, 1, ... in the order they were first met;
// the pieces of one text share its number (a window never runs from one call
// into the next).
class QN_API TCorpusNGramTally {
 public:
  // An n below 1 counts nothing.
  TCorpusNGramTally(int32_t n, int32_t maxTagLength);
  TCorpusNGramTally(const TCorpusNGramTally&) = delete;
  TCorpusNGramTally& operator=(const TCorpusNGramTally&) = delete;
  ~TCorpusNGramTally();

  // Counts the n-grams of text as part of text textNumber; the number of
  // n-grams counted.
  int64_t AddText(std::u16string_view text, int64_t textNumber);

  int32_t TypeCount() const noexcept;
  // An n-gram's words as first met, joined by single spaces.
  std::u16string Text(int32_t gram) const;
  int64_t Freq(int32_t gram) const;
  int64_t Texts(int32_t gram) const;
  int64_t Tokens() const noexcept;
  int64_t TextCount() const noexcept;

  // The n-grams met in the last AddText, in no particular order, each once,
  // with their frequencies in it.
  int32_t MetCount() const noexcept;
  int32_t MetType(int32_t i) const;
  int64_t MetFreq(int32_t i) const;

  // The corpus's n-gram list as SimpleNGramListOfTxt makes a text's
  // (frequencies saturating at INT32_MAX); the caller owns it.
  TStringListWithFreqPointers* List(bool sortByFrequency) const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> fImpl;
};

// ---------------------------------------------------------------------------
// Comparing two texts.

// Both texts upper-cased and listed (words of at least minLength units); the
// list with more types (the second on a tie) is walked from its most frequent
// word, skipping words rarer than minFrequency, and the first word whose two
// frequencies differ by more than maxDifference is reported. wd is "" and the
// frequencies 0 when no word differs that much.
QN_API TFreqDifference BagOfWordsSimilar(std::u16string_view text1, std::u16string_view text2,
                                         int32_t maxDifference, int32_t minFrequency, int32_t minLength);

// Types found in only one text and the sum of the token differences, when the
// texts' lengths differ by at most maxLengthPercent of their mean length and
// their token difference is at most maxTokenPercent of all tokens (or they
// share at least 100 - maxTokenPercent percent of their types); (-1, -1)
// otherwise. Two texts without words give (0, 0). list1 is text1's word list:
// made here (alphabetical, minimum length 1) when null and then kept by the
// caller, who frees it, so that one text can be compared with many.
// lastWord receives the last word met in only one of the texts.
QN_API TTypeAndTokenDifferences TypeAndTokenDifferences2Strings(std::u16string_view text1, std::u16string_view text2,
                                                                TStringListWithFreqPointers*& list1,
                                                                int32_t maxTokenPercent, int32_t maxLengthPercent,
                                                                std::u16string& lastWord);
// text1 against the text of fileName2 without its < > markup (tags up to
// maxTagLength units): identical texts give (0, 0); different ones are
// compared as above when maxLengthPercent is not 0, and give (-1, -1) when it
// is 0. lastWord starts as "".
QN_API TTypeAndTokenDifferences TypeAndTokenDifferences2Files(TStringListWithFreqPointers*& list1,
                                                              std::u16string_view text1,
                                                              std::u16string_view fileName2, int32_t maxTokenPercent,
                                                              int32_t maxLengthPercent, int32_t maxTagLength,
                                                              std::u16string& lastWord);
// Two files: the first without its open..close markup, the second as above.
QN_API TTypeAndTokenDifferences TypeAndTokenDifferences2Files(std::u16string_view fileName1,
                                                              std::u16string_view fileName2, char16_t open,
                                                              char16_t close, int32_t maxTagLength,
                                                              int32_t maxTokenPercent, int32_t maxLengthPercent,
                                                              std::u16string& lastWord);

// ---------------------------------------------------------------------------
// Repeated chunks of characters.

// The text cut into consecutive chunks of chunkLength units (while a whole
// chunk fits); each chunk, trimmed of units up to U+0020, that is still longer
// than 100 units is looked for after its own end: each later occurrence
// (overlapping ones included, letter case counting) adds the chunk with the
// record (1, position of the occurrence) or increases its count (long0). The
// search for one chunk stops once the list holds at least maxItems entries of
// which at least maxItems occur more than once. The list (a sorted list whose
// entries merge as its comparison says) is then sorted by descending count,
// ties by ascending position, and entries counted fewer than minFrequency
// times are removed. progress receives the percentage of the text covered.
// An empty list for chunkLength < 1.
QN_API TStringListWith2LongintList* RepeatedXCharChunks(int32_t chunkLength, int32_t minFrequency, int32_t maxItems,
                                                        std::u16string_view text, TProgressChangedFunct progress);

// ---------------------------------------------------------------------------
// Occurrences of strings across files.

// Pairs (t2_long0 = file number, t2_long1 = frequency in that file).
class QN_API TListOfOccurrences : public T2LongintList {
 public:
  TListOfOccurrences();
  ~TListOfOccurrences() override;
};

// Strings, each with its owned list of occurrences. Strings are found with the
// list's comparison, which ignores letter case: the counts of spellings that
// differ only in case add up in one entry.
class QN_API TStringlistWithListOfOccurrences : public TIndexCheckStringlist {
 public:
  TStringlistWithListOfOccurrences();
  ~TStringlistWithListOfOccurrences() override;

  // The entry for S (made with an empty list when absent); freq is added to
  // the pair of file_number, or a pair (file_number, freq) is appended.
  // Returns the entry's index.
  int32_t AddOrIncOneByFreq(std::u16string_view S, int32_t file_number, int32_t freq);
  // The occurrence list of entry i, nullptr outside the list.
  TListOfOccurrences* GetAListOfOccurrences(int32_t i) const noexcept;
  // The number of entries that occur in more than one file.
  int32_t Repeateds() const noexcept;
  // By descending total frequency over all files; ties in descending string
  // order (code units).
  void SortAllOccurrencesFreqDescending();
  // By the file number of each entry's first pair, ascending; ties in
  // descending string order.
  void SortAllOccurrencesFileAscending();
};

// ---------------------------------------------------------------------------
// Sentences that recur across files.

// Collects the sentences of many files and records in which files, and how
// often, each recurs. Use: SetSettings; for each file LoadATextFile, then
// AddToRepeatedSentencesInTxt; then a sort, chunks_list and GetAFilename;
// finally Clear. Owns its three lists.
//
// A walk yields to the user interface once per paragraph; a handler running
// then may call Stop (the walk ends at the next paragraph). Clear,
// LoadATextFile and AddToRepeatedSentencesInTxt are refused while a walk runs
// (nothing happens; LoadATextFile answers -1); the object must not be
// destroyed from such a handler.
class QN_API TRepeatedChunks {
 public:
  TRepeatedChunks();
  TRepeatedChunks(const TRepeatedChunks&) = delete;
  TRepeatedChunks& operator=(const TRepeatedChunks&) = delete;
  ~TRepeatedChunks();

  bool processing = false;
  bool include_unterminated_sentences = false;
  int32_t min_sentence_length = 0;
  int32_t min_hits = 0;
  int32_t tag_span = 0;
  TProgressChangedFunct this_reporting;
  TProgressChangedFunct overall_reporting;
  TTellCountEvent running_total_reporting;
  std::u16string txt;  // the text of the current file, without markup
  std::unique_ptr<TQNLongintList> display_index;  // the caller's display order
  std::unique_ptr<TFolderEfficientFileStringlist> fnames;
  std::unique_ptr<TStringlistWithListOfOccurrences> chunks_list;

  void SetSettings(bool ainclude_unterminated_sentences, int32_t atag_span, int32_t amin_hits, int32_t amin_sent_len,
                   TProgressChangedFunct athis, TProgressChangedFunct aoverall, TTellCountEvent arunning_total);
  // Adds the file to fnames and makes txt its text without < > markup (tags
  // up to tag_span units); the file's index, or -1 when it does not exist.
  int32_t LoadATextFile(std::u16string_view filename);
  // Reports file_number * 100 / total_files (when total_files > 0) through
  // overall_reporting, adds the recurring sentences of txt and reports the
  // size of chunks_list through running_total_reporting. Raises "list not
  // assigned" without chunks_list.
  void AddToRepeatedSentencesInTxt(int32_t file_number, int32_t total_files);
  // Every distinct sentence of the paragraphs of tagless (CR LF ends a
  // paragraph; sentences by SentencesExtractedFromParagraph with the
  // settings) that occurs at least min_hits times in tagless (letter case
  // counting, overlapping occurrences included) is added to chunks_list with
  // (file_number, count). Returns the number of new entries. Raises
  // "chunks_list not assigned" without chunks_list.
  int32_t AddedToRepeatedSentencesInTxt(int32_t file_number, std::u16string_view tagless);
  void Stop() noexcept;
  void SortDescendingFreq();
  void SortAScendingFilenumbers();
  // The full name of file i, "" outside the list.
  std::u16string GetAFilename(int32_t i) const;
  void Clear();
};

}  // namespace qn
