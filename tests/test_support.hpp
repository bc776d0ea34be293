// Running the programs for tests: as real processes in a fresh temporary
// folder, or in memory through solver_main.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "recio/record_writer.hpp"
#include "recio/streams.hpp"
#include "solver/settings.hpp"

namespace itersolve::testing {

// The Gauss-Seidel programs' first two prompts, and the criterion question
// (an empty record and three lines) as every program asks it.
inline const std::string kPrompts =
    "Please key in the tolerance required.\n"
    "Please key in number of iterations required.\n";
inline const std::string kDialogue =
    "\nPlease indicate the iteration stopping criteria.\n"
    "Key in '1' if Infinity-Norm criteria is desired.\n"
    "Key in '2' if Euclidean-Norm criteria is desired.\n";

struct ProgramRun {
    int status = -1;             // exit status, or 128 + signal
    std::string console;         // standard output
    std::string diagnostics;     // standard error
    std::map<std::string, std::string> files;  // every file in the folder after the run
};

// Runs the built program `name` (or the program at `name` when it holds a
// slash) in a new temporary folder holding `files`, with `answers` piped to
// its standard input and `args` as its command-line arguments.
ProgramRun run_program(const std::string& name, const std::map<std::string, std::string>& files,
                       const std::string& answers, const std::vector<std::string>& args = {});

struct MemoryRunOptions {
    long report_fail_at_write = 0;   // fail the k-th write to the report file
    long console_fail_at_write = 0;  // fail the k-th write to console output
    long memory_fail_at = 0;         // fail the k-th allocation
    std::uint64_t memory_capacity = 0;  // bytes the arrays may hold at once (0: the machine's memory)
    std::size_t answer_chunk = 1 << 16;
};

// The same run in memory: data files and answers in, console, diagnostics,
// files and status out.
ProgramRun run_in_memory(const solver_settings& settings, const std::map<std::string, std::string>& files,
                         const std::string& answers, const MemoryRunOptions& options = {});

std::string read_text_file(const std::string& path);

// Runs `write` against a record writer over a memory sink and returns what
// reached the sink.
template <class F>
std::string written(F write) {
    std::string out;
    MemorySink sink(out);
    RecordWriter w(sink, "report file");
    write(w);
    w.flush();
    return out;
}

// The settings of a program by name ("succdisp", ...).
const solver_settings& settings_named(const std::string& name);

}  // namespace itersolve::testing
