// End-to-end tests of the quillon program: the built executable run on small
// corpora made here, its tables compared with counts worked out by hand.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/testing/NonRegularFiles.h"
#include "platform/testing/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using qn::test_support::ReadBytes;
using qn::test_support::WriteBytes;

struct TRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out, err;
};

// Runs quillon with the arguments (each quoted for the shell), standard input
// from `input`.
TRun RunQuillon(const fs::path& dir, const std::vector<std::string>& args, const std::string& input = "") {
  std::string command = "cd '" + dir.string() + "' && '" QN_QUILLON_BIN "'";
  for (const std::string& a : args) {
    std::string quoted = "'";
    for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += " " + quoted + "'";
  }
  const fs::path in = dir / ".stdin", out = dir / ".stdout", err = dir / ".stderr";
  WriteBytes(in, input);
  command += " <'" + in.string() + "' >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  TRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.out = ReadBytes(out);
  run.err = ReadBytes(err);
  return run;
}

std::vector<std::vector<std::string>> Rows(const std::string& tsv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(tsv);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(fields);
  }
  return rows;
}

// The row whose first field is `key`, or an empty row.
std::vector<std::string> RowOf(const std::string& tsv, const std::string& key) {
  for (const auto& row : Rows(tsv)) {
    if (!row.empty() && row[0] == key) return row;
  }
  return {};
}

// "t12.txt" and the like.
std::string NumberedName(char first, int i) {
  std::string name(1, first);
  name += std::to_string(i);
  name += ".txt";
  return name;
}

void MakeZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, text] : entries) {
    zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

// An archive of a.txt "x and x" and b.txt "x three", stored, whose b.txt's
// bytes no longer match their CRC: "d.zip/b.txt: cannot extract b.txt from
// zip archive d.zip: CRC error".
void MakeZipWithDamagedEntry(const fs::path& path) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const char* text : {"x and x\n", "x three\n"}) {
    zip_source_t* source = zip_source_buffer(archive, text, std::strlen(text), 0);
    const zip_int64_t at = zip_file_add(archive, text[2] == 'a' ? "a.txt" : "b.txt", source, 0);
    ASSERT_GE(at, 0);
    ASSERT_EQ(zip_set_file_compression(archive, static_cast<zip_uint64_t>(at), ZIP_CM_STORE, 0), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
  std::string bytes = ReadBytes(path);
  const size_t three = bytes.find("x three");
  ASSERT_NE(three, std::string::npos);
  bytes[three + 6] = '3';
  WriteBytes(path, bytes);
}

class Quillon : public qn::test_support::TTempFolderTest {
 protected:
  // A corpus whose counts are worked out by hand in the tests:
  //   a.txt      "The cat sat on the mat. The dog sat.\n\nA cat ran.\n"
  //              the 3, cat 2, sat 2, on, mat, dog, a, ran 1: 12 words
  //   sub/b.txt  "the Cat and the dog\n": the 2, cat, and, dog 1: 5 words
  //   books.zip  c.txt "Dogs and cats.\n": dogs, and, cats: 3 words
  //              notes.md (not a text under the mask *.txt)
  void MakeCorpus() {
    fs::create_directories(fDir / "c" / "sub");
    WriteBytes(fDir / "c" / "a.txt", "The cat sat on the mat. The dog sat.\n\nA cat ran.\n");
    WriteBytes(fDir / "c" / "sub" / "b.txt", "the Cat and the dog\n");
    MakeZip(fDir / "c" / "books.zip", {{"c.txt", "Dogs and cats.\n"}, {"notes.md", "cat cat cat"}});
  }
};

TEST_F(Quillon, WordListCountsWordsPerCentAndTexts) {
  MakeCorpus();
  const TRun run = RunQuillon(fDir, {"wordlist", "c"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = Rows(run.out);
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"word", "frequency", "percent", "texts"}));
  // 20 running words; "the" 5 times in 2 texts; ties in code-unit order.
  EXPECT_EQ(rows[1], (std::vector<std::string>{"the", "5", "25.0000", "2"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"cat", "3", "15.0000", "2"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"and", "2", "10.0000", "2"}));
  EXPECT_EQ(RowOf(run.out, "dogs"), (std::vector<std::string>{"dogs", "1", "5.0000", "1"}));
  EXPECT_EQ(rows.size(), 1u + 11u);  // 11 types
  EXPECT_NE(run.err.find("quillon: wordlist: 3 texts read, 20 tokens, 11 types\n"), std::string::npos) << run.err;

  const TRun top = RunQuillon(fDir, {"wordlist", "--top", "2", "--min-freq", "3", "--format", "csv", "c"});
  EXPECT_EQ(top.out, "word,frequency,percent,texts\r\nthe,5,25.0000,2\r\ncat,3,15.0000,2\r\n");
  const TRun alpha = RunQuillon(fDir, {"wordlist", "--sort", "alpha", "--format", "json", "c/sub"});
  EXPECT_EQ(alpha.out,
            "[\n{\"word\":\"and\",\"frequency\":1,\"percent\":20.0000,\"texts\":1},\n"
            "{\"word\":\"cat\",\"frequency\":1,\"percent\":20.0000,\"texts\":1},\n"
            "{\"word\":\"dog\",\"frequency\":1,\"percent\":20.0000,\"texts\":1},\n"
            "{\"word\":\"the\",\"frequency\":2,\"percent\":40.0000,\"texts\":1}\n]\n");
}

TEST_F(Quillon, WordListWithStopAndLemmaLists) {
  MakeCorpus();
  WriteBytes(fDir / "stop.txt", "the\r\nand\r\n");
  WriteBytes(fDir / "lemmas.txt", "cat -> cats\r\ndog -> dogs\r\nsit -> sat\r\n");
  const TRun run = RunQuillon(fDir, {"wordlist", "--stop", "stop.txt", "--lemmas", "lemmas.txt", "c"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(RowOf(run.out, "the").empty());
  EXPECT_TRUE(RowOf(run.out, "and").empty());
  // cat 3 + cats 1 in 3 texts; dog 2 + dogs 1 in 3 texts; sat 2 under "sit".
  // Per cent of all 20 running words, stop-listed ones included.
  EXPECT_EQ(RowOf(run.out, "cat"), (std::vector<std::string>{"cat", "4", "20.0000", "3"}));
  EXPECT_EQ(RowOf(run.out, "dog"), (std::vector<std::string>{"dog", "3", "15.0000", "3"}));
  EXPECT_EQ(RowOf(run.out, "sit"), (std::vector<std::string>{"sit", "2", "10.0000", "1"}));
  EXPECT_TRUE(RowOf(run.out, "cats").empty());

  const TRun missing = RunQuillon(fDir, {"wordlist", "--lemmas", "nowhere.txt", "c"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_NE(missing.err.find("nowhere.txt"), std::string::npos);
  EXPECT_TRUE(missing.out.empty());
}

TEST_F(Quillon, NGramsStayInsideSentences) {
  MakeCorpus();
  const TRun run = RunQuillon(fDir, {"ngrams", "2", "c/a.txt"});
  ASSERT_EQ(run.status, 0) << run.err;
  // the cat, cat sat, sat on, on the, the mat | the dog, dog sat | a cat, cat ran
  EXPECT_EQ(RowOf(run.out, "the cat"), (std::vector<std::string>{"the cat", "1", "11.1111", "1"}));
  EXPECT_EQ(RowOf(run.out, "cat sat"), (std::vector<std::string>{"cat sat", "1", "11.1111", "1"}));
  EXPECT_TRUE(RowOf(run.out, "mat the").empty());
  EXPECT_TRUE(RowOf(run.out, "sat a").empty());
  EXPECT_EQ(Rows(run.out).size(), 1u + 9u);
}

TEST_F(Quillon, ConcordanceLinesWithPositionsAndContext) {
  MakeCorpus();
  const TRun run = RunQuillon(fDir, {"concord", "--context", "3", "cat*", "c"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = Rows(run.out);
  ASSERT_EQ(rows.size(), 5u) << run.out;
  EXPECT_EQ(rows[0], (std::vector<std::string>{"file", "n", "word", "sentence", "paragraph", "left", "hit", "right"}));
  // Texts in walk order: the archive's entries, then the folder's files, then
  // the sub-folder.
  EXPECT_EQ(rows[1], (std::vector<std::string>{"c/books.zip/c.txt", "1", "3", "1", "1", "Dogs and", "cats", "."}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"c/a.txt", "2", "2", "1", "1", "The", "cat", "sat on the"}));
  EXPECT_EQ(rows[3],
            (std::vector<std::string>{"c/a.txt", "3", "11", "3", "2", "dog sat. A", "cat", "ran."}));
  EXPECT_EQ(rows[4], (std::vector<std::string>{"c/sub/b.txt", "4", "2", "1", "1", "the", "Cat", "and the dog"}));
  EXPECT_NE(run.err.find("quillon: concord: 4 hits in 3 texts; 3 texts read\n"), std::string::npos) << run.err;

  // A text that starts with white space: words are still numbered from 1.
  WriteBytes(fDir / "lead.txt", "\n  cat and cat\n");
  const auto lead = Rows(RunQuillon(fDir, {"concord", "cat", "lead.txt"}).out);
  ASSERT_EQ(lead.size(), 3u);
  EXPECT_EQ(lead[1][2], "1");
  EXPECT_EQ(lead[2][2], "3");

  const TRun count = RunQuillon(fDir, {"concord", "--count", "the", "c"});
  EXPECT_EQ(count.out, "search\thits\ttexts\nthe\t5\t2\n");
  const TRun phrase = RunQuillon(fDir, {"concord", "--count", "the dog/a cat", "c"});
  EXPECT_EQ(phrase.out, "search\thits\ttexts\nthe dog/a cat\t3\t2\n");
  const TRun cased = RunQuillon(fDir, {"concord", "--count", "==The==", "c"});
  EXPECT_EQ(cased.out, "search\thits\ttexts\n==The==\t2\t1\n");
}

TEST_F(Quillon, ConcordanceSortMaxAndSample) {
  fs::create_directories(fDir / "s");
  // "x" followed by b, a, c, a: sorted on R1 then R2.
  WriteBytes(fDir / "s" / "1.txt", "x b 2. x a 9. x c 1. x a 3.\n");
  const TRun sorted = RunQuillon(fDir, {"concord", "--sort", "R1,R2", "--context", "2", "x", "s"});
  ASSERT_EQ(sorted.status, 0) << sorted.err;
  const auto rows = Rows(sorted.out);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1][1], "4");  // x a 3
  EXPECT_EQ(rows[2][1], "2");  // x a 9
  EXPECT_EQ(rows[3][1], "1");  // x b 2
  EXPECT_EQ(rows[4][1], "3");  // x c 1
  const TRun left = RunQuillon(fDir, {"concord", "--sort", "L1", "--context", "1", "x", "s"});
  // L1 of the first x is none (empty key first), then 1, 2, 9.
  const auto leftRows = Rows(left.out);
  ASSERT_EQ(leftRows.size(), 5u);
  EXPECT_EQ(leftRows[1][1], "1");
  EXPECT_EQ(leftRows[2][1], "4");
  EXPECT_EQ(leftRows[3][1], "2");
  EXPECT_EQ(leftRows[4][1], "3");

  const TRun max = RunQuillon(fDir, {"concord", "--max", "2", "x", "s"});
  EXPECT_EQ(Rows(max.out).size(), 3u);
  EXPECT_NE(max.err.find("stopped at 2"), std::string::npos) << max.err;
  EXPECT_EQ(RunQuillon(fDir, {"concord", "--max", "3", "--count", "x", "s"}).out, "search\thits\ttexts\nx\t3\t1\n");
  // Summary lines: hits in the texts that hold them, of the texts read; texts
  // past the stop are not counted, whether one process or several read them.
  WriteBytes(fDir / "s" / "0.txt", "no such word here\n");
  const TRun one = RunQuillon(fDir, {"concord", "--max", "2", "x", "s"});
  EXPECT_NE(one.err.find("quillon: concord: 2 hits in 1 text; 2 texts read; stopped at 2\n"), std::string::npos)
      << one.err;
  WriteBytes(fDir / "s" / "5.txt", "x\n");
  const TRun all = RunQuillon(fDir, {"concord", "x", "s"});
  EXPECT_NE(all.err.find("quillon: concord: 5 hits in 2 texts; 3 texts read\n"), std::string::npos) << all.err;
  const TRun firstOnly = RunQuillon(fDir, {"concord", "--max", "4", "--jobs", "3", "x", "s"});
  EXPECT_NE(firstOnly.err.find("quillon: concord: 4 hits in 1 text; 2 texts read; stopped at 4\n"), std::string::npos)
      << firstOnly.err;
  fs::remove(fDir / "s" / "0.txt");
  fs::remove(fDir / "s" / "5.txt");

  std::string big;
  for (int i = 0; i < 200; ++i) big += "x word" + std::to_string(i) + ". ";
  WriteBytes(fDir / "s" / "2.txt", big);
  const TRun a = RunQuillon(fDir, {"concord", "--sample", "5", "--seed", "7", "x", "s"});
  const TRun b = RunQuillon(fDir, {"concord", "--sample", "5", "--seed", "7", "x", "s"});
  const TRun c = RunQuillon(fDir, {"concord", "--sample", "5", "--seed", "8", "x", "s"});
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, c.out);
  EXPECT_EQ(Rows(a.out).size(), 6u);
  EXPECT_NE(a.err.find("204 hits in 2 texts; 2 texts read; showing 5 (sample, seed 7)"), std::string::npos) << a.err;
}

// Words to avoid and context words, on a text whose words are numbered by
// hand:
//   the(1) river(2) bank(3) was(4) muddy(5). the(6) money(7) bank(8) was(9)
//   closed(10). a(11) bank(12) of(13) the(14) river(15) and(16) money(17).
//   bankrupt(18) banks(19) and(20) a(21) banker(22).
TEST_F(Quillon, WordsToAvoidAndContextWords) {
  fs::create_directories(fDir / "w");
  WriteBytes(fDir / "w" / "t.txt",
             "the river bank was muddy. the money bank was closed. a bank of the river and money.\n"
             "bankrupt banks and a banker.\n");
  // The word numbers of the hits, in order.
  const auto words = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "concord");
    args.push_back("w");
    const TRun run = RunQuillon(fDir, args);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> found;
    const auto rows = Rows(run.out);
    for (size_t i = 1; i < rows.size(); ++i) found.push_back(rows[i][2]);
    return found;
  };
  using W = std::vector<std::string>;
  // bank* finds 3, 8, 12, 18, 19, 22; bankrupt* is avoided.
  EXPECT_EQ(words({"bank*/~bankrupt*"}), (W{"3", "8", "12", "19", "22"}));
  EXPECT_EQ(words({"~bankrupt*/bank*"}), (W{"3", "8", "12", "19", "22"}));
  // Avoided places are no hits: --max and --count do not count them.
  EXPECT_EQ(words({"--max", "4", "bank*/~bankrupt*"}), (W{"3", "8", "12", "19"}));
  EXPECT_EQ(RunQuillon(fDir, {"concord", "--count", "bank*/~bankrupt*", "w"}).out, "search\thits\ttexts\nbank*/~bankrupt*\t5\t1\n");
  // river within five words: bank 3 (river is 2), bank 12 (river is 15, the
  // third word to the right); bank 8 has none within five.
  EXPECT_EQ(words({"bank context:=river"}), (W{"3", "12"}));
  EXPECT_EQ(words({"--horizon", "L2,R2", "bank context:=river"}), (W{"3"}));
  EXPECT_EQ(words({"--horizon", "L0,R3", "bank context:=river"}), (W{"12"}));
  EXPECT_EQ(RunQuillon(fDir, {"concord", "--count", "bank context:=river", "w"}).out,
            "search\thits\ttexts\nbank context:=river\t2\t1\n");
  // river near and money not near: within three words bank 3 (money is the
  // fourth word to its right) and bank 12 (money, 17, is the fifth).
  EXPECT_EQ(words({"--horizon", "L3,R3", "bank context:=river/~money"}), (W{"3", "12"}));
  EXPECT_EQ(words({"bank context:=river/~money"}), W{});
  // Only words to avoid in the context: every hit without them near.
  EXPECT_EQ(words({"--horizon", "L1,R1", "bank context:=~money"}), (W{"3", "12"}));
  // The hit itself is no context of its own.
  EXPECT_EQ(words({"--horizon", "L1,R1", "bank context:=bank"}), W{});
  EXPECT_EQ(words({"bank context:=bank"}), (W{"3", "8", "12"}));
  // The context belongs to every alternative; context words may be phrases.
  EXPECT_EQ(words({"--horizon", "L1,R1", "bank/banks context:=and"}), (W{"19"}));
  // the river (1-2, 14-15) within five words of bank 3, 12 and bankrupt 18;
  // bankrupt is to avoid, but a hit is no context of its own.
  EXPECT_EQ(words({"bank* context:=the river/~bankrupt"}), (W{"3", "12", "18"}));
  // Nothing to look for, or no context word after the marker.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"concord", "~bank", "w"}, {"concord", "bank context:=", "w"},
        {"concord", "context:=bank", "w"}, {"concord", "--horizon", "L0,R0", "bank context:=river", "w"}}) {
    const TRun bad = RunQuillon(fDir, args);
    EXPECT_EQ(bad.status, 2) << args[1] << bad.err;
    EXPECT_TRUE(bad.out.empty()) << args[1];
  }
  // Collocates of the hits that remain: bank 3 and 12 within L1,R1.
  const TRun coll = RunQuillon(fDir, {"collocates", "--span", "L1,R1", "--min-freq", "1", "bank context:=river", "w"});
  EXPECT_EQ(RowOf(coll.out, "river")[1], "1");  // beside bank 3
  EXPECT_EQ(RowOf(coll.out, "of")[1], "1");     // beside bank 12
  EXPECT_TRUE(RowOf(coll.out, "money").empty());
  EXPECT_NE(coll.err.find("2 hits in 1 text"), std::string::npos) << coll.err;
}

