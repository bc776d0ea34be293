#include "methods/sweep_workers.hpp"

#include <system_error>

#include "methods/kernels.hpp"

namespace itersolve {
namespace {

// Below this order a sweep takes a few microseconds, about what waking a
// helper thread costs.
constexpr std::int64_t kMinRowsPerThread = 256;

constexpr std::uint64_t kInside = 0xFFFF;
constexpr std::uint64_t kOpen = std::uint64_t{1} << 16;
constexpr int kRunShift = 17;

void pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until `done(value)` holds, spinning briefly first: between two
// sweeps the wait is usually short.
template <class Done>
std::uint64_t wait_until(const std::atomic<std::uint64_t>& value, Done done) {
    for (int spin = 0;; ++spin) {
        const std::uint64_t now = value.load(std::memory_order_acquire);
        if (done(now)) return now;
        if (spin < 4000) pause();
        else value.wait(now, std::memory_order_acquire);
    }
}

}  // namespace

int sweep_threads_for(std::int64_t n) {
    int limit = thread_limit();
    if (limit <= 0) limit = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::int64_t by_size = std::max<std::int64_t>(1, n / kMinRowsPerThread);
    return static_cast<int>(std::min<std::int64_t>(limit, by_size));
}

SweepWorkers::SweepWorkers(int threads) {
    for (int t = 1; t < threads; ++t) {
        try {
            threads_.emplace_back([this] { serve(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

SweepWorkers::~SweepWorkers() {
    stopping_.store(true, std::memory_order_release);
    state_.fetch_add(std::uint64_t{1} << kRunShift, std::memory_order_acq_rel);
    state_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void SweepWorkers::run(const std::function<void()>& job) {
    if (threads_.empty()) {
        job();
        return;
    }
    job_ = &job;
    const std::uint64_t run = (state_.load(std::memory_order_relaxed) >> kRunShift) + 1;
    state_.store((run << kRunShift) | kOpen, std::memory_order_release);
    state_.notify_all();
    job();
    // No helper may join from now on; wait for those inside to finish.
    state_.fetch_and(~kOpen, std::memory_order_acq_rel);
    wait_until(state_, [](std::uint64_t s) { return (s & kInside) == 0; });
}

void SweepWorkers::serve() {
    std::uint64_t seen = 0;
    for (;;) {
        std::uint64_t s = wait_until(state_, [seen](std::uint64_t v) { return (v >> kRunShift) != seen; });
        if (stopping_.load(std::memory_order_acquire)) return;
        seen = s >> kRunShift;
        // Join the run only while it is open, by one step of the count.
        while ((s & kOpen) && !state_.compare_exchange_weak(s, s + 1, std::memory_order_acq_rel)) {
            if ((s >> kRunShift) != seen) break;
        }
        if ((s & kOpen) && (s >> kRunShift) == seen) {
            (*job_)();
            if (((state_.fetch_sub(1, std::memory_order_acq_rel) - 1) & kInside) == 0) state_.notify_all();
        }
    }
}

}  // namespace itersolve
