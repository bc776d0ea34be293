#include "recio/arrays.hpp"

#include <cstdlib>
#include <sys/mman.h>
#include <utility>

#include "recio/run_stop.hpp"

namespace itersolve {
namespace {
// Below this size an array comes from the heap; from it on, from the
// operating system's zero-filled, lazily committed pages.
constexpr std::size_t kMapThreshold = std::size_t{1} << 16;
}  // namespace

void* Memory::obtain(std::size_t bytes) {
    ++requests_;
    if (fail_at > 0 && requests_ == fail_at) return nullptr;
    if (bytes < kMapThreshold) return std::calloc(1, bytes ? bytes : 1);
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void Memory::release(void* p, std::size_t bytes) {
    if (!p) return;
    if (bytes < kMapThreshold) std::free(p);
    else ::munmap(p, bytes);
}

void RealArray::release() {
    if (memory_) memory_->release(data_, count_ * sizeof(float));
    data_ = nullptr;
    count_ = 0;
    memory_ = nullptr;
}

void RealArray::swap(RealArray& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(count_, o.count_);
    std::swap(memory_, o.memory_);
}

bool allocate_with_status(Memory& memory, RealArray& out, std::int64_t rows, std::int64_t cols) {
    out.release();
    if (rows < 0) rows = 0;
    if (cols < 0) cols = 0;
    std::uint64_t count = 0, bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(rows), static_cast<std::uint64_t>(cols), &count) ||
        __builtin_mul_overflow(count, std::uint64_t{sizeof(float)}, &bytes) || bytes > (std::uint64_t{1} << 62))
        return false;
    void* p = memory.obtain(static_cast<std::size_t>(bytes));
    if (!p) return false;
    out.data_ = static_cast<float*>(p);
    out.count_ = static_cast<std::size_t>(count);
    out.memory_ = &memory;
    return true;
}

RealArray allocate_or_stop(Memory& memory, std::int64_t rows, std::int64_t cols) {
    RealArray a;
    if (!allocate_with_status(memory, a, rows, cols)) stop_run("Cannot allocate memory.");
    return a;
}

}  // namespace itersolve
