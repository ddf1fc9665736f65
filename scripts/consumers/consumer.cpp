// A program built against an installed (or embedded) copy of the libraries, as
// another project would build one: it uses a class and a routine of runtime
// package 1 and a function of the lemmatiser, through the installed headers.
#include <cstdio>
#include <string>

#include "platform/StringList.h"
#include "quillon/QuillonLemmatiser.h"
#include "runtime1/text/My_string_functions.h"

int main() {
  qn::platform::TStringList words;
  words.Add(u"zebra");
  words.Add(u"apple");
  words.Sort();
  // "café" through code page 1252: the é is one byte, 0xE9.
  const std::string narrowed = qn::ConvertedFromWideString(qn::TCodePage(1252), u"caf\u00e9");
  // No list is loaded in slot 0: the lemmatiser answers with an empty count.
  const int32_t headwords = LemmaHeadWordsCount(0);
  const bool ok = words.Count() == 2 && words[0] == u"apple" && narrowed == "caf\xe9" && headwords == 0;
  std::printf("%s\n", ok ? "consumer: ok" : "consumer: WRONG ANSWER");
  return ok ? 0 : 1;
}
