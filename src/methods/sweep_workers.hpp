// Helper threads for the sweeps of one method call.
//
// run(job) calls job(0) on the calling thread and job(1) .. job(size()-1) on
// helper threads, and returns when all have finished.  The helpers are
// started once and live until the object is destroyed, so each sweep costs
// only a wake-up, not a thread start.  When a helper cannot be started the
// object simply has fewer parts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace itersolve {

class SweepWorkers {
public:
    explicit SweepWorkers(int parts);
    ~SweepWorkers();
    SweepWorkers(const SweepWorkers&) = delete;
    SweepWorkers& operator=(const SweepWorkers&) = delete;

    int size() const { return static_cast<int>(threads_.size()) + 1; }
    void run(const std::function<void(int)>& job);

private:
    void serve(int part);

    std::vector<std::thread> threads_;
    const std::function<void(int)>* job_ = nullptr;
    std::atomic<std::uint32_t> generation_{0};
    std::atomic<int> pending_{0};
    std::atomic<bool> stopping_{false};
};

// How many parts a sweep over n rows is worth splitting into: one below a
// size where a wake-up would cost more than it saves, else the thread limit
// (by default one per processor).
int sweep_parts_for(std::int64_t n);

}  // namespace itersolve
