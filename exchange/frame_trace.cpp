#include "exchange/frame_trace.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace exchange {

std::int64_t traceClock() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string traceLine(const TraceRecord& r) {
    std::string line = std::to_string(r.micros);
    line += r.sent ? "\tTX\t" : "\tRX\t";
    // A tab or line break in a command name would split the line's fields.
    for (char c : r.command)
        line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    line += '\t';
    line += r.retry ? std::to_string(*r.retry) : "-";
    line += '\t';
    line += r.result ? std::to_string(*r.result) : "-";
    line += '\t';
    char hex[4];
    for (size_t i = 0; i < r.bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", r.bytes[i]);
        line += hex;
    }
    return line;
}

FrameTraceFile::~FrameTraceFile() {
    if (m_file)
        std::fclose(m_file);
}

bool FrameTraceFile::open(const std::string& path, std::string& error, bool append) {
    m_file = std::fopen(path.c_str(), append ? "a" : "w");
    if (!m_file)
        error = std::strerror(errno);
    return m_file != nullptr;
}

void FrameTraceFile::write(const TraceRecord& record) {
    if (!m_file)
        return;
    const std::string line = traceLine(record);
    std::fprintf(m_file, "%s\n", line.c_str());
    std::fflush(m_file);
}

} // namespace exchange
