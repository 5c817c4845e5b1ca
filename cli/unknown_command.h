#pragma once
// Naming the word that is no command, where the parser only says that a command is missing.

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace cli {

// Walks the arguments down the command tree (skipping options and their values) and returns the
// message for the first word that is not a command of the level it stands at; empty when there is none.
std::optional<std::string> unknownCommandMessage(CLI::App& app, int argc, const char* const* argv);

} // namespace cli
