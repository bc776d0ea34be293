// End-to-end runs whose inputs or reports are too big for a fixture folder,
// or that need a working folder a fixture cannot describe.  The expected text
// is built here from the report's layout rules.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "solver/solver_main.hpp"
#include "test_support.hpp"

extern char** environ;

namespace itersolve::testing {
namespace {


// A value whose three decimals are exact (a quarter, an integer), in the
// report's 10-column field.
std::string field(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10.3f", v);
    return buf;
}

std::string counter(int k) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d", k);
    return k < 1000 ? buf : "***";
}

// The diagonal system 4·x(i) = i of order n: every Gauss-Seidel iterate is
// x(i) = i/4, so the change is i/4 at iteration 1 and 0 at iteration 2.
std::string diagonal_system(int n) {
    std::string data = std::to_string(n) + "\n";
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            data += j == i ? '4' : '0';
            data += j < n ? ' ' : '\n';
        }
    }
    for (int i = 1; i <= n; ++i) data += std::to_string(i) + "\n";
    return data;
}

// Each row of A and each iteration takes two records when N = 101: 100
// values, then the last one.  The plain layout continues the values with
// nothing before them; the spaced layout puts a blank before every value.
std::string diagonal_report_of_order_101(bool spaced) {
    const int n = 101;
    std::string r = "Tolerance = 0.001\nMaximum number of iterations = 5\n\n Matrix A =\n";
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) r += field(j == i ? 4.0 : 0.0) + (j == 100 || j == n ? "\n" : "");
    }
    r += "\n Matrix B =\n";
    for (int i = 1; i <= n; ++i) r += field(i) + "\n";
    r += "\n Using the Infinity-Norm criteria,\n\n Itn\n";
    const std::string gap = spaced ? " " : "";
    for (int k = 1; k <= 2; ++k) {
        r += ' ';
        r += counter(k);
        for (int i = 1; i <= n; ++i) r += gap + field(i / 4.0) + (i == 100 || i == n ? "\n" : "");
    }
    return r + "\n Number of iterations performed =   2\n";
}

TEST(GeneratedRun, OrderAboveOneHundredContinuesOnFurtherRecordsInBothLayouts) {
    for (const char* program : {"succdisp", "succdisp1"}) {
        SCOPED_TRACE(program);
        const solver_settings& s = settings_named(program);
        const std::map<std::string, std::string> files{{s.data_file_name, diagonal_system(101)}};
        const std::string answers = "0.001\n5\n1\n";
        for (bool in_memory : {false, true}) {
            SCOPED_TRACE(in_memory ? "in memory" : "as a process");
            ProgramRun run = in_memory ? run_in_memory(s, files, answers) : run_program(program, files, answers);
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.console, kPrompts + kDialogue + "Tolerance is satisfied after 2 iterations.\nEnd of Program\n");
            EXPECT_EQ(run.files[s.report_file_name], diagonal_report_of_order_101(s.iteration_layout ==
                                                                                IterationLayout::spaced));
        }
    }
}

// With TOL 0 the 1×1 system 1·x = 1 runs to MAXIT; iteration numbers from
// 1000 on, and the count, fill their 3 columns with asterisks.
TEST(GeneratedRun, IterationCountsFromOneThousandShowAsAsterisks) {
    ProgramRun run = run_program("succdisp", {{"Input.dat", "1\n1\n1\n"}}, "0\n1001\n1\n");
    std::string report = "Tolerance = 0\nMaximum number of iterations = 1001\n\n Matrix A =\n     1.000\n"
                         "\n Matrix B =\n     1.000\n\n Using the Infinity-Norm criteria,\n\n Itn\n";
    for (int k = 1; k <= 1001; ++k) {
        report += ' ';
        report += counter(k);
        report += "     1.000\n";
    }
    report += "\n Number of iterations performed = ***\n";
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console, kPrompts + kDialogue +
                               "Maximum number of iterations is reached before tolerance is satisfied.\n"
                               "End of Program\n");
    EXPECT_EQ(run.files["OutputGS2.dat"], report);
}

// The history is sized for twenty million iterates of 100 values (8 GB), but
// only the rows the iteration reaches may cost memory.
TEST(GeneratedRun, HugeIterationLimitWithQuickConvergenceRunsInLittleMemory) {
    ProgramRun run = run_program("succdisp", {{"Input.dat", diagonal_system(100)}}, "0.001\n20000000\n2\n");
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console, kPrompts + kDialogue + "Tolerance is satisfied after 2 iterations.\nEnd of Program\n");
    const std::string& report = run.files["OutputGS2.dat"];
    EXPECT_TRUE(report.ends_with("    24.750    25.000\n\n Number of iterations performed =   2\n")) << report;
    EXPECT_LT(usage.ru_maxrss, 64L * 1024) << "peak resident set of the program, in KiB";
}

// A report name that is taken by a folder cannot be opened for writing: the
// run ends before the first prompt and leaves the folder as it was.
TEST(GeneratedRun, ReportFileThatCannotBeCreatedEndsTheRun) {
    char pattern[] = "/tmp/itersolve-unwritable-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    std::ofstream(dir + "/Input.dat") << "2\n4 1\n1 3\n1\n2\n";
    std::ofstream(dir + "/answers") << "1E-3\n20\n1\n";
    ASSERT_EQ(mkdir((dir + "/OutputGS2.dat").c_str(), 0700), 0);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, (dir + "/answers").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, (dir + "/console").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
    const std::string exe = std::string(ITERSOLVE_BIN_DIR) + "/succdisp";
    char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    int ws = 0;
    waitpid(pid, &ws, 0);

    EXPECT_TRUE(WIFEXITED(ws));
    EXPECT_EQ(WEXITSTATUS(ws), 1);
    EXPECT_EQ(read_text_file(dir + "/console"), "Error creating output file.\n");
    struct stat st {};
    EXPECT_EQ(stat((dir + "/OutputGS2.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    for (const char* f : {"/Input.dat", "/answers", "/console"}) unlink((dir + f).c_str());
    rmdir((dir + "/OutputGS2.dat").c_str());
    rmdir(dir.c_str());

    // The same through the run's file-system seam.
    MemoryFileSystem fs;
    fs.files["Input1.dat"] = "2\n4 1\n1 3\n1\n2\n";
    fs.unwritable["OutputGS92.dat"] = true;
    std::string console, diagnostics;
    MemorySource in("1E-3\n20\n1\n");
    MemorySink out(console), err(diagnostics);
    Memory memory;
    RunEnvironment env{in, out, err, fs, memory};
    const RunOutcome outcome = solver_main(settings_named("succdisp1"), env);
    EXPECT_EQ(outcome.status, ExitStatus::failed);
    EXPECT_EQ(console, "Error creating output file.\n");
    EXPECT_EQ(fs.files.count("OutputGS92.dat"), 0u);
}

}  // namespace
}  // namespace itersolve::testing
