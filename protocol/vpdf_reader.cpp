#include "protocol/vpdf_reader.h"

#include "base/codepage.h"
#include "base/crc_generator.h"
#include "base/file_reader.h"
#include "protocol/vpdf_format.h"

#include <optional>
#include <string>
#include <vector>

namespace protocol {
namespace {

// A bounds-checked cursor over the file bytes. Every read past the end sets the failed flag and
// yields zero or empty, so callers check once per item.
class Cursor {
  public:
    explicit Cursor(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    bool failed() const { return m_failed; }

    uint32_t number(size_t width) {
        if (m_failed || m_bytes.size() - m_pos < width) {
            m_failed = true;
            return 0;
        }
        uint32_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v |= static_cast<uint32_t>(m_bytes[m_pos + i]) << (8 * i);
        m_pos += width;
        return v;
    }
    uint8_t u8() { return static_cast<uint8_t>(number(1)); }
    uint16_t u16() { return static_cast<uint16_t>(number(2)); }
    uint32_t u32() { return number(4); }

    // A short string whose text runs past the end reads as empty (and so fails any tag that
    // follows); its length byte alone missing is a damaged number field.
    std::string shortString() {
        const size_t length = u8();
        if (m_failed)
            return {};
        if (m_bytes.size() - m_pos < length) {
            m_pos = m_bytes.size();
            return {};
        }
        std::string s(reinterpret_cast<const char*>(m_bytes.data() + m_pos), length);
        m_pos += length;
        return s;
    }

    bool tag(std::string_view expected) { return !m_failed && shortString() == expected && !m_failed; }

  private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
    bool m_failed = false;
};

bool readHeaderAndComment(Cursor& in, std::string& comment) {
    if (!in.tag(vpdf::kMagic) || !in.tag(vpdf::kTagComment))
        return false;
    const unsigned pieces = in.u8();
    std::string text;
    for (unsigned i = 0; i < pieces && !in.failed(); ++i)
        text += in.shortString();
    if (in.failed() || !in.tag(vpdf::kTagCommands))
        return false;
    comment = base::cp1251ToUtf8(text);
    return true;
}

bool readCommands(Cursor& in, protocol::TprCOMMANDS& commands) {
    commands.Clear();
    const unsigned count = in.u16();
    for (unsigned i = 0; i < count && !in.failed(); ++i) {
        const std::string name = in.shortString();
        const std::string command = in.shortString();
        const std::string answer = in.shortString();
        const std::string exceptn = in.shortString();
        const uint16_t mode = in.u16();
        const uint16_t timeout = in.u16();
        const uint16_t interval = in.u16();
        if (in.failed())
            return false;
        protocol::TprCOMMAND& c = commands.Add();
        c.Name = base::cp1251ToUtf8(name);
        c.ExceptionMode = mode;
        c.AnswerTimeout = timeout;
        c.FrameInterval = interval;
        commands.setCommand(c, base::cp1251ToUtf8(command));
        commands.setAnswer(c, base::cp1251ToUtf8(answer));
        commands.setExceptn(c, base::cp1251ToUtf8(exceptn));
    }
    return !in.failed();
}

template <typename T> bool readStepList(Cursor& in, std::vector<T>& out, size_t width) {
    const unsigned count = in.u8();
    out.clear();
    for (unsigned i = 0; i < count && !in.failed(); ++i)
        out.push_back(static_cast<T>(in.number(width)));
    return !in.failed();
}

bool readActionLists(Cursor& in, std::vector<TVLMAction>& lists) {
    const unsigned count = in.u16();
    if (in.failed())
        return false;
    if (lists.size() < count)
        lists.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        TVLMAction& a = lists[i];
        a.Name = base::cp1251ToUtf8(in.shortString());
        if (!readStepList(in, a.StepCommands, 2) || !readStepList(in, a.StepIgnoreLists, 2) ||
            !readStepList(in, a.StepEnabled, 1))
            return false;
        a.StepCount = in.u16();
        if (in.failed())
            return false;
    }
    return true;
}

bool readIgnoreLists(Cursor& in, TIgnoreListCollection& lists) {
    const unsigned count = in.u16();
    lists.assign(in.failed() ? 0 : count, TIgnoreList{});
    for (unsigned i = 0; i < count && !in.failed(); ++i) {
        const unsigned codes = in.u16();
        for (unsigned k = 0; k < codes && !in.failed(); ++k)
            lists[i].Codes.push_back(in.u16());
    }
    return !in.failed();
}

bool readExceptions(Cursor& in, std::vector<TPrException>& exceptions) {
    const unsigned count = in.u16();
    exceptions.clear();
    for (unsigned i = 0; i < count && !in.failed(); ++i) {
        const std::string text = in.shortString();
        const uint16_t code = in.u16();
        exceptions.push_back(TPrException{code, base::cp1251ToUtf8(text)});
    }
    return !in.failed();
}

bool readCrc(Cursor& in, base::TCRCGenerator& generator) {
    const uint16_t width = in.u16();
    const uint32_t polynom = in.u32();
    const uint32_t initial = in.u32();
    in.u8(); // the first copy of Reflected; the second one counts
    const uint8_t reflected = in.u8();
    const uint32_t xorValue = in.u32();
    const uint8_t swap = in.u8();
    if (in.failed())
        return false;
    generator.SetParameters(width, polynom, xorValue, swap != 0, reflected != 0, initial);
    return true;
}

// Far above the largest description the format can hold in practice; a bigger file is not read into
// memory but taken as damaged.
constexpr uint64_t kMaxDescriptionFileSize = 64u << 20;

// The file's bytes, or the reader result saying why there are none.
std::optional<std::vector<uint8_t>> loadFile(const std::filesystem::path& path, int& failure) {
    std::vector<uint8_t> bytes;
    switch (base::readFileBytes(path, kMaxDescriptionFileSize, bytes)) {
    case base::ReadStatus::Ok:
        return bytes;
    case base::ReadStatus::Missing:
        failure = kReadMissing;
        break;
    case base::ReadStatus::NotRegularFile:
    case base::ReadStatus::CannotOpen:
        failure = kReadUnreadable;
        break;
    case base::ReadStatus::TooLarge:
        failure = kReadDamaged;
        break;
    }
    return std::nullopt;
}

// Loads the file and hands its bytes to `read`; the load's failure when it cannot be read.
int readFromFile(const std::filesystem::path& path, TProtocol& protocol,
                 int (*read)(TProtocol&, std::span<const uint8_t>)) {
    int failure = kReadOk;
    auto bytes = loadFile(path, failure);
    if (!bytes)
        return failure;
    return read(protocol, *bytes);
}

} // namespace

int ReadProtocolBytes(TProtocol& protocol, std::span<const uint8_t> bytes) {
    // Read into a copy so that a damaged file leaves the caller's description untouched.
    TProtocol work(protocol);
    Cursor in(bytes);
    const bool ok = readHeaderAndComment(in, work.Comment) && readCommands(in, work.Commands) &&
                    in.tag(vpdf::kTagActionLists) && readActionLists(in, work.ActionLists) &&
                    in.tag(vpdf::kTagIgnoreLists) && readIgnoreLists(in, work.IgnoreLists) &&
                    in.tag(vpdf::kTagExceptions) && readExceptions(in, work.Exceptions) &&
                    in.tag(vpdf::kTagCrc) && readCrc(in, work.CRCGenerator);
    if (!ok)
        return kReadDamaged;
    protocol = work;
    return kReadOk;
}

int ReadProtocolFile(TProtocol& protocol, const std::filesystem::path& path) {
    return readFromFile(path, protocol, ReadProtocolBytes);
}

int ReadProtocolCommentBytes(TProtocol& protocol, std::span<const uint8_t> bytes) {
    Cursor in(bytes);
    std::string comment;
    if (!readHeaderAndComment(in, comment))
        return kReadDamaged;
    protocol.Comment = comment;
    return kReadOk;
}

int ReadProtocolComment(TProtocol& protocol, const std::filesystem::path& path) {
    return readFromFile(path, protocol, ReadProtocolCommentBytes);
}

bool CheckProtocolBytesCRC(std::span<const uint8_t> bytes, uint32_t& computed) {
    computed = 0;
    if (bytes.size() < 4)
        return false;
    base::TCRC32Generator crc;
    const size_t body = bytes.size() - 4;
    computed = crc.AddBytes(bytes.data(), static_cast<int64_t>(body));
    const uint32_t stored = static_cast<uint32_t>(bytes[body]) | static_cast<uint32_t>(bytes[body + 1]) << 8 |
                            static_cast<uint32_t>(bytes[body + 2]) << 16 |
                            static_cast<uint32_t>(bytes[body + 3]) << 24;
    return stored == computed;
}

bool CheckProtocolFileCRC(const std::filesystem::path& path, uint32_t& computed) {
    computed = 0;
    int failure = kReadOk;
    auto bytes = loadFile(path, failure);
    if (!bytes)
        return failure != kReadDamaged; // opening the file says why it is missing or unreadable
    return CheckProtocolBytesCRC(*bytes, computed);
}

} // namespace protocol
