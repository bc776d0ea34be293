// The manual pages format without a single warning, and the solvers' page
// lists every text the programs show on the console, so it cannot drift
// from the dialogue.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "test_support.hpp"

namespace itersolve::testing {
namespace {

const std::string kManDir = std::string(ITERSOLVE_SOURCE_DIR) + "/docs/man";

// The page as groff renders it on one very long line per paragraph (so no
// phrase is broken or hyphenated), overstrike emphasis removed and blanks
// collapsed.  Warnings go to `warnings`.
int render(const std::string& page, std::string& text, std::string& warnings) {
    const std::string base = ::testing::TempDir() + "itersolve-man-" + std::to_string(getpid()) + "-" + page;
    const std::string out = base + ".out", err = base + ".err";
    const std::string command = "cd '" + kManDir + "' && groff -s -t -ww -man -Tutf8 -rLL=2000n -P-c man1/" + page +
                                " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    const std::string raw = read_text_file(out);
    warnings = read_text_file(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    text.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (i + 1 < raw.size() && raw[i + 1] == '\b') {
            ++i;  // "x\bx": keep the second
            continue;
        }
        const char ch = raw[i] == '\n' ? ' ' : raw[i];
        if (ch == ' ' && !text.empty() && text.back() == ' ') continue;
        text += ch;
    }
    return status;
}

bool have_groff() { return std::system("command -v groff >/dev/null 2>&1") == 0; }

TEST(ManualPages, FormatWithoutWarnings) {
    if (!have_groff()) GTEST_SKIP() << "groff is not available";
    for (const char* page : {"succdisp.1", "succdisp1.1", "simdisp.1", "simdisp1.1", "itplot.1"}) {
        SCOPED_TRACE(page);
        std::string text, warnings;
        EXPECT_EQ(render(page, text, warnings), 0);
        EXPECT_EQ(warnings, "");
        for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "FILES"})
            EXPECT_NE(text.find(std::string(" ") + section + " "), std::string::npos) << section;
    }
}

TEST(ManualPages, SolverPageListsTheDialogueMessagesFilesAndStatuses) {
    if (!have_groff()) GTEST_SKIP() << "groff is not available";
    // Each of the four names leads to the same page.
    std::string text, warnings;
    ASSERT_EQ(render("simdisp1.1", text, warnings), 0);
    const char* const texts[] = {
        // the dialogue
        "Please key in the tolerance required.", "Please key in number of iterations required.",
        "Please key in the number of iterations required.", "Please indicate the iteration stopping criteria.",
        "Key in '1' if Infinity-Norm criteria is desired.", "Key in '2' if Euclidean-Norm criteria is desired.",
        "That is not a valid option.", "Tolerance is satisfied after",
        "Maximum number of iterations is reached before tolerance is satisfied.",
        "Maximum number of iterations is achieved.", "End of Program",
        // the screening
        "Please ensure non-zero diagonals.", "No unique solution.", "Matrix A is not diagonally dominant.",
        "Thus solution obtained may be erroneous.",
        // the failures
        "Error reading input file.", "Error creating output file.", "Cannot allocate memory.",
        // the report
        "Tolerance = 0.001", " Matrix A =", " Matrix B =", " Using the Infinity-Norm criteria,", " Itn",
        " Number of iterations performed = 5",
        // the files
        "Input.dat", "Input1.dat", "OutputGS2.dat", "OutputGS92.dat", "Output2.dat", "Output91.dat",
        // the sections
        " DIALOGUE ", " DATA FILE ", " SCREENING ", " REPORT FILE ", " EXIT STATUS "};
    for (const char* t : texts) EXPECT_NE(text.find(t), std::string::npos) << t;
}

}  // namespace
}  // namespace itersolve::testing
