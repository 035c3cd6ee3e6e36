#include "automation/office/warm_offices.h"

#include <algorithm>

#include "os/log.h"

namespace quorvane::automation::office {

WarmOffices::WarmOffices(std::chrono::milliseconds idleLimit)
    : idleLimit_(idleLimit), ender_([this](std::stop_token stop) { endIdle(stop); }) {}

WarmOffices::~WarmOffices() = default;

std::optional<WarmOffices::Office> WarmOffices::take() {
    std::vector<Office> dead;
    std::optional<Office> found;
    {
        const std::lock_guard lock(mutex_);
        while (!offices_.empty() && !found) {
            Office office = std::move(offices_.back().first);
            offices_.pop_back();
            if (office.process->alive())
                found = std::move(office);
            else
                dead.push_back(std::move(office));
        }
    }
    return found;
}

void WarmOffices::put(Office office) {
    {
        const std::lock_guard lock(mutex_);
        offices_.emplace_back(std::move(office), std::chrono::steady_clock::now() + idleLimit_);
    }
    wake_.notify_all();
}

std::size_t WarmOffices::waiting() const {
    const std::lock_guard lock(mutex_);
    return offices_.size();
}

void WarmOffices::endIdle(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (offices_.empty()) {
            wake_.wait(lock, stop, [&] { return !offices_.empty(); });
            continue;
        }
        const auto first =
            std::min_element(offices_.begin(), offices_.end(), [](const auto& a, const auto& b) {
                return a.second < b.second;
            })->second;
        if (std::chrono::steady_clock::now() < first) {
            wake_.wait_until(lock, stop, first, [] { return false; });
            continue;
        }
        std::vector<Office> idle;
        const auto now = std::chrono::steady_clock::now();
        for (auto o = offices_.begin(); o != offices_.end();) {
            if (o->second <= now) {
                idle.push_back(std::move(o->first));
                o = offices_.erase(o);
            } else {
                ++o;
            }
        }
        // Ended outside the lock: a run may take another office meanwhile.
        lock.unlock();
        os::log::detail(u"使われていないワープロを終了します");
        idle.clear();
        lock.lock();
    }
}

}  // namespace quorvane::automation::office
