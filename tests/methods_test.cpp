// Both method routines against a plain transcription of their arithmetic,
// written here loop by loop with nothing shared with the routines: every
// iterate must agree bit for bit (NaN payloads and signed zeros included),
// and so must ITER and the console records.  The systems are random, of many
// orders (including orders that are not multiples of a vector width), under
// both stopping tests and several tolerances, so that any reordering,
// fusion, reciprocal or early summing in an optimised sweep shows up.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "methods/gauss_mtd.hpp"
#include "methods/jacobi_mtd.hpp"
#include "methods/kernels.hpp"
#include "recio/arrays.hpp"
#include "recio/record_writer.hpp"
#include "recio/streams.hpp"

namespace itersolve {
namespace {

enum class Method { gauss_seidel, jacobi };

struct Outcome {
    std::vector<float> X;  // MAXIT rows of N values
    std::int32_t ITER = -1;
    std::string console;
};

// ---- the reference: one operation per line, as the arithmetic is defined

// x - (a*b)/d: the product rounded to single, the division and the
// subtraction in double, the result rounded once to single.
float reference_correction(float x, float a, float b, float d) {
    float p = a * b;
    double q = static_cast<double>(p) / static_cast<double>(d);
    double r = static_cast<double>(x) - q;
    return static_cast<float>(r);
}

Outcome reference_run(Method method, const std::vector<float>& A, const std::vector<float>& B, std::int32_t N,
                      float TOL, std::int32_t MAXIT, char CRITERION) {
    const int n = N > 0 ? N : 0;
    const int rows = MAXIT > 0 ? MAXIT : 0;
    Outcome out;
    out.X.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(n), 0.0f);
    out.ITER = 0;
    auto a = [&](int i, int j) { return A[static_cast<std::size_t>(i * n + j)]; };
    auto x = [&](int k, int i) -> float& { return out.X[static_cast<std::size_t>(k * n + i)]; };
    std::vector<float> XOLD(static_cast<std::size_t>(n), 0.0f), DIFF(XOLD.size()), DIFFSQ(XOLD.size());
    bool satisfied = false;
    for (int k = 0; k < rows; ++k) {
        for (int i = 0; i < n; ++i) {
            float v = B[static_cast<std::size_t>(i)] / a(i, i);
            for (int j = 0; j < n; ++j) {
                if (j == i) continue;
                if (method == Method::gauss_seidel && j < i)
                    v = reference_correction(v, x(k, j), a(i, j), a(i, i));
                else
                    v = reference_correction(v, XOLD[static_cast<std::size_t>(j)], a(i, j), a(i, i));
            }
            x(k, i) = v;
        }
        for (int m = 0; m < n; ++m) DIFF[static_cast<std::size_t>(m)] = XOLD[static_cast<std::size_t>(m)] - x(k, m);
        out.ITER = k + 1;
        bool passed;
        if (CRITERION == '1') {
            float M = -3.4028235E+38f;
            for (int m = 0; m < n; ++m)
                if (std::fabs(DIFF[static_cast<std::size_t>(m)]) > M) M = std::fabs(DIFF[static_cast<std::size_t>(m)]);
            passed = TOL > M;
        } else {
            for (int m = 0; m < n; ++m)
                DIFFSQ[static_cast<std::size_t>(m)] = DIFF[static_cast<std::size_t>(m)] * DIFF[static_cast<std::size_t>(m)];
            float S = 0.0f;
            for (int m = 0; m < n; ++m) S = DIFFSQ[static_cast<std::size_t>(m)] + S;
            double R = std::sqrt(static_cast<double>(S));
            passed = !(R >= static_cast<double>(TOL));
        }
        if (passed) {
            out.console += "Tolerance is satisfied after " + std::to_string(out.ITER) + " iterations.\n";
            satisfied = true;
            break;
        }
        for (int m = 0; m < n; ++m) XOLD[static_cast<std::size_t>(m)] = x(k, m);
    }
    if (method == Method::gauss_seidel && rows >= 1 && !satisfied)
        out.console += "Maximum number of iterations is reached before tolerance is satisfied.\n";
    if (method == Method::jacobi && rows >= 1 && out.ITER == MAXIT)
        out.console += "Maximum number of iterations is achieved.\n";
    return out;
}

// ---- the routine under test, called as the solver run calls it

Outcome routine_run(Method method, const std::vector<float>& A, const std::vector<float>& B, std::int32_t N,
                    float TOL, std::int32_t MAXIT, char CRITERION) {
    Outcome out;
    Memory memory;
    RealArray X;
    EXPECT_TRUE(allocate_with_status(memory, X, MAXIT, N));
    {
        MemorySink sink(out.console);
        RecordWriter console(sink, "console");
        MethodServices io{console, memory};
        std::int32_t ITER = 12345;  // must be overwritten, also when no iteration runs
        (method == Method::gauss_seidel ? gauss_mtd : jacobi_mtd)(io, A.data(), B.data(), N, TOL, MAXIT, CRITERION,
                                                                  X.data(), ITER);
        console.flush();
        out.ITER = ITER;
    }
    out.X.assign(X.data(), X.data() + X.size());
    return out;
}

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// Empty when the two outcomes agree; otherwise where they first part.
std::string first_difference(const Outcome& got, const Outcome& want, std::int32_t N) {
    std::ostringstream s;
    if (got.ITER != want.ITER) s << "ITER " << got.ITER << ", expected " << want.ITER << "; ";
    if (got.console != want.console) s << "console \"" << got.console << "\", expected \"" << want.console << "\"; ";
    if (got.X.size() != want.X.size()) {
        s << "X has " << got.X.size() << " values, expected " << want.X.size();
    } else {
        const std::size_t n = N > 0 ? static_cast<std::size_t>(N) : 1;
        for (std::size_t i = 0; i < got.X.size(); ++i)
            if (bits(got.X[i]) != bits(want.X[i])) {
                s << std::hexfloat << "X(" << i / n + 1 << "," << i % n + 1 << ") = " << got.X[i] << " [0x"
                  << std::hex << bits(got.X[i]) << "], expected " << want.X[i] << " [0x" << bits(want.X[i]) << "]";
                break;
            }
    }
    return s.str();
}

// ---- the systems

enum class Kind {
    dominant,      // strictly diagonally dominant rows, mixed signs: converges
    non_dominant,  // diagonal below the off-diagonal sum, finite entries
    overflowing,   // huge off-diagonal values with zeros among them: Infinity and NaN
};

struct System {
    std::vector<float> A, B;
};

System random_system(Kind kind, int n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> margin(0.05f, 2.0f);
    std::uniform_real_distribution<float> shortfall(0.4f, 0.95f);
    std::bernoulli_distribution zero(0.1), negative(0.5);
    const std::size_t un = static_cast<std::size_t>(n);
    System s;
    s.A.assign(un * un, 0.0f);
    s.B.assign(un, 0.0f);
    for (std::size_t i = 0; i < un; ++i) {
        float off_sum = 0.0f;
        for (std::size_t j = 0; j < un; ++j) {
            if (j == i) continue;
            float v = zero(rng) ? 0.0f : unit(rng);
            if (kind == Kind::overflowing) v *= 1e12f;
            s.A[i * un + j] = v;
            off_sum += std::fabs(v);
        }
        float d = kind == Kind::dominant       ? off_sum + margin(rng)
                  : kind == Kind::non_dominant ? off_sum * shortfall(rng) + 1e-3f
                                               : 1.0f + margin(rng);
        s.A[i * un + i] = negative(rng) ? -d : d;
        s.B[i] = 10.0f * unit(rng);
    }
    return s;
}

const char* kind_name(Kind k) {
    return k == Kind::dominant ? "dominant" : k == Kind::non_dominant ? "non-dominant" : "overflowing";
}

TEST(MethodRoutines, AgreeBitForBitWithThePlainArithmetic) {
    // 600: a large system, whose sweeps may be shared between threads.
    const int orders[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 100, 101, 257, 600};
    const float tolerances[] = {1e-3f, 1e-6f, 0.0f, std::numeric_limits<float>::quiet_NaN()};
    const char criteria[] = {'1', '2', 'x'};
    // What the table reaches, so that it cannot quietly stop guarding the
    // interesting paths: ends between iteration 1 and MAXIT, and iterates
    // that overflow to infinities and NaN.
    int ends_between = 0;
    bool saw_infinity = false, saw_nan = false;
    for (Method method : {Method::gauss_seidel, Method::jacobi})
        for (Kind kind : {Kind::dominant, Kind::non_dominant, Kind::overflowing})
            for (int n : orders) {
                const System sys = random_system(kind, n, static_cast<std::uint32_t>(n * 31 + static_cast<int>(kind)));
                const std::int32_t maxit = n >= 500 ? 6 : n >= 100 ? 12 : 40;
                for (float tol : tolerances)
                    for (char criterion : criteria) {
                        SCOPED_TRACE(::testing::Message()
                                     << (method == Method::jacobi ? "Jacobi" : "Gauss-Seidel") << ", "
                                     << kind_name(kind) << ", N = " << n << ", TOL = " << tol << ", criterion "
                                     << criterion);
                        const Outcome want = reference_run(method, sys.A, sys.B, n, tol, maxit, criterion);
                        const Outcome got = routine_run(method, sys.A, sys.B, n, tol, maxit, criterion);
                        EXPECT_EQ(first_difference(got, want, n), "");
                        if (want.ITER > 1 && want.ITER < maxit) ++ends_between;
                        for (float v : want.X) {
                            saw_infinity = saw_infinity || std::isinf(v);
                            saw_nan = saw_nan || std::isnan(v);
                        }
                    }
            }
    EXPECT_GT(ends_between, 0);
    EXPECT_TRUE(saw_infinity);
    EXPECT_TRUE(saw_nan);
}

// Small systems picked so that one specific deviation from the arithmetic
// changes the outcome, which random systems would show only by rare chance;
// and the orders and limits at which the loops run zero times or once.  They
// cost little, so they run on every instruction-set path of this processor.
TEST(MethodRoutines, AgreeOnHandPickedSystemsAndLimits) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const System dominant4 = random_system(Kind::dominant, 4, 7);
    // The odd-numbered rows (1-based even) are identity rows with B = 1, so
    // those components are 1 from iteration 1 on.  Each other row holds d on
    // its diagonal and p in one column of an identity row, zeros elsewhere,
    // and B = p: the column next to the diagonal for every second such row,
    // a distant one for the rest, so both the diagonal block and the other
    // blocks of a vector sweep meet it.  The row's next value is x - p/d with
    // x = p/d rounded to single: the difference keeps every bit of the double
    // quotient, and multiplying by a double reciprocal of d instead changes
    // its last single-precision bit.
    const float qd = 0x1.d20b5ep+0f, qp = 0x1.c89da2p+0f;
    System quotient_bits;
    quotient_bits.A.assign(40 * 40, 0.0f);
    quotient_bits.B.assign(40, 1.0f);
    for (int i = 0; i < 40; i += 2) {
        const int column = i % 4 == 0 ? i + 1 : ((i * 7 + 13) % 40) | 1;
        quotient_bits.A[static_cast<std::size_t>(i * 40 + i)] = qd;
        quotient_bits.A[static_cast<std::size_t>(i * 40 + column)] = qp;
        quotient_bits.B[static_cast<std::size_t>(i)] = qp;
        quotient_bits.A[static_cast<std::size_t>((i + 1) * 40 + i + 1)] = 1.0f;
    }
    // Iteration 1 changes component 1 by 1 and components 2..17 by 2^-12:
    // each square 2^-24 vanishes when added to 1 in single precision, so S
    // is 1 and the root 1 passes a TOL just above 1; summed wider, or
    // smallest first, the root exceeds that TOL.
    System sum_order;
    sum_order.A.assign(17 * 17, 0.0f);
    for (int i = 0; i < 17; ++i) sum_order.A[static_cast<std::size_t>(i * 17 + i)] = 1.0f;
    sum_order.B.assign(17, 0x1p-12f);
    sum_order.B[0] = 1.0f;
    // 1x1, X = 0.3f: the root of 0.3f*0.3f in double lies just below 0.3f,
    // so TOL = 0.3f passes only when the root is compared unrounded.
    const System root_unrounded{{1.0f}, {0.3f}};
    // 1x1, X = 0.75: an infinity norm equal to TOL does not pass.
    const System norm_equal{{4.0f}, {3.0f}};
    const System none{{}, {}};

