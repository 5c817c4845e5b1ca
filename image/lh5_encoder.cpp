#include "image/lh5_encoder.h"

#include "image/lh5_bit_writer.h"
#include "image/lh5_block_encoder.h"
#include "image/lh5_match_finder.h"

namespace image {

namespace {

// Candidates tried per search; more buys little on firmware and costs time.
constexpr uint32_t kMaxChain = 256;

} // namespace

void lh5Encode(std::span<const uint8_t> input, std::vector<uint8_t>& out) {
    if (input.empty())
        return;
    Lh5BitWriter bits(out);
    Lh5BlockEncoder blocks(bits);
    Lh5MatchFinder finder(input, kMaxChain);

    // Lazy evaluation: a match found at one position is only taken when the next position does
    // not start a longer one; otherwise its first byte goes out as a literal.
    const size_t n = input.size();
    size_t pos = 0;
    Lh5Match pending = finder.findAndInsert(0);
    while (pos < n) {
        if (pending.length < kLh5MinMatch) {
            blocks.literal(input[pos]);
            ++pos;
            if (pos < n)
                pending = finder.findAndInsert(pos);
            continue;
        }
        Lh5Match next;
        if (pos + 1 < n)
            next = finder.findAndInsert(pos + 1);
        if (next.length > pending.length) {
            blocks.literal(input[pos]);
            ++pos;
            pending = next;
            continue;
        }
        blocks.match(pending.length, pending.distance);
        const size_t end = pos + pending.length;
        for (size_t p = pos + 2; p < end; ++p)
            finder.insert(p);
        pos = end;
        pending = pos < n ? finder.findAndInsert(pos) : Lh5Match{};
    }
    blocks.finish();
}

} // namespace image
