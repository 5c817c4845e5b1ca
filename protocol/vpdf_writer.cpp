#include "protocol/vpdf_writer.h"

#include "base/codepage.h"
#include "base/crc_generator.h"
#include "base/write_failure_text.h"
#include "protocol/vpdf_format.h"

namespace protocol {
namespace {

class Writer {
  public:
    explicit Writer(std::string& error) : m_error(error) {}

    bool failed() const { return m_failed; }
    std::string& bytes() { return m_out; }

    bool fail(const std::string& message) {
        if (!m_failed)
            m_error = message;
        m_failed = true;
        return false;
    }

    void raw(std::string_view s) { m_out.append(s); }

    void number(uint32_t v, size_t width) {
        for (size_t i = 0; i < width; ++i)
            m_out += static_cast<char>((v >> (8 * i)) & 0xFFu);
    }

    // A value that must fit in 16 bits unsigned.
    void u16(int64_t v, const std::string& what) {
        if (v < 0 || v > 0xFFFF) {
            fail(what + ": значение " + std::to_string(v) + " вне диапазона 0..65535");
            return;
        }
        number(static_cast<uint32_t>(v), 2);
    }

    void shortBytes(std::string_view cp1251) {
        m_out += static_cast<char>(cp1251.size());
        m_out.append(cp1251);
    }

    // UTF-8 text as a short string of code page 1251 bytes.
    void text(const std::string& utf8, const std::string& what) {
        auto cp = base::utf8ToCp1251(utf8);
        if (!cp) {
            fail(what + ": текст содержит символы вне кодовой страницы 1251");
            return;
        }
        if (cp->size() > vpdf::kMaxShortString) {
            fail(what + ": длина " + std::to_string(cp->size()) + " байт больше 255");
            return;
        }
        shortBytes(*cp);
    }

