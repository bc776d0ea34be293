#include "methods/sweep_workers.hpp"

#include <system_error>

#include "methods/kernels.hpp"

namespace itersolve {
namespace {

// Below this order a sweep takes a few microseconds, about what waking a
// helper thread costs.
constexpr std::int64_t kMinRowsPerPart = 256;

// Waits until `value` differs from `seen`, spinning briefly first: between
// two sweeps the wait is usually short.
template <class T>
T wait_change(const std::atomic<T>& value, T seen) {
    for (int spin = 0; spin < 4000; ++spin) {
        const T now = value.load(std::memory_order_acquire);
        if (now != seen) return now;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    for (;;) {
        value.wait(seen, std::memory_order_acquire);
        const T now = value.load(std::memory_order_acquire);
        if (now != seen) return now;
    }
}

}  // namespace

int sweep_parts_for(std::int64_t n) {
    int limit = thread_limit();
    if (limit <= 0) limit = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::int64_t by_size = std::max<std::int64_t>(1, n / kMinRowsPerPart);
    return static_cast<int>(std::min<std::int64_t>(limit, by_size));
}

SweepWorkers::SweepWorkers(int parts) {
    for (int p = 1; p < parts; ++p) {
        try {
            threads_.emplace_back([this, p] { serve(p); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

SweepWorkers::~SweepWorkers() {
    stopping_.store(true, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    generation_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void SweepWorkers::run(const std::function<void(int)>& job) {
    if (threads_.empty()) {
        job(0);
        return;
    }
    job_ = &job;
    pending_.store(static_cast<int>(threads_.size()), std::memory_order_relaxed);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    generation_.notify_all();
    job(0);
    for (int left = pending_.load(std::memory_order_acquire); left != 0;
         left = pending_.load(std::memory_order_acquire))
        wait_change(pending_, left);
}

void SweepWorkers::serve(int part) {
    std::uint32_t seen = 0;
    for (;;) {
        seen = wait_change(generation_, seen);
        if (stopping_.load(std::memory_order_acquire)) return;
        (*job_)(part);
        if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) pending_.notify_one();
    }
}

}  // namespace itersolve
