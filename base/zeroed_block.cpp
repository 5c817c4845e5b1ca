#include "base/zeroed_block.h"

#include <sys/mman.h>

#include <cstdlib>

// Under AddressSanitizer the blocks come from calloc, so that a byte read or written past the end is
// caught; a mapping rounded up to 2 MiB would hide it.
#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_ZEROED_FROM_CALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_ZEROED_FROM_CALLOC 1
#endif
#endif

namespace base {

#ifdef VELMORA_ZEROED_FROM_CALLOC
ZeroedBlock allocateZeroed(std::size_t size) {
    return ZeroedBlock(static_cast<std::uint8_t*>(std::calloc(size, 1)), ZeroedBlockRelease{size});
}

void ZeroedBlockRelease::operator()(std::uint8_t* p) const {
    std::free(p);
}
#else
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t roundUp(std::size_t size) {
    return (size + kHugePage - 1) / kHugePage * kHugePage;
}

} // namespace

ZeroedBlock allocateZeroed(std::size_t size) {
    const std::size_t length = roundUp(size);
    // Map one huge page more than needed, then give back what lies before and after the aligned part.
    void* mapped =
        ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return ZeroedBlock(nullptr, ZeroedBlockRelease{size});
    auto* start = static_cast<std::uint8_t*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    auto* aligned = reinterpret_cast<std::uint8_t*>((address + kHugePage - 1) / kHugePage * kHugePage);
    if (aligned > start)
        ::munmap(start, static_cast<std::size_t>(aligned - start));
    const std::size_t after = kHugePage - static_cast<std::size_t>(aligned - start);
    if (after > 0)
        ::munmap(aligned + length, after);
#ifdef MADV_HUGEPAGE
    ::madvise(aligned, length, MADV_HUGEPAGE); // only advice: without it the block still works
#endif
    return ZeroedBlock(aligned, ZeroedBlockRelease{size});
}

void ZeroedBlockRelease::operator()(std::uint8_t* p) const {
    if (p)
        ::munmap(p, roundUp(size));
}
#endif

} // namespace base
