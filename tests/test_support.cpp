#include "test_support.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "solver/solver_main.hpp"

extern char** environ;

namespace itersolve::testing {
namespace {

void write_text_file(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
    if (!f) throw std::runtime_error("cannot write " + path);
}

void remove_tree(const std::string& dir) {
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            std::string p = dir + "/" + n;
            struct stat st {};
            if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) remove_tree(p);
            else unlink(p.c_str());
        }
        closedir(d);
    }
    rmdir(dir.c_str());
}

}  // namespace

std::string read_text_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

ProgramRun run_program(const std::string& name, const std::map<std::string, std::string>& files,
                       const std::string& answers, const std::vector<std::string>& args) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/itersolve-run-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    const std::string dir = pattern;
    const std::string io = dir + ".io";
    mkdir(io.c_str(), 0700);
    for (const auto& [f, text] : files) write_text_file(dir + "/" + f, text);
    write_text_file(io + "/stdin", answers);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, (io + "/stdin").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, (io + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, (io + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
    const std::string exe = name.find('/') != std::string::npos ? name : std::string(ITERSOLVE_BIN_DIR) + "/" + name;
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) throw std::runtime_error("cannot start " + exe);
    int ws = 0;
    waitpid(pid, &ws, 0);

    ProgramRun run;
    run.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
    run.console = read_text_file(io + "/stdout");
    run.diagnostics = read_text_file(io + "/stderr");
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") run.files[n] = read_text_file(dir + "/" + n);
        }
        closedir(d);
    }
    remove_tree(dir);
    remove_tree(io);
    return run;
}

ProgramRun run_in_memory(const solver_settings& settings, const std::map<std::string, std::string>& files,
                         const std::string& answers, const MemoryRunOptions& options) {
    ProgramRun run;
    MemoryFileSystem fs;
    for (const auto& [f, text] : files) fs.files[f] = text;
    if (options.report_fail_at_write) fs.fail_at_write[settings.report_file_name] = options.report_fail_at_write;
    MemorySource in(answers, options.answer_chunk);
    MemorySink out(run.console, options.console_fail_at_write);
    MemorySink err(run.diagnostics);
    Memory memory;
    memory.fail_at = options.memory_fail_at;
    if (options.memory_capacity) memory.capacity = options.memory_capacity;
    RunEnvironment env{in, out, err, fs, memory};
    run.status = static_cast<int>(solver_main(settings, env).status);
    run.files = fs.files;
    return run;
}

const solver_settings& settings_named(const std::string& name) {
    if (name == "succdisp") return succdisp_settings;
    if (name == "simdisp") return simdisp_settings;
    if (name == "succdisp1") return succdisp1_settings;
    if (name == "simdisp1") return simdisp1_settings;
    throw std::invalid_argument("no program " + name);
}

}  // namespace itersolve::testing
