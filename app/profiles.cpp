#include "app/profiles.h"

#include "app/protocol_path.h"
#include "app/settings_messages.h"
#include "base/text_utils.h"
#include "protocol/vpdf_reader.h"

#include <algorithm>

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHowToFix = "Все комуникационные функции отключены.\r\r"
                                       "   1. Вызовете диалог \"Настройки программы\"\r"
                                       "   2. Выберите закладку \"Связь\"\r"
                                       "   3. Выберите файл протокола, или создайте новый.";
constexpr std::string_view kDamagedProtocol = "Поврежден файл описания протокола!\r";
constexpr std::string_view kNoProtocol = "Не указан файл описания протокола!\r";
constexpr std::string_view kMissingProtocol = "Не найден файл описания протокола:\r    ";
constexpr std::string_view kCannotReadProtocol = "Не могу прочитать файл описания протокола:\r    ";
constexpr std::string_view kCorruptProtocol = "Испорчен файл описания протокола: ";

int listCount(const SettingsStore& store, Setting countKey) {
    return std::clamp(store.readInteger(countKey), 0, kMaxListEntries);
}

} // namespace

std::optional<std::string> validProfileName(std::string_view name) {
    const std::string_view t = base::TrimmedBlanks(name);
    if (t.empty())
        return std::nullopt;
    for (const char c : t) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '[' || c == ']' || u < 0x20 || u == 0x7F)
            return std::nullopt;
    }
    return std::string(t);
}

base::CrcParameters readImageCrcParams(const SettingsStore& store, std::string_view profile) {
    base::CrcParameters p;
    p.initial = static_cast<std::uint32_t>(store.readInteger(Setting::CrcInit, profile));
    p.reflected = store.readBool(Setting::CrcReflect, profile);
    p.tableSwap = store.readBool(Setting::CrcSwapHiLo, profile);
    p.xorValue = static_cast<std::uint32_t>(store.readInteger(Setting::CrcXorOut, profile));
    p.polynom = static_cast<std::uint32_t>(store.readInteger(Setting::CrcPolynom, profile));
    p.width = store.readInteger(Setting::CrcWidth, profile);
    return p;
}

Profiles::Profiles(SettingsStore& store, MainState& state, ProfileHost& host, ProtocolLoader& protocol,
                   MessageSink& messages, ViewNotifications& view, fs::path programDir)
    : m_store(store), m_state(state), m_host(host), m_protocol(protocol), m_messages(messages), m_view(view),
      m_programDir(std::move(programDir)) {}

std::vector<std::string> Profiles::profileList() const {
    const int count = listCount(m_store, Setting::ProfileCount);
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i)
        names.push_back(m_store.readString(Setting::ProfileName, {}, i));
    return names;
}

ProfileListFill Profiles::FillProfileList() const {
    ProfileListFill fill;
    fill.names = profileList();
    for (size_t i = 0; i < fill.names.size(); ++i)
        if (fill.names[i] == m_state.activeProfile)
            fill.selected = static_cast<int>(i);
    return fill;
}

std::optional<std::string> Profiles::addProfile(std::string_view name) {
    const std::optional<std::string> valid = validProfileName(name);
    if (!valid) {
        refuseName();
        return std::nullopt;
    }
    const std::vector<std::string> names = profileList();
    bool ok = true;
    if (std::find(names.begin(), names.end(), *valid) == names.end()) {
        const int count = static_cast<int>(names.size()) + 1;
        // The entry first: a crash between the two writes leaves an unused key, never a count that
        // points past the list.
        ok = m_store.writeString(Setting::ProfileName, *valid, {}, count) &&
             m_store.writeInteger(Setting::ProfileCount, count);
    }
    m_state.activeProfile = *valid;
    ok = ok && m_store.writeString(Setting::ActiveProfile, *valid);
    if (!ok) {
        reportWriteFailure();
        return std::nullopt;
    }
    return valid;
}

bool Profiles::DeleteProfile(std::string_view name) {
    const std::optional<std::string> valid = validProfileName(name);
    if (!valid)
        return refuseName();
    const std::vector<std::string> names = profileList();
    const int count = static_cast<int>(names.size());
    int dropped = 0;
    bool ok = true;
    for (int i = 1; i <= count && ok; ++i) {
        const std::string& entry = names[static_cast<size_t>(i - 1)];
        if (entry == *valid)
            ++dropped;
        else if (dropped > 0)
            ok = m_store.writeString(Setting::ProfileName, entry, {}, i - dropped);
    }
    if (ok && dropped > 0) {
        for (int i = count - dropped + 1; i <= count && ok; ++i)
            ok = m_store.deleteKey(Setting::ProfileName, {}, i);
        ok = ok && m_store.writeInteger(Setting::ProfileCount, count - dropped);
    }
    ok = ok && m_store.eraseSection(settingSection(Setting::DevAddress, *valid)) &&
         m_store.eraseSection(settingSection(Setting::UseProfileAddress, *valid));
    if (!ok)
        reportWriteFailure();
    return ok;
}

