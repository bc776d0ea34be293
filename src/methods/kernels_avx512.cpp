// AVX-512 kernels.  This file alone is compiled for AVX-512 (F, VL, DQ); it
// runs only when the processor offers it.
//
// A sweep takes its rows in bands of up to eight groups of 8 rows.  For each
// block of 8 columns, a group's 8 x 8 tile of A is transposed in registers,
// so that each column gives one vector of 8 products (one per row); the
// products are widened to double precision and divided by the rows' diagonal
// elements, then subtracted from the rows' values and rounded back to single
// precision, lane by lane exactly as one row's scalar correction would be.
// The eight groups' chains are independent, which hides the latency of each;
// in a whole band the next block's quotients are formed between the chains'
// steps of the current block (see pipelined_blocks).
#include <immintrin.h>

// The compiler's own conversion intrinsics start from a deliberately
// undefined vector, which its flow analysis reports as uninitialised.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <algorithm>

#include "methods/kernels_impl.hpp"
#include "methods/transpose8.hpp"

namespace itersolve::kernels {
namespace {

// The quotients of one 8 x 8 tile: q[t] = (A(i,c+t) * v(c+t)) / D(i) for the
// group's 8 rows i, one lane per row.  On the group's own diagonal block the
// lane of the row meeting its diagonal column gets +0, which leaves its
// value unchanged when subtracted.
inline void tile_quotients(const float* const (&rows)[8], std::int64_t c, int width, const float* v, __m512d d,
                           bool diagonal, __m512d (&q)[8]) {
    __m256 col[8];
    if (width == 8) {
        // Each row is its own stream through A; more streams than the
        // hardware prefetcher follows, so each row's next lines are asked
        // for explicitly, well ahead of use.
        if ((c & 15) == 0)
            for (int r = 0; r < 8; ++r) _mm_prefetch(reinterpret_cast<const char*>(rows[r] + c + 128), _MM_HINT_T0);
        for (int r = 0; r < 8; ++r) col[r] = _mm256_loadu_ps(rows[r] + c);
    } else {
        const __mmask8 cols = static_cast<__mmask8>((1u << width) - 1u);
        for (int r = 0; r < 8; ++r) col[r] = _mm256_maskz_loadu_ps(cols, rows[r] + c);
    }
    transpose8(col);
#pragma GCC unroll 8
    for (int t = 0; t < 8; ++t) {
        const __m512d p = _mm512_cvtps_pd(_mm256_mul_ps(col[t], _mm256_set1_ps(t < width ? v[c + t] : 0.0f)));
        q[t] = diagonal ? _mm512_maskz_div_pd(static_cast<__mmask8>(~(1u << t)), p, d) : _mm512_div_pd(p, d);
    }
}

// G groups of 8 rows starting at row i0.  For each block of 8 columns the
// quotients of all groups come first (independent of the values being
// corrected), then the G dependent chains advance together, one column at
// a time: x = round_to_single(x - q), every lane as the scalar correction.
template <int G>
void band(const RowSweep& s, std::int64_t i0) {
    const std::int64_t n = s.n;
    const float* rows[G][8];
    __mmask8 valid[G];
    __m512d x[G], d[G];
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int u = 0; u < G; ++u) {
        const std::int64_t g = i0 + 8 * u;
        const std::int64_t m = std::clamp<std::int64_t>(s.row_end - g, 0, 8);
        valid[u] = static_cast<__mmask8>((1u << m) - 1u);
        // Lanes past the last row read a real row and divide by 1; their
        // results are never stored.
        for (int r = 0; r < 8; ++r) rows[u][r] = s.A + (r < m ? g + r : s.row_begin) * n;
        const __m256 dv = _mm256_mask_blend_ps(valid[u], one, _mm256_maskz_loadu_ps(valid[u], s.D + g));
        const __m256 bv = _mm256_maskz_loadu_ps(valid[u], s.B + g);
        x[u] = s.state && s.col_begin > 0 ? _mm512_maskz_loadu_pd(valid[u], s.state + (g - s.row_begin))
                                          : _mm512_cvtps_pd(_mm256_div_ps(bv, dv));
        d[u] = _mm512_cvtps_pd(dv);
    }
    __m512d q[G][8];
    for (std::int64_t c = s.col_begin; c < s.col_end; c += 8) {
        const int width = static_cast<int>(std::min<std::int64_t>(8, s.col_end - c));
#pragma GCC unroll 8
        for (int u = 0; u < G; ++u) tile_quotients(rows[u], c, width, s.v, d[u], c == i0 + 8 * u, q[u]);
        for (int t = 0; t < width; ++t) {
#pragma GCC unroll 8
            for (int u = 0; u < G; ++u) x[u] = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_sub_pd(x[u], q[u][t])));
        }
    }
    for (int u = 0; u < G; ++u)
        if (s.state) _mm512_mask_storeu_pd(s.state + (i0 + 8 * u - s.row_begin), valid[u], x[u]);
        else _mm256_mask_storeu_ps(s.out + (i0 + 8 * u - s.row_begin), valid[u], _mm512_cvtpd_ps(x[u]));
}

