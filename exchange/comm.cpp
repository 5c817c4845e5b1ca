#include "exchange/comm.h"

#include "exchange/deadline.h"
#include "exchange/wire_time.h"

#include <array>
#include <span>

namespace exchange {

namespace {

constexpr std::array<std::uint32_t, kBaudRateCount> kBaudBits{
    110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

constexpr LineParity toLineParity(TParity p) {
    switch (p) {
    case Odd_Parity:
        return LineParity::Odd;
    case Even_Parity:
        return LineParity::Even;
    case Mark_Parity:
        return LineParity::Mark;
    case Space_Parity:
        return LineParity::Space;
    case No_Parity:
        break;
    }
    return LineParity::None;
}

constexpr LineStopBits toLineStopBits(TStopBits s) {
    switch (s) {
    case SB_ONE5STOPBITS:
        return LineStopBits::OnePointFive;
    case SB_TWOSTOPBITS:
        return LineStopBits::Two;
    case SB_ONESTOPBIT:
        break;
    }
    return LineStopBits::One;
}

} // namespace

std::uint32_t baudRateBits(int index) {
    if (index < 0 || index >= kBaudRateCount)
        return 9600;
    return kBaudBits[static_cast<std::size_t>(index)];
}

std::string defaultDevicePath(int comNo) {
    return "/dev/ttyS" + std::to_string(comNo - 1);
}

TComm::TComm(std::unique_ptr<SerialLine> line) : m_line(std::move(line)) {}

void TComm::setWaitHook(SerialLine::WaitHook hook) {
    if (m_line)
        m_line->setWaitHook(std::move(hook));
}

TComm::~TComm() {
    Close();
}

bool TComm::IsOpen() const {
    return m_line && m_line->isOpen();
}

std::string TComm::DevicePath() const {
    return m_devicePath.empty() ? defaultDevicePath(m_comNo) : m_devicePath;
}

bool TComm::Open() {
    if (!m_line)
        return false;
    if (IsOpen())
        return true;
    const std::string path = DevicePath();
    std::string reason;
    if (!m_line->open(path, reason)) {
        m_lastOpenError = reason.empty() ? path : reason;
        log("Не удалось открыть порт " + m_lastOpenError);
        return false;
    }
    m_lastOpenError.clear();
    applyFormat();
    // Linux raises DTR on open; the line wants RTS up and DTR down.
    if (!m_line->setModemLines(false, true))
        log("Порт " + path + ": линии DTR/RTS не управляются");
    m_line->drain();
    m_line->discard();
    if (OnActivate)
        OnActivate();
    return IsOpen();
}

bool TComm::OpenPort(int n) {
    setComNo(n);
    return Open();
}

void TComm::Close() {
    if (!IsOpen())
        return;
    if (OnDeActivate)
        OnDeActivate();
    m_line->drain();
    m_line->discard();
    m_line->close();
    m_noByte = false;
}

int TComm::Write(const std::uint8_t* buffer, int count) {
    if (!IsOpen() || !buffer || count <= 0)
        return 0;
    const auto n = static_cast<std::size_t>(count);
    const auto began = std::chrono::steady_clock::now();
    const auto written = m_line->write(std::span(buffer, n), transferBudget(m_writeTimeout, n));
    m_line->drain();
    const int stopTenths = m_stopBits == SB_ONESTOPBIT ? 10 : 20; // 1.5 is sent as 2
    m_sentUntil = began + wireTime(written, baudRateBits(m_baudRate),
                                   characterTenthBits(m_parity != No_Parity, stopTenths));
    return static_cast<int>(written);
}

std::chrono::milliseconds TComm::RemainingWireTime() const {
    const auto left = m_sentUntil - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(left);
}

int TComm::Read(std::uint8_t* buffer, int count) {
    if (!IsOpen() || !buffer || count <= 0) {
        m_noByte = true;
        return 0;
    }
    const auto n = static_cast<std::size_t>(count);
    ReadLimits limits{transferBudget(m_readTimeout, n),
                      std::chrono::milliseconds(m_readTimeout > 0 ? m_readTimeout : 0)};
    const int got = static_cast<int>(m_line->read(std::span(buffer, n), limits));
    m_noByte = got == 0;
    return got;
}

bool TComm::ReadByte(std::uint8_t& byte) {
    return Read(&byte, 1) == 1;
}

void TComm::PurgeBuffers() {
    if (!IsOpen())
        return;
    m_line->drain();
    m_line->discard();
}

int TComm::InputCount() {
    if (!IsOpen())
        return 0;
    return static_cast<int>(m_line->inputCount());
}

void TComm::setBaudRate(int index) {
    m_baudRate = index;
    if (IsOpen())
        applyFormat();
}

void TComm::setStopBits(TStopBits stopBits) {
    m_stopBits = stopBits;
    if (IsOpen())
        applyFormat();
}

void TComm::setParity(TParity parity) {
    m_parity = parity;
    if (IsOpen())
        applyFormat();
}

void TComm::setComNo(int comNo) {
    if (comNo <= 0 || comNo == m_comNo)
        return;
    Close();
    m_comNo = comNo;
}

void TComm::setDevicePath(const std::string& path) {
    if (path == m_devicePath)
        return;
    Close();
    m_devicePath = path;
}

void TComm::applyFormat() {
    LineFormat format{baudRateBits(m_baudRate), toLineParity(m_parity), toLineStopBits(m_stopBits)};
    AppliedFormat applied = m_line->configure(format);
    if (!applied.ok) {
        log("Порт " + DevicePath() + ": формат линии не установлен: " + applied.reason);
        return;
    }
    if (applied.stopBitsReplaced && !m_stopBitsNoted) {
        m_stopBitsNoted = true;
        log("1.5 стоповых бита в Linux недоступны, используются 2");
    }
    if (applied.baud != 0 && applied.baud != format.baud)
        log("Порт " + DevicePath() + ": скорость " + std::to_string(format.baud) + " бит/с заменена на " +
            std::to_string(applied.baud));
}

void TComm::log(const std::string& line) const {
    if (m_log)
        m_log(line);
}

} // namespace exchange
