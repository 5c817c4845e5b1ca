#pragma once
// ImageBuffer: a byte array of fixed size, allocated once when the image is created. It never
// grows or shrinks, so indices checked against size() stay valid for the life of the image.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace image {

// Addresses 0 .. kMaxImageSize - 1 hold loadable bytes; the arrays have one element more, which
// the range scans include.
inline constexpr int32_t kMaxImageSize = 0x800000;
inline constexpr int32_t kImageBufferSize = kMaxImageSize + 1;
inline constexpr uint8_t kEmptyByte = 0xFF;

class ImageBuffer {
  public:
    explicit ImageBuffer(size_t size, uint8_t fill = 0) : m_bytes(size, fill) {}

    uint8_t& operator[](size_t index) { return m_bytes[index]; }
    uint8_t operator[](size_t index) const { return m_bytes[index]; }
    uint8_t* data() { return m_bytes.data(); }
    const uint8_t* data() const { return m_bytes.data(); }
    size_t size() const { return m_bytes.size(); }
    std::span<uint8_t> span() { return m_bytes; }
    std::span<const uint8_t> span() const { return m_bytes; }

  private:
    std::vector<uint8_t> m_bytes;
};

} // namespace image