TEST_F(Quillon, KeywordsAgainstTheFormulas) {
  fs::create_directories(fDir / "study");
  fs::create_directories(fDir / "ref");
  // Study: 10 words, "whale" 4 times. Reference: 40 words, "whale" twice.
  WriteBytes(fDir / "study" / "s.txt", "whale whale whale whale the sea the sea and ship\n");
  std::string ref = "whale whale";
  for (int i = 0; i < 38; ++i) ref += i % 2 ? " land" : " the";
  WriteBytes(fDir / "ref" / "r.txt", ref + "\n");
  const TRun run = RunQuillon(fDir, {"keywords", "--study", "study", "--reference", "ref", "--max-p", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto whale = RowOf(run.out, "whale");
  ASSERT_EQ(whale.size(), 10u) << run.out;
  EXPECT_EQ(whale[1], "4");
  EXPECT_EQ(whale[2], "10");
  EXPECT_EQ(whale[3], "2");
  EXPECT_EQ(whale[4], "40");
  const double a = 4, b = 2, c = 10, d = 40;
  const double e1 = (a + b) * c / (c + d), e2 = (a + b) * d / (c + d);
  const double ll = 2 * (a * std::log(a / e1) + b * std::log(b / e2));
  EXPECT_NEAR(std::stod(whale[5]), ll, 0.006);
  EXPECT_NEAR(std::stod(whale[6]), std::erfc(std::sqrt(ll / 2)), 0.0005);
  EXPECT_NEAR(std::stod(whale[7]), std::log2((a / c) / (b / d)), 0.0006);
  EXPECT_NEAR(std::stod(whale[8]), ((a / c) - (b / d)) / (b / d) * 100, 0.006);
  EXPECT_NEAR(std::stod(whale[9]), ll - std::log(c + d), 0.006);
  // "sea" is absent from the reference: infinite %DIFF; "land" is negative
  // and listed only with --negative.
  EXPECT_EQ(RowOf(run.out, "sea")[8], "inf");
  EXPECT_TRUE(RowOf(run.out, "land").empty());
  const TRun negative =
      RunQuillon(fDir, {"keywords", "--study", "study", "--reference", "ref", "--max-p", "1", "--negative", "--min-freq", "1"});
  ASSERT_FALSE(RowOf(negative.out, "land").empty()) << negative.out;
  EXPECT_LT(std::stod(RowOf(negative.out, "land")[5]), 0);
  // --max-p: "sea" (LL = 4 ln 5, p = 0.0112) stays, "whale" (p = 0.0133) goes.
  const TRun strict = RunQuillon(fDir, {"keywords", "--study", "study", "--reference", "ref", "--max-p", "0.012"});
  EXPECT_FALSE(RowOf(strict.out, "sea").empty()) << strict.out;
  EXPECT_TRUE(RowOf(strict.out, "whale").empty()) << strict.out;
}

TEST_F(Quillon, CollocatesCountTheSpan) {
  fs::create_directories(fDir / "k");
  WriteBytes(fDir / "k" / "t.txt", "red wine and red wine, white wine and bread\n");
  const TRun run = RunQuillon(fDir, {"collocates", "--span", "L1,R1", "--min-freq", "1", "wine", "k"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Three hits of "wine": red _ and | red _ white | white _ and
  const auto red = RowOf(run.out, "red");
  ASSERT_EQ(red.size(), 12u) << run.out;
  EXPECT_EQ(std::vector<std::string>(red.begin() + 1, red.begin() + 6),
            (std::vector<std::string>{"2", "2", "0", "2", "3"}));
  const auto white = RowOf(run.out, "white");
  EXPECT_EQ(std::vector<std::string>(white.begin() + 1, white.begin() + 6),
            (std::vector<std::string>{"2", "1", "1", "1", "3"}));
  const auto bread = RowOf(run.out, "bread");
  EXPECT_TRUE(bread.empty());
  // Dice = 2·f_xy / (f_x + f_y) for "and": 2·2 / (3 + 2).
  EXPECT_EQ(RowOf(run.out, "and")[10], "0.800");
  EXPECT_EQ(RunQuillon(fDir, {"collocates", "--span", "L9", "wine", "k"}).status, 2);
  WriteBytes(fDir / "k" / "u.txt", "water\n");
  const TRun two = RunQuillon(fDir, {"collocates", "--span", "L1,R1", "--min-freq", "1", "wine", "k"});
  EXPECT_NE(two.err.find("quillon: collocates: 3 hits in 1 text; 2 texts read, 10 tokens, 3 collocates\n"),
            std::string::npos) << two.err;
}

TEST_F(Quillon, LemmatiseAndDetect) {
  WriteBytes(fDir / "lemmas.txt", "be -> was, were\r\ngo -> went\r\n");
  const TRun lem = RunQuillon(fDir, {"lemmatise", "--lemmas", "lemmas.txt"}, "was\nWent cats\n");
  ASSERT_EQ(lem.status, 0) << lem.err;
  EXPECT_EQ(lem.out, "word\theadword\nwas\tbe\nWent\tgo\ncats\tcats\n");

  fs::create_directories(fDir / "e");
  WriteBytes(fDir / "e" / "1-utf8-mark.txt", "\xEF\xBB\xBF" "caf\xC3\xA9\n");
  WriteBytes(fDir / "e" / "2-utf8.txt", "na\xC3\xAFve caf\xC3\xA9\n");
  WriteBytes(fDir / "e" / "3-utf16-mark.txt", std::string("\xFF\xFE" "h\0i\0\n\0", 8));
  std::string wide;
  for (char ch : std::string("The quick brown fox jumps over the lazy dog again and again.\n")) {
    wide.push_back(ch);
    wide.push_back('\0');
  }
  WriteBytes(fDir / "e" / "4-utf16.txt", wide);
  WriteBytes(fDir / "e" / "5-ansi.txt", "Le caf\xE9 est tr\xE8s bon, d\xE9j\xE0 vu, na\xEFve \x93quote\x94.\n");
  const TRun det = RunQuillon(fDir, {"detect", "e"});
  ASSERT_EQ(det.status, 0) << det.err;
  const auto rows = Rows(det.out);
  ASSERT_EQ(rows.size(), 6u) << det.out;
  EXPECT_EQ(rows[0], (std::vector<std::string>{"file", "encoding", "reason", "code_page", "detected", "confidence"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"e/1-utf8-mark.txt", "UTF-8", "mark", "", "", ""}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"e/2-utf8.txt", "UTF-8", "UTF-8 evidence", "", "", ""}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"e/3-utf16-mark.txt", "UTF-16LE", "mark", "", "", ""}));
  EXPECT_EQ(rows[4], (std::vector<std::string>{"e/4-utf16.txt", "UTF-16LE", "UTF-16 without mark", "", "", ""}));
  ASSERT_EQ(rows[5].size(), 6u);
  EXPECT_EQ(std::vector<std::string>(rows[5].begin(), rows[5].begin() + 4),
            (std::vector<std::string>{"e/5-ansi.txt", "8-bit", "8-bit", "1252"}));
  EXPECT_FALSE(rows[5][4].empty());
  EXPECT_GT(std::stoi(rows[5][5]), 0);
  EXPECT_EQ(RowOf(RunQuillon(fDir, {"detect", "--code-page", "1251", "e/5-ansi.txt"}).out, "e/5-ansi.txt")[3], "1251");
  // The word list reads every one of them in its encoding.
  const TRun words = RunQuillon(fDir, {"wordlist", "e"});
  EXPECT_EQ(RowOf(words.out, "café")[1], "3");
}

TEST_F(Quillon, JobsAndShardsGiveTheOneProcessResult) {
  fs::create_directories(fDir / "many" / "deeper");
  for (int i = 0; i < 23; ++i) {
    std::string text;
    for (int k = 0; k <= i; ++k) {
      text += "word";
      text += std::to_string(k % 7);
      text += k % 3 ? " The Cat sat. " : " The Cat ran\n";
    }
    WriteBytes(fDir / "many" / (i % 2 ? "deeper" : "") / NumberedName('t', i), text);
  }
  const std::vector<std::vector<std::string>> commands = {
      {"wordlist", "many"},
      {"ngrams", "3", "many"},
      {"concord", "--sort", "R1,L1", "cat", "many"},
      {"concord", "--sample", "9", "--seed", "3", "cat", "many"},
      {"concord", "--count", "the cat", "many"},
      {"collocates", "cat", "many"},
      {"keywords", "--study", "many/deeper", "--reference", "many", "--max-p", "1", "--negative"},
      {"detect", "many", "missing.txt"},
  };
  for (const auto& command : commands) {
    const TRun one = RunQuillon(fDir, command);
    const int status = command[0] == "detect" ? 1 : 0;  // missing.txt
    ASSERT_EQ(one.status, status) << one.err;
    std::vector<std::string> jobs = command;
    jobs.insert(jobs.begin() + 1, {"--jobs", "4"});
    const TRun four = RunQuillon(fDir, jobs);
    EXPECT_EQ(four.status, status) << four.err;
    EXPECT_EQ(one.out, four.out) << command[0];
    EXPECT_EQ(one.err, four.err) << command[0];  // the summary line too
    EXPECT_GT(one.out.size(), 30u) << command[0];
  }
  for (const auto& command : {commands[0], commands[1], commands[6]}) {
    std::vector<std::string> parts{"merge"};
    for (int i = 1; i <= 3; ++i) {
      std::vector<std::string> shard = command;
      const std::string name = "part" + std::to_string(i) + ".qnp";
      shard.insert(shard.begin() + 1, {"--shard", std::to_string(i) + "/3", "--partial", "-o", name});
      ASSERT_EQ(RunQuillon(fDir, shard).status, 0);
      parts.push_back(name);
    }
    if (command[0] == "keywords") parts.insert(parts.begin() + 1, {"--max-p", "1", "--negative"});
    const TRun merged = RunQuillon(fDir, parts);
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, RunQuillon(fDir, command).out) << command[0];
  }
}

TEST_F(Quillon, LongTextsReadInPiecesCountAsWholeTexts) {
  // Texts far longer than a piece, in three encodings, with words that are
  // not ASCII: the word list and the count read in small pieces equal the
  // word list and the concordance of the text read whole.
  fs::create_directories(fDir / "long");
  std::string utf8;
  for (int i = 0; i < 3000; ++i) {
    const std::string line = "caf\xC3\xA9 line " + std::to_string(i % 97) + (i % 5 ? " the end\n" : " na\xC3\xAFve\r\n");
    utf8 += line;
  }
  WriteBytes(fDir / "long" / "utf8.txt", utf8);
  WriteBytes(fDir / "long" / "utf8-mark.txt", "\xEF\xBB\xBF" + utf8);
  std::string utf16;
  for (int i = 0; i < 4000; ++i) {
    for (const char16_t c : std::u16string(u"\u00E9t\u00E9 and winter\n")) {
      utf16.push_back(static_cast<char>(c & 0xFF));
      utf16.push_back(static_cast<char>(c >> 8));
    }
  }
  WriteBytes(fDir / "long" / "utf16.txt", "\xFF\xFE" + utf16);
  const TRun whole = RunQuillon(fDir, {"wordlist", "long"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(RowOf(whole.out, "café")[1], "6000");
  EXPECT_EQ(RowOf(whole.out, "été")[1], "4000");
  EXPECT_EQ(RowOf(whole.out, "naïve")[1], "1200");
  ASSERT_EQ(::setenv("QUILLON_PIECE_BYTES", "100", 1), 0);
  const TRun pieces = RunQuillon(fDir, {"wordlist", "long"});
  const TRun count = RunQuillon(fDir, {"concord", "--count", "été/café", "long"});
  const TRun countMax = RunQuillon(fDir, {"concord", "--count", "--max", "7001", "été/café", "long"});
  ::unsetenv("QUILLON_PIECE_BYTES");
  EXPECT_EQ(pieces.out, whole.out);
  // utf16.txt (4000 "été"), then utf8-mark.txt and utf8.txt (3000 "café" each).
  EXPECT_EQ(count.out, "search\thits\ttexts\nété/café\t10000\t3\n");
  EXPECT_EQ(countMax.out, "search\thits\ttexts\nété/café\t7001\t3\n");
  EXPECT_EQ(Rows(RunQuillon(fDir, {"concord", "été/café", "long"}).out).size(), 10001u);
}

// A text that fails to read part-way, after pieces of it were counted, is
// reported and adds nothing: not its words, tokens or types, as a text that
// cannot be read at all; the other texts are counted as ever, by one process
// or by workers.
TEST_F(Quillon, ATextThatFailsPartWayAddsNothing) {
  fs::create_directories(fDir / "f");
  WriteBytes(fDir / "f" / "good.txt", "cat dog\n");
  std::string bad;
  while (bad.size() < 700000) bad += "alpha beta dog\n";
  WriteBytes(fDir / "f" / "bad.txt", bad);
  // The failing reads come from a library preloaded into the program, which
  // the sanitizers' run-time then does not come first before.
  const char* asan = std::getenv("ASAN_OPTIONS");
  ASSERT_EQ(::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1), 0);
  ASSERT_EQ(::setenv("QN_FAIL_READS_OF", "/f/bad.txt", 1), 0);
  ASSERT_EQ(::setenv("LD_PRELOAD", QN_FAILING_READS_SO, 1), 0);
  ASSERT_EQ(::setenv("QUILLON_PIECE_BYTES", "100", 1), 0);
  const TRun one = RunQuillon(fDir, {"wordlist", "f"});
  const TRun jobs = RunQuillon(fDir, {"wordlist", "--jobs", "2", "f"});
  const TRun keywords = RunQuillon(fDir, {"keywords", "--study", "f/good.txt", "--reference", "f", "--max-p", "1"});
  const TRun count = RunQuillon(fDir, {"concord", "--count", "dog", "f"});
  ::unsetenv("QUILLON_PIECE_BYTES");
  ::unsetenv("LD_PRELOAD");
  ::unsetenv("QN_FAIL_READS_OF");
  if (asan != nullptr) ::setenv("ASAN_OPTIONS", asan, 1);
  else ::unsetenv("ASAN_OPTIONS");
  for (const TRun* run : {&one, &jobs}) {
    EXPECT_EQ(run->status, 1);
    EXPECT_NE(run->err.find("bad.txt: Input/output error"), std::string::npos) << run->err;
    EXPECT_NE(run->err.find("1 text read, 2 tokens, 2 types"), std::string::npos) << run->err;
    EXPECT_EQ(Rows(run->out).size(), 3u) << run->out;
    EXPECT_EQ(RowOf(run->out, "dog")[1], "1");
    EXPECT_TRUE(RowOf(run->out, "alpha").empty()) << run->out;
  }
  EXPECT_EQ(jobs.out, one.out);
  EXPECT_EQ(keywords.status, 1);
  EXPECT_NE(keywords.err.find("reference 1 text read, 2 tokens"), std::string::npos) << keywords.err;
  EXPECT_EQ(count.status, 1);
  EXPECT_EQ(count.out, "search\thits\ttexts\ndog\t1\t1\n");
}

TEST_F(Quillon, AConcordanceOfATextThatFailsPartWayHasNoLinesOfIt) {
  // The disk fails 700000 bytes into a text of 1.1 MB whose hits lie on both
  // sides of that: it is reported, the run ends with status 1, and none of
  // its lines is written, whether its bytes are read a window at a time (on
  // this thread or ahead of it, by one or several processes) or whole.
  fs::create_directories(fDir / "f");
  WriteBytes(fDir / "f" / "good.txt", "cat dog\n");
  std::string bad;
  for (int i = 0; bad.size() < 1100000; ++i) bad += i % 5000 == 7 ? "alpha beta dog\n" : "alpha beta cat\n";
  WriteBytes(fDir / "f" / "bad.txt", bad);
  const char* asan = std::getenv("ASAN_OPTIONS");
  ASSERT_EQ(::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1), 0);
  ASSERT_EQ(::setenv("QN_FAIL_READS_OF", "/f/bad.txt", 1), 0);
  ASSERT_EQ(::setenv("QN_FAIL_READS_AFTER", "700000", 1), 0);
  ASSERT_EQ(::setenv("LD_PRELOAD", QN_FAILING_READS_SO, 1), 0);
  std::vector<std::pair<std::string, TRun>> runs;
  // (The units before the hits counted ahead of the window too, in chunks
  // of 256 KiB or of 4 KiB with copies of the counts inside them, so that
  // the counting meets the error before the window does.)
  for (const auto& [threads, chunk, every] :
       {std::tuple<const char*, const char*, const char*>{"0", "262144", "16384"}, {"1", "262144", "16384"},
        {"2", "262144", "16384"}, {"1", "4096", "1001"}, {"2", "65536", "4096"}}) {
    ASSERT_EQ(::setenv("QUILLON_READ_THREADS", threads, 1), 0);
    ASSERT_EQ(::setenv("QUILLON_READ_BYTES", chunk, 1), 0);
    ASSERT_EQ(::setenv("QUILLON_COUNT_EVERY", every, 1), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"concord", "dog", "f"}, {"concord", "--jobs", "2", "dog", "f"},
          {"concord", "--context", "3", "dog", "f"}, {"concord", "--sort", "R1", "dog", "f"},
          {"concord", "cat", "f"}, {"concord", "--count", "dog", "f"}}) {
      std::string name = std::string("threads ") + threads + ", chunk " + chunk + ", counts every " + every + ":";
      for (const std::string& a : args) name += " " + a;
      runs.emplace_back(name, RunQuillon(fDir, args));
    }
  }
  ::unsetenv("QUILLON_READ_THREADS");
  ::unsetenv("QUILLON_READ_BYTES");
  ::unsetenv("QUILLON_COUNT_EVERY");
  ::unsetenv("LD_PRELOAD");
  ::unsetenv("QN_FAIL_READS_AFTER");
  ::unsetenv("QN_FAIL_READS_OF");
  if (asan != nullptr) ::setenv("ASAN_OPTIONS", asan, 1);
  else ::unsetenv("ASAN_OPTIONS");
  for (const auto& [name, run] : runs) {
    EXPECT_EQ(run.status, 1) << name << "\n" << run.err;
    EXPECT_NE(run.err.find("f/bad.txt: "), std::string::npos) << name << "\n" << run.err;
    EXPECT_NE(run.err.find("Input/output error"), std::string::npos) << name << "\n" << run.err;
    if (name.find("--count") != std::string::npos) {
      EXPECT_EQ(run.out, "search\thits\ttexts\ndog\t1\t1\n") << name;
      continue;
    }
    EXPECT_EQ(run.out.find("bad.txt"), std::string::npos) << name << "\n" << run.out;
    EXPECT_NE(run.out.find("good.txt"), std::string::npos) << name << "\n" << run.out;
  }
}

