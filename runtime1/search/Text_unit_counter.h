// Counting a text's words, sentences and paragraphs as the search-and-do
// engine and the concordance numbering count them, without decoding or
// classifying the whole text: the text's bytes are taken piece by piece, in
// their encoding, with the state carried from piece to piece.
//
// The counts are those of the whole decoded text classified by the engine
// itself (no markup, no markers, no middle characters):
//   - a word starts at unit j when j is not white space (kDetailWhiteSpace)
//     and j - 1 is, or j is the first unit; the engine's word count at a hit
//     starting at k, plus one when the text starts with something else than
//     white space, is the number of word starts in [0, k + 1);
//   - a paragraph ends at a line break (LF, CR, U+2029) after something other
//     than white space; a run of line breaks ends one paragraph;
//   - a sentence ends where EndOfSentence finds an end (a terminator after a
//     letter or digit, not followed by one), and also at the end of a
//     paragraph whose last sentence had no terminator.
//
// Blocks of 64 units below U+0080 are counted from bit masks, the sentence
// and paragraph walk over them by carries through the masks instead of a
// step per unit; other units are decoded and classified one by one with the
// library's own classes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn {

// The sentence and paragraph ends of a text, taken unit by unit in text
// order. A unit's effect can depend on the unit after it (a terminator
// followed by a letter ends nothing), so the last unit taken is held until
// the next one comes; EndsBefore() decides it with the unit given.
class QN_API TSentenceParagraphCounter {
 public:
  // Takes count units with their class words (CT_CTYPE1, as the engine's
  // detail array holds them).
  void Take(const char16_t* units, const uint16_t* details, size_t count) noexcept;
  // Whether a paragraph and a sentence are open and a letter or digit was
  // met: then only a possible terminator or a line break changes anything.
  bool Open() const noexcept { return fParagraphOpen && fSentenceOpen && fSeenLetter; }

  // The ends before the units taken so far, the last one decided by next
  // (the unit after it); atTextEnd when the text ends there instead.
  int64_t SentencesBefore(char16_t next, bool atTextEnd = false) const noexcept;
  int64_t ParagraphsBefore(char16_t next, bool atTextEnd = false) const noexcept;
  // Both at once (the held unit decided once).
  void EndsBefore(char16_t next, bool atTextEnd, int64_t& sentences, int64_t& paragraphs) const noexcept;
  int64_t UnitsTaken() const noexcept { return fTaken; }

  // The held unit decided by the text's end: the counts are then final.
  void TakeTextEnd() noexcept;
  int64_t Sentences() const noexcept { return fSentences; }
  int64_t Paragraphs() const noexcept { return fParagraphs; }

  static bool IsLineBreak(char16_t c) noexcept { return c == u'\n' || c == u'\r' || c == 0x2029; }

 private:
  friend class TTextUnitCounter;
  friend struct TAsciiBlocks;
  // Unit c (classes d) decided by whether the next unit is a letter or
  // digit, or by the text's end.
  void Step(char16_t c, uint16_t d, bool nextIsLetterOrDigit, bool atTextEnd) noexcept;
  void Hold(char16_t c, uint16_t d) noexcept {
    fHeld = true;
    fHeldUnit = c;
    fHeldDetail = d;
    ++fTaken;
  }

  int64_t fSentences = 0, fParagraphs = 0, fTaken = 0;
  bool fParagraphOpen = false, fSentenceOpen = false;
  bool fSeenLetter = false;  // a letter or digit since the last sentence end
  bool fHeld = false;
  char16_t fHeldUnit = 0;
  uint16_t fHeldDetail = 0;
};

// The counts of a text whose bytes are taken piece by piece.
class QN_API TTextUnitCounter {
 public:
  // encoding: kEncodingUTF8, kEncodingUTF16LE or BE, or an 8-bit code page
  // (kEncodingDefault: the active one). Multi-byte code pages other than
  // UTF-8 are not counted: Handles() says so, and Add() does nothing.
  //
  // The masks of ASCII blocks are made with the widest vector instructions
  // the processor has, up to widestLevel (4: AVX-512 with VBMI, 3: AVX-512BW,
  // 2: AVX2, 1: SSE2, 0: none), so that tests can run every form on one
  // machine; all count alike.
  explicit TTextUnitCounter(platform::TTextEncoding encoding, int widestLevel = 4);
  static bool Handles(platform::TTextEncoding encoding) noexcept;
  // The widest level this processor has.
  static int ProcessorLevel() noexcept;

  // The next bytes of the text. The encoding's signature at the start of the
  // text is skipped, as the readers skip it; a zero unit ends the text.
  void Add(std::span<const uint8_t> bytes);
  // No more bytes: an unfinished character at the end is decoded as the
  // readers decode it, and the last unit is decided by the text's end.
  void Finish();

  // Units of the decoded text counted so far (the bytes of an unfinished
  // character are not counted until the rest comes).
  int64_t Units() const noexcept { return fEnds.UnitsTaken(); }
  // Word starts among them.
  int64_t WordStarts() const noexcept { return fWordStarts; }
  // Whether the last unit counted is white space (true before any unit).
  bool LastIsWhite() const noexcept { return fLastWhite; }
  // Whether a zero unit ended the text (later bytes are not counted).
  bool Ended() const noexcept { return fEnded; }
  // Whether a byte of 0x80 or above was among the bytes counted, in 8-bit
  // and UTF-8 text: until one is, the text counts the same in both.
  bool MetByteBeyondAscii() const noexcept { return fBeyondAscii; }
  // The sentence and paragraph state after the units counted: the caller
  // may go on with it over the decoded text that follows.
  const TSentenceParagraphCounter& Ends() const noexcept { return fEnds; }

 private:
  friend struct TAsciiBlocks;
  void Process(const uint8_t* p, size_t n);
  // The blocks of 64 plain ASCII units (not zero) from p on, as many as
  // there are in a row among the n bytes; returns the bytes counted.
  size_t AsciiRun(const uint8_t* p, size_t n) noexcept;
  void Units(const char16_t* u, size_t n);

  platform::TTextEncoding fEncoding;
  bool fHandled = false, fWide = false, fBigEndian = false, fUtf8 = false;
  bool fAsciiSame = false;            // units below 0x80 are the bytes (8-bit, UTF-8)
  int fLevel = 0;                     // the vector instructions used for ASCII blocks
  const char16_t* fDecode = nullptr;  // single-byte decoding table
  const uint16_t* fClasses = nullptr; // the class of every UTF-16 unit
  bool fStarted = false;              // the signature is behind
  bool fEnded = false, fFinished = false;
  bool fBeyondAscii = false;
  int64_t fWordStarts = 0;
  bool fLastWhite = true;
  TSentenceParagraphCounter fEnds;
  std::vector<uint8_t> fCarry, fJoined;  // an unfinished character, and it joined to the next bytes
  std::u16string fDecoded;               // scratch for decoded units
};

}  // namespace qn
