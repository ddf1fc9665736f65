#!/usr/bin/env bash
# Makes the sample corpus in data/sample/ from the King James Bible of Debian's
# bible-kjv package (public domain), and from nothing else: books of the
# Bible as separate texts, in the encodings a corpus meets in practice, and one
# zip archive of texts. The same package version gives the same files, byte for
# byte (the zip archive's compressed bytes also depend on the zlib in use).
#
#   bash scripts/make_sample_corpus.sh [OUTPUT_FOLDER]    # default: data/sample
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-data/sample}

if ! command -v bible >/dev/null 2>&1; then
  echo "make_sample_corpus: installing bible-kjv"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends bible-kjv
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One verse a line, each led by its reference ("Ge1:1 In the beginning ...").
bible -f "Gen1:1-Rev22:21" > "$work/kjv.txt"
version=$(dpkg-query -W -f='${Version}' bible-kjv 2>/dev/null || echo unknown)

mkdir -p "$out"
python3 - "$work/kjv.txt" "$out" "$version" <<'PY'
import os, re, sys, zipfile

source, out, version = sys.argv[1], sys.argv[2], sys.argv[3]
ref = re.compile(r"^([1-3]?[A-Za-z]+)(\d+):(\d+) (.*)$")

# book abbreviation of the package -> [(chapter, verse text)]
books = {}
with open(source, encoding="ascii") as f:
    for line in f:
        m = ref.match(line.rstrip("\n"))
        if not m:
            sys.exit("make_sample_corpus: unexpected line in the bible output: " + line[:60])
        books.setdefault(m.group(1), []).append((int(m.group(2)), m.group(4)))

def text_of(book, title):
    """The book as a text: the title line, then one verse a line with its
    reference stripped, a blank line between chapters."""
    lines, chapter = [title, ""], None
    for ch, verse in books[book]:
        if chapter is not None and ch != chapter:
            lines.append("")
        chapter = ch
        lines.append(verse)
    return lines

def write(path, lines, encoding, newline, bom=b""):
    path = os.path.join(out, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = bom + (newline.join(lines) + newline).encode(encoding)
    with open(path, "wb") as f:
        f.write(data)

# The title lines are written here, not taken from the package: the book's
# English title and its name in other languages, so that every text carries
# characters beyond ASCII and its encoding matters.
texts = {
    # Old Testament, one encoding each.
    "ot/genesis.txt": ("Ge", "The First Book of Moses, called Genesis \u2014 French: La Gen\u00e8se \u2014 Spanish: G\u00e9nesis",
                       "utf-8", "\n", b""),
    "ot/exodus.txt": ("Exo", "The Second Book of Moses, called Exodus \u2014 French: L\u2019Exode \u2014 Spanish: \u00c9xodo",
                      "utf-16-le", "\r\n", b"\xff\xfe"),
    "ot/ruth.txt": ("Ruth", "The Book of Ruth \u2014 French: Le Livre de Ruth \u2014 Hebrew: \u05e8\u05d5\u05ea",
                    "utf-16-le", "\r\n", b""),
    "ot/psalms.txt": ("Psa", "The Book of Psalms \u2014 French: Les Psaumes \u2014 Czech: \u017dalmy",
                      "cp1252", "\r\n", b""),
    "ot/jonah.txt": ("Jonah", "The Book of Jonah \u2014 French: Jonas \u2014 Greek: \u0399\u03c9\u03bd\u03ac\u03c2",
                     "utf-16-be", "\r\n", b"\xfe\xff"),
    # New Testament: Acts as UTF-8 with the signature, the gospels in a zip archive.
    "nt/acts.txt": ("Acts", "The Acts of the Apostles \u2014 French: Les Actes des Ap\u00f4tres \u2014 Spanish: Hechos de los Ap\u00f3stoles",
                    "utf-8", "\n", b"\xef\xbb\xbf"),
}
for path, (book, title, encoding, newline, bom) in texts.items():
    write(path, text_of(book, title), encoding, newline, bom)

gospels = [
    ("matthew.txt", "Mat", "The Gospel According to Saint Matthew \u2014 French: \u00c9vangile selon saint Matthieu"),
    ("mark.txt", "Mark", "The Gospel According to Saint Mark \u2014 French: \u00c9vangile selon saint Marc"),
    ("luke.txt", "Luke", "The Gospel According to Saint Luke \u2014 French: \u00c9vangile selon saint Luc"),
    ("john.txt", "John", "The Gospel According to Saint John \u2014 French: \u00c9vangile selon saint Jean"),
]
archive = os.path.join(out, "nt", "gospels.zip")
with zipfile.ZipFile(archive, "w") as z:
    for name, book, title in gospels:
        info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 3
        info.external_attr = 0o644 << 16
        z.writestr(info, ("\n".join(text_of(book, title)) + "\n").encode("utf-8"), compresslevel=9)

print("make_sample_corpus: bible-kjv %s -> %s" % (version, out))
PY

(cd "$out" && find . -type f ! -name README.md | LC_ALL=C sort | xargs ls -l | awk '{printf "  %8d  %s\n", $5, $9}')
