// Plain reading and writing of the data file and the report's tables, for
// comparison only: line by line through the C library (strtof, snprintf),
// the way a first version would do it.  Both assume well-formed input.
#pragma once

#include <cstdint>
#include <string>

namespace itersolve::bench {

// Reads N, A (row-major, N x N) and B from the text of a data file.
void plain_read_system(const std::string& text, std::int64_t& n, float* A, float* B);

// Appends the spaced iteration table (rows 1..iter of X) to out.
void plain_write_iteration_table(std::string& out, const float* X, std::int64_t n, std::int32_t iter);

// Appends rows of A through the value layout (up to 100 values a record).
void plain_write_values(std::string& out, const float* A, std::int64_t n);

}  // namespace itersolve::bench
