#include "exchange/device_options.h"

#include "exchange/operation_sequencer.h"

namespace exchange {

DeviceOptions::DeviceOptions(DeviceHost& host) : m_host(host) {}

bool DeviceOptions::readRecord() {
    if (m_host.busy() || m_state != State::Idle)
        return false;
    m_lastResult = 0;
    m_host.applyPortSettings();
    if (!m_host.openPort()) {
        m_host.showMessage(MessageKind::Error, "", kTextCannotOpenPort);
        return false;
    }
    m_host.setBusy(true);
    m_state = State::Editing;
    // Bytes the answers do not fill read as zero rather than as a previous run's record.
    m_buffer.fill(0);
    ListBuffers buffers;
    buffers.receive = m_buffer;
    ListOutcome out = m_host.runActionList(kListIdentRead, buffers);
    if (out.result != 0) {
        m_lastResult = out.result;
        finish();
        return false;
    }
    m_record = ShowIdentRecord(m_buffer);
    return true;
}

DeviceOptions::WriteResult DeviceOptions::writeRecord(const IdentRecord& edited) {
    if (m_state != State::Editing)
        return WriteResult::Ended;
    if (StoreIdentRecord(edited, m_buffer) != StoreIdentResult::Ok) {
        m_host.showMessage(MessageKind::Error, "", kTextRecordNotCp1251);
        return WriteResult::Retry;
    }
    // What the record now holds (texts cut and padded to their room), not what was typed.
    m_record = ShowIdentRecord(m_buffer);
    // A communication failure of an earlier try has closed the port.
    if (!m_host.portOpen() && !m_host.openPort()) {
        m_host.showMessage(MessageKind::Error, "", kTextCannotOpenPort);
        finish();
        return WriteResult::Ended;
    }
    ListBuffers buffers;
    buffers.send = m_buffer;
    ListOutcome out = m_host.runActionList(kListIdentWrite, buffers);
    m_lastResult = out.result;
    if (out.result != 0)
        return WriteResult::Retry;
    finish();
    return WriteResult::Written;
}

void DeviceOptions::finish() {
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    m_host.closePort();
    m_host.setBusy(false);
}

} // namespace exchange
