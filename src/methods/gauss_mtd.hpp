// Gauss-Seidel iteration.
//
// From the zero vector, iterate k = 1..MAXIT sweeping rows i = 1..N:
//
//   X(k,i) = B(i)/A(i,i)                                   (single)
//   X(k,i) = X(k,i) - (X(k,j)*A(i,j))/A(i,i)   j = 1..i-1  (current sweep)
//   X(k,i) = X(k,i) - (A(i,j)*XOLD(j))/A(i,i)  j = i+1..N  (previous iterate)
//
// each correction rounded as `corrected` says: one at a time, divided by
// A(i,i) afresh, never summed first and never through a reciprocal.  After
// the sweep DIFF = XOLD - X(k) feeds the stopping test of CRITERION.
//
// Console records: "Tolerance is satisfied after <ITER> iterations." when
// the test passes; "Maximum number of iterations is reached before tolerance
// is satisfied." when iteration MAXIT ends without it.
#pragma once

#include "methods/method.hpp"

namespace itersolve {

void gauss_mtd(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL, std::int32_t MAXIT,
               char CRITERION, float* X, std::int32_t& ITER);

}  // namespace itersolve
