// Symbol visibility for the shared libraries.
//
// Everything is compiled with hidden visibility; a routine or class that the
// suite's tools (or the other package) call by name is marked QN_API so that
// the shared library it ends up in exports it. The lemmatiser library exports
// only its C functions, through its linker version script, whatever is marked.
#pragma once

#define QN_API __attribute__((visibility("default")))
