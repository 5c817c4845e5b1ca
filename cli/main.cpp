// velmora-cli: the headless front end over the same core as the desktop program.

#include "cli/cli_context.h"
#include "cli/unknown_command.h"
#include "exchange/comm.h"

#include <cctype>
#include <cstdio>
#include <map>

namespace {

// The line speeds the port offers, by their bit rate, to their index.
std::map<std::string, int> baudChoices() {
    std::map<std::string, int> choices;
    for (int i = 0; i < exchange::kBaudRateCount; ++i)
        choices[std::to_string(exchange::baudRateBits(i))] = i;
    return choices;
}

const std::map<std::string, int> kParityChoices{{"none", exchange::No_Parity},
                                                {"odd", exchange::Odd_Parity},
                                                {"even", exchange::Even_Parity},
                                                {"mark", exchange::Mark_Parity},
                                                {"space", exchange::Space_Parity}};

} // namespace

int main(int argc, char** argv) {
    cli::CliContext ctx;
    CLI::App app{"Velmora command-line tool: firmware files, protocol descriptions and devices on a "
                 "MODBUS-RTU line."};
    app.set_version_flag("--version", std::string("velmora-cli ") + VELMORA_VERSION);
    app.require_subcommand(1);
    // Global options may also follow the command: `device read out.hex --port /dev/ttyUSB0`.
    app.fallthrough();
    app.add_option("--settings", ctx.settingsPath, "Settings file to use instead of the default prog.ini");
    app.add_option("--profile", ctx.profile, "Profile to use instead of the active one");
    app.add_option("--port", ctx.port, "Serial device path, overrides the settings");
    app.add_option("--address", ctx.address, "Device address, overrides the profile");
    // Only the names are taken: a bare table index ("--baud 12") would otherwise pass for a speed.
    const std::map<std::string, int> speeds = baudChoices();
    app.add_option_function<std::string>(
           "--baud", [&ctx, speeds](const std::string& bits) { ctx.baudIndex = speeds.at(bits); },
           "Line speed in bit/s (110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, "
           "115200, 128000 or 256000), overrides the settings")
        ->option_text("BITS")
        ->check(CLI::IsMember(speeds));
    app.add_option_function<std::string>(
           "--parity",
           [&ctx](const std::string& name) {
               std::string lower(name);
               for (char& c : lower)
                   c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
               ctx.parity = kParityChoices.at(lower);
           },
           "Parity: none, odd, even, mark or space; overrides the settings")
        ->option_text("NAME")
        ->check(CLI::IsMember(kParityChoices, CLI::ignore_case));
    app.add_flag("--repeat-garbled", ctx.repeatGarbled,
                 "Repeat a command after an answer that matched nothing, as after no answer");
    app.add_flag("--quiet,-q", ctx.quiet, "No progress line");
    app.add_option("--trace", ctx.trace, "Device commands write every frame and answer into this file");
    app.add_flag(
        "--dry-run", ctx.dryRun,
        "Device commands run against a simulated device in memory and print the frames; nothing is sent");
    app.add_flag("--json", ctx.json, "Device commands print their events as JSON, one object per line");

    cli::registerEvalCommands(app, ctx);
    cli::registerCrcCommands(app, ctx);
    cli::registerProtocolCommands(app, ctx);
    cli::registerFileCommands(app, ctx);
    cli::registerDeviceCommands(app, ctx);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (auto unknown = cli::unknownCommandMessage(app, argc, argv)) {
            std::fprintf(stderr, "%s\n", unknown->c_str());
            return cli::kExitUsage;
        }
        app.exit(e);
        return cli::kExitUsage;
    }
    return ctx.exitCode;
}
