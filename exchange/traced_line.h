#pragma once
// A serial line that writes every frame it sends and every answer it receives into a frame trace,
// around the line that really talks to the device. As the exchange's observer it learns which
// command a frame belongs to and how the attempt ended; an answer's line is written then, stamped
// with the time of its first byte. Without a trace file the frames pass untouched; the file may be
// set and cleared between any two calls (the window's exchange log is switched on and off so).

#include "exchange/exchange_observer.h"
#include "exchange/frame_trace.h"
#include "exchange/serial_line.h"

#include <memory>
#include <string>
#include <vector>

namespace exchange {

class TracedLine final : public SerialLine, public ExchangeObserver {
  public:
    TracedLine(std::unique_ptr<SerialLine> inner, std::unique_ptr<FrameTraceFile> trace);

    // Null stops the trace.
    void setTrace(std::unique_ptr<FrameTraceFile> trace) { m_trace = std::move(trace); }
    bool tracing() const { return m_trace != nullptr; }

    bool open(const std::string& path, std::string& reason) override;
    void close() override;
    bool isOpen() const override;
    AppliedFormat configure(const LineFormat& format) override;
    bool setModemLines(bool dtr, bool rts) override;
    std::size_t read(std::span<std::uint8_t> buffer, ReadLimits limits) override;
    std::size_t write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;
    std::size_t inputCount() override;
    void drain() override;
    void discard() override;

    void attemptStarting(std::string_view command, int retry) override;
    void attemptEnded(ExchangeResult result) override;

  private:
    std::unique_ptr<SerialLine> m_inner;
    std::unique_ptr<FrameTraceFile> m_trace;
    std::string m_command;
    int m_retry = 0;
    bool m_inAttempt = false;
    std::vector<std::uint8_t> m_answer;
    std::int64_t m_answerStart = 0;
};

} // namespace exchange
