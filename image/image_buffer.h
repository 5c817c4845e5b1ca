#pragma once
// ImageBuffer: a byte array of fixed size, allocated once when the image is created. It never
// grows or shrinks, so indices checked against size() stay valid for the life of the image.

#include "base/zeroed_block.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <utility>

namespace image {

// Addresses 0 .. kMaxImageSize - 1 hold loadable bytes; the arrays have one element more, which
// the range scans include.
inline constexpr int32_t kMaxImageSize = 0x800000;
inline constexpr int32_t kImageBufferSize = kMaxImageSize + 1;
inline constexpr uint8_t kEmptyByte = 0xFF;

class ImageBuffer {
  public:
    // Zeros come straight from the system's fresh pages, without writing them: an image that is
    // never filled costs no time (a vector would write all 8 MiB).
    explicit ImageBuffer(size_t size, uint8_t fill = 0) : m_size(size) {
        if (size == 0)
            return;
        m_bytes = base::allocateZeroed(size);
        if (!m_bytes)
            throw std::bad_alloc();
        if (fill != 0)
            std::memset(m_bytes.get(), fill, size);
    }
    ImageBuffer(const ImageBuffer& other) : ImageBuffer(other.m_size) {
        if (m_size != 0)
            std::memcpy(m_bytes.get(), other.m_bytes.get(), m_size);
    }
    ImageBuffer& operator=(const ImageBuffer& other) {
        if (this != &other)
            *this = ImageBuffer(other);
        return *this;
    }
    // A moved-from buffer is empty, as a moved-from vector is.
    ImageBuffer(ImageBuffer&& other) noexcept
        : m_bytes(std::move(other.m_bytes)), m_size(std::exchange(other.m_size, 0)) {}
    ImageBuffer& operator=(ImageBuffer&& other) noexcept {
        m_bytes = std::move(other.m_bytes);
        m_size = std::exchange(other.m_size, 0);
        return *this;
    }

    uint8_t& operator[](size_t index) { return m_bytes[index]; }
    uint8_t operator[](size_t index) const { return m_bytes[index]; }
    uint8_t* data() { return m_bytes.get(); }
    const uint8_t* data() const { return m_bytes.get(); }
    size_t size() const { return m_size; }
    std::span<uint8_t> span() { return {m_bytes.get(), m_size}; }
    std::span<const uint8_t> span() const { return {m_bytes.get(), m_size}; }

  private:
    base::ZeroedBlock m_bytes;
    size_t m_size = 0;
};

} // namespace image
