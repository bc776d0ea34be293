// The plain transcriptions of the two methods: one row at a time, one
// correction at a time, no vectors and no threads.  They define the results
// the optimised routines must reproduce bit for bit, and are what tests and
// benchmarks compare them with.  Same calling convention as the methods.
#pragma once

#include "methods/method.hpp"

namespace itersolve {

void gauss_mtd_plain(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL,
                     std::int32_t MAXIT, char CRITERION, float* X, std::int32_t& ITER);

void jacobi_mtd_plain(MethodServices& io, const float* A, const float* B, std::int32_t N, float TOL,
                      std::int32_t MAXIT, char CRITERION, float* X, std::int32_t& ITER);

}  // namespace itersolve
