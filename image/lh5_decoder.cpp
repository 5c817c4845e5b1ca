#include "image/lh5_decoder.h"

#include "image/lh5_bit_reader.h"
#include "image/lh5_constants.h"
#include "image/lh5_huffman_table.h"

#include <array>
#include <cstring>

namespace image {

namespace {

// Primary look-up widths: most character codes are at most 12 bits; the small tables rarely
// exceed 8.
constexpr int kCharPrimaryBits = 12;
constexpr int kSmallPrimaryBits = 8;
constexpr uint8_t kInitialDictionaryByte = 0x20;
// The character table is the largest.
static_assert(kLh5CharCodes >= kLh5LengthTableCodes && kLh5CharCodes >= kLh5PositionCodes);

class Decoder {
  public:
    explicit Decoder(std::span<const uint8_t> input) : m_in(input) {}

    Lh5DecodeResult run(std::span<uint8_t> output);

  private:
    Lh5DecodeResult readBlockHeader(uint32_t& count);
    // A code-length table: its count, then the one symbol every code stands for (a count of 0) or
    // `count` lengths read by `readLengths`; the rest stay 0. BadTable for a symbol or count past
    // `symbols`.
    template <typename ReadLengths>
    Lh5DecodeResult readTable(Lh5HuffmanTable& table, int symbols, int countBits, ReadLengths readLengths);
    // Lengths as 3-bit numbers with a unary tail; after `skipAfter` of them a 2-bit count of zeros.
    Lh5DecodeResult readSmallLengths(std::span<uint8_t> lengths, int count, int skipAfter);
    // Lengths coded by the length table, with runs of zeros.
    Lh5DecodeResult readCharLengths(std::span<uint8_t> lengths, int count);
    void copyMatch(uint8_t* out, size_t pos, uint32_t length, uint32_t distance, size_t size);