// The quotients of one whole 8 x 8 tile: the 8 rows starting at `a` (row
// stride n) by 8 columns, as tile_quotients computes them, stored to q
// column by column (q + 8t holds column t's 8 lanes).  kDiagonal: the tile
// is the group's own diagonal block.
template <bool kDiagonal>
inline void whole_tile_quotients(const float* a, std::int64_t n, const float* v, __m512d d, bool prefetch,
                                 double* q) {
    __m256 col[8];
    if (prefetch)
        for (int k = 0; k < 8; ++k) _mm_prefetch(reinterpret_cast<const char*>(a + k * n + 32), _MM_HINT_T0);
    for (int k = 0; k < 8; ++k) col[k] = _mm256_loadu_ps(a + k * n);
    transpose8(col);
    for (int t = 0; t < 8; ++t) {
        const __m512d p = _mm512_cvtps_pd(_mm256_mul_ps(col[t], _mm256_set1_ps(v[t])));
        _mm512_store_pd(q + 8 * t, kDiagonal ? _mm512_maskz_div_pd(static_cast<__mmask8>(~(1u << t)), p, d)
                                             : _mm512_div_pd(p, d));
    }
}

// The columns c.. past the pipelined blocks of a band of G whole groups.
template <int G>
inline void finish_band(const RowSweep& s, std::int64_t i0, std::int64_t c, const __m512d (&d)[G],
                        __m512d (&x)[G]) {
    for (; c < s.col_end; c += 8) {
        const int width = static_cast<int>(std::min<std::int64_t>(8, s.col_end - c));
        const float* rows[8];
        for (int u = 0; u < G; ++u) {
            for (int k = 0; k < 8; ++k) rows[k] = s.A + (i0 + 8 * u + k) * s.n;
            __m512d q[8];
            tile_quotients(rows, c, width, s.v, d[u], c == i0 + 8 * u, q);
            for (int t = 0; t < width; ++t) x[u] = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_sub_pd(x[u], q[t])));
        }
    }
}

// The whole blocks of W columns [0, whole_end) of a band of 8 whole groups
// of rows from row i0, advancing the groups' values xs.
//
// Software-pipelined: while group u's quotients of the next block of
// columns are formed, the eight chains take their steps for the block's
// columns u W/8 to (u + 1) W/8 - 1.  A chain's step (subtract, round,
// widen) has a long latency; spread between independent quotient work, the
// steps never hold the processor up, where a block's steps taken all
// together would.  (Kept apart from whole_band, over plain arguments, the
// loop keeps its pointers in registers.)
template <int W>
    requires(W == 8 || W == 16)
