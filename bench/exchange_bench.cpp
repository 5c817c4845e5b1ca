// The time of one exchange over a pseudo-terminal against the bound the port's timeouts imply.
//
// A device on the master side answers a MODBUS read request at once. The exchange then spends: the
// first-byte wait (close to 0 here), the answer bytes, and after the last byte one single-byte read
// that finds nothing, which by the port's rule waits twice the end-of-answer gap
// (round(1000 / (baud div 10)) + 20 ms). So one exchange should take about 2 × gap: compare the real
// time per exchange with bound_ms; the CPU time is the exchange's own cost.

#include "app/exchange_link.h"
#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/protocol_variables.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "base/crc_generator.h"
#include "exchange/comm.h"
#include "exchange/command_exchange.h"
#include "exchange/posix_serial_line.h"
#include "image/dump_versioned_file.h"
#include "protocol/evaluator_setup.h"
#include "protocol/protocol_description.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// MODBUS RTU's frame check: polynomial 0x8005 reflected, from 0xFFFF, no final XOR. The frames'
// PACK_CRC sends it low byte first.
base::TCRCGenerator modbusCrc() {
    return base::TCRCGenerator(16, 0x8005, 0xFFFF, true, false, 0);
}

Bytes withCrc(Bytes frame) {
    base::TCRCGenerator crc = modbusCrc();
    const std::uint32_t value = crc.AddBytes(frame.data(), static_cast<std::int64_t>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(value));
    frame.push_back(static_cast<std::uint8_t>(value >> 8));
    return frame;
}

class NoMessages : public app::MessageSink {
  public:
    bool showMessage(std::string_view, std::string_view, app::MessageKind) override { return true; }
};

// A device that answers every request with `answer` as soon as the request has arrived.
class EchoDevice {
  public:
    explicit EchoDevice(Bytes answer) : m_answer(std::move(answer)) {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        m_slavePath = ptsname(m_master);
        // Keep a slave descriptor open so the master stays usable between opens of the slave path.
        m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
        m_thread = std::thread([this] { run(); });
    }
    ~EchoDevice() {
        m_stop = true;
        m_thread.join();
        ::close(m_slave);
        ::close(m_master);
    }
    const std::string& path() const { return m_slavePath; }

  private:
    void run() {
        std::uint8_t buf[512];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            std::size_t got = 0;
            // The request is 8 bytes; collect them, then answer at once.
            while (got < 8) {
                const ssize_t n = ::read(m_master, buf + got, sizeof buf - got);
                if (n <= 0)
                    break;
                got += static_cast<std::size_t>(n);
            }
            if (::write(m_master, m_answer.data(), m_answer.size()) < 0)
                break;
        }
    }

    Bytes m_answer;
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void BM_ExchangeOverPty(benchmark::State& state) {
    const int baudIndex = static_cast<int>(state.range(0));
    EchoDevice device(withCrc({0x11, 0x03, 0x04, 0xDE, 0xAD, 0xBE, 0xEF}));

    char dirTemplate[] = "/tmp/velmora-bench-XXXXXX";
    const std::filesystem::path dir = mkdtemp(dirTemplate);
    {
        app::SettingsStore settings(dir / "prog.ini");
        app::Log log;
        NoMessages messages;
        app::MainState mainState;
        mainState.activeProfile = "default";
        protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
        protocol::TProtocol protocol;
        protocol.CRCGenerator = modbusCrc();
        protocol.Commands.setEvaluator(&evaluator);
        image::TDUMPVersionedFile image;
        image.Clear();
        exchange::TComm comm(std::make_unique<exchange::PosixSerialLine>());
        comm.setDevicePath(device.path());
        comm.setBaudRate(baudIndex);
        app::ExchangeLink link(settings, log, messages, mainState);
        exchange::ExchangeContext ctx(comm, protocol, evaluator, link, link);
        app::ViewNotifications view;
        app::SetProtocolVariables(ctx, {settings, mainState, image, log, messages, view});
        protocol::TprCOMMAND& read = protocol.Commands.Add();
        read.Name = "READ";
        read.AnswerTimeout = 1000;
        protocol.Commands.setCommand(read, "RECIPIENT;3;0;0;0;2;LOW(PACK_CRC);HIGH(PACK_CRC);");
        protocol.Commands.setAnswer(read, "RECIPIENT;3;<SIZE>;<DATABLOCK>;LOW(PACK_CRC);HIGH(PACK_CRC);");
        if (!comm.Open()) {
            state.SkipWithError("cannot open the pseudo-terminal");
            return;
        }
        exchange::ListBuffers buffers;
        buffers.receive = image.Data.span();
        buffers.receiveOffset = 0x2100;

        int failures = 0;
        for (auto _ : state) {
            const auto out = exchange::ExecuteCommand(ctx, read, nullptr, buffers);
            if (out.result != 0)
                ++failures;
        }
        const double gap = exchange::answerGapMs(exchange::baudRateBits(baudIndex));
        state.counters["bound_ms"] = 2 * gap;
        state.counters["failures"] = failures;
    }
    std::filesystem::remove_all(dir);
}

} // namespace

// 9600 bit/s (gap 21 ms), 19200 (21 ms), 115200 (20 ms) and 110 (111 ms).
BENCHMARK(BM_ExchangeOverPty)
    ->Arg(exchange::BR___9600)
    ->Arg(exchange::BR__19200)
    ->Arg(exchange::BR_115200)
    ->Arg(exchange::BR____110)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
