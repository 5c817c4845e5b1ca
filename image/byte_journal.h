#pragma once
// ByteJournal: the bytes a tentative change overwrites in an image's buffers, kept page by page the
// first time each page is written, so that the change can be undone without a copy of the whole
// image. Pages are kept once, so memory grows with the part of the image the change touches.

#include "image/image_buffer.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace image {

class ByteJournal {
  public:
    // Keeps buffer[offset .. offset + count - 1] as it is now, unless an earlier call kept it.
    void keep(ImageBuffer& buffer, size_t offset, size_t count);
    // Writes every kept page back into its buffer.
    void restore();

  private:
    static constexpr size_t kPageSize = 4096;
    struct Page {
        ImageBuffer* buffer;
        size_t start;
        std::vector<uint8_t> bytes;
    };
    std::vector<Page> m_pages;
    std::set<std::pair<const ImageBuffer*, size_t>> m_kept; // (buffer, page index)
};

} // namespace image
