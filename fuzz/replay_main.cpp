// Runs a fuzz target over saved inputs without libFuzzer: every argument is a
// file or a folder of files, each handed once to LLVMFuzzerTestOneInput.  A
// target that finds a fault aborts, which fails the run; an argument with no
// inputs at all fails it too, so a lost corpus cannot pass unnoticed.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::string> inputs_of(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    if (!S_ISDIR(st.st_mode)) return {path};
    std::vector<std::string> files;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') files.push_back(path + "/" + e->d_name);
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    for (int a = 1; a < argc; ++a) {
        const std::vector<std::string> files = inputs_of(argv[a]);
        if (files.empty()) {
            std::fprintf(stderr, "%s: no inputs\n", argv[a]);
            return 1;
        }
        for (const std::string& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.eof() && in.fail()) {
                std::fprintf(stderr, "%s: cannot read\n", f.c_str());
                return 1;
            }
            std::fprintf(stderr, "%s\n", f.c_str());  // names the input should it fail
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        }
        std::printf("%s: %zu inputs replayed\n", argv[a], files.size());
    }
    return 0;
}
