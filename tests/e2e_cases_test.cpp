// End-to-end cases kept as small fixtures: each folder of tests/cases holds
//   program            the program to run (succdisp, simdisp, ...)
//   stdin              the answers piped to it
//   Input.dat ...      the files placed in its working folder
//   expected.console   its standard output, byte for byte
//   expected.status    its exit status
//   expected.report    the report file, byte for byte; when absent, the run
//                      must leave no report file
// The folders of examples/ are run the same way; there the answers are in
// answers.txt and the expected report under the report file's own name, so
// that running an example in its folder rewrites the same bytes.
// Every case runs as a real process and again in memory through the run's
// seams; both must give the same bytes.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "test_support.hpp"

namespace itersolve::testing {
namespace {

// The case folders in `dir`, as full paths.
std::vector<std::string> case_folders(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            struct stat st {};
            const std::string path = dir + "/" + e->d_name;
            if (e->d_name[0] != '.' && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) names.push_back(path);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Case {
    std::string program;
    std::string answers;
    std::map<std::string, std::string> inputs;
    std::string console;
    int status = 0;
    std::optional<std::string> report;
};

Case load_case(const std::string& dir) {
    Case c;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) {
        std::string f = e->d_name;
        if (f == "." || f == "..") continue;
        std::string text = read_text_file(dir + "/" + f);
        if (f == "program") c.program = text.substr(0, text.find('\n'));
        else if (f == "stdin" || f == "answers.txt") c.answers = text;
        else if (f == "expected.console") c.console = text;
        else if (f == "expected.status") c.status = std::stoi(text);
        else if (f == "expected.report") c.report = text;
        else c.inputs[f] = text;
    }
    closedir(d);
    auto report = c.inputs.find(settings_named(c.program).report_file_name);
    if (!c.report && report != c.inputs.end()) {
        c.report = report->second;
        c.inputs.erase(report);
    }
    return c;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, ReportConsoleAndStatusMatchByteForByte) {
    const Case c = load_case(GetParam());
    const std::string report_name = settings_named(c.program).report_file_name;
    for (bool in_memory : {false, true}) {
        SCOPED_TRACE(in_memory ? "in memory" : "as a process");
        ProgramRun run = in_memory ? run_in_memory(settings_named(c.program), c.inputs, c.answers)
                                   : run_program(c.program, c.inputs, c.answers);
        EXPECT_EQ(run.console, c.console);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.diagnostics, "");
        auto report = run.files.find(report_name);
        if (c.report) {
            ASSERT_NE(report, run.files.end()) << "no report file " << report_name;
            EXPECT_EQ(report->second, *c.report);
        } else {
            EXPECT_EQ(report, run.files.end()) << "unexpected report file " << report_name;
        }
    }
}

std::string case_test_name(const ::testing::TestParamInfo<std::string>& i) {
    std::string n = i.param.substr(i.param.rfind('/') + 1);
    std::replace_if(n.begin(), n.end(), [](char ch) { return !std::isalnum(ch); }, '_');
    return n;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(case_folders(ITERSOLVE_CASES_DIR)), case_test_name);
INSTANTIATE_TEST_SUITE_P(Examples, EndToEnd,
                         ::testing::ValuesIn(case_folders(std::string(ITERSOLVE_SOURCE_DIR) + "/examples")),
                         case_test_name);

}  // namespace
}  // namespace itersolve::testing
