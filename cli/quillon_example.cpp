// A first look at the lemmatiser: load the English lemma list shipped with the
// sources into a tool's slot, print what was loaded, and change each word of a
// sentence into its headword, the way a word-list tool lemmatises its words.
//
// It calls the library's exported C functions (quillon/QuillonLemmatiser.h),
// here linked in directly; a tool would dlopen libQN7QuillonLemmatiser.so and
// bind the same functions by name.
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>

#include "quillon/QuillonLemmatiser.h"

namespace {

// The list file's name as the library takes it: UTF-16.
std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// An ASCII text from the library's UTF-16 results.
std::string Narrow(const QNWideChar* text) {
  std::string out;
  for (const QNWideChar* p = text; p != nullptr && *p != 0; ++p) out.push_back(static_cast<char>(*p));
  return out;
}

// Called by the library with each count it announces while loading a list:
// the lines of the file, the entries read, and for a lemma list the pairs stored.
void ShowCount(void*, int32_t n, const QNWideChar* listName) {
  std::printf("  %s: %d\n", Narrow(listName).c_str(), n);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string file = argc > 1 ? argv[1] : QN_SOURCE_DIR "/lemmatiser/testdata/english_lemmas_8bit.txt";
  const uint8_t slot = 0;  // the slot of the word-list tool

  std::printf("Loading %s (lines, entries, pairs):\n", file.c_str());
  const std::u16string name = Utf16(file);
  const TQNAnnounceNumberAndMessageProc counts = {&ShowCount, nullptr};
  if (!LoadedOne(slot, name.c_str(), QN_KIND_LEMMA, counts, {}, 0x0409, /*case_sensitive=*/true,
                 /*commas_in_entries=*/false)) {
    std::printf("No lemma pairs could be read from %s\n", file.c_str());
    return 1;
  }
  std::printf("%d headwords, %d variant forms\n", LemmaHeadWordsCount(slot),
              LemmaPairEntriesAltogether(slot));

  const char* sentence = "She was running when they began to swim, and the best swimmers had gone";
  std::printf("\n%s\n", sentence);
  std::istringstream words(sentence);
  std::string word;
  while (words >> word) {
    while (!word.empty() && std::ispunct(static_cast<unsigned char>(word.back()))) word.pop_back();
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // The list is 8-bit, so the word goes in 8-bit and the headword comes back 8-bit.
    const char* headword = static_cast<const char*>(TallierChangeWord(slot, word.c_str(), 0, QN_FALSE16));
    if (headword != nullptr && headword[0] != '\0') {
      std::printf("  %-10s -> %s\n", word.c_str(), headword);
    } else {
      std::printf("  %-10s    (no variant)\n", word.c_str());
    }
  }

  std::printf("\nVariants of \"be\": %s\n", Narrow(LemmaVariantsOf(slot, u"be", u", ")).c_str());
  ClearOne(slot, QN_KIND_LEMMA);
  return 0;
}
