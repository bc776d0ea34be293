// The report's tables against the same records written field by field
// through write_laid_out and the layouts as the report defines them: rows of
// many lengths around the 100 values of a record, values that fill their
// field with asterisks, NaN, infinities and signed zeros.
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "recio/record_writer.hpp"
#include "recio/streams.hpp"
#include "solver/report.hpp"
#include "test_support.hpp"

namespace itersolve {
namespace {

using testing::written;

std::vector<float> values(std::int64_t count) {
    std::mt19937 rng(static_cast<unsigned>(count));
    std::uniform_real_distribution<float> u(-2000.0f, 2000.0f);
    std::vector<float> v(static_cast<std::size_t>(count));
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), -0.0f, 0.0005f, -0.0005f, 999999.9995f,
                              -99999.9995f, 1.0e7f};
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = i % 7 == 3 ? specials[(i / 7) % 9] : u(rng);
    return v;
}

TEST(ReportTables, SameBytesAsTheLayouts) {
    const Layout value_layout({Field::fixed(10, 3, 100)});
    const Layout plain({Field::blank(), Field::integer(3)}, {Field::fixed(10, 3)}, 100);
    const Layout spaced({Field::blank(), Field::integer(3)}, {Field::blank(), Field::fixed(10, 3)}, 100);
    for (std::int64_t n : {0, 1, 2, 99, 100, 101, 199, 200, 201, 257}) {
        SCOPED_TRACE(::testing::Message() << "N = " << n);
        const std::int32_t iter = 3;
        const std::vector<float> X = values(n * iter);
        auto by_layout = [&](RecordWriter& w, const Layout& l) {
            for (std::int32_t k = 1; k <= iter; ++k) {
                std::vector<Item> items{Item(k)};
                for (std::int64_t j = 0; j < n; ++j) items.emplace_back(X[static_cast<std::size_t>((k - 1) * n + j)]);
                write_laid_out(w, l, items);
            }
        };
        EXPECT_EQ(written([&](RecordWriter& w) { write_iteration_table(w, IterationLayout::spaced, X.data(), n, iter); }),
                  written([&](RecordWriter& w) { by_layout(w, spaced); }));
        EXPECT_EQ(written([&](RecordWriter& w) { write_iteration_table(w, IterationLayout::plain, X.data(), n, iter); }),
                  written([&](RecordWriter& w) { by_layout(w, plain); }));
        EXPECT_EQ(written([&](RecordWriter& w) { write_values(w, X.data(), n); }), written([&](RecordWriter& w) {
                      std::vector<Item> items(X.begin(), X.begin() + n);
                      write_laid_out(w, value_layout, items);
                  }));
    }
}

}  // namespace
}  // namespace itersolve