bool Profiles::LoadProfile(std::string_view name) {
    if (m_applying)
        return false;
    const std::optional<std::string> valid = validProfileName(name);
    if (!valid)
        return refuseName();
    m_applying = true;
    const std::string& n = *valid;
    bool written = true;

    m_state.activeProfile = n;
    m_state.pageSize = static_cast<std::uint16_t>(m_store.readInteger(Setting::PageSize, n));
    m_host.setImageCrcParams(readImageCrcParams(m_store, n));
    if (m_store.readBool(Setting::UseProfileAddress, n)) {
        m_state.deviceAddress = m_store.readInteger(Setting::DevAddress, n);
        m_host.deviceAddressChanged(m_state.deviceAddress);
    }
    m_host.setFileWatch(m_store.readBool(Setting::CheckFileUpdate, n));

    m_protocol.clear();
    const std::string path = ExpandProtocolPath(m_store.readString(Setting::ProtocolPath, n));
    if (!m_protocol.checkFile(path)) {
        m_state.communicationDisabled = true;
        m_view.UpdateActionStates();
        m_messages.showMessage(kErrorTitle, std::string(kDamagedProtocol) + std::string(kHowToFix),
                               MessageKind::Error);
    } else {
        OpenProtocolFile(path);
    }

    written = m_store.writeString(Setting::ActiveProfile, n) && written;
    m_state.password = m_store.readString(Setting::Password, n);

    // Only a real switch reloads: the first profile applied at start-up comes before any file is known,
    // and applying the same profile again (the settings dialog closing) must not replace the contents.
    const bool switched = m_applied && *m_applied != n;
    m_applied = n;
    if (switched) {
        if (m_store.readBool(Setting::ReloadLastFile) && !m_host.reloadCurrentFile()) {
            written = m_store.writeString(Setting::LastFile, "") && written;
            m_host.forgetCurrentFile();
        }
        written = m_store.writeString(Setting::ProfileFile, m_host.currentFileName(), n) && written;
    }

    if (!written && !m_writeFailureShown) {
        // Shown once per run: a read-only settings file would otherwise bring it up at every switch.
        m_writeFailureShown = true;
        reportWriteFailure();
    }
    m_applying = false;
    return true;
}

bool Profiles::mayApplyProfileForLoadedFile(std::string_view name) const {
    return !m_applying && name != m_state.activeProfile;
}

bool Profiles::OpenProtocolFile(const std::string& path) {
    std::string message;
    std::error_code ec;
    if (path.empty()) {
        message = std::string(kNoProtocol) + std::string(kHowToFix);
    } else if (!fs::exists(path, ec) && !ec) {
        message = std::string(kMissingProtocol) + path + "\r" + std::string(kHowToFix);
    } else if (const int result = m_protocol.readFile(path); result != 0) {
        m_protocol.clear();
        message = result == protocol::kReadUnreadable
                      ? std::string(kCannotReadProtocol) + path + "\r" + std::string(kHowToFix)
                      : std::string(kCorruptProtocol) + path;
    }
    m_state.communicationDisabled = !message.empty();
    if (!message.empty())
        m_messages.showMessage(kErrorTitle, message, MessageKind::Error);
    m_view.UpdateActionStates();
    return message.empty();
}

std::string Profiles::StoreProtocolPath(std::string_view chosen) const {
    return app::StoreProtocolPath(chosen, m_programDir);
}

std::string Profiles::ExpandProtocolPath(std::string_view stored) const {
    return app::ExpandProtocolPath(stored, m_programDir);
}

const std::vector<std::string>& Profiles::readProtocolFileList() {
    m_state.protocolFileList.clear();
    const int count = listCount(m_store, Setting::ProtocolCount);
    for (int i = 0; i < count; ++i) {
        std::string entry = m_store.readString(Setting::ProtocolFile, {}, i);
        std::error_code ec;
        if (!entry.empty() && fs::is_regular_file(entry, ec))
            m_state.protocolFileList.push_back(std::move(entry));
    }
    return m_state.protocolFileList;
}

bool Profiles::saveProtocolFileList(std::string_view chosen) {
    std::vector<std::string>& list = m_state.protocolFileList;
    const std::string entry(base::TrimmedBlanks(chosen));
    if (!entry.empty() && std::find(list.begin(), list.end(), entry) == list.end())
        list.push_back(entry);
    const int oldCount = listCount(m_store, Setting::ProtocolCount);
    const int count = static_cast<int>(std::min<size_t>(list.size(), kMaxListEntries));
    bool ok = true;
    for (int i = 0; i < count && ok; ++i)
        ok = m_store.writeString(Setting::ProtocolFile, list[static_cast<size_t>(i)], {}, i);
    ok = ok && m_store.writeInteger(Setting::ProtocolCount, count);
    // Entries of a longer old list would only confuse a reader of the file.
    for (int i = count; i < oldCount && ok; ++i)
        ok = m_store.deleteKey(Setting::ProtocolFile, {}, i);
    if (!ok)
        reportWriteFailure();
    return ok;
}

void Profiles::reportWriteFailure() {
    m_messages.showMessage(kErrorTitle, std::string(kSettingsNotSaved) + m_store.lastError(),
                           MessageKind::Error);
}

bool Profiles::refuseName() {
    m_messages.showMessage(kErrorTitle, kBadProfileName, MessageKind::Error);
    return false;
}

} // namespace app
