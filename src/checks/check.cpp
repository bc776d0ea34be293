#include "checks/check.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "recio/run_stop.hpp"

namespace itersolve {
namespace {

// Step 1: every diagonal element must compare unequal to zero (NaN fails).
void require_nonzero_diagonal(const float* A, std::int64_t n) {
    for (std::int64_t i = 0; i < n; ++i) {
        const float d = A[i * n + i];
        if (!(d < 0.0f || d > 0.0f)) stop_run("Please ensure non-zero diagonals.");
    }
}

// Step 2: the first element of largest magnitude, with its sign.  Step 1 has
// passed, so the row holds a non-zero element and the scale is never zero.
// The largest magnitude is found first (sixteen running maxima, so the
// comparisons do not wait on each other; a NaN never replaces a maximum,
// as in a single pass), then its first occurrence gives the sign.
float row_scale(const float* row, std::int64_t n) {
    constexpr int kLanes = 16;
    float lane_max[kLanes] = {};
    std::int64_t j = 0;
    for (; j + kLanes <= n; j += kLanes)
        for (int l = 0; l < kLanes; ++l) {
            const float m = std::fabs(row[j + l]);
            lane_max[l] = m > lane_max[l] ? m : lane_max[l];
        }
    float largest = 0.0f;
    for (float m : lane_max) largest = m > largest ? m : largest;
    for (; j < n; ++j) largest = std::fabs(row[j]) > largest ? std::fabs(row[j]) : largest;
    for (j = 0; j < n; ++j)
        if (std::fabs(row[j]) == largest) return row[j];
    return 0.0f;
}

// Steps 2 and 3.  A pair of rows ends the run only if its scaled rows agree
// in every column, so a pair that disagrees in any one column is settled by
// that column alone.  The first column of every scaled row is formed up
// front and compares all pairs in one row-ordered pass; only a pair that
// agrees there needs its other columns, and only a pair that agrees in its
// first 16 has its two rows scaled in full into SCALED (each row once).
// Every scaled value is the same single-precision quotient the full scaling
// would store, so the findings are exactly those of comparing every column
// of every pair.
void require_no_proportional_rows(RealArray& SCALED, RealArray& ROWDIFF, const float* A, std::int64_t n) {
    if (n < 2) return;
    std::vector<float> scale(static_cast<std::size_t>(n)), first(static_cast<std::size_t>(n));
    std::vector<char> scaled_in_full(static_cast<std::size_t>(n), 0);
    for (std::int64_t i = 0; i < n; ++i) {
        scale[static_cast<std::size_t>(i)] = row_scale(A + i * n, n);
        first[static_cast<std::size_t>(i)] = A[i * n] / scale[static_cast<std::size_t>(i)];
    }
    auto scaled_row = [&](std::int64_t i) {
        float* out = SCALED.data() + i * n;
        if (!scaled_in_full[static_cast<std::size_t>(i)]) {
            const float* row = A + i * n;
            const float s = scale[static_cast<std::size_t>(i)];
            for (std::int64_t l = 0; l < n; ++l) out[l] = row[l] / s;
            scaled_in_full[static_cast<std::size_t>(i)] = 1;
        }
        return out;
    };
    const float threshold = 1.0e-6f;
    auto agree = [threshold](float a, float b) { return !(std::fabs(a - b) >= threshold); };
    // The rest of a pair whose first columns agree.  Its next few columns
    // are scaled on the spot (most such pairs part there, and scaling their
    // rows in full would touch every page of SCALED); a pair that still
    // agrees goes on through the rows scaled in full.
    constexpr std::int64_t kOnTheSpot = 16;
    auto compare_in_full = [&](std::int64_t i, std::int64_t j) {
        const float* ai = A + i * n;
        const float* aj = A + j * n;
        const float si = scale[static_cast<std::size_t>(i)], sj = scale[static_cast<std::size_t>(j)];
        const std::int64_t spot = std::min(n, kOnTheSpot);
        for (std::int64_t l = 1; l < spot; ++l) {
            ROWDIFF[l] = ai[l] / si - aj[l] / sj;
            if (std::fabs(ROWDIFF[l]) >= threshold) return;
        }
        const float* full_i = scaled_row(i);
        const float* full_j = scaled_row(j);
        for (std::int64_t l = spot; l < n; ++l) {
            ROWDIFF[l] = full_i[l] - full_j[l];
            if (std::fabs(ROWDIFF[l]) >= threshold) return;
        }
        stop_run("No unique solution.");
    };
    constexpr int kLanes = 16;
    for (std::int64_t i = 0; i + 1 < n; ++i) {
        const float fi = first[static_cast<std::size_t>(i)];
        const float* fj = first.data();
        std::int64_t j = i + 1;
        for (; j + kLanes <= n; j += kLanes) {
            bool any = false;
            for (int l = 0; l < kLanes; ++l) any |= agree(fi, fj[j + l]);
            if (!any) continue;
            for (int l = 0; l < kLanes; ++l)
                if (agree(fi, fj[j + l])) compare_in_full(i, j + l);
        }
        for (; j < n; ++j)
            if (agree(fi, fj[j])) compare_in_full(i, j);
    }
}

// Step 4.  Eight rows are summed side by side, each in its own column
// order, so the additions of one row do not wait on each other's; the rows
// are then judged in order and the first that fails warns.
void warn_unless_dominant(RecordWriter& console, const float* A, std::int64_t n) {
    constexpr int kRows = 8;
    for (std::int64_t i0 = 0; i0 < n; i0 += kRows) {
        const int m = static_cast<int>(std::min<std::int64_t>(kRows, n - i0));
        float sum[kRows] = {};
        const float* row[kRows];
        for (int r = 0; r < kRows; ++r) row[r] = A + (i0 + (r < m ? r : 0)) * n;
        auto add_columns = [&](std::int64_t c0, std::int64_t c1) {
            for (std::int64_t j = c0; j < c1; ++j)
                for (int r = 0; r < kRows; ++r) sum[r] = sum[r] + std::fabs(row[r][j]);
        };
        const std::int64_t diag_end = std::min(n, i0 + kRows);
        add_columns(0, i0);
        for (std::int64_t j = i0; j < diag_end; ++j)
            for (int r = 0; r < kRows; ++r)
                if (j != i0 + r) sum[r] = sum[r] + std::fabs(row[r][j]);
        add_columns(diag_end, n);
        for (int r = 0; r < m; ++r) {
            if (!(std::fabs(row[r][i0 + r]) >= sum[r])) {
                write_free(console, {"Matrix A is not diagonally dominant."});
                write_free(console, {"Thus solution obtained may be erroneous."});
                return;
            }
        }
    }
}

}  // namespace

void check(RecordWriter& console, Memory& memory, const float* A, std::int32_t N, CheckKind kind) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    // The full form's scratch arrays are obtained on entry, before any step.
    RealArray SCALED, ROWDIFF;
    if (kind == CheckKind::full) {
        SCALED = allocate_or_stop(memory, n, n);
        ROWDIFF = allocate_or_stop(memory, n);
    }
    require_nonzero_diagonal(A, n);
    if (kind == CheckKind::full) require_no_proportional_rows(SCALED, ROWDIFF, A, n);
    warn_unless_dominant(console, A, n);
}

}  // namespace itersolve
