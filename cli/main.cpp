// velmora-cli: the headless front end over the same core as the desktop program.

#include "cli/cli_context.h"

#include <cstdio>

int main(int argc, char** argv) {
    cli::CliContext ctx;
    CLI::App app{"Velmora command-line tool: firmware files, protocol descriptions and devices on a "
                 "MODBUS-RTU line."};
    app.set_version_flag("--version", std::string("velmora-cli ") + VELMORA_VERSION);
    app.require_subcommand(1);
    app.add_option("--settings", ctx.settingsPath, "Settings file to use instead of the default prog.ini");
    app.add_option("--profile", ctx.profile, "Profile to use instead of the active one");
    app.add_option("--port", ctx.port, "Serial device path, overrides the settings");
    app.add_option("--address", ctx.address, "Device address, overrides the profile");
    app.add_flag("--quiet,-q", ctx.quiet, "No progress line");

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
        app.exit(e);
        return cli::kExitUsage;
    }
    return ctx.exitCode;
}
