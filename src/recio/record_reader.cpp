#include "recio/record_reader.hpp"

#include <cstring>

#include "recio/number_text.hpp"
#include "recio/run_stop.hpp"

namespace itersolve {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

// A value as it appears in a diagnostic: quoted, control and non-ASCII bytes
// escaped, cut short after 40 characters.
std::string quote(std::string_view v) {
    std::string out = "\"";
    std::size_t shown = 0;
    for (unsigned char c : v) {
        if (shown == 40) {
            out += "...";
            break;
        }
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        ++shown;
    }
    return out + "\"";
}

}  // namespace

std::string ItemName::text() const {
    std::string s = name;
    if (i != 0) {
        s += '(' + std::to_string(i);
        if (j != 0) s += ',' + std::to_string(j);
        s += ')';
    }
    return s;
}

RecordReader::RecordReader(ByteSource& source, std::string source_name, std::string end_name,
                           std::function<void()> before_wait)
    : source_(source),
      source_name_(std::move(source_name)),
      end_name_(std::move(end_name)),
      before_wait_(std::move(before_wait)),
      buffer_(kBufferSize) {}

bool RecordReader::refill() {
    if (at_eof_) return false;
    if (before_wait_) before_wait_();
    long n = source_.read(buffer_.data(), buffer_.size());
    if (n < 0) stop_run(source_name_ + ", line " + std::to_string(line_) + ": cannot read: " + source_.error());
    pos_ = 0;
    end_ = static_cast<std::size_t>(n);
    if (n == 0) at_eof_ = true;
    return n > 0;
}

void RecordReader::fail(const ItemName& item, const char* kind, std::string_view found_value,
                        const char* remark) const {
    std::string msg = source_name_ + ", line " + std::to_string(value_line_) + ": expected " + kind + " for " +
                      item.text() + ", found ";
    msg += found_value.data() ? quote(found_value) : end_name_;
    msg += remark;
    stop_run(std::move(msg));
}

std::string_view RecordReader::next_value(const ItemName& item, const char* kind, bool bounded) {
    // Pass over separators and line ends up to the start of a value.
    for (;;) {
        if (pos_ == end_ && !refill()) {
            value_line_ = line_;
            fail(item, kind, std::string_view(), "");
        }
        char c = buffer_[pos_];
        if (c == '\n') {
            ++line_;
            at_record_start_ = true;
            ++pos_;
        } else if (is_separator(c)) {
            at_record_start_ = false;
            ++pos_;
        } else {
            break;
        }
    }
    at_record_start_ = false;
    value_line_ = line_;
    // Fast path: the whole value lies in the buffer.
    std::size_t start = pos_;
    while (pos_ < end_ && buffer_[pos_] != '\n' && !is_separator(buffer_[pos_])) ++pos_;
    if (pos_ < end_ || at_eof_) {
        if (bounded && pos_ - start > kMaxValueLength)
            fail(item, kind, std::string_view(buffer_.data() + start, pos_ - start), " (value too long)");
        return std::string_view(buffer_.data() + start, pos_ - start);
    }
    // The value runs past the buffer: gather it, keeping at most one byte
    // more than the longest value accepted.
    spill_.assign(buffer_.data() + start, std::min(pos_ - start, kMaxValueLength + 1));
    while (refill()) {
        std::size_t s = pos_;
        while (pos_ < end_ && buffer_[pos_] != '\n' && !is_separator(buffer_[pos_])) ++pos_;
        std::size_t room = kMaxValueLength + 1 - std::min(spill_.size(), kMaxValueLength + 1);
        spill_.append(buffer_.data() + s, std::min(pos_ - s, room));
        if (pos_ < end_) break;
    }
    if (bounded && spill_.size() > kMaxValueLength) fail(item, kind, spill_, " (value too long)");
    return spill_;
}

void RecordReader::end_record() {
    if (at_record_start_) return;
    for (;;) {
        if (pos_ == end_ && !refill()) return;
        const char* nl = static_cast<const char*>(std::memchr(buffer_.data() + pos_, '\n', end_ - pos_));
        if (nl) {
            pos_ = static_cast<std::size_t>(nl - buffer_.data()) + 1;
            ++line_;
            at_record_start_ = true;
            return;
        }
        pos_ = end_;
    }
}

float RecordReader::next_real(const ItemName& item) {
    static constexpr const char* kind = "a real";
    std::string_view v = next_value(item, kind);
    float value = 0.0f;
    switch (parse_real(v, value)) {
        case ParseStatus::ok: return value;
        case ParseStatus::malformed: fail(item, kind, v, "");
        case ParseStatus::out_of_range: fail(item, kind, v, " (out of range)");
    }
    return value;
}

std::int32_t RecordReader::next_integer(const ItemName& item) {
    static constexpr const char* kind = "an integer";
    std::string_view v = next_value(item, kind);
    std::int32_t value = 0;
    switch (parse_integer(v, value)) {
        case ParseStatus::ok: return value;
        case ParseStatus::malformed: fail(item, kind, v, "");
        case ParseStatus::out_of_range: fail(item, kind, v, " (out of range)");
    }
    return value;
}

// Only the first character counts, so an answer of any length is taken.
char RecordReader::next_character(const ItemName& item) { return next_value(item, "an answer", false)[0]; }

float read_free_real(RecordReader& r, const ItemName& item) {
    float v = r.next_real(item);
    r.end_record();
    return v;
}

std::int32_t read_free_integer(RecordReader& r, const ItemName& item) {
    std::int32_t v = r.next_integer(item);
    r.end_record();
    return v;
}

char read_free_character(RecordReader& r, const ItemName& item) {
    char c = r.next_character(item);
    r.end_record();
    return c;
}

}  // namespace itersolve
