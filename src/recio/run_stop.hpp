// Ending a run.
//
// stop_run() ends the run from wherever it is called: it unwinds to
// solver_main, which writes the message on console output, closes the streams
// (the records already written to the report file stay in it) and hands the
// outcome to its caller, the entry program, which turns it into the exit
// status.  Nothing else in the library ends a run.
#pragma once

#include <string>

namespace itersolve {

enum class ExitStatus : int { completed = 0, failed = 1 };

// Where a stop's message can still be written.  A stop caused by console
// output itself failing cannot be reported there.
enum class StopChannel { console, diagnostics_only };

struct RunStop {
    std::string message;
    ExitStatus status;
    StopChannel channel;
};

[[noreturn]] inline void stop_run(std::string message, ExitStatus status = ExitStatus::failed,
                                  StopChannel channel = StopChannel::console) {
    throw RunStop{std::move(message), status, channel};
}

}  // namespace itersolve
