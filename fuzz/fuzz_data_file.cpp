// Arbitrary bytes read as a data file, the way a run reads one: N, then the
// N rows of A, then the N values of B.
//
// The first byte chooses how many bytes each read of the source hands out
// (1 to 64, or all at once), so values, separators and line ends fall across
// buffer refills.  The rest is the file.  It is read twice, in small pieces
// and all at once, and both readings must agree bit for bit: the same values
// or the same one-line diagnostic naming the file, the line and the item.
//
// Orders above kMaxOrder are not read beyond N: their rows could not be
// complete in an input of fuzzing size, and A would cost more memory than a
// fuzzing run should spend on one input.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "recio/record_reader.hpp"
#include "recio/run_stop.hpp"
#include "solver/data_file.hpp"

namespace {

using namespace itersolve;

constexpr std::int64_t kMaxOrder = 512;

struct Reading {
    bool stopped = false;
    std::string message;
    std::int32_t N = 0;
    std::vector<std::uint32_t> bits;  // A then B, as stored
};

Reading read_data(const std::string& text, std::size_t chunk) {
    MemorySource source(text, chunk);
    RecordReader data(source, "Input.dat", "end of file");
    Reading r;
    try {
        r.N = read_order(data);
        const std::int64_t n = r.N < 0 ? 0 : r.N;
        if (n > kMaxOrder) return r;
        std::vector<float> A(static_cast<std::size_t>(n * n)), B(static_cast<std::size_t>(n));
        read_system(data, n, A.data(), B.data());
        for (const std::vector<float>* v : {&A, &B})
            for (float x : *v) {
                std::uint32_t b = 0;
                std::memcpy(&b, &x, sizeof b);
                r.bits.push_back(b);
            }
    } catch (const RunStop& s) {
        r.stopped = true;
        r.message = s.message;
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = data[0] % 65 ? data[0] % 65 : std::size_t{1} << 20;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const Reading pieces = read_data(text, chunk);
    const Reading whole = read_data(text, std::size_t{1} << 20);
    FUZZ_CHECK(pieces.stopped == whole.stopped);
    FUZZ_CHECK(pieces.message == whole.message);
    FUZZ_CHECK(pieces.N == whole.N);
    FUZZ_CHECK(pieces.bits == whole.bits);
    if (whole.stopped) FUZZ_CHECK(itersolve::fuzz::is_read_diagnostic(whole.message, "Input.dat", text));
    return 0;
}
