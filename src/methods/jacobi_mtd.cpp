#include "methods/jacobi_mtd.hpp"

#include <algorithm>
#include <vector>

#include "methods/kernels_impl.hpp"
#include "methods/sweep_workers.hpp"

namespace itersolve {

void jacobi_mtd(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL, std::int32_t MAXIT,
                char CRITERION, float* X, std::int32_t& ITER) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    RealArray XOLD = allocate_or_stop(io.memory, n);  // zero-filled: the starting vector
    RealArray DIFF = allocate_or_stop(io.memory, n);
    RealArray DIFFSQ = allocate_or_stop(io.memory, n);
    ITER = 0;
    if (MAXIT < 1) return;

    // The rows of a sweep read only XOLD, so they are computed in bands of
    // rows by the vector kernel and, for large systems, split over threads
    // at multiples of 32 rows; every row's value is the same whichever part
    // computes it.
    std::vector<float> D(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) D[static_cast<std::size_t>(i)] = A[i * n + i];
    const kernels::KernelSet& k = kernels::active_kernels();
    SweepWorkers workers(sweep_parts_for(n));
    const std::int64_t parts = workers.size();
    const std::int64_t bands = (n + 31) / 32;

    for (std::int32_t it = 1; it <= MAXIT; ++it) {
        float* Xk = X + static_cast<std::size_t>(it - 1) * static_cast<std::size_t>(n);
        workers.run([&](int part) {
            const std::int64_t begin = std::min(n, bands * part / parts * 32);
            const std::int64_t end = std::min(n, bands * (part + 1) / parts * 32);
            if (begin < end) k.row_sweep({A, n, XOLD.data(), D.data(), B, begin, end, n, Xk + begin});
        });
        for (std::int64_t j = 0; j < n; ++j) DIFF[j] = XOLD[j] - Xk[j];
        ITER = it;
        if (stopping_test_passed(CRITERION, TOL, DIFF.data(), DIFFSQ.data(), n)) {
            write_free(io.console, {"Tolerance is satisfied after", ITER, "iterations."});
            break;
        }
        std::copy(Xk, Xk + n, XOLD.data());
    }
    if (ITER == MAXIT) write_free(io.console, {"Maximum number of iterations is achieved."});
}

}  // namespace itersolve
