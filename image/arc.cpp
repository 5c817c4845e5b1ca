#include "image/arc.h"

#include "base/codepage.h"
#include "base/crc32.h"
#include "image/envelope_format.h"
#include "image/lh5_decoder.h"
#include "image/lh5_encoder.h"
#include "image/running_sum_coder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace image {

namespace {

constexpr size_t kRecordOffset = kEnvelopeRecordAt;
constexpr size_t kRecordSize = 64;
constexpr size_t kCrcOffset = kEnvelopeContainerCrcAt;
constexpr size_t kSizeOffset = kEnvelopeSizeAt;
constexpr size_t kPackedOffset = kEnvelopePackedAt;
constexpr size_t kCountOffset = kEnvelopeEntriesAt;
constexpr size_t kEntryOffset = kEnvelopeEntriesAt + 4;
constexpr uint32_t kCrcInitial = 0xFFFFFFFF;
constexpr size_t kMaxPackInput = 0x7FFFFFFF;
constexpr size_t kMaxShortText = 255;

uint32_t readLe32(std::span<const uint8_t> in, size_t at) {
    return image::readLe32(in.data() + at);
}

void writeLe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    image::writeLe32(out.data() + at, value);
}

void appendLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendShortText(std::vector<uint8_t>& out, std::string_view text) {
    out.push_back(static_cast<uint8_t>(text.size()));
    for (char c : text)
        out.push_back(static_cast<uint8_t>(~static_cast<uint8_t>(c)));
}

// The record a fresh container carries until the envelope writes the real one: markers, a
// fixed text, zero filler, running-sum coded like every record in an envelope.
std::array<uint8_t, kRecordSize> placeholderRecord() {
    std::array<uint8_t, kRecordSize> record{};
    const std::string text = base::utf8ToCp1251("ОЧЕНЬ ХОРОШАЯ ЗАПИСЬ О ВЕРСИИ").value_or("");
    std::memcpy(record.data(), "<VER>", 5);
    std::memcpy(record.data() + 5, text.data(), std::min<size_t>(text.size(), 33));
    std::memcpy(record.data() + kRecordSize - 6, "</VER>", 6);
    runningSumEncode(record);
    return record;
}

// Reads the inverted short text at `pos` (length byte first) within `limit`; advances `pos`.
bool readShortText(std::span<const uint8_t> in, size_t limit, size_t& pos, std::string& text) {
    if (pos + 1 > limit)
        return false;
    const size_t len = in[pos++];
    if (pos + len > limit)
        return false;
    text.clear();
    for (size_t i = 0; i < len; ++i)
        text.push_back(static_cast<char>(~in[pos + i]));
    pos += len;
    return true;
}

} // namespace

bool TArc::fail(ArcFailure failure) {
    m_failure = failure;
    if (failure == ArcFailure::BadCrc)
        m_errorCode = ArcError::BadCrc;
    return false;
}

bool TArc::Pack(std::span<const uint8_t> InStream, std::vector<uint8_t>& OutStream, std::string_view Name) {
    m_errorCode = ArcError::None;
    m_failure = ArcFailure::None;
    m_decodeResult = Lh5DecodeResult::Ok;
    if (InStream.size() >= kMaxPackInput)
        return false;

    ArcEntry entry;
    entry.Name = std::string(Name.substr(0, kMaxShortText));
    entry.Path.assign(1, '\\');
    entry.Size = static_cast<uint32_t>(InStream.size());

    std::vector<uint8_t> out(kCountOffset, 0);
    std::memcpy(out.data(), kEnvelopeMagic, sizeof kEnvelopeMagic);
    const auto record = placeholderRecord();
    std::copy(record.begin(), record.end(), out.begin() + kRecordOffset);
    appendLe32(out, 1);
    appendShortText(out, entry.Name);
    appendLe32(out, entry.Size);
    entry.FieldPos = static_cast<uint32_t>(out.size());
    out.resize(out.size() + 8, 0);
    appendShortText(out, entry.Path);
    appendLe32(out, 0);
    out.push_back(0);
    m_dataOffset = static_cast<uint32_t>(out.size());
    writeLe32(out, entry.FieldPos, m_dataOffset);

    lh5Encode(InStream, out);
    if (out.size() >= kMaxPackInput)
        return false;
    m_dataEnd = static_cast<uint32_t>(out.size()) + 1;
    writeLe32(out, entry.FieldPos + 4, m_dataEnd);
    writeLe32(out, kSizeOffset, static_cast<uint32_t>(out.size()));
    writeLe32(out, kPackedOffset, 1);
    writeLe32(out, kCrcOffset,
              base::CRC32Update(kCrcInitial, out.data() + kSizeOffset, out.size() - kSizeOffset));

    m_origSize = entry.Size;
    m_entries.assign(1, std::move(entry));
    OutStream = std::move(out);
    return true;
}

