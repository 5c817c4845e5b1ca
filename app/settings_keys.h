#pragma once
// Every key of the settings file: its section, name, type and default, in one table.
//
// Global keys live in the section named here. Profile keys live in the section made of the profile name
// and the suffix named here (the profile "default" keeps its connection keys in "default\Connection").
// A numbered key is the name followed by a decimal index (profile1, File8, Protocol_0); where a numbered
// key has a text default, its index is appended to that default too ("NONAME2").

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace app {

enum class SettingType { String, Integer, Boolean };
enum class SettingScope { Global, Profile };

enum class Setting : std::size_t {
    // Profiles
    ProfileCount,
    ProfileName, // numbered from 1
    ActiveProfile,
    ReloadLastFile,
    // Window, View
    WindowHeight,
    ShowVerMaximized,
    AllowEdit,
    MemoryWindow,
    ShowInfo,
    ShowDump,
    ShowProfile,
    ShowRecipient,
    ShowJump,
    ShowProgPanel,
    // Data, Recent files
    LastFile,
    RecentFile, // numbered from 1 to kRecentFileCount
    // Port settings
    PortIndex,
    BaudRateIndex,
    StopBitsIndex,
    Echo,
    PortDevice,
    ParityIndex,
    // Errors
    DontShowErrMsgs,
    // Protocols
    ProtocolCount,
    ProtocolFile, // numbered from 0
    // The plain "Connection" section written by the device search
    SearchDevAddress,
    // Per profile: \Connection
    DevAddress,
    FlashStart,
    FlashEnd,
    CtrlArea,
    Password,
    ProtocolPath,
    // Per profile: \Options
    UseProfileAddress,
    CheckFileUpdate,
    PreventUnmarked,
    AssignFileType,
    ConfirmReload,
    // Per profile: \Protocol
    PageSize,
    AnswerEnd,
    RepeatGarbled,
    // Per profile: \Application
    CrcWidth,
    CrcPolynom,
    CrcInit,
    CrcXorOut,
    CrcReflect,
    CrcSwapHiLo,
    ProfileFile,

    Count
};

struct SettingKey {
    Setting id;
    SettingScope scope;
    std::string_view section; // section name, or the suffix after the profile name
    std::string_view key;     // key name; for a numbered key the part before the index
    SettingType type;
    std::int32_t number;   // default of an Integer or Boolean key (0 or 1)
    std::string_view text; // default of a String key
    bool numbered;
};

inline constexpr int kRecentFileCount = 8;

namespace detail {
using S = Setting;
using T = SettingType;
constexpr SettingScope G = SettingScope::Global;
constexpr SettingScope P = SettingScope::Profile;
} // namespace detail

inline constexpr std::array<SettingKey, static_cast<std::size_t>(Setting::Count)> kSettingKeys{{
    {detail::S::ProfileCount, detail::G, "Profiles", "count", detail::T::Integer, 0, "", false},
    {detail::S::ProfileName, detail::G, "Profiles", "profile", detail::T::String, 0, "NONAME", true},
    {detail::S::ActiveProfile, detail::G, "Profiles", "active", detail::T::String, 0, "default", false},
    {detail::S::ReloadLastFile, detail::G, "Profiles", "Reload last file", detail::T::Boolean, 0, "", false},
    {detail::S::WindowHeight, detail::G, "Window", "Hight", detail::T::Integer, 680, "", false},
    {detail::S::ShowVerMaximized, detail::G, "View", "ShowVerMaximized", detail::T::Integer, 0, "", false},
    {detail::S::AllowEdit, detail::G, "View", "AllowEdit", detail::T::Boolean, 0, "", false},
    {detail::S::MemoryWindow, detail::G, "View", "Memory window", detail::T::Boolean, 1, "", false},
    {detail::S::ShowInfo, detail::G, "View", "ShowInfo", detail::T::Boolean, 1, "", false},
    {detail::S::ShowDump, detail::G, "View", "ShowDump", detail::T::Boolean, 1, "", false},
    {detail::S::ShowProfile, detail::G, "View", "ShowProfile", detail::T::Boolean, 1, "", false},
    {detail::S::ShowRecipient, detail::G, "View", "ShowRecipient", detail::T::Boolean, 1, "", false},
    {detail::S::ShowJump, detail::G, "View", "ShowJump", detail::T::Boolean, 1, "", false},
    {detail::S::ShowProgPanel, detail::G, "View", "ShowProgPanel", detail::T::Boolean, 1, "", false},
    {detail::S::LastFile, detail::G, "Data", "File", detail::T::String, 0, "", false},
    {detail::S::RecentFile, detail::G, "Recent files", "File", detail::T::String, 0, "", true},
    {detail::S::PortIndex, detail::G, "Port settings", "port", detail::T::Integer, 0, "", false},
    {detail::S::BaudRateIndex, detail::G, "Port settings", "baudrate", detail::T::Integer, 8, "", false},
    {detail::S::StopBitsIndex, detail::G, "Port settings", "Stop bits", detail::T::Integer, 1, "", false},
    {detail::S::Echo, detail::G, "Port settings", "Echo", detail::T::Boolean, 0, "", false},
    {detail::S::PortDevice, detail::G, "Port settings", "device", detail::T::String, 0, "", false},
    {detail::S::ParityIndex, detail::G, "Port settings", "Parity", detail::T::Integer, 0, "", false},
    {detail::S::DontShowErrMsgs, detail::G, "Errors", "DontShowErrMsgs", detail::T::Boolean, 0, "", false},
    {detail::S::ProtocolCount, detail::G, "Protocols", "count", detail::T::Integer, 0, "", false},
    {detail::S::ProtocolFile, detail::G, "Protocols", "Protocol_", detail::T::String, 0, "", true},
    {detail::S::SearchDevAddress, detail::G, "Connection", "Dev address", detail::T::Integer, 17, "", false},
    {detail::S::DevAddress, detail::P, "\\Connection", "Dev address", detail::T::Integer, 17, "", false},
    {detail::S::FlashStart, detail::P, "\\Connection", "FLASH start", detail::T::Integer, 0x2100, "", false},
    {detail::S::FlashEnd, detail::P, "\\Connection", "FLASH end", detail::T::Integer, 0x3FFF, "", false},
    {detail::S::CtrlArea, detail::P, "\\Connection", "Ctrl_area", detail::T::Integer, 0xF00, "", false},
    {detail::S::Password, detail::P, "\\Connection", "Password", detail::T::String, 0, "", false},
    {detail::S::ProtocolPath, detail::P, "\\Connection", "protocolFile", detail::T::String, 0, "", false},
    {detail::S::UseProfileAddress, detail::P, "\\Options", "Use profile address", detail::T::Boolean, 0, "",
     false},
    {detail::S::CheckFileUpdate, detail::P, "\\Options", "Check file update", detail::T::Boolean, 0, "",
     false},
    {detail::S::PreventUnmarked, detail::P, "\\Options", "Prevent unmarked", detail::T::Boolean, 0, "",
     false},
    {detail::S::AssignFileType, detail::P, "\\Options", "Assign file type", detail::T::Integer, 0, "", false},
    {detail::S::ConfirmReload, detail::P, "\\Options", "Confirm reload", detail::T::Integer, 1, "", false},
    {detail::S::PageSize, detail::P, "\\Protocol", "Pagesize", detail::T::Integer, 128, "", false},
    {detail::S::AnswerEnd, detail::P, "\\Protocol", "Answer end", detail::T::String, 0, "template", false},
    {detail::S::RepeatGarbled, detail::P, "\\Protocol", "Repeat garbled answers", detail::T::Boolean, 0, "",
     false},
    {detail::S::CrcWidth, detail::P, "\\Application", "CRCwidth", detail::T::Integer, 16, "", false},
    {detail::S::CrcPolynom, detail::P, "\\Application", "Polynom", detail::T::Integer, 0x8005, "", false},
    {detail::S::CrcInit, detail::P, "\\Application", "Init", detail::T::Integer, 0xFFFF, "", false},
    {detail::S::CrcXorOut, detail::P, "\\Application", "XORout", detail::T::Integer, 0, "", false},
    {detail::S::CrcReflect, detail::P, "\\Application", "Reflect", detail::T::Boolean, 1, "", false},
    {detail::S::CrcSwapHiLo, detail::P, "\\Application", "SwapHILO", detail::T::Boolean, 0, "", false},
    {detail::S::ProfileFile, detail::P, "\\Application", "File", detail::T::String, 0, "", false},
}};

constexpr const SettingKey& settingKey(Setting id) {
    return kSettingKeys[static_cast<std::size_t>(id)];
}

namespace detail {
constexpr bool tableInOrder() {
    for (std::size_t i = 0; i < kSettingKeys.size(); ++i)
        if (static_cast<std::size_t>(kSettingKeys[i].id) != i)
            return false;
    return true;
}
} // namespace detail
static_assert(detail::tableInOrder(), "kSettingKeys must list the settings in the order of Setting");

// The section holding `id`: its own for a global key, `profile` + suffix for a profile key.
inline std::string settingSection(Setting id, std::string_view profile = {}) {
    const SettingKey& k = settingKey(id);
    if (k.scope == SettingScope::Global)
        return std::string(k.section);
    return std::string(profile) + std::string(k.section);
}

// The key name of `id`, with `index` appended for a numbered key.
inline std::string settingKeyName(Setting id, int index = 0) {
    const SettingKey& k = settingKey(id);
    return k.numbered ? std::string(k.key) + std::to_string(index) : std::string(k.key);
}

// The default text of a String key, with `index` appended for a numbered key that has a default.
inline std::string settingDefaultText(Setting id, int index = 0) {
    const SettingKey& k = settingKey(id);
    if (k.numbered && !k.text.empty())
        return std::string(k.text) + std::to_string(index);
    return std::string(k.text);
}

} // namespace app
