#include "exchange/device_search.h"

#include "base/codepage.h"
#include "base/text_utils.h"
#include "exchange/ident_record.h"
#include "exchange/operation_sequencer.h"

#include <algorithm>
#include <array>

namespace exchange {

namespace {

constexpr size_t kTextOffset = 6;

} // namespace

FoundDevice decodeSearchAnswer(uint8_t address, std::span<const uint8_t> buffer, int32_t capturedSize) {
    FoundDevice d;
    d.address = address;
    d.addressText = hexText(address, 2);
    if (buffer.size() > 5)
        d.serialNumber = static_cast<uint16_t>(buffer[4] << 8 | buffer[5]);
    size_t end = std::min({buffer.size(), kTextOffset + kSearchTextMax,
                           static_cast<size_t>(std::max<int32_t>(capturedSize, 0))});
    std::string text;
    for (size_t i = kTextOffset; i < end && buffer[i] != 0x00 && buffer[i] != 0xFF; ++i)
        text.push_back(static_cast<char>(buffer[i]));
    d.identText = base::cp1251ToUtf8(base::TrimBlanks(text));
    return d;
}

DeviceSearch::DeviceSearch(DeviceHost& host) : m_host(host) {}

bool DeviceSearch::start(int first, int last) {
    if (m_host.busy() || m_running) {
        m_outcome = Outcome::Refused;
        return false;
    }
    m_host.applyPortSettings();
    if (!m_host.openPort()) {
        m_outcome = Outcome::Refused;
        m_host.showMessage(MessageKind::Error, "", kTextCannotOpenPort);
        return false;
    }
    // Another operation must not start on the same port while the bus is scanned.
    m_host.setBusy(true);
    m_host.setVariable("SIZE", m_host.pageSize());
    m_devices.clear();
    m_first = first;
    m_last = last;
    m_address = first;
    m_progress = 0;
    m_cancelPending = false;
    m_running = true;
    m_outcome = Outcome::Running;
    return true;
}

void DeviceSearch::tick() {
    if (!m_running || m_inExchange)
        return;
    std::array<uint8_t, kSearchBufferSize> buffer{};
    m_host.setQuiet(true);
    m_host.setVariable("RECIPIENT", m_address);
    ListBuffers buffers;
    buffers.receive = buffer;
    m_inExchange = true;
    ListOutcome out = m_host.runActionList(kListSearch, buffers);
    m_inExchange = false;
    if (out.result == 0)
        m_devices.push_back(decodeSearchAnswer(static_cast<uint8_t>(m_address), buffer, out.size));
    const int span = m_last - m_first;
    m_progress = span > 0 ? ((m_address - m_first) * 100 + span / 2) / span : 100;
    if (m_address >= m_last) {
        m_host.setQuiet(false);
        stop(Outcome::Completed);
        return;
    }
    ++m_address;
    m_host.setQuiet(false);
    if (m_cancelPending)
        stop(Outcome::Cancelled);
}

void DeviceSearch::cancel() {
    if (!m_running)
        return;
    if (m_inExchange) {
        m_cancelPending = true;
        return;
    }
    stop(Outcome::Cancelled);
}

void DeviceSearch::stop(Outcome outcome) {
    m_running = false;
    m_cancelPending = false;
    m_outcome = outcome;
    m_host.closePort();
    m_host.setBusy(false);
}

std::string DeviceSearch::progressText() const {
    return std::to_string(m_progress) + "%";
}

} // namespace exchange
