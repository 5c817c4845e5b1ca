#pragma once
// What every velmora-cli command shares: the global options and the exit status the command sets.
// Exit status: 0 success, 1 a failed check or operation, 2 usage or unreadable input, 130 cancelled;
// device commands tell their causes apart further (cli/exit_codes.h).

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace cli {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitCancelled = 130 };

struct CliContext {
    std::string settingsPath;           // --settings: another settings file
    std::string profile;                // --profile: another profile than the active one
    std::string port;                   // --port: serial device path, overrides the settings
    std::optional<std::string> address; // --address: device address, overrides the profile
    std::optional<int> baudIndex;       // --baud: line speed (a TBaudRate index), overrides the settings
    std::optional<int> parity;          // --parity: a TParity value, overrides the settings
    bool repeatGarbled = false;         // --repeat-garbled: mode-1 commands repeat after garbled answers
    bool quiet = false;                 // --quiet: no progress line
    bool json = false;                  // --json: device commands print their events as JSON lines
    std::string trace;                  // --trace: file for every frame sent and answer received
    bool traceAppend = false;           // the trace file holds earlier devices of the same job
    bool dryRun = false;                // --dry-run: the job runs against a simulated device in memory
    int exitCode = kExitOk;
};

// Each command group adds its subcommands to the application.
void registerEvalCommands(CLI::App& app, CliContext& ctx);
void registerCrcCommands(CLI::App& app, CliContext& ctx);
void registerProtocolCommands(CLI::App& app, CliContext& ctx);
void registerFileCommands(CLI::App& app, CliContext& ctx);
void registerDeviceCommands(CLI::App& app, CliContext& ctx);

} // namespace cli
