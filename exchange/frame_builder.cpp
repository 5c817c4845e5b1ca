#include "exchange/frame_builder.h"

#include "base/crc_generator.h"
#include "protocol/function_evaluator.h"
#include "protocol/number_conversion.h"

#include <optional>
#include <vector>

namespace exchange {
namespace {

class FrameWriter {
  public:
    FrameWriter(std::span<uint8_t> frame, base::TCRCGenerator& crc) : m_frame(frame), m_crc(crc) {}

    bool fits(uint64_t count) const { return count <= m_frame.size() - m_length; }
    size_t length() const { return m_length; }

    void emit(uint8_t byte, bool intoCrc) {
        m_frame[m_length++] = byte;
        if (intoCrc)
            m_crc.AddByte(byte);
    }
    // A position that could not be computed: counted, left as it is, outside the CRC.
    void skip(size_t count) { m_length += count; }

  private:
    std::span<uint8_t> m_frame;
    base::TCRCGenerator& m_crc;
    size_t m_length = 0;
};

using protocol::low16;

uint8_t low8(int64_t v) {
    return static_cast<uint8_t>(static_cast<uint64_t>(v) & 0xFFu);
}

// What one frame carries from field to field.
struct Frame {
    FrameWriter writer;
    protocol::TFunctionEvaluator& ev;
    const protocol::TprCOMMANDS& commands;
    const std::span<const uint8_t>* source;
    int64_t defaultOffset;
    uint16_t defaultSize; // a DATABLOCK's length when it names none
};

// How one field went. Each handler counts the field's bytes first, so that nothing is written when
// they would not fit.
enum class FieldBuild { Built, NotComputed, TooLong };

std::optional<int64_t> argument(Frame& f, const protocol::CompiledField& field, size_t index) {
    return field.programs.size() > index ? protocol::evaluateRounded(f.ev, field.programs[index])
                                         : std::nullopt;
}

FieldBuild buildPassword(Frame& f) {
    uint64_t needed = 0;
    for (char c : f.commands.Password)
        needed += c != '\0';
    if (!f.writer.fits(needed))
        return FieldBuild::TooLong;
    for (char c : f.commands.Password)
        if (c != '\0')
            f.writer.emit(static_cast<uint8_t>(c), true);
    return FieldBuild::Built;
}

// The entry count, then each entry low byte first.
FieldBuild buildAppCmpt(Frame& f) {
    const std::vector<uint16_t>& list = f.commands.CompatibilityList;
    if (!f.writer.fits(1 + 2 * static_cast<uint64_t>(list.size())))
        return FieldBuild::TooLong;
    f.writer.emit(static_cast<uint8_t>(list.size() & 0xFFu), true);
    for (uint16_t entry : list) {
        f.writer.emit(static_cast<uint8_t>(entry & 0xFFu), true);
        f.writer.emit(static_cast<uint8_t>(entry >> 8), true);
    }
    return FieldBuild::Built;
}

// Version byte k goes to offset 2k; the positions between keep the buffer's fill.
FieldBuild buildAppVer(Frame& f) {
    if (!f.writer.fits(2 * f.commands.VersionBlock.size()))
        return FieldBuild::TooLong;
    for (uint8_t b : f.commands.VersionBlock) {
        f.writer.emit(b, true);
        f.writer.skip(1);
    }
    return FieldBuild::Built;
}

// Source bytes from the start address; an address outside the source keeps its position.
FieldBuild buildDataBlock(Frame& f, const protocol::CompiledField& field) {
    if (f.source == nullptr)
        return FieldBuild::Built; // no bytes at all
    const std::optional<int64_t> start = field.argCount >= 1 ? argument(f, field, 0) : f.defaultOffset;
    const std::optional<int64_t> count = field.argCount >= 2 ? argument(f, field, 1) : f.defaultSize;
    if (!start || !count)
        return FieldBuild::NotComputed;
    const uint64_t needed = low16(*count);
    if (!f.writer.fits(needed))
        return FieldBuild::TooLong;
    FieldBuild built = FieldBuild::Built;
    for (uint64_t i = 0; i < needed; ++i) {
        const int64_t address = *start + static_cast<int64_t>(i);
        if (address >= 0 && static_cast<uint64_t>(address) < f.source->size()) {
            f.writer.emit((*f.source)[static_cast<size_t>(address)], true);
        } else {
            f.writer.skip(1);
            built = FieldBuild::NotComputed;
        }
    }
    return built;
}

FieldBuild buildBytes(Frame& f, const protocol::CompiledField& field) {
    std::optional<int64_t> value, count;
    if (field.programs.size() == 2) {
        value = argument(f, field, 0);
        count = argument(f, field, 1);
    }
    const uint64_t needed = count ? low16(*count) : 0;
    if (!f.writer.fits(needed))
        return FieldBuild::TooLong;
    if (!value || !count) {
        // The count is known even when the value is not: the positions are kept.
        f.writer.skip(needed);
        return FieldBuild::NotComputed;
    }
    for (uint64_t i = 0; i < needed; ++i)
        f.writer.emit(low8(*value), true);
    return FieldBuild::Built;
}

// One byte, the value; a PACK_CRC expression's byte stays out of the CRC.
FieldBuild buildExpression(Frame& f, const protocol::CompiledField& field) {
    const std::optional<int64_t> value = argument(f, field, 0);
    if (!f.writer.fits(1))
        return FieldBuild::TooLong;
    if (!value) {
        f.writer.skip(1);
        return FieldBuild::NotComputed;
    }
    f.writer.emit(low8(*value), field.kind != protocol::FieldKind::PackCrcExpression);
    return FieldBuild::Built;
}

FieldBuild buildField(Frame& f, const protocol::CompiledField& field) {
    using protocol::FieldKind;
    switch (field.kind) {
    case FieldKind::Password:
        return buildPassword(f);
    case FieldKind::AppCmpt:
        return buildAppCmpt(f);
    case FieldKind::AppVer:
        return buildAppVer(f);
    case FieldKind::DataBlock:
        return buildDataBlock(f, field);
    case FieldKind::Bytes:
        return buildBytes(f, field);
    case FieldKind::BadForm: // no bytes
        return field.faulty ? FieldBuild::NotComputed : FieldBuild::Built;
    default:
        return buildExpression(f, field);
    }
}

} // namespace

FrameResult BuildFrame(const protocol::TprCOMMANDS& commands, const protocol::CompiledTemplate& command,
                       int64_t defaultOffset, const std::span<const uint8_t>* source,
                       std::span<uint8_t> frame) {
    FrameResult out;
    protocol::TFunctionEvaluator* ev = commands.evaluator();
    base::TCRCGenerator* crc = commands.crcGenerator();
    if (ev == nullptr || crc == nullptr) {
        out.built = false;
        out.message = "Не заданы вычислитель выражений или генератор CRC";
        return out;
    }
    crc->Reset();
    ev->SetVariableQuiet("PACK_CRC", crc->CRC());
    Frame f{FrameWriter(frame, *crc),
            *ev,
            commands,
            source,
            defaultOffset,
            protocol::registerValue16(ev->GetVariable("SIZE"))};

    int32_t fieldNumber = 0;
    for (const protocol::CompiledField& field : command.fields) {
        ++fieldNumber;
        const FieldBuild built = buildField(f, field);
        if (built == FieldBuild::TooLong) {
            out.built = false;
            out.message = "Кадр не помещается в буфер отправки (" + std::to_string(frame.size()) +
                          " байт) на поле " + std::to_string(fieldNumber);
            return out;
        }
        if (built == FieldBuild::NotComputed)
            out.result = fieldNumber;
        ev->SetVariableQuiet("PACK_CRC", crc->CRC());
    }
    out.length = static_cast<int32_t>(f.writer.length());
    return out;
}

FrameResult BuildFrame(const protocol::TprCOMMANDS& commands, const protocol::TprCOMMAND& command,
                       int64_t defaultOffset, const std::span<const uint8_t>* source,
                       std::span<uint8_t> frame) {
    FrameResult out = BuildFrame(commands, command.compiledCommand(), defaultOffset, source, frame);
    if (!out.built)
        out.message = "Команда \"" + command.Name + "\": " + out.message;
    return out;
}

} // namespace exchange
