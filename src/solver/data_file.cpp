#include "solver/data_file.hpp"

namespace itersolve {

std::int32_t read_order(RecordReader& data) { return read_free_integer(data, {"N"}); }

void read_system(RecordReader& data, std::int64_t n, float* A, float* B) {
    for (std::int64_t i = 0; i < n; ++i) {
        for (std::int64_t j = 0; j < n; ++j) A[i * n + j] = data.next_real({"A", i + 1, j + 1});
        data.end_record();
    }
    for (std::int64_t i = 0; i < n; ++i) B[i] = read_free_real(data, {"B", i + 1});
}

}  // namespace itersolve
