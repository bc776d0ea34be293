// Helper threads for the sweeps of one method call.
//
// run(job) runs job() on the calling thread and on every helper thread that
// joins in time, and returns when the calling thread's call has returned and
// every helper that joined has finished.  The job shares out its own work
// (each caller takes the next piece until none is left), so a helper that
// the operating system has not scheduled yet simply takes no piece, and the
// calling thread is never held up waiting for it to start.  The helpers are
// started once and live until the object is destroyed, so each sweep costs
// only a wake-up, not a thread start.  When a helper cannot be started the
// object simply has fewer.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace itersolve {

class SweepWorkers {
public:
    explicit SweepWorkers(int threads);
    ~SweepWorkers();
    SweepWorkers(const SweepWorkers&) = delete;
    SweepWorkers& operator=(const SweepWorkers&) = delete;

    int size() const { return static_cast<int>(threads_.size()) + 1; }
    void run(const std::function<void()>& job);

private:
    void serve();

    std::vector<std::thread> threads_;
    const std::function<void()>* job_ = nullptr;
    // Bits 0-15: helpers inside the current run; bit 16: the run still
    // admits helpers; bits 17 and up: the run's number.
    std::atomic<std::uint64_t> state_{0};
    std::atomic<bool> stopping_{false};
};

// How many threads a sweep over n rows is worth: one below a size where a
// wake-up would cost more than it saves, else the thread limit (by default
// one per processor).
int sweep_threads_for(std::int64_t n);

}  // namespace itersolve
