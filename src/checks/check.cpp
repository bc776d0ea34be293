#include "checks/check.hpp"

#include <algorithm>
#include <cmath>

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
float row_scale(const float* row, std::int64_t n) {
    float largest = 0.0f, scale = 0.0f;
    for (std::int64_t j = 0; j < n; ++j) {
        if (std::fabs(row[j]) > largest) {
            largest = std::fabs(row[j]);
            scale = row[j];
        }
    }
    return scale;
}

// Steps 2 and 3.  A pair disagrees at its first column whose scaled
// difference reaches the threshold; later columns cannot change that, so the
// comparison of the pair stops there.
void require_no_proportional_rows(RealArray& SCALED, RealArray& ROWDIFF, const float* A, std::int64_t n) {
    for (std::int64_t i = 0; i < n; ++i) {
        const float* row = A + i * n;
        const float scale = row_scale(row, n);
        float* out = SCALED.data() + i * n;
        for (std::int64_t j = 0; j < n; ++j) out[j] = row[j] / scale;
    }
    const float threshold = 1.0e-6f;
    for (std::int64_t i = 0; i + 1 < n; ++i) {
        const float* si = SCALED.data() + i * n;
        for (std::int64_t j = i + 1; j < n; ++j) {
            const float* sj = SCALED.data() + j * n;
            bool all_agree = true;
            for (std::int64_t l = 0; l < n; ++l) {
                ROWDIFF[l] = si[l] - sj[l];
                if (std::fabs(ROWDIFF[l]) >= threshold) {
                    all_agree = false;
                    break;
                }
            }
            if (all_agree) stop_run("No unique solution.");
        }
    }
}

// Step 4.
void warn_unless_dominant(RecordWriter& console, const float* A, std::int64_t n) {
    for (std::int64_t i = 0; i < n; ++i) {
        const float* row = A + i * n;
        float off_diagonal = 0.0f;
        for (std::int64_t j = 0; j < n; ++j)
            if (j != i) off_diagonal = off_diagonal + std::fabs(row[j]);
        if (!(std::fabs(row[i]) >= off_diagonal)) {
            write_free(console, {"Matrix A is not diagonally dominant."});
            write_free(console, {"Thus solution obtained may be erroneous."});
            return;
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
