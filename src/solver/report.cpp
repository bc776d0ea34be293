#include "solver/report.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "recio/number_text.hpp"

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
const Layout& count_layout() {
    static const Layout l({Field::record_break(), Field::blank(), Field::text(), Field::integer(3)});
    return l;
}

}  // namespace

void write_heading(RecordWriter& report, std::string_view text) { write_laid_out(report, heading_layout(), {text}); }

// The tables are the bulk of a report.  Their records are formed here field
// by field straight into the writer's buffer, byte for byte what the value
// and iteration layouts produce through write_laid_out: the value layout
// (100 fixed fields of width 10 with 3 decimals, resumed at its start), the
// plain iteration layout (blank, I3, then groups of one such field) and the
// spaced one (blank, I3, then groups of a blank and one such field), each
// group of 100 resumed on a new record.

namespace {

constexpr int kPerRecord = 100;  // values in one record of a table

// Values [0, n) as fixed fields of width 10 with 3 decimals, each preceded
// by `lead` blanks, a record break after every 100 values but the last.
void put_value_fields(RecordWriter& w, const float* values, std::int64_t n, int lead) {
    const std::size_t field = static_cast<std::size_t>(10 + lead);
    for (std::int64_t start = 0; start < n; start += kPerRecord) {
        if (start > 0) w.end_record();
        const std::int64_t count = std::min<std::int64_t>(kPerRecord, n - start);
        char* out = w.reserve(field * static_cast<std::size_t>(count));
        for (std::int64_t j = 0; j < count; ++j, out += field) {
            if (lead > 0) std::memset(out, ' ', static_cast<std::size_t>(lead));
            format_fixed(out + lead, 10, 3, values[start + j]);
        }
    }
}

}  // namespace

void write_values(RecordWriter& report, const float* values, std::int64_t n) {
    if (n < 1) {
        std::vector<Item> items(values, values + n);
        write_laid_out(report, value_layout(), items);
        return;
    }
    put_value_fields(report, values, n, 0);
    report.end_record();
}

void write_iteration_table(RecordWriter& report, IterationLayout layout, const float* X, std::int64_t n,
                           std::int32_t iter) {
    // " " and the iteration number, then the values: in the plain layout
    // 10 columns each, in the spaced one a blank and 10 columns each; rows
    // longer than 100 values continue on records of their own.
    const int lead = layout == IterationLayout::spaced ? 1 : 0;
    for (std::int32_t k = 1; k <= iter; ++k) {
        char* head = report.reserve(4);
        head[0] = ' ';
        format_integer(head + 1, 3, k);
        put_value_fields(report, X + static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(n), n, lead);
        report.end_record();
    }
}

void write_count(RecordWriter& report, std::string_view text, std::int32_t count) {
    write_laid_out(report, count_layout(), {text, count});
}

}  // namespace itersolve
