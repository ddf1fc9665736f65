#!/usr/bin/env python3
"""Makes the English lemma list used by the lemmatiser's tests and example.

Reads the exception lists of WordNet as the Debian package wordnet-base
installs them (/usr/share/wordnet/verb.exc and adj.exc: lines of
"variant headword [headword ...]") and writes one lemma file in the list
format, "headword -> variant, variant", sorted alphabetically by headword,
in three copies: 8-bit, UTF-16 little-endian and UTF-16 big-endian (each with
its byte-order mark). Multi-word entries are left out. A variant listed under
two headwords is kept under both, as in the source: the lemma list stores the
first pair and counts the second among its lines.

Usage: python3 make_lemma_fixture.py [wordnet folder] [output folder]
"""
import os
import re
import sys

SOURCES = ("verb.exc", "adj.exc")
WORD = re.compile(r"^[a-z][a-z'-]*$")
HEADER = [
    "; English lemma list derived from the WordNet 3.0 exception lists (verbs, adjectives).",
    "; WordNet 3.0 Copyright 2006 by Princeton University.  All rights reserved.",
    "; The licence is in WORDNET_LICENSE.txt beside this file.",
]


def read_pairs(folder):
    variants = {}
    for name in SOURCES:
        with open(os.path.join(folder, name), encoding="ascii") as source:
            for line in source:
                fields = line.split()
                if len(fields) < 2 or not all(WORD.match(f) for f in fields):
                    continue
                variant, headwords = fields[0], fields[1:]
                for headword in headwords:
                    if headword != variant:
                        variants.setdefault(headword, set()).add(variant)
    return variants


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/wordnet"
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.dirname(os.path.abspath(__file__))
    variants = read_pairs(folder)
    lines = HEADER + ["%s -> %s" % (h, ", ".join(sorted(variants[h]))) for h in sorted(variants)]
    text = "\r\n".join(lines) + "\r\n"
    with open(os.path.join(out, "english_lemmas_8bit.txt"), "wb") as f:
        f.write(text.encode("cp1252"))
    with open(os.path.join(out, "english_lemmas_utf16le.txt"), "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    with open(os.path.join(out, "english_lemmas_utf16be.txt"), "wb") as f:
        f.write(b"\xfe\xff" + text.encode("utf-16-be"))
    pairs = sum(len(v) for v in variants.values())
    print("%d headwords, %d pairs" % (len(variants), pairs))


if __name__ == "__main__":
    main()
