// TArc: the single-entry container around an "-lh5-" stream. Layout, round trips, the CRC's
// reach, and containers that lie about themselves.

#include "base/codepage.h"
#include "image/arc.h"
#include "support/sample_data.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using image::ArcError;
using image::ArcFailure;
using image::TArc;
using testsupport::codeLikeBytes;
using testsupport::randomBytes;

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void setLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// The container CRC computed bit by bit, independently of the table the code uses.
uint32_t referenceCrc(const std::vector<uint8_t>& b, size_t from, size_t to) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = from; i < to; ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return crc;
}

void fixCrc(std::vector<uint8_t>& b) {
    setLe32(b, 100, referenceCrc(b, 104, le32(b, 104)));
}

std::vector<uint8_t> pack(const std::vector<uint8_t>& data) {
    TArc arc;
    std::vector<uint8_t> out;
    EXPECT_TRUE(arc.Pack(data, out, "firmware"));
    return out;
}

TEST(Arc, RoundTripsAndLayout) {
    const std::pair<std::string, std::vector<uint8_t>> cases[] = {
        {"empty", {}},
        {"1 byte", {0x5A}},
        {"8192 bytes", randomBytes(8192)},
        {"8193 bytes", randomBytes(8193, 2)},
        {"70000 bytes", codeLikeBytes(70000)},
        {"1 MiB random", randomBytes(1 << 20, 3)},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        TArc packer;
        std::vector<uint8_t> box = {9, 9, 9};
        ASSERT_TRUE(packer.Pack(data, box, "firmware"));

        // Fixed fields, the entry header and where the stream sits.
        ASSERT_GE(box.size(), 156u);
        EXPECT_EQ(std::string(box.begin(), box.begin() + 4), "KTLA");
        EXPECT_EQ(le32(box, 104), box.size());
        EXPECT_EQ(le32(box, 108), 0u);
        EXPECT_EQ(le32(box, 112), 1u);
        EXPECT_EQ(le32(box, 124), 1u);
        EXPECT_EQ(box[128], 8);
        std::string entryName;
        for (size_t i = 0; i < 8; ++i)
            entryName += static_cast<char>(~box[129 + i]);
        EXPECT_EQ(entryName, "firmware");
        EXPECT_EQ(le32(box, 137), data.size());
        EXPECT_EQ(le32(box, 141), 156u); // 147 + name length + path length
        EXPECT_EQ(le32(box, 145), box.size() + 1);
        EXPECT_EQ(box[149], 1);
        EXPECT_EQ(box[150], static_cast<uint8_t>(~'\\'));
        EXPECT_EQ(le32(box, 151), 0u);
        EXPECT_EQ(box[155], 0);
        EXPECT_EQ(le32(box, 100), referenceCrc(box, 104, box.size()));
        EXPECT_EQ(box.size() == 156, data.empty());
        ASSERT_EQ(packer.Entries().size(), 1u);
        EXPECT_EQ(packer.Entries()[0].FieldPos, 141u);
        EXPECT_EQ(packer.DataOffset(), 156u);

        TArc unpacker;
        std::vector<uint8_t> back = {1, 2};
        ASSERT_TRUE(unpacker.Unpack(box, back)) << unpacker.failureText();
        EXPECT_TRUE(back == data);
        EXPECT_EQ(unpacker.ErrorCode(), ArcError::None);
        EXPECT_EQ(unpacker.OrigSize(), data.size());
        ASSERT_EQ(unpacker.Entries().size(), 1u);
        EXPECT_EQ(unpacker.Entries()[0].Name, "firmware");
        EXPECT_EQ(unpacker.Entries()[0].Path, "\\");
    }
}

TEST(Arc, PlaceholderRecord) {
    const std::vector<uint8_t> box = pack({1, 2, 3});
    std::vector<uint8_t> plain(64);
    for (size_t i = 0; i < 64; ++i)
        plain[i] = static_cast<uint8_t>(box[36 + i] - i - (i == 0 ? 0 : box[36 + i - 1]));
    const std::string text(plain.begin(), plain.end());
    EXPECT_EQ(text.substr(0, 5), "<VER>");
    EXPECT_EQ(text.substr(58), "</VER>");
    const std::string expected = base::utf8ToCp1251("ОЧЕНЬ ХОРОШАЯ ЗАПИСЬ О ВЕРСИИ").value();
    EXPECT_EQ(text.substr(5, expected.size()), expected);
    EXPECT_EQ(text[5 + expected.size()], '\0');
}

// The CRC (stored at 100) covers every byte from 104 to T, and nothing before 100 or after T
// (where the envelope puts its header text, version record and compatibility list).
TEST(Arc, CrcReach) {
    const std::vector<uint8_t> data = codeLikeBytes(3000);
    const std::vector<uint8_t> box = pack(data);
    std::vector<uint8_t> out;
    for (size_t at = 0; at < box.size(); ++at) {
        std::vector<uint8_t> bad = box;
        bad[at] ^= 0x10;
        TArc arc;
        const bool ok = arc.Unpack(bad, out);
        if (at < 4) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(arc.ErrorCode(), ArcError::None) << at;
        } else if (at < 100) {
            EXPECT_TRUE(ok) << at;
        } else {
            EXPECT_FALSE(ok) << at;
            EXPECT_EQ(arc.ErrorCode(), ArcError::BadCrc) << at;
        }
    }
    std::vector<uint8_t> withTail = box;
    withTail.insert(withTail.end(), {'<', 'C', 'L', 'I', 'S', 'T', '>'});
    TArc arc;
    EXPECT_TRUE(arc.Unpack(withTail, out));
    EXPECT_TRUE(out == data);
}

