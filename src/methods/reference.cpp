#include "methods/reference.hpp"

#include <algorithm>

namespace itersolve {

void gauss_mtd_plain(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL,
                     std::int32_t MAXIT, char CRITERION, float* X, std::int32_t& ITER) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    WorkVectors w(io.memory, n);
    const float* XOLD = w.XOLD.data();
    ITER = 0;
    bool satisfied = false;
    for (std::int32_t k = 1; k <= MAXIT; ++k) {
        float* Xk = X + static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(n);
        for (std::int64_t i = 0; i < n; ++i) {
            const float* Ai = A + i * n;
            const float d = Ai[i];
            float x = B[i] / d;
            for (std::int64_t j = 0; j < i; ++j) x = corrected(x, Xk[j], Ai[j], d);
            for (std::int64_t j = i + 1; j < n; ++j) x = corrected(x, Ai[j], XOLD[j], d);
            Xk[i] = x;
        }
        if (iteration_ends(io, w, Xk, n, k, CRITERION, TOL, ITER)) {
            satisfied = true;
            break;
        }
    }
    if (MAXIT >= 1 && !satisfied)
        write_free(io.console, {"Maximum number of iterations is reached before tolerance is satisfied."});
}

void jacobi_mtd_plain(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL,
                      std::int32_t MAXIT, char CRITERION, float* X, std::int32_t& ITER) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    WorkVectors w(io.memory, n);
    const float* XOLD = w.XOLD.data();
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
        if (iteration_ends(io, w, Xk, n, k, CRITERION, TOL, ITER)) break;
    }
    if (MAXIT >= 1 && ITER == MAXIT) write_free(io.console, {"Maximum number of iterations is achieved."});
}

}  // namespace itersolve
