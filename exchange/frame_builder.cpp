#include "exchange/frame_builder.h"

#include "base/crc_generator.h"
#include "protocol/function_evaluator.h"

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

uint16_t low16(int64_t v) {
    return static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFFu);
}

} // namespace

TFrameResult BuildFrame(const protocol::TprCOMMANDS& commands, const protocol::TCompiledTemplate& command,
                        int64_t defaultOffset, const std::span<const uint8_t>* source,
                        std::span<uint8_t> frame) {
    TFrameResult out;
    protocol::TFunctionEvaluator* ev = commands.evaluator();
    base::TCRCGenerator* crc = commands.crcGenerator();
    if (ev == nullptr || crc == nullptr) {
        out.built = false;
        out.message = "Не заданы вычислитель выражений или генератор CRC";
        return out;
    }
    crc->Reset();
    ev->SetVariableQuiet("PACK_CRC", crc->CRC());
    const uint16_t defaultSize = protocol::registerValue16(ev->GetVariable("SIZE"));

    FrameWriter w(frame, *crc);
    int32_t fieldNumber = 0;
    for (const protocol::TCompiledField& field : command.fields) {
        ++fieldNumber;
        bool failed = field.faulty && field.kind == protocol::FieldKind::BadForm;
        uint64_t needed = 1;
        // The byte counts first, so that nothing is written when the field would not fit.
        std::optional<int64_t> value, start, count;
        switch (field.kind) {
        case protocol::FieldKind::Password: {
            needed = 0;
            for (char c : commands.Password)
                needed += c != '\0';
            break;
        }
        case protocol::FieldKind::AppCmpt:
            needed = 1 + 2 * static_cast<uint64_t>(commands.CompatibilityList.size());
            break;
        case protocol::FieldKind::AppVer:
            needed = 2 * commands.VersionBlock.size();
            break;
        case protocol::FieldKind::DataBlock:
            needed = 0;
            if (source == nullptr)
                break;
            start = field.argCount >= 1 ? protocol::evaluateRounded(*ev, field.programs[0]) : defaultOffset;
            count = field.argCount >= 2 ? protocol::evaluateRounded(*ev, field.programs[1]) : defaultSize;
            if (!start || !count)
                failed = true;
            else
                needed = low16(*count);
            break;
        case protocol::FieldKind::Bytes:
            needed = 0;
            if (field.programs.size() == 2) {
                value = protocol::evaluateRounded(*ev, field.programs[0]);
                count = protocol::evaluateRounded(*ev, field.programs[1]);
                if (count)
                    needed = low16(*count);
            }
            break;
        case protocol::FieldKind::BadForm:
            needed = 0;
            break;
        default:
            if (!field.programs.empty())
                value = protocol::evaluateRounded(*ev, field.programs[0]);
            break;
        }
        if (!w.fits(needed)) {
            out.built = false;
            out.length = 0;
            out.message = "Кадр не помещается в буфер отправки (" + std::to_string(frame.size()) +
                          " байт) на поле " + std::to_string(fieldNumber);
            return out;
        }

        switch (field.kind) {
        case protocol::FieldKind::Password:
            for (char c : commands.Password)
                if (c != '\0')
                    w.emit(static_cast<uint8_t>(c), true);
            break;
        case protocol::FieldKind::AppCmpt:
            w.emit(static_cast<uint8_t>(commands.CompatibilityList.size() & 0xFFu), true);
            for (uint16_t entry : commands.CompatibilityList) {
                w.emit(static_cast<uint8_t>(entry & 0xFFu), true);
                w.emit(static_cast<uint8_t>(entry >> 8), true);
            }
            break;
        case protocol::FieldKind::AppVer:
            // Version byte k goes to offset 2k; the positions between keep the buffer's fill.
            for (uint8_t b : commands.VersionBlock) {
                w.emit(b, true);
                w.skip(1);
            }
            break;
        case protocol::FieldKind::DataBlock:
            if (source != nullptr && start && count) {
                for (uint64_t i = 0; i < needed; ++i) {
                    const int64_t address = *start + static_cast<int64_t>(i);
                    if (address >= 0 && static_cast<uint64_t>(address) < source->size()) {
                        w.emit((*source)[static_cast<size_t>(address)], true);
                    } else {
                        w.skip(1);
                        failed = true;
                    }
                }
            }
            break;
        case protocol::FieldKind::Bytes:
            if (!value || !count) {
                failed = true;
                // The count is known even when the value is not: the positions are kept.
                w.skip(needed);
            } else {
                for (uint64_t i = 0; i < needed; ++i)
                    w.emit(static_cast<uint8_t>(static_cast<uint64_t>(*value) & 0xFFu), true);
            }
            break;
        case protocol::FieldKind::BadForm:
            break;
        default:
            if (value) {
                w.emit(static_cast<uint8_t>(static_cast<uint64_t>(*value) & 0xFFu),
                       field.kind != protocol::FieldKind::PackCrcExpression);
            } else {
                w.skip(1);
                failed = true;
            }
            break;
        }
        if (failed)
            out.result = fieldNumber;
        ev->SetVariableQuiet("PACK_CRC", crc->CRC());
    }
    out.length = static_cast<int32_t>(w.length());
    return out;
}

TFrameResult BuildFrame(const protocol::TprCOMMANDS& commands, const protocol::TprCOMMAND& command,
                        int64_t defaultOffset, const std::span<const uint8_t>* source,
                        std::span<uint8_t> frame) {
    TFrameResult out = BuildFrame(commands, command.compiledCommand(), defaultOffset, source, frame);
    if (!out.built)
        out.message = "Команда \"" + command.Name + "\": " + out.message;
    return out;
}

} // namespace exchange
