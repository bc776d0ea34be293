#include "checks/check_plain.hpp"

#include <algorithm>
#include <cmath>

#include "recio/run_stop.hpp"

namespace itersolve {

void check_plain(RecordWriter& console, Memory& memory, const float* A, std::int32_t N, CheckKind kind) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    RealArray SCALED, ROWDIFF;
    if (kind == CheckKind::full) {
        SCALED = allocate_or_stop(memory, n, n);
        ROWDIFF = allocate_or_stop(memory, n);
    }
    for (std::int64_t i = 0; i < n; ++i) {
        const float d = A[i * n + i];
        if (!(d < 0.0f || d > 0.0f)) stop_run("Please ensure non-zero diagonals.");
    }
    if (kind == CheckKind::full) {
        for (std::int64_t i = 0; i < n; ++i) {
            float largest = 0.0f, SCALE = 0.0f;
            for (std::int64_t j = 0; j < n; ++j) {
                if (std::fabs(A[i * n + j]) > largest) {
                    largest = std::fabs(A[i * n + j]);
                    SCALE = A[i * n + j];
                }
            }
            for (std::int64_t j = 0; j < n; ++j) SCALED[i * n + j] = A[i * n + j] / SCALE;
        }
        const float threshold = 1.0e-6f;
        for (std::int64_t i = 0; i + 1 < n; ++i) {
            for (std::int64_t j = i + 1; j < n; ++j) {
                std::int64_t agreeing = 0;
                for (std::int64_t l = 0; l < n; ++l) {
                    ROWDIFF[l] = SCALED[i * n + l] - SCALED[j * n + l];
                    if (!(std::fabs(ROWDIFF[l]) >= threshold)) ++agreeing;
                }
                if (agreeing == n) stop_run("No unique solution.");
            }
        }
    }
    for (std::int64_t i = 0; i < n; ++i) {
        float off_diagonal = 0.0f;
        for (std::int64_t j = 0; j < n; ++j)
            if (j != i) off_diagonal = off_diagonal + std::fabs(A[i * n + j]);
        if (!(std::fabs(A[i * n + i]) >= off_diagonal)) {
            write_free(console, {"Matrix A is not diagonally dominant."});
            write_free(console, {"Thus solution obtained may be erroneous."});
            return;
        }
    }
}

}  // namespace itersolve
