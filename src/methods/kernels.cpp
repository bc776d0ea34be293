// Kernel dispatch and the portable kernels (plain C++, any processor).
#include "methods/kernels.hpp"

#include <algorithm>
#include <atomic>

#include "methods/kernels_impl.hpp"

namespace itersolve {
namespace {

bool processor_has(KernelPath path) {
#if defined(__x86_64__) || defined(__i386__)
    switch (path) {
        case KernelPath::portable: return true;
        case KernelPath::avx2: return __builtin_cpu_supports("avx2");
        case KernelPath::avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                   __builtin_cpu_supports("avx512dq");
    }
    return false;
#else
    return path == KernelPath::portable;
#endif
}

KernelPath detect_widest() {
    if (processor_has(KernelPath::avx512)) return KernelPath::avx512;
    if (processor_has(KernelPath::avx2)) return KernelPath::avx2;
    return KernelPath::portable;
}

std::atomic<int> chosen_path{-1};
std::atomic<int> chosen_threads{0};

constexpr kernels::KernelSet kPortable{kernels::row_sweep_portable, kernels::quotients_portable,
                                        kernels::chain_ahead_portable};
#if defined(__x86_64__) || defined(__i386__)
constexpr kernels::KernelSet kAvx2{kernels::row_sweep_avx2, kernels::quotients_avx2, kernels::chain_ahead_avx2};
constexpr kernels::KernelSet kAvx512{kernels::row_sweep_avx512, kernels::quotients_avx512,
                                     kernels::chain_ahead_avx512};
#endif

}  // namespace

const char* kernel_path_name(KernelPath path) {
    switch (path) {
        case KernelPath::portable: return "portable";
        case KernelPath::avx2: return "avx2";
        case KernelPath::avx512: return "avx512";
    }
    return "?";
}

KernelPath widest_kernel_path() {
    static const KernelPath widest = detect_widest();
    return widest;
}

std::vector<KernelPath> supported_kernel_paths() {
    std::vector<KernelPath> paths;
    for (KernelPath p : {KernelPath::portable, KernelPath::avx2, KernelPath::avx512})
        if (static_cast<int>(p) <= static_cast<int>(widest_kernel_path())) paths.push_back(p);
    return paths;
}

KernelPath kernel_path() {
    const int p = chosen_path.load(std::memory_order_relaxed);
    return p < 0 ? widest_kernel_path() : static_cast<KernelPath>(p);
}

void set_kernel_path(KernelPath path) {
    chosen_path.store(std::min(static_cast<int>(path), static_cast<int>(widest_kernel_path())),
                      std::memory_order_relaxed);
}

void set_thread_limit(int threads) { chosen_threads.store(std::max(threads, 0), std::memory_order_relaxed); }
int thread_limit() { return chosen_threads.load(std::memory_order_relaxed); }

namespace kernels {

const KernelSet& active_kernels() {
    switch (kernel_path()) {
#if defined(__x86_64__) || defined(__i386__)
        case KernelPath::avx512: return kAvx512;
        case KernelPath::avx2: return kAvx2;
#endif
        default: return kPortable;
    }
}

// Four rows at a time: four independent chains keep the processor busy
// while each waits on its own subtract-and-round.
void row_sweep_portable(const RowSweep& s) {
    constexpr int kRows = 4;
    const std::int64_t n = s.n;
    const bool resume = s.state && s.col_begin > 0;
    for (std::int64_t i0 = s.row_begin; i0 < s.row_end; i0 += kRows) {
        const std::int64_t m = std::min<std::int64_t>(kRows, s.row_end - i0);
        const float* row[kRows];
        double x[kRows], d[kRows];
        for (int r = 0; r < kRows; ++r) {
            const bool real = r < m;
            const std::int64_t i = real ? i0 + r : s.row_begin;
            row[r] = s.A + i * n;
            d[r] = real ? static_cast<double>(s.D[i]) : 1.0;
            x[r] = !real ? 0.0 : resume ? s.state[i - s.row_begin] : static_cast<double>(s.B[i] / s.D[i]);
        }
        auto columns = [&](std::int64_t c0, std::int64_t c1) {
            for (std::int64_t j = c0; j < c1; ++j) {
                const float vj = s.v[j];
                for (int r = 0; r < kRows; ++r) {
                    const float p = vj * row[r][j];
                    x[r] = static_cast<double>(static_cast<float>(x[r] - static_cast<double>(p) / d[r]));
                }
            }
        };
        // The columns that hold these rows' diagonal elements skip, in each
        // row, its own diagonal column.
        const std::int64_t diag_begin = std::clamp(i0, s.col_begin, s.col_end);
        const std::int64_t diag_end = std::clamp(i0 + kRows, s.col_begin, s.col_end);
        columns(s.col_begin, diag_begin);
        for (std::int64_t j = diag_begin; j < diag_end; ++j) {
            const float vj = s.v[j];
            for (int r = 0; r < kRows; ++r) {
                if (i0 + r == j) continue;
                const float p = vj * row[r][j];
                x[r] = static_cast<double>(static_cast<float>(x[r] - static_cast<double>(p) / d[r]));
            }
        }
        columns(diag_end, s.col_end);
        for (int r = 0; r < m; ++r) {
            if (s.state) s.state[i0 + r - s.row_begin] = x[r];
            else s.out[i0 + r - s.row_begin] = static_cast<float>(x[r]);
        }
    }
}

void quotients_portable(const float* a, const float* v, float d, std::int64_t count, double* q) {
    const double dd = d;
    for (std::int64_t t = 0; t < count; ++t) q[t] = static_cast<double>(a[t] * v[t]) / dd;
}

// Thirty-two links of the chain, then thirty-two of the next row's
// quotients and a piece of the side sweep: the processor works on those
// while each link waits on the last.
double chain_ahead_portable(double x, const double* q, std::int64_t count, const float* a, const float* v, float d,
                            std::int64_t next_count, double* next_q, RowSweep* side, std::int64_t side_end) {
    return chain_ahead_with<quotients_portable, row_sweep_portable>(x, q, count, a, v, d, next_count, next_q, side,
                                                                   side_end);
}

}  // namespace kernels
}  // namespace itersolve
