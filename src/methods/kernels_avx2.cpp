// AVX2 kernels.  This file alone is compiled for AVX2; it runs only when the
// processor offers it.  The same scheme as the AVX-512 kernels (bands of
// groups of 8 rows, 8 x 8 tiles of A transposed in registers), with each
// group's 8 double-precision values held in two 4-lane vectors.
#include <immintrin.h>

#include <algorithm>

#include "methods/kernels_impl.hpp"
#include "methods/transpose8.hpp"

namespace itersolve::kernels {
namespace {

struct Lanes8 {
    __m256d lo, hi;
};

inline __m256d round_trip(__m256d v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }

// One correction of 8 rows by one column; keep_lo/keep_hi select the lanes
// that stay unchanged (a row meeting its own diagonal column).
inline void correct(Lanes8& x, const Lanes8& d, __m256 col, float vj, __m256d keep_lo, __m256d keep_hi) {
    const __m256 p = _mm256_mul_ps(col, _mm256_set1_ps(vj));
    const __m256d qlo = _mm256_div_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(p)), d.lo);
    const __m256d qhi = _mm256_div_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(p, 1)), d.hi);
    x.lo = _mm256_blendv_pd(round_trip(_mm256_sub_pd(x.lo, qlo)), x.lo, keep_lo);
    x.hi = _mm256_blendv_pd(round_trip(_mm256_sub_pd(x.hi, qhi)), x.hi, keep_hi);
}

inline void correct(Lanes8& x, const Lanes8& d, __m256 col, float vj) {
    const __m256 p = _mm256_mul_ps(col, _mm256_set1_ps(vj));
    const __m256d qlo = _mm256_div_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(p)), d.lo);
    const __m256d qhi = _mm256_div_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(p, 1)), d.hi);
    x.lo = round_trip(_mm256_sub_pd(x.lo, qlo));
    x.hi = round_trip(_mm256_sub_pd(x.hi, qhi));
}

// Lane masks: all bits set in lane t of 8.
inline __m256d lane_mask_lo(int t) {
    alignas(32) static const std::int64_t bits[8][4] = {
        {-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, -1}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    return _mm256_castsi256_pd(_mm256_load_si256(reinterpret_cast<const __m256i*>(bits[t])));
}
inline __m256d lane_mask_hi(int t) { return t >= 4 ? lane_mask_lo(t - 4) : _mm256_setzero_pd(); }

inline __m256i first_lanes(int m) {
    alignas(32) static const std::int32_t bits[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0};
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bits + 8 - m));
}

// The first m of 4 double lanes (m may lie outside 0..4).
inline __m256i wide_lanes(int m) {
    alignas(32) static const std::int64_t bits[8] = {-1, -1, -1, -1, 0, 0, 0, 0};
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bits + 4 - std::clamp(m, 0, 4)));
}

