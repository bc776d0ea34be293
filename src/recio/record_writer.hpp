// Record writing: write_free and write_laid_out over a buffered byte sink.
//
// Records are lines.  Output is buffered in large blocks; a failed write ends
// the run with "<name>: cannot write: <reason>".  After a failure the writer
// refuses further output, so nothing is written out of order.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "recio/run_stop.hpp"
#include "recio/streams.hpp"

namespace itersolve {

class RecordWriter {
public:
    // channel says where a failure of this writer can still be reported: a
    // failing console output cannot carry its own diagnostic.
    RecordWriter(ByteSink& sink, std::string name, StopChannel channel = StopChannel::console);

    void put(std::string_view text);
    void put(char c);
    // Room for n bytes in the buffer, to be filled by the caller.
    char* reserve(std::size_t n);
    void end_record() { put('\n'); }
    // Hands the buffered bytes to the sink; ends the run on failure.
    void flush();
    // Flushes without ending the run; returns the diagnostic on failure, or
    // an empty string.
    std::string try_flush();
    const std::string& name() const { return name_; }

private:
    bool drain();

    ByteSink& sink_;
    std::string name_;
    StopChannel channel_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

// One item of a free-form record or a laid-out record.
struct Item {
    enum class Kind : std::uint8_t { text, integer, real };
    Kind kind;
    std::string_view text_value{};
    std::int64_t integer_value = 0;
    float real_value = 0.0f;

    Item(std::string_view t) : kind(Kind::text), text_value(t) {}
    Item(const char* t) : kind(Kind::text), text_value(t) {}
    Item(std::int32_t v) : kind(Kind::integer), integer_value(v) {}
    Item(float v) : kind(Kind::real), real_value(v) {}
};

// One record of the items separated by single blanks; no items: an empty record.
void write_free(RecordWriter& w, std::initializer_list<Item> items);

// A layout: fields, with an optional final group that repeats.
struct Field {
    enum class Kind : std::uint8_t { record_break, blank, text, integer, fixed };
    Kind kind;
    int width = 0;
    int decimals = 0;
    int repeat = 1;

    static Field record_break() { return {Kind::record_break}; }
    static Field blank() { return {Kind::blank}; }
    static Field text() { return {Kind::text}; }
    static Field integer(int w) { return {Kind::integer, w}; }
    static Field fixed(int w, int d, int r = 1) { return {Kind::fixed, w, d, r}; }
};

class Layout {
public:
    // fields, then a group of group_fields repeated group_repeat times (no
    // group when group_fields is empty).  When items remain at the end, the
    // record ends and the layout resumes on a new record at the group, or at
    // its start when it has no group.
    Layout(std::vector<Field> fields, std::vector<Field> group_fields = {}, int group_repeat = 0);

    // The fields with every repeat count unrolled, and where resumption starts.
    const std::vector<Field>& slots() const { return slots_; }
    std::size_t resume_at() const { return resume_at_; }

private:
    std::vector<Field> slots_;
    std::size_t resume_at_ = 0;
};

// Writes the items through the layout.  Output stops at the first field that
// needs an item when none is left (blanks waiting before it are dropped), or
// at the end of the layout; the record is then ended.  An item whose type
// does not match its field ends the run.
void write_laid_out(RecordWriter& w, const Layout& layout, std::span<const Item> items);
void write_laid_out(RecordWriter& w, const Layout& layout, std::initializer_list<Item> items);

}  // namespace itersolve
