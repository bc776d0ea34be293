// The data file: N on the first record, then the N rows of A, each starting
// on a new record (a row may run over several records), then the N values of
// B, each starting a new record.  The rest of every record after the value
// that completes a read is ignored.
#pragma once

#include <cstdint>

#include "recio/arrays.hpp"
#include "recio/record_reader.hpp"

namespace itersolve {

std::int32_t read_order(RecordReader& data);
// Fills A (n x n, row-major) and then B (n values).
void read_system(RecordReader& data, std::int64_t n, float* A, float* B);

}  // namespace itersolve
