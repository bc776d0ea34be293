#include "recio/record_writer.hpp"

#include <cstring>

#include "recio/number_text.hpp"

namespace itersolve {
namespace {
constexpr std::size_t kBufferSize = 1 << 18;
}

RecordWriter::RecordWriter(ByteSink& sink, std::string name, StopChannel channel)
    : sink_(sink), name_(std::move(name)), channel_(channel), buffer_(kBufferSize) {}

bool RecordWriter::drain() {
    if (failed_) return false;
    if (used_ == 0) return true;
    if (!sink_.write(buffer_.data(), used_)) {
        failed_ = true;
        return false;
    }
    used_ = 0;
    return true;
}

std::string RecordWriter::try_flush() {
    if (drain()) return {};
    return name_ + ": cannot write: " + sink_.error();
}

void RecordWriter::flush() {
    std::string err = try_flush();
    if (!err.empty()) stop_run(std::move(err), ExitStatus::failed, channel_);
}

char* RecordWriter::reserve(std::size_t n) {
    if (buffer_.size() - used_ < n) {
        flush();
        if (buffer_.size() < n) buffer_.resize(n);
    }
    char* p = buffer_.data() + used_;
    used_ += n;
    return p;
}

void RecordWriter::put(std::string_view text) {
    if (text.empty()) return;
    std::memcpy(reserve(text.size()), text.data(), text.size());
}

void RecordWriter::put(char c) { *reserve(1) = c; }

void write_free(RecordWriter& w, std::initializer_list<Item> items) {
    bool first = true;
    for (const Item& it : items) {
        if (!first) w.put(' ');
        first = false;
        switch (it.kind) {
            case Item::Kind::text: w.put(it.text_value); break;
            case Item::Kind::integer: w.put(std::to_string(it.integer_value)); break;
            case Item::Kind::real: w.put(format_free(it.real_value)); break;
        }
    }
    w.end_record();
}

Layout::Layout(std::vector<Field> fields, std::vector<Field> group_fields, int group_repeat) {
    auto unroll = [this](const std::vector<Field>& fs) {
        for (const Field& f : fs)
            for (int r = 0; r < f.repeat; ++r) slots_.push_back(f);
    };
    unroll(fields);
    resume_at_ = group_fields.empty() ? 0 : slots_.size();
    for (int g = 0; g < group_repeat; ++g) unroll(group_fields);
}

namespace {

const char* kind_name(Item::Kind k) {
    switch (k) {
        case Item::Kind::text: return "text";
        case Item::Kind::integer: return "integer";
        case Item::Kind::real: return "real";
    }
    return "?";
}

bool takes_item(Field::Kind k) {
    return k == Field::Kind::text || k == Field::Kind::integer || k == Field::Kind::fixed;
}

}  // namespace

void write_laid_out(RecordWriter& w, const Layout& layout, std::span<const Item> items) {
    const auto& slots = layout.slots();
    std::size_t next = 0;  // next item
    std::size_t s = 0;     // next slot
    int pending_blanks = 0;
    bool item_since_resume = true;
    for (;;) {
        if (s == slots.size()) {
            if (next == items.size()) break;
            if (!item_since_resume)
                stop_run(w.name() + ": the layout has no field for the remaining items");
            w.end_record();
            pending_blanks = 0;
            s = layout.resume_at();
            item_since_resume = false;
            continue;
        }
        const Field& f = slots[s];
        if (takes_item(f.kind) && next == items.size()) break;
        ++s;
        switch (f.kind) {
            case Field::Kind::record_break:
                w.end_record();
                pending_blanks = 0;
                continue;
            case Field::Kind::blank: ++pending_blanks; continue;
            default: break;
        }
        const Item& it = items[next++];
        item_since_resume = true;
        const bool matches = (f.kind == Field::Kind::text && it.kind == Item::Kind::text) ||
                             (f.kind == Field::Kind::integer && it.kind == Item::Kind::integer) ||
                             (f.kind == Field::Kind::fixed && it.kind == Item::Kind::real);
        if (!matches)
            stop_run(w.name() + ": item " + std::to_string(next) + " is " + kind_name(it.kind) +
                     " and does not match its field of the layout");
        if (pending_blanks > 0) {
            std::memset(w.reserve(static_cast<std::size_t>(pending_blanks)), ' ',
                        static_cast<std::size_t>(pending_blanks));
            pending_blanks = 0;
        }
        switch (f.kind) {
            case Field::Kind::text: w.put(it.text_value); break;
            case Field::Kind::integer:
                format_integer(w.reserve(static_cast<std::size_t>(f.width)), f.width, it.integer_value);
                break;
            case Field::Kind::fixed:
                format_fixed(w.reserve(static_cast<std::size_t>(f.width)), f.width, f.decimals, it.real_value);
                break;
            default: break;
        }
    }
    w.end_record();
}

void write_laid_out(RecordWriter& w, const Layout& layout, std::initializer_list<Item> items) {
    write_laid_out(w, layout, std::span<const Item>(items.begin(), items.size()));
}

}  // namespace itersolve
