#pragma once
// The device options operation: read the identification record (action list 0), let the user edit
// it, write it back (action list 1), offering another try after a failed write.
//
// A front end calls readRecord(); when it succeeds it shows record() for editing and calls
// writeRecord() with the edited values until that no longer asks for a retry, or finish() when the
// user gives up. The port stays open and the busy flag set from readRecord to the end.

#include "exchange/device_host.h"
#include "exchange/ident_record.h"

#include <array>
#include <cstdint>

namespace exchange {

inline constexpr std::string_view kTextRecordNotCp1251 =
    "Текст содержит символы, которые нельзя записать в устройство.";

class DeviceOptions {
  public:
    enum class State { Idle, Editing };
    enum class WriteResult { Written, Retry, Ended };

    explicit DeviceOptions(DeviceHost& host);
    DeviceOptions(const DeviceOptions&) = delete;
    DeviceOptions& operator=(const DeviceOptions&) = delete;

    // Opens the port and reads the record into a zero-filled buffer. False when another operation
    // is busy, the port cannot be opened or the list failed (the user has been told); the operation
    // has then ended.
    bool readRecord();
    // Stores the edited record into the buffer and writes it; record() then reads back what the
    // buffer holds. A text with a character the record cannot hold is refused (Retry) unsent. Written: done,
    // the operation ended. Retry: the write failed (the user has been told), the operation goes on and the
    // same values may be offered again. Ended: the port could not be opened again; the operation ended.
    WriteResult writeRecord(const IdentRecord& edited);
    // Ends the operation without writing.
    void finish();

    State state() const { return m_state; }
    const IdentRecord& record() const { return m_record; }
    std::span<const uint8_t> buffer() const { return m_buffer; }
    // Exchange result of the last failed list, 0 otherwise.
    int32_t lastResult() const { return m_lastResult; }

  private:
    DeviceHost& m_host;
    State m_state = State::Idle;
    IdentRecord m_record;
    int32_t m_lastResult = 0;
    std::array<uint8_t, kIdentBufferSize> m_buffer{};
};

} // namespace exchange
