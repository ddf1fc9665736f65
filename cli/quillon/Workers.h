// Work spread over worker processes (the libraries keep process-wide state,
// so processes, not threads): worker w of N takes the texts whose position in
// the list is w modulo N, and hands its results back as bytes, which the
// parent merges in the order of the workers.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/quillon/Common.h"

namespace quillon {

// Runs work(w, n) in n worker processes (in this process when n is 1) and
// returns what each produced. The problems the workers met reading are
// printed once they have ended, in the order of the texts they concern, and
// mark the run (AnyInputFailed); a worker that dies raises TFatal.
std::vector<std::string> RunInWorkers(int n, const std::vector<TTextRef>& texts,
                                      const std::function<std::string(int w, int n)>& work);

// A worker's side of a streamed run: bulk bytes (rows of a table) go to the
// worker's own unlinked temporary file, and after each unit of work (a text)
// a small record goes to the parent through a pipe, once the bytes it speaks
// of are in the file. The parent reads the records as they come, so it can
// write out the texts done while later ones are still being searched.
class TWorkerOutput {
 public:
  TWorkerOutput(int file, int pipe) : fFile(file), fPipe(pipe) {}
  // Room for n more bulk bytes, to be kept with Wrote(n).
  char* Room(size_t n) {
    if (fBuffer.size() - fUsed < n) Grow(n);
    return fBuffer.data() + fUsed;
  }
  void Wrote(size_t n) { fUsed += n; }
  // Bulk bytes written so far (the offset of the next in the file).
  uint64_t Offset() const { return fFlushed + fUsed; }
  // Puts the bulk bytes in the file, then sends the record.
  void Send(std::string_view record);

 private:
  void Grow(size_t n);
  void Flush();

  int fFile, fPipe;
  std::string fBuffer;
  size_t fUsed = 0;
  uint64_t fFlushed = 0;
};

// The parent's side: starts n worker processes running work(w, n, out).
// Records of a worker come in the order it sent them. A worker that ends
// without all its records, or fails, raises TFatal.
class TStreamedWorkers {
 public:
  TStreamedWorkers(int n, const std::function<void(int w, int n, TWorkerOutput& out)>& work);
  ~TStreamedWorkers();  // ends the workers still running
  TStreamedWorkers(const TStreamedWorkers&) = delete;
  TStreamedWorkers& operator=(const TStreamedWorkers&) = delete;

  // Worker w's next record; false when it has sent its last.
  bool Next(int w, std::string& record);
  // Bulk bytes [offset, offset + size) of worker w, into `into`.
  void Read(int w, uint64_t offset, size_t size, char* into);
  // The bulk bytes [offset, offset + size) of worker w are no longer wanted:
  // their room in the file is given back.
  void Release(int w, uint64_t offset, uint64_t size);
  // Waits for every worker; raises TFatal when one failed.
  void Finish();
  // Ends the workers at once: their results are not wanted any more.
  void Stop();

 private:
  struct TWorker {
    pid_t pid = -1;
    int file = -1, pipe = -1;
  };
  void Close();
  std::vector<TWorker> fWorkers;
};

}  // namespace quillon
