#include "exchange/answer_matcher.h"

#include "base/crc_generator.h"
#include "protocol/function_evaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace exchange {
namespace {

struct StagedStore {
    size_t address;
    size_t from; // position in the received bytes
    size_t count;
};

class AnswerWalk {
  public:
    AnswerWalk(std::span<const uint8_t> received, base::TCRCGenerator& crc)
        : m_received(received), m_crc(crc) {}

    // Number of received bytes still available from the current position.
    size_t available() const { return m_pos < m_received.size() ? m_received.size() - m_pos : 0; }
    bool has(uint64_t count) const { return count <= available(); }
    uint8_t at(uint64_t offset) const { return m_received[m_pos + offset]; }
    size_t position() const { return m_pos; }

    // Takes `count` bytes: the position moves on even past the end, so the length rule fails.
    void take(uint64_t count) {
        const uint64_t room = std::numeric_limits<uint64_t>::max() - m_taken;
        m_taken += std::min(count, room);
        m_pos = static_cast<size_t>(std::min<uint64_t>(m_taken, m_received.size() + 1));
    }
    void feed(uint8_t byte) { m_crc.AddByte(byte); }
    uint64_t taken() const { return m_taken; }

  private:
    std::span<const uint8_t> m_received;
    base::TCRCGenerator& m_crc;
    size_t m_pos = 0;
    uint64_t m_taken = 0;
};

bool inside(const std::span<uint8_t>* buffer, int64_t start, uint64_t count) {
    return buffer != nullptr && start >= 0 && static_cast<uint64_t>(start) <= buffer->size() &&
           count <= buffer->size() - static_cast<uint64_t>(start);
}

uint16_t low16(int64_t v) {
    return static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFFu);
}

struct WalkResult {
    int32_t failure = 0; // as MatchAnswer returns it
    uint64_t needed = 0; // a trial's least byte count that could match; 0 when none can
};

