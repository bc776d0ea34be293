// read_free: free-form records from a byte source.
//
// A record is a line; its values are separated by runs of blanks, tabs and
// commas (a carriage return before the line end counts as a blank, so CR-LF
// files read like LF files).  One read_free call starts at the beginning of a
// record, takes its items in order, continuing on the following records when
// one runs out (empty records are passed over), and discards the rest of the
// record holding its last value.
//
// Every failure ends the run with one line naming the source, the line and
// the item awaited, for example
//   Input.dat, line 4: expected a real for A(3,2), found "1.2.3"
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "recio/streams.hpp"

namespace itersolve {

// The name of an awaited item, for diagnostics: "TOL", "B(2)", "A(3,2)".
// Indices of 0 are left out.
struct ItemName {
    const char* name;
    std::int64_t i = 0;
    std::int64_t j = 0;
    std::string text() const;
};

class RecordReader {
public:
    // source_name names the source in diagnostics ("Input.dat", "console
    // input"); end_name says what its end is ("end of file", "end of input").
    // before_wait runs before every read that may block (the console flushes
    // its prompts there).
    RecordReader(ByteSource& source, std::string source_name, std::string end_name,
                 std::function<void()> before_wait = {});

    // The items of one free-form read.  Each next_* takes the next value;
    // end_record() then discards the rest of the current record.
    float next_real(const ItemName& item);
    std::int32_t next_integer(const ItemName& item);
    char next_character(const ItemName& item);  // the first character of the value
    void end_record();

    // Longest number accepted; a longer one is reported as malformed.  A
    // one-character item takes the first character of a value of any length.
    static constexpr std::size_t kMaxValueLength = 4096;

private:
    bool refill();
    // bounded: a value longer than kMaxValueLength is reported as malformed.
    std::string_view next_value(const ItemName& item, const char* kind, bool bounded = true);
    [[noreturn]] void fail(const ItemName& item, const char* kind, std::string_view found_value,
                           const char* remark) const;

    ByteSource& source_;
    std::string source_name_;
    std::string end_name_;
    std::function<void()> before_wait_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool at_eof_ = false;
    bool at_record_start_ = true;
    long line_ = 1;        // line of the current position
    long value_line_ = 1;  // line of the value last taken
    std::string spill_;    // a value that straddles two buffer fills
};

// Convenience forms of read_free: one record's worth of items.
float read_free_real(RecordReader& r, const ItemName& item);
std::int32_t read_free_integer(RecordReader& r, const ItemName& item);
char read_free_character(RecordReader& r, const ItemName& item);

}  // namespace itersolve
