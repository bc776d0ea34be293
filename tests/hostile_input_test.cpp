// Data files and console answers that are malformed, truncated, oversized,
// binary, at the limits of their types or numerically extreme.  Every run
// must end as the run's rules say: a completed run, a screening stop, or one
// diagnostic line naming the source, the line and the item, with status 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "recio/arrays.hpp"
#include "test_support.hpp"

namespace itersolve::testing {
namespace {

const std::string kWarning = "Matrix A is not diagonally dominant.\nThus solution obtained may be erroneous.\n";
const std::string kAnswers = "1E-3\n20\n1\n";
const std::string kEchoes = "Tolerance = 0.001\nMaximum number of iterations = 20\n";

// The report of a completed run with TOL 0.001 and MAXIT 20: the rows of A
// and B and the iteration rows as laid out fields, written by hand.
std::string report(const std::vector<std::string>& a_rows, const std::vector<std::string>& b_rows,
                   const std::string& criterion, const std::vector<std::string>& iterations) {
    std::string r = kEchoes + "\n Matrix A =\n";
    for (const std::string& row : a_rows) r += row + "\n";
    r += "\n Matrix B =\n";
    for (const std::string& row : b_rows) r += row + "\n";
    r += "\n Using the " + criterion + "-Norm criteria,\n\n Itn\n";
    // Fewer than ten iterations: the 3-column counter is two blanks and a digit.
    for (std::size_t k = 0; k < iterations.size(); ++k) r += "   " + std::to_string(k + 1) + iterations[k] + "\n";
    return r + "\n Number of iterations performed =   " + std::to_string(iterations.size()) + "\n";
}

std::string finished(const std::string& method_record, const std::string& warning = "") {
    return kPrompts + warning + kDialogue + method_record + "\nEnd of Program\n";
}

struct Case {
    const char* name;
    std::string data;
    std::string answers;
    int status;
    std::string console;  // the whole console output
    std::string report;   // the whole report file
};

// The 1x1 system 4·x = 8 and its report under the infinity norm: x = 2 at
// iteration 1, no change at iteration 2.
const std::string kSmallReport = report({"     4.000"}, {"     8.000"}, "Infinity", {"     2.000", "     2.000"});
const std::string kSmallConsole = finished("Tolerance is satisfied after 2 iterations.");

std::vector<Case> data_file_cases() {
    const std::string long_number(5000, '1');
    return {
        {"very long line after the last value", "1\n4 " + std::string(1 << 20, 'x') + "\n8\n", kAnswers, 0,
         kSmallConsole, kSmallReport},
        {"last line without a line end", "1\n4\n8", kAnswers, 0, kSmallConsole, kSmallReport},
        {"value longer than any number", "1\n" + long_number + "\n8\n", kAnswers, 1,
         kPrompts + "Input.dat, line 2: expected a real for A(1,1), found \"" + long_number.substr(0, 40) +
             "...\" (value too long)\n",
         kEchoes},
        {"NUL byte in a value", std::string("1\n4\0\n8\n", 7), kAnswers, 1,
         kPrompts + "Input.dat, line 2: expected a real for A(1,1), found \"4\\x00\"\n", kEchoes},
        {"non-ASCII text", "1\n4\n\xc3\xa9\n", kAnswers, 1,
         kPrompts + "Input.dat, line 3: expected a real for B(1), found \"\\xc3\\xa9\"\n", kEchoes},
        {"binary file", std::string("\x7f" "ELF\x02\x01\x01\0\n\0\0", 11), kAnswers, 1,
         kPrompts + "Input.dat, line 1: expected an integer for N, found \"\\x7fELF\\x02\\x01\\x01\\x00\"\n",
         kEchoes},
        {"carriage returns only: one long record", "2\r4 1\r1 3\r1\r2\r", kAnswers, 1,
         kPrompts + "Input.dat, line 1: expected a real for A(1,1), found end of file\n", kEchoes},
        {"file ends inside a row", "2\n4 1\n1", kAnswers, 1,
         kPrompts + "Input.dat, line 3: expected a real for A(2,2), found end of file\n", kEchoes},
        {"a million empty records before a bad value", "1\n" + std::string(1000000, '\n') + "x\n", kAnswers, 1,
         kPrompts + "Input.dat, line 1000002: expected a real for A(1,1), found \"x\"\n", kEchoes},
        {"N at the 32-bit limit", "2147483647\n", kAnswers, 1, kPrompts + "Cannot allocate memory.\n", kEchoes},
        {"N beyond the 32-bit limit", "2147483648\n", kAnswers, 1,
         kPrompts + "Input.dat, line 1: expected an integer for N, found \"2147483648\" (out of range)\n", kEchoes},
        {"N at the negative 32-bit limit behaves as 0", "-2147483648\n", kAnswers, 0,
         finished("Tolerance is satisfied after 1 iterations."), report({}, {}, "Infinity", {""})},
    };
}

std::vector<Case> answer_cases() {
    const std::string data = "1\n4\n8\n";
    return {
        {"NUL byte as the tolerance", data, std::string("\0\n20\n1\n", 7), 1,
         "Please key in the tolerance required.\n"
         "console input, line 1: expected a real for TOL, found \"\\x00\"\n",
         ""},
        {"non-ASCII digit as the tolerance", data, "\xef\xbc\x91\n20\n1\n", 1,
         "Please key in the tolerance required.\n"
         "console input, line 1: expected a real for TOL, found \"\\xef\\xbc\\x91\"\n",
         ""},
        {"very long tolerance line", data, "1E-3 " + std::string(1 << 20, '#') + "\n20\n1\n", 0, kSmallConsole,
         kSmallReport},
        {"MAXIT beyond the 32-bit limit", data, "1E-3\n2147483648\n1\n", 1,
         kPrompts + "console input, line 2: expected an integer for MAXIT, found \"2147483648\" (out of range)\n",
         "Tolerance = 0.001\n"},
        {"MAXIT in exponent form", data, "1E-3\n1e3\n1\n", 1,
         kPrompts + "console input, line 2: expected an integer for MAXIT, found \"1e3\"\n", "Tolerance = 0.001\n"},
        {"MAXIT at the 32-bit limit with N = 0", "0\n", "1E-3\n2147483647\n1\n", 0,
         finished("Tolerance is satisfied after 1 iterations."),
         "Tolerance = 0.001\nMaximum number of iterations = 2147483647\n\n Matrix A =\n\n Matrix B =\n"
         "\n Using the Infinity-Norm criteria,\n\n Itn\n   1\n\n Number of iterations performed =   1\n"},
        {"criterion answer of NUL and non-ASCII bytes, then 1", data, std::string("1E-3\n20\n\0\n\xc3\xa9\n1\n", 15),
         0,
         kPrompts + kDialogue + "That is not a valid option.\n" + kDialogue + "That is not a valid option.\n" +
             kDialogue + "Tolerance is satisfied after 2 iterations.\nEnd of Program\n",
         kSmallReport},
        {"criterion answer far longer than any number, starting with 1", data,
         "1E-3\n20\n1" + std::string(10000, 'x') + "\n", 0, kSmallConsole, kSmallReport},
    };
}

// Values at the edges of single precision, worked through the screening and
// the Gauss-Seidel arithmetic by hand.
std::vector<Case> numeric_cases() {
    const std::string euclid = "1E-3\n20\n2\n";
    return {
        // x = FLT_MAX / FLT_MAX = 1; the system's values fill their fields
        // with asterisks.
        {"largest single", "1\n3.4028235e38\n3.4028235e38\n", kAnswers, 0, kSmallConsole,
         report({"**********"}, {"**********"}, "Infinity", {"     1.000", "     1.000"})},
        {"beyond the largest single", "1\n1\n3.4028236e38\n", kAnswers, 1,
         kPrompts + "Input.dat, line 3: expected a real for B(1), found \"3.4028236e38\" (out of range)\n", kEchoes},
        // Both round to the smallest subnormal, 2^-149; their quotient is 1.
        {"smallest subnormal", "1\n1.4e-45\n1.4e-45\n", kAnswers, 0, kSmallConsole,
         report({"     0.000"}, {"     0.000"}, "Infinity", {"     1.000", "     1.000"})},
        // Below half the smallest subnormal a value reads as zero.
        {"diagonal that underflows to zero", "1\n1e-50\n1\n", kAnswers, 1,
         kPrompts + "Please ensure non-zero diagonals.\n",
         kEchoes + "\n Matrix A =\n     0.000\n\n Matrix B =\n     1.000\n"},
        // -0/2 = -0.0, shown with its sign; the change 0 - (-0) = 0 is below
        // TOL at once.
        {"negative zero", "1\n2\n-0.0\n", kAnswers, 0, finished("Tolerance is satisfied after 1 iterations."),
         report({"     2.000"}, {"    -0.000"}, "Infinity", {"    -0.000"})},
        // A(1,2) = NaN: row 1 is not dominant; every component becomes NaN at
        // once, so no change is a number and the infinity-norm test passes.
        {"NaN off the diagonal", "2\n4 NaN\n1 3\n1\n2\n", kAnswers, 0,
         finished("Tolerance is satisfied after 1 iterations.", kWarning),
         report({"     4.000       NaN", "     1.000     3.000"}, {"     1.000", "     2.000"}, "Infinity",
                {"       NaN       NaN"})},
        // x = Inf; the change is Inf at iteration 1 and Inf - Inf = NaN at 2,
        // which passes the Euclidean test.
        {"infinity in B", "1\n2\nInf\n", euclid, 0, finished("Tolerance is satisfied after 2 iterations."),
         report({"     2.000"}, {"  Infinity"}, "Euclidean", {"  Infinity", "  Infinity"})},
        // 1E30·1E30 overflows: iterate 1 is (1E30, -Inf), iterate 2 (Inf,
        // -Inf) with the change (-Inf, NaN); the Euclidean test passes there,
        // the infinity norm (Inf) not until iterate 3 whose change is all NaN.
        {"diverging to overflow, infinity norm", "2\n1 1e30\n1e30 1\n1e30\n1e30\n", kAnswers, 0,
         finished("Tolerance is satisfied after 3 iterations.", kWarning),
         report({"     1.000**********", "**********     1.000"}, {"**********", "**********"}, "Infinity",
                {"********** -Infinity", "  Infinity -Infinity", "  Infinity -Infinity"})},
        {"diverging to overflow, Euclidean norm", "2\n1 1e30\n1e30 1\n1e30\n1e30\n", euclid, 0,
         finished("Tolerance is satisfied after 2 iterations.", kWarning),
         report({"     1.000**********", "**********     1.000"}, {"**********", "**********"}, "Euclidean",
                {"********** -Infinity", "  Infinity -Infinity"})},
    };
}

void check_cases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun run = run_in_memory(settings_named("succdisp"), {{"Input.dat", c.data}}, c.answers);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.console, c.console);
        EXPECT_EQ(run.diagnostics, "");
        EXPECT_EQ(run.files.at("OutputGS2.dat"), c.report);
    }
}

