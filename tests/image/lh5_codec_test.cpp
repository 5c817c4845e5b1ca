// The "-lh5-" compressor and decompressor on their own: round trips, Huffman code building,
// hand-made streams and damaged streams.

#include "image/lh5_bit_writer.h"
#include "image/lh5_block_encoder.h"
#include "image/lh5_decoder.h"
#include "image/lh5_encoder.h"
#include "image/lh5_huffman_code.h"
#include "support/sample_data.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

namespace {

using image::Lh5DecodeResult;
using testsupport::codeLikeBytes;
using testsupport::firmwareImage;
using testsupport::randomBytes;

std::vector<uint8_t> encode(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    image::lh5Encode(data, out);
    return out;
}

Lh5DecodeResult decode(std::span<const uint8_t> stream, size_t size, std::vector<uint8_t>& out) {
    out.assign(size, 0xA5);
    return image::lh5Decode(stream, out);
}

std::vector<uint8_t> repeated(size_t size, std::vector<uint8_t> pattern) {
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = pattern[i % pattern.size()];
    return out;
}

struct RoundTripCase {
    std::string name;
    std::function<std::vector<uint8_t>()> make;
    double maxRatio; // compressed size / original size must stay below this
};

TEST(Lh5Codec, RoundTrips) {
    const RoundTripCase cases[] = {
        {"empty", [] { return std::vector<uint8_t>{}; }, 1.0},
        {"one byte", [] { return std::vector<uint8_t>{0x42}; }, 100.0},
        {"two bytes",
         [] {
             return std::vector<uint8_t>{0x00, 0xFF};
         },
         100.0},
        // Characters 0 and 1 only, both of length 1: the code-length table has one symbol.
        {"bytes 0 and 1",
         [] {
             return std::vector<uint8_t>{0x00, 0x01, 0x01, 0x00};
         },
         100.0},
        {"8192 random", [] { return randomBytes(8192); }, 1.02},
        {"8193 random", [] { return randomBytes(8193, 2); }, 1.02},
        {"70000 code", [] { return codeLikeBytes(70000); }, 0.7},
        {"1 MiB random", [] { return randomBytes(1 << 20, 3); }, 1.02},
        {"8 MiB image", [] { return firmwareImage(8 << 20); }, 0.3},
        // One character code only: the block goes out with single-symbol tables.
        {"all 0xFF", [] { return std::vector<uint8_t>(100000, 0xFF); }, 0.01},
        {"one literal kind, no matches", [] { return std::vector<uint8_t>(2, 0x00); }, 100.0},
        // Matches of exactly the longest length and one more, and periods at the dictionary size.
        {"period 257", [] { return repeated(5000, randomBytes(257, 4)); }, 0.2},
        {"period 8192", [] { return repeated(40000, randomBytes(8192, 5)); }, 0.3},
        {"period 8193", [] { return repeated(40000, randomBytes(8193, 6)); }, 1.02},
        {"two symbols",
         [] {
             return repeated(30000, {'a', 'a', 'b', 'a', 'b', 'b', 'b', 'a', 'b'});
         },
         0.05},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> data = c.make();
        const std::vector<uint8_t> stream = encode(data);
        EXPECT_EQ(stream.empty(), data.empty());
        EXPECT_LE(static_cast<double>(stream.size()), c.maxRatio * static_cast<double>(data.size()) + 16);
        std::vector<uint8_t> back;
        ASSERT_EQ(decode(stream, data.size(), back), Lh5DecodeResult::Ok);
        EXPECT_TRUE(back == data);
    }
}

TEST(Lh5Codec, EncoderAppendsAfterExistingBytes) {
    const std::vector<uint8_t> data = codeLikeBytes(5000);
    std::vector<uint8_t> out = {1, 2, 3};
    image::lh5Encode(data, out);
    EXPECT_EQ(out[0], 1);
    const std::vector<uint8_t> alone = encode(data);
    EXPECT_TRUE(std::equal(alone.begin(), alone.end(), out.begin() + 3, out.end()));
}

// Frequencies whose unrestricted Huffman tree is deeper than 16 levels (Fibonacci weights), and
// ordinary ones: the lengths must fit 16 bits and fill the code space exactly.
TEST(Lh5Codec, CodeLengthsAreLimitedAndComplete) {
    std::vector<uint32_t> fibonacci = {1, 1};
    while (fibonacci.size() < 30)
        fibonacci.push_back(fibonacci[fibonacci.size() - 1] + fibonacci[fibonacci.size() - 2]);
    const std::map<std::string, std::vector<uint32_t>> cases = {
        {"fibonacci", fibonacci},
        {"two used among zeros", {0, 5, 0, 0, 9, 0}},
        {"uniform 510", std::vector<uint32_t>(510, 3)},
        {"skewed", {1000, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 500, 2}},
    };
    for (const auto& [name, freq] : cases) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> lengths(freq.size());
        const int used = image::lh5BuildCodeLengths(freq, lengths);
        uint64_t kraft = 0;
        int counted = 0;
        for (size_t s = 0; s < freq.size(); ++s) {
            EXPECT_EQ(lengths[s] == 0, freq[s] == 0);
            EXPECT_LE(lengths[s], 16);
            if (lengths[s] != 0) {
                kraft += uint64_t{1} << (16 - lengths[s]);
                ++counted;
            }
        }
        EXPECT_EQ(counted, used);
        EXPECT_EQ(kraft, uint64_t{1} << 16);
        // Canonical codes are prefix-free: no code is the beginning of another.
        std::vector<uint16_t> codes(freq.size());
        image::lh5MakeCodes(lengths, codes);
        for (size_t a = 0; a < freq.size(); ++a) {
            for (size_t b = 0; b < freq.size(); ++b) {
                if (a != b && lengths[a] != 0 && lengths[b] != 0 && lengths[a] <= lengths[b]) {
                    EXPECT_NE(codes[b] >> (lengths[b] - lengths[a]), codes[a]) << a << " prefixes " << b;
                }
            }
        }
    }
}

