#include "methods/gauss_mtd.hpp"

#include <algorithm>
#include <vector>

#include "methods/kernels_impl.hpp"

namespace itersolve {
namespace {

// Rows are taken in blocks of this many.  A block's corrections by the
// components already final before it (columns left of the block) are
// independent across its rows and run in the vector kernel, one row per
// lane, mostly while the previous block's chains run; the rest of each row
// is its dependent chain.
constexpr std::int64_t kBlock = 32;

}  // namespace

void gauss_mtd(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL, std::int32_t MAXIT,
               char CRITERION, float* X, std::int32_t& ITER) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    WorkVectors w(io.memory, n);
    RealArray& XOLD = w.XOLD;  // zero-filled: the starting vector
    // X arrives zero-filled, so rows after the last iterate already hold
    // zeros; clearing it here would only touch pages never otherwise used.
    ITER = 0;
    if (MAXIT < 1) return;

    std::vector<float> D(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) D[static_cast<std::size_t>(i)] = A[i * n + i];
    // Quotients of the current row's corrections by XOLD, and of the next
    // row's, formed while the current row's chain runs.
    std::vector<double> q(static_cast<std::size_t>(n)), q_next(static_cast<std::size_t>(n));
    // The next block's corrections by the components final before the
    // current block, advanced while the current block's chains run.
    double ahead[kBlock];
    float partial[kBlock];
    const kernels::KernelSet& k = kernels::active_kernels();

    bool satisfied = false;
    for (std::int32_t it = 1; it <= MAXIT; ++it) {
        float* Xk = X + static_cast<std::size_t>(it - 1) * static_cast<std::size_t>(n);
        if (n > 0) k.quotients(A + 1, XOLD.data() + 1, D[0], n - 1, q.data());
        k.row_sweep({A, n, Xk, D.data(), B, 0, std::min(n, kBlock), 0, partial});
        for (std::int64_t b = 0; b < n; b += kBlock) {
            const std::int64_t e = std::min(n, b + kBlock);
            kernels::RowSweep next{A, n, Xk, D.data(), B, e, std::min(n, e + kBlock), 0, nullptr, 0, ahead};
            kernels::RowSweep* side = e < n ? &next : nullptr;
            for (std::int64_t i = b; i < e; ++i) {
                const float* Ai = A + i * n;
                const float d = D[static_cast<std::size_t>(i)];
                float x = partial[i - b];
                // Corrections by the components of this block already final.
                for (std::int64_t j = b; j < i; ++j) x = corrected(x, Xk[j], Ai[j], d);
                // Corrections by XOLD(i+1..N), whose quotients are ready.
                const bool last = i + 1 == n;
                const std::int64_t next_count = last ? 0 : n - i - 2;
                const float* a_next = last ? A : Ai + n + i + 2;
                const float* v_next = last ? XOLD.data() : XOLD.data() + i + 2;
                const float d_next = last ? 1.0f : D[static_cast<std::size_t>(i + 1)];
                Xk[i] = static_cast<float>(k.chain_ahead(x, q.data(), n - i - 1, a_next, v_next, d_next, next_count,
                                                         q_next.data(), side, b));
                q.swap(q_next);
            }
            if (side) {
                // The columns left, this block's among them, now final.
                next.col_end = e;
                k.row_sweep(next);
                for (std::int64_t r = 0; r < next.row_end - e; ++r) partial[r] = static_cast<float>(ahead[r]);
            }
        }
        if (iteration_ends(io, w, Xk, n, it, CRITERION, TOL, ITER)) {
            satisfied = true;
            break;
        }
    }
    if (!satisfied) write_free(io.console, {"Maximum number of iterations is reached before tolerance is satisfied."});
}

}  // namespace itersolve
