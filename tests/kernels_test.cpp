// The optimised method routines against the library's plain transcriptions,
// on every instruction-set path this processor offers: every stored bit of X
// (NaN payloads and signed zeros included), ITER and the console records
// must agree.  Orders around the vector widths and band sizes, both methods,
// both criteria, converging, overflowing and NaN-carrying systems; Jacobi
// also split over several threads.
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "methods/gauss_mtd.hpp"
#include "methods/jacobi_mtd.hpp"
#include "methods/kernels.hpp"
#include "methods/reference.hpp"
#include "recio/arrays.hpp"
#include "recio/record_writer.hpp"
#include "recio/streams.hpp"

namespace itersolve {
namespace {

struct Outcome {
    std::vector<float> X;
    std::int32_t ITER = -1;
    std::string console;
};

Outcome run(MethodRoutine routine, const std::vector<float>& A, const std::vector<float>& B, std::int32_t N,
            float TOL, std::int32_t MAXIT, char CRITERION) {
    Outcome out;
    MemorySink sink(out.console);
    RecordWriter console(sink, "console output");
    Memory memory;
    RealArray X = allocate_or_stop(memory, MAXIT, N);
    MethodServices io{console, memory};
    routine(io, A.data(), B.data(), N, TOL, MAXIT, CRITERION, X.data(), out.ITER);
    console.flush();
    out.X.assign(X.data(), X.data() + X.size());
    return out;
}

enum class Kind { dominant, overflowing, with_nan };

// dominant: converges; overflowing: a weak diagonal, so the iterates grow
// past the single-precision range into infinities and then NaNs; with_nan:
// a NaN in A and one in B, at positions that depend on N.
void make_system(Kind kind, std::int32_t n, unsigned seed, std::vector<float>& A, std::vector<float>& B) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    A.assign(static_cast<std::size_t>(n) * n, 0.0f);
    B.assign(static_cast<std::size_t>(n), 0.0f);
    for (std::int32_t i = 0; i < n; ++i) {
        float sum = 0.0f;
        for (std::int32_t j = 0; j < n; ++j) {
            const float a = (kind == Kind::overflowing ? 1.0e6f : 1.0f) * u(rng);
            A[static_cast<std::size_t>(i) * n + j] = a;
            sum += std::abs(a);
        }
        float& d = A[static_cast<std::size_t>(i) * n + i];
        d = kind == Kind::overflowing ? (d == 0.0f ? 1.0e-3f : d * 1.0e-6f) : 1.25f * sum + 0.5f;
        B[static_cast<std::size_t>(i)] = 100.0f * u(rng);
    }
    if (kind == Kind::with_nan && n > 1) {
        A[static_cast<std::size_t>(n / 2) * n + (n / 3 == n / 2 ? 0 : n / 3)] = std::numeric_limits<float>::quiet_NaN();
        B[static_cast<std::size_t>(n - 1)] = -std::numeric_limits<float>::quiet_NaN();
    }
}

void expect_same(const Outcome& plain, const Outcome& fast) {
    EXPECT_EQ(plain.ITER, fast.ITER);
    EXPECT_EQ(plain.console, fast.console);
    ASSERT_EQ(plain.X.size(), fast.X.size());
    for (std::size_t e = 0; e < plain.X.size(); ++e) {
        std::uint32_t p, f;
        std::memcpy(&p, &plain.X[e], 4);
        std::memcpy(&f, &fast.X[e], 4);
        ASSERT_EQ(p, f) << "X element " << e << ": " << plain.X[e] << " vs " << fast.X[e];
    }
}

struct PathGuard {
    ~PathGuard() {
        set_kernel_path(widest_kernel_path());
        set_thread_limit(0);
    }
};

TEST(Kernels, EveryPathAgreesBitForBitWithThePlainMethods) {
    PathGuard guard;
    const std::int32_t orders[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 64, 65, 100, 101, 256, 257};
    const struct {
        Kind kind;
        float TOL;
        std::int32_t MAXIT;
    } systems[] = {{Kind::dominant, 1.0e-5f, 40}, {Kind::dominant, 0.0f, 6}, {Kind::overflowing, 0.0f, 30},
                   {Kind::with_nan, 1.0e-5f, 8}};
    for (KernelPath path : supported_kernel_paths()) {
        set_kernel_path(path);
        for (std::int32_t n : orders) {
            for (const auto& sys : systems) {
                std::vector<float> A, B;
                make_system(sys.kind, n, static_cast<unsigned>(n * 7 + static_cast<int>(sys.kind)), A, B);
                for (char criterion : {'1', '2'}) {
                    SCOPED_TRACE(::testing::Message() << kernel_path_name(path) << ", N = " << n << ", kind "
                                                      << static_cast<int>(sys.kind) << ", criterion " << criterion);
                    expect_same(run(gauss_mtd_plain, A, B, n, sys.TOL, sys.MAXIT, criterion),
                                run(gauss_mtd, A, B, n, sys.TOL, sys.MAXIT, criterion));
                    expect_same(run(jacobi_mtd_plain, A, B, n, sys.TOL, sys.MAXIT, criterion),
                                run(jacobi_mtd, A, B, n, sys.TOL, sys.MAXIT, criterion));
                }
            }
        }
    }
}

TEST(Kernels, OverflowReallyReachesInfinityAndNaN) {
    // Guards the fixture above: the overflowing systems must leave the
    // single-precision range, or the comparison would miss those paths.
    std::vector<float> A, B;
    make_system(Kind::overflowing, 17, 17 * 7 + 1, A, B);
    const Outcome o = run(jacobi_mtd_plain, A, B, 17, 0.0f, 30, '1');
    bool inf = false, nan = false;
    for (float v : o.X) {
        inf = inf || std::isinf(v);
        nan = nan || std::isnan(v);
    }
    EXPECT_TRUE(inf);
    EXPECT_TRUE(nan);
}

TEST(Kernels, JacobiResultsDoNotDependOnTheThreadCount) {
    PathGuard guard;
    const std::int32_t n = 1000;  // large enough to be split
    std::vector<float> A, B;
    make_system(Kind::dominant, n, 5, A, B);
    const Outcome plain = run(jacobi_mtd_plain, A, B, n, 0.0f, 3, '2');
    for (KernelPath path : supported_kernel_paths()) {
        set_kernel_path(path);
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE(::testing::Message() << kernel_path_name(path) << ", threads " << threads);
            set_thread_limit(threads);
            expect_same(plain, run(jacobi_mtd, A, B, n, 0.0f, 3, '2'));
        }
    }
}

TEST(Kernels, ForcingAPathSelectsIt) {
    PathGuard guard;
    for (KernelPath path : supported_kernel_paths()) {
        set_kernel_path(path);
        EXPECT_EQ(kernel_path(), path);
    }
    set_kernel_path(KernelPath::avx512);  // never wider than the processor
    EXPECT_EQ(kernel_path(), widest_kernel_path());
}

}  // namespace
}  // namespace itersolve
