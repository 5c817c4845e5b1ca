// velmora-cli crc and crc-table: the frame and image CRC generator from the command line.

#include "base/codepage.h"
#include "base/crc_presets.h"
#include "base/crc_table_export.h"
#include "base/write_failure_text.h"
#include "cli/byte_text.h"
#include "cli/cli_context.h"
#include "cli/path_arguments.h"

#include <cstdio>
#include <memory>

namespace cli {
namespace {

struct CrcOptions {
    int preset = 0;
    std::optional<std::string> width, poly, init, reflect, xorout, swap;
    std::optional<std::string> text, hex;
    std::string file;
};

void addParameterOptions(CLI::App* cmd, CrcOptions& o) {
    cmd->add_option("--preset", o.preset,
                    "Preset: 1 CRC-16/CITT, 2 XMODEM, 3 ARC, 4 MODBUS RTU, 5 CRC32/Ethernet")
        ->check(CLI::Range(1, 5));
    cmd->add_option("--width", o.width, "CRC width in bits (16 or 32)");
    cmd->add_option("--poly", o.poly, "Polynomial, most significant bit first, without the top bit");
    cmd->add_option("--init", o.init, "Initial register value");
    cmd->add_option("--reflect", o.reflect,
                    "1: bytes least significant bit first; 0: most significant first");
    cmd->add_option("--xorout", o.xorout, "Value XORed onto the register to form the result");
    cmd->add_option("--swap", o.swap, "1: exchange the two low bytes of the result");
    cmd->footer("Numbers are decimal, or hexadecimal after 0x, x or $. Parameters not given come from "
                "--preset, or else are width 16, polynomial 0, initial 0, reflect 0, xorout 0, swap 0.");
}

// The generator parameters of the options; empty with a message on stderr when one does not convert.
std::optional<base::CrcParameters> parameters(const CrcOptions& o, const char* command) {
    base::CrcParameters p;
    if (o.preset > 0) {
        auto values = base::crcPresetValues(o.preset);
        p = *base::crcParametersFromPanel(*values);
    }
    auto number = [&](const std::optional<std::string>& text, const char* name, uint32_t& out) {
        if (!text)
            return true;
        auto v = base::parseCrcNumber(*text);
        if (!v) {
            std::fprintf(stderr, "%s: %s '%s' is not a number (decimal, or hexadecimal after 0x, x or $)\n",
                         command, name, text->c_str());
            return false;
        }
        out = *v;
        return true;
    };
    auto flag = [&](const std::optional<std::string>& text, const char* name, bool& out) {
        if (!text)
            return true;
        if (*text != "0" && *text != "1") {
            std::fprintf(stderr, "%s: %s must be 0 or 1, not '%s'\n", command, name, text->c_str());
            return false;
        }
        out = *text == "1";
        return true;
    };
    uint32_t width = static_cast<uint32_t>(p.width);
    if (!number(o.width, "--width", width) || !number(o.poly, "--poly", p.polynom) ||
        !number(o.init, "--init", p.initial) || !number(o.xorout, "--xorout", p.xorValue) ||
        !flag(o.reflect, "--reflect", p.reflected) || !flag(o.swap, "--swap", p.tableSwap))
        return std::nullopt;
    p.width = static_cast<int32_t>(width);
    return p;
}

void runCrc(const CrcOptions& o, CliContext& ctx) {
    auto params = parameters(o, "crc");
    if (!params) {
        ctx.exitCode = kExitUsage;
        return;
    }
    const int sources = (o.text ? 1 : 0) + (o.hex ? 1 : 0) + (o.file.empty() ? 0 : 1);
    if (sources != 1) {
        std::fprintf(stderr, "crc: give exactly one of --text, --hex or FILE\n");
        ctx.exitCode = kExitUsage;
        return;
    }
    std::vector<uint8_t> bytes;
    if (o.text) {
        // Text meets devices in code page 1251.
        auto cp = base::utf8ToCp1251(*o.text);
        if (!cp) {
            std::fprintf(stderr, "crc: --text holds characters outside code page 1251\n");
            ctx.exitCode = kExitUsage;
            return;
        }
        bytes.assign(cp->begin(), cp->end());
    } else if (o.hex) {
        auto parsed = parseHexBytes(*o.hex);
        if (!parsed) {
            std::fprintf(stderr, "crc: --hex '%s' is not a list of hexadecimal bytes\n", o.hex->c_str());
            ctx.exitCode = kExitUsage;
            return;
        }
        bytes = std::move(*parsed);
    } else {
        std::string why;
        if (!readInputFile(o.file, bytes, why)) {
            std::fprintf(stderr, "crc: cannot read %s\n", why.c_str());
            ctx.exitCode = kExitUsage;
            return;
        }
    }
    base::TCRCGenerator generator;
    base::applyCrcParameters(generator, *params);
    generator.AddBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
    std::printf("%s\n", base::formatCrcValue(generator.CRC()).c_str());
    ctx.exitCode = kExitOk;
}

void runCrcTable(const CrcOptions& o, CliContext& ctx) {
    auto params = parameters(o, "crc-table");
    if (!params) {
        ctx.exitCode = kExitUsage;
        return;
    }
    if (params->width != 16 && params->width != 32) {
        std::fprintf(stderr, "crc-table: the table is exported for widths 16 and 32 only, not %d\n",
                     params->width);
        ctx.exitCode = kExitUsage;
        return;
    }
    base::TCRCGenerator generator;
    base::applyCrcParameters(generator, *params);
    if (const base::WriteResult written = base::writeCrcTableExport(o.file, generator); !written.ok()) {
        std::fprintf(stderr, "crc-table: %s\n", base::writeFailureTextEnglish(written).c_str());
        ctx.exitCode = kExitFailed;
        return;
    }
    ctx.exitCode = kExitOk;
}

} // namespace

void registerCrcCommands(CLI::App& app, CliContext& ctx) {
    auto crcOptions = std::make_shared<CrcOptions>();
    CLI::App* crc =
        app.add_subcommand("crc", "Compute a CRC over text, hexadecimal bytes or a file; prints 0x and "
                                  "eight upper-case hex digits");
    addParameterOptions(crc, *crcOptions);
    crc->add_option("--text", crcOptions->text, "Text (its code page 1251 bytes)");
    crc->add_option("--hex", crcOptions->hex, "Bytes in hexadecimal, such as \"01 03 00\"");
    crc->add_option("FILE", crcOptions->file, "File whose bytes are used");
    crc->callback([crcOptions, &ctx] { runCrc(*crcOptions, ctx); });

    auto tableOptions = std::make_shared<CrcOptions>();
    CLI::App* table = app.add_subcommand("crc-table", "Export the CRC table as C source text");
    addParameterOptions(table, *tableOptions);
    table->add_option("OUT", tableOptions->file, "Output file (.c)")->required()->check(writableOutputFile());
    table->callback([tableOptions, &ctx] { runCrcTable(*tableOptions, ctx); });
}

} // namespace cli
