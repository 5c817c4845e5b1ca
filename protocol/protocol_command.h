#pragma once
// TprCOMMAND: one protocol command, with its command, answer and exception templates, and
// TprCOMMANDS: the commands of a protocol description in order, with the frame context they share
// (the evaluator, the frame CRC generator, the password, the compatibility list and the version
// block).
//
// Templates are UTF-8 in memory. Their stored form is upper case without blanks, carriage returns or
// line feeds; their display form has a carriage return and line feed after every ";". Assigning a
// template stores it, compiles it with the evaluator of the collection (all protocol variable names
// declared first, so the result does not depend on which variables happen to exist) and keeps the
// check result.

#include "protocol/command_template.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {
class TCRCGenerator;
}

namespace protocol {

class TFunctionEvaluator;
class TprCOMMANDS;

class TprCOMMAND {
  public:
    std::string Name; // UTF-8
    uint16_t ExceptionMode =
        0; // 0 abort, 1 repeat three times, 2 ignore; kept as stored, see effectiveExceptionMode
    int32_t AnswerTimeout = 0; // ms to the first answer byte; 0 or less means 5000
    int32_t FrameInterval = 0; // kept for the editor; the exchange does not use it

    // Display forms (a line break after every ";").
    std::string Command() const;
    std::string Answer() const;
    std::string Exceptn() const;
    // Stored forms, as written to files.
    const std::string& storedCommand() const { return m_command.text; }
    const std::string& storedAnswer() const { return m_answer.text; }
    const std::string& storedExceptn() const { return m_exceptn.text; }

    // Compiled templates (filled on assignment; empty field lists when no evaluator was bound).
    const CompiledTemplate& compiledCommand() const { return m_command; }
    const CompiledTemplate& compiledAnswer() const { return m_answer; }
    const CompiledTemplate& compiledExceptn() const { return m_exceptn; }

    // Result of the check run by the last template assignment (0 = no fault).
    int32_t LastCheckResult() const { return m_lastCheck; }

    // ExceptionMode as the exchange acts on it: values above 2 act as 0.
    int effectiveExceptionMode() const { return ExceptionMode <= 2 ? ExceptionMode : 0; }

    // The answer timeout the exchange waits: AnswerTimeout, or 5000 ms when it is 0 or less.
    int32_t effectiveAnswerTimeout() const { return AnswerTimeout > 0 ? AnswerTimeout : 5000; }

  private:
    friend class TprCOMMANDS;
    CompiledTemplate m_command;
    CompiledTemplate m_answer;
    CompiledTemplate m_exceptn;
    int32_t m_lastCheck = 0;
};

class TprCOMMANDS {
  public:
    TprCOMMANDS() = default;

    // Commands in order, index from 0.
    size_t Count() const { return m_items.size(); }
    TprCOMMAND& operator[](size_t index) { return m_items[index]; }
    const TprCOMMAND& operator[](size_t index) const { return m_items[index]; }
    TprCOMMAND& Add();
    void Clear() { m_items.clear(); }
    void Delete(size_t index);
    std::vector<TprCOMMAND>& items() { return m_items; }
    const std::vector<TprCOMMAND>& items() const { return m_items; }

    // The first command whose name equals `name`, both upper-cased; null when none does.
    const TprCOMMAND* FindByName(std::string_view name) const;
    // Its index, or −1.
    int32_t IndexOfName(std::string_view name) const;

    // Template assignment: normalise, store, compile, keep the check result (also as
    // LastCheckResult). Without an evaluator the text is stored and the check result is 0.
    void setCommand(TprCOMMAND& command, std::string_view text);
    void setAnswer(TprCOMMAND& command, std::string_view text);
    void setExceptn(TprCOMMAND& command, std::string_view text);

    // The frame context. The evaluator and the CRC generator are owned elsewhere and must outlive
    // this collection's use. Binding an evaluator recompiles every template.
    void setEvaluator(TFunctionEvaluator* evaluator);
    TFunctionEvaluator* evaluator() const { return m_evaluator; }
    void setCrcGenerator(base::TCRCGenerator* generator) { m_crc = generator; }
    base::TCRCGenerator* crcGenerator() const { return m_crc; }

    std::string Password;                    // code page 1251 bytes, sent by a PASSWORD field
    std::vector<uint16_t> CompatibilityList; // HWID, then the CList entries; sent by APP_CMPT
    std::array<uint8_t, 64> VersionBlock{};  // the version record; sent by APP_VER

  private:
    void assign(TprCOMMAND& command, CompiledTemplate TprCOMMAND::*slot, std::string_view text,
                bool isCommand);

    std::vector<TprCOMMAND> m_items;
    TFunctionEvaluator* m_evaluator = nullptr;
    base::TCRCGenerator* m_crc = nullptr;
};

} // namespace protocol
