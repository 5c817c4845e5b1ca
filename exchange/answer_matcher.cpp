#include "exchange/answer_matcher.h"

#include "base/crc_generator.h"
#include "protocol/function_evaluator.h"
#include "protocol/number_conversion.h"

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

using protocol::low16;

// What one match carries from field to field.
struct Match {
    AnswerWalk walk;
    protocol::TFunctionEvaluator& ev;
    base::TCRCGenerator& crc;
    const std::span<uint8_t>* destination;
    int64_t defaultOffset;
    uint32_t sizeRegister; // 16 bits wide
    uint32_t addrRegister = 0;
    std::vector<StagedStore> stores{};

    bool oneByte() const { return walk.has(1); }
    uint8_t byte() const { return walk.has(1) ? walk.at(0) : 0; }
    // Feeds the received bytes of a `count`-byte field that are there.
    void feedReceived(uint64_t count) {
        for (uint64_t i = 0; i < count && walk.has(i + 1); ++i)
            walk.feed(walk.at(i));
    }
};

// How one field went: whether it matched and how many bytes it takes.
struct FieldStep {
    bool ok;
    uint64_t takes = 1;
};

std::optional<int64_t> argument(Match& m, const protocol::CompiledField& field, size_t index) {
    return field.programs.size() > index ? protocol::evaluateRounded(m.ev, field.programs[index])
                                         : std::nullopt;
}

// A field that cannot match takes one byte; when it is there it still enters the CRC.
FieldStep refuse(Match& m) {
    if (m.oneByte())
        m.walk.feed(m.byte());
    return {false};
}

using protocol::FieldKind;

// A bracketed capture: the variable it sets and, for SIZE and ADDR, the register whose bits `mask`
// the byte replaces, `shift` bits up; the variable then takes the whole register.
struct Capture {
    FieldKind kind;
    const char* variable;
    uint32_t Match::*reg;
    int shift;
    uint32_t mask;
};

constexpr Capture kCaptures[] = {
    {FieldKind::CaptureRecipient, "RECIPIENT", nullptr, 0, 0},
    {FieldKind::CaptureErrorCode, "ERRORCODE", nullptr, 0, 0},
    {FieldKind::CaptureSize, "SIZE", &Match::sizeRegister, 0, 0xFFFFu},
    {FieldKind::CaptureSizeHigh, "SIZE", &Match::sizeRegister, 8, 0xFF00u},
    {FieldKind::CaptureSizeLow, "SIZE", &Match::sizeRegister, 0, 0x00FFu},
    {FieldKind::CaptureAddr, "ADDR", &Match::addrRegister, 0, 0xFFFFFFFFu},
    {FieldKind::CaptureAddrByte0, "ADDR", &Match::addrRegister, 0, 0x000000FFu},
    {FieldKind::CaptureAddrByte1, "ADDR", &Match::addrRegister, 8, 0x0000FF00u},
    {FieldKind::CaptureAddrByte2, "ADDR", &Match::addrRegister, 16, 0x00FF0000u},
    {FieldKind::CaptureAddrByte3, "ADDR", &Match::addrRegister, 24, 0xFF000000u},
};

// One byte into the capture's variable; the byte enters the CRC.
FieldStep capture(Match& m, const Capture& c) {
    if (!m.oneByte())
        return {false};
    const uint8_t b = m.byte();
    long double value = b;
    if (c.reg != nullptr) {
        uint32_t& reg = m.*c.reg;
        reg = (reg & ~c.mask) | (static_cast<uint32_t>(b) << c.shift);
        value = reg;
    }
    m.ev.SetVariableQuiet(c.variable, value);
    m.walk.feed(b);
    return {true};
}

// A capture, or any other bracketed field or malformed keyword form, which never matches.
FieldStep captureOrRefuse(Match& m, FieldKind kind) {
    for (const Capture& c : kCaptures)
        if (c.kind == kind)
            return capture(m, c);
    return refuse(m);
}

FieldStep matchOmitted(Match& m, const protocol::CompiledField& field) {
    if (field.argCount > 1)
        return refuse(m);
    std::optional<int64_t> n = 1;
    if (field.argCount == 1)
        n = argument(m, field, 0);
    const uint64_t takes = n ? static_cast<uint64_t>(std::max<int64_t>(*n, 0)) : 1;
    m.feedReceived(takes);
    return {n && m.walk.has(takes), takes};
}

// Whether the received bytes of a block equal the destination's from `start`; the destination's
// bytes enter the CRC.
bool verifyBlock(Match& m, int64_t start, uint64_t count) {
    bool same = true;
    for (uint64_t i = 0; i < count && m.walk.has(i + 1); ++i) {
        const uint8_t expected = (*m.destination)[static_cast<size_t>(start) + i];
        same = same && m.walk.at(i) == expected;
        m.walk.feed(expected);
    }
    return same;
}

// A bracketed block is stored into the destination (staged until the whole answer matched), an
// unbracketed one is verified against it.
FieldStep matchDataBlock(Match& m, const protocol::CompiledField& field, bool store) {
    if (m.destination == nullptr)
        return {m.oneByte()}; // it takes one byte and neither stores nor checks it
    const std::optional<int64_t> start = field.argCount >= 1 ? argument(m, field, 0) : m.defaultOffset;
    const std::optional<int64_t> count =
        field.argCount >= 2 ? argument(m, field, 1) : std::optional<int64_t>(m.sizeRegister);
    if (!start || !count)
        return refuse(m);
    const uint64_t takes = low16(*count);
    const bool inDestination = inside(m.destination, *start, takes);
    bool ok = inDestination && m.walk.has(takes);
    if (store || !inDestination)
        m.feedReceived(takes);
    else
        ok = verifyBlock(m, *start, takes) && ok;
    if (store && ok)
        m.stores.push_back(
            StagedStore{static_cast<size_t>(*start), m.walk.position(), static_cast<size_t>(takes)});
    return {ok, takes};
}

