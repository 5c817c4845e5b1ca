#pragma once
// The desktop program's command line: the switches /F (file), /A (device address) and /E (actions kept
// visible), read from the arguments after the program name. All texts are UTF-8.
//
// An argument is a switch when, trimmed of spaces and tabs, it begins with "/F", "/A" or "/E" (the two
// characters compared after upper-casing). On Linux an absolute path can begin the same way, so an
// argument that names an existing file or folder is never a switch, and neither is an /A or /E argument
// whose value holds a further "/". Every other non-empty argument is a bare file path and opens as /F
// would; of an /F switch and a bare path the earlier one wins. Any argument at all counts as "started
// with arguments".

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// What GetSwitchValue returns for a switch that is not given.
inline constexpr std::string_view kSwitchAbsent = " ";

// The actions that /E can show or hide, in the order of its letter table.
enum class ShellAction {
    FileOpen,
    FileUpdate,
    FileSave,
    BufferClear,
    DevOpts,
    DevRead,
    DevWrite,
    DevErase,
    DevReset,
    DevFind,
    FileOptions,
    Count
};

// The letter of `action` in an /E value ('L' for FileOpen, 'Q' for FileUpdate, ...).
char actionLetter(ShellAction action);

// Whether `action` stays visible for the /E value `letters` (upper-cased before the test; other
// characters are ignored). FileOpen is visible when 'L' does not occur; every other action when its
// letter occurs. Without /E (`letters` empty optional) every action stays visible.
bool actionVisible(ShellAction action, const std::optional<std::string>& letters);

class CommandLine {
  public:
    // Tells whether a path names an existing file or folder; the real file system when empty.
    using PathExists = std::function<bool(const std::string&)>;

    // `args` are the arguments after the program name.
    explicit CommandLine(std::vector<std::string> args, PathExists exists = {});

    // The value of the first switch argument beginning with `prefix` (trimmed, prefix removed, case
    // kept), or " " when none does. Arguments that are not switches (see above) are skipped.
    std::string GetSwitchValue(std::string_view prefix) const;

    bool startedWithArguments() const { return !m_args.empty(); }

    // The file to open at start-up: the value of the earlier of the first /F switch and the first bare
    // path; empty optional when neither is given. An /F with an empty value gives an empty text (no file
    // is loaded).
    std::optional<std::string> file() const;

    // The /A value as given (empty optional without /A).
    std::optional<std::string> addressText() const;
    // The /A value as a device address; empty optional without /A or when the value is no number.
    std::optional<std::int32_t> address() const;

    // The /E letters (empty optional without /E).
    std::optional<std::string> actionLetters() const;

  private:
    bool isSwitch(const std::string& trimmed, char letter) const;

    std::vector<std::string> m_args; // trimmed
    PathExists m_exists;
};

// The device address for this run: the /A value when it is a number; otherwise `profileAddress`. When
// /A is given but is no number, `warning` receives the log text telling so (it stays empty otherwise).
std::int32_t startupDeviceAddress(const CommandLine& cmd, std::int32_t profileAddress, std::string& warning);

} // namespace app
