#include "sim/ident_record.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::size_t kNetworkNumber = 4;
constexpr std::size_t kRecordLength = 5;
constexpr std::size_t kDeviceId = 6;
constexpr std::size_t kTableAddress = 8;
constexpr std::size_t kSerial = 10;
constexpr std::uint8_t kBlank = 0x20;
constexpr std::uint8_t kRunIndicatorOn = 0xFF;
// Bytes 0..3 and 7: a marker the program reads and writes back untouched.
constexpr std::array<std::uint8_t, 4> kMarker{'V', 'S', 'I', 'M'};

// Text of record[from, to): stops at the first 0x00 or 0xFF, trailing blanks dropped.
std::string textOf(const IdentRecord& record, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to && record[i] != 0x00 && record[i] != 0xFF; ++i)
        text.push_back(static_cast<char>(record[i]));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

// Writes `text` into record[from, to), cut or padded with blanks.
void putText(IdentRecord& record, std::size_t from, std::size_t to, std::string_view text) {
    for (std::size_t i = from; i < to; ++i) {
        const std::size_t k = i - from;
        record[i] = k < text.size() ? static_cast<std::uint8_t>(text[k]) : kBlank;
    }
}

void putWord(IdentRecord& record, std::size_t at, std::uint16_t value) {
    record[at] = static_cast<std::uint8_t>(value >> 8);
    record[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

std::size_t effectiveLength(std::uint8_t recordLength) {
    return std::clamp<std::size_t>(recordLength, 6, kMaxRecordLength);
}

IdentRecord makeRecord(const RecordFields& fields) {
    IdentRecord record{};
    std::copy(kMarker.begin(), kMarker.end(), record.begin());
    record[kNetworkNumber] = fields.networkNumber;
    record[kDeviceId] = fields.deviceId;
    record[7] = 0;
    putWord(record, kTableAddress, fields.tableAddress);
    putWord(record, kSerial, fields.serial);
    record[kRecordLength] = 6;
    putText(record, kIdentOffset, kRecordSize, fields.versionText);
    setIdentText(record, fields.identText);
    return record;
}

std::string identText(const IdentRecord& record) {
    return textOf(record, kIdentOffset, effectiveLength(record[kRecordLength]) + 6);
}

std::string versionText(const IdentRecord& record) {
    return textOf(record, effectiveLength(record[kRecordLength]) + 6, kRecordSize);
}

void setIdentText(IdentRecord& record, std::string_view text) {
    const std::string version = versionText(record);
    text = text.substr(0, std::min(text.size(), kMaxIdentText));
    const std::size_t length = 6 + text.size();
    record[kRecordLength] = static_cast<std::uint8_t>(length);
    putText(record, kIdentOffset, length + 6, text);
    putText(record, length + 6, kRecordSize, version);
}

std::uint16_t serialNumber(const IdentRecord& record) {
    return static_cast<std::uint16_t>(record[kSerial] << 8 | record[kSerial + 1]);
}

void setSerialNumber(IdentRecord& record, std::uint16_t serial) {
    putWord(record, kSerial, serial);
}

std::vector<std::uint8_t> searchBlock(const IdentRecord& record) {
    std::vector<std::uint8_t> block{record[kNetworkNumber], record[kDeviceId], record[kRecordLength],
                                    kRunIndicatorOn,        record[kSerial],   record[kSerial + 1]};
    const std::string text = identText(record);
    block.insert(block.end(), text.begin(), text.end());
    block.push_back(0x00);
    return block;
}

} // namespace sim
