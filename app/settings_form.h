#pragma once
// The settings dialog without its window: every control's value as a plain struct, filling it from one
// profile, the checks and the ordered writes of "Ok", the steps after either button, the profile box and
// the port list rules. The desktop dialog copies SettingsForm to and from its controls and calls
// SettingsDialogModel at the matching events. All texts are UTF-8.

#include "app/main_state.h"
#include "app/profile_host.h"
#include "app/profiles.h"
#include "app/serial_devices.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "base/crc_presets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Limits of the value edits (inclusive).
inline constexpr double kFlashAddressMin = 0;
inline constexpr double kFlashAddressMax = 1048575;
inline constexpr double kCtrlAreaMin = 0;
inline constexpr double kCtrlAreaMax = 65535;
inline constexpr double kPageSizeMin = 32;
inline constexpr double kPageSizeMax = 4096;
// Characters of the password field.
inline constexpr std::size_t kPasswordMaxLength = 15;

// The item lists of the dialog, in index order (the stored value is the item index).
inline constexpr int kNumberedPortCount = 20; // "COM1" .. "COM20"
inline constexpr std::array<std::string_view, 15> kBaudRateTexts{
    "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
    "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
inline constexpr std::array<std::string_view, 3> kStopBitsTexts{"1", "1.5", "2"};
inline constexpr std::array<std::string_view, 5> kParityTexts{"нет", "нечётная", "чётная", "маркер",
                                                              "пробел"};
// The "Конец ответа" items: stored as Protocol/Answer end "template" and "gap".
inline constexpr std::array<std::string_view, 2> kAnswerEndTexts{"по шаблону", "по паузе"};
inline constexpr std::array<std::string_view, 2> kCrcWidthTexts{"16 бит", "32 бит"};
// The "Привязать к типу файла" items: bit 0, 1 and 2 of Assign file type.
inline constexpr std::array<std::string_view, 3> kFileTypeTexts{"Intel HEX", "бинарный", "Q7R конверт"};

struct SettingsForm {
    // Profile group
    std::string profileName;               // the profile box's text
    std::vector<std::string> profileNames; // its list, sorted

    // "Основные"
    double flashStart = 0x2100;
    double flashEnd = 0x3FFF;
    double ctrlArea = 0xF00;
    double pageSize = 128;
    std::string password;
    bool preventUnmarked = false;
    bool useProfileAddress = false;
    bool memoryWindow = true;
    bool checkFileUpdate = false;
    bool confirmReload = true; // "Запросить подтверждение перезагрузки"; false: reload automatically
    bool dontShowErrMsgs = false;
    bool reloadLastFile = false;

    // "Связь"
    int portIndex = 0;      // 0 = "COM1"
    std::string portDevice; // a device path chosen instead of a numbered port; empty when none is
    int baudRateIndex = 8;  // into kBaudRateTexts
    int stopBitsIndex = 1;  // into kStopBitsTexts
    int parityIndex = 0;    // into kParityTexts
    bool echo = false;
    bool answerEndByGap = false;            // Protocol/Answer end "gap"; "template" otherwise
    bool repeatGarbled = false;             // Protocol/Repeat garbled answers
    std::string protocolFile;               // the protocol-file box's text (expanded path)
    std::vector<std::string> protocolFiles; // its list: the known files that exist
    std::string protocolDescription;        // the chosen file's comment; empty when unreadable

    // "Буфер": the CRC panel (width 16 or 32). Kept as it is when a profile with another width is filled.
    base::CrcPanelValues crc{16, "0x8005", "0xFFFF", true, "0x0000", false};

    // "Ассоциации": "Intel HEX", "бинарный", "Q7R конверт"
    std::array<bool, 3> fileTypes{};

    // Started with command-line arguments: the profile group, the protocol group and the "Буфер" page
    // with its tab are hidden (and the page control moves up).
    bool argumentMode = false;
};

// The two reload radio buttons are enabled exactly while "Отслеживать изменение..." is checked.
bool reloadChoiceEnabled(const SettingsForm& form);
// The delete button is enabled when the profile box's text, trimmed of spaces and tabs, equals one of its
// list entries exactly.
bool profileDeleteEnabled(const SettingsForm& form);

// The port list: "COM1" .. "COM20", then the serial devices present, then the form's device path when
// it is set and not among them.
std::vector<std::string> portChoices(const SettingsForm& form, const SerialDeviceList& devices);
// The port list's current choice: the device path when one is set, else "COM" + (portIndex + 1).
std::string currentPortChoice(const SettingsForm& form);
// A choice of the port list: "COM1" .. "COM20" (any letter case) sets portIndex and clears the device
// path; an absolute path (starting with "/") becomes the device path and keeps portIndex. Anything else
// is refused: false, the form unchanged.
bool choosePort(SettingsForm& form, std::string_view choice);

// The description field for a protocol file: the file's comment; empty when the path is empty or the
// file cannot be read.
std::string protocolFileDescription(const std::string& path);
// The integrity checksum of a protocol file (the CRC-32 of all bytes before its trailer); 0 when the path
// is empty or the file does not exist or cannot be read.
std::uint32_t protocolFileChecksum(const std::string& path);

// The outcome of "Ok". When `ok` is false nothing more is written. `message` is the text to show in an
// error box; it is empty when the message was already shown through the profiles' message sink.
struct SettingsApplyResult {
    bool ok = true;
    std::string message;
};

class SettingsDialogModel {
  public:
    // Everything is borrowed and must outlive this object; `profiles` works on the same store and state.
    SettingsDialogModel(SettingsStore& store, Profiles& profiles, MainState& state, ProfileHost& host,
                        ViewNotifications& view);
    SettingsDialogModel(const SettingsDialogModel&) = delete;
    SettingsDialogModel& operator=(const SettingsDialogModel&) = delete;

    // Opening the dialog: the sorted profile list with the active profile's name as text, the form filled
    // from the active profile, its FLASH start and end and its protocol file's checksum remembered for
    // finish(), and argumentMode set when the program was started with arguments.
    void open(SettingsForm& form);

    // Loads the profile's values into the form: global keys from their sections, profile keys from the
    // profile's (defaults where absent). Indexes outside their lists read as the key's default. The CRC
    // panel is filled only for a stored width of 16 or 32 ("0x" and 4 or 8 upper-case hexadecimal digits,
    // more when a value needs them; both check boxes as stored), any other width keeps it as it is. The
    // protocol-file box gets the profile's expanded protocol path and its description; its list is
    // refilled from the known files that still exist.
    void fill(SettingsForm& form, std::string_view profile);

    // The checks of "Ok", made before anything is written: the profile name, the three CRC texts (the
    // message names the field), FLASH start not above FLASH end (after rounding), the password length
    // (characters), the list indexes and the CRC width. Empty when everything passes, else the message.
    std::string check(const SettingsForm& form) const;

    // "Ok": check(), then the writes in the dialog's order: active profile name; protocol file list; the
    // profile added to the list and made active; Reload last file, port (and device: written when set,
    // deleted otherwise), baudrate, Stop bits, Echo, DontShowErrMsgs; Assign file type; Use profile
    // address, FLASH start, FLASH end (value edits rounded to the nearest integer, halves to even, and
    // held within their limits), Memory window, Check file update, Prevent unmarked, Ctrl_area, Password,
    // Pagesize; protocolFile (stored form); CRCwidth, Polynom, Init, XORout, Reflect, SwapHILO; the
    // file-watch timer; Confirm reload; the image CRC re-applied from the profile. A refused check writes
    // nothing; a failed write stops at that key (the message names the reason).
    SettingsApplyResult accept(const SettingsForm& form);

    // After "Ok" and after "Отмена": the protocol description is opened again when its file's checksum
    // changed since open(); the panel layout is re-applied (the log panel follows View/ShowInfo); the
    // active profile is applied (LoadProfile), also when the list does not hold it; then the view is
    // refreshed when anything it is drawn from changed since open(): the active profile's FLASH start or
    // end, its page size, its image CRC parameters or View/Memory window. The main window then refills its
    // profile box (Profiles::FillProfileList).
    void finish();

    // The delete button: deletes the profile named by the box's text; the box's list is refilled and its
    // text emptied. False (the form unchanged) when the deletion was refused or failed, with a message.
    bool deleteProfile(SettingsForm& form);

    // The protocol-file box got `path` (browsed or chosen from its list): the text and the description.
    void chooseProtocolFile(SettingsForm& form, const std::string& path) const;

  private:
    std::vector<std::string> sortedProfileNames() const;
    std::string expandedProtocolPath(std::string_view profile) const;

    SettingsStore& m_store;
    Profiles& m_profiles;
    MainState& m_state;
    ProfileHost& m_host;
    ViewNotifications& m_view;
    // What the dump and the status line are drawn from, besides the image itself.
    struct ViewFigures {
        std::int32_t flashStart = 0;
        std::int32_t flashEnd = 0;
        std::int32_t pageSize = 0;
        bool memoryWindow = true;
        base::CrcParameters crc;
    };
    ViewFigures viewFigures() const;
    static bool sameFigures(const ViewFigures& a, const ViewFigures& b);

    ViewFigures m_openedFigures;
    std::uint32_t m_openedChecksum = 0;
};

} // namespace app
