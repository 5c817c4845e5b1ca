#include "app/settings_store.h"

#include "app/integer_text.h"
#include "base/codepage.h"
#include "base/text_utils.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace fs = std::filesystem;

namespace {

// A settings file beyond this size is not a settings file; it is refused rather than read into memory.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

using base::TrimmedBlanks;

bool hasControl(std::string_view s) {
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

// Names are compared like the platform's profile functions do: Latin and Cyrillic letters without
// regard to case. Bytes that are not UTF-8 are compared as they are.
std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        const std::optional<char32_t> cp = base::nextUtf8(text, pos);
        if (!cp) {
            out += text[pos++];
            continue;
        }
        char32_t c = *cp;
        if (c >= U'A' && c <= U'Z')
            c += 0x20;
        else if (c >= 0x410 && c <= 0x42F)
            c += 0x20;
        else if (c >= 0x400 && c <= 0x40F)
            c += 0x50;
        if (c == *cp)
            out.append(text.substr(start, pos - start));
        else
            base::appendUtf8(out, c);
    }
    return out;
}

struct ParsedLine {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string_view name;
    std::string_view value;
};

ParsedLine parseLine(std::string_view line) {
    ParsedLine p;
    const std::string_view t = TrimmedBlanks(line);
    if (t.empty() || t.front() == ';' || t.front() == '#')
        return p;
    if (t.front() == '[') {
        const size_t close = t.find(']');
        p.kind = ParsedLine::Kind::Section;
        p.name =
            TrimmedBlanks(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return p;
    }
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return p;
    p.kind = ParsedLine::Kind::Key;
    p.name = TrimmedBlanks(t.substr(0, eq));
    p.value = TrimmedBlanks(t.substr(eq + 1));
    if (p.value.size() >= 2 && p.value.front() == '"' && p.value.back() == '"')
        p.value = p.value.substr(1, p.value.size() - 2);
    return p;
}

std::string encodeValue(std::string_view value) {
    const bool quote = TrimmedBlanks(value).size() != value.size() ||
                       (value.size() >= 2 && value.front() == '"' && value.back() == '"');
    return quote ? "\"" + std::string(value) + "\"" : std::string(value);
}

std::string systemReason(int err) {
    return std::strerror(err);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

SettingsStore::SettingsStore(fs::path file) : m_path(std::move(file)) {}

void SettingsStore::reindex() const {
    m_index.assign(m_lines.size(), {});
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const ParsedLine p = parseLine(m_lines[i]);
        if (p.kind == ParsedLine::Kind::Other)
            continue;
        m_index[i].kind = p.kind == ParsedLine::Kind::Section ? LineKey::Kind::Section : LineKey::Kind::Key;
        m_index[i].folded = foldCase(p.name);
    }
}

SettingsStore::KeyPlace SettingsStore::locate(std::string_view section, std::string_view key) const {
    const std::string wantSection = foldCase(TrimmedBlanks(section));
    const std::string wantKey = foldCase(TrimmedBlanks(key));
    KeyPlace place;
    bool inSection = false;
    bool inFirst = false;
    for (size_t i = 0; i < m_index.size(); ++i) {
        const LineKey& line = m_index[i];
        if (line.kind == LineKey::Kind::Section) {
            inSection = line.folded == wantSection;
            inFirst = inSection && !place.sectionLine;
            if (inFirst) {
                place.sectionLine = i;
                place.insertAt = i + 1;
            }
            continue;
        }
        if (line.kind != LineKey::Kind::Key || !inSection)
            continue;
        if (inFirst)
            place.insertAt = i + 1;
        if (!place.keyLine && line.folded == wantKey)
            place.keyLine = i;
    }
    return place;
}

SettingsStore::FileId SettingsStore::currentId() const {
    FileId id;
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        id.size = st.st_size;
        id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return id;
}

void SettingsStore::refresh() const {
    const FileId id = currentId();
    // Writes of an open batch are not on disk yet; reading the file again would drop them.
    if (m_loaded && (id == m_loadedId || m_batchDirty))
        return;
    m_loadedId = id;
    load();
    reindex();
}

void SettingsStore::load() const {
    m_loaded = true;
    m_unreadable = false;
    m_lines.clear();
    m_crlf = false;
    m_bom = false;
    if (!m_loadedId.exists)
        return;

    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_unreadable = errno != ENOENT;
        if (m_unreadable)
            m_error = "Не удалось прочитать файл настроек " + m_path.string() + ": " + systemReason(errno);
        return;
    }
    std::string data;
    bool failed = m_loadedId.size > kMaxFileSize;
    int err = EFBIG;
    char buffer[65536];
    while (!failed) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = true;
            err = errno;
        } else if (n == 0) {
            break;
        } else {
            data.append(buffer, static_cast<size_t>(n));
            failed = data.size() > static_cast<size_t>(kMaxFileSize);
        }
    }
    ::close(fd);
    if (failed) {
        m_unreadable = true;
        m_error = "Не удалось прочитать файл настроек " + m_path.string() + ": " + systemReason(err);
        return;
    }

    std::string_view text = data;
    if (text.starts_with(kBom)) {
        m_bom = true;
        text.remove_prefix(kBom.size());
    }
    std::string converted;
    if (!base::isValidUtf8(text)) {
        converted = base::cp1251ToUtf8(text);
        text = converted;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
            if (m_lines.empty())
                m_crlf = true;
        }
        m_lines.emplace_back(line);
        start = end + 1;
    }
}

