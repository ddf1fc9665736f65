/* Quillon lemmatiser: the functions of libQN7QuillonLemmatiser.so.

   A tool loads the library on demand (dlopen) and binds these functions by
   name (dlsym); the TQN...Func typedefs below are their pointer types. Usable
   from C and C++.

   The library keeps four lists for each of QN_SLOT_COUNT slots (one slot per
   tool): a lemma list, a match list, a stop list and a relation list, chosen by
   the QN_KIND_... codes. A slot outside 0 .. QN_SLOT_COUNT - 1, an unknown kind
   or a null text gets the function's "nothing" result (false, null, 0 or an
   empty text) and changes nothing. No function lets an error escape.

   Results. Texts are returned as pointers to NUL-terminated texts. Those of
   LemmaVariantsOf, GetAString and the change-word functions live in one of two
   shared buffers (8-bit, UTF-16; at most 255 code units each) and stay valid
   until the next call that writes the same buffer; a call that returns UTF-16
   writes only the UTF-16 buffer, one that returns 8-bit text only the 8-bit
   buffer (a query word that must be converted is converted into a private
   buffer, never into a result buffer). FoundInTheList and LemmaHeadWords point
   into a list's storage, valid until that list is cleared or reloaded. Copy
   what you keep.

   Case and locale. A list is loaded for a Windows locale identifier (lcid,
   for example 0x0409 for English (United States), 0x0419 for Russian): it
   chooses the upper-casing of the list's text and the 8-bit code page of the
   language. A list loaded case-insensitively (case_sensitive false) holds its
   entries upper-cased, and exact look-ups (FoundInTheList, the change-word
   functions) want the word upper-cased the same way: pass "WENT", not "went".

   Threads. Every function is called on the tool's one user-interface thread.
   While LoadedOne runs, the library calls the yield procedure installed with
   SetYieldProcedure once per entry; from there, and only from there, the tool
   may call CancelOne for the list being loaded, which then ends as a successful
   load with the entries read so far. LoadedOne, ClearOne and the walks called
   from inside a running LoadedOne, ClearOne or walk (from the yield procedure
   or a walk's callback) are refused with their "nothing" result; the queries
   stay open, and find a list that is being cleared (by ClearOne or at the
   start of LoadedOne) empty. */
#ifndef QUILLON_LEMMATISER_H
#define QUILLON_LEMMATISER_H

#include "quillon/QuillonLemmaTypes.h"

#if defined(__GNUC__)
#define QN_LEMMATISER_EXPORT __attribute__((visibility("default")))
#else
#define QN_LEMMATISER_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Loads a list file into a slot's list of a kind. The lemma list is emptied
   first; for the other kinds a missing file leaves the list as it was. The
   whole text is upper-cased for lcid unless case_sensitive; commas_in_entries
   (match lists only) makes commas part of entries. line_count is called with
   the number of lines of the file, then the number of entries accepted, and
   for a lemma list the number of pairs; progress every 256 entries. Both may be
   unassigned. True when entries were accepted. */
QN_LEMMATISER_EXPORT QNBool16 LoadedOne(uint8_t slot, const QNWideChar* file_name, uint8_t kind,
                                        TQNAnnounceNumberAndMessageProc line_count,
                                        TQNShowSomeProgressProc progress, uint32_t lcid,
                                        bool case_sensitive, bool commas_in_entries);
/* Empties a list. True, also for an unknown kind (nothing is cleared then). */
QN_LEMMATISER_EXPORT QNBool16 ClearOne(uint8_t slot, uint8_t kind);
/* Asks the load running for that list to stop before its next entry. */
QN_LEMMATISER_EXPORT void CancelOne(uint8_t slot, uint8_t kind);
/* Looks a word up exactly (in the list's case form: upper-cased when the list
   was loaded case-insensitively); an 8-bit word on a UTF-16 list or the reverse
   is converted through the active code page, cut to 255 code units. Lemma
   list: the variant's headword (UTF-16) or null. Other kinds: the stored text
   (in the list's encoding) or null. */
QN_LEMMATISER_EXPORT const void* FoundInTheList(uint8_t slot, const void* word, bool word_in_unicode,
                                                uint8_t kind);
/* The collected display line at 0-based position n (see TraversedOne), UTF-16
   or converted to 8-bit through the active code page; null outside the lines.
   code_page has no effect. */
QN_LEMMATISER_EXPORT const void* GetAString(int32_t n, bool in_unicode, int32_t code_page);
/* The variants of a headword (found without regard to case) in file order,
   joined by separated_with (null: nothing between them), cut to 255 units. */
