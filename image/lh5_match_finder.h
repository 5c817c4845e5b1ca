#pragma once
// Longest-match search for the "-lh5-" compressor: hash chains over three-byte prefixes.
//
// Chain heads are kept per hash of the next three bytes; the links live in a ring of two
// dictionary lengths indexed by position, so a link is never overwritten while its position is
// still inside the dictionary.

#include <cstdint>
#include <span>
#include <vector>

namespace image {

struct Lh5Match {
    uint32_t length = 0;   // 0 when no match of at least three bytes was found
    uint32_t distance = 0; // 1..8192 bytes back
};

class Lh5MatchFinder {
  public:
    // `data` must outlive the finder. `maxChain` bounds the candidates tried per search.
    Lh5MatchFinder(std::span<const uint8_t> data, uint32_t maxChain);

    // Returns the longest match for the bytes at `pos` among the positions inserted before (the
    // nearest one on equal length), of at most 256 bytes and not past the end of the data, then
    // inserts `pos`. Positions must be visited in ascending order without gaps (use insert()).
    Lh5Match findAndInsert(size_t pos);

    // Inserts `pos` without searching (positions covered by a match).
    void insert(size_t pos);

  private:
    uint32_t hashAt(size_t pos) const;
    uint32_t matchLength(size_t a, size_t b, uint32_t limit) const;

    std::span<const uint8_t> m_data;
    uint32_t m_maxChain;
    std::vector<int32_t> m_head; // newest position per hash, -1 when none
    std::vector<int32_t> m_prev; // previous position with the same hash, per position mod ring size
};

} // namespace image
