// Screening of the coefficient matrix: one table of matrices with the outcome
// of the full and of the reduced form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "checks/check.hpp"
#include "recio/run_stop.hpp"
#include "recio/streams.hpp"

namespace itersolve {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kThreshold = 1.0e-6f;

enum class Outcome { passes, warns, zero_diagonal, no_unique_solution };

const char* const kWarning =
    "Matrix A is not diagonally dominant.\n"
    "Thus solution obtained may be erroneous.\n";

struct ScreeningCase {
    const char* name;
    std::int32_t N;
    std::vector<float> A;  // row by row
    Outcome full;
    Outcome reduced;
};

void PrintTo(const ScreeningCase& c, std::ostream* os) { *os << c.name; }

const std::vector<ScreeningCase>& screening_cases() {
    using O = Outcome;
    static const std::vector<ScreeningCase> cases = {
        {"order_one_nonzero", 1, {-7}, O::passes, O::passes},
        {"order_one_zero", 1, {0}, O::zero_diagonal, O::zero_diagonal},
        {"order_zero", 0, {}, O::passes, O::passes},
        {"order_negative", -3, {}, O::passes, O::passes},
        {"negative_zero_diagonal", 2, {-0.0f, 1, 1, 3}, O::zero_diagonal, O::zero_diagonal},
        {"nan_diagonal", 2, {4, 1, 1, kNaN}, O::zero_diagonal, O::zero_diagonal},
        // The whole diagonal is examined before any pair of rows or any sum.
        {"zero_last_diagonal_after_proportional_rows", 3, {1, 2, 3, 2, 4, 6, 1, 1, 0}, O::zero_diagonal,
         O::zero_diagonal},
        {"row_of_zeros", 2, {4, 1, 0, 0}, O::zero_diagonal, O::zero_diagonal},
        // Proportional and not dominant: the proportional rows win.
        {"second_row_twice_the_first", 2, {1, 2, 2, 4}, O::no_unique_solution, O::warns},
        {"identical_rows", 3, {5, 1, 1, 1, 5, 1, 5, 1, 1}, O::no_unique_solution, O::warns},
        {"rows_agreeing_in_all_but_one_column", 3, {4, 1, 1, 8, 2, 3, 1, 1, 4}, O::warns, O::warns},
        // Rows that are negative multiples of each other scale to the same
        // row: the sign of the row's first element of largest magnitude
        // goes into its scale.
        {"negative_multiple", 2, {1, -2, -2, 4}, O::no_unique_solution, O::warns},
        {"negative_multiple_with_tied_magnitudes", 2, {2, -2, -3, 3}, O::no_unique_solution, O::passes},
        {"negative_multiple_among_three", 3, {6, 1, 2, 1, 7, 1, -3, -0.5f, -1}, O::no_unique_solution, O::warns},
        // A scaled difference of exactly the threshold disagrees; one just
        // below it agrees.
        {"difference_equal_to_threshold", 2, {1, 0, 1, kThreshold}, O::warns, O::warns},
        {"difference_just_below_threshold", 2, {1, 0, 1, std::nextafter(kThreshold, 0.0f)}, O::no_unique_solution,
         O::warns},
        {"negative_diagonal_dominates", 2, {-4, 1, 1, -4}, O::passes, O::passes},
        {"dominance_with_equality", 3, {2, 1, 1, 1, 3, 1, 1, 1, 2}, O::passes, O::passes},
        {"opposite_signs_do_not_cancel", 3, {4, 3, -3, 0, 5, 1, 0, 1, 5}, O::warns, O::warns},
        {"two_rows_fail_one_warning", 3, {1, 3, 0, 0, 1, 2, 0, 0, 1}, O::warns, O::warns},
        {"only_the_last_row_fails", 3, {5, 1, 1, 1, 5, 1, 2, 2, 3.9f}, O::warns, O::warns},
        // The off-diagonal sum is rounded to single precision after each
        // addition: 0.5 + 2^-25 rounds back to 0.5 (a tie, to even) three
        // times, so |0.5| passes; the exact sum, or one rounded once at the
        // end, would exceed it.
        {"off_diagonal_sum_rounded_after_each_addition", 5,
         {0.5f, 0.5f, 0x1p-25f, 0x1p-25f, 0x1p-25f, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1},
         O::passes, O::passes},
        // A value that is not a number off the diagonal: the row is not
        // dominant, and in its column the row agrees with every other row.
        {"nan_off_diagonal", 2, {4, kNaN, 1, 3}, O::warns, O::warns},
        {"nan_off_diagonal_makes_column_agree", 3, {4, kNaN, 1, 8, 5, 2, 1, 1, 4}, O::no_unique_solution, O::warns},
    };
    return cases;
}

struct Screened {
    std::string console;
    std::string stop;  // the stop message, empty when check returned
};

Screened screen(const ScreeningCase& c, CheckKind kind, long memory_fail_at = 0) {
    Screened s;
    MemorySink sink(s.console);
    RecordWriter console(sink, "console output");
    Memory memory;
    memory.fail_at = memory_fail_at;
    try {
        check(console, memory, c.A.empty() ? nullptr : c.A.data(), c.N, kind);
    } catch (const RunStop& stop) {
        s.stop = stop.message;
    }
    console.flush();
    return s;
}

Screened expected(Outcome o) {
    switch (o) {
        case Outcome::passes: return {"", ""};
        case Outcome::warns: return {kWarning, ""};
        case Outcome::zero_diagonal: return {"", "Please ensure non-zero diagonals."};
        case Outcome::no_unique_solution: return {"", "No unique solution."};
    }
    return {};
}

class Screening : public ::testing::TestWithParam<ScreeningCase> {};

TEST_P(Screening, FullAndReducedFormsGiveTheirOutcome) {
    const ScreeningCase& c = GetParam();
    ASSERT_EQ(c.A.size(), c.N > 0 ? static_cast<std::size_t>(c.N) * static_cast<std::size_t>(c.N) : 0u);
    for (auto [kind, outcome] : {std::pair{CheckKind::full, c.full}, std::pair{CheckKind::reduced, c.reduced}}) {
        SCOPED_TRACE(kind == CheckKind::full ? "full form" : "reduced form");
        const Screened got = screen(c, kind);
        const Screened want = expected(outcome);
        EXPECT_EQ(got.stop, want.stop);
        EXPECT_EQ(got.console, want.console);
    }
}

INSTANTIATE_TEST_SUITE_P(Matrices, Screening, ::testing::ValuesIn(screening_cases()),
                         [](const ::testing::TestParamInfo<ScreeningCase>& i) { return std::string(i.param.name); });

// The full form obtains its scratch arrays on entry; when they cannot be had
// the run ends before any step, even for a matrix that would fail one.
TEST(Screening, FullFormEndsTheRunWhenItsScratchArraysCannotBeHad) {
    const ScreeningCase zero_diagonal{"", 2, {0, 1, 1, 3}, Outcome::passes, Outcome::passes};
    for (long fail_at : {1L, 2L}) {
        const Screened got = screen(zero_diagonal, CheckKind::full, fail_at);
        EXPECT_EQ(got.stop, "Cannot allocate memory.") << "allocation " << fail_at;
        EXPECT_EQ(got.console, "");
    }
    // The reduced form needs no memory at all.
    EXPECT_EQ(screen(zero_diagonal, CheckKind::reduced, 1).stop, "Please ensure non-zero diagonals.");
}

}  // namespace
}  // namespace itersolve
