#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

#include "automation/office/office_process.h"

namespace quorvane::automation::office {

// Offices whose run has quit, kept running for the next run of the same program: a start costs
// as much as several documents, and a user drops one file after another. Each ends once it has
// waited idle for the given time, and every one ends with this object.
class WarmOffices final {
  public:
    struct Office {
        std::unique_ptr<OfficeProcess> process;
        // Documents it has served, so that recycling counts across runs.
        int documentsServed = 0;
    };

    explicit WarmOffices(std::chrono::milliseconds idleLimit);
    ~WarmOffices();
    WarmOffices(const WarmOffices&) = delete;
    WarmOffices& operator=(const WarmOffices&) = delete;

    // A waiting office that still runs, if there is one.
    std::optional<Office> take();
    void put(Office office);
    std::size_t waiting() const;

  private:
    void endIdle(std::stop_token stop);

    std::chrono::milliseconds idleLimit_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::vector<std::pair<Office, std::chrono::steady_clock::time_point>> offices_;
    // Last, so that it stops before the offices it watches go.
    std::jthread ender_;
};

}  // namespace quorvane::automation::office
