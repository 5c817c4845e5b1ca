#include "app/log.h"

#include "base/codepage.h"

#include <langinfo.h>

#include <array>
#include <cstdio>

namespace app {

namespace {

constexpr std::int32_t kFirstStartAddress = 17;
constexpr std::string_view kErrorBlockHeader = "-[ Ошибка ]------";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

// A locale's date or time format without its time zone directives: the log shows local time and a
// zone name or offset would only widen every line.
std::string withoutZone(const char* format) {
    std::string out;
    for (const char* p = format; p && *p; ++p) {
        if (p[0] == '%' && (p[1] == 'Z' || p[1] == 'z')) {
            while (!out.empty() && isBlank(out.back()))
                out.pop_back();
            ++p;
            continue;
        }
        out += *p;
        if (p[0] == '%' && p[1] != '\0')
            out += *++p;
    }
    return out;
}

std::string formatTm(const std::string& format, const std::tm& tm) {
    if (format.empty())
        return {};
    std::array<char, 256> buffer{};
    const size_t n = std::strftime(buffer.data(), buffer.size(), format.c_str(), &tm);
    return std::string(buffer.data(), n);
}

} // namespace

Log::Log(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [] { return std::chrono::system_clock::now(); };
}

void Log::AddLogLine(std::string_view text) {
    const std::time_t now = std::chrono::system_clock::to_time_t(m_clock());
    append("[" + formatLogTimestamp(now) + "]  " + singleLineText(text));
}

void Log::AddDeviceLogLine(std::string_view text) {
    const std::time_t now = std::chrono::system_clock::to_time_t(m_clock());
    const std::int32_t address = m_address ? m_address() : kFirstStartAddress;
    append("[" + formatLogTimestamp(now) + "]  (A=#" + std::to_string(address & 0xFF) + ") " +
           singleLineText(text));
}

void Log::ShowRawAnswer(std::span<const std::uint8_t> bytes) {
    std::string block(kErrorBlockHeader);
    block += '\n';
    for (const std::uint8_t b : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X\n", b);
        block += hex;
    }
    m_errorLog += block;
    if (m_sink)
        m_sink->errorLogAdded(block);
}

std::string Log::copyText() const {
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i)
            out += '\n';
        out += m_lines[i];
    }
    return out;
}

void Log::clear() {
    m_lines.clear();
    if (m_sink)
        m_sink->logCleared();
}

void Log::clearErrorLog() {
    m_errorLog.clear();
    if (m_sink)
        m_sink->errorLogCleared();
}

void Log::append(std::string line) {
    m_lines.push_back(std::move(line));
    if (m_sink)
        m_sink->lineAdded(m_lines.back());
}

std::string formatLogTimestamp(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    // The formats are those of LC_TIME as the program set it: the C locale's unless the shell chose the
    // user's locale with setlocale.
    std::string text =
        formatTm(withoutZone(nl_langinfo(D_FMT)), tm) + " " + formatTm(withoutZone(nl_langinfo(T_FMT)), tm);
    if (!base::isValidUtf8(text))
        text = base::cp1251ToUtf8(text);
    return text;
}

std::string singleLineText(std::string_view text) {
    std::string source;
    if (!base::isValidUtf8(text)) {
        source = base::cp1251ToUtf8(text);
        text = source;
    }
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isBreak(c)) {
            while (!out.empty() && isBlank(out.back()))
                out.pop_back();
            while (i < text.size() && (isBreak(text[i]) || isBlank(text[i])))
                ++i;
            if (!out.empty() && i < text.size())
                out += ' ';
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u == 0x7F) ? ' ' : c;
        ++i;
    }
    return out;
}

} // namespace app