bool TArc::Unpack(std::span<const uint8_t> InStream, std::vector<uint8_t>& OutStream) {
    m_errorCode = ArcError::None;
    m_failure = ArcFailure::None;
    m_decodeResult = Lh5DecodeResult::Ok;
    m_dataOffset = m_dataEnd = m_origSize = 0;
    m_entries.clear();

    if (InStream.size() < sizeof kEnvelopeMagic ||
        std::memcmp(InStream.data(), kEnvelopeMagic, sizeof kEnvelopeMagic) != 0)
        return fail(ArcFailure::NotContainer);
    // A container too short to hold its CRC and size fields, or whose size runs past the input,
    // is a cut file: its CRC cannot match.
    if (InStream.size() < kSizeOffset + 4)
        return fail(ArcFailure::BadCrc);
    const uint32_t storedCrc = readLe32(InStream, kCrcOffset);
    const size_t total = readLe32(InStream, kSizeOffset);
    if (total < kSizeOffset + 4 || total > InStream.size())
        return fail(ArcFailure::BadCrc);
    if (base::CRC32Update(kCrcInitial, InStream.data() + kSizeOffset, total - kSizeOffset) != storedCrc)
        return fail(ArcFailure::BadCrc);

    // Everything the entry header says must lie inside the checked part.
    if (total < kEntryOffset)
        return fail(ArcFailure::BadEntry);
    ArcEntry entry;
    size_t pos = kEntryOffset;
    if (!readShortText(InStream, total, pos, entry.Name) || pos + 12 > total)
        return fail(ArcFailure::BadEntry);
    m_origSize = readLe32(InStream, pos);
    m_dataOffset = readLe32(InStream, pos + 4);
    m_dataEnd = readLe32(InStream, pos + 8);
    entry.Size = m_origSize;
    entry.FieldPos = static_cast<uint32_t>(pos + 4);
    pos += 12;
    if (!readShortText(InStream, total, pos, entry.Path) || pos + 4 > total)
        return fail(ArcFailure::BadEntry);
    m_entries.push_back(std::move(entry));

    if (m_origSize > kMaxOrigSize)
        return fail(ArcFailure::TooLarge);
    std::span<const uint8_t> stream;
    if (m_dataEnd > m_dataOffset && m_dataEnd - m_dataOffset > 1) {
        if (m_dataOffset > total || m_dataEnd - 1 > total)
            return fail(ArcFailure::BadEntry);
        stream = InStream.subspan(m_dataOffset, m_dataEnd - 1 - m_dataOffset);
    }
    // Without compressed bytes only an empty entry can be restored.
    if (stream.empty() && m_origSize != 0) {
        m_decodeResult = Lh5DecodeResult::Truncated;
        return fail(ArcFailure::BadData);
    }

    std::vector<uint8_t> restored(m_origSize);
    const Lh5DecodeResult result = lh5Decode(stream, restored);
    if (result != Lh5DecodeResult::Ok) {
        m_decodeResult = result;
        return fail(ArcFailure::BadData);
    }
    OutStream = std::move(restored);
    return true;
}

std::string TArc::failureText() const {
    switch (m_failure) {
    case ArcFailure::None:
        return "no error";
    case ArcFailure::NotContainer:
        return "not a packed container (no KTLA magic)";
    case ArcFailure::BadCrc:
        return "container CRC does not match";
    case ArcFailure::BadEntry:
        return "container entry points outside the container";
    case ArcFailure::TooLarge:
        return "unpacked size exceeds 8 MiB";
    case ArcFailure::BadData:
        return std::string("corrupt compressed data: ") + lh5DecodeResultText(m_decodeResult);
    }
    return "unknown error";
}

} // namespace image
