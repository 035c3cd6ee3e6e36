#include "run/document_hand_out.h"

namespace quorvane::run {

bool DocumentHandOut::waitForFreeWorker() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return idle_ > queue_.size() || failure_; });
    return !failure_;
}

void DocumentHandOut::give(DocumentResult& document) {
    const std::lock_guard lock(mutex_);
    queue_.push_back(&document);
    changed_.notify_all();
}

DocumentResult* DocumentHandOut::take() {
    std::unique_lock lock(mutex_);
    ++idle_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !queue_.empty() || closing_; });
    --idle_;
    if (queue_.empty())
        return nullptr;
    DocumentResult* document = queue_.front();
    queue_.pop_front();
    return document;
}

void DocumentHandOut::fail() {
    const std::lock_guard lock(mutex_);
    if (!failure_)
        failure_ = std::current_exception();
    closing_ = true;
    changed_.notify_all();
}

void DocumentHandOut::close() {
    const std::lock_guard lock(mutex_);
    closing_ = true;
    changed_.notify_all();
}

void DocumentHandOut::rethrowFailure() const {
    const std::lock_guard lock(mutex_);
    if (failure_)
        std::rethrow_exception(failure_);
}

}  // namespace quorvane::run
