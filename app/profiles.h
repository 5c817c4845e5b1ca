#pragma once
// Profiles: the named sets of per-profile settings, the list of them, applying one to the running
// program, and the protocol description each one names.
//
// Profile names are UTF-8, trimmed of spaces and tabs once and used trimmed everywhere. An empty name,
// or one holding "[", "]" or a control character, is refused with a message: such a name cannot make a
// section of the settings file.
//
// Messages go to the message sink as error boxes; the enabled state of the actions is recomputed
// through the view notifications after every outcome of opening a protocol description.

#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/profile_host.h"
#include "app/protocol_loader.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Entries read from a list whose count says more are not read: a damaged count must not make the
// program read (or invent) millions of entries.
inline constexpr int kMaxListEntries = 1000;

// The caption of the error boxes shown here.
inline constexpr std::string_view kErrorTitle = "Ошибка";

// The profile list as the main window's profile box shows it.
struct ProfileListFill {
    std::vector<std::string> names; // entries 1..count in order
    int selected = -1;              // the last entry equal to the active profile; -1 when none is
};

// `name` trimmed of spaces and tabs, or empty when it is no valid profile name.
std::optional<std::string> validProfileName(std::string_view name);

// The image CRC parameters of `profile`, read in the order Init, Reflect, SwapHILO, XORout, Polynom,
// CRCwidth with their defaults (16 bits, 0x8005, 0xFFFF, reflected, no swap, XOR 0).
base::CrcParameters readImageCrcParams(const SettingsStore& store, std::string_view profile);

class Profiles {
  public:
    // Everything is borrowed and must outlive this object. `programDir` is the folder of the program,
    // as found, for the stored form of protocol paths.
    Profiles(SettingsStore& store, MainState& state, ProfileHost& host, ProtocolLoader& protocol,
             MessageSink& messages, ViewNotifications& view, std::filesystem::path programDir);
    Profiles(const Profiles&) = delete;
    Profiles& operator=(const Profiles&) = delete;

    // Entries 1..count of the profile list; an entry without a key reads "NONAME" + its index.
    std::vector<std::string> profileList() const;
    // The list and the entry to select in the main window's profile box (exact, case-sensitive match
    // with the active profile name; the last equal entry wins).
    ProfileListFill FillProfileList() const;

    // The settings dialog confirmed with the profile name `name`: adds the trimmed name at the end of the
    // list unless an entry equals it, and makes it active (the active profile name and Profiles/active).
    // Returns the trimmed name; empty after a refused name (with a message) or a failed write (with a
    // message naming the reason).
    std::optional<std::string> addProfile(std::string_view name);

    // Drops every list entry equal to the trimmed `name`, renumbering the rest without gaps, and erases
    // the name's \Connection and \Options sections (its \Protocol and \Application sections stay, for a
    // profile created later under the same name). False after a refused name or a failed write, with a
    // message.
    bool DeleteProfile(std::string_view name);

    // Applies the profile `name` to the running program: page size, image CRC, device address when the
    // profile says so, file-watch timer, the protocol description with its messages, Profiles/active,
    // the password, and, when `name` differs from the profile applied before (not on the first call),
    // the reload of the current file when Profiles/"Reload last file" is on and the current file
    // recorded as the profile's \Application/File. False
    // when the name is refused (with a message) or when called again while a profile is being applied
    // (a file load started by the reload must not start another profile switch).
    bool LoadProfile(std::string_view name);
    // True while LoadProfile runs.
    // Whether a file load may switch to `name` because of its file type: only outside LoadProfile, and
    // only when `name` differs from the active profile.
    bool mayApplyProfileForLoadedFile(std::string_view name) const;

    // Opens the protocol description at `path` (expanded form): true when it was read and communication
    // is enabled. An empty path, a missing file or a reader error disable communication and show their
    // message; a reader error also discards the partly read description.
    bool OpenProtocolFile(const std::string& path);

    // The stored and the expanded form of a protocol path relative to the program folder.
    std::string StoreProtocolPath(std::string_view chosen) const;
    std::string ExpandProtocolPath(std::string_view stored) const;

    // Reads the Protocols list into MainState::protocolFileList, dropping entries whose file is missing.
    const std::vector<std::string>& readProtocolFileList();
    // Appends `chosen` (trimmed; nothing when empty) to MainState::protocolFileList unless it is there
    // already, and writes the whole list back. False after a failed write, with a message.
    bool saveProtocolFileList(std::string_view chosen);

  private:
    void reportWriteFailure();
    bool refuseName();

    SettingsStore& m_store;
    MainState& m_state;
    ProfileHost& m_host;
    ProtocolLoader& m_protocol;
    MessageSink& m_messages;
    ViewNotifications& m_view;
    std::filesystem::path m_programDir;
    std::optional<std::string> m_applied; // the profile LoadProfile last applied
    bool m_applying = false;
    bool m_writeFailureShown = false;
};

} // namespace app
