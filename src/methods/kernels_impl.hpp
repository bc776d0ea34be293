// The kernels' inner interface, shared by the dispatch and the per-path
// translation units (each compiled for its own instruction set).
#pragma once

#include <cstdint>

namespace itersolve::kernels {

// Rows [row_begin, row_end) of one sweep over the columns [col_begin,
// col_end):
//
//   x = B(i) / D(i)                   single precision, when col_begin == 0
//   x = x - (v(j) * A(i,j)) / D(i)   col_begin <= j < col_end, j != i, ascending
//
// each correction rounded as `corrected` does; out[i - row_begin] = x.
// A is n x n row-major, D holds the diagonal elements.  The diagonal column
// is skipped only where it falls inside the columns; then row_begin must be
// a multiple of 8, so that each group of 8 rows meets its diagonal in one
// aligned block of 8 columns.  col_begin is a multiple of 8.
//
// A sweep may be taken in pieces of columns: with `state` set, x starts from
// state[i - row_begin] (unless col_begin is 0) and ends there, and out is
// not written; state holds single-precision values widened to double.
struct RowSweep {
    const float* A;
    std::int64_t n;
    const float* v;
    const float* D;
    const float* B;
    std::int64_t row_begin;
    std::int64_t row_end;
    std::int64_t col_end;
    float* out;
    std::int64_t col_begin = 0;
    double* state = nullptr;
};

using RowSweepFn = void (*)(const RowSweep&);

// q[t] = double(a[t] * v[t]) / double(d), the product rounded to single
// precision first: the quotients of one row's corrections, which do not
// depend on the value being corrected.
using QuotientsFn = void (*)(const float* a, const float* v, float d, std::int64_t count, double* q);

// One row's dependent chain, x = x - q[t] for t = 0..count-1 (see
// corrected_chain), while the quotients of the next row are formed
// alongside: next_q[t] = double(a[t] * v[t]) / double(d) for t <
// next_count.  The quotients do not depend on the chain, so they cost
// little more than the chain alone.  Returns the chain's final value.
//
// With `side` set, a piece of a row sweep is advanced alongside as well, 16
// columns per 32 links, up to side_end: side->col_begin moves on as columns
// are done (see RowSweep::state).
using ChainAheadFn = double (*)(double x, const double* q, std::int64_t count, const float* a, const float* v,
                                float d, std::int64_t next_count, double* next_q, RowSweep* side,
                                std::int64_t side_end);

struct KernelSet {
    RowSweepFn row_sweep;
    QuotientsFn quotients;
    ChainAheadFn chain_ahead;
};

void row_sweep_portable(const RowSweep& s);
void quotients_portable(const float* a, const float* v, float d, std::int64_t count, double* q);
double chain_ahead_portable(double x, const double* q, std::int64_t count, const float* a, const float* v, float d,
                            std::int64_t next_count, double* next_q, RowSweep* side, std::int64_t side_end);
void row_sweep_avx2(const RowSweep& s);
void quotients_avx2(const float* a, const float* v, float d, std::int64_t count, double* q);
double chain_ahead_avx2(double x, const double* q, std::int64_t count, const float* a, const float* v, float d,
                        std::int64_t next_count, double* next_q, RowSweep* side, std::int64_t side_end);
void row_sweep_avx512(const RowSweep& s);
void quotients_avx512(const float* a, const float* v, float d, std::int64_t count, double* q);
double chain_ahead_avx512(double x, const double* q, std::int64_t count, const float* a, const float* v, float d,
                          std::int64_t next_count, double* next_q, RowSweep* side, std::int64_t side_end);

const KernelSet& active_kernels();

// The helpers below are compiled into each kernel file with that file's
// instruction set.  They have internal linkage so that each file keeps its
// own copy: a shared inline copy could be taken by the linker from the
// AVX-512 file and then run on a processor without AVX-512.
namespace {

// The dependent chain of one row: x = x - q[t] for t = 0..count-1, each
// difference taken in double precision and rounded to single precision
// before the next.  x holds a single-precision value.
inline double corrected_chain(double x, const double* q, std::int64_t count) {
    for (std::int64_t t = 0; t < count; ++t) x = static_cast<double>(static_cast<float>(x - q[t]));
    return x;
}

// chain_ahead (see ChainAheadFn) over one path's quotient and row-sweep
// kernels: per 32 links of the chain, the next row's next 32 quotients and
// 16 columns of the side sweep, then the rest of the quotients after the
// chain.
template <QuotientsFn Quotients, RowSweepFn Sweep>
double chain_ahead_with(double x, const double* q, std::int64_t count, const float* a, const float* v, float d,
                        std::int64_t next_count, double* next_q, RowSweep* side, std::int64_t side_end) {
    std::int64_t done = 0;
    std::int64_t t = 0;
    for (; t + 32 <= count; t += 32) {
        if (done + 32 <= next_count) {
            Quotients(a + done, v + done, d, 32, next_q + done);
            done += 32;
        }
        if (side && side->col_begin < side_end) {
            RowSweep piece = *side;
            piece.col_end = side->col_begin + 16 < side_end ? side->col_begin + 16 : side_end;
            Sweep(piece);
            side->col_begin = piece.col_end;
        }
        x = corrected_chain(x, q + t, 32);
    }
    x = corrected_chain(x, q + t, count - t);
    if (done < next_count) Quotients(a + done, v + done, d, next_count - done, next_q + done);
    return x;
}

}  // namespace

}  // namespace itersolve::kernels
