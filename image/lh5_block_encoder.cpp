#include "image/lh5_block_encoder.h"

#include "image/lh5_huffman_code.h"

#include <span>

namespace image {

namespace {

struct Table {
    std::span<const uint8_t> lengths;
    std::span<const uint16_t> codes;
};

void putSymbol(Lh5BitWriter& out, const Table& table, int symbol) {
    out.putBits(table.lengths[symbol], table.codes[symbol]);
}

size_t usedCount(std::span<const uint8_t> lengths) {
    size_t n = lengths.size();
    while (n > 0 && lengths[n - 1] == 0)
        --n;
    return n;
}

int singleSymbol(std::span<const uint32_t> freq) {
    for (size_t s = 0; s < freq.size(); ++s)
        if (freq[s] != 0)
            return static_cast<int>(s);
    return 0;
}

// Visits the code-length table symbols that send `charLengths`: runs of unused characters as
// codes 0..2 (with their extra bits), lengths as length + 2.
template <typename Visit> void walkCharLengths(std::span<const uint8_t> charLengths, Visit visit) {
    const size_t n = usedCount(charLengths);
    size_t i = 0;
    while (i < n) {
        const int len = charLengths[i++];
        if (len != 0) {
            visit(len + 2, 0, 0);
            continue;
        }
        uint32_t run = 1;
        while (i < n && charLengths[i] == 0) {
            ++i;
            ++run;
        }
        if (run < kLh5ShortRunMin) {
            for (uint32_t k = 0; k < run; ++k)
                visit(0, 0, 0);
        } else if (run < kLh5LongRunMin - 1) {
            visit(1, kLh5ShortRunCountBits, run - kLh5ShortRunMin);
        } else if (run == kLh5LongRunMin - 1) {
            // 19 is one short of the long form and one past the short one.
            visit(0, 0, 0);
            visit(1, kLh5ShortRunCountBits, (1u << kLh5ShortRunCountBits) - 1);
        } else {
            visit(2, kLh5CharCountBits, run - kLh5LongRunMin);
        }
    }
}

// Sends the lengths of the code-length or position table: a count, then each length in three
// bits (longer ones continue in unary), with a 2-bit count of skipped zeros after the
// `skipAfter`-th length.
void writeSmallTableLengths(Lh5BitWriter& out, std::span<const uint8_t> lengths, int countBits,
                            size_t skipAfter) {
    const size_t n = usedCount(lengths);
    out.putBits(countBits, static_cast<uint32_t>(n));
    size_t i = 0;
    while (i < n) {
        const int len = lengths[i++];
        if (len <= kLh5ShortLengthLimit)
            out.putBits(3, static_cast<uint32_t>(len));
        else
            out.putBits(len - 3, (1u << (len - 3)) - 2);
        if (i == skipAfter) {
            size_t j = i;
            while (j < 6 && j < lengths.size() && lengths[j] == 0)
                ++j;
            out.putBits(2, static_cast<uint32_t>(j - i));
            i = j;
        }
    }
}

} // namespace

void Lh5BlockEncoder::sendBlock() {
    if (m_codes.empty())
        return;
    std::array<uint8_t, kLh5CharCodes> charLengths{};
    std::array<uint16_t, kLh5CharCodes> charCodes{};
    std::array<uint8_t, kLh5PositionCodes> posLengths{};
    std::array<uint16_t, kLh5PositionCodes> posCodes{};

    m_out.putBits(kLh5BlockCountBits, static_cast<uint32_t>(m_codes.size()));

    if (lh5BuildCodeLengths(m_charFreq, charLengths) >= 2) {
        lh5MakeCodes(charLengths, charCodes);
        std::array<uint32_t, kLh5LengthTableCodes> tFreq{};
        walkCharLengths(charLengths, [&](int symbol, int, uint32_t) { ++tFreq[symbol]; });
        std::array<uint8_t, kLh5LengthTableCodes> tLengths{};
        std::array<uint16_t, kLh5LengthTableCodes> tCodes{};
        if (lh5BuildCodeLengths(tFreq, tLengths) >= 2) {
            lh5MakeCodes(tLengths, tCodes);
            writeSmallTableLengths(m_out, tLengths, kLh5LengthTableCountBits, kLh5LengthTableSkipAfter);
        } else {
            m_out.putBits(kLh5LengthTableCountBits, 0);
            m_out.putBits(kLh5LengthTableCountBits, static_cast<uint32_t>(singleSymbol(tFreq)));
        }
        const Table t{tLengths, tCodes};
        m_out.putBits(kLh5CharCountBits, static_cast<uint32_t>(usedCount(charLengths)));
        walkCharLengths(charLengths, [&](int symbol, int extraBits, uint32_t extra) {
            putSymbol(m_out, t, symbol);
            m_out.putBits(extraBits, extra);
        });
    } else {
        m_out.putBits(kLh5LengthTableCountBits, 0);
        m_out.putBits(kLh5LengthTableCountBits, 0);
        m_out.putBits(kLh5CharCountBits, 0);
        m_out.putBits(kLh5CharCountBits, static_cast<uint32_t>(singleSymbol(m_charFreq)));
    }

    if (lh5BuildCodeLengths(m_positionFreq, posLengths) >= 2) {
        lh5MakeCodes(posLengths, posCodes);
        writeSmallTableLengths(m_out, posLengths, kLh5PositionCountBits, 0);
    } else {
        m_out.putBits(kLh5PositionCountBits, 0);
        m_out.putBits(kLh5PositionCountBits, static_cast<uint32_t>(singleSymbol(m_positionFreq)));
    }

    const Table chars{charLengths, charCodes};
    const Table positions{posLengths, posCodes};
    for (const Code& c : m_codes) {
        putSymbol(m_out, chars, c.charCode);
        if (c.charCode < 256)
            continue;
        const int pc = positionCode(c.position);
        putSymbol(m_out, positions, pc);
        if (pc > 1)
            m_out.putBits(pc - 1, c.position & ((1u << (pc - 1)) - 1));
    }

    m_codes.clear();
    m_bufferUsed = 0;
    m_charFreq.fill(0);
    m_positionFreq.fill(0);
}

void Lh5BlockEncoder::finish() {
    sendBlock();
    m_out.flush();
}

} // namespace image
