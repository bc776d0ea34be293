// Arrays of single-precision reals and the allocation services.
//
// Two forms, as the run needs them:
//  - with a status (allocate_with_status): the caller decides what follows;
//  - without one (allocate_or_stop): a failure ends the run with
//    "Cannot allocate memory.".
// Every array comes zero-filled.  Large arrays are mapped from the operating
// system without reserving swap, so pages that are never touched cost no
// physical memory: an iteration history sized for millions of iterates costs
// only the rows the iteration fills (in steps of one large page, which the
// largest arrays ask for).  Sizes are counted in 64 bits with
// overflow checks; a count that cannot be expressed cannot be obtained.
#pragma once

#include <cstddef>
#include <cstdint>

namespace itersolve {

// The allocation seam.  fail_at = k > 0 makes the k-th request (and only
// that one) fail, so tests can fail each allocation of a run in turn.
//
// The arrays held at one time may not exceed `capacity` bytes, by default the
// machine's physical memory: an iteration history is only committed as it is
// filled, so a run that could fill more than the machine holds is refused at
// the allocation step ("Cannot allocate memory.") instead of being killed by
// the system halfway through.
class Memory {
public:
    Memory();
    void* obtain(std::size_t bytes);
    void release(void* p, std::size_t bytes);
    long requests() const { return requests_; }
    long fail_at = 0;
    std::uint64_t capacity;

private:
    long requests_ = 0;
    std::uint64_t in_use_ = 0;
};

class RealArray {
public:
    RealArray() = default;
    RealArray(RealArray&& o) noexcept { swap(o); }
    RealArray& operator=(RealArray&& o) noexcept {
        RealArray t(static_cast<RealArray&&>(o));
        swap(t);
        return *this;
    }
    RealArray(const RealArray&) = delete;
    RealArray& operator=(const RealArray&) = delete;
    ~RealArray() { release(); }

    float* data() { return data_; }
    const float* data() const { return data_; }
    std::size_t size() const { return count_; }
    float& operator[](std::size_t i) { return data_[i]; }
    const float& operator[](std::size_t i) const { return data_[i]; }
    void release();

private:
    friend bool allocate_with_status(Memory&, RealArray&, std::int64_t, std::int64_t);
    void swap(RealArray& o) noexcept;
    float* data_ = nullptr;
    std::size_t count_ = 0;
    Memory* memory_ = nullptr;
};

// Obtains rows x cols reals into `out` (negative dimensions count as 0).
// Returns true on success; on failure `out` stays empty.
bool allocate_with_status(Memory& memory, RealArray& out, std::int64_t rows, std::int64_t cols = 1);

// Obtains rows x cols reals or ends the run with "Cannot allocate memory.".
RealArray allocate_or_stop(Memory& memory, std::int64_t rows, std::int64_t cols = 1);

}  // namespace itersolve
