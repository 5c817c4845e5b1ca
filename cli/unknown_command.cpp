#include "cli/unknown_command.h"

#include <string_view>

namespace cli {

namespace {

// The option a word names at this level or above it (global options may follow a command).
const CLI::Option* optionOf(CLI::App* level, std::string_view word) {
    const std::string name(word.substr(0, word.find('=')));
    for (CLI::App* app = level; app != nullptr; app = app->get_parent())
        for (const CLI::Option* option : app->get_options())
            if (option->check_name(name))
                return option;
    return nullptr;
}

std::string commandList(CLI::App* level) {
    std::string names;
    for (const CLI::App* sub : level->get_subcommands([](CLI::App*) { return true; }))
        names += (names.empty() ? "" : ", ") + sub->get_name();
    return names;
}

} // namespace

std::optional<std::string> unknownCommandMessage(CLI::App& app, int argc, const char* const* argv) {
    CLI::App* level = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word.size() > 1 && word[0] == '-') {
            const CLI::Option* option = optionOf(level, word);
            if (option && option->get_type_size() > 0 && word.find('=') == std::string_view::npos)
                ++i; // its value
            continue;
        }
        if (level->get_subcommands([](CLI::App*) { return true; }).empty())
            return std::nullopt; // a level without commands takes words as its arguments
        const auto named =
            level->get_subcommands([&word](CLI::App* sub) { return sub->check_name(std::string(word)); });
        if (named.empty()) {
            const std::string where = level == &app ? "" : level->get_name() + " ";
            return "velmora-cli: '" + std::string(word) + "' is no " + where + "command; the commands are " +
                   commandList(level);
        }
        level = named.front();
    }
    return std::nullopt;
}

} // namespace cli
