// What the fuzz targets share: a check that aborts (so both libFuzzer and the
// corpus replay report the input), and the shapes every stop message must
// have.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace itersolve::fuzz {

inline bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// A read diagnostic is one line: "<source>, line <k>: expected <kind> for
// <item>, found <value or end>", with k no later than the last line of the
// source.
inline bool is_read_diagnostic(std::string_view message, std::string_view source, std::string_view input) {
    if (message.find('\n') != std::string_view::npos) return false;
    const std::string prefix = std::string(source) + ", line ";
    if (!starts_with(message, prefix)) return false;
    std::size_t pos = prefix.size();
    long line = 0;
    while (pos < message.size() && message[pos] >= '0' && message[pos] <= '9' && line < 1000000000)
        line = line * 10 + (message[pos++] - '0');
    long lines = 1;
    for (char c : input) lines += c == '\n';
    if (line < 1 || line > lines) return false;
    return message.substr(pos, 11) == ": expected " && message.find(" for ") != std::string_view::npos &&
           message.find(", found ") != std::string_view::npos;
}

}  // namespace itersolve::fuzz