namespace {

// Writes `count` random texts of random lines (some longer than a window) to
// dir, in UTF-8 with and without a signature, 8-bit, and UTF-16 of both
// orders, with and without a mark; two with a zero byte in the middle, some
// ending in a hit without a line break after it. "abednego" (or "ABEDNEGO,"
// or "(Nebuchadnezzar)") now and then, or in bursts of lines close together
// in some texts; the other words are frequent. Returns the number of
// "abednego" planted.
size_t WriteRandomTexts(const fs::path& dir, uint32_t seed, int count) {
  fs::create_directories(dir);
  std::mt19937 random(seed);
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const std::vector<std::string> words = {"and", "the", "king", "said", "unto", "them", "of", "babylon", "Lord",
                                          "shadrach,", "meshach.", "(nego)", "bednego", "Abe!"};
  const auto utf16 = [](const std::string& bytes, bool big, bool mark) {
    std::string out = mark ? (big ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (const char c : bytes) {
      out.push_back(big ? '\0' : c);
      out.push_back(big ? c : '\0');
    }
    return out;
  };
  size_t planted = 0;
  for (int t = 0; t < count; ++t) {
    // Hits alone now and then, or in bursts of lines close together.
    std::string text;
    const size_t size = 150000 + pick(450000);
    const bool bursts = t % 3 == 1;
    while (text.size() < size) {
      std::string line;
      const size_t length = pick(40) == 0 ? 3000 + pick(12000) : pick(30) == 0 ? 0 : 1 + pick(200);
      while (line.size() < length) {
        if (!line.empty()) line += pick(9) == 0 ? "  " : " ";
        const bool hit = bursts ? (text.size() / 30000) % 6 == 3 && pick(300) == 0 : pick(25000) == 0;
        const char* const rare[] = {"abednego", "ABEDNEGO,", "(Nebuchadnezzar)"};
        line += hit ? rare[pick(3)] : words[pick(words.size())];
      }
      text += line + (pick(20) == 0 ? "\r\n" : "\n");
    }
    if (t % 4 == 3) text += "the end of abednego";  // a hit in the text's last line, no line break after it
    if (t == 5 || t == 7) text[text.size() / 2] = '\0';
    std::string bytes;
    switch (t % 7) {
      case 0: bytes = text; break;                          // ASCII: UTF-8 or 8-bit alike
      case 1: bytes = "\xEF\xBB\xBF" + text + "caf\xC3\xA9\n"; break;  // UTF-8 with its signature
      case 2: bytes = "caf\xC3\xA9 " + text; break;          // UTF-8 told by its bytes
      case 3: bytes = text + "caf\xE9\n"; break;              // 8-bit
      case 4: bytes = utf16(text, false, true); break;
      case 5: bytes = utf16(text, true, true); break;
      default: bytes = utf16(text, false, false); break;
    }
    std::string name = "t";
    name += std::to_string(10 + t);
    name += ".txt";
    WriteBytes(dir / name, bytes);
    for (size_t at = text.find("abednego"); at != std::string::npos; at = text.find("abednego", at + 1)) ++planted;
  }
  return planted;
}

}  // namespace

TEST_F(Quillon, TextsReadAWindowAtATimeGiveTheConcordanceOfTheirWholeBytes) {
  // Random texts of random lines (some longer than a window), in UTF-8 with
  // and without a signature, 8-bit, UTF-16 of both orders, some with a zero
  // byte, some ending just after a hit: the concordance made as their bytes
  // are read, a small window at a time or a large one, ahead of their use or
  // not, is the one made from their bytes held whole, for lines of a rare
  // word, of one in bursts (parts that meet), and of a frequent one.
  const size_t planted = WriteRandomTexts(fDir / "rt", 20261210, 14);
  // Each run writes the parts it found for each text searched by parts, as
  // "NAME HOW TEXT-END FROM-TO...": "whole" found over the bytes held whole,
  // "stream" as the window passed (only for a text searched to its end so).
  const fs::path log = fDir / "parts.log";
  const auto concordance = [&](const std::vector<std::string>& options, const char* stream, const char* threads,
                               const char* chunk, const char* every) {
    ::setenv("QUILLON_STREAM", stream, 1);
    ::setenv("QUILLON_READ_THREADS", threads, 1);
    ::setenv("QUILLON_READ_BYTES", chunk, 1);
    ::setenv("QUILLON_COUNT_EVERY", every, 1);
    ::setenv("QUILLON_PARTS_LOG", log.c_str(), 1);
    fs::remove(log);
    std::vector<std::string> args = {"concord"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("rt");
    const TRun run = RunQuillon(fDir, args);
    ::unsetenv("QUILLON_STREAM");
    ::unsetenv("QUILLON_READ_THREADS");
    ::unsetenv("QUILLON_READ_BYTES");
    ::unsetenv("QUILLON_COUNT_EVERY");
    ::unsetenv("QUILLON_PARTS_LOG");
    return run;
  };
  // The parts in the log that were found `how`, by text.
  const auto parts = [&](const std::string& how) {
    std::map<std::string, std::string> found;
    std::istringstream lines(fs::exists(log) ? ReadBytes(log) : std::string());
    std::string name, kind, rest;
    while (lines >> name >> kind && std::getline(lines, rest)) {
      if (kind == how) found[name] = rest;
    }
    return found;
  };
  size_t streamedTexts = 0;
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"abednego"}, {"--context", "30", "abednego"}, {"--sort", "R1,L1", "abed*"},
        {"--max", "7", "abednego"}, {"--context", "3", "--sort", "L2", "nebuchadnezzar/abednego"}, {"king"}}) {
    std::string name;
    for (const std::string& o : options) name += o + " ";
    const TRun whole = concordance(options, "0", "0", "262144", "0");
    ASSERT_EQ(whole.status, 0) << name << whole.err;
    EXPECT_GT(Rows(whole.out).size(), options[0] == "--max" ? 7u : 40u) << name;
    const std::map<std::string, std::string> wholeParts = parts("whole");
    if (options[0] != "--max") {
      EXPECT_EQ(wholeParts.size(), 14u) << name;  // (--max stops early)
    }
    // The units before the parts counted ahead of the window, with copies
    // of the counts at points inside chunks (at odd offsets too, inside a
    // UTF-16 unit or a UTF-8 character) or only at their starts, or counted
    // on the thread that searches.
    for (const auto& [threads, chunk, every] :
         {std::tuple<const char*, const char*, const char*>{"1", "4096", "1001"},
          {"1", "4096", "16384"}, {"2", "65536", "4096"}, {"1", "262144", "16384"}, {"1", "65536", "0"},
          {"0", "262144", "16384"}}) {
      const TRun streamed = concordance(options, "1", threads, chunk, every);
      const std::string how = name + "threads " + threads + ", chunk " + chunk + ", counts every " + every;
      EXPECT_EQ(streamed.status, whole.status) << how;
      EXPECT_EQ(streamed.err, whole.err) << how;
      EXPECT_TRUE(streamed.out == whole.out) << how;
      for (const auto& [text, found] : parts("stream")) {
        EXPECT_EQ(found, wholeParts.count(text) ? wholeParts.at(text) : "(none)") << how << ": " << text;
        ++streamedTexts;
      }
    }
  }
  // Most texts of the rare words are searched as the window passes (not
  // those of undecided encoding with letters beyond ASCII, nor those after a
  // frequent word was met).
  EXPECT_GT(streamedTexts, 100u);
  EXPECT_GT(planted, 50u);
}

