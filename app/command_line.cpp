#include "app/command_line.h"

#include "app/integer_text.h"

#include <array>
#include <filesystem>
#include <system_error>

namespace app {

namespace {

constexpr std::array<char, static_cast<size_t>(ShellAction::Count)> kActionLetters{
    'L', 'Q', 'S', 'C', 'P', 'U', 'D', 'E', 'R', 'F', 'O'};

std::string trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The switch letters are Latin, so upper-casing the ASCII range is enough for the comparison: a
// Cyrillic letter can never equal them in either case.
bool hasPrefix(std::string_view arg, std::string_view prefix) {
    if (arg.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upperAscii(arg[i]) != upperAscii(prefix[i]))
            return false;
    return true;
}

bool realPathExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

bool isKnownSwitch(std::string_view prefix) {
    if (prefix.size() != 2 || prefix[0] != '/')
        return false;
    const char letter = upperAscii(prefix[1]);
    return letter == 'F' || letter == 'A' || letter == 'E';
}

} // namespace

char actionLetter(ShellAction action) {
    return kActionLetters[static_cast<size_t>(action)];
}

bool actionVisible(ShellAction action, const std::optional<std::string>& letters) {
    if (!letters)
        return true;
    bool found = false;
    for (char c : *letters)
        if (upperAscii(c) == actionLetter(action))
            found = true;
    return action == ShellAction::FileOpen ? !found : found;
}

CommandLine::CommandLine(std::vector<std::string> args, PathExists exists)
    : m_exists(exists ? std::move(exists) : PathExists(realPathExists)) {
    m_args.reserve(args.size());
    for (const std::string& arg : args)
        m_args.push_back(trimmed(arg));
}

bool CommandLine::isSwitch(const std::string& arg, char letter) const {
    const char prefix[] = {'/', letter, '\0'};
    if (!hasPrefix(arg, prefix))
        return false;
    // An existing path such as /etc or /Applications is a file, not a switch.
    if (m_exists(arg))
        return false;
    if (letter != 'F' && arg.find('/', 2) != std::string::npos)
        return false;
    return true;
}

std::string CommandLine::GetSwitchValue(std::string_view prefix) const {
    for (const std::string& arg : m_args) {
        if (!hasPrefix(arg, prefix))
            continue;
        // For the three known switches the path rules decide.
        if (isKnownSwitch(prefix) && !isSwitch(arg, upperAscii(prefix[1])))
            continue;
        return arg.substr(prefix.size());
    }
    return std::string(kSwitchAbsent);
}

std::optional<std::string> CommandLine::file() const {
    for (const std::string& arg : m_args) {
        if (isSwitch(arg, 'F'))
            return arg.substr(2);
        if (arg.empty() || isSwitch(arg, 'A') || isSwitch(arg, 'E'))
            continue;
        return arg;
    }
    return std::nullopt;
}

std::optional<std::string> CommandLine::addressText() const {
    std::string value = GetSwitchValue("/A");
    if (value == kSwitchAbsent)
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> CommandLine::address() const {
    const std::optional<std::string> text = addressText();
    if (!text)
        return std::nullopt;
    return parseInteger(*text);
}

std::optional<std::string> CommandLine::actionLetters() const {
    std::string value = GetSwitchValue("/E");
    if (value == kSwitchAbsent)
        return std::nullopt;
    return value;
}

std::int32_t startupDeviceAddress(const CommandLine& cmd, std::int32_t profileAddress, std::string& warning) {
    warning.clear();
    const std::optional<std::string> text = cmd.addressText();
    if (!text)
        return profileAddress;
    if (const std::optional<std::int32_t> value = parseInteger(*text))
        return *value;
    warning = "Неверный адрес устройства в командной строке: \"" + *text + "\", используется адрес профиля " +
              std::to_string(profileAddress);
    return profileAddress;
}

} // namespace app
