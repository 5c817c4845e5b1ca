#include "app/settings_form.h"

#include "app/settings_messages.h"
#include "base/text_utils.h"
#include "protocol/vpdf_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

namespace app {

namespace {

constexpr std::string_view kFlashRangeReversed =
    "Начало памяти программ больше конца памяти программ.\rИсправьте значения на закладке \"Основные\".";
constexpr std::string_view kPasswordTooLong =
    "Пароль доступа для записи во FLASH память длиннее 15 символов.";
constexpr std::string_view kBadListChoice = "Недопустимое значение в списке \"";

std::string hexText(std::uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, static_cast<unsigned>(value));
    return buf;
}

// A stored list index outside its list reads as the key's default, so that the list shows a real entry.
int storedIndex(const SettingsStore& store, Setting id, int count) {
    const std::int32_t v = store.readInteger(id);
    return v >= 0 && v < count ? v : settingKey(id).number;
}

// A value edit's value as written: rounded to the nearest integer with halves to even (the default
// floating-point rounding mode), held within the edit's limits; a value that is not a number is the
// lower limit.
std::int32_t editValue(double value, double min, double max) {
    if (std::isnan(value))
        return static_cast<std::int32_t>(min);
    return static_cast<std::int32_t>(std::clamp(std::nearbyint(value), min, max));
}

std::size_t utf8Length(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool inList(int index, std::size_t count) {
    return index >= 0 && static_cast<std::size_t>(index) < count;
}

} // namespace

bool reloadChoiceEnabled(const SettingsForm& form) {
    return form.checkFileUpdate;
}

bool profileDeleteEnabled(const SettingsForm& form) {
    const std::string trimmed = base::TrimBlanks(form.profileName);
    return std::find(form.profileNames.begin(), form.profileNames.end(), trimmed) != form.profileNames.end();
}

std::vector<std::string> portChoices(const SettingsForm& form, const SerialDeviceList& devices) {
    std::vector<std::string> choices;
    for (int i = 1; i <= kNumberedPortCount; ++i)
        choices.push_back("COM" + std::to_string(i));
    for (std::string& device : devices.devices())
        choices.push_back(std::move(device));
    if (!form.portDevice.empty() &&
        std::find(choices.begin(), choices.end(), form.portDevice) == choices.end())
        choices.push_back(form.portDevice);
    return choices;
}

std::string currentPortChoice(const SettingsForm& form) {
    if (!form.portDevice.empty())
        return form.portDevice;
    return "COM" + std::to_string(form.portIndex + 1);
}

bool choosePort(SettingsForm& form, std::string_view choice) {
    const std::string text = base::TrimBlanks(choice);
    if (text.size() > 3 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
        (text[2] == 'M' || text[2] == 'm')) {
        const std::string_view digits = std::string_view(text).substr(3);
        if (digits.size() <= 2 &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            digits[0] != '0') {
            const int number = std::stoi(std::string(digits));
            if (number >= 1 && number <= kNumberedPortCount) {
                form.portIndex = number - 1;
                form.portDevice.clear();
                return true;
            }
        }
        return false;
    }
    if (text.empty() || text[0] != '/')
        return false;
    form.portDevice = text;
    return true;
}

std::string protocolFileDescription(const std::string& path) {
    if (path.empty())
        return {};
    protocol::TProtocol description;
    if (protocol::ReadProtocolComment(description, path) != protocol::kReadOk)
        return {};
    return description.Comment;
}

std::uint32_t protocolFileChecksum(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return 0;
    std::uint32_t computed = 0;
    protocol::CheckProtocolFileCRC(path, computed);
    return computed;
}

SettingsDialogModel::SettingsDialogModel(SettingsStore& store, Profiles& profiles, MainState& state,
                                         ProfileHost& host, ViewNotifications& view)
    : m_store(store), m_profiles(profiles), m_state(state), m_host(host), m_view(view) {}

std::vector<std::string> SettingsDialogModel::sortedProfileNames() const {
    std::vector<std::string> names = m_profiles.profileList();
    std::sort(names.begin(), names.end());
    return names;
}

std::string SettingsDialogModel::expandedProtocolPath(std::string_view profile) const {
    return m_profiles.ExpandProtocolPath(m_store.readString(Setting::ProtocolPath, profile));
}

void SettingsDialogModel::open(SettingsForm& form) {
    form.profileNames = sortedProfileNames();
    form.profileName = m_state.activeProfile;
    fill(form, m_state.activeProfile);
    m_openedFigures = viewFigures();
    m_openedChecksum = protocolFileChecksum(expandedProtocolPath(m_state.activeProfile));
    form.argumentMode = m_state.startedWithArguments;
}

void SettingsDialogModel::fill(SettingsForm& form, std::string_view profile) {
    const SettingsStore& s = m_store;
    form.flashStart = s.readInteger(Setting::FlashStart, profile);
    form.flashEnd = s.readInteger(Setting::FlashEnd, profile);
    form.ctrlArea = s.readInteger(Setting::CtrlArea, profile);
    form.pageSize = s.readInteger(Setting::PageSize, profile);
    form.password = s.readString(Setting::Password, profile);
    form.preventUnmarked = s.readBool(Setting::PreventUnmarked, profile);
    form.useProfileAddress = s.readBool(Setting::UseProfileAddress, profile);
    form.memoryWindow = s.readBool(Setting::MemoryWindow);
    form.checkFileUpdate = s.readBool(Setting::CheckFileUpdate, profile);
    form.confirmReload = s.readInteger(Setting::ConfirmReload, profile) == 1;
    form.dontShowErrMsgs = s.readBool(Setting::DontShowErrMsgs);
    form.reloadLastFile = s.readBool(Setting::ReloadLastFile);

    form.portIndex = storedIndex(s, Setting::PortIndex, kNumberedPortCount);
    form.portDevice = base::TrimBlanks(s.readString(Setting::PortDevice));
    form.baudRateIndex = storedIndex(s, Setting::BaudRateIndex, static_cast<int>(kBaudRateTexts.size()));
    form.stopBitsIndex = storedIndex(s, Setting::StopBitsIndex, static_cast<int>(kStopBitsTexts.size()));
    form.parityIndex = storedIndex(s, Setting::ParityIndex, static_cast<int>(kParityTexts.size()));
    form.echo = s.readBool(Setting::Echo);
    form.answerEndByGap = s.readString(Setting::AnswerEnd, profile) == "gap";
    form.repeatGarbled = s.readBool(Setting::RepeatGarbled, profile);

    const std::int32_t width = s.readInteger(Setting::CrcWidth, profile);
    if (width == 16 || width == 32) {
        const int digits = width / 4;
        form.crc.width = width;
        form.crc.polynom =
            hexText(static_cast<std::uint32_t>(s.readInteger(Setting::CrcPolynom, profile)), digits);
        form.crc.initial =
            hexText(static_cast<std::uint32_t>(s.readInteger(Setting::CrcInit, profile)), digits);
        form.crc.xorValue =
            hexText(static_cast<std::uint32_t>(s.readInteger(Setting::CrcXorOut, profile)), digits);
        // The flags as stored: showing them forced on would rewrite a non-reflected CRC on the next "Ok".
        form.crc.reflected = s.readBool(Setting::CrcReflect, profile);
        form.crc.tableSwap = s.readBool(Setting::CrcSwapHiLo, profile);
    }

    const std::int32_t assigned = s.readInteger(Setting::AssignFileType, profile);
    for (std::size_t bit = 0; bit < form.fileTypes.size(); ++bit)
        form.fileTypes[bit] = (assigned >> bit & 1) != 0;

    form.protocolFiles = m_profiles.readProtocolFileList();
    chooseProtocolFile(form, expandedProtocolPath(profile));
}

void SettingsDialogModel::chooseProtocolFile(SettingsForm& form, const std::string& path) const {
    form.protocolFile = path;
    form.protocolDescription = protocolFileDescription(path);
}

std::string SettingsDialogModel::check(const SettingsForm& form) const {
    if (!validProfileName(form.profileName))
        return std::string(kBadProfileName);
    const std::pair<std::string_view, const std::string*> crcFields[] = {
        {"Полином", &form.crc.polynom},
        {"Начальное значение", &form.crc.initial},
        {"Наложить по XOR", &form.crc.xorValue}};
    for (const auto& [label, text] : crcFields)
        if (!base::parseCrcNumber(*text))
            return "Поле \"" + std::string(label) + "\": " + base::crcConversionErrorText(*text);
    if (editValue(form.flashStart, kFlashAddressMin, kFlashAddressMax) >
        editValue(form.flashEnd, kFlashAddressMin, kFlashAddressMax))
        return std::string(kFlashRangeReversed);
    if (utf8Length(form.password) > kPasswordMaxLength)
        return std::string(kPasswordTooLong);
    if (!inList(form.portIndex, kNumberedPortCount))
        return std::string(kBadListChoice) + "Порт\".";
    if (!inList(form.baudRateIndex, kBaudRateTexts.size()))
        return std::string(kBadListChoice) + "Скорость\".";
    if (!inList(form.stopBitsIndex, kStopBitsTexts.size()))
        return std::string(kBadListChoice) + "Стоп-бит\".";
    if (!inList(form.parityIndex, kParityTexts.size()))
        return std::string(kBadListChoice) + "Чётность\".";
    if (form.crc.width != 16 && form.crc.width != 32)
        return std::string(kBadListChoice) + "Разрядность\".";
    return {};
}

SettingsApplyResult SettingsDialogModel::accept(const SettingsForm& form) {
    if (std::string refused = check(form); !refused.empty())
        return {false, std::move(refused)};
    const base::CrcParameters crc = *base::crcParametersFromPanel(form.crc);
    const std::string typedName = base::TrimBlanks(form.profileName);

    SettingsStore& s = m_store;
    const auto failed = [&s]() {
        return SettingsApplyResult{false, std::string(kSettingsNotSaved) + s.lastError()};
    };
    // One save of the settings file for all of it.
    SettingsStore::Batch batch(s);

    m_state.activeProfile = typedName;
    if (!m_profiles.saveProtocolFileList(form.protocolFile))
        return {false, {}};
    const std::optional<std::string> added = m_profiles.addProfile(form.profileName);
    if (!added)
        return {false, {}};
    const std::string& p = *added;

    if (!s.writeBool(Setting::ReloadLastFile, form.reloadLastFile) ||
        !s.writeInteger(Setting::PortIndex, form.portIndex))
        return failed();
    const bool deviceWritten = form.portDevice.empty() ? s.deleteKey(Setting::PortDevice)
                                                       : s.writeString(Setting::PortDevice, form.portDevice);
    if (!deviceWritten || !s.writeInteger(Setting::BaudRateIndex, form.baudRateIndex) ||
        !s.writeInteger(Setting::StopBitsIndex, form.stopBitsIndex) ||
        !s.writeInteger(Setting::ParityIndex, form.parityIndex) || !s.writeBool(Setting::Echo, form.echo) ||
        !s.writeBool(Setting::DontShowErrMsgs, form.dontShowErrMsgs))
        return failed();

    std::int32_t assigned = 0;
    for (std::size_t bit = 0; bit < form.fileTypes.size(); ++bit)
        if (form.fileTypes[bit])
            assigned |= 1 << bit;
    if (!s.writeInteger(Setting::AssignFileType, assigned, p))
        return failed();

    if (!s.writeBool(Setting::UseProfileAddress, form.useProfileAddress, p) ||
        !s.writeInteger(Setting::FlashStart, editValue(form.flashStart, kFlashAddressMin, kFlashAddressMax),
                        p) ||
        !s.writeInteger(Setting::FlashEnd, editValue(form.flashEnd, kFlashAddressMin, kFlashAddressMax), p) ||
        !s.writeBool(Setting::MemoryWindow, form.memoryWindow) ||
        !s.writeBool(Setting::CheckFileUpdate, form.checkFileUpdate, p) ||
        !s.writeBool(Setting::PreventUnmarked, form.preventUnmarked, p) ||
        !s.writeInteger(Setting::CtrlArea, editValue(form.ctrlArea, kCtrlAreaMin, kCtrlAreaMax), p) ||
        !s.writeString(Setting::Password, form.password, p) ||
        !s.writeInteger(Setting::PageSize, editValue(form.pageSize, kPageSizeMin, kPageSizeMax), p) ||
        !s.writeString(Setting::AnswerEnd, form.answerEndByGap ? "gap" : "template", p) ||
        !s.writeBool(Setting::RepeatGarbled, form.repeatGarbled, p))
        return failed();

    if (!s.writeString(Setting::ProtocolPath, m_profiles.StoreProtocolPath(form.protocolFile), p))
        return failed();

    if (!s.writeInteger(Setting::CrcWidth, crc.width, p) ||
        !s.writeInteger(Setting::CrcPolynom, static_cast<std::int32_t>(crc.polynom), p) ||
        !s.writeInteger(Setting::CrcInit, static_cast<std::int32_t>(crc.initial), p) ||
        !s.writeInteger(Setting::CrcXorOut, static_cast<std::int32_t>(crc.xorValue), p) ||
        !s.writeBool(Setting::CrcReflect, crc.reflected, p) ||
        !s.writeBool(Setting::CrcSwapHiLo, crc.tableSwap, p))
        return failed();

    m_host.setFileWatch(s.readBool(Setting::CheckFileUpdate, p));
    if (!s.writeInteger(Setting::ConfirmReload, form.confirmReload ? 1 : 0, p))
        return failed();
    if (!batch.commit())
        return failed();
    m_host.setImageCrcParams(readImageCrcParams(s, p));
    return {};
}

void SettingsDialogModel::finish() {
    const std::string path = expandedProtocolPath(m_state.activeProfile);
    if (protocolFileChecksum(path) != m_openedChecksum)
        m_profiles.OpenProtocolFile(path);
    m_view.ApplyPanelLayout();
    m_profiles.LoadProfile(m_state.activeProfile);
    // Only now are the page size and the image CRC those of the profile.
    if (!sameFigures(viewFigures(), m_openedFigures))
        m_view.RefreshView();
}

SettingsDialogModel::ViewFigures SettingsDialogModel::viewFigures() const {
    const std::string& p = m_state.activeProfile;
    return {m_store.readInteger(Setting::FlashStart, p), m_store.readInteger(Setting::FlashEnd, p),
            m_store.readInteger(Setting::PageSize, p), m_store.readBool(Setting::MemoryWindow),
            readImageCrcParams(m_store, p)};
}

bool SettingsDialogModel::sameFigures(const ViewFigures& a, const ViewFigures& b) {
    return a.flashStart == b.flashStart && a.flashEnd == b.flashEnd && a.pageSize == b.pageSize &&
           a.memoryWindow == b.memoryWindow && a.crc.width == b.crc.width && a.crc.polynom == b.crc.polynom &&
           a.crc.initial == b.crc.initial && a.crc.reflected == b.crc.reflected &&
           a.crc.xorValue == b.crc.xorValue && a.crc.tableSwap == b.crc.tableSwap;
}

bool SettingsDialogModel::deleteProfile(SettingsForm& form) {
    if (!m_profiles.DeleteProfile(form.profileName))
        return false;
    form.profileNames = sortedProfileNames();
    form.profileName.clear();
    return true;
}

} // namespace app
