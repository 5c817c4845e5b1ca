#pragma once
// What the device operations (read, write, erase, reset, search, device options) need from the
// program around them: the settings of the active profile, the serial line, the action lists of the
// protocol description, the memory image, the user and the clock. The desktop program and
// velmora-cli each provide one implementation; tests provide a scripted one.
//
// Every text handed to the host is UTF-8.

#include "base/message_kind.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace exchange {

// The device's program memory window (profile settings "FLASH start" and "FLASH end").
struct FlashWindow {
    int32_t start = 0x2100;
    int32_t end = 0x3FFF;
};

// The highest address of the memory image.
inline constexpr int32_t kMaxFlashAddress = 0x7FFFFF;

// Buffers an action list works on. An empty span means "none". Offsets are the default addresses
// of "DATABLOCK" fields in answers (receive) and in frames (send).
struct ListBuffers {
    std::span<uint8_t> receive;
    uint32_t receiveOffset = 0;
    std::span<const uint8_t> send;
    uint32_t sendOffset = 0;
};

// What one run of an action list gave.
struct ListOutcome {
    int32_t result = 0; // exchange result of the first failing step, 0 when all succeeded
    int32_t answerKind = -1;
    int32_t size = 0; // the SIZE variable after the last matched answer
};

using base::MessageKind;

class DeviceHost {
  public:
    virtual ~DeviceHost() = default;

    // Settings, read when an operation starts.
    virtual FlashWindow flashWindow() = 0;
    // Applies speed, port number and stop bits to the serial line and sets the protocol variables
    // from the settings and the image (this also reads the page size).
    virtual void applyPortSettings() = 0;
    // The page size read by the last applyPortSettings.
    virtual uint16_t pageSize() = 0;

    // The serial line. openPort returns false when the port cannot be opened.
    virtual bool openPort() = 0;
    virtual void closePort() = 0;
    virtual bool portOpen() = 0;

    // Sets one protocol variable (PAGE, ADDRESS, SIZE, RECIPIENT).
    virtual void setVariable(std::string_view name, double value) = 0;
    // Runs action list `index` (0..10). Reports failures to the user itself unless quiet is set.
    virtual ListOutcome runActionList(int index, const ListBuffers& buffers) = 0;
    // Failed exchange attempts since the last reset.
    virtual uint16_t commErrors() = 0;
    virtual void resetCommErrors() = 0;
    // While set, failed exchanges are not reported to the user.
    virtual void setQuiet(bool quiet) = 0;

    // The memory image.
    virtual void clearImage() = 0;
    // The image's data, indexed by device address.
    virtual std::span<uint8_t> imageData() = 0;
    virtual int32_t imageStartAddr() = 0; // -1 when nothing is filled
    virtual int32_t imageEndAddr() = 0;   // -1 when nothing is filled
    virtual int32_t imageBlockCount() = 0;
    // Narrows the image's range to the filled bytes within low..high and recounts its pages.
    virtual void narrowImage(int32_t low, int32_t high) = 0;
    // Marks as filled everything from the first to the last byte that is not 0xFF.
    virtual void markNonBlank() = 0;
    // The file workflow's refresh after the image changed: range within the FLASH window, page
    // count, views.
    virtual void refreshImage() = 0;

    // The user.
    virtual void showMessage(MessageKind kind, std::string_view title, std::string_view text) = 0;
    virtual void deviceLog(std::string_view text) = 0;
    // The busy flag shared by all device operations; setting it recomputes the action states.
    virtual bool busy() const = 0;
    virtual void setBusy(bool busy) = 0;
    virtual void bringToFront() = 0;

    // Milliseconds since an arbitrary start.
    virtual uint32_t tickCount() = 0;
};

} // namespace exchange