    Lh5BitReader m_in;
    Lh5HuffmanTable m_chars{kCharPrimaryBits};
    Lh5HuffmanTable m_lengthTable{kSmallPrimaryBits};
    Lh5HuffmanTable m_positions{kSmallPrimaryBits};
};

template <typename ReadLengths>
Lh5DecodeResult Decoder::readTable(Lh5HuffmanTable& table, int symbols, int countBits,
                                   ReadLengths readLengths) {
    const int n = static_cast<int>(m_in.getBits(countBits));
    if (n == 0) {
        const uint32_t symbol = m_in.getBits(countBits);
        if (symbol >= static_cast<uint32_t>(symbols))
            return Lh5DecodeResult::BadTable;
        table.buildSingle(static_cast<uint16_t>(symbol));
        return Lh5DecodeResult::Ok;
    }
    if (n > symbols)
        return Lh5DecodeResult::BadTable;
    std::array<uint8_t, kLh5CharCodes> storage{};
    const std::span<uint8_t> lengths(storage.data(), static_cast<size_t>(symbols));
    const Lh5DecodeResult read = readLengths(lengths, n);
    if (read != Lh5DecodeResult::Ok)
        return read;
    if (!table.build(lengths))
        return Lh5DecodeResult::BadTable;
    return Lh5DecodeResult::Ok;
}

Lh5DecodeResult Decoder::readSmallLengths(std::span<uint8_t> lengths, int n, int skipAfter) {
    const int symbols = static_cast<int>(lengths.size());
    int i = 0;
    while (i < n) {
        const uint32_t bits = m_in.peek(16);
        int len = static_cast<int>(bits >> 13);
        if (len == 7) {
            // Longer lengths continue in unary: one more per 1 bit, ended by a 0 bit.
            for (uint32_t mask = 1u << 12; (bits & mask) != 0; mask >>= 1) {
                if (++len > kLh5MaxCodeLength)
                    return Lh5DecodeResult::BadTable;
            }
            m_in.skip(len - 3);
        } else {
            m_in.skip(3);
        }
        lengths[static_cast<size_t>(i++)] = static_cast<uint8_t>(len);
        if (i == skipAfter) {
            const int zeros = static_cast<int>(m_in.getBits(2));
            if (i + zeros > symbols)
                return Lh5DecodeResult::BadTable;
            i += zeros;
        }
    }
    return Lh5DecodeResult::Ok;
}

Lh5DecodeResult Decoder::readCharLengths(std::span<uint8_t> lengths, int n) {
    const int symbols = static_cast<int>(lengths.size());
    int i = 0;
    while (i < n) {
        const int c = m_lengthTable.decode(m_in);
        if (c < 0)
            return Lh5DecodeResult::BadTable;
        if (c > 2) {
            lengths[static_cast<size_t>(i++)] = static_cast<uint8_t>(c - 2);
            continue;
        }
        int run = 1;
        if (c == 1)
            run = static_cast<int>(m_in.getBits(kLh5ShortRunCountBits)) + kLh5ShortRunMin;
        else if (c == 2)
            run = static_cast<int>(m_in.getBits(kLh5CharCountBits)) + kLh5LongRunMin;
        if (i + run > symbols)
            return Lh5DecodeResult::BadTable;
        i += run; // the lengths are zero already
    }
    return Lh5DecodeResult::Ok;
}

Lh5DecodeResult Decoder::readBlockHeader(uint32_t& count) {
    count = m_in.getBits(kLh5BlockCountBits);
    // No encoder sends an empty block; taking it as data would loop on a run of zero bits.
    if (count == 0)
        return m_in.overrun() ? Lh5DecodeResult::Truncated : Lh5DecodeResult::BadTable;
    Lh5DecodeResult r = readTable(m_lengthTable, kLh5LengthTableCodes, kLh5LengthTableCountBits,
                                  [this](std::span<uint8_t> lengths, int n) {
                                      return readSmallLengths(lengths, n, kLh5LengthTableSkipAfter);
                                  });
    if (r == Lh5DecodeResult::Ok)
        r = readTable(m_chars, kLh5CharCodes, kLh5CharCountBits,
                      [this](std::span<uint8_t> lengths, int n) { return readCharLengths(lengths, n); });
    if (r == Lh5DecodeResult::Ok)
        r = readTable(m_positions, kLh5PositionCodes, kLh5PositionCountBits,
                      [this](std::span<uint8_t> lengths, int n) { return readSmallLengths(lengths, n, 0); });
    // A table read from the zero bits past the end is no table at all.
    if (m_in.overrun())
        return Lh5DecodeResult::Truncated;
    return r;
}

void Decoder::copyMatch(uint8_t* out, size_t pos, uint32_t length, uint32_t distance, size_t size) {
    if (distance > pos) {
        for (uint32_t k = 0; k < length; ++k, ++pos)
            out[pos] = pos >= distance ? out[pos - distance] : kInitialDictionaryByte;
        return;
    }
    const uint8_t* src = out + pos - distance;
    uint8_t* dst = out + pos;
    if (distance >= 8 && pos + length + 8 <= size) {
        // Eight bytes at a time; the source is always at least eight bytes behind, so every
        // chunk reads bytes already written. The last chunk may spill up to seven bytes past
        // the match, inside the output, to be overwritten later.
        for (uint32_t k = 0; k < length; k += 8)
            std::memcpy(dst + k, src + k, 8);
        return;
    }
    if (distance == 1) {
        std::memset(dst, *src, length);
        return;
    }
    for (uint32_t k = 0; k < length; ++k)
        dst[k] = src[k];
}

Lh5DecodeResult Decoder::run(std::span<uint8_t> output) {
    uint8_t* out = output.data();
    const size_t size = output.size();
    size_t pos = 0;
    uint32_t remaining = 0;
    while (pos < size) {
        if (remaining == 0) {
            const Lh5DecodeResult r = readBlockHeader(remaining);
            if (r != Lh5DecodeResult::Ok)
                return r;
        }
        --remaining;
        const int c = m_chars.decode(m_in);
        if (c < 256) {
            if (c < 0)
                return Lh5DecodeResult::BadCode;
            out[pos++] = static_cast<uint8_t>(c);
            continue;
        }
        const uint32_t length = static_cast<uint32_t>(c - kLh5LengthCodeOffset);
        const int pc = m_positions.decode(m_in);
        if (pc < 0)
            return Lh5DecodeResult::BadCode;
        uint32_t position = static_cast<uint32_t>(pc);
        if (pc > 1)
            position = (1u << (pc - 1)) + m_in.getBits(pc - 1);
        if (length > size - pos)
            return Lh5DecodeResult::BadMatch;
        copyMatch(out, pos, length, position + 1, size);
        pos += length;
    }
    return m_in.overrun() ? Lh5DecodeResult::Truncated : Lh5DecodeResult::Ok;
}

} // namespace

Lh5DecodeResult lh5Decode(std::span<const uint8_t> input, std::span<uint8_t> output) {
    if (output.empty())
        return Lh5DecodeResult::Ok;
    Decoder decoder(input);
    return decoder.run(output);
}

const char* lh5DecodeResultText(Lh5DecodeResult result) {
    switch (result) {
    case Lh5DecodeResult::Ok:
        return "ok";
    case Lh5DecodeResult::Truncated:
        return "compressed data ends early";
    case Lh5DecodeResult::BadTable:
        return "malformed Huffman table";
    case Lh5DecodeResult::BadCode:
        return "invalid code in compressed data";
    case Lh5DecodeResult::BadMatch:
        return "match runs past the end of the data";
    }
    return "unknown";
}

} // namespace image
