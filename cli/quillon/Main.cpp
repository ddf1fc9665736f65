// quillon: word lists, n-grams, concordances, key words, collocates,
// lemmatisation and an encoding report over a corpus, from a shell, through
// the Quillon runtime libraries. docs/quillon.md describes the command line.
#include <CLI/CLI.hpp>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/quillon/Commands.h"
#include "platform/Memory.h"

namespace {

using quillon::TFatal;

void AddInputOptions(CLI::App* app, quillon::TInputOptions& in) {
  app->add_option("--mask", in.mask, "file masks for folders and archives, separated by ';'")->default_val("*.txt");
  app->add_flag("--no-recurse", in.noRecurse, "only the files of each folder named, not its sub-folders");
  app->add_flag("--hidden", in.hidden, "also take hidden files and folders");
  app->add_flag("--system", in.system, "also take system files (FIFOs, devices) met in folders");
  app->add_flag("--no-zips", in.noZips, "do not open zip archives");
  app->add_option("--code-page", in.codePage, "code page of 8-bit texts (Windows number)")->default_val(1252);
  app->add_option("--shard", in.shard, "take share I of N of the texts (I/N)");
  app->add_option("--jobs", in.jobs, "worker processes")->default_val(1);
}

void AddOutputOptions(CLI::App* app, quillon::TOutputOptions& out) {
  app->add_option("--format", out.format, "tsv, csv or json")->default_val("tsv")->check(
      CLI::IsMember({"tsv", "csv", "json"}));
  app->add_option("-o,--output", out.output, "write to FILE (atomically) instead of standard output");
  app->add_flag("-q,--quiet", out.quiet, "no progress line");
}

constexpr const char* kKeywordsHelp = R"(
Formulas, per word with frequency a in the study corpus of c running words and
b in the reference corpus of d words:
  expected E1 = (a+b)·c/(c+d), E2 = (a+b)·d/(c+d)
  log_likelihood = 2·(a·ln(a/E1) + b·ln(b/E2)), negative when a < E1
  p = erfc(sqrt(|LL|/2))  (chi-square, one degree of freedom)
  log_ratio = log2((a/c) / (b/d))
  percent_diff = ((a/c) − (b/d)) / (b/d) · 100
  bic = |LL| − ln(c+d)
Zero frequencies: a term a·ln(a/E1) or b·ln(b/E2) with a zero frequency is 0;
in log_ratio a zero relative frequency is replaced by the smallest positive
single-precision number (2^-149), so a word absent from the reference has a
very large log ratio; percent_diff of such a word is infinite ("inf", JSON null).)";

// Texts are decoded into UTF-16 and given a detail word per character: a
// large text takes fresh memory several times its size, which costs one page
// fault per 4 KiB unless that memory comes in huge pages. The allocator's heap
// is grown once, here, by a block advised for huge pages and freed at once:
// the memory later taken from it is faulted in 2 MiB at a time as it is first
// written, and what is never written costs nothing. (Unless the user chose the
// C library's own huge-page setting, which then rules.)
void ReserveHugePageHeap() {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables != nullptr && std::strstr(tunables, "glibc.malloc.hugetlb") != nullptr) return;
  constexpr size_t kReserve = size_t{192} << 20;  // under the threshold of mapped blocks
  void* block = std::malloc(kReserve);
  if (block == nullptr) return;
  qn::platform::AdviseHugePages(block, kReserve);
  std::free(block);
}

