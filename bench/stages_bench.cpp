// One benchmark per stage of a run and per order N, each pairing the
// optimised code with the plain reference of the same arithmetic:
//
//   jacobi/N/plain, jacobi/N/opt_t1, jacobi/N/opt_t2   Jacobi sweeps
//   gauss/N/plain,  gauss/N/opt                        Gauss-Seidel sweeps
//   read/N/plain,   read/N/opt                         the data file's text
//   echo/N/plain,   echo/N/opt                         A through the value layout
//   table/N/plain,  table/N/opt                        the iteration table
//   screen/N/plain, screen/N/opt                       full screening, random dense A
//   screen/N/opt_dominant                              the same of the iteration stages' A
//   floor/chain                                        one dependent correction
//
// The iteration stages report "corrections" (per run of the routine) so that
// the table can give the time of one correction; the I/O stages report bytes.
//
// Every single-threaded benchmark runs on one processor, the first the
// process may use: the processors of a machine need not run at the same
// clock, and a plain loop timed on one and the optimised one on another
// would compare the processors as much as the code.  The two-thread Jacobi
// sweeps get the whole set back while they run.
#include <benchmark/benchmark.h>
#include <sched.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "checks/check.hpp"
#include "checks/check_plain.hpp"
#include "methods/gauss_mtd.hpp"
#include "methods/jacobi_mtd.hpp"
#include "methods/kernels.hpp"
#include "methods/reference.hpp"
#include "plain_io.hpp"
#include "recio/record_reader.hpp"
#include "recio/record_writer.hpp"
#include "solver/data_file.hpp"
#include "solver/report.hpp"

