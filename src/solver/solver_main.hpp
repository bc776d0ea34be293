// One whole run of a program: from the data file to the report file.
//
//  1. open the data file ("Error reading input file.") and the report file
//     ("Error creating output file.")
//  2. ask for TOL and MAXIT, echoing each to the report file
//  3. read N; obtain B (N), X (MAXIT x N) and A (N x N) in one step
//     ("Cannot allocate memory."); read A row by row, then B
//  4. echo A and B to the report file; screen A (check)
//  5. ask for the stopping criterion until the answer starts with 1 or 2
//  6. run the method; write the criterion, the iteration table and the count
//  7. end with "End of Program"
//
// The run takes its console streams, file system and memory as parameters
// and never touches the process itself: every stop, normal or not, comes
// back to the caller as a RunOutcome, after its message has been written on
// console output (or, when console output itself has failed, on the
// diagnostics sink) and the report file has been flushed and closed.
#pragma once

#include <string>

#include "recio/arrays.hpp"
#include "recio/run_stop.hpp"
#include "recio/streams.hpp"
#include "solver/settings.hpp"

namespace itersolve {

struct RunEnvironment {
    ByteSource& console_in;
    ByteSink& console_out;
    ByteSink& diagnostics;  // last resort, when console output fails
    FileSystem& files;
    Memory& memory;
};

struct RunOutcome {
    ExitStatus status;
    std::string message;  // the stop's message ("End of Program" on success)
};

RunOutcome solver_main(const solver_settings& settings, RunEnvironment& env);

}  // namespace itersolve
