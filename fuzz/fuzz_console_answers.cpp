// Arbitrary bytes as the answers typed on the console: the tolerance, the
// maximum number of iterations, then criterion answers until one starts with
// 1 or 2, each read as a run reads it.
//
// The first byte chooses how many bytes each read of the console hands out
// (1 to 64, or all at once), as a terminal delivers a line at a time.  The
// answers are read twice, in small pieces and all at once, and both readings
// must agree bit for bit; a reading that stops must stop with a one-line
// diagnostic naming console input, the line and the item, and every blocking
// read must be preceded by the prompt flush.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "recio/record_reader.hpp"
#include "recio/run_stop.hpp"

namespace {

using namespace itersolve;

struct Answers {
    bool stopped = false;
    std::string message;
    std::uint32_t tol_bits = 0;
    std::int32_t maxit = 0;
    std::string criteria;  // every criterion answer's first character
};

Answers read_answers(const std::string& text, std::size_t chunk, long& waits) {
    MemorySource console(text, chunk);
    RecordReader answers(console, "console input", "end of input", [&waits] { ++waits; });
    Answers a;
    try {
        const float tol = read_free_real(answers, {"TOL"});
        std::memcpy(&a.tol_bits, &tol, sizeof a.tol_bits);
        a.maxit = read_free_integer(answers, {"MAXIT"});
        for (;;) {
            const char c = read_free_character(answers, {"CRITERION"});
            a.criteria += c;
            if (c == '1' || c == '2') break;
        }
    } catch (const RunStop& s) {
        a.stopped = true;
        a.message = s.message;
    }
    return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = data[0] % 65 ? data[0] % 65 : std::size_t{1} << 20;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    long piece_waits = 0, whole_waits = 0;
    const Answers pieces = read_answers(text, chunk, piece_waits);
    const Answers whole = read_answers(text, std::size_t{1} << 20, whole_waits);
    FUZZ_CHECK(pieces.stopped == whole.stopped);
    FUZZ_CHECK(pieces.message == whole.message);
    FUZZ_CHECK(pieces.tol_bits == whole.tol_bits);
    FUZZ_CHECK(pieces.maxit == whole.maxit);
    FUZZ_CHECK(pieces.criteria == whole.criteria);
    // One read of the console per piece at most, plus the one that meets the end.
    FUZZ_CHECK(piece_waits >= 1 && static_cast<std::size_t>(piece_waits) <= text.size() / chunk + 2);
    if (whole.stopped) FUZZ_CHECK(itersolve::fuzz::is_read_diagnostic(whole.message, "console input", text));
    // No criterion answer is empty, and only the last may be 1 or 2.
    for (std::size_t i = 0; i < whole.criteria.size(); ++i)
        FUZZ_CHECK((whole.criteria[i] == '1' || whole.criteria[i] == '2') == (i + 1 == whole.criteria.size() && !whole.stopped));
    return 0;
}