// The walk behind MatchAnswer. A trial (commit false) stops at the first failing field, tells how
// many bytes that field needed when they ran out, and stores nothing; the caller restores the
// variables.
WalkResult matchWalk(const protocol::TprCOMMANDS& commands, const protocol::TCompiledTemplate& answer,
                     std::span<const uint8_t> received, const std::span<uint8_t>* destination,
                     int64_t defaultOffset, bool commit) {
    protocol::TFunctionEvaluator* ev = commands.evaluator();
    base::TCRCGenerator* crc = commands.crcGenerator();
    if (ev == nullptr || crc == nullptr)
        return {1, 0};
    ev->SetVariableQuiet("ERRORCODE", -1);
    crc->Reset();
    ev->SetVariableQuiet("PACK_CRC", crc->CRC());
    uint16_t sizeRegister = protocol::registerValue16(ev->GetVariable("SIZE"));
    uint32_t addrRegister = 0;

    AnswerWalk walk(received, *crc);
    std::vector<StagedStore> stores;
    int32_t firstFailure = 0;
    int32_t fieldNumber = 0;
    for (const protocol::TCompiledField& field : answer.fields) {
        ++fieldNumber;
        const uint64_t fieldStart = walk.taken();
        bool ok = true;
        uint64_t takes = 1;
        const bool oneByte = walk.has(1);
        const uint8_t byte = oneByte ? walk.at(0) : 0;

        auto captureAddr = [&](int shift, uint32_t mask) {
            addrRegister = (addrRegister & ~mask) | (static_cast<uint32_t>(byte) << shift);
            ev->SetVariableQuiet("ADDR", addrRegister);
        };

        switch (field.kind) {
        case protocol::FieldKind::CaptureRecipient:
        case protocol::FieldKind::CaptureSize:
        case protocol::FieldKind::CaptureSizeHigh:
        case protocol::FieldKind::CaptureSizeLow:
        case protocol::FieldKind::CaptureAddr:
        case protocol::FieldKind::CaptureAddrByte0:
        case protocol::FieldKind::CaptureAddrByte1:
        case protocol::FieldKind::CaptureAddrByte2:
        case protocol::FieldKind::CaptureAddrByte3:
        case protocol::FieldKind::CaptureErrorCode:
            if (!oneByte) {
                ok = false;
                break;
            }
            switch (field.kind) {
            case protocol::FieldKind::CaptureRecipient:
                ev->SetVariableQuiet("RECIPIENT", byte);
                break;
            case protocol::FieldKind::CaptureSize:
                sizeRegister = byte;
                ev->SetVariableQuiet("SIZE", sizeRegister);
                break;
            case protocol::FieldKind::CaptureSizeHigh:
                sizeRegister = static_cast<uint16_t>((sizeRegister & 0x00FFu) | (byte << 8));
                ev->SetVariableQuiet("SIZE", sizeRegister);
                break;
            case protocol::FieldKind::CaptureSizeLow:
                sizeRegister = static_cast<uint16_t>((sizeRegister & 0xFF00u) | byte);
                ev->SetVariableQuiet("SIZE", sizeRegister);
                break;
            case protocol::FieldKind::CaptureAddr:
                captureAddr(0, 0xFFFFFFFFu);
                break;
            case protocol::FieldKind::CaptureAddrByte0:
                captureAddr(0, 0x000000FFu);
                break;
            case protocol::FieldKind::CaptureAddrByte1:
                captureAddr(8, 0x0000FF00u);
                break;
            case protocol::FieldKind::CaptureAddrByte2:
                captureAddr(16, 0x00FF0000u);
                break;
            case protocol::FieldKind::CaptureAddrByte3:
                captureAddr(24, 0xFF000000u);
                break;
            default:
                ev->SetVariableQuiet("ERRORCODE", byte);
                break;
            }
            walk.feed(byte);
            break;

        case protocol::FieldKind::Omitted: {
            if (field.argCount > 1) {
                ok = false;
                if (oneByte)
                    walk.feed(byte);
                break;
            }
            int64_t n = 1;
            if (field.argCount == 1) {
                auto v =
                    field.programs.empty() ? std::nullopt : protocol::evaluateRounded(*ev, field.programs[0]);
                if (!v) {
                    ok = false;
                    n = 1;
                } else {
                    n = std::max<int64_t>(*v, 0);
                }
            }
            takes = static_cast<uint64_t>(n);
            for (uint64_t i = 0; i < takes && walk.has(i + 1); ++i)
                walk.feed(walk.at(i));
            if (!walk.has(takes))
                ok = false;
            break;
        }

        case protocol::FieldKind::StoreDataBlock:
        case protocol::FieldKind::DataBlock: {
            const bool store = field.kind == protocol::FieldKind::StoreDataBlock;
            if (destination == nullptr) {
                // Without a destination the field takes one byte and neither stores nor checks it.
                ok = oneByte;
                break;
            }
            std::optional<int64_t> start =
                field.argCount >= 1 ? protocol::evaluateRounded(*ev, field.programs[0]) : defaultOffset;
            std::optional<int64_t> count = field.argCount >= 2
                                               ? protocol::evaluateRounded(*ev, field.programs[1])
                                               : std::optional<int64_t>(sizeRegister);
            if (!start || !count) {
                ok = false;
                if (oneByte)
                    walk.feed(byte);
                break;
            }
            takes = low16(*count);
            const bool inDestination = inside(destination, *start, takes);
            if (!inDestination || !walk.has(takes))
                ok = false;
            for (uint64_t i = 0; i < takes && walk.has(i + 1); ++i) {
                const uint8_t got = walk.at(i);
                if (store || !inDestination) {
                    walk.feed(got);
                } else {
                    const uint8_t expected = (*destination)[static_cast<size_t>(*start) + i];
                    if (got != expected)
                        ok = false;
                    walk.feed(expected);
                }
            }
            if (store && ok)
                stores.push_back(
                    StagedStore{static_cast<size_t>(*start), walk.position(), static_cast<size_t>(takes)});
            break;
        }

        case protocol::FieldKind::Bytes: {
            std::optional<int64_t> value, count;
            if (field.programs.size() == 2) {
                value = protocol::evaluateRounded(*ev, field.programs[0]);
                count = protocol::evaluateRounded(*ev, field.programs[1]);
            }
            if (!value || !count) {
                ok = false;
                if (oneByte)
                    walk.feed(byte);
                break;
            }
            takes = low16(*count);
            // Compared as 16-bit values: a value above 255 never matches.
            const uint16_t expected = low16(*value);
            if (!walk.has(takes))
                ok = false;
            for (uint64_t i = 0; i < takes; ++i) {
                if (walk.has(i + 1) && walk.at(i) != expected)
                    ok = false;
                if (!walk.has(i + 1))
                    break;
                walk.feed(static_cast<uint8_t>(expected & 0xFFu));
            }
            break;
        }

        case protocol::FieldKind::CrcLow:
            ok = oneByte && byte == (crc->CRC() & 0xFFu);
            break;
        case protocol::FieldKind::CrcHigh:
            ok = oneByte && byte == ((crc->CRC() >> 8) & 0xFFu);
            break;
        case protocol::FieldKind::PackCrcExpression:
            ok = oneByte;
            break;

        case protocol::FieldKind::Expression: {
            auto v =
                field.programs.empty() ? std::nullopt : protocol::evaluateRounded(*ev, field.programs[0]);
            ok = oneByte && v && *v == byte;
            if (oneByte)
                walk.feed(byte);
            break;
        }

        default: // any other bracketed field, or a malformed keyword form
            ok = false;
            if (oneByte)
                walk.feed(byte);
            break;
        }

        walk.take(takes);
        if (takes == 1)
            ev->SetVariableQuiet("PACK_CRC", crc->CRC());
        if (!ok && firstFailure == 0)
            firstFailure = fieldNumber;
        if (firstFailure != 0 && !commit) {
            // Bytes that are there and do not fit rule the template out; missing ones may still come.
            const uint64_t end = fieldStart + takes;
            return {firstFailure, end > received.size() && end > fieldStart ? end : 0};
        }
    }
    if (firstFailure == 0 && walk.taken() != received.size())
        firstFailure = fieldNumber + 1;
    if (firstFailure != 0 || !commit)
        return {firstFailure, firstFailure == 0 ? received.size() : 0};
    for (const StagedStore& s : stores)
        std::copy_n(received.begin() + static_cast<std::ptrdiff_t>(s.from), s.count,
                    destination->begin() + static_cast<std::ptrdiff_t>(s.address));
    return {};
}

} // namespace

int32_t MatchAnswer(const protocol::TprCOMMANDS& commands, const protocol::TCompiledTemplate& answer,
                    std::span<const uint8_t> received, const std::span<uint8_t>* destination,
                    int64_t defaultOffset) {
    return matchWalk(commands, answer, received, destination, defaultOffset, true).failure;
}

uint64_t AnswerNeeds(const protocol::TprCOMMANDS& commands, const protocol::TCompiledTemplate& answer,
                     std::span<const uint8_t> received, const std::span<uint8_t>* destination,
                     int64_t defaultOffset) {
    protocol::TFunctionEvaluator* ev = commands.evaluator();
    if (ev == nullptr || commands.crcGenerator() == nullptr || answer.fields.empty())
        return 0;
    protocol::TEquationPol variables = ev->Variables();
    const WalkResult walk = matchWalk(commands, answer, received, destination, defaultOffset, false);
    ev->RestoreVariables(std::move(variables));
    return walk.needed;
}

} // namespace exchange