TEST_F(Quillon, PartsThatJustMeetAreJoinedAsTheWindowPasses) {
  // Lines of 64 bytes, so that the 4 KiB pieces the parts are made of, and
  // their margins of 4 KiB, end at line ends. a.txt: hits in the first piece
  // and in the one from 12288, whose margin reaches back to 8192, exactly
  // where the first part ends: one part. b.txt: a line of 6000 bytes from
  // 8192 on, and a hit just after it: the piece after the long line starts
  // more than a margin after the first part's end, but its margin reaches
  // back into the long line, which starts where that part ends: one part.
  fs::create_directories(fDir / "adj");
  const auto line = [](bool hit) {
    std::string l = hit ? "and abednego said" : "and the king said";
    l.resize(63, '.');
    return l + "\n";
  };
  std::string a, b;
  for (int i = 0; i < 2000; ++i) a += line(i == 10 || i == 200);
  for (int i = 0; i < 128; ++i) b += line(i == 10);
  b += std::string(5999, 'x') + "\n";
  for (int i = 0; i < 2000; ++i) b += line(i == 0);
  WriteBytes(fDir / "adj" / "a.txt", a);
  WriteBytes(fDir / "adj" / "b.txt", b);
  const fs::path log = fDir / "parts.log";
  const auto run = [&](const char* stream) {
    ::setenv("QUILLON_STREAM", stream, 1);
    ::setenv("QUILLON_PARTS_LOG", log.c_str(), 1);
    ::setenv("QUILLON_READ_BYTES", "4096", 1);
    fs::remove(log);
    const TRun r = RunQuillon(fDir, {"concord", "--context", "12", "abednego", "adj"});
    ::unsetenv("QUILLON_STREAM");
    ::unsetenv("QUILLON_PARTS_LOG");
    ::unsetenv("QUILLON_READ_BYTES");
    return std::make_pair(r, fs::exists(log) ? ReadBytes(log) : std::string());
  };
  const auto [whole, wholeLog] = run("0");
  const auto [streamed, streamLog] = run("1");
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(Rows(whole.out).size(), 5u);  // four lines
  EXPECT_EQ(streamed.out, whole.out);
  EXPECT_EQ(wholeLog, "adj/a.txt whole 128000 0-20480\nadj/b.txt whole " + std::to_string(b.size()) + " 0-22384\n");
  EXPECT_EQ(streamLog, "adj/a.txt stream 128000 0-20480\nadj/b.txt stream " + std::to_string(b.size()) + " 0-22384\n");
}

TEST_F(Quillon, PartsStartingAtChunkAndCopyPointsGetTheNumbersOfTheWholeText) {
  // Lines of 64 bytes in UTF-8 (128 in UTF-16, the mark taking the first
  // line's first unit; UTF-16 is counted on the searching thread, and gives
  // the same numbers as the text searched whole), so that the 4 KiB pieces and their margins end at
  // line ends and every part starts at a multiple of 4096: at the start of a
  // chunk read ahead, or at a point inside one where a copy of the counts is
  // kept, or (chunks of 6 KiB, counts every 1001 bytes) a few bytes after
  // one; the texts are longer than the head read before the search begins
  // (256 KiB), after which the counting ahead starts. The lines end a
  // sentence or not, and hold letters beyond ASCII, so that a unit held over
  // a copy point and characters cut by one are carried across it. The
  // numbers of every hit are those of the text searched whole.
  fs::create_directories(fDir / "cut");
  std::string text;
  std::mt19937 random(4096);
  const std::vector<std::string> words = {"the", "king", "said", "caf\xC3\xA9", "unto", "\xC3\xA9t\xC3\xA9", "of"};
  for (int i = 0; i < 6000; ++i) {
    // Hits in lines 3 (a part from 0), 200 (from 8192), 580 and 650 (one
    // part, its lines joined), and further on; in UTF-8 the part of line 4200
    // starts at 262144, past the head.
    const bool hit = i == 3 || i == 200 || i == 580 || i == 650 || i == 1030 || i == 1500 || i == 4100 ||
                     i == 4200 || i == 5000 || i == 5900;
    const size_t length = i == 0 ? 60 : 63;  // (the first after the signature)
    std::string line = hit ? "abednego" : "";
    while (line.size() + 8 < length) line += (line.empty() ? "" : " ") + words[random() % words.size()];
    line += random() % 3 == 0 ? "." : "";
    line.resize(length, ' ');
    if (random() % 4 == 0) line.back() = '.';
    text += line + "\n";
  }
  ASSERT_EQ(text.size(), 6000u * 64 - 3);
  // (A text of UTF-8 without a signature is read as 8-bit text until a byte
  // beyond ASCII is met: then it is searched whole.)
  WriteBytes(fDir / "cut" / "a-utf8.txt", "\xEF\xBB\xBF" + text);
  // UTF-16: every unit of the text decoded, after the mark and two spaces.
  std::string wide("\xFF\xFE\x20\x00\x20\x00", 6);
  for (size_t k = 0; k < text.size(); ++k) {
    const auto b = static_cast<uint8_t>(text[k]);
    char16_t u = b;
    if (b == 0xC3) u = static_cast<char16_t>(0xC0 | (static_cast<uint8_t>(text[++k]) & 0x3F));
    wide.push_back(static_cast<char>(u & 0xFF));
    wide.push_back(static_cast<char>(u >> 8));
    if (b == 0xC3) {
      wide.append("\x20\x00", 2);  // (a unit for the byte the decoding took, so that lines stay 64 units)
    }
  }
  WriteBytes(fDir / "cut" / "b-utf16.txt", wide);
  const fs::path log = fDir / "parts.log";
  const auto run = [&](const char* stream, const char* chunk, const char* every) {
    ::setenv("QUILLON_STREAM", stream, 1);
    ::setenv("QUILLON_READ_THREADS", "1", 1);
    ::setenv("QUILLON_READ_BYTES", chunk, 1);
    ::setenv("QUILLON_COUNT_EVERY", every, 1);
    ::setenv("QUILLON_PARTS_LOG", log.c_str(), 1);
    fs::remove(log);
    const TRun r = RunQuillon(fDir, {"concord", "--context", "4", "abednego", "cut"});
    for (const char* name :
         {"QUILLON_STREAM", "QUILLON_READ_THREADS", "QUILLON_READ_BYTES", "QUILLON_COUNT_EVERY", "QUILLON_PARTS_LOG"})
      ::unsetenv(name);
    return std::make_pair(r, fs::exists(log) ? ReadBytes(log) : std::string());
  };
  const auto [whole, wholeLog] = run("0", "262144", "0");
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(Rows(whole.out).size(), 21u) << whole.out;  // ten hits in each text
  for (const auto& [chunk, every] : {std::pair<const char*, const char*>{"4096", "1024"}, {"8192", "4096"},
                                     {"6144", "1001"}, {"65536", "16384"}}) {
    const auto [streamed, streamLog] = run("1", chunk, every);
    const std::string how = std::string("chunk ") + chunk + ", counts every " + every;
    EXPECT_EQ(streamed.out, whole.out) << how;
    // Both texts searched as the window passed, each part starting at a
    // multiple of 4096, some of them past the first chunk.
    std::istringstream lines(streamLog);
    std::string name, kind, end, part;
    int texts = 0, later = 0;
    while (lines >> name >> kind >> end) {
      ++texts;
      EXPECT_EQ(kind, "stream") << how << ": " << name;
      std::string rest;
      std::getline(lines, rest);
      std::istringstream parts(rest);
      while (parts >> part) {
        const size_t from = std::stoul(part.substr(0, part.find('-')));
        EXPECT_EQ(from % 4096, 0u) << how << ": " << name << " " << part;
        later += from >= 270000;
      }
    }
    EXPECT_EQ(texts, 2) << how << "\n" << streamLog;
    EXPECT_GE(later, 5) << how << "\n" << streamLog;
  }
}

