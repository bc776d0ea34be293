// The report file's laid-out records.
//
//   heading layout    record break; blank; text
//   value layout      100 fixed fields F10.3; resumes at its start, so long
//                     rows continue on records of up to 100 values
//   plain iteration   blank; I3; then a group of 100 F10.3, resumed on
//                     records of up to 100 values, 10 columns each
//   spaced iteration  blank; I3; then a group of 100 (blank; F10.3), resumed
//                     on records of up to 100 (blank, value) pairs
//   count layout      record break; blank; text; I3
#pragma once

#include <cstdint>
#include <string_view>

#include "recio/record_writer.hpp"
#include "solver/settings.hpp"

namespace itersolve {

void write_heading(RecordWriter& report, std::string_view text);
// One row of values through the value layout (n may be 0: an empty record
// is not written for an empty matrix; callers write rows only for n >= 1).
void write_values(RecordWriter& report, const float* values, std::int64_t n);
// Rows 1..iter of the iteration history X (rows of n values).
void write_iteration_table(RecordWriter& report, IterationLayout layout, const float* X, std::int64_t n,
                           std::int32_t iter);
void write_count(RecordWriter& report, std::string_view text, std::int32_t count);

}  // namespace itersolve
