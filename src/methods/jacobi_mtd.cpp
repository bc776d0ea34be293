#include "methods/jacobi_mtd.hpp"

#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>

#include "methods/kernels_impl.hpp"
#include "methods/sweep_workers.hpp"

namespace itersolve {

void jacobi_mtd(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL, std::int32_t MAXIT,
                char CRITERION, float* X, std::int32_t& ITER) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    WorkVectors w(io.memory, n);
    RealArray& XOLD = w.XOLD;  // zero-filled: the starting vector
    ITER = 0;
    if (MAXIT < 1) return;

    // The rows of a sweep read only XOLD, so they are computed in bands of
    // 64 rows by the vector kernel and, for large systems, shared out band
    // by band among threads: each takes the next band until none is left.
    // Every row's value is the same whichever thread computes it.
    constexpr std::int64_t kBand = 64;
    std::vector<float> D(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) D[static_cast<std::size_t>(i)] = A[i * n + i];
    const kernels::KernelSet& k = kernels::active_kernels();
    SweepWorkers workers(sweep_threads_for(n));
    const std::int64_t bands = (n + kBand - 1) / kBand;
    std::atomic<std::int64_t> next_band{0};
    float* Xk = X;
    const std::function<void()> sweep = [&] {
        for (std::int64_t b = next_band.fetch_add(1, std::memory_order_relaxed); b < bands;
             b = next_band.fetch_add(1, std::memory_order_relaxed)) {
            const std::int64_t begin = b * kBand, end = std::min(n, begin + kBand);
            k.row_sweep({A, n, XOLD.data(), D.data(), B, begin, end, n, Xk + begin});
        }
    };

    for (std::int32_t it = 1; it <= MAXIT; ++it) {
        Xk = X + static_cast<std::size_t>(it - 1) * static_cast<std::size_t>(n);
        next_band.store(0, std::memory_order_relaxed);
        workers.run(sweep);
        if (iteration_ends(io, w, Xk, n, it, CRITERION, TOL, ITER)) break;
    }
    if (ITER == MAXIT) write_free(io.console, {"Maximum number of iterations is achieved."});
}

}  // namespace itersolve
