#pragma once
// Large zero-filled blocks for the memory image's arrays (8 MiB each). They are mapped straight from
// the system, aligned to 2 MiB and offered for huge pages where the system allows it: the first touch
// then costs one fault per 2 MiB instead of one per 4 KiB page, which was most of the time a fresh
// 8 MiB image took to scan or to clear. Elsewhere the block behaves as plain zeroed memory.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace base {

struct ZeroedBlockRelease {
    std::size_t size = 0; // as asked for; the mapping is rounded up from it
    void operator()(std::uint8_t* p) const;
};
using ZeroedBlock = std::unique_ptr<std::uint8_t[], ZeroedBlockRelease>;

// A block of `size` zero bytes (size > 0), or an empty pointer when the system has no memory for it.
ZeroedBlock allocateZeroed(std::size_t size);

} // namespace base
