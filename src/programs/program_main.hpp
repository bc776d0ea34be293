// The body shared by the four entry programs: run once on the real console
// and working directory, and turn the outcome into the exit status
// (0 after "End of Program", 1 after any other stop).
#pragma once

#include <csignal>

#include "solver/solver_main.hpp"

namespace itersolve {

inline int program_main(const solver_settings& settings) {
    // A closed console output must surface as a failed write, not kill the
    // process before the report file is flushed.
    std::signal(SIGPIPE, SIG_IGN);
    auto console_in = fd_source(0);
    auto console_out = fd_sink(1);
    auto diagnostics = fd_sink(2);
    PosixFileSystem files;
    Memory memory;
    RunEnvironment env{*console_in, *console_out, *diagnostics, files, memory};
    return static_cast<int>(solver_main(settings, env).status);
}

}  // namespace itersolve
