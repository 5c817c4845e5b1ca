#include "exchange/command_exchange.h"

#include "base/codepage.h"
#include "exchange/answer_matcher.h"
#include "exchange/comm.h"
#include "exchange/exchange_errors.h"
#include "exchange/exchange_observer.h"
#include "exchange/exchange_reporter.h"
#include "exchange/exchange_settings.h"
#include "exchange/frame_builder.h"
#include "exchange/retry_policy.h"
#include "protocol/function_evaluator.h"
#include "protocol/protocol_description.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <thread>
#include <vector>

namespace exchange {

namespace {

// Read timeout while the frame's own bytes are expected back and between two echo bytes.
constexpr int kEchoTimeoutMs = 20;

void pause(ExchangeContext& ctx, std::int32_t ms) {
    if (ms <= 0)
        return;
    if (ctx.sleep)
        ctx.sleep(std::chrono::milliseconds(ms));
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A variable's value rounded to the nearest integer (halves to even), limited to the 32-bit range.
std::int32_t roundedVariable(const protocol::TFunctionEvaluator& evaluator, std::string_view name) {
    const long double v = std::nearbyint(evaluator.GetVariable(name));
    if (!(v == v))
        return -1;
    return static_cast<std::int32_t>(std::clamp<long double>(v, INT32_MIN, INT32_MAX));
}

bool ignored(const protocol::TIgnoreList* ignore, std::int32_t code) {
    return ignore && std::find(ignore->Codes.begin(), ignore->Codes.end(), code) != ignore->Codes.end();
}

// Empties the port: its queues, then as many bytes as it still reports waiting (once, so that a device
// that never stops talking cannot hold the exchange here).
void clearPort(TComm& comm) {
    comm.PurgeBuffers();
    std::uint8_t sink[256];
    for (int waiting = comm.InputCount(); waiting > 0;) {
        const int n = comm.Read(sink, std::min<int>(waiting, sizeof sink));
        if (n <= 0)
            break;
        waiting -= n;
    }
}

// Watches the bytes of one answer as they arrive for the moment they form a whole answer or
// exception answer. Each template is tried again only once enough bytes are there for it, and no
// more once the bytes rule it out.
class AnswerEndWatch {
  public:
    AnswerEndWatch(const protocol::TprCOMMAND& command, const protocol::TprCOMMANDS& commands,
                   const ListBuffers& buffers)
        : m_commands(commands), m_templates{&command.compiledAnswer(), &command.compiledExceptn()},
          m_destination(buffers.receive), m_offset(buffers.receiveOffset) {}

    bool complete(std::span<const std::uint8_t> answer) {
        const std::span<std::uint8_t>* destination = m_destination.empty() ? nullptr : &m_destination;
        for (std::size_t i = 0; i < m_templates.size(); ++i) {
            if (m_needed[i] == 0 || answer.size() < m_needed[i])
                continue;
            m_needed[i] = AnswerNeeds(m_commands, *m_templates[i], answer, destination, m_offset);
            if (m_needed[i] == answer.size())
                return true;
        }
        return false;
    }

  private:
    const protocol::TprCOMMANDS& m_commands;
    std::array<const protocol::CompiledTemplate*, 2> m_templates;
    std::array<std::uint64_t, 2> m_needed{1, 1};
    std::span<std::uint8_t> m_destination;
    std::int64_t m_offset;
};

// Collects one answer into `received`: the first byte is awaited for the answer timeout, counted from
// when the frame has left the wire; the answer ends after a gap of one character time + 20 ms, at
// kMaxAnswerBytes, or (by template) as soon as the bytes form a whole answer, leaving whatever follows
// for the next purge.
std::size_t collectAnswer(ExchangeContext& ctx, const protocol::TprCOMMAND& command,
                          std::vector<std::uint8_t>& received, const ListBuffers& buffers, bool byTemplate) {
    TComm& comm = ctx.comm;
    comm.setReadTimeout(command.effectiveAnswerTimeout() +
                        static_cast<int>(comm.RemainingWireTime().count()));
    const int gapMs = answerGapMs(baudRateBits(comm.BaudRate()));
    AnswerEndWatch watch(command, ctx.protocol.Commands, buffers);
    std::size_t count = 0;
    std::uint8_t byte = 0;
    while (count < kMaxAnswerBytes && comm.ReadByte(byte)) {
        received[count++] = byte;
        if (byTemplate && watch.complete(std::span<const std::uint8_t>(received.data(), count)))
            break;
        comm.setReadTimeout(gapMs);
    }
    return count;
}

// Builds the command's frame into `frame`: the bytes to send, or none when it cannot be built (the
// device log says why).
std::optional<std::span<const std::uint8_t>> buildCommandFrame(ExchangeContext& ctx,
                                                               const protocol::TprCOMMAND& command,
                                                               const ListBuffers& buffers,
                                                               std::vector<std::uint8_t>& frame) {
    const std::span<const std::uint8_t> source = buffers.send;
    const FrameResult built = BuildFrame(ctx.protocol.Commands, command, buffers.sendOffset,
                                         source.empty() ? nullptr : &source, std::span<std::uint8_t>(frame));
    if (!built.built) {
        ctx.reporter.deviceLogLine(built.message);
        return std::nullopt;
    }
    // The frame goes out as built, 0xAA in the field's place, as devices expect; the log says so.
    if (built.result != 0)
        ctx.reporter.deviceLogLine("Команда \"" + command.Name + "\": поле " + std::to_string(built.result) +
                                   " не вычислено, вместо него передано 0xAA");
    return std::span<const std::uint8_t>(frame.data(), static_cast<std::size_t>(built.length));
}

// Empties the port and writes the frame of attempt `retry` (0 for the first); the read timeout is
// then the echo's.
void send(ExchangeContext& ctx, std::span<const std::uint8_t> frame, const std::string& command, int retry) {
    TComm& comm = ctx.comm;
    clearPort(comm);
    if (ctx.observer)
        ctx.observer->attemptStarting(command, retry);
    comm.Write(frame.data(), static_cast<int>(frame.size()));
    comm.setReadTimeout(kEchoTimeoutMs);
}

// Tells the observer, when there is one, how an attempt ended.
void attemptEnded(ExchangeContext& ctx, ExchangeResult result) {
    if (ctx.observer)
        ctx.observer->attemptEnded(result);
}

// Whether the frame's own bytes came back, in order.
bool echoReturned(TComm& comm, std::span<const std::uint8_t> frame) {
    for (std::uint8_t sent : frame) {
        std::uint8_t back = 0;
        if (!comm.ReadByte(back) || back != sent)
            return false;
    }
    return true;
}

// What every attempt of one command needs.
struct CommandRun {
    ExchangeContext& ctx;
    const protocol::TprCOMMAND& command;
    const protocol::TIgnoreList* ignore;
    const ListBuffers& buffers;
    bool echo;
    bool byTemplate; // the answer ends as soon as it forms a whole answer
};

// Matches the answer against the answer template, then the exception template. A match sets the
// outcome's answer kind and size; bytes matching neither go to the error log.
AttemptResult classify(const CommandRun& run, std::span<const std::uint8_t> answer, ListOutcome& out) {
    const protocol::TprCOMMANDS& commands = run.ctx.protocol.Commands;
    std::span<std::uint8_t> destination = run.buffers.receive;
    const std::span<std::uint8_t>* destinationPtr = destination.empty() ? nullptr : &destination;
    const std::int64_t offset = run.buffers.receiveOffset;
    AttemptResult result;
    if (MatchAnswer(commands, run.command.compiledAnswer(), answer, destinationPtr, offset) == 0) {
        out.answerKind = kAnswerNormal;
    } else if (MatchAnswer(commands, run.command.compiledExceptn(), answer, destinationPtr, offset) == 0) {
        out.answerKind = kAnswerException;
        const std::int32_t code = roundedVariable(run.ctx.evaluator, "ERRORCODE");
        result = {AttemptEnd::Exception, code, ignored(run.ignore, code)};
    } else {
        run.ctx.reporter.rawAnswer(answer);
        return {AttemptEnd::Garbled};
    }
    out.size = roundedVariable(run.ctx.evaluator, "SIZE");
    return result;
}

// One attempt after its frame was sent: the echo, the answer, what the answer is.
AttemptResult runAttempt(const CommandRun& run, std::span<const std::uint8_t> frame,
                         std::vector<std::uint8_t>& received, ListOutcome& out) {
    TComm& comm = run.ctx.comm;
    if (run.echo && !echoReturned(comm, frame))
        return {comm.WaitAbandoned() ? AttemptEnd::Cancelled : AttemptEnd::NoEcho};
    out.answerKind = kAnswerNone;
    const std::size_t count = collectAnswer(run.ctx, run.command, received, run.buffers, run.byTemplate);
    if (comm.WaitAbandoned())
        return {AttemptEnd::Cancelled};
    if (count == 0)
        return {AttemptEnd::NoAnswer};
    return classify(run, std::span<const std::uint8_t>(received.data(), count), out);
}

} // namespace

int answerGapMs(std::uint32_t bitsPerSecond) {
    const std::uint32_t charsPerSecond = bitsPerSecond / 10;
    if (charsPerSecond == 0)
        return 1000 + 20;
    return static_cast<int>(std::lround(1000.0 / charsPerSecond)) + 20;
}

ListOutcome ExecuteCommand(ExchangeContext& ctx, const protocol::TprCOMMAND& command,
                           const protocol::TIgnoreList* ignore, const ListBuffers& buffers) {
    ListOutcome out;
    out.answerKind = kAnswerNone;
    std::vector<std::uint8_t> frame(kSendBufferSize, kSendFill);
    const std::optional<std::span<const std::uint8_t>> frameBytes =
        buildCommandFrame(ctx, command, buffers, frame);
    if (!frameBytes) {
        out.result = kFrameNotBuilt;
        return out;
    }
    if (frameBytes->empty()) {
        pause(ctx, command.AnswerTimeout);
        return out;
    }
    if (command.storedAnswer().empty()) {
        // Nothing to read: the command's time passes after the frame instead.
        send(ctx, *frameBytes, command.Name, 0);
        pause(ctx, command.AnswerTimeout);
        attemptEnded(ctx, out.result);
        return out;
    }

    const CommandRun run{
        ctx, command, ignore, buffers, ctx.settings.echo(), ctx.settings.answerEndsByTemplate()};
    const int mode = command.effectiveExceptionMode();
    std::vector<std::uint8_t> received(kReceiveBufferSize, kReceiveFill);
    for (int attempt = 1;; ++attempt) {
        send(ctx, *frameBytes, command.Name, attempt - 1);
        const AttemptResult result = runAttempt(run, *frameBytes, received, out);
        const bool repeatGarbled = result.end == AttemptEnd::Garbled && ctx.settings.repeatGarbled();
        const AttemptVerdict verdict = nextStep(mode, result, repeatGarbled, attempt);
        if (verdict.counted)
            ++ctx.CommErrors;
        out.result = verdict.result;
        attemptEnded(ctx, out.result);
        if (!verdict.again)
            return out;
    }
}

ListOutcome ExecuteActionList(ExchangeContext& ctx, int listIndex, const ListBuffers& buffers) {
    ListOutcome out;
    const std::string password = ctx.settings.password();
    ctx.protocol.Commands.Password = base::utf8ToCp1251(password).value_or(password);

    std::optional<std::string> fault = protocol::actionListFault(ctx.protocol, listIndex);
    if (fault) {
        if (ctx.Quiet) {
            ctx.reporter.deviceLogLine(*fault);
        } else {
            if (ctx.StopExchange)
                ctx.StopExchange();
            ctx.reporter.error("ОШИБКА! ", *fault);
        }
        out.result = kListNotRunnable;
        return out;
    }

    const protocol::TVLMAction& list = ctx.protocol.ActionLists[static_cast<std::size_t>(listIndex)];
    for (std::int32_t step = 0; step < list.StepCount; ++step) {
        if (!list.StepEnabled[static_cast<std::size_t>(step)])
            continue;
        const protocol::TprCOMMAND& command =
            ctx.protocol
                .Commands[static_cast<std::size_t>(list.StepCommands[static_cast<std::size_t>(step)])];
        out = ExecuteCommand(ctx, command, protocol::stepIgnoreList(ctx.protocol, list, step), buffers);
        if (!ReportExchangeError(ctx, out.result, command.Name))
            return out;
    }
    out.result = kExchangeOk;
    return out;
}

} // namespace exchange