TEST(HostileInput, DataFiles) { check_cases(data_file_cases()); }
TEST(HostileInput, ConsoleAnswers) { check_cases(answer_cases()); }
TEST(HostileInput, NumericExtremes) { check_cases(numeric_cases()); }

// A history sized for 2^31-1 iterates of one value (8 GB) is only reserved,
// never touched beyond the rows used, so the run completes where the
// operating system hands out address space lazily; where it does not, the run
// must end with the allocation message.
TEST(HostileInput, IterationLimitAtThe32BitLimitWithOneUnknown) {
    const ProgramRun run = run_in_memory(settings_named("succdisp"), {{"Input.dat", "1\n4\n8\n"}},
                                         "1E-3\n2147483647\n1\n");
    const std::string echoes = "Tolerance = 0.001\nMaximum number of iterations = 2147483647\n";
    if (run.status == 1) {
        EXPECT_EQ(run.console, kPrompts + "Cannot allocate memory.\n");
        EXPECT_EQ(run.files.at("OutputGS2.dat"), echoes);
        GTEST_SKIP() << "this system would not reserve 8 GB of address space";
    }
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console, kSmallConsole);
    std::string expected = kSmallReport;
    expected.replace(0, kEchoes.size(), echoes);
    EXPECT_EQ(run.files.at("OutputGS2.dat"), expected);
}

