// Runs that fail the way real machines fail: a write to the report file or to
// console output that fails at any point, an allocation that fails at any
// point, console input that closes at any prompt, a full disk, a report path
// that cannot be created and a console reader that goes away.  Every such run
// must end with status 1 and keep the records written before the fault.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "test_support.hpp"

extern char** environ;

namespace itersolve::testing {
namespace {

const std::string kWorkedSystem = "2\n4 1\n1 3\n1\n2\n";
const std::string kWorkedAnswers = "1E-3\n20\n1\n";
const std::string kReportFull = "OutputGS2.dat: cannot write: No space left on device";

std::string fixture(const std::string& file) {
    return read_text_file(std::string(ITERSOLVE_CASES_DIR) + "/gs_worked_example_infinity/" + file);
}

// The first `records` records of `text`.
std::string first_records(const std::string& text, int records) {
    std::size_t end = 0;
    for (int r = 0; r < records; ++r) end = text.find('\n', end) + 1;
    return text.substr(0, end);
}

std::string last_record(const std::string& text) {
    if (text.empty()) return text;
    const std::size_t start = text.rfind('\n', text.size() - 2);
    return text.substr(start == std::string::npos ? 0 : start + 1);
}

// The diagonal system 4·x(i) = 1 of order 101, run with TOL 0 to MAXIT 300:
// a report of some 430 kB, which reaches the report file in several writes.
std::string large_system() {
    std::string data = "101\n";
    for (int i = 0; i < 101; ++i) {
        for (int j = 0; j < 101; ++j) data += j == i ? "4 " : "0 ";
        data += '\n';
    }
    for (int i = 0; i < 101; ++i) data += "1\n";
    return data;
}

struct SmallOrLarge {
    const char* name;
    const char* program;
    std::string data;
    std::string answers;
};

std::vector<SmallOrLarge> runs_to_fault() {
    return {{"worked 2x2 system", "succdisp", kWorkedSystem, kWorkedAnswers},
            {"order 101, 300 iterations", "succdisp1", large_system(), "0\n300\n1\n"}};
}

ProgramRun run_named(const SmallOrLarge& r, const MemoryRunOptions& options) {
    const solver_settings& s = settings_named(r.program);
    return run_in_memory(s, {{s.data_file_name, r.data}}, r.answers, options);
}

// Failing the k-th write to the report file, for every k until the run no
// longer reaches it: the run ends with status 1 and the report file's name on
// console output, and the report holds exactly what the earlier writes took,
// a growing prefix of the full report.
TEST(WriteFault, EveryWriteToTheReportFile) {
    for (const SmallOrLarge& r : runs_to_fault()) {
        SCOPED_TRACE(r.name);
        const std::string report_name = settings_named(r.program).report_file_name;
        const ProgramRun clean = run_named(r, {});
        ASSERT_EQ(clean.status, 0);
        const std::string& full = clean.files.at(report_name);
        std::size_t previous = 0;
        long k = 1;
        for (;; ++k) {
            SCOPED_TRACE("failing write " + std::to_string(k));
            ASSERT_LT(k, 100) << "the report never stops failing";
            const ProgramRun run = run_named(r, {.report_fail_at_write = k});
            const std::string& report = run.files.at(report_name);
            if (run.status == 0) {
                EXPECT_EQ(report, full);
                EXPECT_EQ(run.console, clean.console);
                break;
            }
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(last_record(run.console), report_name + ": cannot write: No space left on device\n");
            EXPECT_EQ(run.diagnostics, "");
            EXPECT_LT(report.size(), full.size());
            EXPECT_EQ(full.compare(0, report.size(), report), 0) << "not a prefix of the full report";
            if (k > 1) {
                EXPECT_GT(report.size(), previous) << "an earlier write was lost";
            }
            previous = report.size();
        }
        EXPECT_GT(k, 1) << "no write was failed";
    }
}

// Failing the k-th write to console output, for every k: the run ends with
// status 1, the diagnostic goes to the diagnostics sink, console output holds
// a prefix of its full text, and the report keeps whole records.  When the
// last write fails the run itself had finished, so the report is complete.
TEST(WriteFault, EveryWriteToConsoleOutput) {
    for (const SmallOrLarge& r : runs_to_fault()) {
        SCOPED_TRACE(r.name);
        const std::string report_name = settings_named(r.program).report_file_name;
        const ProgramRun clean = run_named(r, {});
        ASSERT_EQ(clean.status, 0);
        const std::string& full = clean.files.at(report_name);
        std::string last_failed_report;
        long k = 1;
        for (;; ++k) {
            SCOPED_TRACE("failing write " + std::to_string(k));
            ASSERT_LT(k, 100) << "console output never stops failing";
            const ProgramRun run = run_named(r, {.console_fail_at_write = k});
            const std::string& report = run.files.at(report_name);
            if (run.status == 0) {
                EXPECT_EQ(run.console, clean.console);
                EXPECT_EQ(report, full);
                break;
            }
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.diagnostics, "console output: cannot write: No space left on device\n");
            EXPECT_EQ(clean.console.compare(0, run.console.size(), run.console), 0);
            EXPECT_EQ(full.compare(0, report.size(), report), 0) << "not a prefix of the full report";
            EXPECT_TRUE(report.empty() || report.ends_with('\n')) << "a record was cut";
            last_failed_report = report;
        }
        EXPECT_GT(k, 1) << "no write was failed";
        EXPECT_EQ(last_failed_report, full);
    }
}

// Failing the k-th allocation, for every k: "Cannot allocate memory." and
// status 1.  B, X and A come first, in one step right after N is read, so
// the report then holds the two echo records; any later allocation belongs to
// the screening or the method, after the system was echoed.
TEST(AllocationFault, EveryAllocationOfARun) {
    const std::string full = fixture("expected.report");
    const std::string echoes = first_records(full, 2);
    const std::string echoes_and_system = first_records(full, 6 + 2 * 2);
    long k = 1;
    for (;; ++k) {
        SCOPED_TRACE("failing allocation " + std::to_string(k));
        ASSERT_LT(k, 100) << "allocations never stop failing";
        const ProgramRun run =
            run_in_memory(settings_named("succdisp"), {{"Input.dat", kWorkedSystem}}, kWorkedAnswers,
                          {.memory_fail_at = k});
        if (run.status == 0) {
            EXPECT_EQ(run.files.at("OutputGS2.dat"), full);
            break;
        }
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(last_record(run.console), "Cannot allocate memory.\n");
        EXPECT_EQ(run.diagnostics, "");
        if (k <= 3) {
            EXPECT_EQ(run.console, kPrompts + "Cannot allocate memory.\n");
            EXPECT_EQ(run.files.at("OutputGS2.dat"), echoes);
        } else {
            EXPECT_EQ(run.files.at("OutputGS2.dat"), echoes_and_system);
        }
    }
    // B, X, A; the screening's two scratch arrays; the method's three vectors.
    EXPECT_GE(k, 9);
}

// Console input that ends while an answer is awaited, at each of the four
// prompts: the one-line diagnostic names the line and the item, and the
// report keeps what was written before.
TEST(ClosedConsoleInput, AtEachPrompt) {
    const std::string full = fixture("expected.report");
    struct Case {
        const char* name;
        std::string answers;
        std::string console;
        int report_records;
    };
    const Case cases[] = {
        {"tolerance", "", "Please key in the tolerance required.\n"
                          "console input, line 1: expected a real for TOL, found end of input\n", 0},
        {"iteration limit", "1E-3\n",
         kPrompts + "console input, line 2: expected an integer for MAXIT, found end of input\n", 1},
        {"criterion", "1E-3\n20\n",
         kPrompts + kDialogue + "console input, line 3: expected an answer for CRITERION, found end of input\n",
         10},
        {"criterion after an invalid answer", "1E-3\n20\n7\n",
         kPrompts + kDialogue + "That is not a valid option.\n" + kDialogue +
             "console input, line 4: expected an answer for CRITERION, found end of input\n",
         10},
        {"criterion after an answer without a line end", "1E-3\n20\n7",
         kPrompts + kDialogue + "That is not a valid option.\n" + kDialogue +
             "console input, line 3: expected an answer for CRITERION, found end of input\n",
         10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t chunk : {std::size_t{1} << 16, std::size_t{1}}) {
            const ProgramRun run = run_in_memory(settings_named("succdisp"), {{"Input.dat", kWorkedSystem}}, c.answers,
                                                 {.answer_chunk = chunk});
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.console, c.console);
            EXPECT_EQ(run.files.at("OutputGS2.dat"), first_records(full, c.report_records));
        }
    }
}