// Whether a token of the command line is name: only such a subcommand can be
// chosen (the parser matches subcommands by their exact names), so only its
// options are worth building (building those of all eight was about a tenth
// of the instructions of a search in a one-line text). The others keep their
// names, descriptions and examples for the program's help.
bool Named(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Texts are read one after the other into buffers of similar sizes: keep
  // freed memory for the next text instead of handing it back to the system
  // and faulting it in again, page by page, for every text.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  ReserveHugePageHeap();
  CLI::App app{"quillon: word lists, n-grams, concordances, key words and collocates of a corpus"};
  app.require_subcommand(1);
  app.footer("Example: quillon wordlist --top 20 corpus/\nSee docs/quillon.md for every column and exit status.");

  quillon::TInputOptions input;
  quillon::TOutputOptions output;
  quillon::TCountOptions counts, ngramCounts, kwCounts, mergeCounts;
  quillon::TConcordOptions concord, collConcord;
  std::vector<std::string> paths;
  std::string lemmas;

  CLI::App* wordlist = app.add_subcommand("wordlist", "word, frequency, per cent, number of texts");
  wordlist->footer("Example: quillon wordlist --top 20 --stop stop.txt corpus/");
  if (Named(argc, argv, "wordlist")) {
    wordlist->add_option("PATH", counts.paths, "texts, folders, zip archives")->required();
    wordlist->add_option("--sort", counts.sort, "freq or alpha")->default_val("freq");
    wordlist->add_option("--min-freq", counts.minFreq, "least frequency listed")->default_val(1);
    wordlist->add_option("--top", counts.top, "only the first N rows");
    wordlist->add_option("--lemmas", counts.lemmas, "lemma list file: variants counted under their headword");
    wordlist->add_option("--stop", counts.stop, "stop list file: its words are not listed");
    wordlist->add_flag("--partial", counts.partial, "write partial counts for quillon merge");
    AddInputOptions(wordlist, input);
    AddOutputOptions(wordlist, output);
  }

  CLI::App* ngrams = app.add_subcommand("ngrams", "n-grams with frequency, per cent, number of texts");
  ngrams->footer("Example: quillon ngrams 3 --top 20 corpus/");
  if (Named(argc, argv, "ngrams")) {
    ngrams->add_option("N", ngramCounts.n, "words per n-gram")->required();
    ngrams->add_option("PATH", ngramCounts.paths, "texts, folders, zip archives")->required();
    ngrams->add_option("--sort", ngramCounts.sort, "freq or alpha")->default_val("freq");
    ngrams->add_option("--min-freq", ngramCounts.minFreq, "least frequency listed")->default_val(1);
    ngrams->add_option("--top", ngramCounts.top, "only the first N rows");
    ngrams->add_flag("--partial", ngramCounts.partial, "write partial counts for quillon merge");
    AddInputOptions(ngrams, input);
    AddOutputOptions(ngrams, output);
  }

  CLI::App* conc = app.add_subcommand("concord", "every hit of a search word in its context (KWIC)");
  conc->footer(
      "SEARCH: wildcards * and ?, phrases, alternatives a/b, ==Word== for case, ~word for a word to avoid\n"
      "(bank*/~bankrupt*), 'word context:=WORDS' for a word with one of WORDS within the horizon\n"
      "(WORDS in the same syntax, ~word for one that must not be there).\n"
      "Example: quillon concord --sort R1,R2,L1 --context 6 'love*' corpus/\n"
      "Example: quillon concord --horizon L3,R3 'bank context:=river/~money' corpus/");
  if (Named(argc, argv, "concord")) {
    conc->add_option("SEARCH", concord.search, "the search word")->required();
    conc->add_option("PATH", concord.paths, "texts, folders, zip archives")->required();
    conc->add_option("--context", concord.context, "words of context on each side")->default_val(8);
    conc->add_option("--sort", concord.sort, "up to three keys: L1..L9, R1..R9, hit (e.g. R1,R2,L1)");
    conc->add_flag("--count", concord.count, "only the number of hits and of texts with hits");
    conc->add_option("--max", concord.max, "stop after N hits");
    conc->add_option("--sample", concord.sample, "a reproducible random sample of N hits");
    conc->add_option("--seed", concord.seed, "seed of the sample")->default_val(1);
    conc->add_option("--horizon", concord.horizon, "where context words are looked for, e.g. L5,R5")->default_val("L5,R5");
    AddInputOptions(conc, input);
    AddOutputOptions(conc, output);
  }

  CLI::App* kw = app.add_subcommand("keywords", "words whose frequency in a study corpus stands out against a reference");
  kw->footer(std::string("Example: quillon keywords --study psalms/ --reference bible/ --max-p 0.001\n") + kKeywordsHelp);
  if (Named(argc, argv, "keywords")) {
    kw->add_option("--study", kwCounts.paths, "study texts, folders, archives")->required();
    kw->add_option("--reference", kwCounts.reference, "reference texts, folders, archives")->required();
    kw->add_option("--max-p", kwCounts.maxP, "largest p listed")->default_val(0.05);
    kw->add_option("--min-freq", kwCounts.minFreq, "least frequency in the study corpus")->default_val(2);
    kw->add_flag("--negative", kwCounts.negative, "also list negative key words");
    kw->add_option("--top", kwCounts.top, "only the first N rows");
    kw->add_option("--lemmas", kwCounts.lemmas, "lemma list file");
    kw->add_option("--stop", kwCounts.stop, "stop list file");
    kw->add_flag("--partial", kwCounts.partial, "write partial counts for quillon merge");
    AddInputOptions(kw, input);
    AddOutputOptions(kw, output);
  }

  CLI::App* coll = app.add_subcommand("collocates", "words that go with a search word, with association measures");
  coll->footer("Example: quillon collocates --span L3,R3 --sort mi3 --top 20 love corpus/");
  if (Named(argc, argv, "collocates")) {
    coll->add_option("SEARCH", collConcord.search, "the search word")->required();
    coll->add_option("PATH", collConcord.paths, "texts, folders, zip archives")->required();
    coll->add_option("--span", collConcord.span, "words to the left and right, e.g. L5,R5")->default_val("L5,R5");
    coll->add_option("--min-freq", collConcord.minFreq, "least joint frequency")->default_val(2);
    coll->add_option("--sort", collConcord.sort, "mi, mi3, t, z, dice or ll")->default_val("ll");
    coll->add_option("--top", collConcord.top, "only the first N rows");
    coll->add_option("--horizon", collConcord.horizon, "where context words of SEARCH are looked for, e.g. L5,R5")
        ->default_val("L5,R5");
    AddInputOptions(coll, input);
    AddOutputOptions(coll, output);
  }

  CLI::App* lem = app.add_subcommand("lemmatise", "words on standard input, headwords out");
  lem->footer("Example: echo 'was went children' | quillon lemmatise --lemmas lemmas.txt");
  if (Named(argc, argv, "lemmatise")) {
    lem->add_option("--lemmas", lemmas, "lemma list file")->required();
    AddOutputOptions(lem, output);
  }

  CLI::App* det = app.add_subcommand("detect", "the encoding each text will be read in, and why");
  det->footer("Example: quillon detect --mask '*' corpus/");
  if (Named(argc, argv, "detect")) {
    det->add_option("PATH", paths, "texts, folders, zip archives")->required();
    AddInputOptions(det, input);
    AddOutputOptions(det, output);
  }

  CLI::App* merge = app.add_subcommand("merge", "add up partial results of wordlist, ngrams or keywords");
  merge->footer("Example: quillon merge --top 20 part1.qnp part2.qnp");
  if (Named(argc, argv, "merge")) {
    merge->add_option("PARTIAL", paths, "partial-results files")->required();
    merge->add_option("--sort", mergeCounts.sort, "freq or alpha")->default_val("freq");
    merge->add_option("--min-freq", mergeCounts.minFreq, "least frequency listed")->default_val(1);
    merge->add_option("--top", mergeCounts.top, "only the first N rows");
    merge->add_option("--max-p", mergeCounts.maxP, "keywords: largest p listed")->default_val(0.05);
    merge->add_flag("--negative", mergeCounts.negative, "keywords: also negative key words");
    AddOutputOptions(merge, output);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return quillon::kExitUsage;
  }

  try {
    if (wordlist->parsed()) {
      counts.kind = "wordlist";
      return quillon::RunCounts(counts, input, output);
    }
    if (ngrams->parsed()) {
      ngramCounts.kind = "ngrams";
      return quillon::RunCounts(ngramCounts, input, output);
    }
    if (kw->parsed()) {
      kwCounts.kind = "keywords";
      return quillon::RunCounts(kwCounts, input, output);
    }
    if (conc->parsed()) return quillon::RunConcord(concord, input, output);
    if (coll->parsed()) {
      collConcord.collocates = true;
      return quillon::RunConcord(collConcord, input, output);
    }
    if (lem->parsed()) return quillon::RunLemmatise(lemmas, output);
    if (det->parsed()) return quillon::RunDetect(paths, input, output);
    if (merge->parsed()) {
      return quillon::RunMerge(mergeCounts, paths, output);
    }
  } catch (const TFatal& fatal) {
    std::fprintf(stderr, "quillon: %s\n", fatal.message.c_str());
    return fatal.status;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillon: %s\n", error.what());
    return quillon::kExitCannot;
  }
  return quillon::kExitUsage;
}