namespace itersolve::bench {
namespace {

class NullSink final : public ByteSink {
public:
    bool write(const char*, std::size_t n) override {
        bytes += n;
        return true;
    }
    std::size_t bytes = 0;
};

// Hands out a string's bytes without copying them, 64 KiB at a time, as a
// file would.
class ViewSource final : public ByteSource {
public:
    explicit ViewSource(std::string_view text) : text_(text) {}
    long read(char* buf, std::size_t capacity) override {
        const std::size_t n = std::min({capacity, std::size_t{1} << 16, text_.size() - pos_});
        std::memcpy(buf, text_.data() + pos_, n);
        pos_ += n;
        return static_cast<long>(n);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

struct System {
    std::int64_t n = 0;
    std::vector<float> A, B;
};

// Random dense and diagonally dominant: off-diagonal elements in [-1, 1],
// each diagonal element above its row's off-diagonal magnitudes.
const System& dominant_system(std::int64_t n) {
    static std::map<std::int64_t, System> cache;
    System& s = cache[n];
    if (s.n == n) return s;
    std::mt19937 rng(static_cast<unsigned>(n));
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    s.n = n;
    s.A.resize(static_cast<std::size_t>(n * n));
    s.B.resize(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        float sum = 0.0f;
        for (std::int64_t j = 0; j < n; ++j) {
            const float a = u(rng);
            s.A[static_cast<std::size_t>(i * n + j)] = a;
            if (j != i) sum += std::abs(a);
        }
        s.A[static_cast<std::size_t>(i * n + i)] = 1.5f * sum + 1.0f;
        s.B[static_cast<std::size_t>(i)] = 10.0f * u(rng);
    }
    return s;
}

// Random dense, every element in [-1, 1] (no two rows proportional).
const std::vector<float>& dense_matrix(std::int64_t n) {
    static std::map<std::int64_t, std::vector<float>> cache;
    std::vector<float>& a = cache[n];
    if (!a.empty()) return a;
    std::mt19937 rng(static_cast<unsigned>(n) + 7u);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    a.resize(static_cast<std::size_t>(n * n));
    for (float& v : a) v = u(rng);
    for (std::int64_t i = 0; i < n; ++i)
        if (a[static_cast<std::size_t>(i * n + i)] == 0.0f) a[static_cast<std::size_t>(i * n + i)] = 0.5f;
    return a;
}

}  // namespace

// The data file of the dominant system: N, one row of A per line (blanks
// between values), one value of B per line.
const std::string& data_text(std::int64_t n) {
    static std::map<std::int64_t, std::string> cache;
    std::string& t = cache[n];
    if (!t.empty()) return t;
    const System& s = dominant_system(n);
    char buf[64];
    t += std::to_string(n) + "\n";
    for (std::int64_t i = 0; i < n; ++i) {
        for (std::int64_t j = 0; j < n; ++j) {
            std::snprintf(buf, sizeof buf, j + 1 < n ? "%.6f " : "%.6f\n",
                          static_cast<double>(s.A[static_cast<std::size_t>(i * n + j)]));
            t += buf;
        }
    }
    for (float b : s.B) {
        std::snprintf(buf, sizeof buf, "%.6f\n", static_cast<double>(b));
        t += buf;
    }
    return t;
}

namespace {

// An iteration history of `rows` iterates with values in [-10, 10].
std::vector<float> history(std::int64_t n, std::int32_t rows) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    std::vector<float> X(static_cast<std::size_t>(n * rows));
    for (float& v : X) v = u(rng);
    return X;
}

std::int32_t sweeps_for(std::int64_t n) { return n <= 100 ? 200 : n <= 500 ? 20 : 5; }
std::int32_t table_rows_for(std::int64_t n) { return n <= 100 ? 500 : n <= 500 ? 100 : 50; }

// The processors the process was started with, and the first of them.
cpu_set_t all_cpus, first_cpu;
bool pinned = false;

void pin_to_first_cpu() {
    if (sched_getaffinity(0, sizeof all_cpus, &all_cpus) != 0 || CPU_COUNT(&all_cpus) < 2) return;
    CPU_ZERO(&first_cpu);
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &all_cpus)) {
            CPU_SET(c, &first_cpu);
            break;
        }
    pinned = sched_setaffinity(0, sizeof first_cpu, &first_cpu) == 0;
}

// Widens the calling thread to every processor for the life of the object
// (threads it starts inherit that), then pins it again.
struct AllCpus {
    AllCpus() {
        if (pinned) sched_setaffinity(0, sizeof all_cpus, &all_cpus);
    }
    ~AllCpus() {
        if (pinned) sched_setaffinity(0, sizeof first_cpu, &first_cpu);
    }
};

void run_method(benchmark::State& state, MethodRoutine routine, std::int64_t n, int threads) {
    const System& s = dominant_system(n);
    const std::int32_t MAXIT = sweeps_for(n);
    Memory memory;
    NullSink sink;
    RecordWriter console(sink, "console output");
    RealArray X = allocate_or_stop(memory, MAXIT, n);
    MethodServices io{console, memory};
    set_thread_limit(threads);
    std::optional<AllCpus> widened;
    if (threads > 1) widened.emplace();
    for (auto _ : state) {
        std::int32_t ITER = 0;
        routine(io, s.A.data(), s.B.data(), static_cast<std::int32_t>(n), 0.0f, MAXIT, '1', X.data(), ITER);
        benchmark::DoNotOptimize(X.data());
        benchmark::ClobberMemory();
    }
    set_thread_limit(0);
    state.counters["corrections"] = static_cast<double>(MAXIT) * static_cast<double>(n) * static_cast<double>(n - 1);
}

void read_stage(benchmark::State& state, std::int64_t n, bool plain) {
    const std::string& text = data_text(n);
    std::vector<float> A(static_cast<std::size_t>(n * n)), B(static_cast<std::size_t>(n));
    for (auto _ : state) {
        if (plain) {
            std::int64_t order = 0;
            plain_read_system(text, order, A.data(), B.data());
        } else {
            ViewSource source(text);
            RecordReader data(source, "Input.dat", "end of file");
            const std::int64_t order = read_order(data);
            read_system(data, order, A.data(), B.data());
        }
        benchmark::DoNotOptimize(A.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void table_stage(benchmark::State& state, std::int64_t n, bool plain) {
    const std::int32_t rows = table_rows_for(n);
    const std::vector<float> X = history(n, rows);
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (plain) {
            std::string out;
            plain_write_iteration_table(out, X.data(), n, rows);
            bytes = out.size();
            benchmark::DoNotOptimize(out.data());
        } else {
            NullSink sink;
            RecordWriter report(sink, "OutputGS92.dat");
            write_iteration_table(report, IterationLayout::spaced, X.data(), n, rows);
            report.flush();
            bytes = sink.bytes;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void echo_stage(benchmark::State& state, std::int64_t n, bool plain) {
    const System& s = dominant_system(n);
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (plain) {
            std::string out;
            plain_write_values(out, s.A.data(), n);
            bytes = out.size();
            benchmark::DoNotOptimize(out.data());
        } else {
            NullSink sink;
            RecordWriter report(sink, "Output2.dat");
            for (std::int64_t i = 0; i < n; ++i) write_values(report, s.A.data() + i * n, n);
            report.flush();
            bytes = sink.bytes;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void screen_stage(benchmark::State& state, std::int64_t n, bool plain, bool dominant = false) {
    const std::vector<float>& A = dominant ? dominant_system(n).A : dense_matrix(n);
    Memory memory;
    NullSink sink;
    RecordWriter console(sink, "console output");
    for (auto _ : state) {
        if (plain) check_plain(console, memory, A.data(), static_cast<std::int32_t>(n), CheckKind::full);
        else check(console, memory, A.data(), static_cast<std::int32_t>(n), CheckKind::full);
        console.flush();
    }
}

// The latency of one dependent correction: subtract a quotient in double
// precision, round to single, widen again for the next.
void floor_chain(benchmark::State& state) {
    std::vector<double> q(4096);
    for (std::size_t t = 0; t < q.size(); ++t) q[t] = (t % 2 ? 1.0e-3 : -1.0e-3) * (1.0 + 1.0e-4 * static_cast<double>(t));
    double x = 1.0;
    for (auto _ : state) {
        for (double v : q) x = static_cast<double>(static_cast<float>(x - v));
        benchmark::DoNotOptimize(x);
    }
    state.counters["corrections"] = static_cast<double>(q.size());
}

void register_all() {
    for (std::int64_t n : {100, 500, 2000}) {
        const std::string N = std::to_string(n);
        auto add = [&](const std::string& name, auto fn) {
            auto* b = benchmark::RegisterBenchmark((name).c_str(), fn);
            b->Unit(benchmark::kMillisecond)->UseRealTime();
            if (n == 2000 && name.rfind("screen/", 0) == 0 && name.find("plain") != std::string::npos) b->Iterations(1);
            return b;
        };
        add("jacobi/" + N + "/plain", [n](benchmark::State& s) { run_method(s, jacobi_mtd_plain, n, 1); });
        add("jacobi/" + N + "/opt_t1", [n](benchmark::State& s) { run_method(s, jacobi_mtd, n, 1); });
        add("jacobi/" + N + "/opt_t2", [n](benchmark::State& s) { run_method(s, jacobi_mtd, n, 2); });
        add("gauss/" + N + "/plain", [n](benchmark::State& s) { run_method(s, gauss_mtd_plain, n, 1); });
        add("gauss/" + N + "/opt", [n](benchmark::State& s) { run_method(s, gauss_mtd, n, 1); });
        add("read/" + N + "/plain", [n](benchmark::State& s) { read_stage(s, n, true); });
        add("read/" + N + "/opt", [n](benchmark::State& s) { read_stage(s, n, false); });
        add("echo/" + N + "/plain", [n](benchmark::State& s) { echo_stage(s, n, true); });
        add("echo/" + N + "/opt", [n](benchmark::State& s) { echo_stage(s, n, false); });
        add("table/" + N + "/plain", [n](benchmark::State& s) { table_stage(s, n, true); });
        add("table/" + N + "/opt", [n](benchmark::State& s) { table_stage(s, n, false); });
        add("screen/" + N + "/plain", [n](benchmark::State& s) { screen_stage(s, n, true); });
        add("screen/" + N + "/opt", [n](benchmark::State& s) { screen_stage(s, n, false); });
        // The whole runs' own matrix (dominant, so every row is summed).
        add("screen/" + N + "/opt_dominant", [n](benchmark::State& s) { screen_stage(s, n, false, true); });
    }
    benchmark::RegisterBenchmark("floor/chain", floor_chain)->Unit(benchmark::kMicrosecond);
}

}  // namespace
}  // namespace itersolve::bench

int main(int argc, char** argv) {
    // --data-file N: print the data file of the benchmarks' N x N system
    // (for timing whole runs of the programs on it) and stop.
    if (argc == 3 && std::string(argv[1]) == "--data-file") {
        const std::string& text = itersolve::bench::data_text(std::stoll(argv[2]));
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    itersolve::bench::pin_to_first_cpu();
    itersolve::bench::register_all();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