bool SettingsStore::writable() {
    refresh();
    // m_error already names the read failure; a file that could not be read is never replaced.
    return !m_unreadable;
}

bool SettingsStore::save(std::vector<std::string> lines) {
    if (m_batchDepth == 0)
        return writeFile(std::move(lines));
    m_lines = std::move(lines);
    reindex();
    m_batchDirty = true;
    return true;
}

bool SettingsStore::endBatch() {
    if (m_batchDepth == 0 || --m_batchDepth > 0 || !m_batchDirty)
        return true;
    m_batchDirty = false;
    if (writeFile(m_lines))
        return true;
    // What is on disk is what counts: the writes of the failed batch are forgotten.
    m_loaded = false;
    return false;
}

SettingsStore::Batch::Batch(SettingsStore& store) : m_store(store) {
    ++m_store.m_batchDepth;
}

SettingsStore::Batch::~Batch() {
    commit();
}

bool SettingsStore::Batch::commit() {
    if (!m_open)
        return true;
    m_open = false;
    return m_store.endBatch();
}

bool SettingsStore::writeFile(std::vector<std::string> lines) {
    std::string content;
    if (m_bom)
        content += kBom;
    const std::string_view eol = m_crlf ? "\r\n" : "\n";
    for (const std::string& line : lines) {
        content += line;
        content += eol;
    }

    // Write through a symbolic link to the file it names, so the link stays.
    fs::path target = m_path;
    std::error_code ec;
    if (fs::is_symlink(m_path, ec)) {
        const fs::path resolved = fs::canonical(m_path, ec);
        if (!ec)
            target = resolved;
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const auto fail = [&](const std::string& reason) {
        m_error = "Не удалось записать файл настроек " + m_path.string() + ": " + reason;
        return false;
    };
    fs::create_directories(dir, ec);
    if (ec)
        return fail(ec.message());

    static std::atomic<unsigned> counter{0};
    const fs::path temp = dir / ("." + target.filename().string() + ".tmp." + std::to_string(::getpid()) +
                                 "." + std::to_string(counter++));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(systemReason(errno));
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0)
        (void)::fchmod(fd, old.st_mode & 07777);
    if (!writeAll(fd, content) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(systemReason(err));
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return fail(systemReason(err));
    }
    // The rename itself must survive a power loss too.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }

    m_lines = std::move(lines);
    reindex();
    m_loadedId = currentId();
    m_error.clear();
    ++m_saves;
    return true;
}

std::optional<std::string> SettingsStore::find(std::string_view section, std::string_view key) const {
    refresh();
    const KeyPlace place = locate(section, key);
    if (!place.keyLine)
        return std::nullopt;
    return std::string(parseLine(m_lines[*place.keyLine]).value);
}