TEST_F(Quillon, CountsAndWordListsReadAheadAreThoseReadOnOneThread) {
  // Counts of hits, word lists and key words of random texts read in pieces:
  // their chunks read ahead by a helper thread (small chunks, so that pieces
  // and lines straddle many of them, and large ones) or by the thread that
  // uses them, give the same tables, in one process and in two.
  const size_t planted = WriteRandomTexts(fDir / "rc", 77, 10);
  EXPECT_GT(planted, 10u);
  WriteBytes(fDir / "ref.txt", "the king said unto them abednego\n");
  const std::vector<std::vector<std::string>> commands = {
      {"concord", "--count", "abednego", "rc"}, {"concord", "--count", "king/abed*", "rc"},
      {"concord", "--count", "--jobs", "2", "abednego", "rc"}, {"wordlist", "rc"},
      {"keywords", "--study", "rc", "--reference", "ref.txt", "--max-p", "1"}};
  for (const std::vector<std::string>& command : commands) {
    std::string name;
    for (const std::string& c : command) name += c + " ";
    ::setenv("QUILLON_READ_THREADS", "0", 1);
    const TRun alone = RunQuillon(fDir, command);
    ASSERT_EQ(alone.status, 0) << name << alone.err;
    EXPECT_GT(Rows(alone.out).size(), 1u) << name;
    for (const auto& [threads, chunk, piece] :
         {std::tuple<const char*, const char*, const char*>{"1", "4096", "65536"}, {"1", "65536", "1000"},
          {"2", "262144", "65536"}, {"1", "1000000", "300000"}}) {
      ::setenv("QUILLON_READ_THREADS", threads, 1);
      ::setenv("QUILLON_READ_BYTES", chunk, 1);
      ::setenv("QUILLON_PIECE_BYTES", piece, 1);
      const TRun ahead = RunQuillon(fDir, command);
      ::unsetenv("QUILLON_READ_BYTES");
      ::unsetenv("QUILLON_PIECE_BYTES");
      const std::string how = name + "threads " + threads + ", chunk " + chunk + ", piece " + piece;
      EXPECT_EQ(ahead.status, alone.status) << how;
      EXPECT_EQ(ahead.err, alone.err) << how;
      EXPECT_TRUE(ahead.out == alone.out) << how;
    }
    ::unsetenv("QUILLON_READ_THREADS");
  }
}

TEST_F(Quillon, TextsLongerThanTheReadWindowCountAsWholeTexts) {
  // Texts of several hundred kilobytes, read a window at a time when only
  // counted, against the concordance of the same texts read whole. Without a
  // signature, UTF-8 or the code page is decided by the whole text: here by
  // letters far beyond the first windows, after hits in ASCII pieces; one
  // text has a single line longer than a window, one ends at a zero byte
  // with hits after it, one is UTF-16 without a mark.
  fs::create_directories(fDir / "big");
  std::string ascii;
  for (int i = 0; i < 9000; ++i) ascii += i % 1000 == 7 ? "the cafe of abednego\n" : "and the king said unto them\n";
  const std::string utf8Line = "le caf\xC3\xA9 abednego\n", latinLine = "le caf\xE9 abednego\n";
  // A UTF-8 letter early, outnumbered by ill-formed bytes late: 8-bit text.
  WriteBytes(fDir / "big" / "a-utf8.txt", ascii + utf8Line + ascii + utf8Line);
  WriteBytes(fDir / "big" / "b-latin.txt", ascii + latinLine + ascii + latinLine);
  WriteBytes(fDir / "big" / "c-mixed.txt", utf8Line + ascii + latinLine + latinLine + ascii + latinLine);
  WriteBytes(fDir / "big" / "d-longline.txt", std::string(700000, 'x') + " abednego caf\xC3\xA9\n" + ascii);
  WriteBytes(fDir / "big" / "e-zero.txt", ascii + std::string(1, '\0') + ascii);
  std::string wide;
  for (const char c : ascii + "caf\xE9 abednego\n") {
    wide.push_back(c);
    wide.push_back('\0');
  }
  WriteBytes(fDir / "big" / "f-utf16.txt", wide);
  // Hits per text: abednego 20, 20, 22, 10, 9, 10; café 2, 2, 3 (the UTF-8
  // one of the mixed text is read as two 8-bit letters), 1, 0, 1; cafe 18 in
  // each text of two ASCII stretches, 9 in the others.
  for (const auto& [word, expected] : {std::pair<std::string, std::string>{"abednego", "\t91\t6\n"},
                                       {"caf\xC3\xA9", "\t9\t5\n"},
                                       {"caf\xC3\xA9/cafe", "\t90\t6\n"}}) {
    const TRun count = RunQuillon(fDir, {"concord", "--count", word, "big"});
    ASSERT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "search\thits\ttexts\n" + word + expected);
    const TRun kwic = RunQuillon(fDir, {"concord", word, "big"});
    ASSERT_EQ(kwic.status, 0) << kwic.err;
    const std::string hits = expected.substr(1, expected.find('\t', 1) - 1);
    EXPECT_EQ(Rows(kwic.out).size(), std::stoul(hits) + 1) << word;
  }
  // The word list reads in pieces too.
  const TRun words = RunQuillon(fDir, {"wordlist", "big"});
  ASSERT_EQ(words.status, 0) << words.err;
  EXPECT_EQ(RowOf(words.out, "caf\xC3\xA9")[1], "9");
}

TEST_F(Quillon, TextsWithoutTheWordGiveTheSameConcordance) {
  // 200 lines of three words, "Abednego answered", 200 more, "ABEDNEGO.":
  // hits at words 601 and 1203, in paragraphs (and sentences) 201 and 402,
  // in UTF-8, 8-bit, and UTF-16 of both byte orders. A text whose only hit
  // comes after a zero byte holds none, whether read whole or in pieces.
  fs::create_directories(fDir / "r");
  const auto text = [](const std::string& line) {
    std::string t;
    for (int i = 0; i < 200; ++i) t += line;
    t += "Abednego answered\n";
    for (int i = 0; i < 200; ++i) t += line;
    return t + "ABEDNEGO.\n";
  };
  const auto utf16 = [](const std::string& ascii, bool big) {
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) {
      out.push_back(big ? '\0' : c);
      out.push_back(big ? c : '\0');
    }
    return out;
  };
  WriteBytes(fDir / "r" / "u8.txt", text("the king sa\xC3\xAF" "d\n"));
  WriteBytes(fDir / "r" / "w8.txt", text("the king sa\xEF" "d\n"));
  WriteBytes(fDir / "r" / "le.txt", utf16(text("the king said\n"), false));
  WriteBytes(fDir / "r" / "be.txt", utf16(text("the king said\n"), true));
  std::string nul;
  for (int i = 0; i < 200; ++i) nul += "the king said\n";
  nul += std::string(1, '\0') + nul + "abednego\n";
  WriteBytes(fDir / "r" / "nul.txt", nul);
  WriteBytes(fDir / "r" / "nul16.txt", utf16(nul, false));
  const std::string counted = "search\thits\ttexts\nabednego\t8\t4\n";
  const TRun whole = RunQuillon(fDir, {"concord", "--count", "abednego", "r"});
  EXPECT_EQ(whole.out, counted);
  EXPECT_NE(whole.err.find("6 texts read"), std::string::npos) << whole.err;
  const TRun kwic = RunQuillon(fDir, {"concord", "abednego", "r"});
  ASSERT_EQ(kwic.status, 0) << kwic.err;
  const auto rows = Rows(kwic.out);
  ASSERT_EQ(rows.size(), 9u);
  for (size_t i = 1; i < rows.size(); ++i) {
    const bool first = i % 2 == 1;
    EXPECT_EQ(rows[i][2], first ? "601" : "1203") << kwic.out;
    EXPECT_EQ(rows[i][3], first ? "201" : "402");
    EXPECT_EQ(rows[i][4], first ? "201" : "402");
    EXPECT_EQ(rows[i][6], first ? "Abednego" : "ABEDNEGO");
  }
  ASSERT_EQ(::setenv("QUILLON_PIECE_BYTES", "64", 1), 0);
  const TRun pieces = RunQuillon(fDir, {"concord", "--count", "abednego", "r"});
  ::unsetenv("QUILLON_PIECE_BYTES");
  EXPECT_EQ(pieces.out, counted);
  // Words the test cannot rule out give the same counts.
  EXPECT_EQ(RunQuillon(fDir, {"concord", "--count", "abed*/^bednego", "r"}).out,
            "search\thits\ttexts\nabed*/^bednego\t8\t4\n");
}

TEST_F(Quillon, ConcordanceFromPartsOfTextsEqualsTheWholeTexts) {
  // A rare word's lines are searched in parts of the texts decoded around
  // them, the words, sentences and paragraphs before each part counted from
  // the bytes; a word to avoid that never occurs makes the program read
  // every text whole. Texts of random lines (sentences running over line
  // breaks, terminators of other scripts, no-break spaces, blank lines,
  // letters beyond ASCII, paragraph separators), hits near each other and
  // far apart, at the texts' edges, and hits whose left or right context
  // reaches over 20,000 blank lines; in UTF-8 with and without a mark, UTF-16 of both byte
  // orders and 8-bit.
  fs::create_directories(fDir / "p");
  std::mt19937 random(17);
  const std::vector<std::u16string> words = {u"the", u"And", u"king", u"s\u00e6id", u"\u00e9t\u00e9", u"3.14",
                                             u"Mr.", u"unto", u"\u0928\u092e", u"x"};
  const std::vector<std::u16string> gaps = {u" ", u" ", u" ", u"  ", u"\t", u"\u00a0", u". ", u"! ", u"? ",
                                            u"\u0964 ", u", ", u"\n", u"\r\n", u"\n\n", u"\u2029"};
  // Hits in few lines, most of the text without: the parts decoded are few.
  const std::vector<int> hitLines = {3, 2000, 2001, 2030, 4000, 6000, 8000, 11000, 13000, 15000, 17000, 19990};
  const auto makeText = [&](int farContext) {
    std::u16string t = u"abednego ";
    for (int line = 0; line < 20000; ++line) {
      const int n = static_cast<int>(random() % 14);
      const bool hit = std::find(hitLines.begin(), hitLines.end(), line) != hitLines.end();
      if (random() % 3 == 0) t += u"  ";  // lines that start with white space
      for (int w = 0; w < n; ++w) {
        t += hit && w == n / 2 ? u"Abednego" : words[random() % words.size()];
        t += gaps[random() % gaps.size()];
      }
      // A hit whose left context reaches far back, in one text; one whose
      // right context reaches far on, in another.
      if (line == 9000 && farContext == 1) t += std::u16string(20000, u'\n') + u"abednego said.";
      if (line == 15000 && farContext == 2) t += std::u16string(20000, u'\n');
      t += random() % 4 == 0 ? u"\n\n" : u"\n";
    }
    return t + u"the end abednego";
  };
  const auto encode = [](const std::u16string& text, int how) {
    std::string out = how == 1 ? "\xEF\xBB\xBF" : how == 2 ? "\xFF\xFE" : how == 3 ? "\xFE\xFF" : "";
    for (const char16_t c : text) {
      if (how == 2 || how == 3) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out += how == 2 ? std::string{lo, hi} : std::string{hi, lo};
      } else if (how == 4) {
        out += static_cast<char>(c < 0x100 ? c : '?');  // 8-bit, Latin-1 letters as they are
      } else if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
      } else {
        out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
      }
    }
    return out;
  };
  for (int how = 0; how < 5; ++how) {
    WriteBytes(fDir / "p" / NumberedName('t', how), encode(makeText(how == 0 ? 1 : how == 2 ? 2 : 0), how));
  }
  // An 8-bit text with a part that starts on a blank line: its bytes hold no
  // byte-order mark to stand for.
  std::string blank;
  for (int i = 0; i < 5000; ++i) blank += "w\xE9rd and more\n";
  WriteBytes(fDir / "p" / "b.txt", blank + std::string(30000, '\n') + "abednego\n" + blank);
  int lines = 0;
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"--context", "0"}, {"--context", "100"}, {"--sort", "R1,L2"}, {"--max", "9"}}) {
    std::vector<std::string> parts = {"concord", "abednego", "p"}, whole = {"concord", "abednego/~zzqzz", "p"};
    parts.insert(parts.end(), options.begin(), options.end());
    whole.insert(whole.end(), options.begin(), options.end());
    const TRun byParts = RunQuillon(fDir, parts), byWhole = RunQuillon(fDir, whole);
    ASSERT_EQ(byParts.status, 0) << byParts.err;
    EXPECT_EQ(byParts.out, byWhole.out) << options.size();
    lines += static_cast<int>(Rows(byParts.out).size());
  }
  EXPECT_GT(lines, 100);
}