// ---- the real process

struct Folder {
    std::string path;
    Folder() {
        char pattern[] = "/tmp/itersolve-faults-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        path = pattern;
    }
    ~Folder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(*this / name, std::ios::binary) << text;
    }
};

struct Spawned {
    pid_t pid = -1;
    int status = -1;  // exit status, or 128 + signal
    bool signalled = false;
    void wait() {
        int ws = 0;
        waitpid(pid, &ws, 0);
        signalled = WIFSIGNALED(ws);
        status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
    }
};

// Starts `program` in `folder` with the given descriptors as its standard
// input, output and error; -1 leaves that one closed.
Spawned spawn(const std::string& program, const Folder& folder, int in, int out, int err) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    const int fds[] = {in, out, err};
    for (int target = 0; target < 3; ++target) {
        if (fds[target] < 0) posix_spawn_file_actions_addclose(&fa, target);
        else posix_spawn_file_actions_adddup2(&fa, fds[target], target);
    }
    posix_spawn_file_actions_addchdir_np(&fa, folder.path.c_str());
    const std::string exe = std::string(ITERSOLVE_BIN_DIR) + "/" + program;
    char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
    Spawned s;
    if (posix_spawn(&s.pid, exe.c_str(), &fa, nullptr, argv, environ) != 0) s.pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return s;
}

