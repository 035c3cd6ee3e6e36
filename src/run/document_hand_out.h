#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>

#include "run/run_result.h"

namespace quorvane::run {

// Hands the documents of a run out to the word processors that work on them at once. One thread
// announces, stages and gives the documents in their order, each once a worker is free for it,
// so that progress is told where the run was started, and a copy failure or an interruption
// leaves exactly the documents after it unreached. The first fault of a worker ends the hand-out.
class DocumentHandOut final {
  public:
    // Waits until a worker is free for one more document. False when a worker failed.
    bool waitForFreeWorker();
    void give(DocumentResult& document);

    // For a worker: the next document, waiting for one; nullptr once the hand-out is closed and
    // nothing is left. What was handed out is done even when the run is ending: it was announced.
    DocumentResult* take();
    // For a worker, with the exception being handled: a fault of ours, with which the run ends
    // once the others are done.
    void fail();
    // No more documents come: the workers finish what they have and return.
    void close();

    // Throws the first worker's fault, if any.
    void rethrowFailure() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<DocumentResult*> queue_;
    std::size_t idle_ = 0;
    bool closing_ = false;
    std::exception_ptr failure_;
};

}  // namespace quorvane::run
