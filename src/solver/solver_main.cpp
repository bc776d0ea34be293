#include "solver/solver_main.hpp"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>

#include "checks/check.hpp"
#include "recio/record_reader.hpp"
#include "recio/record_writer.hpp"
#include "solver/data_file.hpp"
#include "solver/report.hpp"

namespace itersolve {
namespace {

// The criterion dialogue: repeated until the first character of the answer
// is 1 or 2.
char ask_criterion(RecordWriter& console, RecordReader& answers) {
    for (;;) {
        write_free(console, {});
        write_free(console, {"Please indicate the iteration stopping criteria."});
        write_free(console, {"Key in '1' if Infinity-Norm criteria is desired."});
        write_free(console, {"Key in '2' if Euclidean-Norm criteria is desired."});
        const char c = read_free_character(answers, {"CRITERION"});
        if (c == '1' || c == '2') return c;
        write_free(console, {"That is not a valid option."});
    }
}

// Everything up to the final stop; ends by stop_run in every case.
// The report file's sink and writer belong to the caller, which flushes the
// records already written once the run has stopped.
[[noreturn]] void run(const solver_settings& s, RunEnvironment& env, RecordWriter& console,
                      std::unique_ptr<ByteSink>& report_sink, std::optional<RecordWriter>& report) {
    std::unique_ptr<ByteSource> data_source = env.files.open_read(s.data_file_name);
    if (!data_source) stop_run("Error reading input file.");
    report_sink = env.files.open_write(s.report_file_name);
    if (!report_sink) stop_run("Error creating output file.");
    report.emplace(*report_sink, s.report_file_name);
    RecordWriter& out = *report;

    RecordReader answers(env.console_in, "console input", "end of input", [&console] { console.flush(); });
    RecordReader data(*data_source, s.data_file_name, "end of file");

    write_free(console, {"Please key in the tolerance required."});
    const float TOL = read_free_real(answers, {"TOL"});
    write_free(out, {"Tolerance =", TOL});
    write_free(console, {s.iterations_prompt});
    const std::int32_t MAXIT = read_free_integer(answers, {"MAXIT"});
    write_free(out, {"Maximum number of iterations =", MAXIT});

    const std::int32_t N = read_order(data);
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    RealArray B, X, A;
    const bool obtained = allocate_with_status(env.memory, B, n, 1) &&
                          allocate_with_status(env.memory, X, MAXIT, n) &&
                          allocate_with_status(env.memory, A, n, n);
    if (!obtained) stop_run("Cannot allocate memory.");
    read_system(data, n, A.data(), B.data());

    write_heading(out, "Matrix A =");
    for (std::int64_t i = 0; i < n; ++i) write_values(out, A.data() + i * n, n);
    write_heading(out, "Matrix B =");
    for (std::int64_t i = 0; i < n; ++i) write_values(out, B.data() + i, 1);

    check(console, env.memory, A.data(), N, s.check_kind);
    const char CRITERION = ask_criterion(console, answers);

    std::int32_t ITER = 0;
    MethodServices services{console, env.memory};
    s.method_routine(services, A.data(), B.data(), N, TOL, MAXIT, CRITERION, X.data(), ITER);

    write_heading(out, CRITERION == '1' ? "Using the Infinity-Norm criteria," : "Using the Euclidean-Norm criteria,");
    write_heading(out, "Itn");
    write_iteration_table(out, s.iteration_layout, X.data(), n, ITER);
    write_count(out, "Number of iterations performed = ", ITER);

    B.release();
    X.release();
    A.release();
    out.flush();
    stop_run("End of Program", ExitStatus::completed);
}

}  // namespace

RunOutcome solver_main(const solver_settings& settings, RunEnvironment& env) {
    RecordWriter console(env.console_out, "console output", StopChannel::diagnostics_only);
    std::unique_ptr<ByteSink> report_sink;
    std::optional<RecordWriter> report;
    RunStop stop{"", ExitStatus::failed, StopChannel::console};
    try {
        run(settings, env, console, report_sink, report);
    } catch (RunStop& s) {
        stop = std::move(s);
    } catch (const std::bad_alloc&) {
        stop.message = "Cannot allocate memory.";
    }
    // The records already written to the report file stay there; a failure
    // to write them is a failure of the run.
    std::string report_error = report ? report->try_flush() : std::string();
    std::string diagnostics;
    auto say = [&](const std::string& line, StopChannel channel) {
        if (channel == StopChannel::console) {
            console.put(line);
            console.end_record();
        } else {
            diagnostics += line + '\n';
        }
    };
    say(stop.message, stop.channel);
    if (!report_error.empty() && report_error != stop.message) {
        say(report_error, StopChannel::console);
        stop.status = ExitStatus::failed;
    }
    std::string console_error = console.try_flush();
    if (!console_error.empty()) {
        stop.status = ExitStatus::failed;
        if (console_error != stop.message) diagnostics = console_error + '\n' + diagnostics;
    }
    if (!diagnostics.empty()) env.diagnostics.write(diagnostics.data(), diagnostics.size());
    return {stop.status, stop.message};
}

}  // namespace itersolve