void pipelined_blocks(const float* A, std::int64_t n, const float* v, std::int64_t i0, std::int64_t whole_end,
                      const __m512d* d, __m512d* xs) {
    constexpr int G = 8;
    __m512d x[G];
    for (int u = 0; u < G; ++u) x[u] = xs[u];
    const float* const a = A + i0 * n;
    // Group u's tile quotients of the block at column c go to q[b][u], b
    // alternating from block to block.
    alignas(64) double q[2][G][8 * W];
    // Rows' next lines are asked for every other block of 8 columns; in
    // blocks of 16, by both halves (measured: the second request is not
    // wasted when the rows crowd the cache's sets).
    const auto tile = [&](std::int64_t c, int u, bool prefetch, double* out) {
        if (c == i0 + 8 * u) whole_tile_quotients<true>(a + 8 * u * n + c, n, v + c, d[u], prefetch, out);
        else whole_tile_quotients<false>(a + 8 * u * n + c, n, v + c, d[u], prefetch, out);
    };
    const auto quotients = [&](std::int64_t c, int u, double* out) {
        const bool prefetch = (c & 15) == 0;
        tile(c, u, prefetch, out);
        if constexpr (W == 16) tile(c + 8, u, prefetch, out + 64);
    };
    // Column t of the current block for every chain.
    const auto step = [&](const double* block, int t) {
        for (int w = 0; w < G; ++w)
            x[w] = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_sub_pd(x[w], _mm512_load_pd(block + w * 8 * W + 8 * t))));
    };
    if (whole_end > 0)
        for (int u = 0; u < G; ++u) quotients(0, u, q[0][u]);
    int b = 0;
    for (std::int64_t c = 0; c < whole_end; c += W) {
        const bool more = c + W < whole_end;
        for (int u = 0; u < G; ++u) {
            if (more) quotients(c + W, u, q[b ^ 1][u]);
            step(q[b][0], u * W / 8);
            if constexpr (W == 16) step(q[b][0], 2 * u + 1);
        }
        b ^= 1;
    }
    for (int u = 0; u < G; ++u) xs[u] = x[u];
}

// band<8> for its common case: 64 real rows, the columns in whole blocks of
// 8 but for a last, partial block, and no state carried in.
void whole_band(const RowSweep& s, std::int64_t i0) {
    constexpr int G = 8;
    __m512d x[G], d[G];
    for (int u = 0; u < G; ++u) {
        const __m256 dv = _mm256_loadu_ps(s.D + i0 + 8 * u);
        x[u] = _mm512_cvtps_pd(_mm256_div_ps(_mm256_loadu_ps(s.B + i0 + 8 * u), dv));
        d[u] = _mm512_cvtps_pd(dv);
    }
    // With a row stride of a multiple of 1 KiB the band's 64 rows fall on at
    // most 4 sets of the first-level cache, too few ways for them all, and a
    // line would be gone before its second block of 8 columns is read: then
    // blocks of 16 columns take each line whole.
    std::int64_t whole_end;
    if (s.n % 256 == 0) {
        whole_end = s.col_end / 16 * 16;
        pipelined_blocks<16>(s.A, s.n, s.v, i0, whole_end, d, x);
    } else {
        whole_end = s.col_end / 8 * 8;
        pipelined_blocks<8>(s.A, s.n, s.v, i0, whole_end, d, x);
    }
    finish_band(s, i0, whole_end, d, x);
    for (int u = 0; u < G; ++u) _mm256_storeu_ps(s.out + (i0 + 8 * u - s.row_begin), _mm512_cvtpd_ps(x[u]));
}

}  // namespace

void row_sweep_avx512(const RowSweep& s) {
    std::int64_t i0 = s.row_begin;
    if (!s.state && s.col_begin == 0)
        for (; i0 + 64 <= s.row_end; i0 += 64) whole_band(s, i0);
    for (; i0 + 64 <= s.row_end; i0 += 64) band<8>(s, i0);
    const std::int64_t left = s.row_end - i0;
    if (left > 32) band<8>(s, i0);
    else if (left > 16) band<4>(s, i0);
    else if (left > 8) band<2>(s, i0);
    else if (left > 0) band<1>(s, i0);
}

namespace {
inline void quotients16(const float* a, const float* v, __m512d dd, double* q) {
    const __m512 p = _mm512_mul_ps(_mm512_loadu_ps(a), _mm512_loadu_ps(v));
    _mm512_storeu_pd(q, _mm512_div_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(p)), dd));
    _mm512_storeu_pd(q + 8, _mm512_div_pd(_mm512_cvtps_pd(_mm512_extractf32x8_ps(p, 1)), dd));
}
}  // namespace

void quotients_avx512(const float* a, const float* v, float d, std::int64_t count, double* q) {
    const __m512d dd = _mm512_set1_pd(static_cast<double>(d));
    std::int64_t t = 0;
    for (; t + 16 <= count; t += 16) quotients16(a + t, v + t, dd, q + t);
    for (; t < count; t += 8) {
        const int m = static_cast<int>(std::min<std::int64_t>(8, count - t));
        const __mmask8 k = static_cast<__mmask8>((1u << m) - 1u);
        const __m256 p = _mm256_mul_ps(_mm256_maskz_loadu_ps(k, a + t), _mm256_maskz_loadu_ps(k, v + t));
        _mm512_mask_storeu_pd(q + t, k, _mm512_div_pd(_mm512_cvtps_pd(p), dd));
    }
}

