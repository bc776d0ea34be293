// What the two iteration methods share: their calling convention and the
// stopping tests.
//
// A method routine is called as
//   routine(services, A, B, N, TOL, MAXIT, CRITERION, X, ITER)
// A is N x N, row-major (A(i,j) at A[(i-1)*N + (j-1)]); B holds N values;
// X holds MAXIT rows of N values and arrives zero-filled; row k (1-based)
// receives iterate k.  On return ITER is the number of iterations performed:
// 1..MAXIT when MAXIT >= 1, and 0 when MAXIT < 1 (no iteration, no closing
// record).  A negative N counts as 0.  The closing records go to console
// output; the work vectors come from the allocation that ends the run when
// memory is short.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "recio/arrays.hpp"
#include "recio/record_writer.hpp"

namespace itersolve {

struct MethodServices {
    RecordWriter& console;
    Memory& memory;
};

using MethodRoutine = void (*)(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL,
                               std::int32_t MAXIT, char CRITERION, float* X, std::int32_t& ITER);

// One correction of a component:  x - (a*b)/d, where the product a*b is
// rounded to single precision, the division and the subtraction are carried
// in double precision with nothing rounded between them, and the difference
// is rounded once to single precision.
inline float corrected(float x, float a, float b, float d) {
    const float product = a * b;
    return static_cast<float>(static_cast<double>(x) - static_cast<double>(product) / static_cast<double>(d));
}

// The two measures of the change DIFF = XOLD - X(k), n values, that the
// stopping tests compare with TOL.
//  infinity norm: the largest |DIFF(j)|, starting from the most negative
//       finite single (a NaN never replaces it, so with no value or only
//       NaNs the result stays at that start value).
//  Euclidean norm: DIFFSQ(j) = DIFF(j)^2 in single precision, summed in
//       single precision from DIFFSQ(1) on; the root is taken in double
//       precision and returned unrounded.
inline float infinity_norm_of_change(const float* DIFF, std::int64_t n) {
    float M = -std::numeric_limits<float>::max();
    for (std::int64_t j = 0; j < n; ++j) {
        const float d = std::fabs(DIFF[j]);
        if (d > M) M = d;
    }
    return M;
}

inline double euclidean_norm_of_change(const float* DIFF, float* DIFFSQ, std::int64_t n) {
    for (std::int64_t j = 0; j < n; ++j) DIFFSQ[j] = DIFF[j] * DIFF[j];
    float S = 0.0f;
    for (std::int64_t j = 0; j < n; ++j) S = DIFFSQ[j] + S;
    return std::sqrt(static_cast<double>(S));
}

// The stopping test: '1' selects the infinity norm, passed when TOL > norm;
// any other character the Euclidean norm, passed unless norm >= TOL, so a
// NaN root or NaN TOL passes.
inline bool stopping_test_passed(char criterion, float TOL, const float* DIFF, float* DIFFSQ, std::int64_t n) {
    if (criterion == '1') return TOL > infinity_norm_of_change(DIFF, n);
    return !(euclidean_norm_of_change(DIFF, DIFFSQ, n) >= static_cast<double>(TOL));
}

// The work vectors of a method routine, obtained on entry in the order
// XOLD, DIFF, DIFFSQ and released together on return.  XOLD arrives
// zero-filled: the starting vector.
struct WorkVectors {
    RealArray XOLD, DIFF, DIFFSQ;
    WorkVectors(Memory& memory, std::int64_t n)
        : XOLD(allocate_or_stop(memory, n)), DIFF(allocate_or_stop(memory, n)), DIFFSQ(allocate_or_stop(memory, n)) {}
};

// The end of iteration k, the same for both methods: DIFF = XOLD - X(k),
// ITER = k, then the stopping test.  When it passes, the tolerance record is
// written and the result is true; otherwise XOLD takes X(k) and the
// iteration goes on.
inline bool iteration_ends(MethodServices& io, WorkVectors& w, const float* Xk, std::int64_t n, std::int32_t k,
                           char CRITERION, float TOL, std::int32_t& ITER) {
    for (std::int64_t j = 0; j < n; ++j) w.DIFF[j] = w.XOLD[j] - Xk[j];
    ITER = k;
    if (stopping_test_passed(CRITERION, TOL, w.DIFF.data(), w.DIFFSQ.data(), n)) {
        write_free(io.console, {"Tolerance is satisfied after", ITER, "iterations."});
        return true;
    }
    std::copy(Xk, Xk + n, w.XOLD.data());
    return false;
}

}  // namespace itersolve
