#include "recio/arrays.hpp"

#include <cstdlib>
#include <limits>
#include <unistd.h>
#include <sys/mman.h>
#include <utility>

#include "recio/run_stop.hpp"

namespace itersolve {
namespace {
// Below this size an array comes from the heap; from it on, from the
// operating system's zero-filled, lazily committed pages.
constexpr std::size_t kMapThreshold = std::size_t{1} << 16;
// From this size on, a mapping asks for large pages where the system offers
// them on request: committing a page costs a fault, and the large page
// commits 512 small pages' worth at once.  A large system's matrix is then
// committed in a few milliseconds instead of tens.  The iteration history
// stays lazily committed, in steps of one large page.
constexpr std::size_t kLargePageThreshold = std::size_t{4} << 20;
}  // namespace

Memory::Memory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
    capacity = pages > 0 && page > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page)
                                     : std::numeric_limits<std::uint64_t>::max();
}

void* Memory::obtain(std::size_t bytes) {
    ++requests_;
    if (fail_at > 0 && requests_ == fail_at) return nullptr;
    if (bytes > capacity || in_use_ > capacity - bytes) return nullptr;
    void* p = nullptr;
    if (bytes < kMapThreshold) {
        p = std::calloc(1, bytes ? bytes : 1);
    } else {
        p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) p = nullptr;
#ifdef MADV_HUGEPAGE
        else if (bytes >= kLargePageThreshold) ::madvise(p, bytes, MADV_HUGEPAGE);  // advice only
#endif
    }
    if (p) in_use_ += bytes;
    return p;
}

void Memory::release(void* p, std::size_t bytes) {
    if (!p) return;
    in_use_ -= bytes;
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
