// The plain transcription of the screening: every row scaled into SCALED,
// every pair of rows compared in every column and its agreeing columns
// counted, the off-diagonal sums formed row by row.  It defines the findings
// the optimised screening must reproduce, and is what tests and benchmarks
// compare it with.  Same calling convention as check().
#pragma once

#include "checks/check.hpp"

namespace itersolve {

void check_plain(RecordWriter& console, Memory& memory, const float* A, std::int32_t N, CheckKind kind);

}  // namespace itersolve
