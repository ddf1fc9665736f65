// Work spread over worker processes (the libraries keep process-wide state,
// so processes, not threads): worker w of N takes the texts whose position in
// the list is w modulo N, and hands its results back as bytes, which the
// parent merges in the order of the workers.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillon {

// Runs work(w, n) in n worker processes (in this process when n is 1) and
// returns what each produced. A worker that found an unreadable input marks
// the run (AnyInputFailed); a worker that dies raises TFatal.
std::vector<std::string> RunInWorkers(int n, const std::function<std::string(int w, int n)>& work);

}  // namespace quillon
