#include "solver/report.hpp"

#include <vector>

namespace itersolve {
namespace {

const Layout& heading_layout() {
    static const Layout l({Field::record_break(), Field::blank(), Field::text()});
    return l;
}
const Layout& value_layout() {
    static const Layout l({Field::fixed(10, 3, 100)});
    return l;
}
const Layout& plain_iteration_layout() {
    static const Layout l({Field::blank(), Field::integer(3)}, {Field::fixed(10, 3)}, 100);
    return l;
}
const Layout& spaced_iteration_layout() {
    static const Layout l({Field::blank(), Field::integer(3)}, {Field::blank(), Field::fixed(10, 3)}, 100);
    return l;
}
const Layout& count_layout() {
    static const Layout l({Field::record_break(), Field::blank(), Field::text(), Field::integer(3)});
    return l;
}

}  // namespace

void write_heading(RecordWriter& report, std::string_view text) { write_laid_out(report, heading_layout(), {text}); }

void write_values(RecordWriter& report, const float* values, std::int64_t n) {
    std::vector<Item> items(values, values + n);
    write_laid_out(report, value_layout(), items);
}

void write_iteration_table(RecordWriter& report, IterationLayout layout, const float* X, std::int64_t n,
                           std::int32_t iter) {
    const Layout& l = layout == IterationLayout::spaced ? spaced_iteration_layout() : plain_iteration_layout();
    std::vector<Item> items;
    items.reserve(static_cast<std::size_t>(n) + 1);
    for (std::int32_t k = 1; k <= iter; ++k) {
        const float* row = X + static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(n);
        items.clear();
        items.emplace_back(k);
        items.insert(items.end(), row, row + n);
        write_laid_out(report, l, items);
    }
}

void write_count(RecordWriter& report, std::string_view text, std::int32_t count) {
    write_laid_out(report, count_layout(), {text, count});
}

}  // namespace itersolve
