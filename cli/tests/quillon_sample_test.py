#!/usr/bin/env python3
"""End-to-end tests of the `quillon` program on the sample corpus (data/sample).

The expected figures are worked out here, independently of the program: the
sample texts are decoded with the encodings they were written in (see
scripts/make_sample_corpus.sh), words are counted with Python's regular
expressions, and simple counts are checked once more against `grep -oiw`.

    python3 cli/tests/quillon_sample_test.py PATH/TO/quillon [SOURCE_DIR]
"""
import collections
import csv
import io
import json
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

QUILLON = None
ROOT = None
SAMPLE = None

# The sample texts and how they were written (file -> encoding, byte-order mark).
ENCODINGS = {
    "ot/genesis.txt": ("utf-8", b""),
    "ot/exodus.txt": ("utf-16-le", b"\xff\xfe"),
    "ot/ruth.txt": ("utf-16-le", b""),
    "ot/psalms.txt": ("cp1252", b""),
    "ot/jonah.txt": ("utf-16-be", b"\xfe\xff"),
    "nt/acts.txt": ("utf-8", b"\xef\xbb\xbf"),
}
GOSPELS = ["matthew.txt", "mark.txt", "luke.txt", "john.txt"]

# A word as the program counts it: a run of letters and digits.
WORD = re.compile(r"[^\W_]+")


def sample_texts():
    """{name relative to data/sample: decoded text} for every text of the sample."""
    texts = {}
    for name, (encoding, mark) in ENCODINGS.items():
        with open(os.path.join(SAMPLE, name), "rb") as f:
            data = f.read()
        assert data.startswith(mark), name
        texts[name] = data[len(mark):].decode(encoding)
    with zipfile.ZipFile(os.path.join(SAMPLE, "nt", "gospels.zip")) as z:
        for entry in GOSPELS:
            texts["nt/gospels.zip/" + entry] = z.read(entry).decode("utf-8")
    return texts


def words_of(text):
    return [w.lower() for w in WORD.findall(text)]


def word_number(text, word):
    """The number of the first word of TEXT that holds WORD, as a concordance
    numbers words: runs of characters between white space (so that a dash
    standing alone counts as a word)."""
    for i, token in enumerate(text.split()):
        if word.lower() in words_of(token):
            return i + 1
    raise AssertionError("%r is not in the text" % word)


def run(args, stdin=None, check=True, cwd=None):
    """Runs quillon with ARGS; returns (status, standard output, standard error)."""
    p = subprocess.run([QUILLON] + args, input=stdin, capture_output=True, cwd=cwd or ROOT, timeout=300)
    out, err = p.stdout.decode("utf-8"), p.stderr.decode("utf-8", "replace")
    if check and p.returncode != 0:
        raise AssertionError("quillon %s exited %d\n%s" % (" ".join(args), p.returncode, err))
    return p.returncode, out, err


def tsv(out):
    """Rows of a TSV output as dicts keyed by the header's column names."""
    lines = out.split("\n")
    assert lines and lines[-1] == "", "output does not end with a line break"
    header = lines[0].split("\t")
    rows = []
    for line in lines[1:-1]:
        fields = line.split("\t")
        assert len(fields) == len(header), "row %r does not match header %r" % (line, header)
        rows.append(dict(zip(header, fields)))
    return rows