QN_LEMMATISER_EXPORT const QNWideChar* LemmaVariantsOf(uint8_t slot, const QNWideChar* headword,
                                                       const QNWideChar* separated_with);
/* The headword at 0-based position n of the sorted headword list, or null. */
QN_LEMMATISER_EXPORT const QNWideChar* LemmaHeadWords(uint8_t slot, int32_t n);
QN_LEMMATISER_EXPORT int32_t LemmaHeadWordsCount(uint8_t slot);
/* Pairs stored by the last load of the slot's lemma list. */
QN_LEMMATISER_EXPORT int32_t LemmaPairEntriesAltogether(uint8_t slot);
/* Entries accepted by the last load (duplicates included). */
QN_LEMMATISER_EXPORT int32_t MatchListWordsCount(uint8_t slot);
QN_LEMMATISER_EXPORT int32_t StopListWordsCount(uint8_t slot);
/* Installs the callback in the list (it stays installed) and reports every
   entry but the seeds in ordinal order of the stored texts. */
QN_LEMMATISER_EXPORT void TraverseLemmasDoing(uint8_t slot, TQNHandleLemmaProc proc);
QN_LEMMATISER_EXPORT void TraverseMatchesDoing(uint8_t slot, TQNHandleMatchProc proc);
QN_LEMMATISER_EXPORT void TraverseRelationsDoing(uint8_t slot, TQNHandleMatchProc proc);
QN_LEMMATISER_EXPORT void TraverseStopsDoing(uint8_t slot, TQNHandleStopProc proc);
/* Collects a list's entries as display lines ("variant (headword)" for lemma
   lists, the text for the others) for GetAString; at most max_to_show + 1
   lines. Returns the number collected; 0 for an unknown kind. */
QN_LEMMATISER_EXPORT int32_t TraversedOne(uint8_t slot, int32_t max_to_show, uint8_t kind);
/* The headword of a variant in the slot's lemma list, or an empty text when the
   word is no variant. in_unicode gives the encoding of both the word and the
   result: when true (non-zero) word is read as a NUL-terminated UTF-16 text and
   the result is UTF-16; when false (0) word is read as NUL-terminated 8-bit
   text in the active code page and the result is 8-bit in that page. A word in
   the other encoding than the list's is converted first (into a private
   buffer). The word is in the list's case form (see "Case and locale").
   code_page has no effect. */
QN_LEMMATISER_EXPORT const void* TallierChangeWord(uint8_t slot, const void* word, int32_t code_page,
                                                   QNBool16 in_unicode);
/* TallierChangeWord on slot 1 and slot 2. */
QN_LEMMATISER_EXPORT const void* KwickerChangeWord(const void* word, int32_t code_page,
                                                   QNBool16 in_unicode);
QN_LEMMATISER_EXPORT const void* SalientorChangeWord(const void* word, int32_t code_page,
                                                     QNBool16 in_unicode);
/* Installs the host's yield procedure (unassigned: none). */
QN_LEMMATISER_EXPORT void SetYieldProcedure(TQNYieldProcessProc proc);

/* Pointer types for binding by name. */
typedef QNBool16 (*TQNLoadedOneFunc)(uint8_t, const QNWideChar*, uint8_t, TQNAnnounceNumberAndMessageProc,
                                     TQNShowSomeProgressProc, uint32_t, bool, bool);
typedef QNBool16 (*TQNClearOneFunc)(uint8_t, uint8_t);
typedef void (*TQNCancelOneFunc)(uint8_t, uint8_t);
typedef const void* (*TQNFoundInTheListFunc)(uint8_t, const void*, bool, uint8_t);
typedef const void* (*TQNGetAStringFunc)(int32_t, bool, int32_t);
typedef const QNWideChar* (*TQNLemmaVariantsOfFunc)(uint8_t, const QNWideChar*, const QNWideChar*);
typedef const QNWideChar* (*TQNLemmaHeadWordsFunc)(uint8_t, int32_t);
typedef int32_t (*TQNSlotCountFunc)(uint8_t); /* the four count functions */
typedef void (*TQNTraverseLemmasDoingFunc)(uint8_t, TQNHandleLemmaProc);
typedef void (*TQNTraverseMatchesDoingFunc)(uint8_t, TQNHandleMatchProc); /* also relations, stops */
typedef int32_t (*TQNTraversedOneFunc)(uint8_t, int32_t, uint8_t);
typedef const void* (*TQNTallierChangeWordFunc)(uint8_t, const void*, int32_t, QNBool16);
typedef const void* (*TQNChangeWordFunc)(const void*, int32_t, QNBool16); /* Kwicker, Salientor */
typedef void (*TQNSetYieldProcedureFunc)(TQNYieldProcessProc);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QUILLON_LEMMATISER_H */
