// Jacobi iteration.
//
// From the zero vector, iterate k = 1..MAXIT; every row of a sweep reads
// only the previous iterate, so the rows are independent:
//
//   X(k,i) = B(i)/A(i,i)                                    (single)
//   X(k,i) = X(k,i) - (XOLD(j)*A(i,j))/A(i,i)   j = 1..N, j != i
//
// each correction rounded as `corrected` says: one at a time, divided by
// A(i,i) afresh, never summed first and never through a reciprocal.  After
// the sweep DIFF = XOLD - X(k) feeds the stopping test of CRITERION.
//
// Console records: "Tolerance is satisfied after <ITER> iterations." when
// the test passes; then, whenever ITER equals MAXIT (also when the test
// passed in that very iteration), "Maximum number of iterations is
// achieved.".  Only rows 1..ITER of X are written.
#pragma once

#include "methods/method.hpp"

namespace itersolve {

void jacobi_mtd(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL, std::int32_t MAXIT,
                char CRITERION, float* X, std::int32_t& ITER);

}  // namespace itersolve
