#include "sim/sim_device.h"

#include "sim/modbus_rtu.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr std::uint8_t kMaxBusAddress = 247;
// What a device sends when told to talk nonsense: no address of ours, no valid CRC.
constexpr std::uint8_t kGarbage[] = {0x00, 0xFF, 0x55, 0xAA, 0x13, 0x37, 0xC3};

std::uint32_t readBe32(std::span<const std::uint8_t> d) {
    return static_cast<std::uint32_t>(d[0]) << 24 | static_cast<std::uint32_t>(d[1]) << 16 |
           static_cast<std::uint32_t>(d[2]) << 8 | d[3];
}

std::uint16_t readBe16(std::span<const std::uint8_t> d) {
    return static_cast<std::uint16_t>(d[0] << 8 | d[1]);
}

bool anyContains(const std::vector<FrameRange>& ranges, std::uint64_t n) {
    return std::any_of(ranges.begin(), ranges.end(), [n](const FrameRange& r) { return r.contains(n); });
}

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

} // namespace

std::string validateConfig(const DeviceConfig& c) {
    if (c.flashStart > c.flashEnd || c.flashEnd >= kMemorySize)
        return "the FLASH window must satisfy start <= end < 0x800000";
    if (c.pageSize == 0 || c.pageSize > kMaxPageSize)
        return "the page size must be 1..4096";
    if (c.ctrlArea > kMemorySize - kRecordSize)
        return "the control area must start below 0x7FFF00";
    if (c.ctrlArea <= c.flashEnd && c.ctrlArea + kRecordSize > c.flashStart)
        return "the control area (256 bytes) must not overlap the FLASH window";
    return {};
}

SimDevice::SimDevice(const DeviceConfig& config, std::vector<std::uint8_t> memory,
                     const RecordOverrides& overrides, FaultPlan faults)
    : m_config(config), m_memory(std::move(memory)), m_faults(std::move(faults)) {
    m_memory.resize(kMemorySize, 0xFF);
    const auto area = m_memory.begin() + m_config.ctrlArea;
    IdentRecord rec = record();
    if (std::all_of(area, area + kRecordSize, [](std::uint8_t b) { return b == 0xFF; })) {
        RecordFields fields;
        fields.tableAddress = static_cast<std::uint16_t>(m_config.ctrlArea);
        fields.identText = "Velmora simulated bootloader";
        fields.versionText = "Bootloader 1.0, simulated";
        rec = makeRecord(fields);
    }
    if (overrides.address)
        rec[4] = *overrides.address;
    if (overrides.deviceId)
        rec[6] = *overrides.deviceId;
    if (overrides.serial)
        setSerialNumber(rec, *overrides.serial);
    if (overrides.identText)
        setIdentText(rec, *overrides.identText);
    storeRecord(rec);
    m_address = rec[4];
}

IdentRecord SimDevice::record() const {
    IdentRecord rec{};
    std::copy_n(m_memory.begin() + m_config.ctrlArea, kRecordSize, rec.begin());
    return rec;
}

void SimDevice::storeRecord(const IdentRecord& rec) {
    std::copy(rec.begin(), rec.end(), m_memory.begin() + m_config.ctrlArea);
}

Reply SimDevice::handleFrame(std::span<const std::uint8_t> frame) {
    Reply reply;
    if (frame.size() < kMinFrameSize || !hasValidCrc(frame)) {
        reply.note = "ignored: " + std::to_string(frame.size()) + " bytes without a valid frame CRC";
        return reply;
    }
    const std::uint8_t target = frame[0];
    if (target != m_address && target != kBroadcastAddress) {
        reply.note = "ignored: frame for address " + hexByte(target);
        return reply;
    }
    const std::uint8_t function = frame[1];
    if (function == 0 || function & kExceptionFlag) {
        // An exception answer to such a code could not be told from the code itself.
        reply.note = "ignored: function code " + hexByte(function);
        return reply;
    }
    if (target == kBroadcastAddress && (function < fn::kWriteMemory || function > fn::kLock)) {
        reply.note = "ignored: broadcast of function " + hexByte(function);
        return reply;
    }
    const std::uint64_t n = ++m_frames;
    const std::string what = "frame " + std::to_string(n) + " function " + hexByte(function);
    if (n <= m_faults.silentFirst) {
        reply.note = what + ": silent (fault)";
        return reply;
    }
    const std::uint64_t nth = ++m_functionCounts[function];

    Outcome outcome;
    const auto rule = std::find_if(m_faults.errors.begin(), m_faults.errors.end(), [&](const ErrorRule& r) {
        return r.function == function && r.range.contains(nth);
    });
    if (rule != m_faults.errors.end())
        outcome.error = rule->code;
    else
        outcome = execute(function, frame.subspan(2, frame.size() - kMinFrameSize));

    reply.hangUp = m_faults.dropAfter != 0 && n >= m_faults.dropAfter;
    const std::uint8_t answerAddress = m_address;
    // The network number taken at a reset applies from the next frame on.
    if (function == fn::kReset && !outcome.error)
        m_address = record()[4];
    if (target == kBroadcastAddress) {
        reply.note = what + ": broadcast, not answered";
        return reply;
    }
    if (outcome.error) {
        reply.bytes = exceptionFrame(answerAddress, function, *outcome.error);
        reply.note = what + ": device error " + hexByte(*outcome.error);
    } else {
        reply.bytes = {answerAddress, function};
        reply.bytes.insert(reply.bytes.end(), outcome.data.begin(), outcome.data.end());
        appendCrc(reply.bytes);
        reply.note = what + ": answered " + std::to_string(reply.bytes.size()) + " bytes";
    }
    if (anyContains(m_faults.garbage, n)) {
        reply.bytes.assign(std::begin(kGarbage), std::end(kGarbage));
        reply.note += ", replaced by garbage (fault)";
    } else if (anyContains(m_faults.corruptCrc, n)) {
        reply.bytes.back() ^= 0xFF;
        reply.note += ", CRC corrupted (fault)";
    }
    return reply;
}

