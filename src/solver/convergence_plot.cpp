#include "solver/convergence_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "checks/check.hpp"
#include "methods/gauss_mtd.hpp"
#include "methods/jacobi_mtd.hpp"
#include "recio/number_text.hpp"
#include "recio/record_reader.hpp"
#include "recio/record_writer.hpp"
#include "recio/run_stop.hpp"
#include "solver/data_file.hpp"

#ifndef ITERSOLVE_VERSION
#error "ITERSOLVE_VERSION must be defined by the build"
#endif

namespace itersolve {
namespace {

// Splits console text into its records.
std::vector<std::string> records_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

ConvergenceTrace trace_method(const char* name, MethodRoutine routine, const float* A, const float* B,
                              std::int32_t N, float TOL, std::int32_t MAXIT, char CRITERION, Memory& memory) {
    const std::int64_t n = std::max<std::int32_t>(N, 0);
    ConvergenceTrace trace;
    trace.method = name;
    RealArray X;
    if (!allocate_with_status(memory, X, MAXIT, n)) stop_run("Cannot allocate memory.");
    std::int32_t ITER = 0;
    {
        MemorySink sink(trace.console);
        RecordWriter console(sink, "console output");
        MethodServices services{console, memory};
        routine(services, A, B, N, TOL, MAXIT, CRITERION, X.data(), ITER);
        console.flush();
    }
    RealArray DIFF = allocate_or_stop(memory, n);
    RealArray DIFFSQ = allocate_or_stop(memory, n);
    RealArray previous = allocate_or_stop(memory, n);  // X(0): the zero vector
    for (std::int32_t k = 1; k <= ITER; ++k) {
        const float* Xk = X.data() + static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(n);
        for (std::int64_t j = 0; j < n; ++j) DIFF[static_cast<std::size_t>(j)] = previous[static_cast<std::size_t>(j)] - Xk[j];
        trace.change.push_back(CRITERION == '1' ? static_cast<double>(infinity_norm_of_change(DIFF.data(), n))
                                                : euclidean_norm_of_change(DIFF.data(), DIFFSQ.data(), n));
        if (k == ITER) trace.tolerance_met = stopping_test_passed(CRITERION, TOL, DIFF.data(), DIFFSQ.data(), n);
        std::copy(Xk, Xk + n, previous.data());
    }
    return trace;
}

// ---- SVG text

std::string escaped(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                // Control bytes are not allowed in XML text.
                out += static_cast<unsigned char>(ch) < 0x20 ? '?' : ch;
        }
    }
    return out;
}

