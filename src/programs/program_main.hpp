// The body shared by the four entry programs: run once on the real console
// and working directory, and turn the outcome into the exit status
// (0 after "End of Program", 1 after any other stop).
//
// With no arguments a program runs its dialogue.  The only arguments it
// accepts are --help (usage on standard output) and --version (name and
// version on standard output), both exiting 0; anything else is a usage
// error: one line and a hint on standard error, exit status 2.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <string_view>

#include "checks/check.hpp"
#include "methods/gauss_mtd.hpp"
#include "solver/solver_main.hpp"

#ifndef ITERSOLVE_VERSION
#error "ITERSOLVE_VERSION must be defined by the build"
#endif

namespace itersolve {

constexpr int kUsageError = 2;

// An argument as it can be shown on one line: control bytes and a quote as
// \xHH escapes.
inline std::string printable_argument(std::string_view arg) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char ch : arg) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7f || ch == '\'') {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xf];
        } else {
            out += ch;
        }
    }
    return out;
}

inline std::string usage_text(const solver_settings& s) {
    const bool gauss = s.method_routine == &gauss_mtd;
    const std::string name = s.program_name;
    std::string t;
    t += "Usage: " + name + " [--help | --version]\n";
    t += "Solve A*x = B by " + std::string(gauss ? "Gauss-Seidel" : "Jacobi") +
         " iteration from the zero vector and record every iterate.\n\n";
    t += "Reads   " + std::string(s.data_file_name) +
         " in the working folder: N on the first line, then the N rows of A\n"
         "        (each starting on a new line), then the N values of B, one per line.\n";
    t += "Asks    on the console for the tolerance, the maximum number of iterations\n"
         "        and the stopping criterion (1: infinity norm, 2: Euclidean norm of the\n"
         "        change between successive iterates).\n";
    t += "Writes  " + std::string(s.report_file_name) +
         " in the working folder: the tolerance, the limit, A and B,\n"
         "        the criterion, one line per iteration and the iteration count.\n";
    t += "Screens the matrix: a zero diagonal element";
    t += s.check_kind == CheckKind::full ? " or two proportional rows end" : " ends";
    t += " the run;\n"
         "        a matrix that is not diagonally dominant draws a warning.\n\n";
    t += "Exit status: 0 when the run completed (\"End of Program\"), 1 when it stopped\n"
         "early (a file, memory, the screening, an unreadable value or a failed write),\n"
         "2 for a bad command-line argument.\n\n";
    t += "Options:\n"
         "  --help     show this help and exit\n"
         "  --version  show the version and exit\n";
    return t;
}

// Writes all of `text` on descriptor fd; false when it cannot.
inline bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A program started with standard input, output or error closed would hand
// those descriptor numbers to the files it opens, and then read its answers
// from the data file or write its prompts into the report.  Each closed one
// is taken by /dev/null opened for reading: reads meet the end of input and
// writes fail, as they would on the closed stream.
inline void hold_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Those below fd are open by now, so the lowest free descriptor is fd.
        (void)::open("/dev/null", O_RDONLY);
    }
}

inline int program_main(const solver_settings& settings, int argc, char** argv) {
    hold_standard_descriptors();
    // A closed console output must surface as a failed write, not kill the
    // process before the report file is flushed.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string name = settings.program_name;
    if (argc > 1) {
        bool help = false;
        for (int i = 1; i < argc; ++i) {
            const std::string_view arg = argv[i];
            if (arg == "--help") {
                help = true;
            } else if (arg != "--version") {
                write_all(2, name + ": unrecognized argument '" + printable_argument(arg) + "'\nTry '" + name +
                                 " --help'.\n");
                return kUsageError;
            }
        }
        const std::string text = help ? usage_text(settings) : name + " " + ITERSOLVE_VERSION + "\n";
        if (!write_all(1, text)) {
            write_all(2, name + ": cannot write to standard output\n");
            return 1;
        }
        return 0;
    }
    auto console_in = fd_source(0);
    auto console_out = fd_sink(1);
    auto diagnostics = fd_sink(2);
    PosixFileSystem files;
    Memory memory;
    RunEnvironment env{*console_in, *console_out, *diagnostics, files, memory};
    return static_cast<int>(solver_main(settings, env).status);
}

}  // namespace itersolve