template <int G>
void band(const RowSweep& s, std::int64_t i0) {
    const std::int64_t n = s.n;
    const float* rows[G][8];
    int valid[G];
    Lanes8 x[G], d[G];
    for (int u = 0; u < G; ++u) {
        const std::int64_t g = i0 + 8 * u;
        const int m = static_cast<int>(std::clamp<std::int64_t>(s.row_end - g, 0, 8));
        valid[u] = m;
        // Lanes past the last row read a real row and divide by 1; their
        // results are never stored.
        for (int r = 0; r < 8; ++r) rows[u][r] = s.A + (r < m ? g + r : s.row_begin) * n;
        const __m256i k = first_lanes(m);
        const __m256 dv = _mm256_blendv_ps(_mm256_set1_ps(1.0f), _mm256_maskload_ps(s.D + g, k), _mm256_castsi256_ps(k));
        const __m256 xv = _mm256_div_ps(_mm256_maskload_ps(s.B + g, k), dv);
        x[u] = {_mm256_cvtps_pd(_mm256_castps256_ps128(xv)), _mm256_cvtps_pd(_mm256_extractf128_ps(xv, 1))};
        if (s.state && s.col_begin > 0) {
            const double* st = s.state + (g - s.row_begin);
            x[u] = {_mm256_maskload_pd(st, wide_lanes(m)), _mm256_maskload_pd(st + 4, wide_lanes(m - 4))};
        }
        d[u] = {_mm256_cvtps_pd(_mm256_castps256_ps128(dv)), _mm256_cvtps_pd(_mm256_extractf128_ps(dv, 1))};
    }
    const std::int64_t full = s.col_end & ~std::int64_t{7};
    for (std::int64_t c = s.col_begin; c < full; c += 8) {
        const float* vc = s.v + c;
        for (int u = 0; u < G; ++u) {
            __m256 col[8];
            for (int r = 0; r < 8; ++r) col[r] = _mm256_loadu_ps(rows[u][r] + c);
            transpose8(col);
            if (c != i0 + 8 * u) {
#pragma GCC unroll 8
                for (int t = 0; t < 8; ++t) correct(x[u], d[u], col[t], vc[t]);
            } else {
#pragma GCC unroll 8
                for (int t = 0; t < 8; ++t) correct(x[u], d[u], col[t], vc[t], lane_mask_lo(t), lane_mask_hi(t));
            }
        }
    }
    const int w = static_cast<int>(s.col_end - std::max(full, s.col_begin));
    if (w > 0) {
        const __m256i cols = first_lanes(w);
        const float* vc = s.v + full;
        for (int u = 0; u < G; ++u) {
            __m256 col[8];
            for (int r = 0; r < 8; ++r) col[r] = _mm256_maskload_ps(rows[u][r] + full, cols);
            transpose8(col);
            const bool diagonal = full == i0 + 8 * u;
            const __m256d none = _mm256_setzero_pd();
            for (int t = 0; t < w; ++t)
                correct(x[u], d[u], col[t], vc[t], diagonal ? lane_mask_lo(t) : none, diagonal ? lane_mask_hi(t) : none);
        }
    }
    for (int u = 0; u < G; ++u) {
        if (s.state) {
            double* st = s.state + (i0 + 8 * u - s.row_begin);
            _mm256_maskstore_pd(st, wide_lanes(valid[u]), x[u].lo);
            _mm256_maskstore_pd(st + 4, wide_lanes(valid[u] - 4), x[u].hi);
            continue;
        }
        const __m256 xv = _mm256_set_m128(_mm256_cvtpd_ps(x[u].hi), _mm256_cvtpd_ps(x[u].lo));
        _mm256_maskstore_ps(s.out + (i0 + 8 * u - s.row_begin), first_lanes(valid[u]), xv);
    }
}

}  // namespace

void row_sweep_avx2(const RowSweep& s) {
    std::int64_t i0 = s.row_begin;
    for (; i0 + 32 <= s.row_end; i0 += 32) band<4>(s, i0);
    const std::int64_t left = s.row_end - i0;
    if (left > 24) band<4>(s, i0);
    else if (left > 16) band<3>(s, i0);
    else if (left > 8) band<2>(s, i0);
    else if (left > 0) band<1>(s, i0);
}

namespace {
inline void quotients8(const float* a, const float* v, __m256d dd, double* q) {
    const __m256 p = _mm256_mul_ps(_mm256_loadu_ps(a), _mm256_loadu_ps(v));
    _mm256_storeu_pd(q, _mm256_div_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(p)), dd));
    _mm256_storeu_pd(q + 4, _mm256_div_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(p, 1)), dd));
}
}  // namespace

void quotients_avx2(const float* a, const float* v, float d, std::int64_t count, double* q) {
    const __m256d dd = _mm256_set1_pd(static_cast<double>(d));
    std::int64_t t = 0;
    for (; t + 8 <= count; t += 8) quotients8(a + t, v + t, dd, q + t);
    for (; t < count; ++t) q[t] = static_cast<double>(a[t] * v[t]) / static_cast<double>(d);
}

double chain_ahead_avx2(double x, const double* q, std::int64_t count, const float* a, const float* v, float d,
                        std::int64_t next_count, double* next_q, RowSweep* side, std::int64_t side_end) {
    return chain_ahead_with<quotients_avx2, row_sweep_avx2>(x, q, count, a, v, d, next_count, next_q, side, side_end);
}

}  // namespace itersolve::kernels