SimDevice::Outcome SimDevice::execute(std::uint8_t function, std::span<const std::uint8_t> data) {
    const bool noData = data.empty();
    switch (function) {
    case fn::kReportIdentity: {
        if (!noData)
            return {{}, code::kIllegalValue};
        std::vector<std::uint8_t> block = searchBlock(record());
        block.insert(block.begin(), static_cast<std::uint8_t>(block.size()));
        return {std::move(block), {}};
    }
    case fn::kReadRecord: {
        if (!noData)
            return {{}, code::kIllegalValue};
        const IdentRecord rec = record();
        std::vector<std::uint8_t> out{static_cast<std::uint8_t>(kRecordSize >> 8),
                                      static_cast<std::uint8_t>(kRecordSize & 0xFF)};
        out.insert(out.end(), rec.begin(), rec.end());
        return {std::move(out), {}};
    }
    case fn::kWriteRecord:
        return writeRecord(data);
    case fn::kReadMemory:
        return readMemory(data);
    case fn::kWriteMemory:
        return writeMemory(data);
    case fn::kErase:
        return noData ? erase() : Outcome{{}, code::kIllegalValue};
    case fn::kReset:
        return noData ? reset() : Outcome{{}, code::kIllegalValue};
    case fn::kUnlock:
        return unlock(data);
    case fn::kLock:
        if (!noData)
            return {{}, code::kIllegalValue};
        m_unlocked = false;
        return {};
    default:
        return {{}, code::kIllegalFunction};
    }
}

SimDevice::Outcome SimDevice::readMemory(std::span<const std::uint8_t> data) {
    if (data.size() != 6)
        return {{}, code::kIllegalValue};
    const std::uint32_t address = readBe32(data);
    const std::uint16_t count = readBe16(data.subspan(4));
    if (count == 0 || count > kMaxReadCount)
        return {{}, code::kIllegalValue};
    if (address >= kMemorySize || count > kMemorySize - address)
        return {{}, code::kIllegalAddress};
    std::vector<std::uint8_t> out{data[4], data[5]};
    out.insert(out.end(), m_memory.begin() + address, m_memory.begin() + address + count);
    return {std::move(out), {}};
}

SimDevice::Outcome SimDevice::writeMemory(std::span<const std::uint8_t> data) {
    if (data.size() < 6)
        return {{}, code::kIllegalValue};
    const std::uint32_t address = readBe32(data);
    const std::uint16_t count = readBe16(data.subspan(4));
    if (count == 0 || count > m_config.pageSize || data.size() != 6u + count)
        return {{}, code::kIllegalValue};
    // The whole block must lie inside the FLASH window and inside one page.
    const std::uint64_t last = static_cast<std::uint64_t>(address) + count - 1;
    if (address < m_config.flashStart || last > m_config.flashEnd ||
        address / m_config.pageSize != last / m_config.pageSize)
        return {{}, code::kIllegalAddress};
    if (!m_unlocked)
        return {{}, code::kLocked};
    // Programming can only clear bits, as on real FLASH: a byte that needed a set bit fails.
    bool failed = false;
    for (std::uint16_t i = 0; i < count; ++i) {
        std::uint8_t& cell = m_memory[address + i];
        cell &= data[6 + i];
        failed = failed || cell != data[6 + i];
    }
    if (failed)
        return {{}, code::kProgramFailed};
    return {std::vector<std::uint8_t>(data.begin(), data.begin() + 6), {}};
}

SimDevice::Outcome SimDevice::writeRecord(std::span<const std::uint8_t> data) {
    if (data.size() != kRecordSize)
        return {{}, code::kIllegalValue};
    IdentRecord rec{};
    std::copy(data.begin(), data.end(), rec.begin());
    if (rec[4] == 0 || rec[4] > kMaxBusAddress || rec[5] > kMaxRecordLength)
        return {{}, code::kIllegalValue};
    storeRecord(rec);
    return {};
}

SimDevice::Outcome SimDevice::erase() {
    if (!m_unlocked)
        return {{}, code::kLocked};
    std::fill(m_memory.begin() + m_config.flashStart, m_memory.begin() + m_config.flashEnd + 1, 0xFF);
    return {};
}

SimDevice::Outcome SimDevice::unlock(std::span<const std::uint8_t> data) {
    m_unlocked = std::equal(data.begin(), data.end(), m_config.password.begin(), m_config.password.end(),
                            [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    if (!m_unlocked)
        return {{}, code::kWrongPassword};
    return {};
}

SimDevice::Outcome SimDevice::reset() {
    m_unlocked = false;
    return {};
}

} // namespace sim