TEST_F(Quillon, PartsOfTextsWithoutMarkReadInTheEncodingOfTheirEvidence) {
  // Texts whose head is ASCII and has no mark: 8-bit or UTF-8 by the
  // evidence of all their bytes. The parts around the hits, and the units
  // counted before them, are the same text in both readings until a byte
  // beyond ASCII comes: one met before a hit's line, in a hit's line, only
  // after the last hit's line, in UTF-8 or 8-bit. Before a hit, U+3002 (a
  // sentence's end) and U+2029 (a paragraph's end) are other characters
  // read as 8-bit, so the hit's numbers tell the readings apart.
  fs::create_directories(fDir / "u");
  std::string filler;
  while (filler.size() < 30000) filler += "and the king said unto them, go in peace.\n";
  const std::string head = filler + filler + filler;  // beyond the 64 KiB of the head
  const std::string ends = "x\xE3\x80\x82 y \xE2\x80\xA9 z \xE3\x80\x82\n";
  WriteBytes(fDir / "u" / "a.txt", head + "abednego first.\n" + filler + ends + filler +
                                       "caf\xC3\xA9 abednego \xC3\xA9t\xC3\xA9\n" + filler);
  WriteBytes(fDir / "u" / "b.txt", head + "abednego first.\n" + filler + ends + ends + filler + "abednego last\n" + filler);
  WriteBytes(fDir / "u" / "c.txt", head + "abednego here.\n" + filler + "\xC3\xA9t\xC3\xA9\n" + ends);
  WriteBytes(fDir / "u" / "d.txt", head + "abednego one.\n" + filler + "w\xE9rd \xE9t\xE9.\n" + filler +
                                       "caf\xE9 abednego\n" + filler);
  WriteBytes(fDir / "u" / "e.txt", head + "abednego two.\n" + filler + "w\xE9rd.\n");
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"--context", "3"}, {"--sort", "R1,L1"}}) {
    std::vector<std::string> parts = {"concord", "abednego", "u"}, whole = {"concord", "abednego/~zzqzz", "u"};
    parts.insert(parts.end(), options.begin(), options.end());
    whole.insert(whole.end(), options.begin(), options.end());
    const TRun byParts = RunQuillon(fDir, parts), byWhole = RunQuillon(fDir, whole);
    ASSERT_EQ(byParts.status, 0) << byParts.err;
    EXPECT_EQ(byParts.out, byWhole.out) << options.size();
    const auto rows = Rows(byParts.out);
    ASSERT_EQ(rows.size(), 9u) << byParts.out;
    if (options.empty()) {
      // The hit after U+3002 and U+2029 in b.txt (UTF-8): between the two
      // hits, 715 lines of one sentence each twice, and twice a line of
      // three sentences and two paragraphs (8-bit: one of each).
      const std::vector<std::string>& first = rows[3];
      const std::vector<std::string>& after = rows[4];
      ASSERT_EQ(after[0], "u/b.txt");
      EXPECT_EQ(std::stol(after[3]) - std::stol(first[3]), 1 + 715 + 2 * 3 + 715) << after[3] << " " << first[3];
      EXPECT_EQ(std::stol(after[4]) - std::stol(first[4]), 1 + 715 + 2 * 2 + 715) << after[4] << " " << first[4];
      // "é" read from UTF-8 in a.txt and from 8-bit in d.txt, written in UTF-8.
      EXPECT_NE(rows[2][5].find("caf\xC3\xA9"), std::string::npos) << rows[2][5];
      EXPECT_NE(rows[7][5].find("caf\xC3\xA9"), std::string::npos) << rows[7][5];
    }
  }
}

