// Free-form reading over a byte source, and free-form and laid-out writing
// over a byte sink, including the report's five layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "recio/record_reader.hpp"
#include "recio/record_writer.hpp"
#include "recio/run_stop.hpp"
#include "recio/streams.hpp"
#include "solver/report.hpp"
#include "test_support.hpp"

namespace itersolve {
namespace {

using testing::written;

// ================================================================== reading

// Source chunk sizes: one byte per read (values and line ends straddle every
// refill) and one large read.
const std::size_t kChunks[] = {1, 3, 1 << 16};

// One read_free of reals per inner vector: take the values, then discard
// the rest of the record.
using Reads = std::vector<std::vector<float>>;

struct ReadCase {
    const char* what;
    std::string text;
    Reads reads;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.what; }

class ReadFreeReals : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadFreeReals, TakesTheValuesOfEachRead) {
    const ReadCase& c = GetParam();
    for (std::size_t chunk : kChunks) {
        MemorySource src(c.text, chunk);
        RecordReader r(src, "Input.dat", "end of file");
        for (std::size_t k = 0; k < c.reads.size(); ++k) {
            for (std::size_t v = 0; v < c.reads[k].size(); ++v)
                EXPECT_EQ(r.next_real({"A", static_cast<std::int64_t>(k + 1), static_cast<std::int64_t>(v + 1)}),
                          c.reads[k][v])
                    << c.what << ", chunk " << chunk << ", read " << k + 1 << ", value " << v + 1;
            r.end_record();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadFreeReals,
    ::testing::Values(
        ReadCase{"blanks", "1 2  3\n", {{1, 2, 3}}}, ReadCase{"commas", "1,2,3\n", {{1, 2, 3}}},
        ReadCase{"tabs", "1\t2\t3\n", {{1, 2, 3}}},
        ReadCase{"runs of mixed separators, leading and trailing", " \t, 1 ,, 2\t,3 , \n", {{1, 2, 3}}},
        ReadCase{"CR-LF line ends", "1 2\r\n3\r\n4,\r\n", {{1, 2}, {3}, {4}}},
        ReadCase{"continuation over records", "1\n2 3\n4\n", {{1, 2, 3}, {4}}},
        ReadCase{"continuation over empty and blank records", "\n1\n\n \t\r\n2\n", {{1, 2}}},
        ReadCase{"rest of record discarded", "1 2 3\n4 5\n6\n", {{1}, {4}, {6}}},
        ReadCase{"rest discarded even when malformed", "1 x.y.z\n2 ,,junk\n", {{1}, {2}}},
        ReadCase{"final line without newline", "1 2\n3", {{1, 2}, {3}}},
        ReadCase{"final value ends the input", "-0.5", {{-0.5f}}},
        ReadCase{"number forms side by side", "3 -0.5 .25 3. 1.5E+2 1.5D2 +2\n", {{3, -0.5f, 0.25f, 3, 150, 150, 2}}},
        ReadCase{"value across the reader's buffer boundary", std::string(65533, ' ') + "1.25 2\n7\n",
                 {{1.25f, 2}, {7}}},
        ReadCase{"longest value accepted (4096 characters)", std::string(4095, '0') + "7\n", {{7}}}));

TEST(ReadFree, SpecialValuesAndCharactersAndIntegers) {
    for (std::size_t chunk : kChunks) {
        MemorySource src("nan -INF\n  12 rest\n\n  x\n-2147483648 9\n", chunk);
        RecordReader r(src, "console input", "end of input");
        EXPECT_TRUE(std::isnan(r.next_real({"TOL"})));
        EXPECT_EQ(r.next_real({"TOL"}), -std::numeric_limits<float>::infinity());
        r.end_record();
        EXPECT_EQ(read_free_character(r, {"CRITERION"}), '1') << chunk;  // first character of "12"
        EXPECT_EQ(read_free_character(r, {"CRITERION"}), 'x') << chunk;  // empty record passed over
        EXPECT_EQ(read_free_integer(r, {"N"}), -2147483647 - 1) << chunk;
    }
}

// Every failure: the source, the line of the value (or of the end), the item
// awaited and what was found.
struct FailCase {
    const char* what;
    std::string text;
    int reals_before;  // reals read, one record each, before the failing read
    enum Kind { real, integer, character } kind;
    std::string expected;
};
void PrintTo(const FailCase& c, std::ostream* os) { *os << c.what; }

class ReadFreeFails : public ::testing::TestWithParam<FailCase> {};

TEST_P(ReadFreeFails, EndsTheRunNamingSourceLineAndItem) {
    const FailCase& c = GetParam();
    const bool console = c.kind == FailCase::character;
    for (std::size_t chunk : kChunks) {
        MemorySource src(c.text, chunk);
        RecordReader r(src, console ? "console input" : "Input.dat", console ? "end of input" : "end of file");
        for (int k = 1; k <= c.reals_before; ++k) read_free_real(r, {"B", k});
        try {
            switch (c.kind) {
                case FailCase::real: r.next_real({"A", 3, 2}); break;
                case FailCase::integer: r.next_integer({"N"}); break;
                case FailCase::character: r.next_character({"CRITERION"}); break;
            }
            ADD_FAILURE() << c.what << ": no stop, chunk " << chunk;
        } catch (const RunStop& stop) {
            EXPECT_EQ(stop.message, c.expected) << c.what << ", chunk " << chunk;
            EXPECT_EQ(stop.status, ExitStatus::failed);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Diagnostics, ReadFreeFails,
    ::testing::Values(
        FailCase{"malformed real", "1 x\n4.5.6 5\n", 1, FailCase::real,
                 R"(Input.dat, line 2: expected a real for A(3,2), found "4.5.6")"},
        FailCase{"malformed real after continuation", "1\n\r\n\n  1.2.3,4\r\n", 1, FailCase::real,
                 R"(Input.dat, line 4: expected a real for A(3,2), found "1.2.3")"},
        FailCase{"real out of range", "1e39\n", 0, FailCase::real,
                 R"(Input.dat, line 1: expected a real for A(3,2), found "1e39" (out of range))"},
        FailCase{"end of file after the last record", "1\n2\n", 2, FailCase::real,
                 "Input.dat, line 3: expected a real for A(3,2), found end of file"},
        FailCase{"end of file within a last line without newline", "1\n ", 1, FailCase::real,
                 "Input.dat, line 2: expected a real for A(3,2), found end of file"},
        FailCase{"empty file", "", 0, FailCase::integer, "Input.dat, line 1: expected an integer for N, found end of file"},
        FailCase{"integer with a fraction", "3.0\n", 0, FailCase::integer,
                 R"(Input.dat, line 1: expected an integer for N, found "3.0")"},
        FailCase{"integer out of range", "\n2147483648\n", 0, FailCase::integer,
                 R"(Input.dat, line 2: expected an integer for N, found "2147483648" (out of range))"},
        FailCase{"control and non-ASCII bytes shown escaped", "1\x01\xc3\xa9\"\n", 0, FailCase::integer,
                 R"(Input.dat, line 1: expected an integer for N, found "1\x01\xc3\xa9\x22")"},
        FailCase{"value too long", std::string(4096, '0') + "7\n", 0, FailCase::real,
                 R"(Input.dat, line 1: expected a real for A(3,2), found ")" + std::string(40, '0') +
                     R"(..." (value too long))"},
        FailCase{"console input ends", "\n \n", 0, FailCase::character,
                 "console input, line 3: expected an answer for CRITERION, found end of input"}));

TEST(ReadFree, ASourceThatFailsEndsTheRun) {
    struct Broken final : ByteSource {
        long read(char*, std::size_t) override { return -1; }
        std::string error() const override { return "Input/output error"; }
    } broken;
    RecordReader r(broken, "Input.dat", "end of file");
    try {
        r.next_integer({"N"});
        ADD_FAILURE() << "no stop";
    } catch (const RunStop& stop) {
        EXPECT_EQ(stop.message, "Input.dat, line 1: cannot read: Input/output error");
        EXPECT_EQ(stop.status, ExitStatus::failed);
    }
}

// ================================================================== writing

std::string field(float v) {  // one value as its F10.3 field
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10.3f", static_cast<double>(v));
    return buf;
}

TEST(WriteFree, ItemsSeparatedBySingleBlanks) {
    EXPECT_EQ(written([](RecordWriter& w) { write_free(w, {"Tolerance =", 0.001f}); }), "Tolerance = 0.001\n");
    EXPECT_EQ(written([](RecordWriter& w) { write_free(w, {"Maximum number of iterations =", std::int32_t{20}}); }),
              "Maximum number of iterations = 20\n");
    EXPECT_EQ(written([](RecordWriter& w) { write_free(w, {"a", std::int32_t{-3}, -2.5f, "b"}); }), "a -3 -2.5 b\n");
    EXPECT_EQ(written([](RecordWriter& w) { write_free(w, {}); }), "\n");
}

TEST(ReportLayouts, HeadingAndCount) {
    EXPECT_EQ(written([](RecordWriter& w) { write_heading(w, "Matrix A ="); }), "\n Matrix A =\n");
    const struct {
        std::int32_t count;
        const char* last_record;
    } counts[] = {{0, "  0"}, {5, "  5"}, {999, "999"}, {1000, "***"}, {-1, " -1"}};
    for (const auto& c : counts)
        EXPECT_EQ(written([&](RecordWriter& w) { write_count(w, "Number of iterations performed = ", c.count); }),
                  std::string("\n Number of iterations performed = ") + c.last_record + "\n");
}

TEST(ReportLayouts, ValueRowsContinueOnRecordsOfAHundred) {
    EXPECT_EQ(written([](RecordWriter& w) {
                  const float row[] = {4.0f, -1.0625f, 1000000.0f};
                  write_values(w, row, 3);
              }),
              "     4.000    -1.062**********\n");
    for (int n : {100, 101, 250}) {
        std::vector<float> row(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) row[static_cast<std::size_t>(k)] = static_cast<float>(k + 1) / 8.0f;
        std::string expected;
        for (int k = 0; k < n; ++k) {
            expected += field(row[static_cast<std::size_t>(k)]);
            if (k % 100 == 99 || k == n - 1) expected += '\n';
        }
        EXPECT_EQ(written([&](RecordWriter& w) { write_values(w, row.data(), n); }), expected) << n;
    }
}

// X rows k = 1..iter of n values, X(k,i) = k + i/8 (so every field is exact).
std::vector<float> history(std::int64_t n, std::int32_t iter) {
    std::vector<float> x;
    for (std::int32_t k = 1; k <= iter; ++k)
        for (std::int64_t i = 1; i <= n; ++i) x.push_back(static_cast<float>(k) + static_cast<float>(i) / 8.0f);
    return x;
}

TEST(ReportLayouts, IterationRecords) {
    struct Case {
        IterationLayout layout;
        std::int64_t n;
        std::int32_t iter;
        std::string expected;
    };
    const Case cases[] = {
        {IterationLayout::plain, 2, 2, "   1     1.125     1.250\n   2     2.125     2.250\n"},
        {IterationLayout::spaced, 2, 2, "   1      1.125      1.250\n   2      2.125      2.250\n"},
        // N = 0: only the blank and the iteration number.
        {IterationLayout::plain, 0, 2, "   1\n   2\n"},
        {IterationLayout::spaced, 0, 1, "   1\n"},
    };
    for (const Case& c : cases) {
        const std::vector<float> x = history(c.n, c.iter);
        EXPECT_EQ(written([&](RecordWriter& w) { write_iteration_table(w, c.layout, x.data(), c.n, c.iter); }),
                  c.expected)
            << (c.layout == IterationLayout::plain ? "plain" : "spaced") << ", N = " << c.n;
    }
}

TEST(ReportLayouts, IterationValuesFillTheirWholeField) {
    const float x[] = {-99999.9921875f, 999999.875f};
    EXPECT_EQ(written([&](RecordWriter& w) { write_iteration_table(w, IterationLayout::plain, x, 2, 1); }),
              "   1-99999.992999999.875\n");
    EXPECT_EQ(written([&](RecordWriter& w) { write_iteration_table(w, IterationLayout::spaced, x, 2, 1); }),
              "   1 -99999.992 999999.875\n");
}

TEST(ReportLayouts, IterationNumbersFromAThousandAreAsterisks) {
    const std::string table = written([](RecordWriter& w) { write_iteration_table(w, IterationLayout::plain, nullptr, 0, 1000); });
    EXPECT_EQ(table.substr(table.size() - 10), " 999\n ***\n");
}

TEST(ReportLayouts, LongIterationRecordsContinue) {
    // Plain: the values go on in records of up to 100 values, 10 columns each,
    // with nothing before the first.  Spaced: in records of up to 100 (blank,
    // value) pairs.
    for (std::int64_t n : {100, 101, 201}) {
        const std::vector<float> x = history(n, 2);
        for (IterationLayout layout : {IterationLayout::plain, IterationLayout::spaced}) {
            const char* sep = layout == IterationLayout::spaced ? " " : "";
            std::string expected;
            for (std::int32_t k = 1; k <= 2; ++k) {
                expected += "   " + std::to_string(k);
                for (std::int64_t i = 1; i <= n; ++i) {
                    expected += sep;
                    expected += field(static_cast<float>(k) + static_cast<float>(i) / 8.0f);
                    if (i % 100 == 0 || i == n) expected += '\n';
                }
            }
            EXPECT_EQ(written([&](RecordWriter& w) { write_iteration_table(w, layout, x.data(), n, 2); }), expected)
                << (layout == IterationLayout::plain ? "plain" : "spaced") << ", N = " << n;
        }
    }
}

TEST(WriteLaidOut, ItemsThatDoNotMatchTheirFieldsEndTheRun) {
    // The last case is a plain iteration layout that resumes at its start,
    // where the 101st value meets the integer field.
    const Layout resumes_at_integer({Field::blank(), Field::integer(3), Field::fixed(10, 3, 100)});
    std::vector<Item> iteration{Item(std::int32_t{1})};
    for (int i = 0; i < 101; ++i) iteration.emplace_back(0.5f);
    struct Case {
        Layout layout;
        std::vector<Item> items;
        std::string written_before;
    };
    const std::vector<Case> cases = {
        {Layout({Field::integer(3)}), {Item(1.5f)}, ""},
        {Layout({Field::fixed(10, 3)}), {Item(std::int32_t{2})}, ""},
        {Layout({Field::blank(), Field::text()}), {Item(2.5f)}, ""},
        {Layout({Field::text(), Field::fixed(10, 3)}), {Item("x"), Item("y")}, "x"},
        {resumes_at_integer, iteration, "   1" + [] {
             std::string s;
             for (int i = 0; i < 100; ++i) s += "     0.500";
             return s + "\n";
         }()},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) {
        std::string out;
        MemorySink sink(out);
        RecordWriter w(sink, "OutputGS2.dat");
        try {
            write_laid_out(w, cases[k].layout, cases[k].items);
            ADD_FAILURE() << "case " << k << ": no stop";
        } catch (const RunStop& stop) {
            EXPECT_EQ(stop.status, ExitStatus::failed) << k;
            EXPECT_EQ(stop.message.rfind("OutputGS2.dat: ", 0), 0u) << k << ": " << stop.message;
        }
        // What was laid out before the mismatch still reaches the file.
        w.flush();
        EXPECT_EQ(out, cases[k].written_before) << k;
    }
}

TEST(RecordWriter, AFailedWriteEndsTheRunNamingTheFile) {
    struct Case {
        const char* what;
        long fail_at_write;
        StopChannel channel;
        int records;     // records of 9 characters and a line end
        bool some_kept;  // whether a first part reaches the file before the failure
    };
    const Case cases[] = {
        {"first write fails at the flush", 1, StopChannel::console, 2, false},
        {"console output cannot report its own failure", 1, StopChannel::diagnostics_only, 1, false},
        // A report far larger than the writer's buffer: the first block
        // reaches the file, a later one fails while records are still written.
        {"failure while the report is being written", 2, StopChannel::console, 1000000, true},
    };
    for (const Case& c : cases) {
        std::string out;
        MemorySink sink(out, c.fail_at_write);
        RecordWriter w(sink, "OutputGS2.dat", c.channel);
        int records_written = 0;
        try {
            for (; records_written < c.records; ++records_written) write_free(w, {"123456789"});
            w.flush();
            ADD_FAILURE() << c.what << ": no stop";
        } catch (const RunStop& stop) {
            EXPECT_EQ(stop.message, "OutputGS2.dat: cannot write: No space left on device") << c.what;
            EXPECT_EQ(stop.status, ExitStatus::failed) << c.what;
            EXPECT_EQ(stop.channel, c.channel) << c.what;
        }
        std::string full;
        for (int k = 0; k < c.records; ++k) full += "123456789\n";
        EXPECT_EQ(out, full.substr(0, out.size())) << c.what;  // what was kept is in order
        EXPECT_EQ(!out.empty(), c.some_kept) << c.what;
        if (c.some_kept) {
            EXPECT_LT(records_written, c.records) << c.what << ": stopped only at the flush";
        }
        // Once failed, the writer reports the failure again and writes nothing.
        const std::size_t kept = out.size();
        EXPECT_EQ(w.try_flush(), "OutputGS2.dat: cannot write: No space left on device") << c.what;
        EXPECT_EQ(out.size(), kept) << c.what;
    }
}

}  // namespace
}  // namespace itersolve