  private:
    std::string& m_error;
    std::string m_out;
    bool m_failed = false;
};

void writeComment(Writer& w, const std::string& comment) {
    auto cp = base::utf8ToCp1251(comment);
    if (!cp) {
        w.fail("Комментарий: текст содержит символы вне кодовой страницы 1251");
        return;
    }
    if (cp->size() > vpdf::kMaxCommentBytes) {
        w.fail("Комментарий: длина " + std::to_string(cp->size()) + " байт больше 65025");
        return;
    }
    const size_t pieces = (cp->size() + vpdf::kMaxShortString - 1) / vpdf::kMaxShortString;
    w.number(static_cast<uint32_t>(pieces), 1);
    for (size_t i = 0; i < pieces; ++i)
        w.shortBytes(std::string_view(*cp).substr(i * vpdf::kMaxShortString, vpdf::kMaxShortString));
}

void writeCommands(Writer& w, const protocol::TprCOMMANDS& commands) {
    w.u16(static_cast<int64_t>(commands.Count()), "Число команд");
    for (size_t i = 0; i < commands.Count() && !w.failed(); ++i) {
        const protocol::TprCOMMAND& c = commands[i];
        const std::string what = "Команда " + std::to_string(i) + " \"" + c.Name + "\"";
        w.text(c.Name, what + ", имя");
        w.text(c.storedCommand(), what + ", шаблон команды");
        w.text(c.storedAnswer(), what + ", шаблон ответа");
        w.text(c.storedExceptn(), what + ", шаблон исключения");
        w.u16(c.ExceptionMode, what + ", режим исключений");
        w.u16(c.AnswerTimeout, what + ", таймаут ответа");
        w.u16(c.FrameInterval, what + ", интервал между кадрами");
    }
}

template <typename T>
void writeStepList(Writer& w, const std::vector<T>& list, size_t width, const std::string& what,
                   bool allowNone) {
    if (list.size() > vpdf::kMaxStepListLength) {
        w.fail(what + ": " + std::to_string(list.size()) + " шагов, больше 255");
        return;
    }
    w.number(static_cast<uint32_t>(list.size()), 1);
    for (T v : list) {
        const int64_t value = v;
        if (width == 1)
            w.number(static_cast<uint32_t>(value), 1);
        else if (allowNone && value == -1)
            w.number(0xFFFFu, 2);
        else
            w.u16(value, what);
    }
}

void writeActionLists(Writer& w, const std::vector<TVLMAction>& lists) {
    w.u16(static_cast<int64_t>(lists.size()), "Число списков действий");
    for (size_t i = 0; i < lists.size() && !w.failed(); ++i) {
        const TVLMAction& a = lists[i];
        const std::string what = "Список действий " + std::to_string(i) + " \"" + a.Name + "\"";
        w.text(a.Name, what + ", имя");
        writeStepList(w, a.StepCommands, 2, what + ", номер команды", false);
        writeStepList(w, a.StepIgnoreLists, 2, what + ", номер списка игнорирования", true);
        writeStepList(w, a.StepEnabled, 1, what + ", флаги", false);
        w.u16(a.StepCount, what + ", число шагов");
    }
}

void writeIgnoreLists(Writer& w, const TIgnoreListCollection& lists) {
    w.u16(static_cast<int64_t>(lists.size()), "Число списков игнорирования");
    for (size_t i = 0; i < lists.size() && !w.failed(); ++i) {
        const std::string what = "Список игнорирования " + std::to_string(i);
        w.u16(static_cast<int64_t>(lists[i].Codes.size()), what + ", число кодов");
        for (int32_t code : lists[i].Codes)
            w.u16(code, what + ", код");
    }
}

void writeExceptions(Writer& w, const std::vector<TPrException>& exceptions) {
    w.u16(static_cast<int64_t>(exceptions.size()), "Число кодов ошибок");
    for (size_t i = 0; i < exceptions.size() && !w.failed(); ++i) {
        const std::string what = "Код ошибки " + std::to_string(i);
        w.text(exceptions[i].Text, what + ", текст");
        w.u16(exceptions[i].Code, what + ", код");
    }
}

void writeCrc(Writer& w, const base::TCRCGenerator& g) {
    w.u16(g.Width(), "Разрядность CRC");
    w.number(g.Polynom(), 4);
    w.number(g.Initial(), 4);
    w.number(g.Reflected() ? 1 : 0, 1);
    w.number(g.Reflected() ? 1 : 0, 1);
    w.number(g.XORvalue(), 4);
    w.number(g.tableSwap() ? 1 : 0, 1);
}

// A section: its tag, then its body.
template <typename Value>
void writeSection(Writer& w, std::string_view tag, void (*body)(Writer&, const Value&), const Value& value) {
    w.shortBytes(tag);
    body(w, value);
}

} // namespace

bool SerializeProtocol(const TProtocol& protocol, std::string& bytes, std::string& error) {
    Writer w(error);
    w.shortBytes(vpdf::kMagic);
    writeSection(w, vpdf::kTagComment, writeComment, protocol.Comment);
    writeSection(w, vpdf::kTagCommands, writeCommands, protocol.Commands);
    writeSection(w, vpdf::kTagActionLists, writeActionLists, protocol.ActionLists);
    writeSection(w, vpdf::kTagIgnoreLists, writeIgnoreLists, protocol.IgnoreLists);
    writeSection(w, vpdf::kTagExceptions, writeExceptions, protocol.Exceptions);
    writeSection(w, vpdf::kTagCrc, writeCrc, protocol.CRCGenerator);
    if (w.failed())
        return false;
    base::TCRC32Generator crc;
    const uint32_t trailer = crc.AddBytes(reinterpret_cast<const uint8_t*>(w.bytes().data()),
                                          static_cast<int64_t>(w.bytes().size()));
    w.number(trailer, 4);
    bytes = std::move(w.bytes());
    return true;
}

bool WriteProtocolFile(const TProtocol& protocol, const std::filesystem::path& path, std::string& error) {
    std::string bytes;
    if (!SerializeProtocol(protocol, bytes, error))
        return false;
    const base::WriteResult written = base::writeFileAtomically(path, bytes);
    error = base::writeFailureText(written);
    return written.ok();
}

} // namespace protocol
