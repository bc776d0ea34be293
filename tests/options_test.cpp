// Command-line arguments of the four programs, run as real processes: --help
// and --version answer on standard output and exit 0 without touching the
// working folder; anything else is a usage error (status 2) that names the
// argument on one line of standard error, followed by the hint.
#include <gtest/gtest.h>

#include "test_support.hpp"

namespace itersolve::testing {
namespace {

struct Program {
    const char* name;
    const char* method;
    const char* data_file;
    const char* report_file;
};

const Program kPrograms[] = {
    {"succdisp", "Gauss-Seidel", "Input.dat", "OutputGS2.dat"},
    {"simdisp", "Jacobi", "Input.dat", "Output2.dat"},
    {"succdisp1", "Gauss-Seidel", "Input1.dat", "OutputGS92.dat"},
    {"simdisp1", "Jacobi", "Input1.dat", "Output91.dat"},
};

// A working folder in which a run with no arguments would write a report:
// an answered option must leave it exactly as it was.
const std::map<std::string, std::string> kFolder = {{"Input.dat", "1\n2\n4\n"}, {"Input1.dat", "1\n2\n4\n"}};
const char kAnswers[] = "1E-3\n20\n1\n";

TEST(Options, HelpDescribesWhatEachProgramReadsAsksAndWrites) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.name);
        const ProgramRun run = run_program(p.name, kFolder, kAnswers, {"--help"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.diagnostics, "");
        EXPECT_EQ(run.files, kFolder) << "--help must not run the solver";
        EXPECT_EQ(run.console.rfind(std::string("Usage: ") + p.name + " ", 0), 0u) << run.console;
        for (const std::string& needle : {std::string(p.method), std::string(p.data_file), std::string(p.report_file),
                                          std::string("tolerance"), std::string("Exit status")})
            EXPECT_NE(run.console.find(needle), std::string::npos) << needle;
    }
}

TEST(Options, VersionIsTheBuildVersion) {
    for (const Program& p : kPrograms) {
        const ProgramRun run = run_program(p.name, kFolder, kAnswers, {"--version"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.console, std::string(p.name) + " " + ITERSOLVE_VERSION + "\n");
        EXPECT_EQ(run.diagnostics, "");
        EXPECT_EQ(run.files, kFolder);
    }
}

TEST(Options, AnyOtherArgumentIsAUsageError) {
    struct Case {
        std::vector<std::string> args;
        std::string shown;  // the argument as the message shows it
    };
    const Case cases[] = {
        {{"-x"}, "-x"},
        {{"Input.dat"}, "Input.dat"},
        {{"--help", "extra"}, "extra"},  // a bad argument wins over --help
        {{"--versions"}, "--versions"},
        {{""}, ""},
        {{"a\nb'"}, "a\\x0ab\\x27"},  // still one line
    };
    for (const Program& p : kPrograms) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(p.name) + " " + c.shown);
            const ProgramRun run = run_program(p.name, kFolder, kAnswers, c.args);
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.console, "");
            EXPECT_EQ(run.diagnostics, std::string(p.name) + ": unrecognized argument '" + c.shown + "'\nTry '" +
                                           p.name + " --help'.\n");
            EXPECT_EQ(run.files, kFolder);
        }
    }
}

}  // namespace
}  // namespace itersolve::testing
