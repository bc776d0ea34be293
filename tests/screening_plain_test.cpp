// The screening against its plain transcription (every column of every pair
// compared, rows summed one at a time) on random matrices of several orders
// with planted findings: the console records and the way the run ends must
// be the same.
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checks/check.hpp"
#include "checks/check_plain.hpp"
#include "recio/run_stop.hpp"
#include "recio/streams.hpp"

namespace itersolve {
namespace {

using CheckFn = void (*)(RecordWriter&, Memory&, const float*, std::int32_t, CheckKind);

std::string screen(CheckFn fn, const std::vector<float>& A, std::int32_t n, CheckKind kind) {
    std::string console;
    MemorySink sink(console);
    RecordWriter w(sink, "console output");
    Memory memory;
    std::string end = "<returned>";
    try {
        fn(w, memory, A.data(), n, kind);
    } catch (const RunStop& s) {
        end = "<stopped: " + s.message + ">";
    }
    w.flush();
    return console + end;
}

enum class Plant { nothing, multiple, negative_multiple, near_threshold, nan_column, weak_row, zero_diagonal };

std::vector<float> matrix(std::int32_t n, Plant plant, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> A(static_cast<std::size_t>(n) * n);
    for (float& a : A) a = u(rng);
    auto at = [&](std::int32_t i, std::int32_t j) -> float& { return A[static_cast<std::size_t>(i) * n + j]; };
    for (std::int32_t i = 0; i < n; ++i) at(i, i) = 2.0f * static_cast<float>(n);  // dominant
    const std::int32_t p = n / 3, q = n - 1;  // the planted pair
    switch (plant) {
        case Plant::nothing: break;
        case Plant::multiple:
            for (std::int32_t j = 0; j < n; ++j) at(q, j) = 4.0f * at(p, j);
            break;
        case Plant::negative_multiple:
            for (std::int32_t j = 0; j < n; ++j) at(q, j) = -0.5f * at(p, j);
            break;
        case Plant::near_threshold:  // agree everywhere but one column, just beyond the threshold
            for (std::int32_t j = 0; j < n; ++j) at(q, j) = at(p, j);
            at(q, n / 2) = at(p, n / 2) + 2.0e-6f * static_cast<float>(n) * 2.0f;
            break;
        case Plant::nan_column:  // a NaN off the diagonal counts as agreeing
            for (std::int32_t j = 0; j < n; ++j) at(q, j) = at(p, j);
            at(q, (p + 1) % n == q ? (q + 1) % n : (p + 1) % n) = std::numeric_limits<float>::quiet_NaN();
            break;
        case Plant::weak_row: at(n / 2, n / 2) = 0.25f; break;
        case Plant::zero_diagonal: at(q, q) = -0.0f; break;
    }
    return A;
}

TEST(ScreeningAgainstPlain, SameFindingsOnRandomMatrices) {
    for (std::int32_t n : {1, 2, 3, 9, 16, 17, 40, 133}) {
        for (Plant plant : {Plant::nothing, Plant::multiple, Plant::negative_multiple, Plant::near_threshold,
                            Plant::nan_column, Plant::weak_row, Plant::zero_diagonal}) {
            const std::vector<float> A = matrix(n, plant, static_cast<unsigned>(n) * 31u + static_cast<unsigned>(plant));
            for (CheckKind kind : {CheckKind::full, CheckKind::reduced}) {
                SCOPED_TRACE(::testing::Message() << "N = " << n << ", plant " << static_cast<int>(plant)
                                                  << (kind == CheckKind::full ? ", full" : ", reduced"));
                EXPECT_EQ(screen(check_plain, A, n, kind), screen(check, A, n, kind));
            }
        }
    }
}

TEST(ScreeningAgainstPlain, PlantedFindingsAreSeen) {
    // Guards the table above: the planted pairs and rows must give the
    // findings they were planted for.
    const std::int32_t n = 40;
    EXPECT_EQ(screen(check, matrix(n, Plant::nothing, 1), n, CheckKind::full), "<returned>");
    EXPECT_EQ(screen(check, matrix(n, Plant::multiple, 1), n, CheckKind::full), "<stopped: No unique solution.>");
    EXPECT_EQ(screen(check, matrix(n, Plant::nan_column, 1), n, CheckKind::full), "<stopped: No unique solution.>");
    const std::string warning = "Matrix A is not diagonally dominant.\nThus solution obtained may be erroneous.\n";
    // The copied row keeps the small element of its model where its own
    // diagonal is: it warns, but is not proportional.
    EXPECT_EQ(screen(check, matrix(n, Plant::near_threshold, 1), n, CheckKind::full), warning + "<returned>");
    EXPECT_EQ(screen(check, matrix(n, Plant::weak_row, 1), n, CheckKind::reduced), warning + "<returned>");
    EXPECT_EQ(screen(check, matrix(n, Plant::zero_diagonal, 1), n, CheckKind::reduced),
              "<stopped: Please ensure non-zero diagonals.>");
}

}  // namespace
}  // namespace itersolve
