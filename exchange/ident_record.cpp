#include "exchange/ident_record.h"

#include "base/codepage.h"
#include "base/number_text.h"
#include "base/text_utils.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace exchange {

namespace {

constexpr int kMinLength = 6;

// Bytes the device left unwritten (0xFF erased flash, 0x00 of a fresh buffer) read as blanks.
std::string bytesAsText(std::span<const uint8_t> bytes) {
    std::string s;
    s.reserve(bytes.size());
    for (uint8_t b : bytes)
        s.push_back(b == 0xFF || b == 0x00 ? ' ' : static_cast<char>(b));
    return s;
}

// CR LF (and a lone CR) become "\n".
std::string toLines(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// "\n" (and CR LF, lone CR) become CR LF.
std::string toCrLf(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n') {
            out += "\r\n";
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// Cuts or pads with blanks to exactly `room` bytes, never leaving half of a CR LF at the end.
std::string padOrCut(std::string s, size_t room) {
    if (s.size() > room) {
        s.resize(room);
        if (!s.empty() && s.back() == '\r')
            s.back() = ' ';
    }
    s.append(room - s.size(), ' ');
    return s;
}

} // namespace

int identLayoutLength(int length) {
    return std::clamp(length, kMinLength, kIdentMaxLength);
}

int identStringRoom(int length) {
    return identLayoutLength(length) - kMinLength;
}

int versionTextRoom(int length) {
    return 250 - identLayoutLength(length);
}

IdentRecord ShowIdentRecord(std::span<const uint8_t> buffer) {
    std::array<uint8_t, kIdentRecordBytes> b{};
    std::copy_n(buffer.begin(), std::min(buffer.size(), b.size()), b.begin());

    IdentRecord r;
    r.networkNumber = b[4];
    r.length = b[5];
    r.deviceId = b[6];
    r.systemTableAddress = static_cast<uint16_t>(b[8] << 8 | b[9]);
    r.serialNumber = static_cast<uint16_t>(b[10] << 8 | b[11]);
    const size_t lx = static_cast<size_t>(identLayoutLength(r.length));
    std::span<const uint8_t> all(b);
    std::string ident = bytesAsText(all.subspan(12, lx - kMinLength));
    r.identString = base::cp1251ToUtf8(base::TrimBlanks(ident));
    std::string version = bytesAsText(all.subspan(lx + 6));
    r.versionText = base::cp1251ToUtf8(toLines(base::TrimBlanks(version)));
    return r;
}

std::optional<std::string> unstorableCharacter(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        const std::optional<char32_t> cp = base::nextUtf8(text, pos);
        if (!cp)
            return std::string(text.substr(start, 1));
        const std::optional<unsigned char> byte = base::codePointToCp1251(*cp);
        if (!byte || *byte == 0xFF || *byte == 0x00)
            return std::string(text.substr(start, pos - start));
    }
    return std::nullopt;
}

StoreIdentResult StoreIdentRecord(const IdentRecord& record, std::span<uint8_t> buffer) {
    if (buffer.size() < kIdentRecordBytes)
        return StoreIdentResult::BufferTooSmall;
    // A blank in place of a character would be stored without a word: refused instead.
    if (unstorableCharacter(record.identString) || unstorableCharacter(record.versionText))
        return StoreIdentResult::NotCp1251;
    std::optional<std::string> ident = base::utf8ToCp1251(record.identString);
    std::optional<std::string> version = base::utf8ToCp1251(toCrLf(record.versionText));
    if (!ident || !version)
        return StoreIdentResult::NotCp1251;

    const size_t lx = static_cast<size_t>(identLayoutLength(record.length));
    buffer[4] = record.networkNumber;
    buffer[5] = record.length;
    buffer[6] = record.deviceId;
    buffer[8] = static_cast<uint8_t>(record.systemTableAddress >> 8);
    buffer[9] = static_cast<uint8_t>(record.systemTableAddress);
    buffer[10] = static_cast<uint8_t>(record.serialNumber >> 8);
    buffer[11] = static_cast<uint8_t>(record.serialNumber);
    std::string identBytes = padOrCut(std::move(*ident), lx - kMinLength);
    std::copy(identBytes.begin(), identBytes.end(), buffer.begin() + 12);
    std::string versionBytes = padOrCut(std::move(*version), 250 - lx);
    std::copy(versionBytes.begin(), versionBytes.end(), buffer.begin() + static_cast<std::ptrdiff_t>(lx + 6));
    return StoreIdentResult::Ok;
}

FittedText fitVersionText(std::string_view text, int length) {
    const int room = versionTextRoom(length);
    int used = 0;
    size_t pos = 0;
    size_t cut = 0;
    while (pos < text.size()) {
        size_t next = pos;
        int cost = 1;
        if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') {
            next = pos + 2;
            cost = 2;
        } else if (text[pos] == '\n' || text[pos] == '\r') {
            next = pos + 1;
            cost = 2;
        } else if (!base::nextUtf8(text, next)) {
            next = pos + 1; // a stray byte still takes a place
        }
        if (used + cost > room)
            break;
        used += cost;
        pos = next;
        cut = pos;
    }
    return {std::string(text.substr(0, cut)), room - used};
}

std::string hexText(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

bool parseNumberText(std::string_view text, uint32_t max, uint32_t& value) {
    const std::optional<base::NumberText> number =
        base::readNumberText(text, {base::NumberBlanks::Around, false, max});
    if (!number)
        return false;
    value = static_cast<uint32_t>(number->magnitude);
    return true;
}

} // namespace exchange