TEST(Arc, LargeContainerCrcCoversEverything) {
    std::vector<uint8_t> box = pack(randomBytes(1 << 20, 8));
    const size_t total = le32(box, 104);
    EXPECT_EQ(total, box.size());
    EXPECT_EQ(le32(box, 100), referenceCrc(box, 104, total));
    for (size_t at : {size_t{104}, size_t{4096}, total / 2, total - 2, total - 1}) {
        std::vector<uint8_t> bad = box;
        bad[at] ^= 0x01;
        TArc arc;
        std::vector<uint8_t> out;
        EXPECT_FALSE(arc.Unpack(bad, out)) << at;
        EXPECT_EQ(arc.ErrorCode(), ArcError::BadCrc) << at;
    }
}

struct BrokenCase {
    std::string name;
    std::function<void(std::vector<uint8_t>&)> damage; // the CRC is fixed afterwards unless cut
    bool fixCrc;
    ArcFailure failure;
};

TEST(Arc, ContainersThatLie) {
    const std::vector<uint8_t> data = codeLikeBytes(20000, 4);
    const std::vector<uint8_t> good = pack(data);
    const BrokenCase cases[] = {
        {"wrong magic", [](auto& b) { b[0] = 'X'; }, false, ArcFailure::NotContainer},
        {"three bytes", [](auto& b) { b.resize(3); }, false, ArcFailure::NotContainer},
        {"cut before the size field", [](auto& b) { b.resize(106); }, false, ArcFailure::BadCrc},
        {"cut file", [](auto& b) { b.erase(b.end() - 10, b.end()); }, false, ArcFailure::BadCrc},
        {"size beyond the file", [](auto& b) { setLe32(b, 104, static_cast<uint32_t>(b.size() + 1)); }, false,
         ArcFailure::BadCrc},
        {"size too small for its own field", [](auto& b) { setLe32(b, 104, 100); }, false,
         ArcFailure::BadCrc},
        {"size ends inside the entry",
         [](auto& b) {
             setLe32(b, 104, 140);
             b.resize(140);
         },
         true, ArcFailure::BadEntry},
        {"name runs past the end",
         [](auto& b) {
             b[128] = 255;
             setLe32(b, 104, 200);
             b.resize(200);
         },
         true, ArcFailure::BadEntry},
        {"data end beyond the container",
         [](auto& b) { setLe32(b, 145, static_cast<uint32_t>(b.size() + 2)); }, true, ArcFailure::BadEntry},
        {"data offset beyond the container",
         [](auto& b) {
             setLe32(b, 141, 0xFFFFFFF0);
             setLe32(b, 145, 0xFFFFFFFF);
         },
         true, ArcFailure::BadEntry},
        {"original size above 8 MiB", [](auto& b) { setLe32(b, 137, 0x800001); }, true, ArcFailure::TooLarge},
        {"original size 4 GiB", [](auto& b) { setLe32(b, 137, 0xFFFFFFFF); }, true, ArcFailure::TooLarge},
        {"no stream for a non-empty entry", [](auto& b) { setLe32(b, 145, 157); }, true, ArcFailure::BadData},
        {"data end before data offset", [](auto& b) { setLe32(b, 145, 10); }, true, ArcFailure::BadData},
        {"stream cut by the data end", [](auto& b) { setLe32(b, 145, le32(b, 145) - 100); }, true,
         ArcFailure::BadData},
        {"original size larger than the stream holds", [](auto& b) { setLe32(b, 137, 20000 + 5000); }, true,
         ArcFailure::BadData},
        {"corrupt stream under a matching CRC",
         [](auto& b) {
             b[160] ^= 0xFF;
             b[170] ^= 0x55;
         },
         true, ArcFailure::BadData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> box = good;
        c.damage(box);
        if (c.fixCrc)
            fixCrc(box);
        TArc arc;
        std::vector<uint8_t> out = {7, 7, 7};
        EXPECT_FALSE(arc.Unpack(box, out));
        EXPECT_EQ(arc.failure(), c.failure) << arc.failureText();
        EXPECT_EQ(arc.ErrorCode(), c.failure == ArcFailure::BadCrc ? ArcError::BadCrc : ArcError::None);
        EXPECT_EQ(out, (std::vector<uint8_t>{7, 7, 7})); // the destination is untouched
        EXPECT_FALSE(arc.failureText().empty());
    }
}

TEST(Arc, LongNameIsCut) {
    TArc arc;
    std::vector<uint8_t> box;
    const std::vector<uint8_t> data = {1, 2, 3};
    ASSERT_TRUE(arc.Pack(data, box, std::string(300, 'n')));
    EXPECT_EQ(box[128], 255);
    std::vector<uint8_t> out;
    ASSERT_TRUE(arc.Unpack(box, out));
    EXPECT_EQ(arc.Entries()[0].Name, std::string(255, 'n'));
}

} // namespace
