// The subcommands of the quillon program; each returns its exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/quillon/Common.h"

namespace quillon {

struct TCountOptions {
  std::string kind = "wordlist";  // wordlist, ngrams, keywords
  int32_t n = 2;                  // n-gram length
  std::vector<std::string> paths;       // wordlist, ngrams; keywords: study
  std::vector<std::string> reference;   // keywords
  std::string sort = "freq";
  int64_t minFreq = 1;
  int64_t top = 0;
  std::string lemmas;
  std::string stop;
  bool partial = false;
  double maxP = 0.05;
  bool negative = false;
};

struct TConcordOptions {
  std::string search;
  std::vector<std::string> paths;
  int32_t context = 8;
  std::string sort;
  bool count = false;
  int64_t max = 0;
  int64_t sample = 0;
  uint64_t seed = 1;
  std::string horizon = "L5,R5";  // where context words are looked for
  // collocates
  bool collocates = false;
  std::string span = "L5,R5";
  int64_t minFreq = 2;
  std::string statSort = "ll";
  int64_t top = 0;
};

int RunCounts(TCountOptions& options, TInputOptions& input, const TOutputOptions& output);
int RunMerge(TCountOptions& options, const std::vector<std::string>& partials, const TOutputOptions& output);
int RunConcord(TConcordOptions& options, TInputOptions& input, const TOutputOptions& output);
int RunLemmatise(const std::string& lemmas, const TOutputOptions& output);
int RunDetect(const std::vector<std::string>& paths, TInputOptions& input, const TOutputOptions& output);

}  // namespace quillon