def grep_count(word, path):
    """Occurrences of WORD in the file at PATH by `grep -oiw` (for ASCII and UTF-8 files)."""
    p = subprocess.run(["grep", "-oiw", word, path], capture_output=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
    return len(p.stdout.splitlines())


class Corpus:
    """Counts of the sample worked out in Python, made once."""
    texts = None
    words = None
    counts = None

    @classmethod
    def load(cls):
        if cls.texts is None:
            cls.texts = sample_texts()
            cls.words = {name: words_of(text) for name, text in cls.texts.items()}
            cls.counts = collections.Counter()
            for ws in cls.words.values():
                cls.counts.update(ws)
        return cls

    @classmethod
    def part(cls, prefix):
        c = collections.Counter()
        for name, ws in cls.load().words.items():
            if name.startswith(prefix):
                c.update(ws)
        return c


class WordlistTest(unittest.TestCase):
    def setUp(self):
        self.c = Corpus.load()

    def test_counts_of_the_whole_sample(self):
        _, out, err = run(["wordlist", "--quiet", "data/sample"])
        rows = tsv(out)
        tokens = sum(self.c.counts.values())
        self.assertIn("quillon: wordlist: 10 texts read, %d tokens, %d types" % (tokens, len(self.c.counts)), err)
        self.assertEqual(len(rows), len(self.c.counts))
        got = {r["word"]: r for r in rows}
        for word in ["the", "and", "lord", "god", "jesus", "leviathan", "génesis", "žalmy", "ιωνάς", "רות"]:
            with self.subTest(word=word):
                self.assertEqual(int(got[word]["frequency"]), self.c.counts[word])
                self.assertEqual(got[word]["percent"], "%.4f" % (self.c.counts[word] * 100 / tokens))
                in_texts = sum(1 for ws in self.c.words.values() if word in ws)
                self.assertEqual(int(got[word]["texts"]), in_texts)
        # Frequency order, ties in code-unit order.
        keys = [(-int(r["frequency"]), r["word"].encode("utf-16-be")) for r in rows]
        self.assertEqual(keys, sorted(keys))

    def test_a_simple_word_agrees_with_grep(self):
        genesis = os.path.join(SAMPLE, "ot", "genesis.txt")
        _, out, _ = run(["wordlist", "--quiet", genesis])
        got = {r["word"]: int(r["frequency"]) for r in tsv(out)}
        for word in ["the", "abraham", "begat", "firmament"]:
            with self.subTest(word=word):
                self.assertEqual(got[word], grep_count(word, genesis))
                self.assertEqual(got[word], words_of(self.c.texts["ot/genesis.txt"]).count(word))

    def test_every_encoding_is_read(self):
        # Each text alone: the same tokens as its decoding here, whatever its encoding.
        for name in ENCODINGS:
            with self.subTest(text=name):
                _, out, err = run(["wordlist", "--quiet", os.path.join(SAMPLE, name)])
                rows = tsv(out)
                self.assertEqual(sum(int(r["frequency"]) for r in rows), len(self.c.words[name]))
                self.assertEqual({r["word"]: int(r["frequency"]) for r in rows},
                                 dict(collections.Counter(self.c.words[name])))

    def test_top_min_freq_and_alphabetical_order(self):
        _, out, _ = run(["wordlist", "--quiet", "--top", "20", "data/sample"])
        rows = tsv(out)
        self.assertEqual([r["word"] for r in rows], [w for w, _ in sorted(self.c.counts.items(),
                         key=lambda kv: (-kv[1], kv[0].encode("utf-16-be")))[:20]])
        _, out, _ = run(["wordlist", "--quiet", "--min-freq", "1000", "--sort", "alpha", "data/sample"])
        rows = tsv(out)
        self.assertEqual(sorted(r["word"] for r in rows), sorted(w for w, n in self.c.counts.items() if n >= 1000))
        ascii_words = [r["word"] for r in rows if r["word"].isascii()]
        self.assertEqual(ascii_words, sorted(ascii_words))

    def test_stop_list(self):
        with tempfile.TemporaryDirectory() as tmp:
            stop = os.path.join(tmp, "stop.txt")
            with open(stop, "w") as f:
                f.write("the\nand\nof\n")
            _, out, _ = run(["wordlist", "--quiet", "--stop", stop, "data/sample"])
        got = {r["word"]: r for r in tsv(out)}
        for word in ["the", "and", "of"]:
            self.assertNotIn(word, got)
        # Stop-listed words still count among the running words.
        tokens = sum(self.c.counts.values())
        self.assertEqual(got["lord"]["percent"], "%.4f" % (self.c.counts["lord"] * 100 / tokens))
        self.assertEqual(len(got), len(self.c.counts) - 3)

    def test_lemmatised_counts_group_under_headwords(self):
        lemma_file = os.path.join(ROOT, "lemmatiser", "testdata", "english_lemmas_8bit.txt")
        heads, owner = {}, collections.defaultdict(set)
        with open(lemma_file, encoding="cp1252") as f:
            for line in f:
                if line.startswith(";") or "->" not in line:
                    continue
                head, variants = line.split("->")
                head = head.strip()
                heads[head] = [v.strip() for v in variants.split(",") if v.strip()]
                for v in heads[head]:
                    owner[v].add(head)
        _, out, _ = run(["wordlist", "--quiet", "--lemmas", lemma_file, "data/sample"])
        got = {r["word"]: int(r["frequency"]) for r in tsv(out)}
        checked = 0
        for head in ["go", "see", "come", "bring", "speak", "smite", "begin"]:
            variants = heads[head]
            # Only headwords whose forms belong to no other entry give one clear answer.
            if any(len(owner[v]) > 1 or v in heads for v in variants):
                continue
            with self.subTest(head=head):
                expected = self.c.counts[head] + sum(self.c.counts[v] for v in variants)
                self.assertGreater(sum(self.c.counts[v] for v in variants), 0)
                self.assertEqual(got[head], expected)
                for v in variants:
                    self.assertNotIn(v, got)
                checked += 1
        self.assertGreaterEqual(checked, 3)
        # Lemmatising moves counts, it does not make or lose running words.
        self.assertEqual(sum(got.values()), sum(self.c.counts.values()))

    def test_csv_json_and_output_file_hold_the_same_rows(self):
        _, out, _ = run(["wordlist", "--quiet", "--top", "50", "data/sample"])
        rows = tsv(out)
        _, out_csv, _ = run(["wordlist", "--quiet", "--top", "50", "--format", "csv", "data/sample"])
        self.assertTrue(out_csv.endswith("\r\n"))
        self.assertEqual(list(csv.DictReader(io.StringIO(out_csv, newline=""))), rows)
        _, out_json, _ = run(["wordlist", "--quiet", "--top", "50", "--format", "json", "data/sample"])
        data = json.loads(out_json)
        self.assertEqual([{k: str(v) if not isinstance(v, float) else "%.4f" % v for k, v in o.items()} for o in data],
                         rows)
        with tempfile.TemporaryDirectory() as tmp:
            target = os.path.join(tmp, "list.tsv")
            run(["wordlist", "--quiet", "--top", "50", "--output", target, "data/sample"])
            with open(target, encoding="utf-8", newline="") as f:
                self.assertEqual(f.read(), out)
            self.assertEqual(os.listdir(tmp), ["list.tsv"])


class NgramsTest(unittest.TestCase):
    def test_two_word_ngrams(self):
        c = Corpus.load()
        _, out, err = run(["ngrams", "--quiet", "2", "data/sample"])
        rows = tsv(out)
        got = {r["ngram"]: int(r["frequency"]) for r in rows}
        for a, b in [("of", "the"), ("the", "lord"), ("and", "he"), ("earth", "and")]:
            with self.subTest(ngram=a + " " + b):
                # Two counts made here bound the program's: the pairs with only
                # white space and commas between them, which no sentence end can
                # part, and the pairs with no full stop, question or exclamation
                # mark between them.
                between = collections.Counter()
                for t in c.texts.values():
                    for m in re.finditer(r"(?<![^\W_])%s([\W_]+)%s(?![^\W_])" % (a, b), t, re.IGNORECASE):
                        between[m.group(1)] += 1
                least = sum(n for sep, n in between.items() if re.fullmatch(r"[\s,]+", sep))
                most = sum(n for sep, n in between.items() if not re.search(r"[.?!]", sep))
                self.assertTrue(least <= got[a + " " + b] <= most, (least, got[a + " " + b], most))
        # "earth. And" is frequent; as a sentence end it must not make "earth and" reach the upper bound.
        self.assertLess(got["earth and"], sum(len(re.findall(r"(?<![^\W_])earth[\W_]+and(?![^\W_])", t, re.I))
                                              for t in c.texts.values()))
        n = sum(got.values())
        self.assertEqual(rows[0]["percent"], "%.4f" % (int(rows[0]["frequency"]) * 100 / n))


class ConcordTest(unittest.TestCase):
    def setUp(self):
        self.c = Corpus.load()

    def count(self, search, paths=("data/sample",), extra=()):
        _, out, err = run(["concord", "--quiet", "--count"] + list(extra) + [search] + list(paths))
        rows = tsv(out)
        self.assertEqual(len(rows), 1)
        return int(rows[0]["hits"]), int(rows[0]["texts"])

    def test_counts_of_simple_words(self):
        for word in ["the", "lord", "jesus", "leviathan", "jonah", "whale"]:
            with self.subTest(word=word):
                hits, texts = self.count(word)
                self.assertEqual(hits, self.c.counts[word])
                self.assertEqual(texts, sum(1 for ws in self.c.words.values() if word in ws))
        genesis = os.path.join(SAMPLE, "ot", "genesis.txt")
        self.assertEqual(self.count("the", [genesis])[0], grep_count("the", genesis))

    def test_words_beyond_ascii_in_every_encoding(self):
        for word, path in [("Génesis", "ot/genesis.txt"), ("Éxodo", "ot/exodus.txt"), ("רות", "ot/ruth.txt"),
                           ("Žalmy", "ot/psalms.txt"), ("Ιωνάς", "ot/jonah.txt"), ("Apôtres", "nt/acts.txt"),
                           ("Évangile", "nt/gospels.zip")]:
            with self.subTest(word=word):
                _, out, _ = run(["concord", "--quiet", word, os.path.join(SAMPLE, path)])
                rows = tsv(out)
                names = [path] if path in ENCODINGS else ["nt/gospels.zip/" + g for g in GOSPELS]
                self.assertEqual([r["hit"] for r in rows], [word] * len(names))
                # Each on the title line: its number is its place among the text's words.
                self.assertEqual([int(r["word"]) for r in rows], [word_number(self.c.texts[n], word) for n in names])

    def test_kwic_lines(self):
        _, out, err = run(["concord", "--quiet", "--context", "3", "beginning", "data/sample/ot/genesis.txt"])
        rows = tsv(out)
        genesis = words_of(self.c.texts["ot/genesis.txt"])
        self.assertEqual(len(rows), genesis.count("beginning"))
        first = rows[0]
        # "... Spanish: Génesis\n\nIn the beginning God created the heaven ..."
        self.assertEqual(first["n"], "1")
        self.assertEqual(first["word"], str(word_number(self.c.texts["ot/genesis.txt"], "beginning")))
        self.assertEqual(first["left"], "Génesis In the")
        self.assertEqual(first["hit"], "beginning")
        self.assertEqual(first["right"], "God created the")
        self.assertEqual([r["n"] for r in rows], [str(i) for i in range(1, len(rows) + 1)])
        self.assertIn("quillon: concord: %d hits in 1 text; 1 text read" % len(rows), err)

    def test_sorted_concordance(self):
        _, out, _ = run(["concord", "--quiet", "--sort", "R1,R2", "--context", "4", "lord", "data/sample/ot"])
        rows = tsv(out)
        self.assertEqual(len(rows), Corpus.part("ot/")["lord"])
        r1 = [WORD.findall(r["right"])[0].lower() if WORD.findall(r["right"]) else "" for r in rows]
        ascii_keys = [k for k in r1 if k.isascii()]
        self.assertEqual(ascii_keys, sorted(ascii_keys))
        # Sorting keeps every hit and its number.
        self.assertEqual(sorted(int(r["n"]) for r in rows), list(range(1, len(rows) + 1)))

    def test_phrases_alternatives_and_case(self):
        texts = self.c.texts.values()
        phrase = sum(len(re.findall(r"(?<![^\W_])the\s+lord(?![^\W_])", t, re.IGNORECASE)) for t in texts)
        self.assertEqual(self.count("the lord")[0], phrase)
        self.assertEqual(self.count("jonah/jonas")[0], self.c.counts["jonah"] + self.c.counts["jonas"])
        exact = sum(len(re.findall(r"(?<![^\W_])LORD(?![^\W_])", t)) for t in texts)
        self.assertEqual(self.count("==LORD==")[0], exact)
        self.assertLess(exact, self.c.counts["lord"])
        wild = sum(n for w, n in self.c.counts.items() if re.fullmatch(r"beg\wt\w*", w))
        self.assertEqual(self.count("beg?t*")[0], wild)

    def test_max_and_reproducible_sample(self):
        _, out, err = run(["concord", "--quiet", "--max", "5", "the", "data/sample"])
        self.assertEqual(len(tsv(out)), 5)
        self.assertIn("stopped at 5", err)
        _, full, _ = run(["concord", "--quiet", "leviathan/whale/jonah", "data/sample"])
        full_rows = {r["n"]: r for r in tsv(full)}
        _, a, err = run(["concord", "--quiet", "--sample", "10", "--seed", "7", "leviathan/whale/jonah", "data/sample"])
        _, b, _ = run(["concord", "--quiet", "--sample", "10", "--seed", "7", "leviathan/whale/jonah", "data/sample"])
        self.assertEqual(a, b)
        rows = tsv(a)
        self.assertEqual(len(rows), 10)
        for r in rows:
            self.assertEqual(r, full_rows[r["n"]])
        self.assertEqual([int(r["n"]) for r in rows], sorted(int(r["n"]) for r in rows))
        total = self.c.counts["leviathan"] + self.c.counts["whale"] + self.c.counts["jonah"]
        self.assertEqual(len(full_rows), total)
        self.assertIn("%d hits" % total, err)
        self.assertIn("showing 10 (sample, seed 7)", err)


class KeywordsTest(unittest.TestCase):
    def test_new_testament_against_old(self):
        study, ref = Corpus.part("nt/"), Corpus.part("ot/")
        c, d = sum(study.values()), sum(ref.values())
        _, out, _ = run(["keywords", "--quiet", "--study", "data/sample/nt", "--reference", "data/sample/ot"])
        rows = tsv(out)
        self.assertGreater(len(rows), 50)
        lls = [float(r["log_likelihood"]) for r in rows]
        self.assertEqual(lls, sorted(lls, reverse=True))
        got = {r["word"]: r for r in rows}
        self.assertIn("jesus", got)
        checked = 0
        for word, r in got.items():
            a, b = study[word], ref[word]
            self.assertEqual((int(r["study_freq"]), int(r["study_size"]), int(r["ref_freq"]), int(r["ref_size"])),
                             (a, c, b, d))
            self.assertGreaterEqual(a, 2)
            self.assertLessEqual(float(r["p"]), 0.05)
            self.assertGreater(a / c, b / d)  # positive key words only
            if b == 0:
                continue
            e1, e2 = c * (a + b) / (c + d), d * (a + b) / (c + d)
            ll = 2 * (a * math.log(a / e1) + b * math.log(b / e2))
            self.assertAlmostEqual(float(r["log_likelihood"]), ll, delta=0.006)
            self.assertAlmostEqual(float(r["log_ratio"]), math.log2((a / c) / (b / d)), delta=0.0006)
            self.assertAlmostEqual(float(r["percent_diff"]), ((a / c) - (b / d)) * 100 / (b / d), delta=0.006)
            self.assertAlmostEqual(float(r["bic"]), ll - math.log(c + d), delta=0.006)
            checked += 1
        self.assertGreater(checked, 20)
        # JSON has no infinity: the %DIFF of a word absent from the reference is null.
        _, out, _ = run(["keywords", "--quiet", "--format", "json", "--study", "data/sample/nt",
                         "--reference", "data/sample/ot"])
        data = json.loads(out, parse_constant=lambda name: self.fail("not JSON: " + name))
        self.assertEqual([o["word"] for o in data], [r["word"] for r in rows])
        self.assertIsNone({o["word"]: o for o in data}["jesus"]["percent_diff"])
        # Every word of the study corpus that passes the filters is listed.
        missing = [w for w in study if study[w] >= 2 and study[w] / c > ref[w] / d and w not in got and ref[w] > 0
                   and 2 * (study[w] * math.log(study[w] / (c * (study[w] + ref[w]) / (c + d)))
                            + ref[w] * math.log(ref[w] / (d * (study[w] + ref[w]) / (c + d)))) > 3.9]
        self.assertEqual(missing, [])


class CollocatesTest(unittest.TestCase):
    def test_span_counts(self):
        c = Corpus.load()
        _, out, _ = run(["collocates", "--quiet", "--span", "L3,R3", "--min-freq", "1", "jonah", "data/sample"])
        rows = {r["collocate"]: r for r in tsv(out)}
        # Words within three words of each «jonah», within one text.
        left, right = collections.Counter(), collections.Counter()
        for ws in c.words.values():
            for i, w in enumerate(ws):
                if w == "jonah":
                    left.update(ws[max(0, i - 3):i])
                    right.update(ws[i + 1:i + 4])
        # Every word met within the span is listed (--min-freq 1), with its counts on each side.
        self.assertEqual(set(rows), set(left) | set(right))
        for word, r in rows.items():
            self.assertEqual((int(r["left"]), int(r["right"]), int(r["together"])),
                             (left[word], right[word], left[word] + right[word]), word)
            self.assertEqual(int(r["frequency"]), c.counts[word])
            self.assertEqual(int(r["node_freq"]), c.counts["jonah"])
        self.assertEqual(rows["the"]["together"], "7")


class LemmatiseTest(unittest.TestCase):
    def test_words_on_standard_input(self):
        lemma_file = os.path.join(ROOT, "lemmatiser", "testdata", "english_lemmas_8bit.txt")
        _, out, _ = run(["lemmatise", "--lemmas", lemma_file], stdin=b"went\nbegan\nsmote\nbread\n")
        self.assertEqual([(r["word"], r["headword"]) for r in tsv(out)],
                         [("went", "go"), ("began", "begin"), ("smote", "smite"), ("bread", "bread")])


class DetectTest(unittest.TestCase):
    def test_every_sample_file(self):
        _, out, _ = run(["detect", "--quiet", "data/sample"])
        rows = {os.path.relpath(r["file"], "data/sample"): r for r in tsv(out)}
        expected = {
            "ot/genesis.txt": ("UTF-8", "UTF-8 evidence"),
            "ot/exodus.txt": ("UTF-16LE", "mark"),
            "ot/ruth.txt": ("UTF-16LE", "UTF-16 without mark"),
            "ot/psalms.txt": ("8-bit", "8-bit"),
            "ot/jonah.txt": ("UTF-16BE", "mark"),
            "nt/acts.txt": ("UTF-8", "mark"),
        }
        for entry in GOSPELS:
            expected["nt/gospels.zip/" + entry] = ("UTF-8", "UTF-8 evidence")
        self.assertEqual({k: (r["encoding"], r["reason"]) for k, r in rows.items()}, expected)
        psalms = rows["ot/psalms.txt"]
        self.assertEqual(psalms["code_page"], "1252")
        self.assertEqual(psalms["detected"], "windows-1252")
        self.assertTrue(0 < int(psalms["confidence"]) <= 100)
        for k, r in rows.items():
            if k != "ot/psalms.txt":
                self.assertEqual((r["code_page"], r["detected"], r["confidence"]), ("", "", ""))


class ScaleTest(unittest.TestCase):
    """Worker processes and shards give what one process gives."""

    def test_jobs(self):
        for args in (["wordlist"], ["ngrams", "3"], ["concord", "--sort", "R1", "god"], ["concord", "the"],
                     ["collocates", "god"]):
            with self.subTest(args=args):
                _, one, _ = run(args + ["--quiet", "data/sample"])
                _, four, _ = run(args + ["--quiet", "--jobs", "4", "data/sample"])
                self.assertEqual(four, one)
        _, one, _ = run(["keywords", "--quiet", "--study", "data/sample/nt", "--reference", "data/sample/ot"])
        _, four, _ = run(["keywords", "--quiet", "--jobs", "4", "--study", "data/sample/nt",
                          "--reference", "data/sample/ot"])
        self.assertEqual(four, one)

    def test_shards_and_merge(self):
        with tempfile.TemporaryDirectory() as tmp:
            for kind, args, paths in [("wordlist", ["wordlist"], ["data/sample"]),
                                      ("ngrams", ["ngrams", "2"], ["data/sample"]),
                                      ("keywords", ["keywords"], ["--study", "data/sample/nt",
                                                                  "--reference", "data/sample/ot"])]:
                with self.subTest(kind=kind):
                    _, whole, _ = run(args + ["--quiet"] + paths)
                    parts = []
                    for i in (1, 2, 3):
                        part = os.path.join(tmp, "%s%d.qnp" % (kind, i))
                        run(args + ["--quiet", "--shard", "%d/3" % i, "--partial", "-o", part] + paths)
                        parts.append(part)
                    _, merged, _ = run(["merge", "--quiet"] + parts)
                    self.assertEqual(merged, whole)
                    # The shards split the texts between them.
                    texts = [int(open(p).read().split("\n")[1].split()[1]) for p in parts]
                    if kind != "keywords":
                        self.assertEqual(sum(texts), 10)


class FailureTest(unittest.TestCase):
    def test_unreadable_inputs_are_reported_and_the_rest_processed(self):
        c = Corpus.load()
        with tempfile.TemporaryDirectory() as tmp:
            shutil.copy(os.path.join(SAMPLE, "ot", "ruth.txt"), tmp)
            with open(os.path.join(tmp, "damaged.zip"), "wb") as f:
                f.write(b"PK\x03\x04" + b"\x00" * 40)
            os.mkdir(os.path.join(tmp, "empty"))
            os.mkfifo(os.path.join(tmp, "pipe.txt"))
            missing = os.path.join(tmp, "missing.txt")
            status, out, err = run(["wordlist", "--quiet", "--system", tmp, missing, os.path.join(tmp, "empty")],
                                   check=False)
            self.assertEqual(status, 1)
            self.assertEqual(sum(int(r["frequency"]) for r in tsv(out)), len(c.words["ot/ruth.txt"]))
            for needle in ["damaged.zip:", "pipe.txt: not a regular file", "missing.txt: No such file or directory",
                           "empty"]:
                self.assertIn(needle, err)
            status, out, err = run(["wordlist", "--quiet", "--output", os.path.join(tmp, "out.tsv"),
                                    os.path.join(tmp, "empty")], check=False)
            self.assertEqual(status, 1)

    def test_interrupted_output_leaves_no_file(self):
        with tempfile.TemporaryDirectory() as tmp:
            corpus = os.path.join(tmp, "corpus")
            # Linked copies: enough text that the run is still writing when
            # the signal comes, without copying the bytes.
            for i in range(64):
                shutil.copytree(SAMPLE, os.path.join(corpus, "copy%d" % i), copy_function=os.link)
            target = os.path.join(tmp, "out", "kwic.tsv")
            os.mkdir(os.path.dirname(target))
            p = subprocess.Popen([QUILLON, "concord", "--quiet", "--context", "20", "-o", target, "the", corpus],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # Interrupted once its temporary file is being written, not at a
            # fixed time, which a fast run may have finished before.
            deadline = time.monotonic() + 60
            while p.poll() is None and not os.listdir(os.path.dirname(target)) and time.monotonic() < deadline:
                time.sleep(0.002)
            if p.poll() is not None:
                self.skipTest("the run ended before it could be interrupted")
            p.send_signal(signal.SIGINT)
            p.wait(timeout=60)
            # 130 as the program's own status, or death by the signal after it has cleaned up
            # (which a shell reports as 130 too).
            self.assertIn(p.returncode, (130, -signal.SIGINT))
            self.assertEqual(os.listdir(os.path.dirname(target)), [])

    def test_usage_errors(self):
        for args in (["wordlist", "--no-such-option", "data/sample"], ["concord", "--sort", "X9", "god", "data/sample"],
                     ["wordlist", "--shard", "4/3", "data/sample"]):
            with self.subTest(args=args):
                status, out, _ = run(args, check=False)
                self.assertEqual(status, 2)
                self.assertEqual(out, "")
        status, _, _ = run(["wordlist", "--lemmas", "/nonexistent/lemmas.txt", "data/sample"], check=False)
        self.assertEqual(status, 3)


def main():
    global QUILLON, ROOT, SAMPLE
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    QUILLON = os.path.abspath(sys.argv[1])
    ROOT = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", ".."))
    SAMPLE = os.path.join(ROOT, "data", "sample")
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


if __name__ == "__main__":
    main()
