#pragma once
// The simulated MODBUS-RTU bootloader: takes one received frame, changes its memory and
// identification record, and gives the answer to send (or none). No I/O and no timing here.
//
// Function codes (all frames: address, function, data, CRC low byte first):
//   0x11 report identity    -> count, search block (see ident_record.h)
//   0x41 read ident record  -> 0x01 0x00, the 256 record bytes
//   0x42 write ident record    256 record bytes -> (empty)
//   0x43 read memory           address (4 bytes, high first), count (2 bytes) -> count, data
//   0x44 write memory          address, count, data -> address, count        (needs unlock)
//   0x45 erase FLASH window    -> (empty)                                     (needs unlock)
//   0x46 reset                 -> (empty); locks, takes the record's network number as address
//   0x47 unlock                password bytes -> (empty)
//   0x48 lock                  -> (empty)
// Device error answers: address, function | 0x80, code, CRC. Broadcast frames (address 0) are
// carried out for 0x44..0x48 and never answered.

#include "sim/fault_plan.h"
#include "sim/ident_record.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

namespace fn {
inline constexpr std::uint8_t kReportIdentity = 0x11;
inline constexpr std::uint8_t kReadRecord = 0x41;
inline constexpr std::uint8_t kWriteRecord = 0x42;
inline constexpr std::uint8_t kReadMemory = 0x43;
inline constexpr std::uint8_t kWriteMemory = 0x44;
inline constexpr std::uint8_t kErase = 0x45;
inline constexpr std::uint8_t kReset = 0x46;
inline constexpr std::uint8_t kUnlock = 0x47;
inline constexpr std::uint8_t kLock = 0x48;
} // namespace fn

namespace code {
inline constexpr std::uint8_t kIllegalFunction = 0x01;
inline constexpr std::uint8_t kIllegalAddress = 0x02;
inline constexpr std::uint8_t kIllegalValue = 0x03;
inline constexpr std::uint8_t kAcknowledge = 0x05;
inline constexpr std::uint8_t kLocked = 0x10;
inline constexpr std::uint8_t kWrongPassword = 0x11;
inline constexpr std::uint8_t kProgramFailed = 0x12;
} // namespace code

// The device's address space: 8 MiB, empty bytes read 0xFF.
inline constexpr std::uint32_t kMemorySize = 0x800000;
inline constexpr std::uint16_t kMaxReadCount = 2048;
inline constexpr std::uint32_t kMaxPageSize = 4096;

struct DeviceConfig {
    std::uint32_t flashStart = 0x2100;
    std::uint32_t flashEnd = 0x3FFF;
    std::uint32_t pageSize = 128;
    std::uint32_t ctrlArea = 0x0F00; // where the identification record lives
    std::string password;            // code page 1251 bytes; empty: unlock with an empty password
};

// Record fields given on the command line; they replace what the memory image holds.
struct RecordOverrides {
    std::optional<std::uint8_t> address;
    std::optional<std::uint16_t> serial;
    std::optional<std::string> identText; // code page 1251
    std::optional<std::uint8_t> deviceId;
};

// Empty when the configuration is usable; otherwise a message naming the bad value.
std::string validateConfig(const DeviceConfig& config);

struct Reply {
    std::vector<std::uint8_t> bytes; // to send; empty: stay silent
    bool hangUp = false;             // drop the line after sending
    std::string note;                // one line for a verbose log
};

class SimDevice {
  public:
    // `memory` must hold kMemorySize bytes (it is resized otherwise). When the record area is blank
    // (all 0xFF) a default record is built; `overrides` then replace its fields.
    SimDevice(const DeviceConfig& config, std::vector<std::uint8_t> memory, const RecordOverrides& overrides,
              FaultPlan faults = {});

    // Handles one received frame (a gap on the line ended it). Frames with a bad CRC, shorter than
    // four bytes, for another address or with function code 0 or 0x80..0xFF are ignored without
    // counting.
    Reply handleFrame(std::span<const std::uint8_t> frame);

    std::uint8_t address() const { return m_address; }
    bool unlocked() const { return m_unlocked; }
    const std::vector<std::uint8_t>& memory() const { return m_memory; }
    IdentRecord record() const;
    std::uint64_t framesHandled() const { return m_frames; }

  private:
    struct Outcome {
        std::vector<std::uint8_t> data; // answer bytes after address and function
        std::optional<std::uint8_t> error;
    };

    Outcome execute(std::uint8_t function, std::span<const std::uint8_t> data);
    Outcome readMemory(std::span<const std::uint8_t> data);
    Outcome writeMemory(std::span<const std::uint8_t> data);
    Outcome writeRecord(std::span<const std::uint8_t> data);
    Outcome erase();
    Outcome unlock(std::span<const std::uint8_t> data);
    Outcome reset();
    void storeRecord(const IdentRecord& record);

    DeviceConfig m_config;
    std::vector<std::uint8_t> m_memory;
    FaultPlan m_faults;
    std::uint8_t m_address = 17;
    bool m_unlocked = false;
    std::uint64_t m_frames = 0;
    std::vector<std::uint64_t> m_functionCounts = std::vector<std::uint64_t>(128, 0);
};

} // namespace sim