// The arrays of a run may not together exceed the machine's memory: the
// history is sized for MAXIT iterates before the iteration starts, and one
// that could outgrow the memory is refused then, not killed halfway.  With a
// capacity of 64 KiB + 64 bytes, B (8 bytes), A (16 bytes) and a history of
// 8192 iterates (64 KiB) fit, with one more the history does not.
TEST(HostileInput, HistoryBeyondTheMachinesMemoryIsRefused) {
    for (const auto& [maxit, fits] : {std::pair{"8192", true}, std::pair{"8199", false}}) {
        MemoryRunOptions options;
        options.memory_capacity = (1 << 16) + 64;
        const ProgramRun run = run_in_memory(settings_named("succdisp"), {{"Input.dat", "2\n4 1\n1 3\n1\n2\n"}},
                                             std::string("1E-3\n") + maxit + "\n1\n", options);
        SCOPED_TRACE(maxit);
        EXPECT_EQ(run.status, fits ? 0 : 1);
        EXPECT_EQ(run.console.find("Cannot allocate memory.") != std::string::npos, !fits);
    }
}

// Counts of values that cannot be expressed, or whose bytes cannot, are
// refused before the system is asked; negative dimensions count as 0.
TEST(HostileInput, ArraySizesBeyondAnyMemory) {
    struct Size {
        std::int64_t rows, cols;
        bool obtainable;
        std::size_t count;
    };
    const Size sizes[] = {
        {std::int64_t{1} << 32, std::int64_t{1} << 32, false, 0},  // 2^64 values
        {std::int64_t{1} << 62, 1, false, 0},                      // 2^64 bytes
        {2147483647, 2147483647, false, 0},                        // N·N at the 32-bit limit
        {std::int64_t{1} << 61, 2, false, 0},                      // 2^62 values
        {-2147483648LL, 7, true, 0},
        {7, -1, true, 0},
        {3, 5, true, 15},
    };
    for (const Size& s : sizes) {
        SCOPED_TRACE(std::to_string(s.rows) + " x " + std::to_string(s.cols));
        Memory memory;
        RealArray a;
        EXPECT_EQ(allocate_with_status(memory, a, s.rows, s.cols), s.obtainable);
        EXPECT_EQ(a.size(), s.count);
    }
}

}  // namespace
}  // namespace itersolve::testing
