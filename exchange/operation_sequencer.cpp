#include "exchange/operation_sequencer.h"

#include "exchange/exchange_result.h"

#include <cmath>
#include <cstdio>

namespace exchange {

namespace {

// Settings can hold anything; a window outside the image or upside down would make the paging
// loop run over the whole address space.
bool windowUsable(const FlashWindow& w) {
    return w.start >= 0 && w.end <= kMaxFlashAddress && w.start <= w.end;
}

// The start of the page holding `address` (address is never negative here).
uint32_t alignDown(int32_t address, uint16_t pageSize) {
    return static_cast<uint32_t>((address / pageSize) * pageSize);
}

// Progress in percent (halves to even), kept within 0..100; a zero divisor shows 100.
int clampedPercent(double part, double whole) {
    if (whole == 0)
        return 100;
    double percent = std::nearbyint(part / whole * 100.0);
    if (!(percent > 0))
        return 0;
    return percent > 100 ? 100 : static_cast<int>(percent);
}

} // namespace

OperationSequencer::OperationSequencer(DeviceHost& host) : m_host(host) {}

bool OperationSequencer::refuse(std::string_view text) {
    m_outcome = Outcome::Refused;
    if (!text.empty())
        m_host.showMessage(MessageKind::Error, "", text);
    return false;
}

bool OperationSequencer::claimIdle() {
    if (m_host.busy() || m_state != State::Idle)
        return refuse({});
    m_lastResult = 0;
    m_window = m_host.flashWindow();
    if (!windowUsable(m_window))
        return refuse(kTextBadFlashWindow);
    return true;
}

bool OperationSequencer::commonStart(bool needPages) {
    m_host.applyPortSettings();
    m_pageSize = m_host.pageSize();
    if (needPages && m_pageSize == 0)
        return refuse(kTextPageSizeZero);
    if (!m_host.openPort())
        return refuse(kTextCannotOpenPort);
    return true;
}

void OperationSequencer::begin(Operation op) {
    m_operation = op;
    m_outcome = Outcome::Running;
    m_startTick = m_host.tickCount();
}

void OperationSequencer::showPanel(bool show) {
    if (show) {
        m_progress = 0;
        m_addressText = "0x0000";
        m_elapsedText = "0 сек";
        m_host.resetCommErrors();
        m_panelVisible = true;
    }
    m_host.setBusy(true);
}

void OperationSequencer::stopExchange() {
    m_state = State::Idle;
    m_host.closePort();
    m_panelVisible = false;
    m_host.setBusy(false);
}

ListOutcome OperationSequencer::runList(int list, const ListBuffers& buffers) {
    m_inExchange = true;
    ListOutcome out = m_host.runActionList(list, buffers);
    m_inExchange = false;
    return out;
}

bool OperationSequencer::runBeforeList(int list) {
    ListBuffers buffers;
    buffers.send = m_host.imageData();
    const ListOutcome before = runList(list, buffers);
    if (before.result == 0)
        return true;
    if (before.result == kExchangeCancelled) {
        doCancel();
        return false;
    }
    m_lastResult = before.result;
    m_outcome = Outcome::Failed;
    stopExchange();
    return false;
}

bool OperationSequencer::startRead() {
    if (!claimIdle())
        return false;
    if (!commonStart(true))
        return false;

    begin(Operation::Read);
    m_host.clearImage();
    showPanel(true);
    m_address = alignDown(m_window.start, m_pageSize);

    if (!runBeforeList(kListBeforeRead))
        return false;
    m_state = State::Paging;
    m_page = 0;
    return afterExchange();
}

bool OperationSequencer::startWrite() {
    if (!claimIdle())
        return false;
    // Only what lies in the FLASH window is sent, and the protocol variables set by
    // applyPortSettings describe exactly that.
    m_host.narrowImage(m_window.start, m_window.end);
    if (m_host.imageStartAddr() < 0)
        return refuse(kTextNothingToWrite);
    if (!commonStart(true))
        return false;

    begin(Operation::Write);
    showPanel(true);
    m_appEnd = m_host.imageEndAddr();
    m_address = alignDown(m_host.imageStartAddr(), m_pageSize);

    if (!runBeforeList(kListBeforeWrite))
        return false;
    m_state = State::Paging;
    m_startPage = static_cast<int32_t>((static_cast<int64_t>(m_address) - m_window.start) / m_pageSize);
    m_page = m_startPage;
    return afterExchange();
}

void OperationSequencer::logStop(std::string_view what) {
    char where[64];
    std::snprintf(where, sizeof where, ": страница %d, адрес 0x%08X", static_cast<int>(m_page),
                  static_cast<unsigned>(m_address));
    m_host.deviceLog(std::string(what) + where);
}

bool OperationSequencer::cancelledInFlight(const ListOutcome& out) {
    // The page in flight is not done: the cancel runs right after this tick, before it counts.
    if (out.result != kExchangeCancelled)
        return false;
    m_cancelPending = true;
    return true;
}

bool OperationSequencer::afterExchange() {
    if (m_cancelPending) {
        m_cancelPending = false;
        if (m_state == State::Paging)
            doCancel();
    }
    return m_state == State::Paging;
}

void OperationSequencer::tick() {
    if (m_state != State::Paging || m_inExchange)
        return;
    if (m_operation == Operation::Read)
        readTick();
    else
        writeTick();
    afterExchange();
}

bool OperationSequencer::pageWentThrough(const ListOutcome& out, std::string_view stopText) {
    if (cancelledInFlight(out))
        return false;
    if (out.result == 0)
        return true;
    logStop(stopText);
    m_state = State::Idle;
    m_lastResult = out.result;
    m_outcome = Outcome::Failed;
    if (m_operation == Operation::Read) {
        // The pages read before the failure stay in the image.
        m_host.markNonBlank();
        m_host.refreshImage();
    }
    stopExchange();
    return false;
}

void OperationSequencer::nextPage(int progress) {
    m_address += m_pageSize;
    m_progress = progress;
    updateTexts();
    ++m_page;
}

void OperationSequencer::readTick() {
    m_host.setVariable("PAGE", m_page);
    m_host.setVariable("ADDRESS", m_address);
    ListBuffers buffers;
    buffers.receive = m_host.imageData();
    buffers.receiveOffset = m_address;
    if (!pageWentThrough(runList(kListReadPage, buffers), "Чтение остановлено"))
        return;
    nextPage(clampedPercent(static_cast<double>(m_pageSize) * m_page,
                            static_cast<double>(m_window.end) - m_window.start));
    if (static_cast<int64_t>(m_address) > m_window.end)
        finishRead();
}

void OperationSequencer::writeTick() {
    m_host.setVariable("PAGE", m_page);
    m_host.setVariable("ADDRESS", m_address);
    int64_t remaining = static_cast<int64_t>(m_appEnd) - m_address + 1;
    int64_t size = remaining < m_pageSize ? remaining : m_pageSize;
    m_host.setVariable("SIZE", static_cast<double>(size));
    ListBuffers buffers;
    buffers.send = m_host.imageData();
    buffers.sendOffset = m_address;
    if (!pageWentThrough(runList(kListWritePage, buffers), "Запись остановлена"))
        return;
    nextPage(clampedPercent(static_cast<double>(m_page) - m_startPage, m_host.imageBlockCount()));
    if (static_cast<int64_t>(m_address) > m_appEnd)
        finishWrite();
}

void OperationSequencer::finishRead() {
    m_state = State::Idle;
    runList(kListAfterRead, {});
    stopExchange();
    m_host.markNonBlank();
    m_host.refreshImage();
    m_host.deviceLog(" Чтение завершено(" + std::to_string(elapsedSeconds()) + " сек)");
    m_host.bringToFront();
    m_outcome = Outcome::Completed;
}

void OperationSequencer::finishWrite() {
    m_state = State::Idle;
    ListOutcome after = runList(kListAfterWrite, {});
    std::string seconds = std::to_string(elapsedSeconds());
    if (after.result == 0) {
        m_host.deviceLog("Программирование завершено (" + seconds + " сек)");
        m_outcome = Outcome::Completed;
    } else {
        m_host.deviceLog("Программирование не завершено(" + seconds + " сек)");
        m_lastResult = after.result;
        m_outcome = Outcome::Failed;
    }
    stopExchange();
    m_host.bringToFront();
}

void OperationSequencer::cancel() {
    if (m_inExchange && m_outcome == Outcome::Running) {
        m_cancelPending = true;
        return;
    }
    if (m_state != State::Paging)
        return;
    doCancel();
}

void OperationSequencer::doCancel() {
    m_state = State::Idle;
    // The pages read so far are only in the data; mark them so that a save keeps them.
    if (m_operation == Operation::Read)
        m_host.markNonBlank();
    m_host.refreshImage();
    stopExchange();
    m_outcome = Outcome::Cancelled;
    m_host.showMessage(MessageKind::Information, "", kTextCancelled);
}

bool OperationSequencer::erase() {
    return runSingleList(Operation::Erase, kListErase, "Приложение стерто.", "Ошибка стирания приложения!");
}

bool OperationSequencer::reset() {
    return runSingleList(Operation::Reset, kListReset, "Устройство перезапущено.",
                         "Ошибка перезапуска приложения!");
}

bool OperationSequencer::runSingleList(Operation op, int list, std::string_view okText,
                                       std::string_view failText) {
    if (!claimIdle())
        return false;
    if (!commonStart(false))
        return false;
    begin(op);
    showPanel(false);
    ListOutcome out = runList(list, {});
    const bool cancelled = out.result == kExchangeCancelled;
    m_host.deviceLog(out.result == 0 ? okText : cancelled ? kTextCancelled : failText);
    stopExchange();
    m_lastResult = out.result;
    m_outcome = out.result == 0 ? Outcome::Completed : cancelled ? Outcome::Cancelled : Outcome::Failed;
    m_cancelPending = false;
    return out.result == 0;
}

void OperationSequencer::updateTexts() {
    char text[40];
    std::snprintf(text, sizeof text, "0x%08X (P:%d)", static_cast<unsigned>(m_address),
                  static_cast<int>(m_page));
    m_addressText = text;
    m_elapsedText = std::to_string(elapsedSeconds()) + " сек";
}

uint32_t OperationSequencer::elapsedSeconds() const {
    return (m_host.tickCount() - m_startTick) / 1000;
}

std::string OperationSequencer::commErrorsText() const {
    return std::to_string(m_host.commErrors());
}

} // namespace exchange
