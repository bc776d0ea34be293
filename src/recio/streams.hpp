// Byte streams and the file-system seam under the record services.
//
// A run never touches the process's descriptors or the file system directly:
// it is handed a console input, a console output, a last-resort diagnostic
// output and a FileSystem.  The entry programs pass the real ones
// (PosixFileSystem, fd_source/fd_sink); tests and fuzzers pass the in-memory
// ones below, optionally with faults injected.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace itersolve {

// A source of bytes.  read() returns the number of bytes placed in buf
// (1..capacity), 0 at end of input, or -1 on a read error (errno-style text in
// error()).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual long read(char* buf, std::size_t capacity) = 0;
    virtual std::string error() const { return "read error"; }
};

// A sink of bytes.  write() takes all n bytes or fails; on failure error()
// describes why (for example "No space left on device").
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const char* data, std::size_t n) = 0;
    virtual std::string error() const { return "write error"; }
};

// Opens the run's two files by name.  A null result means the file cannot be
// opened; a sink opened for writing starts empty.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<ByteSource> open_read(const std::string& name) = 0;
    virtual std::unique_ptr<ByteSink> open_write(const std::string& name) = 0;
};

// ---- the real process: POSIX descriptors and files of the working directory

std::unique_ptr<ByteSource> fd_source(int fd);  // does not close fd
std::unique_ptr<ByteSink> fd_sink(int fd);      // does not close fd

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<ByteSource> open_read(const std::string& name) override;
    std::unique_ptr<ByteSink> open_write(const std::string& name) override;
};

// ---- in memory, for tests and fuzzers

class MemorySource final : public ByteSource {
public:
    // chunk bounds how much one read() hands out (1 imitates a slow terminal).
    explicit MemorySource(std::string text, std::size_t chunk = 1 << 16)
        : text_(std::move(text)), chunk_(chunk ? chunk : 1) {}
    long read(char* buf, std::size_t capacity) override;

private:
    std::string text_;
    std::size_t pos_ = 0;
    std::size_t chunk_;
};

// Appends to a string owned by the caller.  With fail_at_write = k > 0 the
// k-th write() and every later one fail ("No space left on device"), so tests
// can fail each write of a run in turn.
class MemorySink final : public ByteSink {
public:
    explicit MemorySink(std::string& out, long fail_at_write = 0) : out_(out), fail_at_(fail_at_write) {}
    bool write(const char* data, std::size_t n) override;
    std::string error() const override { return "No space left on device"; }
    long writes() const { return writes_; }

private:
    std::string& out_;
    long fail_at_;
    long writes_ = 0;
};

// Files held in a map: open_read finds a file by name, open_write creates or
// empties one.  Names listed in unwritable cannot be opened for writing.
class MemoryFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, long> fail_at_write;  // name -> k, see MemorySink
    std::map<std::string, bool> unwritable;
    std::size_t read_chunk = 1 << 16;

    std::unique_ptr<ByteSource> open_read(const std::string& name) override;
    std::unique_ptr<ByteSink> open_write(const std::string& name) override;
};

}  // namespace itersolve