    struct Row {
        const char* what;
        const System& sys;
        std::int32_t N, MAXIT;
        float TOL;
        char CRITERION;
    };
    const Row rows[] = {
        {"quotient without reciprocal", quotient_bits, 40, 3, 0.0f, '1'},
        {"sum in single, DIFFSQ(1) first", sum_order, 17, 3, 0x1.000002p+0f, '2'},
        {"root compared unrounded", root_unrounded, 1, 3, 0.3f, '2'},
        {"norm equal to TOL", norm_equal, 1, 3, 0.75f, '1'},
        {"N = 0, TOL 0, infinity norm", none, 0, 5, 0.0f, '1'},
        {"N = 0, TOL 0, Euclidean norm", none, 0, 5, 0.0f, '2'},
        {"N < 0", none, -3, 4, 1e-3f, '2'},
        {"N < 0, TOL below the start of the maximum", none, -3, 4, -3.4028235E+38f, '1'},
        {"MAXIT 0", dominant4, 4, 0, 1e-3f, '1'},
        {"MAXIT < 0", dominant4, 4, -2, 1e-3f, '2'},
        {"MAXIT 1, not satisfied", dominant4, 4, 1, 1e-3f, '1'},
        {"MAXIT 1, satisfied", dominant4, 4, 1, 1e9f, '2'},
        {"NaN TOL, infinity norm", dominant4, 4, 6, nan, '1'},
    };
    struct RestoreWidestPath {
        ~RestoreWidestPath() { set_kernel_path(widest_kernel_path()); }
    } restore;
    for (KernelPath path : supported_kernel_paths()) {
        set_kernel_path(path);
        for (Method method : {Method::gauss_seidel, Method::jacobi})
            for (const Row& r : rows) {
                SCOPED_TRACE(::testing::Message() << kernel_path_name(path) << ", "
                                                  << (method == Method::jacobi ? "Jacobi" : "Gauss-Seidel") << ", "
                                                  << r.what);
                const Outcome want = reference_run(method, r.sys.A, r.sys.B, r.N, r.TOL, r.MAXIT, r.CRITERION);
                const Outcome got = routine_run(method, r.sys.A, r.sys.B, r.N, r.TOL, r.MAXIT, r.CRITERION);
                EXPECT_EQ(first_difference(got, want, r.N), "");
            }
    }
}

}  // namespace
}  // namespace itersolve