// Streams written bit by bit, for what our encoder never produces.
struct CraftedCase {
    std::string name;
    std::function<void(image::Lh5BitWriter&)> write;
    size_t size;
    Lh5DecodeResult result;
    std::string output; // checked when result is Ok
};

// Block header with single-symbol tables: every code is `charCode`, every position `posCode`.
void singleSymbolBlock(image::Lh5BitWriter& w, uint32_t count, uint32_t charCode, uint32_t posCode) {
    w.putBits(16, count);
    w.putBits(5, 0);
    w.putBits(5, 0);
    w.putBits(9, 0);
    w.putBits(9, charCode);
    w.putBits(4, 0);
    w.putBits(4, posCode);
}

TEST(Lh5Codec, CraftedStreams) {
    const CraftedCase cases[] = {
        {"single literal table", [](auto& w) { singleSymbolBlock(w, 3, 'x', 0); }, 3, Lh5DecodeResult::Ok,
         "xxx"},
        {"two blocks",
         [](auto& w) {
             singleSymbolBlock(w, 2, 'a', 0);
             singleSymbolBlock(w, 1, 'b', 0);
         },
         3, Lh5DecodeResult::Ok, "aab"},
        // A match reaching before the start copies the spaces the dictionary starts with.
        {"match before start",
         [](auto& w) {
             singleSymbolBlock(w, 1, 256, 2);
             w.putBits(1, 1);
         },
         3, Lh5DecodeResult::Ok, "   "},
        {"block of no codes",
         [](auto& w) {
             singleSymbolBlock(w, 0, 'a', 0);
             singleSymbolBlock(w, 1, 'a', 0);
         },
         1, Lh5DecodeResult::BadTable, ""},
        {"character beyond 509", [](auto& w) { singleSymbolBlock(w, 1, 510, 0); }, 1,
         Lh5DecodeResult::BadTable, ""},
        {"position code beyond 13", [](auto& w) { singleSymbolBlock(w, 1, 'a', 14); }, 1,
         Lh5DecodeResult::BadTable, ""},
        {"length table count beyond 19",
         [](auto& w) {
             w.putBits(16, 1);
             w.putBits(5, 20);
         },
         1, Lh5DecodeResult::BadTable, ""},
        {"character count beyond 510",
         [](auto& w) {
             w.putBits(16, 1);
             w.putBits(5, 0);
             w.putBits(5, 3); // every character length decodes as length 1
             w.putBits(9, 511);
         },
         1, Lh5DecodeResult::BadTable, ""},
        {"over-full character code",
         [](auto& w) {
             w.putBits(16, 1);
             w.putBits(5, 0);
             w.putBits(5, 3); // length 1 for every character sent
             w.putBits(9, 3); // three characters of length 1
             w.putBits(4, 0);
             w.putBits(4, 0);
         },
         1, Lh5DecodeResult::BadTable, ""},
        {"code length of 17",
         [](auto& w) {
             w.putBits(16, 1);
             w.putBits(5, 1);
             w.putBits(14, 0x3FFE); // 3 ones, then 10 more ones and the closing zero: length 17
         },
         1, Lh5DecodeResult::BadTable, ""},
        {"zero run past the alphabet",
         [](auto& w) {
             w.putBits(16, 1);
             w.putBits(5, 0);
             w.putBits(5, 2); // every entry is a long run of unused characters
             w.putBits(9, 510);
             w.putBits(9, 400);
             w.putBits(9, 400);
         },
         1, Lh5DecodeResult::BadTable, ""},
        {"codes beyond the output", [](auto& w) { singleSymbolBlock(w, 2, 'a', 0); }, 1, Lh5DecodeResult::Ok,
         "a"},
        {"long match past the end", [](auto& w) { singleSymbolBlock(w, 1, 300, 0); }, 10,
         Lh5DecodeResult::BadMatch, ""},
        {"header cut short", [](auto& w) { w.putBits(16, 5); }, 5, Lh5DecodeResult::Truncated, ""},
        {"nothing at all", [](auto&) {}, 5, Lh5DecodeResult::Truncated, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> stream;
        {
            image::Lh5BitWriter w(stream);
            c.write(w);
            w.flush();
        }
        std::vector<uint8_t> out;
        const Lh5DecodeResult r = decode(stream, c.size, out);
        EXPECT_EQ(r, c.result) << image::lh5DecodeResultText(r);
        if (c.result == Lh5DecodeResult::Ok && r == Lh5DecodeResult::Ok) {
            EXPECT_EQ(std::string(out.begin(), out.end()), c.output);
        }
    }
}

// A block whose codes are sent through the full tables (not the single-symbol forms), made by
// the block encoder from chosen codes: covers matches at every position code.
TEST(Lh5Codec, EveryPositionCodeDecodes) {
    std::vector<uint8_t> expected = randomBytes(9000, 9);
    std::vector<uint8_t> stream;
    {
        image::Lh5BitWriter w(stream);
        image::Lh5BlockEncoder blocks(w);
        for (size_t i = 0; i < 8192; ++i)
            blocks.literal(expected[i]);
        size_t pos = 8192;
        for (uint32_t distance : {1u, 2u, 3u, 4u, 5u, 8u, 100u, 1000u, 4095u, 4096u, 4097u, 8191u, 8192u}) {
            const uint32_t length = 3 + distance % 254;
            for (uint32_t k = 0; k < length; ++k, ++pos)
                expected[pos] = expected[pos - distance];
            blocks.match(length, distance);
        }
        expected.resize(pos);
        blocks.finish();
    }
    std::vector<uint8_t> out;
    ASSERT_EQ(decode(stream, expected.size(), out), Lh5DecodeResult::Ok);
    EXPECT_TRUE(out == expected);
}

// Damaged streams never make the decoder read or write outside its buffers (the sanitizer
// build checks that); cut streams always report themselves.
TEST(Lh5Codec, DamagedStreamsStayInBounds) {
    const std::vector<uint8_t> data = codeLikeBytes(70000, 21);
    const std::vector<uint8_t> stream = encode(data);
    std::vector<uint8_t> out;

    for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, size_t{5}, stream.size() / 2, stream.size() - 1}) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        EXPECT_NE(decode(std::span(stream).first(cut), data.size(), out), Lh5DecodeResult::Ok);
    }

    std::mt19937 rng(5);
    int rejected = 0;
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> bad = stream;
        const size_t at = i < 40 ? static_cast<size_t>(i) : rng() % bad.size();
        bad[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        if (decode(bad, data.size(), out) != Lh5DecodeResult::Ok || out != data)
            ++rejected;
    }
    EXPECT_GT(rejected, 250);

    for (int i = 0; i < 300; ++i) {
        const std::vector<uint8_t> garbage = randomBytes(1 + rng() % 3000, 100 + static_cast<uint32_t>(i));
        decode(garbage, rng() % 20000, out);
    }
}

} // namespace
