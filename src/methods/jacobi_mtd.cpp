#include "methods/jacobi_mtd.hpp"

#include <algorithm>

namespace itersolve {

void jacobi_mtd(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL, std::int32_t MAXIT,
                char CRITERION, float* X, std::int32_t& ITER) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    RealArray XOLD = allocate_or_stop(io.memory, n);  // zero-filled: the starting vector
    RealArray DIFF = allocate_or_stop(io.memory, n);
    RealArray DIFFSQ = allocate_or_stop(io.memory, n);
    ITER = 0;
    for (std::int32_t k = 1; k <= MAXIT; ++k) {
        float* Xk = X + static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(n);
        for (std::int64_t i = 0; i < n; ++i) {
            const float* Ai = A + i * n;
            const float d = Ai[i];
            float x = B[i] / d;
            for (std::int64_t j = 0; j < n; ++j)
                if (j != i) x = corrected(x, XOLD[j], Ai[j], d);
            Xk[i] = x;
        }
        for (std::int64_t j = 0; j < n; ++j) DIFF[j] = XOLD[j] - Xk[j];
        ITER = k;
        if (stopping_test_passed(CRITERION, TOL, DIFF.data(), DIFFSQ.data(), n)) {
            write_free(io.console, {"Tolerance is satisfied after", ITER, "iterations."});
            break;
        }
        std::copy(Xk, Xk + n, XOLD.data());
    }
    if (MAXIT >= 1 && ITER == MAXIT) write_free(io.console, {"Maximum number of iterations is achieved."});
}

}  // namespace itersolve
