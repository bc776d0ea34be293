#include "recio/streams.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace itersolve {
namespace {

class FdSource final : public ByteSource {
public:
    FdSource(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~FdSource() override {
        if (owned_) ::close(fd_);
    }
    long read(char* buf, std::size_t capacity) override {
        for (;;) {
            ssize_t n = ::read(fd_, buf, capacity);
            if (n >= 0) return static_cast<long>(n);
            if (errno == EINTR) continue;
            err_ = errno;
            return -1;
        }
    }
    std::string error() const override { return std::strerror(err_); }

private:
    int fd_;
    bool owned_;
    int err_ = 0;
};

class FdSink final : public ByteSink {
public:
    FdSink(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~FdSink() override {
        if (owned_) ::close(fd_);
    }
    bool write(const char* data, std::size_t n) override {
        while (n > 0) {
            ssize_t w = ::write(fd_, data, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                err_ = errno;
                return false;
            }
            data += w;
            n -= static_cast<std::size_t>(w);
        }
        return true;
    }
    std::string error() const override { return std::strerror(err_); }

private:
    int fd_;
    bool owned_;
    int err_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> fd_source(int fd) { return std::make_unique<FdSource>(fd, false); }
std::unique_ptr<ByteSink> fd_sink(int fd) { return std::make_unique<FdSink>(fd, false); }

std::unique_ptr<ByteSource> PosixFileSystem::open_read(const std::string& name) {
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<FdSource>(fd, true);
}

std::unique_ptr<ByteSink> PosixFileSystem::open_write(const std::string& name) {
    // Created if missing, emptied if present: a report never mixes two runs.
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<FdSink>(fd, true);
}

long MemorySource::read(char* buf, std::size_t capacity) {
    std::size_t n = std::min({capacity, chunk_, text_.size() - pos_});
    std::memcpy(buf, text_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
}

bool MemorySink::write(const char* data, std::size_t n) {
    ++writes_;
    if (fail_at_ > 0 && writes_ >= fail_at_) return false;
    out_.append(data, n);
    return true;
}

std::unique_ptr<ByteSource> MemoryFileSystem::open_read(const std::string& name) {
    auto it = files.find(name);
    if (it == files.end()) return nullptr;
    return std::make_unique<MemorySource>(it->second, read_chunk);
}

std::unique_ptr<ByteSink> MemoryFileSystem::open_write(const std::string& name) {
    if (unwritable.count(name)) return nullptr;
    std::string& f = files[name];
    f.clear();
    auto k = fail_at_write.find(name);
    return std::make_unique<MemorySink>(f, k == fail_at_write.end() ? 0 : k->second);
}

}  // namespace itersolve
