#pragma once
// The bus search: every MODBUS address 0..255 is tried with the protocol description's search list,
// one address per tick, and the devices that answer are collected.
//
// A front end calls start(), then tick() from a timer (25 ms in the desktop program) while
// running(), and cancel() when the user cancels. All texts are UTF-8.

#include "exchange/device_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace exchange {

inline constexpr int kLastSearchAddress = 255;
// Size of the buffer the search answer stores its data block into.
inline constexpr size_t kSearchBufferSize = 129;
// Longest identification text a search answer can carry (bytes 6..128).
inline constexpr size_t kSearchTextMax = 123;

struct FoundDevice {
    uint8_t address = 0;
    std::string addressText; // "0x" and two upper-case hexadecimal digits
    uint16_t serialNumber = 0;
    std::string identText; // UTF-8, blanks and tabs trimmed
};

// Reads a found device from the search buffer: serial number from bytes 4 and 5, text from byte 6
// for the captured size less 6 (at most 123 bytes), up to the first 0x00 or 0xFF.
FoundDevice decodeSearchAnswer(uint8_t address, std::span<const uint8_t> buffer, int32_t capturedSize);

class DeviceSearch {
  public:
    enum class Outcome { None, Running, Completed, Cancelled, Refused };

    explicit DeviceSearch(DeviceHost& host);
    DeviceSearch(const DeviceSearch&) = delete;
    DeviceSearch& operator=(const DeviceSearch&) = delete;

    // Opens the port and starts at address `first`, ending after `last` (the whole bus 0..255 by
    // default; the caller keeps first <= last within it); previous results are cleared. False when
    // another operation is busy or the port cannot be opened (the user has been told).
    bool start(int first = 0, int last = kLastSearchAddress);
    // One address. Does nothing unless running or while its own exchange is under way.
    void tick();
    // Stops the search, keeping what was found; carried out after an exchange under way.
    void cancel();

    bool running() const { return m_running; }
    Outcome outcome() const { return m_outcome; }
    // The next address to try.
    int address() const { return m_address; }
    int progress() const { return m_progress; }
    // The progress as shown: the number followed by "%".
    std::string progressText() const;
    const std::vector<FoundDevice>& devices() const { return m_devices; }

  private:
    void stop(Outcome outcome);

    DeviceHost& m_host;
    bool m_running = false;
    bool m_inExchange = false;
    bool m_cancelPending = false;
    Outcome m_outcome = Outcome::None;
    int m_address = 0;
    int m_first = 0;
    int m_last = kLastSearchAddress;
    int m_progress = 0;
    std::vector<FoundDevice> m_devices;
};

} // namespace exchange
