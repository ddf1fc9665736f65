/* Quillon lemmatiser: the records, callbacks and codes that cross the
   library's boundary.

   Usable from C (C99 or later) and C++. The same declarations are used inside
   the library (runtime1/definitions/LemmaStopMatchTypes.h aliases them), so
   both sides of the boundary see one layout.

   Texts are NUL-terminated. A text is either 8-bit (in the host's active code
   page, 1252 unless the host sets another) or UTF-16 (host byte order); which
   one is said by a flag next to it. A list owns every text its entries point
   to; a callback sees an entry only for the duration of the call. */
#ifndef QUILLON_LEMMA_TYPES_H
#define QUILLON_LEMMA_TYPES_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
/* One UTF-16 code unit. */
typedef char16_t QNWideChar;
#else
typedef uint16_t QNWideChar;
#endif

/* The library's Boolean results: 16-bit, -1 (all bits set) for true, 0 for false. */
typedef int16_t QNBool16;
#define QN_TRUE16 ((QNBool16)-1)
#define QN_FALSE16 ((QNBool16)0)

/* Kinds of list: the ordinals of TLemmaMatchStopOptions. Other codes address no list. */
#define QN_KIND_LEMMA 0    /* headwords with their variant forms */
#define QN_KIND_MATCH 1    /* texts the tools mark, delete or keep */
#define QN_KIND_STOP 2     /* words the tools leave out */
#define QN_KIND_RELATION 3 /* relation list */

/* Slots: one per tool ordinal, 0 .. QN_SLOT_COUNT - 1. */
#define QN_SLOT_COUNT 22

/* A list's name as handed to the line-count callback: up to 100 UTF-16 code
   units and a terminating NUL. */
#define QN_HUNDREDWIDECHAR_LENGTH 101

/* What a lemma list stores for each variant form. */
typedef struct TQNLemmaEntryRec {
  /* The variant, in the list's encoding (8-bit or UTF-16); the search key. */
  const void* variantp;
  /* The headword the variant belongs to; always UTF-16. Null for the list's
     internal seed entries, which are never reported. */
  const QNWideChar* headwordp;
} TQNLemmaEntryRec;

/* What match, relation and stop lists store for each entry. */
typedef struct TQNMatchEntryRec {
  /* The entry's text, in the list's encoding. */
  const void* searchp;
} TQNMatchEntryRec;

/* Callbacks are bound to an object: the function is called with the context
   first. A callback is "assigned" when its code is not null.

   In the entry callbacks, in_unicode says whether the entry's own text
   (variantp, searchp) is UTF-16; consider_affixes is true when that text holds
   a "<" and somewhere after it a ">"; this_one is the 1-based position of the
   entry in the walk and out_of the number of entries in the list's tree. Both
   count the list's seed entries, which are never reported, so the first
   reported entry need not be number 1. */
typedef struct TQNHandleLemmaProc {
  void (*code)(void* context, const TQNLemmaEntryRec* t, bool in_unicode, bool consider_affixes,
               int32_t this_one, int32_t out_of);
  void* context;
} TQNHandleLemmaProc;

typedef struct TQNHandleMatchProc {
  void (*code)(void* context, TQNMatchEntryRec t, bool in_unicode, bool consider_affixes,
               int32_t this_one, int32_t out_of);
  void* context;
} TQNHandleMatchProc;

/* Stop lists report through the same parameter list as match lists. */
typedef TQNHandleMatchProc TQNHandleStopProc;

/* Progress while a list file is read: n is the number of entries accepted so far. */
typedef struct TQNShowSomeProgressProc {
  void (*code)(void* context, int32_t n);
  void* context;
} TQNShowSomeProgressProc;

/* A count together with the name of the list being loaded; mess points to
   QN_HUNDREDWIDECHAR_LENGTH code units, NUL-terminated. */
typedef struct TQNAnnounceNumberAndMessageProc {
  void (*code)(void* context, int32_t n, const QNWideChar* mess);
  void* context;
} TQNAnnounceNumberAndMessageProc;

/* The host's yield procedure: processes the host's pending user-interface
   events; it may call CancelOne for the list being loaded. */
typedef struct TQNYieldProcessProc {
  void (*code)(void* context);
  void* context;
} TQNYieldProcessProc;

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QUILLON_LEMMA_TYPES_H */