TEST_F(Quillon, AMarkThatStartsAPieceIsACharacterOfTheText) {
  // Every line starts with U+FEFF, so that pieces cut after line feeds start
  // with the encoding's own signature; only the one at the very start of the
  // file is a byte-order mark. The word sought begins with the character.
  fs::create_directories(fDir / "m");
  std::string utf8, utf16le, utf16be;
  for (int i = 0; i < 50; ++i) {
    utf8 += "\xEF\xBB\xBF" "cat and dog\n";
    for (const char16_t c : std::u16string(u"\uFEFFcat and dog\n")) {
      utf16le += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
      utf16be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
  }
  WriteBytes(fDir / "m" / "u8.txt", "\xEF\xBB\xBF" + utf8);
  WriteBytes(fDir / "m" / "le.txt", "\xFF\xFE" + utf16le);
  WriteBytes(fDir / "m" / "be.txt", "\xFE\xFF" + utf16be);
  // 8-bit text has no mark: a piece of it starts with no U+FEFF.
  std::string latin = "caf\xE9\n";
  for (int i = 0; i < 50; ++i) latin += "cat and dog\n";
  WriteBytes(fDir / "m" / "w8.txt", latin);
  const std::string counted = "search\thits\ttexts\n\xEF\xBB\xBF" "cat\t150\t3\n";
  EXPECT_EQ(RunQuillon(fDir, {"concord", "--count", "\xEF\xBB\xBF" "cat", "m"}).out, counted);
  for (const char* bytes : {"64", "100", "4096"}) {
    ASSERT_EQ(::setenv("QUILLON_PIECE_BYTES", bytes, 1), 0);
    const TRun pieces = RunQuillon(fDir, {"concord", "--count", "\xEF\xBB\xBF" "cat", "m"});
    ::unsetenv("QUILLON_PIECE_BYTES");
    EXPECT_EQ(pieces.out, counted) << bytes << " bytes a piece";
  }
}

TEST_F(Quillon, ContextRunsOfWhiteSpaceBecomeOneSpace) {
  // Leading white space dropped, runs of spaces, tabs and line breaks made
  // one space, letters beyond ASCII kept, in contexts long and short.
  fs::create_directories(fDir / "w");
  WriteBytes(fDir / "w" / "1.txt",
             "x  Alpha beta  gamma\tdelta epsilon zeta eta theta iota kappa na\xC3\xAFve \xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1"
             " hit one  two\tthree four five six seven\r\n\r\neight nine\n");
  WriteBytes(fDir / "w" / "2.txt", " lead words here  hit\n");
  const TRun run = RunQuillon(fDir, {"concord", "--context", "20", "hit", "w"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = Rows(run.out);
  ASSERT_EQ(rows.size(), 3u) << run.out;
  EXPECT_EQ(rows[1][5], "x Alpha beta gamma delta epsilon zeta eta theta iota kappa na\xC3\xAFve \xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1");
  EXPECT_EQ(rows[1][7], "one two three four five six seven eight nine");
  EXPECT_EQ(rows[2][5], "lead words here");
  EXPECT_EQ(rows[2][7], "");
}

// The contexts of a made text, with words far longer than 64 characters and
// runs of white space, against a plain split into runs of letters and digits.
TEST_F(Quillon, ContextsReachTheWordsAPlainSplitFinds) {
  std::mt19937 random(25);
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const std::vector<std::string> gaps{" ", "  ", "\t", "\n", ", ", ". ", " - ", "\r\n", " \\ ", "\n\n   "};
  std::string text = "  ";
  int64_t hits = 0;
  for (int w = 0; w < 3000; ++w) {
    if (pick(7) == 0) {
      text += "zq";
      ++hits;
    } else {
      const size_t length = pick(20) == 0 ? 50 + pick(150) : 1 + pick(9);
      for (size_t k = 0; k < length; ++k) text += "abcdefghijklmnop0123456789"[pick(26)];
    }
    text += gaps[pick(gaps.size())];
  }
  fs::create_directories(fDir / "r");
  WriteBytes(fDir / "r" / "made.txt", text);

  struct TWord {
    size_t start, end;
  };
  std::vector<TWord> words;
  const auto isWordUnit = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); };
  for (size_t i = 0; i < text.size();) {
    if (!isWordUnit(text[i])) {
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < text.size() && isWordUnit(text[i])) ++i;
    words.push_back({start, i});
  }
  // White space runs made one space, none at the ends; a backslash escaped.
  const auto shown = [](std::string_view s) {
    std::string out;
    bool space = false;
    for (char c : s) {
      if (static_cast<unsigned char>(c) <= 0x20) {
        space = !out.empty();
        continue;
      }
      if (space) out += ' ';
      space = false;
      out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return out;
  };

  for (const int context : {0, 1, 5, 12}) {
    const TRun run = RunQuillon(fDir, {"concord", "--context", std::to_string(context), "zq", "r"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = Rows(run.out);
    ASSERT_EQ(rows.size(), static_cast<size_t>(hits) + 1);
    // The expected left and right context of each hit, in text order.
    std::vector<std::pair<std::string, std::string>> expected;
    const auto n = static_cast<size_t>(context);
    for (size_t h = 0; h < words.size(); ++h) {
      if (text.compare(words[h].start, words[h].end - words[h].start, "zq") != 0) continue;
      const size_t leftFrom = h >= n ? (n > 0 ? words[h - n].start : words[h].start) : 0;
      const size_t rightTo = h + n < words.size() ? (n > 0 ? words[h + n].end : words[h].end) : text.size();
      expected.emplace_back(shown(std::string_view(text).substr(leftFrom, words[h].start - leftFrom)),
                            shown(std::string_view(text).substr(words[h].end, rightTo - words[h].end)));
    }
    ASSERT_EQ(expected.size(), static_cast<size_t>(hits));
    for (size_t row = 1; row < rows.size(); ++row) {
      const auto& [left, right] = expected[row - 1];
      const std::vector<std::string> line{"r/made.txt", std::to_string(row), rows[row][2], rows[row][3],
                                          rows[row][4], left, "zq", right};
      ASSERT_EQ(rows[row], line) << "context " << context << ", hit " << row;
    }
    // Lines kept and put in order (two processes) are the lines written as found.
    const TRun kept = RunQuillon(fDir, {"concord", "--jobs", "2", "--context", std::to_string(context), "zq", "r"});
    EXPECT_EQ(kept.out, run.out);
    // Sorted lines, whose sort keys want the words on each side, have the
    // same contexts.
    const auto sorted = Rows(RunQuillon(fDir, {"concord", "--sort", "R2,L1", "--context", std::to_string(context), "zq", "r"}).out);
    ASSERT_EQ(sorted.size(), rows.size());
    for (size_t row = 1; row < sorted.size(); ++row) {
      const size_t number = std::stoul(sorted[row][1]);
      ASSERT_TRUE(number >= 1 && number < rows.size());
      EXPECT_EQ(sorted[row], rows[number]) << "context " << context << ", sorted row " << row;
    }
  }
}

// A long made text (the lines move on through many thousands of units) with
// characters beyond ASCII, white space of every kind and the characters each
// format escapes, in words and between them: every line's contexts in every
// format against the text cleaned and escaped here, word by word.
TEST_F(Quillon, LongTextContextsCleanedAndEscapedInEveryFormat) {
  std::mt19937 random(34);
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  // Word characters (ASCII letters and digits, and a letter beyond ASCII), and
  // the gaps between words: white space of every kind (a no-break space, a
  // line separator), punctuation of both kinds, and what the formats escape.
  const std::vector<std::string> letters{"a", "b", "k", "m", "r", "t", "0", "7", "\xC3\xA9"};
  const std::vector<std::string> gaps{" ",  "  ",  "\t", "\r\n", ", ", " \"", "\" ", " \\ ",
                                      "\xC2\xA0", " \xE2\x80\x94 ", "\xE2\x80\xA8", " \xC2\xAB", "\xF0\x9F\x98\x80 ",
                                      "\n\n  ", ". ", " \x7F "};
  struct TWord {
    size_t start, end;
  };
  std::string text;
  std::vector<TWord> words;
  for (int w = 0; w < 9000; ++w) {
    const size_t start = text.size();
    if (pick(9) == 0) {
      text += "zq";
    } else {
      for (size_t k = 1 + pick(8); k > 0; --k) text += letters[pick(letters.size())];
    }
    words.push_back({start, text.size()});
    text += gaps[pick(gaps.size())];
  }
  fs::create_directories(fDir / "l");
  WriteBytes(fDir / "l" / "long.txt", text);

  // White space (ASCII controls and space, U+0085, U+00A0, U+2028, U+2029)
  // made one space, none kept at either end.
  const auto cleaned = [](std::string_view s) {
    std::string out;
    bool space = false;
    for (size_t i = 0; i < s.size();) {
      const auto c = static_cast<unsigned char>(s[i]);
      size_t width = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      const std::string_view unit = s.substr(i, width);
      i += width;
      if (c <= 0x20 || unit == "\xC2\x85" || unit == "\xC2\xA0" || unit == "\xE2\x80\xA8" || unit == "\xE2\x80\xA9") {
        space = !out.empty();
        continue;
      }
      if (space) out += ' ';
      space = false;
      out += unit;
    }
    return out;
  };
  const auto tsv = [](const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
  };
  const auto csv = [](const std::string& s) {
    if (s.find_first_of(",\"") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
  };
  const auto json = [](const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
  };

  for (const int context : {0, 3, 100}) {
    const std::vector<std::string> options{"--context", std::to_string(context), "zq", "l"};
    std::vector<std::string> args{"concord"};
    args.insert(args.end(), options.begin(), options.end());
    const TRun run = RunQuillon(fDir, args);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = Rows(run.out);
    // The expected fields of each hit in text order; the word, sentence and
    // paragraph numbers are taken from the TSV lines (other tests check them).
    std::string expectedCsv = "file,n,word,sentence,paragraph,left,hit,right\r\n";
    std::string expectedJson = "[";
    size_t row = 0;
    const auto n = static_cast<size_t>(context);
    for (size_t h = 0; h < words.size(); ++h) {
      if (text.compare(words[h].start, words[h].end - words[h].start, "zq") != 0) continue;
      ++row;
      ASSERT_LT(row, rows.size());
      ASSERT_EQ(rows[row].size(), 8u);
      const size_t leftFrom = h >= n ? (n > 0 ? words[h - n].start : words[h].start) : 0;
      const size_t rightTo = h + n < words.size() ? (n > 0 ? words[h + n].end : words[h].end) : text.size();
      const std::string left = cleaned(std::string_view(text).substr(leftFrom, words[h].start - leftFrom));
      const std::string right = cleaned(std::string_view(text).substr(words[h].end, rightTo - words[h].end));
      ASSERT_EQ(rows[row][5], tsv(left)) << "context " << context << ", hit " << row;
      ASSERT_EQ(rows[row][6], "zq");
      ASSERT_EQ(rows[row][7], tsv(right)) << "context " << context << ", hit " << row;
      const std::string& word = rows[row][2];
      const std::string& sentence = rows[row][3];
      const std::string& paragraph = rows[row][4];
      expectedCsv += "l/long.txt," + std::to_string(row) + "," + word + "," + sentence + "," + paragraph + "," +
                     csv(left) + ",zq," + csv(right) + "\r\n";
      expectedJson += std::string(row == 1 ? "\n" : ",\n") + "{\"file\":\"l/long.txt\",\"n\":" + std::to_string(row) +
                      ",\"word\":" + word + ",\"sentence\":" + sentence + ",\"paragraph\":" + paragraph +
                      ",\"left\":" + json(left) + ",\"hit\":\"zq\",\"right\":" + json(right) + "}";
    }
    EXPECT_EQ(row + 1, rows.size());
    expectedJson += "\n]\n";
    std::vector<std::string> asCsv{"concord", "--format", "csv"}, asJson{"concord", "--format", "json"};
    asCsv.insert(asCsv.end(), options.begin(), options.end());
    asJson.insert(asJson.end(), options.begin(), options.end());
    EXPECT_EQ(RunQuillon(fDir, asCsv).out, expectedCsv) << "context " << context;
    EXPECT_EQ(RunQuillon(fDir, asJson).out, expectedJson) << "context " << context;
  }
}

TEST_F(Quillon, ContextFieldsEscapedForEachFormat) {
  WriteBytes(fDir / "f.txt", "He said \"yes, C:\\dir\" zq and, \"no\" \\ end\n");
  const auto lines = [&](const char* format) {
    const TRun run = RunQuillon(fDir, {"concord", "--format", format, "zq", "f.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  };
  EXPECT_EQ(lines("tsv"),
            "file\tn\tword\tsentence\tparagraph\tleft\thit\tright\n"
            "f.txt\t1\t5\t1\t1\tHe said \"yes, C:\\\\dir\"\tzq\tand, \"no\" \\\\ end\n");
  EXPECT_EQ(lines("csv"),
            "file,n,word,sentence,paragraph,left,hit,right\r\n"
            "f.txt,1,5,1,1,\"He said \"\"yes, C:\\dir\"\"\",zq,\"and, \"\"no\"\" \\ end\"\r\n");
  EXPECT_EQ(lines("json"),
            "[\n{\"file\":\"f.txt\",\"n\":1,\"word\":5,\"sentence\":1,\"paragraph\":1,"
            "\"left\":\"He said \\\"yes, C:\\\\dir\\\"\",\"hit\":\"zq\",\"right\":\"and, \\\"no\\\" \\\\ end\"}\n]\n");
}

TEST_F(Quillon, FileNamesEscapedOnEveryLineOfEveryText) {
  // A file's name is written on each of its lines: escaped for each format,
  // and the next text's lines carry the next text's name, from one process
  // and from workers alike.
  const std::vector<std::string> names = {"a\\b.txt", "c,\"d\".txt", "e.txt"};
  for (const std::string& name : names) WriteBytes(fDir / name, "zq x zq\n");
  const auto lines = [&](const char* format, const char* jobs) {
    std::vector<std::string> args = {"concord", "--format", format, "--jobs", jobs, "zq"};
    args.insert(args.end(), names.begin(), names.end());
    const TRun run = RunQuillon(fDir, args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  };
  const std::vector<std::string> tsvNames = {"a\\\\b.txt", "c,\"d\".txt", "e.txt"};
  std::string tsv = "file\tn\tword\tsentence\tparagraph\tleft\thit\tright\n";
  const std::vector<std::string> csvNames = {"a\\b.txt", "\"c,\"\"d\"\".txt\"", "e.txt"};
  std::string csv = "file,n,word,sentence,paragraph,left,hit,right\r\n";
  const std::vector<std::string> jsonNames = {"a\\\\b.txt", "c,\\\"d\\\".txt", "e.txt"};
  std::string json = "[";
  int n = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    tsv += tsvNames[i] + "\t" + std::to_string(++n) + "\t1\t1\t1\t\tzq\tx zq\n";
    tsv += tsvNames[i] + "\t" + std::to_string(++n) + "\t3\t1\t1\tzq x\tzq\t\n";
    csv += csvNames[i] + "," + std::to_string(n - 1) + ",1,1,1,,zq,x zq\r\n";
    csv += csvNames[i] + "," + std::to_string(n) + ",3,1,1,zq x,zq,\r\n";
    json += std::string(i == 0 ? "\n" : ",\n") + "{\"file\":\"" + jsonNames[i] + "\",\"n\":" + std::to_string(n - 1) +
            ",\"word\":1,\"sentence\":1,\"paragraph\":1,\"left\":\"\",\"hit\":\"zq\",\"right\":\"x zq\"}";
    json += ",\n{\"file\":\"" + jsonNames[i] + "\",\"n\":" + std::to_string(n) +
            ",\"word\":3,\"sentence\":1,\"paragraph\":1,\"left\":\"zq x\",\"hit\":\"zq\",\"right\":\"\"}";
  }
  json += "\n]\n";
  for (const char* jobs : {"1", "2"}) {
    EXPECT_EQ(lines("tsv", jobs), tsv) << "jobs " << jobs;
    EXPECT_EQ(lines("csv", jobs), csv) << "jobs " << jobs;
    EXPECT_EQ(lines("json", jobs), json) << "jobs " << jobs;
  }
}

TEST_F(Quillon, MarkedUtf16TextsGiveTheLinesOfTheSameTextsInUtf8) {
  // UTF-16 with a byte-order mark is read straight into the text's memory,
  // which serves text after text: a long text, then shorter ones (a final
  // odd byte, a NUL that ends the text, a text of one unit, one in the other
  // byte order, one whose mark is only the start of its bytes) give the
  // lines the same texts give in UTF-8.
  std::string longText;
  for (int i = 0; i < 3000; ++i) longText += "and zq went on. zq zq said no\n";
  struct TText {
    std::string name, text;
    bool bigEndian = false, mark = true;
    std::string tail = "";  // bytes after the UTF-16
  };
  const std::vector<TText> texts = {
      {"t1", longText},
      {"t2", "the zq of zq.\n"},
      {"t3", "zq at the end zq", false, true, "z"},
      {"t4", std::string("zq before\0zq after", 18)},
      {"t5", "q"},
      {"t6", "zq big zq\n", true},
      {"t7", "a zq b and more words\nzq c\nzq d and e\n", false, false},
  };
  const auto utf16 = [](const std::string& text, bool big, bool mark) {
    std::string bytes = mark ? (big ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) : std::string();
    for (char c : text) {
      bytes += big ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return bytes;
  };
  fs::create_directories(fDir / "w");
  fs::create_directories(fDir / "n");
  std::vector<std::string> wide = {"concord", "zq"}, narrow = {"concord", "zq"};
  for (const TText& t : texts) {
    WriteBytes(fDir / "w" / (t.name + ".txt"), utf16(t.text, t.bigEndian, t.mark) + t.tail);
    WriteBytes(fDir / "n" / (t.name + ".txt"), t.text);
    wide.push_back("w/" + t.name + ".txt");
    narrow.push_back("n/" + t.name + ".txt");
  }
  const TRun w = RunQuillon(fDir, wide), n = RunQuillon(fDir, narrow);
  ASSERT_EQ(w.status, 0) << w.err;
  ASSERT_EQ(n.status, 0) << n.err;
  std::string fromWide = w.out, fromNarrow = n.out;
  for (std::string* out : {&fromWide, &fromNarrow}) {
    for (size_t at = 0; (at = out->find("/t", at)) != std::string::npos; ++at) (*out)[at - 1] = '_';
  }
  EXPECT_EQ(fromWide, fromNarrow);
  // zq: 3 in every line of the long text, 2 in t2, 2 in t3, 1 in t4 (before
  // its NUL), none in t5, 2 in t6, 3 in t7.
  EXPECT_EQ(Rows(w.out).size(), 1u + 3 * 3000 + 2 + 2 + 1 + 2 + 3);
  EXPECT_EQ(w.err, "quillon: concord: 9010 hits in 6 texts; 7 texts read\n");
}

TEST_F(Quillon, PartialResultsAreCheckedAsOutsideInput) {
  const std::string good = "quillon-partial 1 wordlist\ntexts 1\ntokens 3\n2\t1\t0\tcat\n1\t1\t0\tdog\nend\n";
  WriteBytes(fDir / "good.qnp", good);
  const TRun ok = RunQuillon(fDir, {"merge", "good.qnp", "good.qnp"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, "word\tfrequency\tpercent\ttexts\ncat\t4\t66.6667\t2\ndog\t2\t33.3333\t2\n");
  const std::vector<std::string> bad = {
      "quillon-partial 1 wordlist\ntexts 1\ntokens 3\n2\t1\t0\tcat\n",                    // no end
      "quillon-partial 2 wordlist\ntexts 1\ntokens 3\nend\n",                             // version
      "quillon-partial 1 wordlist\ntexts -1\ntokens 3\nend\n",                            // negative
      "quillon-partial 1 wordlist\ntexts 1\ntokens 3\n99999999999999999999\t1\t0\tx\nend\n",  // too large
      "quillon-partial 1 wordlist\ntexts 1\ntokens 3\n2\t1\tcat\nend\n",                  // field missing
      "quillon-partial 1 wordlist\ntexts 1\ntokens 3\n2\t1\t0\t\nend\n",                  // empty word
      "quillon-partial 1 wordlist\ntexts 1\ntokens 9223372036854775807\nend\n",
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    WriteBytes(fDir / "bad.qnp", bad[i]);
    const TRun run = RunQuillon(fDir, {"merge", "good.qnp", "bad.qnp"});
    EXPECT_EQ(run.status, 3) << i;
    EXPECT_TRUE(run.out.empty()) << i;
    EXPECT_NE(run.err.find("bad.qnp"), std::string::npos) << i << run.err;
  }
  WriteBytes(fDir / "ngrams.qnp", "quillon-partial 1 ngrams 2\ntexts 1\ntokens 1\n1\t1\t0\ta b\nend\n");
  EXPECT_EQ(RunQuillon(fDir, {"merge", "good.qnp", "ngrams.qnp"}).status, 3);
}

TEST_F(Quillon, InputsThatCannotBeReadAreReportedAndTheRestProcessed) {
  MakeCorpus();
  fs::create_directories(fDir / "empty");
  ASSERT_TRUE(qn::test_support::MakeNamedPipe((fDir / "pipe").string()));
  WriteBytes(fDir / "damaged.zip", "PK\x03\x04 this is no archive");
  fs::create_directories(fDir / "d");
  WriteBytes(fDir / "d" / "ok.txt", "cat\n");
  WriteBytes(fDir / "d" / "broken.zip", "PK\x03\x04 nor this");
  const TRun run = RunQuillon(fDir, {"wordlist", "c", "empty", "pipe", "damaged.zip", "d", "missing.txt"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("quillon: empty: no texts matching \"*.txt\""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("quillon: pipe: not a regular file (a FIFO)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("quillon: damaged.zip: damaged zip archive"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("broken.zip: damaged zip archive"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("quillon: missing.txt: No such file or directory"), std::string::npos) << run.err;
  // The readable texts are all counted: 20 words of the corpus and d/ok.txt.
  EXPECT_EQ(RowOf(run.out, "cat")[1], "4");
  EXPECT_NE(run.err.find("4 texts read, 21 tokens"), std::string::npos) << run.err;
  // With workers too: the same messages in the same order as from one
  // process (the pipe's and the damaged entry's are met by different workers).
  const TRun jobs = RunQuillon(fDir, {"wordlist", "--jobs", "3", "c", "pipe", "d"});
  EXPECT_EQ(jobs.status, 1);
  EXPECT_EQ(RowOf(jobs.out, "cat")[1], "4");
  MakeZipWithDamagedEntry(fDir / "dz.zip");
  const std::vector<std::vector<std::string>> commands = {
      {"wordlist"}, {"ngrams", "2"}, {"collocates", "cat"}, {"detect"}, {"concord", "--count", "cat"}};
  for (const auto& command : commands) {
    std::vector<std::string> args = command;
    args.insert(args.end(), {"c", "pipe", "dz.zip", "d"});
    const TRun one = RunQuillon(fDir, args);
    EXPECT_EQ(one.status, 1) << command[0];
    const size_t pipeAt = one.err.find("quillon: pipe: ");  // (detect says it in its own words)
    EXPECT_NE(pipeAt, std::string::npos) << one.err;
    EXPECT_GT(one.err.find("quillon: dz.zip/b.txt: cannot extract b.txt from zip archive dz.zip: CRC error\n"), pipeAt)
        << one.err;
    for (const std::string jobs : {"2", "3"}) {
      args.insert(args.begin() + 1, {"--jobs", jobs});
      const TRun many = RunQuillon(fDir, args);
      args.erase(args.begin() + 1, args.begin() + 3);
      EXPECT_EQ(many.status, 1) << command[0] << jobs;
      EXPECT_EQ(many.out, one.out) << command[0] << jobs;
      EXPECT_EQ(many.err, one.err) << command[0] << jobs;
    }
  }

  if (::geteuid() != 0) {
    WriteBytes(fDir / "secret.txt", "cat\n");
    fs::permissions(fDir / "secret.txt", fs::perms::none);
    const TRun denied = RunQuillon(fDir, {"wordlist", "secret.txt", "c"});
    EXPECT_EQ(denied.status, 1);
    EXPECT_NE(denied.err.find("secret.txt: Permission denied"), std::string::npos) << denied.err;
  }
}

// A concordance from worker processes: lines in text order numbered and
// written out by the parent text by text, sorted lines merged from the
// workers' sorted hits, samples and counts. Texts with and without hits, one
// with more lines than the parent reads at a time, texts that cannot be read
// between them; every format, --max inside a text and between texts: the
// output, the messages and the status of one process.
TEST_F(Quillon, ConcordanceFromWorkersIsTheOneProcessConcordance) {
  fs::create_directories(fDir / "k");
  // Hits of x per text: 3, 0, 1, 0, 5, 2, 12000, 4, 0, 1.
  const int hits[] = {3, 0, 1, 0, 5, 2, 12000, 4, 0, 1};
  int64_t total = 0;
  for (int i = 0; i < 10; ++i) {
    std::string text = "Start of text " + std::to_string(i) + ".\n";
    for (int k = 0; k < hits[i]; ++k) {
      // Lines of different lengths, with characters each format escapes.
      text += "a \"b\", c\\d x " + std::string(static_cast<size_t>(k % 37), 'w') + " e.\n";
      if (k % 11 == 0) text += "\n";
    }
    text += "the end\n";
    WriteBytes(fDir / "k" / NumberedName('k', i), text);
    total += hits[i];
  }
  // Two more texts that cannot be read, listed between the folder's.
  ASSERT_TRUE(qn::test_support::MakeNamedPipe((fDir / "pipe.txt").string()));
  fs::create_directories(fDir / "m");
  WriteBytes(fDir / "m" / "x1.txt", "x and x\n");
  const bool asRoot = ::geteuid() == 0;
  if (!asRoot) {
    WriteBytes(fDir / "m" / "x2.txt", "x\n");
    fs::permissions(fDir / "m" / "x2.txt", fs::perms::none);
  }
  WriteBytes(fDir / "m" / "x3.txt", "x x x\n");
  MakeZipWithDamagedEntry(fDir / "d.zip");
  const std::vector<std::string> corpus{"k", "pipe.txt", "d.zip", "m"};
  total += 2 + 2 + 3;

  const auto concord = [&](std::vector<std::string> options, int jobs) {
    std::vector<std::string> args{"concord", "--jobs", std::to_string(jobs)};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("x");
    args.insert(args.end(), corpus.begin(), corpus.end());
    return RunQuillon(fDir, args);
  };
  const std::vector<std::vector<std::string>> variants = {
      {},
      {"--format", "csv"},
      {"--format", "json"},
      {"--context", "0"},
      {"--context", "3", "--format", "json"},
      {"--max", "1"},
      {"--max", "7"},                        // inside the fifth text (3 + 1 + 3 of its 5)
      {"--max", "4"},                        // between the third and fifth texts
      {"--max", "10", "--format", "json"},  // at the end of the sixth text
      {"--max", "12020", "--format", "csv"},
      {"--max", std::to_string(total + 100)},
      // Equal keys in many texts: text order among them across workers.
      {"--sort", "R1,L1"},
      {"--sort", "L2", "--max", "7", "--format", "json"},
      {"--sort", "hit,R2,L1", "--max", "12020"},
      {"--sample", "6", "--seed", "3", "--format", "csv"},
      {"--sample", "5", "--seed", "4", "--max", "9"},  // drawn from the hits before the stop
      {"--sample", "3", "--sort", "R1"},
      {"--count"},
      {"--count", "--max", "7"},
  };
  for (size_t v = 0; v < variants.size(); ++v) {
    const auto& variant = variants[v];
    const TRun one = concord(variant, 1);
    SCOPED_TRACE(one.err);
    // (Two workers as well as three for the first few: a run is not short.)
    for (const int jobs : {2, 3}) {
      if (jobs == 2 && v >= 4) continue;
      const TRun many = concord(variant, jobs);
      EXPECT_EQ(many.status, one.status) << jobs;
      EXPECT_TRUE(many.out == one.out) << jobs << " lines differ";
      EXPECT_EQ(many.err, one.err) << jobs;
    }
  }
  // What one process gives, worked out independently.
  const TRun all = concord({}, 1);
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(Rows(all.out).size(), static_cast<size_t>(total) + 1);
  const std::string pipe = "quillon: pipe.txt: not a regular file (a FIFO)\n";
  const size_t pipeAt = all.err.find(pipe);
  ASSERT_NE(pipeAt, std::string::npos) << all.err;
  EXPECT_EQ(all.err.find(pipe, pipeAt + 1), std::string::npos) << all.err;
  const size_t crcAt = all.err.find("quillon: d.zip/b.txt: cannot extract b.txt from zip archive d.zip: CRC error\n");
  EXPECT_NE(crcAt, std::string::npos) << all.err;
  EXPECT_GT(crcAt, pipeAt) << all.err;
  if (!asRoot) {
    const size_t deniedAt = all.err.find("quillon: m/x2.txt: Permission denied\n");
    EXPECT_NE(deniedAt, std::string::npos) << all.err;
    EXPECT_GT(deniedAt, crcAt) << all.err;
  }
  EXPECT_NE(all.err.find("quillon: concord: " + std::to_string(total) + " hits in 10 texts"), std::string::npos)
      << all.err;
  // Stopped before the texts that cannot be read: none reported, status 0.
  const TRun stopped = concord({"--max", "7"}, 3);
  EXPECT_EQ(stopped.status, 0);
  EXPECT_EQ(stopped.err, "quillon: concord: 7 hits in 3 texts; 5 texts read; stopped at 7\n");
  const auto rows = Rows(stopped.out);
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[7][0], "k/k4.txt");
  EXPECT_EQ(rows[7][1], "7");
  // The lines written to a file with --output are those of standard output.
  const TRun toFile = RunQuillon(fDir, {"concord", "--jobs", "2", "-o", "lines.json", "--format", "json", "x", "k"});
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_TRUE(toFile.out.empty());
  EXPECT_TRUE(ReadBytes(fDir / "lines.json") == RunQuillon(fDir, {"concord", "--format", "json", "x", "k"}).out);
}

// The program looks for its libraries beside itself or in the installed
// library folder, never in the folder it is run from: files there named as the
// libraries it needs (a corpus may hold anything) are not loaded.
TEST_F(Quillon, LibrariesAreNotTakenFromTheWorkingFolder) {
  MakeCorpus();
  for (const char* name : {"libicui18n.so.72", "libicuuc.so.72", "libstdc++.so.6", "libQN7GeneralRuntimePack1.so.7"}) {
    WriteBytes(fDir / name, "not a library\n");
  }
  const TRun run = RunQuillon(fDir, {"wordlist", "--top", "1", "c"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "word\tfrequency\tpercent\ttexts\nthe\t5\t25.0000\t2\n");
}

TEST_F(Quillon, UsageErrorsAndTheOutputFile) {
  MakeCorpus();
  EXPECT_EQ(RunQuillon(fDir, {"wordlist"}).status, 2);
  EXPECT_EQ(RunQuillon(fDir, {"wordlist", "--no-such-option", "c"}).status, 2);
  EXPECT_EQ(RunQuillon(fDir, {"wordlist", "--format", "xml", "c"}).status, 2);
  EXPECT_EQ(RunQuillon(fDir, {"wordlist", "--shard", "3/2", "c"}).status, 2);
  EXPECT_EQ(RunQuillon(fDir, {"concord", "--sort", "R1,R2,R3,L1", "cat", "c"}).status, 2);
  EXPECT_EQ(RunQuillon(fDir, {"concord", "", "c"}).status, 2);
  EXPECT_EQ(RunQuillon(fDir, {"frobnicate"}).status, 2);
  for (const char* sub : {"wordlist", "ngrams", "concord", "keywords", "collocates", "lemmatise", "detect", "merge"}) {
    const TRun help = RunQuillon(fDir, {sub, "--help"});
    EXPECT_EQ(help.status, 0) << sub;
    EXPECT_NE(help.out.find("Example: "), std::string::npos) << sub << help.out;
    EXPECT_NE(help.out.find("quillon " + std::string(sub)), std::string::npos) << sub << help.out;
  }
  EXPECT_NE(RunQuillon(fDir, {"keywords", "--help"}).out.find("Zero frequencies"), std::string::npos);
  // Only the subcommand named on the command line gets its options built: each
  // one's help still lists its own, and the program's help every subcommand.
  const std::pair<const char*, const char*> ownOptions[] = {
      {"wordlist", "--stop"}, {"ngrams", "--partial"}, {"concord", "--horizon"}, {"keywords", "--reference"},
      {"collocates", "--span"}, {"lemmatise", "--lemmas"}, {"detect", "--code-page"}, {"merge", "--max-p"}};
  const TRun programHelp = RunQuillon(fDir, {"--help"});
  EXPECT_EQ(programHelp.status, 0);
  for (const auto& [sub, option] : ownOptions) {
    const std::string help = RunQuillon(fDir, {sub, "--help"}).out;
    EXPECT_NE(help.find(option), std::string::npos) << sub << help;
    EXPECT_NE(help.find("--format"), std::string::npos) << sub << help;
    EXPECT_NE(programHelp.out.find(std::string("  ") + sub + " "), std::string::npos) << sub;
    EXPECT_EQ(programHelp.out.find(option), std::string::npos) << option;  // subcommands' options not listed
  }
  // A search word that is another subcommand's name is still a search word.
  const TRun named = RunQuillon(fDir, {"concord", "--count", "wordlist", "c"});
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(RunQuillon(fDir, {"concord", "--top", "1", "cat", "c"}).status, 2);  // wordlist's option, not concord's

  // --output: the table in the file, nothing on standard output; an older
  // file is replaced whole.
  WriteBytes(fDir / "out.tsv", "old contents that are longer than the new table will be, surely, by far\n");
  const TRun written = RunQuillon(fDir, {"wordlist", "--top", "1", "-o", "out.tsv", "c"});
  EXPECT_EQ(written.status, 0);
  EXPECT_TRUE(written.out.empty());
  EXPECT_EQ(ReadBytes(fDir / "out.tsv"), "word\tfrequency\tpercent\ttexts\nthe\t5\t25.0000\t2\n");
  const TRun nowhere = RunQuillon(fDir, {"wordlist", "-o", "no/such/folder/out.tsv", "c"});
  EXPECT_EQ(nowhere.status, 3);
  EXPECT_NE(nowhere.err.find("no/such/folder/out.tsv"), std::string::npos);
}

// The table streams into a temporary file beside the output file; an
// interrupted run removes it and leaves an older output file as it was.
TEST_F(Quillon, InterruptedRunLeavesNoOutputFile) {
  fs::create_directories(fDir / "big");
  std::string text;
  for (int i = 0; i < 60000; ++i) {
    text += "the cat sat on the mat word";
    text += std::to_string(i % 5000);
    text += ' ';
  }
  for (int i = 0; i < 12; ++i) WriteBytes(fDir / "big" / NumberedName('b', i), text);
  for (const int signal : {SIGINT, SIGTERM}) {
    for (const char* jobs : {"1", "2"}) {
      SCOPED_TRACE(signal);
      SCOPED_TRACE(jobs);
      fs::remove_all(fDir / "out");
      fs::create_directories(fDir / "out");
      WriteBytes(fDir / "out" / "old.tsv", "older table\n");
      for (const char* name : {"new.tsv", "old.tsv"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
          ::chdir(fDir.c_str());
          const std::string target = std::string("out/") + name;
          ::execl(QN_QUILLON_BIN, QN_QUILLON_BIN, "concord", "-q", "--jobs", jobs, "-o", target.c_str(), "the", "big",
                  static_cast<char*>(nullptr));
          ::_exit(127);
        }
        // Until the table has begun to stream into its temporary file.
        bool streaming = false;
        for (int wait = 0; wait < 400 && !streaming; ++wait) {
          for (const auto& entry : fs::directory_iterator(fDir / "out")) {
            streaming = streaming || (entry.path().filename().string().find(std::string(name) + ".") != std::string::npos &&
                                      fs::file_size(entry.path()) > 0);
          }
          if (!streaming) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!streaming || !WIFSIGNALED(status)) {
          GTEST_SKIP() << "the run ended before it could be interrupted";
        }
        EXPECT_EQ(WTERMSIG(status), signal);
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(fDir / "out")) left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"old.tsv"});
        EXPECT_EQ(ReadBytes(fDir / "out" / "old.tsv"), "older table\n");
      }
    }
  }
}

}  // namespace
