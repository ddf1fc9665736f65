"""Loads the installed lemmatiser from Python with ctypes, as a script would:
loads the English lemma list shipped with the sources and changes a word into
its headword. Arguments: the library file, the lemma list file."""
import ctypes
import sys

library_path, list_path = sys.argv[1], sys.argv[2]
lib = ctypes.CDLL(library_path)


class Callback(ctypes.Structure):
    # An unassigned callback: two null pointers (function, context).
    _fields_ = [("code", ctypes.c_void_p), ("context", ctypes.c_void_p)]


def utf16z(text):
    return ctypes.create_string_buffer(text.encode("utf-16-le") + b"\0\0")


lib.LoadedOne.restype = ctypes.c_int16
lib.LoadedOne.argtypes = [ctypes.c_uint8, ctypes.c_void_p, ctypes.c_uint8, Callback, Callback,
                          ctypes.c_uint32, ctypes.c_bool, ctypes.c_bool]
lib.TallierChangeWord.restype = ctypes.c_char_p
lib.TallierChangeWord.argtypes = [ctypes.c_uint8, ctypes.c_char_p, ctypes.c_int32, ctypes.c_int16]
lib.LemmaHeadWordsCount.restype = ctypes.c_int32
lib.LemmaHeadWordsCount.argtypes = [ctypes.c_uint8]

name = utf16z(list_path)
loaded = lib.LoadedOne(0, name, 0, Callback(), Callback(), 0x0409, True, False)
headword = lib.TallierChangeWord(0, b"went", 1252, 0)
count = lib.LemmaHeadWordsCount(0)
if loaded != -1 or headword != b"go" or count <= 0:
    print(f"ctypes: WRONG ANSWER (loaded={loaded}, headword={headword!r}, headwords={count})")
    sys.exit(1)
print(f"ctypes: ok (went -> {headword.decode()}, {count} headwords)")