Spawned run_with_files(const std::string& program, const Folder& folder, const std::string& answers) {
    folder.write(".answers", answers);
    const int in = open((folder / ".answers").c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open((folder / ".console").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err = open((folder / ".diagnostics").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Spawned s = spawn(program, folder, in, out, err);
    close(in);
    close(out);
    close(err);
    if (s.pid > 0) s.wait();
    return s;
}

// Started with standard input, or input and output, closed: the run must not
// take its answers from the data file nor write its prompts into the report.
TEST(ProcessFault, StandardStreamsClosedAtStart) {
    struct Case {
        const char* name;
        bool output_closed;
        std::string console;
        std::string diagnostics;
    };
    const Case cases[] = {
        {"input closed", false,
         "Please key in the tolerance required.\n"
         "console input, line 1: expected a real for TOL, found end of input\n",
         ""},
        {"input and output closed", true, "", "console output: cannot write: Bad file descriptor\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        folder.write("Input.dat", kWorkedSystem);
        const int out = open((folder / ".console").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = open((folder / ".diagnostics").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        Spawned s = spawn("succdisp", folder, -1, c.output_closed ? -1 : out, err);
        close(out);
        close(err);
        ASSERT_GT(s.pid, 0);
        s.wait();
        EXPECT_FALSE(s.signalled);
        EXPECT_EQ(s.status, 1);
        EXPECT_EQ(read_text_file(folder / ".console"), c.console);
        EXPECT_EQ(read_text_file(folder / ".diagnostics"), c.diagnostics);
        EXPECT_EQ(read_text_file(folder / "OutputGS2.dat"), "");
        EXPECT_EQ(read_text_file(folder / "Input.dat"), kWorkedSystem);
    }
}

// A report file on a full disk: every record is computed, the write fails,
// and the run says so in place of "End of Program".
TEST(ProcessFault, ReportFileOnAFullDisk) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "this system has no /dev/full";
    Folder folder;
    folder.write("Input.dat", kWorkedSystem);
    ASSERT_EQ(symlink("/dev/full", (folder / "OutputGS2.dat").c_str()), 0);
    const Spawned s = run_with_files("succdisp", folder, kWorkedAnswers);
    ASSERT_GT(s.pid, 0);
    EXPECT_FALSE(s.signalled);
    EXPECT_EQ(s.status, 1);
    std::string console = fixture("expected.console");
    console.replace(console.rfind("End of Program"), std::string::npos, kReportFull + "\n");
    EXPECT_EQ(read_text_file(folder / ".console"), console);
    EXPECT_EQ(read_text_file(folder / ".diagnostics"), "");
}

// Files that exist by name but cannot be used: a report name that leads into
// a folder that does not exist cannot be created, whoever runs the program;
// a data file that is a folder opens but cannot be read, which ends the run
// at the first value read from it.
TEST(ProcessFault, FilesThatCannotBeUsed) {
    const std::string echoes = "Tolerance = 0.001\nMaximum number of iterations = 20\n";
    struct Case {
        const char* name;
        void (*prepare)(const Folder&);
        std::string console;
        const char* report;  // null: no report file can be read
    };
    const Case cases[] = {
        {"report path into a missing folder",
         [](const Folder& f) {
             f.write("Input.dat", kWorkedSystem);
             ASSERT_EQ(symlink("no-such-folder/OutputGS2.dat", (f / "OutputGS2.dat").c_str()), 0);
         },
         "Error creating output file.\n", nullptr},
        {"data file that is a folder", [](const Folder& f) { ASSERT_EQ(mkdir((f / "Input.dat").c_str(), 0700), 0); },
         kPrompts + "Input.dat, line 1: cannot read: Is a directory\n", echoes.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        c.prepare(folder);
        const Spawned s = run_with_files("succdisp", folder, kWorkedAnswers);
        ASSERT_GT(s.pid, 0);
        EXPECT_FALSE(s.signalled);
        EXPECT_EQ(s.status, 1);
        EXPECT_EQ(read_text_file(folder / ".console"), c.console);
        if (c.report) {
            EXPECT_EQ(read_text_file(folder / "OutputGS2.dat"), c.report);
        }
    }
}

// Console output is a pipe whose reader goes away after the first prompt.
// The tolerance is typed only then, so the run reads it, echoes it, and fails
// showing the next prompt: status 1, no death by signal, the diagnostic on
// standard error and the echo record in the report.
TEST(ProcessFault, ConsoleReaderExitsEarly) {
    std::signal(SIGPIPE, SIG_IGN);  // this test writes the answers into a pipe
    Folder folder;
    folder.write("Input.dat", kWorkedSystem);
    int answers[2], console[2];
    ASSERT_EQ(pipe2(answers, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(console, O_CLOEXEC), 0);
    const int err = open((folder / ".diagnostics").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Spawned s = spawn("succdisp", folder, answers[0], console[1], err);
    close(answers[0]);
    close(console[1]);
    close(err);
    ASSERT_GT(s.pid, 0);

    const std::string first_prompt = "Please key in the tolerance required.\n";
    std::string got;
    char buf[256];
    while (got.size() < first_prompt.size()) {
        const ssize_t n = read(console[0], buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    close(console[0]);
    // Only the tolerance: the run must then show its next prompt before it
    // can wait for more, and that write fails.
    const std::string tolerance = "1E-3\n";
    const ssize_t written = write(answers[1], tolerance.data(), tolerance.size());
    s.wait();
    close(answers[1]);

    EXPECT_EQ(got, first_prompt);
    EXPECT_EQ(written, static_cast<ssize_t>(tolerance.size()));
    EXPECT_FALSE(s.signalled) << "ended by signal " << s.status - 128;
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(read_text_file(folder / ".diagnostics"), "console output: cannot write: Broken pipe\n");
    EXPECT_EQ(read_text_file(folder / "OutputGS2.dat"), "Tolerance = 0.001\n");
}

}  // namespace
}  // namespace itersolve::testing
