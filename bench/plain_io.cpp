#include "plain_io.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace itersolve::bench {
namespace {

// Returns the next value of `line` from `pos`, separators being blanks,
// tabs and commas; empty when the line is used up.
std::string next_token(const std::string& line, std::size_t& pos) {
    while (pos < line.size() && std::strchr(" \t,\r", line[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && !std::strchr(" \t,\r", line[pos])) ++pos;
    return line.substr(start, pos - start);
}

}  // namespace

void plain_read_system(const std::string& text, std::int64_t& n, float* A, float* B) {
    std::istringstream in(text);
    std::string line;
    std::size_t pos = 0;
    std::getline(in, line);
    n = std::strtol(next_token(line, pos).c_str(), nullptr, 10);
    for (std::int64_t i = 0; i < n; ++i) {
        std::int64_t j = 0;
        while (j < n && std::getline(in, line)) {
            pos = 0;
            for (std::string t = next_token(line, pos); !t.empty() && j < n; t = next_token(line, pos))
                A[i * n + j++] = std::strtof(t.c_str(), nullptr);
        }
    }
    for (std::int64_t i = 0; i < n && std::getline(in, line); ++i) {
        pos = 0;
        B[i] = std::strtof(next_token(line, pos).c_str(), nullptr);
    }
}

void plain_write_iteration_table(std::string& out, const float* X, std::int64_t n, std::int32_t iter) {
    char field[64];
    for (std::int32_t k = 1; k <= iter; ++k) {
        std::snprintf(field, sizeof field, " %3d", k);
        out += field;
        for (std::int64_t j = 0; j < n; ++j) {
            if (j > 0 && j % 100 == 0) out += '\n';
            std::snprintf(field, sizeof field, " %10.3f", static_cast<double>(X[(k - 1) * n + j]));
            out += field;
        }
        out += '\n';
    }
}

void plain_write_values(std::string& out, const float* A, std::int64_t n) {
    char field[64];
    for (std::int64_t i = 0; i < n; ++i) {
        for (std::int64_t j = 0; j < n; ++j) {
            if (j > 0 && j % 100 == 0) out += '\n';
            std::snprintf(field, sizeof field, "%10.3f", static_cast<double>(A[i * n + j]));
            out += field;
        }
        out += '\n';
    }
}

}  // namespace itersolve::bench
