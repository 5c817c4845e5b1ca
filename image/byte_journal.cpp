#include "image/byte_journal.h"

#include <algorithm>

namespace image {

void ByteJournal::keep(ImageBuffer& buffer, size_t offset, size_t count) {
    if (count == 0)
        return;
    const size_t last = std::min(offset + count, buffer.size()) - 1;
    for (size_t page = offset / kPageSize; page <= last / kPageSize; ++page) {
        if (!m_kept.emplace(&buffer, page).second)
            continue;
        const size_t start = page * kPageSize;
        const size_t end = std::min(start + kPageSize, buffer.size());
        m_pages.push_back({&buffer, start, {buffer.data() + start, buffer.data() + end}});
    }
}

void ByteJournal::restore() {
    for (const Page& page : m_pages)
        std::copy(page.bytes.begin(), page.bytes.end(), page.buffer->data() + page.start);
}

} // namespace image