std::string SettingsStore::readString(std::string_view section, std::string_view key,
                                      std::string_view def) const {
    std::optional<std::string> v = find(section, key);
    return v ? std::move(*v) : std::string(def);
}

std::int32_t SettingsStore::readInteger(std::string_view section, std::string_view key,
                                        std::int32_t def) const {
    const std::optional<std::string> v = find(section, key);
    if (!v)
        return def;
    return parseInteger(*v).value_or(def);
}

bool SettingsStore::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool SettingsStore::writeString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view s = TrimmedBlanks(section);
    const std::string_view k = TrimmedBlanks(key);
    if (s.empty() || s.find(']') != std::string_view::npos || hasControl(s)) {
        m_error = "Недопустимое имя раздела настроек: \"" + std::string(section) + "\"";
        return false;
    }
    if (k.empty() || k.find('=') != std::string_view::npos || k.front() == '[' || k.front() == ';' ||
        k.front() == '#' || hasControl(k)) {
        m_error = "Недопустимое имя ключа настроек: \"" + std::string(key) + "\"";
        return false;
    }
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        m_error = "Недопустимое значение ключа настроек " + std::string(k) + ": перевод строки";
        return false;
    }
    if (!writable())
        return false;

    std::vector<std::string> lines = m_lines;
    const KeyPlace place = locate(s, k);
    if (place.keyLine) {
        const ParsedLine existing = parseLine(lines[*place.keyLine]);
        if (existing.value == value)
            return true;
        lines[*place.keyLine] = std::string(existing.name) + "=" + encodeValue(value);
    } else if (place.sectionLine) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.insertAt),
                     std::string(k) + "=" + encodeValue(value));
    } else {
        if (!lines.empty() && !TrimmedBlanks(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + std::string(s) + "]");
        lines.push_back(std::string(k) + "=" + encodeValue(value));
    }
    return save(std::move(lines));
}

bool SettingsStore::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    return writeString(section, key, std::to_string(value));
}

bool SettingsStore::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

bool SettingsStore::deleteKey(std::string_view section, std::string_view key) {
    return removeLines(section, foldCase(TrimmedBlanks(key)));
}

bool SettingsStore::eraseSection(std::string_view section) {
    return removeLines(section, std::nullopt);
}

bool SettingsStore::removeLines(std::string_view section, const std::optional<std::string>& foldedKey) {
    if (!writable())
        return false;
    const std::string wantSection = foldCase(TrimmedBlanks(section));
    std::vector<std::string> lines;
    lines.reserve(m_lines.size());
    bool inSection = false;
    bool changed = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const LineKey& line = m_index[i];
        if (line.kind == LineKey::Kind::Section)
            inSection = line.folded == wantSection;
        if (inSection && (!foldedKey || (line.kind == LineKey::Kind::Key && line.folded == *foldedKey))) {
            changed = true;
            continue;
        }
        lines.push_back(m_lines[i]);
    }
    return !changed || save(std::move(lines));
}

std::string SettingsStore::readString(Setting id, std::string_view profile, int index) const {
    return readString(settingSection(id, profile), settingKeyName(id, index), settingDefaultText(id, index));
}

std::int32_t SettingsStore::readInteger(Setting id, std::string_view profile, int index) const {
    return readInteger(settingSection(id, profile), settingKeyName(id, index), settingKey(id).number);
}

bool SettingsStore::readBool(Setting id, std::string_view profile, int index) const {
    return readBool(settingSection(id, profile), settingKeyName(id, index), settingKey(id).number != 0);
}

bool SettingsStore::writeString(Setting id, std::string_view value, std::string_view profile, int index) {
    return writeString(settingSection(id, profile), settingKeyName(id, index), value);
}

bool SettingsStore::writeInteger(Setting id, std::int32_t value, std::string_view profile, int index) {
    return writeInteger(settingSection(id, profile), settingKeyName(id, index), value);
}

bool SettingsStore::writeBool(Setting id, bool value, std::string_view profile, int index) {
    return writeBool(settingSection(id, profile), settingKeyName(id, index), value);
}

bool SettingsStore::deleteKey(Setting id, std::string_view profile, int index) {
    return deleteKey(settingSection(id, profile), settingKeyName(id, index));
}

} // namespace app