FieldStep matchBytes(Match& m, const protocol::CompiledField& field) {
    std::optional<int64_t> value, count;
    if (field.programs.size() == 2) {
        value = argument(m, field, 0);
        count = argument(m, field, 1);
    }
    if (!value || !count)
        return refuse(m);
    const uint64_t takes = low16(*count);
    // Compared as 16-bit values: a value above 255 never matches.
    const uint16_t expected = low16(*value);
    bool ok = m.walk.has(takes);
    for (uint64_t i = 0; i < takes && m.walk.has(i + 1); ++i) {
        ok = ok && m.walk.at(i) == expected;
        m.walk.feed(static_cast<uint8_t>(expected & 0xFFu));
    }
    return {ok, takes};
}

// LOW or HIGH of the CRC so far; the byte itself stays out of the CRC.
FieldStep matchCrcByte(Match& m, int shift) {
    return {m.oneByte() && m.byte() == ((m.crc.CRC() >> shift) & 0xFFu)};
}

FieldStep matchExpression(Match& m, const protocol::CompiledField& field) {
    const std::optional<int64_t> v = argument(m, field, 0);
    const bool ok = m.oneByte() && v && *v == m.byte();
    if (m.oneByte())
        m.walk.feed(m.byte());
    return {ok};
}

FieldStep matchField(Match& m, const protocol::CompiledField& field) {
    switch (field.kind) {
    case FieldKind::Omitted:
        return matchOmitted(m, field);
    case FieldKind::StoreDataBlock:
        return matchDataBlock(m, field, true);
    case FieldKind::DataBlock:
        return matchDataBlock(m, field, false);
    case FieldKind::Bytes:
        return matchBytes(m, field);
    case FieldKind::CrcLow:
        return matchCrcByte(m, 0);
    case FieldKind::CrcHigh:
        return matchCrcByte(m, 8);
    case FieldKind::PackCrcExpression:
        return {m.oneByte()}; // taken unchecked
    case FieldKind::Expression:
        return matchExpression(m, field);
    default:
        return captureOrRefuse(m, field.kind);
    }
}

struct WalkResult {
    int32_t failure = 0; // as MatchAnswer returns it
    uint64_t needed = 0; // a trial's least byte count that could match; 0 when none can
};

// The walk behind MatchAnswer. A trial (commit false) stops at the first failing field, tells how
// many bytes that field needed when they ran out, and stores nothing; the caller restores the
// variables.
WalkResult matchWalk(const protocol::TprCOMMANDS& commands, const protocol::CompiledTemplate& answer,
                     std::span<const uint8_t> received, const std::span<uint8_t>* destination,
                     int64_t defaultOffset, bool commit) {
    protocol::TFunctionEvaluator* ev = commands.evaluator();
    base::TCRCGenerator* crc = commands.crcGenerator();
    if (ev == nullptr || crc == nullptr)
        return {1, 0};
    ev->SetVariableQuiet("ERRORCODE", -1);
    crc->Reset();
    ev->SetVariableQuiet("PACK_CRC", crc->CRC());
    Match m{AnswerWalk(received, *crc),
            *ev,
            *crc,
            destination,
            defaultOffset,
            protocol::registerValue16(ev->GetVariable("SIZE"))};

    int32_t firstFailure = 0;
    int32_t fieldNumber = 0;
    for (const protocol::CompiledField& field : answer.fields) {
        ++fieldNumber;
        const uint64_t fieldStart = m.walk.taken();
        const FieldStep step = matchField(m, field);
        m.walk.take(step.takes);
        if (step.takes == 1)
            ev->SetVariableQuiet("PACK_CRC", crc->CRC());
        if (!step.ok && firstFailure == 0)
            firstFailure = fieldNumber;
        if (firstFailure != 0 && !commit) {
            // Bytes that are there and do not fit rule the template out; missing ones may still come.
            const uint64_t end = fieldStart + step.takes;
            return {firstFailure, end > received.size() && end > fieldStart ? end : 0};
        }
    }
    if (firstFailure == 0 && m.walk.taken() != received.size())
        firstFailure = fieldNumber + 1;
    if (firstFailure != 0 || !commit)
        return {firstFailure, firstFailure == 0 ? received.size() : 0};
    for (const StagedStore& s : m.stores)
        std::copy_n(received.begin() + static_cast<std::ptrdiff_t>(s.from), s.count,
                    destination->begin() + static_cast<std::ptrdiff_t>(s.address));
    return {};
}

} // namespace

int32_t MatchAnswer(const protocol::TprCOMMANDS& commands, const protocol::CompiledTemplate& answer,
                    std::span<const uint8_t> received, const std::span<uint8_t>* destination,
                    int64_t defaultOffset) {
    return matchWalk(commands, answer, received, destination, defaultOffset, true).failure;
}

uint64_t AnswerNeeds(const protocol::TprCOMMANDS& commands, const protocol::CompiledTemplate& answer,
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
