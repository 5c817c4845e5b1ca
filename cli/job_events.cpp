#include "cli/job_events.h"

#include "cli/device_session.h"
#include "cli/dry_run.h"
#include "protocol/protocol_description.h"

#include <algorithm>

namespace cli {

JobEvents::JobEvents(bool enabled, DeviceSession& session, std::string operation)
    : m_enabled(enabled), m_session(session), m_operation(std::move(operation)) {}

void JobEvents::start(int32_t first, int32_t last) {
    if (!m_enabled)
        return;
    auto& host = m_session.host();
    host.applyPortSettings();
    m_pageSize = host.pageSize();
    StartEvent e;
    e.operation = m_operation;
    e.port = m_session.portPath();
    e.address = m_session.deviceAddress();
    if (first >= 0 && m_pageSize > 0 && last >= first) {
        e.first = first / m_pageSize * m_pageSize;
        e.last = last;
        e.pages = (last - e.first) / m_pageSize + 1;
    }
    m_last = last;
    emitStart(e);
}

void JobEvents::beforeTick(const exchange::OperationSequencer& seq) {
    m_page = seq.page();
    m_address = seq.address();
    m_errors = m_session.host().commErrors();
}

void JobEvents::afterTick(const exchange::OperationSequencer& seq) {
    if (seq.page() == m_page)
        return;
    ++m_pagesDone;
    if (onPageDone)
        onPageDone(m_page, m_address);
    if (!m_enabled)
        return;
    PageEvent e;
    e.index = m_page;
    e.address = m_address;
    e.bytes = m_pageSize;
    if (m_operation == "write")
        e.bytes = static_cast<int>(std::min<int64_t>(m_pageSize, int64_t(m_last) - m_address + 1));
    e.retries = m_session.host().commErrors() - m_errors;
    emitPage(e);
}

int JobEvents::finish(int exitCode, int32_t lastResult, std::optional<uint32_t> crc) {
    if (DryRun* dryRun = m_session.dryRun())
        dryRun->report(m_enabled ? stderr : stdout, m_pagesDone);
    if (!m_enabled)
        return exitCode;
    if (lastResult > 0) {
        const int32_t code = lastResult - 1;
        const auto& exceptions = m_session.protocol().Exceptions;
        const int32_t entry = protocol::FindException(exceptions, code);
        emitDeviceError(code,
                        entry >= 0 ? exceptions[static_cast<size_t>(entry)].Text : "Неизвестная ошибка");
    }
    ResultEvent e;
    e.exitCode = exitCode;
    e.pagesDone = m_pagesDone;
    e.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    e.crc = crc;
    e.address = m_session.deviceAddress();
    emitResult(e);
    return exitCode;
}

} // namespace cli
