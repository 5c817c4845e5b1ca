#include "image/intel_hex_reader.h"

#include "image/image_buffer.h"

#include <array>

namespace image {

namespace {

// Digit values for every byte; -1 marks a character that is not a hexadecimal digit.
constexpr std::array<int8_t, 256> kDigitTable = [] {
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int c = '0'; c <= '9'; ++c)
        table[static_cast<size_t>(c)] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[static_cast<size_t>(c)] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        table[static_cast<size_t>(c)] = static_cast<int8_t>(c - 'a' + 10);
    return table;
}();

// The byte written by two digits at `pos` of `line`, or -1 when either is not a digit.
int byteAt(std::string_view line, size_t pos) {
    int high = kDigitTable[static_cast<uint8_t>(line[pos])];
    int low = kDigitTable[static_cast<uint8_t>(line[pos + 1])];
    if (high < 0 || low < 0)
        return -1;
    return high * 16 + low;
}

} // namespace

IntelHexReadResult readIntelHex(std::string_view text, int64_t relocateTo, const IntelHexSink& sink) {
    int64_t extendedBase = 0;
    int64_t firstRecord = -1;
    size_t lineNo = 0;
    size_t pos = 0;
    std::array<uint8_t, 255> bytes{};
    auto fail = [&lineNo](IntelHexError error) { return IntelHexReadResult{error, lineNo}; };

    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        if (line[0] != ':')
            return fail(IntelHexError::MissingColon);
        // Fields, counting the colon as position 0: count 1-2, address 3-6, type 7-8, data from 9.
        if (line.size() < 9)
            return fail(IntelHexError::ShortLine);
        int count = byteAt(line, 1);
        int addrHigh = byteAt(line, 3);
        int addrLow = byteAt(line, 5);
        int type = byteAt(line, 7);
        if (count < 0 || addrHigh < 0 || addrLow < 0 || type < 0)
            return fail(IntelHexError::BadDigit);

        if (type == 0x01)
            break;
        if (type == 0x02 || type == 0x04) {
            if (line.size() < 13)
                return fail(IntelHexError::ShortLine);
            int high = byteAt(line, 9);
            int low = byteAt(line, 11);
            if (high < 0 || low < 0)
                return fail(IntelHexError::BadDigit);
            int64_t value = high * 256 + low;
            extendedBase = type == 0x02 ? value * 16 : value * 65536;
            continue;
        }
        if (type != 0x00)
            continue;

        if (line.size() < 9 + 2 * static_cast<size_t>(count) + 2)
            return fail(IntelHexError::ShortLine);
        unsigned sum = static_cast<unsigned>(count + addrHigh + addrLow + type);
        for (int i = 0; i < count; ++i) {
            int b = byteAt(line, 9 + 2 * static_cast<size_t>(i));
            if (b < 0)
                return fail(IntelHexError::BadDigit);
            bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(b);
            sum += static_cast<unsigned>(b);
        }
        int checksum = byteAt(line, 9 + 2 * static_cast<size_t>(count));
        if (checksum < 0)
            return fail(IntelHexError::BadDigit);
        if (static_cast<uint8_t>(0x100 - (sum & 0xFF)) != checksum)
            return fail(IntelHexError::BadChecksum);

        int64_t recordAddress = addrHigh * 256 + addrLow;
        if (firstRecord < 0)
            firstRecord = recordAddress;
        // Relocation moves the 16-bit record address and wraps within its 64 KiB; the extended base stays.
        if (relocateTo >= 0)
            recordAddress = (recordAddress - firstRecord + relocateTo) & 0xFFFF;
        int64_t address = extendedBase + recordAddress;
        if (count == 0)
            continue;
        if (address + count > kMaxImageSize)
            return fail(IntelHexError::AddressOutOfRange);
        sink(static_cast<uint32_t>(address), bytes.data(), static_cast<size_t>(count));
    }
    return {};
}

const char* intelHexErrorText(IntelHexError error) {
    switch (error) {
    case IntelHexError::None:
        return "";
    case IntelHexError::MissingColon:
        return "строка не начинается с \":\"";
    case IntelHexError::BadDigit:
        return "недопустимый символ вместо шестнадцатеричной цифры";
    case IntelHexError::ShortLine:
        return "строка короче, чем требует запись";
    case IntelHexError::BadChecksum:
        return "неверная контрольная сумма";
    case IntelHexError::AddressOutOfRange:
        return "данные ложатся по адресу 0x800000 и выше, за концом образа";
    }
    return "";
}

} // namespace image