namespace {

// A row sweep taken one 8 x 8 tile at a time between links of a chain (see
// chain_ahead): its rows' values live in x, its next column block is c.
struct SideSweep {
    static constexpr int kGroups = 4;
    const float* rows[kGroups][8];
    __m512d x[kGroups], d[kGroups];
    __mmask8 valid[kGroups];
    int groups = 0;
    int u = 0;  // next group of column block c
    std::int64_t c = 0;

    explicit SideSweep(const RowSweep& s) {
        c = s.col_begin;
        const __m256 one = _mm256_set1_ps(1.0f);
        groups = static_cast<int>(std::min<std::int64_t>(kGroups, (s.row_end - s.row_begin + 7) / 8));
        for (int g = 0; g < groups; ++g) {
            const std::int64_t first = s.row_begin + 8 * g;
            const std::int64_t m = std::clamp<std::int64_t>(s.row_end - first, 0, 8);
            valid[g] = static_cast<__mmask8>((1u << m) - 1u);
            for (int r = 0; r < 8; ++r) rows[g][r] = s.A + (r < m ? first + r : s.row_begin) * s.n;
            const __m256 dv = _mm256_mask_blend_ps(valid[g], one, _mm256_maskz_loadu_ps(valid[g], s.D + first));
            d[g] = _mm512_cvtps_pd(dv);
            x[g] = c > 0 ? _mm512_maskz_loadu_pd(valid[g], s.state + 8 * g)
                         : _mm512_cvtps_pd(_mm256_div_ps(_mm256_maskz_loadu_ps(valid[g], s.B + first), dv));
        }
    }
    // One tile: group u by the columns c..c+7.
    void tile(const float* v) {
        __m512d q[8];
        tile_quotients(rows[u], c, 8, v, d[u], false, q);
        __m512d xu = x[u];
#pragma GCC unroll 8
        for (int t = 0; t < 8; ++t) xu = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_sub_pd(xu, q[t])));
        x[u] = xu;
        if (++u == groups) {
            u = 0;
            c += 8;
        }
    }
    void save(RowSweep& s, const float* v) {
        while (u != 0) tile(v);  // every group up to the same column
        for (int g = 0; g < groups; ++g) _mm512_mask_storeu_pd(s.state + 8 * g, valid[g], x[g]);
        s.col_begin = c;
    }
};

}  // namespace

// Every 16 links of the chain, one tile of the side sweep; every 32, 32 of
// the next row's quotients.  Neither waits on the chain, so both fill the
// cycles in which each link waits on the last (a tile every 8 links crowds
// the chain's own conversions and measured slower).
double chain_ahead_avx512(double x, const double* q, std::int64_t count, const float* a, const float* v, float d,
                          std::int64_t next_count, double* next_q, RowSweep* side, std::int64_t side_end) {
    const __m512d dd = _mm512_set1_pd(static_cast<double>(d));
    std::int64_t done = 0;
    std::int64_t t = 0;
    const bool with_side = side && side->col_begin < side_end && side->row_end - side->row_begin <= 32;
    if (with_side) {
        SideSweep ss(*side);
        for (; t + 8 <= count; t += 8) {
            if ((t & 31) == 0 && done + 32 <= next_count) {
                quotients16(a + done, v + done, dd, next_q + done);
                quotients16(a + done + 16, v + done + 16, dd, next_q + done + 16);
                done += 32;
            }
            if ((t & 15) == 0 && ss.c < side_end) ss.tile(side->v);
            x = corrected_chain(x, q + t, 8);
        }
        ss.save(*side, side->v);
    } else {
        for (; t + 32 <= count; t += 32) {
            if (done + 32 <= next_count) {
                quotients16(a + done, v + done, dd, next_q + done);
                quotients16(a + done + 16, v + done + 16, dd, next_q + done + 16);
                done += 32;
            }
            x = corrected_chain(x, q + t, 32);
        }
    }
    x = corrected_chain(x, q + t, count - t);
    if (done < next_count) quotients_avx512(a + done, v + done, d, next_count - done, next_q + done);
    return x;
}

}  // namespace itersolve::kernels
