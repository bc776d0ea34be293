// A whole run driven from one byte string, in memory.
//
// Input layout:
//   byte 0      bits 0-1: the program (succdisp, simdisp, succdisp1, simdisp1)
//               bits 2-3: bytes per console read (all, 1, 3, 17)
//               bits 4-5: fault to inject: none, the k-th report write, the
//                         k-th console write, the k-th allocation
//               bits 6-7: k - 1
//   then        the data file, up to the first "\n=====\n"
//   then        the console answers (none when the separator is missing)
//
// The run is made twice, with the chosen console pieces and with all answers
// at once, and both must give the same status, console, diagnostics and
// files (unless a console write is failed: see below).  Every run must end with status 0 after "End of Program" or status 1
// after a one-line message; a completed run's report must end with the
// iteration count and hold 12 + 2N + ITER records when N <= 100.
//
// Sizes: the answers and the data file are first read by the run's own reader
// to learn MAXIT and N.  Runs whose arrays would be large but obtainable are
// skipped (they would spend the fuzzer's memory and time on iterations, not
// on the code under test); runs whose arrays are too large to count are kept,
// since they must end with "Cannot allocate memory." without touching the
// system.
#include <cstdint>
#include <string>

#include "fuzz_check.hpp"
#include "recio/record_reader.hpp"
#include "recio/run_stop.hpp"
#include "solver/solver_main.hpp"

namespace {

using namespace itersolve;

constexpr std::string_view kSeparator = "\n=====\n";
constexpr std::int64_t kMaxOrder = 64;
constexpr std::int64_t kMaxIterations = 5000;
constexpr std::int64_t kMaxHistory = 20000;  // MAXIT * max(N, 1)

const solver_settings* const kPrograms[] = {&succdisp_settings, &simdisp_settings, &succdisp1_settings,
                                            &simdisp1_settings};

struct Outcome {
    int status = -1;
    std::string message, console, diagnostics;
    std::map<std::string, std::string> files;
    bool operator==(const Outcome&) const = default;
};

struct Options {
    const solver_settings* program;
    std::size_t chunk;
    int fault;
    long k;
};

Outcome run(const Options& o, const std::string& data_file, const std::string& answers, std::size_t chunk) {
    Outcome out;
    MemoryFileSystem fs;
    fs.files[o.program->data_file_name] = data_file;
    if (o.fault == 1) fs.fail_at_write[o.program->report_file_name] = o.k;
    MemorySource in(answers, chunk);
    MemorySink console(out.console, o.fault == 2 ? o.k : 0);
    MemorySink diagnostics(out.diagnostics);
    Memory memory;
    if (o.fault == 3) memory.fail_at = o.k;
    RunEnvironment env{in, console, diagnostics, fs, memory};
    const RunOutcome r = solver_main(*o.program, env);
    out.status = static_cast<int>(r.status);
    out.message = r.message;
    out.files = fs.files;
    return out;
}

// MAXIT and N as the run will read them; -1 when the read fails.
std::int64_t first_integer(RecordReader& r, const char* name) {
    try {
        return r.next_integer({name});
    } catch (const RunStop&) {
        return -1;
    }
}

bool worth_running(const std::string& data_file, const std::string& answers) {
    MemorySource a(answers), d(data_file);
    RecordReader console(a, "console input", "end of input"), data(d, "Input.dat", "end of file");
    try {
        read_free_real(console, {"TOL"});
    } catch (const RunStop&) {
        return true;  // stops before anything is allocated
    }
    const std::int64_t maxit = std::max<std::int64_t>(first_integer(console, "MAXIT"), 0);
    const std::int64_t n = std::max<std::int64_t>(first_integer(data, "N"), 0);
    const double x_bytes = 4.0 * static_cast<double>(maxit) * static_cast<double>(n);
    const double a_bytes = 4.0 * static_cast<double>(n) * static_cast<double>(n);
    if (x_bytes > 0x1p62 || a_bytes > 0x1p62) return true;  // refused before the system is asked
    return n <= kMaxOrder && maxit <= kMaxIterations && maxit * std::max<std::int64_t>(n, 1) <= kMaxHistory;
}

std::size_t count_lines(const std::string& s) {
    std::size_t lines = 0;
    for (char c : s) lines += c == '\n';
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::size_t kChunks[] = {std::size_t{1} << 20, 1, 3, 17};
    const Options o{kPrograms[data[0] & 3], kChunks[(data[0] >> 2) & 3], (data[0] >> 4) & 3, ((data[0] >> 6) & 3) + 1};
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t sep = rest.find(kSeparator);
    const std::string data_file = rest.substr(0, sep);
    const std::string answers = sep == std::string::npos ? std::string() : rest.substr(sep + kSeparator.size());
    if (!worth_running(data_file, answers)) return 0;

    const Outcome whole = run(o, data_file, answers, kChunks[0]);
    // Prompts reach console output each time the run waits for the console,
    // so the number of console writes, and with it which one a console
    // fault fails, depends on how the answers arrive.
    if (o.fault != 2) FUZZ_CHECK(run(o, data_file, answers, o.chunk) == whole);

    FUZZ_CHECK(whole.status == 0 || whole.status == 1);
    if (whole.status == 0) FUZZ_CHECK(whole.message == "End of Program");
    // Only a failed write turns a finished run into a failure.
    if (o.fault == 0 || o.fault == 3) FUZZ_CHECK((whole.status == 0) == (whole.message == "End of Program"));
    FUZZ_CHECK(whole.message.find('\n') == std::string::npos);
    FUZZ_CHECK(whole.files.at(o.program->data_file_name) == data_file);
    if (o.fault == 0 || o.fault == 3) {
        // Console output holds the stop's message as its last record.
        FUZZ_CHECK(("\n" + whole.console).ends_with("\n" + whole.message + "\n"));
    } else if (o.fault == 1) {
        // The message, possibly followed by the report file's own failure.
        FUZZ_CHECK(("\n" + whole.console).find("\n" + whole.message + "\n") != std::string::npos);
        FUZZ_CHECK(whole.console.ends_with("\n"));
    }
    if (whole.status == 0) {
        FUZZ_CHECK(whole.diagnostics.empty());
        const std::string& report = whole.files.at(o.program->report_file_name);
        const std::size_t last_start = report.rfind('\n', report.size() - 2) + 1;
        FUZZ_CHECK(report.ends_with("\n"));
        FUZZ_CHECK(report.compare(last_start, 34, " Number of iterations performed = ") == 0);
        MemorySource d(data_file);
        RecordReader r(d, "Input.dat", "end of file");
        const std::int64_t n = std::max<std::int64_t>(r.next_integer({"N"}), 0);
        const std::string count = report.substr(last_start + 34, report.size() - last_start - 35);
        if (n <= 100 && count != "***") {
            const std::size_t iter = std::stoul(count);
            FUZZ_CHECK(count_lines(report) == 12 + 2 * static_cast<std::size_t>(n) + iter);
        }
    }
    return 0;
}