std::string fixed2(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

// A measured change, exactly: shortest decimal form for the NaN and
// infinities, 17 significant digits otherwise (a double reads back exactly).
std::string exact_text(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    if (v == 0.0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

bool plottable(double v) { return std::isfinite(v) && v > 0.0; }

struct Frame {
    static constexpr double width = 860, height = 460;
    static constexpr double left = 90, right = 540, top = 50, bottom = 390;
    int lo_decade = -3, hi_decade = 0;
    std::int32_t x_max = 2;

    double x(std::int32_t k) const {
        return left + (right - left) * static_cast<double>(k - 1) / static_cast<double>(x_max - 1);
    }
    // Zero goes to the bottom edge, anything not plottable to the top edge.
    double y(double v) const {
        if (v == 0.0) return bottom;
        if (!plottable(v)) return top;
        const double t = (std::log10(v) - lo_decade) / static_cast<double>(hi_decade - lo_decade);
        return bottom - (bottom - top) * std::clamp(t, 0.0, 1.0);
    }
};

Frame frame_for(const ConvergenceRun& run) {
    Frame f;
    double lo = std::numeric_limits<double>::infinity(), hi = 0.0;
    bool any_zero = false;
    for (const ConvergenceTrace* t : {&run.gauss, &run.jacobi}) {
        f.x_max = std::max<std::int32_t>(f.x_max, static_cast<std::int32_t>(t->change.size()));
        for (const double v : t->change) {
            if (v == 0.0) any_zero = true;
            if (!plottable(v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    const double tol = static_cast<double>(run.TOL);
    if (plottable(tol)) {
        lo = std::min(lo, tol);
        hi = std::max(hi, tol);
    }
    if (hi > 0.0) {
        f.lo_decade = static_cast<int>(std::floor(std::log10(lo)));
        f.hi_decade = static_cast<int>(std::ceil(std::log10(hi)));
    }
    // Room below the smallest value, so that a zero (drawn at the bottom
    // edge) is never confused with a value lying on it.
    if (any_zero) --f.lo_decade;
    if (f.hi_decade <= f.lo_decade) f.hi_decade = f.lo_decade + 1;
    return f;
}

const char* const kColours[] = {"#1f5fa8", "#c0392b"};

}  // namespace

ConvergenceRun trace_convergence(ByteSource& data, const std::string& data_name, float TOL, std::int32_t MAXIT,
                                 char CRITERION, Memory& memory) {
    ConvergenceRun run;
    run.data_name = data_name;
    run.TOL = TOL;
    run.MAXIT = MAXIT;
    run.CRITERION = CRITERION;
    RecordReader reader(data, data_name, "end of file");
    run.N = read_order(reader);
    const std::int64_t n = std::max<std::int32_t>(run.N, 0);
    RealArray A, B;
    if (!allocate_with_status(memory, B, n, 1) || !allocate_with_status(memory, A, n, n))
        stop_run("Cannot allocate memory.");
    read_system(reader, n, A.data(), B.data());

    std::string screening;
    {
        MemorySink sink(screening);
        RecordWriter console(sink, "console output");
        try {
            check(console, memory, A.data(), run.N, CheckKind::reduced);
        } catch (RunStop& stop) {
            stop.message = data_name + ": " + stop.message;
            throw;
        }
        console.flush();
    }
    run.screening = records_of(screening);
    run.gauss = trace_method("Gauss-Seidel", gauss_mtd, A.data(), B.data(), run.N, TOL, MAXIT, CRITERION, memory);
    run.jacobi = trace_method("Jacobi", jacobi_mtd, A.data(), B.data(), run.N, TOL, MAXIT, CRITERION, memory);
    return run;
}

std::string convergence_svg(const ConvergenceRun& run) {
    const Frame f = frame_for(run);
    std::string s;
    auto add = [&s](const std::string& text) { s += text; };
    const std::string W = fixed2(Frame::width), H = fixed2(Frame::height);
    add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    add("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + W + "\" height=\"" + H + "\" viewBox=\"0 0 " + W +
        " " + H + "\" font-family=\"sans-serif\" font-size=\"12\">\n");
    add("<rect x=\"0\" y=\"0\" width=\"" + W + "\" height=\"" + H + "\" fill=\"white\"/>\n");
    const std::string norm_name = run.CRITERION == '1' ? "infinity norm" : "Euclidean norm";
    add("<text x=\"" + fixed2((Frame::left + Frame::right) / 2) +
        "\" y=\"24\" text-anchor=\"middle\" font-size=\"14\">" +
        escaped("Convergence on " + run.data_name + " (N = " + format_free(run.N) + ")") + "</text>\n");

    // Axes, grid and tick labels.
    add("<g class=\"axes\" stroke=\"black\" fill=\"none\">\n");
    add("<rect x=\"" + fixed2(Frame::left) + "\" y=\"" + fixed2(Frame::top) + "\" width=\"" +
        fixed2(Frame::right - Frame::left) + "\" height=\"" + fixed2(Frame::bottom - Frame::top) + "\"/>\n");
    add("</g>\n");
    const int decades = f.hi_decade - f.lo_decade;
    const int decade_step = std::max(1, (decades + 9) / 10);
    add("<g class=\"y-ticks\" font-size=\"11\">\n");
    for (int d = f.lo_decade; d <= f.hi_decade; d += decade_step) {
        const double y = f.y(std::pow(10.0, d));
        add("<line x1=\"" + fixed2(Frame::left) + "\" y1=\"" + fixed2(y) + "\" x2=\"" + fixed2(Frame::right) +
            "\" y2=\"" + fixed2(y) + "\" stroke=\"#dddddd\"/>\n");
        add("<text x=\"" + fixed2(Frame::left - 6) + "\" y=\"" + fixed2(y + 4) + "\" text-anchor=\"end\">1e" +
            std::to_string(d) + "</text>\n");
    }
    add("</g>\n");
    std::int32_t x_step = 1;
    // The smallest of 1, 2, 5, 10, 20, 50, ... that gives at most 10 steps.
    for (std::int32_t p = 1; p <= 100000000; p *= 10) {
        bool done = false;
        for (const std::int32_t m : {1, 2, 5}) {
            if (static_cast<std::int64_t>(m) * p * 10 >= f.x_max - 1) {
                x_step = m * p;
                done = true;
                break;
            }
        }
        if (done) break;
    }
    add("<g class=\"x-ticks\" font-size=\"11\">\n");
    for (std::int64_t k = 1; k <= f.x_max; k += (k == 1 && x_step > 1 ? x_step - 1 : x_step)) {
        const double x = f.x(static_cast<std::int32_t>(k));
        add("<line x1=\"" + fixed2(x) + "\" y1=\"" + fixed2(Frame::bottom) + "\" x2=\"" + fixed2(x) + "\" y2=\"" +
            fixed2(Frame::bottom + 5) + "\" stroke=\"black\"/>\n");
        add("<text x=\"" + fixed2(x) + "\" y=\"" + fixed2(Frame::bottom + 18) + "\" text-anchor=\"middle\">" +
            std::to_string(k) + "</text>\n");
    }
    add("</g>\n");
    add("<text x=\"" + fixed2((Frame::left + Frame::right) / 2) + "\" y=\"" + fixed2(Frame::bottom + 40) +
        "\" text-anchor=\"middle\">iteration</text>\n");
    const double mid_y = (Frame::top + Frame::bottom) / 2;
    add("<text x=\"24\" y=\"" + fixed2(mid_y) + "\" text-anchor=\"middle\" transform=\"rotate(-90 24 " +
        fixed2(mid_y) + ")\">" + escaped(norm_name + " of the change between iterates") + "</text>\n");

    // The tolerance.
    const double tol = static_cast<double>(run.TOL);
    if (plottable(tol)) {
        const double y = f.y(tol);
        add("<line class=\"tolerance\" x1=\"" + fixed2(Frame::left) + "\" y1=\"" + fixed2(y) + "\" x2=\"" +
            fixed2(Frame::right) + "\" y2=\"" + fixed2(y) + "\" stroke=\"#555555\" stroke-dasharray=\"6 4\"/>\n");
    }

    // One polyline per method, its special points and its last iteration.
    bool any_zero = false, any_other = false;
    int index = 0;
    for (const ConvergenceTrace* t : {&run.gauss, &run.jacobi}) {
        const std::string colour = kColours[index++];
        std::string points, norms;
        for (std::size_t i = 0; i < t->change.size(); ++i) {
            const double v = t->change[i];
            if (i) {
                points += ' ';
                norms += ' ';
            }
            points += fixed2(f.x(static_cast<std::int32_t>(i + 1)));
            points += ',';
            points += fixed2(f.y(v));
            norms += exact_text(v);
        }
        add("<polyline class=\"trace\" data-method=\"" + escaped(t->method) + "\" data-norms=\"" + norms +
            "\" points=\"" + points + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n");
        for (std::size_t i = 0; i < t->change.size(); ++i) {
            const double v = t->change[i];
            if (plottable(v)) continue;
            const double x = f.x(static_cast<std::int32_t>(i + 1)), y = f.y(v);
            if (v == 0.0) {
                any_zero = true;
                add("<rect class=\"zero-change\" x=\"" + fixed2(x - 3.5) + "\" y=\"" + fixed2(y - 3.5) +
                    "\" width=\"7.00\" height=\"7.00\" fill=\"white\" stroke=\"" + colour + "\"/>\n");
            } else {
                any_other = true;
                add("<path class=\"no-number\" d=\"M" + fixed2(x - 4) + "," + fixed2(y - 4) + " L" + fixed2(x + 4) +
                    "," + fixed2(y + 4) + " M" + fixed2(x - 4) + "," + fixed2(y + 4) + " L" + fixed2(x + 4) + "," +
                    fixed2(y - 4) + "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n");
            }
        }
        if (!t->change.empty()) {
            const std::int32_t last = static_cast<std::int32_t>(t->change.size());
            const double x = f.x(last), y = f.y(t->change.back());
            add("<circle class=\"stop\" data-method=\"" + escaped(t->method) + "\" data-iteration=\"" +
                std::to_string(last) + "\" cx=\"" + fixed2(x) + "\" cy=\"" + fixed2(y) +
                "\" r=\"6.00\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n");
        }
    }

    // Legend.
    double ly = Frame::top + 6;
    const double lx = Frame::right + 20;
    auto legend_line = [&](const std::string& sample, const std::string& text) {
        add(sample);
        add("<text x=\"" + fixed2(lx + 32) + "\" y=\"" + fixed2(ly + 4) + "\">" + escaped(text) + "</text>\n");
        ly += 22;
    };
    add("<g class=\"legend\">\n");
    index = 0;
    for (const ConvergenceTrace* t : {&run.gauss, &run.jacobi}) {
        const std::string colour = kColours[index++];
        const std::string count = std::to_string(t->change.size());
        const std::string outcome = t->change.empty()  ? "no iteration"
                                    : t->tolerance_met ? "TOL met at iteration " + count
                                                       : "limit reached at " + count;
        legend_line("<line x1=\"" + fixed2(lx) + "\" y1=\"" + fixed2(ly) + "\" x2=\"" + fixed2(lx + 24) +
                        "\" y2=\"" + fixed2(ly) + "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n",
                    t->method + ": " + outcome);
    }
    legend_line("<circle cx=\"" + fixed2(lx + 12) + "\" cy=\"" + fixed2(ly) +
                    "\" r=\"6.00\" fill=\"none\" stroke=\"black\" stroke-width=\"2\"/>\n",
                "last iteration");
    if (plottable(tol))
        legend_line("<line x1=\"" + fixed2(lx) + "\" y1=\"" + fixed2(ly) + "\" x2=\"" + fixed2(lx + 24) + "\" y2=\"" +
                        fixed2(ly) + "\" stroke=\"#555555\" stroke-dasharray=\"6 4\"/>\n",
                    "TOL = " + format_free(run.TOL));
    else
        legend_line("", "TOL = " + format_free(run.TOL) + " (not drawn)");
    if (any_zero)
        legend_line("<rect x=\"" + fixed2(lx + 8.5) + "\" y=\"" + fixed2(ly - 3.5) +
                        "\" width=\"7.00\" height=\"7.00\" fill=\"white\" stroke=\"black\"/>\n",
                    "change exactly 0 (bottom edge)");
    if (any_other)
        legend_line("<path d=\"M" + fixed2(lx + 8) + "," + fixed2(ly - 4) + " L" + fixed2(lx + 16) + "," +
                        fixed2(ly + 4) + " M" + fixed2(lx + 8) + "," + fixed2(ly + 4) + " L" + fixed2(lx + 16) + "," +
                        fixed2(ly - 4) + "\" stroke=\"black\" stroke-width=\"1.5\"/>\n",
                    "no numeric change (top edge)");
    legend_line("", "criterion " + std::string(1, run.CRITERION) + ": " + norm_name);
    legend_line("", "MAXIT = " + format_free(run.MAXIT));
    for (const std::string& line : run.screening) legend_line("", line);
    add("</g>\n");
    add("</svg>\n");
    return s;
}

// ---- the command

namespace {

const char kUsage[] =
    "Usage: itplot DATAFILE [--tol TOL] [--maxit MAXIT] [--criterion 1|2] [-o FILE]\n"
    "Draw how Gauss-Seidel and Jacobi converge on one system, as an SVG picture.\n\n"
    "Reads   DATAFILE, in the format of Input.dat: N on the first line, then the\n"
    "        N rows of A (each starting on a new line), then the N values of B,\n"
    "        one per line.\n"
    "Runs    both methods from the zero vector, exactly as the solver programs do,\n"
    "        and plots for every iteration the chosen norm of the change between\n"
    "        successive iterates on a logarithmic axis, with TOL as a dashed line\n"
    "        and the last iteration of each method ringed.\n"
    "Writes  the picture to FILE.\n\n"
    "Options:\n"
    "  --tol TOL          tolerance of the stopping test (default 1E-3)\n"
    "  --maxit MAXIT      largest number of iterations, at least 1 (default 50)\n"
    "  --criterion 1|2    1: infinity norm, 2: Euclidean norm (default 1)\n"
    "  -o, --output FILE  the picture to write (default convergence.svg)\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n\n"
    "Exit status: 0 when the picture was written, 1 when the data file cannot be\n"
    "read or screened or the picture cannot be written, 2 for a bad argument.\n";

struct UsageError {
    std::string message;
};

void put(ByteSink& sink, const std::string& text) { sink.write(text.data(), text.size()); }

std::string quoted(const std::string& text) {
    std::string out;
    for (const char ch : text) out += static_cast<unsigned char>(ch) < 0x20 || ch == '"' ? '?' : ch;
    return "\"" + out + "\"";
}

}  // namespace

int itplot_main(const std::vector<std::string>& args, FileSystem& files, ByteSink& out, ByteSink& err) {
    float TOL = 1e-3f;
    std::int32_t MAXIT = 50;
    char CRITERION = '1';
    std::string output = "convergence.svg";
    std::optional<std::string> data_name;
    try {
        bool help = false, version = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            std::string arg = args[i];
            std::optional<std::string> value;
            if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
                value = arg.substr(arg.find('=') + 1);
                arg = arg.substr(0, arg.find('='));
            }
            auto take_value = [&]() -> std::string {
                if (value) return *value;
                if (i + 1 >= args.size()) throw UsageError{"option '" + arg + "' needs a value"};
                return args[++i];
            };
            if (arg == "--help" && !value) {
                help = true;
            } else if (arg == "--version" && !value) {
                version = true;
            } else if (arg == "--tol") {
                const std::string v = take_value();
                if (parse_real(v, TOL) != ParseStatus::ok || !std::isfinite(TOL))
                    throw UsageError{"--tol: expected a finite real, found " + quoted(v)};
            } else if (arg == "--maxit") {
                const std::string v = take_value();
                if (parse_integer(v, MAXIT) != ParseStatus::ok || MAXIT < 1)
                    throw UsageError{"--maxit: expected an integer of at least 1, found " + quoted(v)};
            } else if (arg == "--criterion") {
                const std::string v = take_value();
                if (v != "1" && v != "2") throw UsageError{"--criterion: expected 1 or 2, found " + quoted(v)};
                CRITERION = v[0];
            } else if (arg == "-o" || arg == "--output") {
                output = take_value();
                if (output.empty()) throw UsageError{"the picture's file name is empty"};
            } else if (arg.size() > 1 && arg[0] == '-') {
                throw UsageError{"unrecognized option " + quoted(arg)};
            } else if (data_name) {
                throw UsageError{"unexpected argument " + quoted(arg) + " after the data file"};
            } else {
                data_name = arg;
            }
        }
        if (help) {
            put(out, kUsage);
            return 0;
        }
        if (version) {
            put(out, std::string("itplot ") + ITERSOLVE_VERSION + "\n");
            return 0;
        }
        if (!data_name) throw UsageError{"no data file given"};
    } catch (const UsageError& e) {
        put(err, "itplot: " + e.message + "\nTry 'itplot --help'.\n");
        return 2;
    }

    std::string picture;
    try {
        std::unique_ptr<ByteSource> data = files.open_read(*data_name);
        if (!data) stop_run(*data_name + ": cannot open for reading");
        Memory memory;
        const ConvergenceRun run = trace_convergence(*data, *data_name, TOL, MAXIT, CRITERION, memory);
        for (const std::string& line : run.screening) put(err, "itplot: " + line + "\n");
        picture = convergence_svg(run);
    } catch (const RunStop& stop) {
        put(err, "itplot: " + stop.message + "\n");
        return 1;
    } catch (const std::bad_alloc&) {
        put(err, "itplot: Cannot allocate memory.\n");
        return 1;
    }
    std::unique_ptr<ByteSink> sink = files.open_write(output);
    if (!sink) {
        put(err, "itplot: " + output + ": cannot open for writing\n");
        return 1;
    }
    if (!sink->write(picture.data(), picture.size())) {
        put(err, "itplot: " + output + ": cannot write: " + sink->error() + "\n");
        return 1;
    }
    return 0;
}

}  // namespace itersolve
