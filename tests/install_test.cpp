// Installing: `cmake --install` of this build into a temporary prefix puts
// exactly the five programs in bin/ and their manual pages in
// share/man/man1/, DESTDIR is honoured, the installed programs run, and the
// Debian package holds exactly the same files.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

#include "test_support.hpp"

namespace itersolve::testing {
namespace {

const std::set<std::string> kInstalled = {
    "bin/itplot",
    "bin/simdisp",
    "bin/simdisp1",
    "bin/succdisp",
    "bin/succdisp1",
    "share/man/man1/itplot.1",
    "share/man/man1/simdisp.1",
    "share/man/man1/simdisp1.1",
    "share/man/man1/succdisp.1",
    "share/man/man1/succdisp1.1",
};

std::string temporary_folder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/itersolve-install-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// Every file below root, as paths relative to it.
void list_files(const std::string& root, const std::string& sub, std::set<std::string>& out) {
    DIR* d = opendir((root + "/" + sub).c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        const std::string rel = sub.empty() ? n : sub + "/" + n;
        struct stat st {};
        if (lstat((root + "/" + rel).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) list_files(root, rel, out);
        else out.insert(rel);
    }
    closedir(d);
}

std::set<std::string> files_below(const std::string& root) {
    std::set<std::string> files;
    list_files(root, "", files);
    return files;
}

// Runs a shell command; its output goes to `log`, shown when it fails.
int shell(const std::string& command, const std::string& log) {
    return std::system((command + " >'" + log + "' 2>&1").c_str());
}

void remove_folder(const std::string& dir) { std::system(("rm -rf '" + dir + "'").c_str()); }

TEST(Install, PutsExactlyTheProgramsAndManualPagesUnderThePrefix) {
    const std::string prefix = temporary_folder();
    const std::string log = prefix + ".log";
    ASSERT_EQ(shell(std::string("'") + ITERSOLVE_CMAKE_COMMAND + "' --install '" + ITERSOLVE_BIN_DIR +
                        "' --prefix '" + prefix + "'",
                    log),
              0)
        << read_text_file(log);
    EXPECT_EQ(files_below(prefix), kInstalled);

    // The installed programs are whole programs: they answer and they run.
    const ProgramRun version = run_program(prefix + "/bin/simdisp1", {}, "", {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.console, std::string("simdisp1 ") + ITERSOLVE_VERSION + "\n");

    // The 2x2 system rows (4,1),(1,3), B = (1,2): Gauss-Seidel meets 1E-3
    // under the infinity norm at iteration 5.
    const ProgramRun run =
        run_program(prefix + "/bin/succdisp", {{"Input.dat", "2\n4 1\n1 3\n1\n2\n"}}, "1E-3\n20\n1\n");
    EXPECT_EQ(run.status, 0) << run.console << run.diagnostics;
    EXPECT_NE(run.console.find("Tolerance is satisfied after 5 iterations.\nEnd of Program\n"), std::string::npos);
    ASSERT_EQ(run.files.count("OutputGS2.dat"), 1u);
    EXPECT_NE(run.files.at("OutputGS2.dat").find("\n Number of iterations performed =   5\n"), std::string::npos);

    remove_folder(prefix);
    std::remove(log.c_str());
}

TEST(Install, HonoursDestdir) {
    const std::string stage = temporary_folder();
    const std::string log = stage + ".log";
    ASSERT_EQ(shell("DESTDIR='" + stage + "' '" + ITERSOLVE_CMAKE_COMMAND + "' --install '" + ITERSOLVE_BIN_DIR +
                        "' --prefix /opt/itersolve",
                    log),
              0)
        << read_text_file(log);
    std::set<std::string> expected;
    for (const std::string& f : kInstalled) expected.insert("opt/itersolve/" + f);
    EXPECT_EQ(files_below(stage), expected);
    remove_folder(stage);
    std::remove(log.c_str());
}

TEST(Install, DebianPackageHoldsExactlyTheInstalledFiles) {
    if (std::system("command -v dpkg-deb >/dev/null 2>&1") != 0) GTEST_SKIP() << "dpkg-deb is not available";
    const std::string out = temporary_folder();
    const std::string log = out + ".log";
    ASSERT_EQ(shell(std::string("'") + ITERSOLVE_CPACK_COMMAND + "' --config '" + ITERSOLVE_BIN_DIR +
                        "/CPackConfig.cmake' -G DEB -B '" + out + "'",
                    log),
              0)
        << read_text_file(log);
    std::set<std::string> packages;
    for (const std::string& f : files_below(out))
        if (f.size() > 4 && f.substr(f.size() - 4) == ".deb" && f.find('/') == std::string::npos) packages.insert(f);
    ASSERT_EQ(packages.size(), 1u);
    const std::string deb = out + "/" + *packages.begin();

    // Extracted, the package is the install tree under /usr.
    const std::string tree = out + "/tree";
    ASSERT_EQ(shell("dpkg-deb -x '" + deb + "' '" + tree + "'", log), 0) << read_text_file(log);
    std::set<std::string> expected;
    for (const std::string& f : kInstalled) expected.insert("usr/" + f);
    EXPECT_EQ(files_below(tree), expected);

    ASSERT_EQ(shell("dpkg-deb -f '" + deb + "' Package Version Maintainer", log), 0);
    const std::string fields = read_text_file(log);
    EXPECT_NE(fields.find("Package: itersolve\n"), std::string::npos) << fields;
    EXPECT_NE(fields.find(std::string("Version: ") + ITERSOLVE_VERSION + "\n"), std::string::npos) << fields;
    EXPECT_NE(fields.find("Maintainer: "), std::string::npos) << fields;
    remove_folder(out);
    std::remove(log.c_str());
}

}  // namespace
}  // namespace itersolve::testing
