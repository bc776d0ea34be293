// The vector kernels behind the two methods, and the choice of instruction
// set they run on.
//
// The methods' arithmetic fixes every bit of every stored value, so the
// kernels never change an operation: each correction is still one
// single-precision product, one double-precision division by the diagonal
// element, one double-precision subtraction and one rounding to single
// precision, in the same order per row.  They only do several rows at once
// (one row per vector lane) or compute the independent products and
// quotients of a row ahead of its dependent chain.
//
// The widest instruction set the processor offers is chosen on first use.
// Tests and benchmarks may force a narrower one, and may limit the number of
// threads a Jacobi sweep is split over; neither changes any result.
#pragma once

#include <cstdint>
#include <vector>

namespace itersolve {

enum class KernelPath { portable, avx2, avx512 };

const char* kernel_path_name(KernelPath path);

// The widest path this processor (and operating system) supports.
KernelPath widest_kernel_path();
// Every supported path, narrowest first.
std::vector<KernelPath> supported_kernel_paths();
// The path the methods use now: the widest, unless set_kernel_path chose a
// narrower one.  Asking for a path wider than the processor offers selects
// the widest it does offer.
KernelPath kernel_path();
void set_kernel_path(KernelPath path);

// Upper bound on the threads of one Jacobi sweep; 0 (the default) means one
// per processor.  Small systems run on one thread whatever the bound.
void set_thread_limit(int threads);
int thread_limit();

}  // namespace itersolve
