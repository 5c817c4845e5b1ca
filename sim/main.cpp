// velmora-sim: a simulated MODBUS-RTU bootloader on a pseudo-terminal, for trying the program
// without hardware and for testing it against a device with known behaviour.

#include "base/codepage.h"
#include "base/write_failure_text.h"
#include "exchange/frame_trace.h"
#include "exchange/ident_record.h"
#include "sim/fault_plan.h"
#include "sim/memory_file.h"
#include "sim/pty_line.h"
#include "sim/sim_device.h"
#include "sim/sim_loop.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

void installSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The option texts, converted once the command line is parsed.
struct Texts {
    std::vector<std::string> addresses;
    std::string flashStart = "0x2100", flashEnd = "0x3FFF", pageSize = "128", ctrlArea = "0xF00";
    std::string loadAt = "0", serial, deviceId, baud = "0", replyDelay = "0", silent = "0", dropAfter = "0";
    std::optional<std::string> ident;
    std::vector<std::string> errors, corrupt, garbage;
};

struct Failure {
    std::string message;
};

std::uint64_t number(const std::string& option, const std::string& text, std::uint64_t min,
                     std::uint64_t max) {
    const auto value = sim::parseNumber(text, max);
    if (!value || *value < min)
        throw Failure{option + ": '" + text + "' is not a number from " + std::to_string(min) + " to " +
                      std::to_string(max)};
    return *value;
}

std::string cp1251(const std::string& option, const std::string& text) {
    auto bytes = base::utf8ToCp1251(text);
    if (!bytes)
        throw Failure{option + ": the text has characters outside code page 1251"};
    return *bytes;
}

std::vector<sim::FrameRange> ranges(const std::string& option, const std::vector<std::string>& texts) {
    std::vector<sim::FrameRange> out;
    for (const auto& t : texts) {
        std::string error;
        const auto range = sim::parseFrameRange(t, error);
        if (!range)
            throw Failure{option + ": " + error};
        out.push_back(*range);
    }
    return out;
}

// The simulator names a frame by its function code, as it has no command names.
void traceFrame(exchange::FrameTraceFile& trace, bool answer, const std::vector<std::uint8_t>& bytes,
                std::chrono::steady_clock::time_point at) {
    char function[8] = "-";
    if (bytes.size() > 1)
        std::snprintf(function, sizeof function, "0x%02X", bytes[1]);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    trace.write({micros, answer, function, std::nullopt, std::nullopt, bytes});
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Simulated MODBUS-RTU bootloader on a pseudo-terminal. Prints the path of the line's far end "
        "on the first line of standard output; numbers are decimal or hexadecimal with 0x."};
    app.set_version_flag("--version", std::string("velmora-sim ") + VELMORA_VERSION);
    Texts t;
    std::string imageIn, imageOut, linkPath, password, parity = "none";
    bool echo = false, verbose = false;
    app.add_option("--address", t.addresses,
                   "Bus address 1..247 (default: the record's, 17 for a new record); given again, adds "
                   "another device on the same line with a blank memory and the next serial number");
    app.add_option("--image-in", imageIn, "Raw binary file loaded into memory at start");
    app.add_option("--load-at", t.loadAt, "Address where --image-in is loaded (default 0)");
    app.add_option("--image-out", imageOut,
                   "Raw binary file the (first) device's memory is saved to at exit (from address 0)");
    app.add_option("--flash-start", t.flashStart, "First address of the FLASH window (default 0x2100)");
    app.add_option("--flash-end", t.flashEnd, "Last address of the FLASH window (default 0x3FFF)");
    app.add_option("--page-size", t.pageSize, "Programming page size 1..4096 (default 128)");
    app.add_option("--ctrl-area", t.ctrlArea,
                   "Address of the 256-byte identification record (default 0xF00)");
    app.add_option("--password", password, "FLASH write password (default empty)");
    app.add_option("--serial", t.serial, "Serial number 0..65535 in the identification record");
    app.add_option("--ident", t.ident, "Identification string (at most 122 characters)");
    app.add_option("--device-id", t.deviceId, "Device identifier 0..255 in the identification record");
    app.add_option("--baud", t.baud, "Emulated line speed in bit/s; 0 sends at once (default 0)");
    app.add_option("--parity", parity,
                   "Parity of the emulated line: none, odd, even, mark or space (default none)")
        ->check(CLI::IsMember({"none", "odd", "even", "mark", "space"}, CLI::ignore_case));
    app.add_option("--reply-delay", t.replyDelay, "Milliseconds the device thinks before it answers");
    app.add_flag("--echo", echo, "Send every received byte back, as a two-wire line with echo does");
    app.add_option("--link", linkPath, "Also make this path a symbolic link to the line's far end");
    app.add_option("--silent", t.silent, "Fault: ignore the first N frames addressed to the device");
    app.add_option("--error", t.errors,
                   "Fault: FUNCTION:CODE[:RANGE] answers device error CODE to that function "
                   "(RANGE counts its requests: N, N- or N-M; default all)");
    app.add_option("--corrupt-crc", t.corrupt, "Fault: RANGE of frames whose answer gets a wrong CRC");
    app.add_option("--garbage", t.garbage, "Fault: RANGE of frames answered with bytes that form no frame");
    app.add_option("--drop-after", t.dropAfter, "Fault: hang up the line after answering frame N");
    app.add_flag("--verbose,-v", verbose, "Log every frame on standard error");
    std::string tracePath;
    app.add_option("--trace", tracePath,
                   "Write every frame received and answer sent into this file, as velmora-cli --trace does");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitUsage;
    }

    sim::DeviceConfig config;
    sim::RecordOverrides overrides;
    sim::FaultPlan faults;
    sim::LoopOptions loop;
    std::vector<std::uint8_t> memory(sim::kMemorySize, 0xFF);
    std::vector<std::uint8_t> extraAddresses;
    try {
        config.flashStart =
            static_cast<std::uint32_t>(number("--flash-start", t.flashStart, 0, sim::kMemorySize - 1));
        config.flashEnd =
            static_cast<std::uint32_t>(number("--flash-end", t.flashEnd, 0, sim::kMemorySize - 1));
        config.pageSize = static_cast<std::uint32_t>(number("--page-size", t.pageSize, 1, sim::kMaxPageSize));
        config.ctrlArea =
            static_cast<std::uint32_t>(number("--ctrl-area", t.ctrlArea, 0, sim::kMemorySize - 1));
        config.password = cp1251("--password", password);
        if (const std::string problem = sim::validateConfig(config); !problem.empty())
            throw Failure{problem};
        for (const auto& a : t.addresses) {
            const auto address = static_cast<std::uint8_t>(number("--address", a, 1, 247));
            if (std::find(extraAddresses.begin(), extraAddresses.end(), address) != extraAddresses.end() ||
                (overrides.address && *overrides.address == address))
                throw Failure{"--address: " + a + " is given twice"};
            if (!overrides.address)
                overrides.address = address;
            else
                extraAddresses.push_back(address);
        }
        if (!t.serial.empty())
            overrides.serial = static_cast<std::uint16_t>(number("--serial", t.serial, 0, 65535));
        if (!t.deviceId.empty())
            overrides.deviceId = static_cast<std::uint8_t>(number("--device-id", t.deviceId, 0, 255));
        if (t.ident) {
            // "я" is byte 0xFF, which the record reads back as a blank, as it does erased memory.
            if (const auto bad = exchange::unstorableCharacter(*t.ident); bad && base::utf8ToCp1251(*bad))
                throw Failure{"--ident: the character '" + *bad + "' reads back as a blank"};
            overrides.identText = cp1251("--ident", *t.ident);
            if (overrides.identText->size() > sim::kMaxIdentText)
                throw Failure{"--ident: at most 122 characters"};
        }
        loop.baud = static_cast<std::uint32_t>(number("--baud", t.baud, 0, 4000000));
        loop.characterBits = parity == "none" ? 10 : 11;
        loop.echo = echo;
        loop.replyDelay = std::chrono::milliseconds(number("--reply-delay", t.replyDelay, 0, 60000));
        faults.silentFirst = number("--silent", t.silent, 0, UINT64_MAX);
        faults.dropAfter = number("--drop-after", t.dropAfter, 0, UINT64_MAX);
        for (const auto& e : t.errors) {
            std::string error;
            const auto rule = sim::parseErrorRule(e, error);
            if (!rule)
                throw Failure{"--error: " + error};
            faults.errors.push_back(*rule);
        }
        faults.corruptCrc = ranges("--corrupt-crc", t.corrupt);
        faults.garbage = ranges("--garbage", t.garbage);
        if (!imageIn.empty()) {
            std::string error;
            const auto at =
                static_cast<std::uint32_t>(number("--load-at", t.loadAt, 0, sim::kMemorySize - 1));
            if (!sim::loadMemoryFile(imageIn, at, memory, error))
                throw Failure{"--image-in: " + error};
        }
        // Checked now, not at exit when the device's memory would be lost with it.
        if (const auto r = imageOut.empty() ? base::WriteResult{} : base::canWriteFileAtomically(imageOut);
            !r.ok())
            throw Failure{"--image-out: " + base::writeFailureTextEnglish(r)};
    } catch (const Failure& f) {
        std::cerr << "velmora-sim: " << f.message << "\n";
        return kExitUsage;
    }

    std::vector<sim::SimDevice> devices;
    devices.emplace_back(config, std::move(memory), overrides, faults);
    const std::uint8_t first = devices.front().address();
    if (first == 0 || first > 247 ||
        std::find(extraAddresses.begin(), extraAddresses.end(), first) != extraAddresses.end()) {
        std::cerr << "velmora-sim: the identification record in the memory image gives the bus address "
                  << int(first) << "; give --address 1..247 (each device its own)\n";
        return kExitUsage;
    }
    const std::uint16_t serial = sim::serialNumber(devices.front().record());
    for (std::size_t i = 0; i < extraAddresses.size(); ++i) {
        sim::RecordOverrides extra = overrides;
        extra.address = extraAddresses[i];
        extra.serial = static_cast<std::uint16_t>(serial + i + 1);
        devices.emplace_back(config, std::vector<std::uint8_t>{}, extra, faults);
    }

    exchange::FrameTraceFile trace;
    if (!tracePath.empty()) {
        if (std::string reason; !trace.open(tracePath, reason)) {
            std::cerr << "velmora-sim: --trace: " << reason << "\n";
            return kExitUsage;
        }
        loop.trace = [&trace](bool answer, const std::vector<std::uint8_t>& bytes,
                              std::chrono::steady_clock::time_point at) {
            traceFrame(trace, answer, bytes, at);
        };
    }

    installSignals();
    sim::PtyLine line;
    std::string error;
    if (!line.open(error)) {
        std::cerr << "velmora-sim: " << error << "\n";
        return kExitFailed;
    }
    if (!linkPath.empty() && !line.link(linkPath, error)) {
        std::cerr << "velmora-sim: --link: " << error << "\n";
        return kExitUsage;
    }
    std::cout << line.farPath() << std::endl;
    if (verbose || loop.baud != 0 || parity != "none")
        std::cerr << "velmora-sim: line "
                  << (loop.baud == 0 ? std::string("without wire time")
                                     : std::to_string(loop.baud) + " bit/s")
                  << ", 8" << char(std::toupper(static_cast<unsigned char>(parity[0]))) << "1\n";
    if (verbose)
        for (const auto& device : devices)
            std::cerr << "velmora-sim: device " << int(device.address()) << " on " << line.farPath() << "\n";

    const auto log = [verbose](const std::string& text) {
        if (verbose)
            std::cerr << "velmora-sim: " << text << "\n";
    };
    const sim::LoopEnd end = sim::runSimLoop(line, devices, loop, g_stop, log);
    line.close();
    if (end == sim::LoopEnd::LineFailed)
        std::cerr << "velmora-sim: the line failed\n";
    if (end == sim::LoopEnd::HungUp)
        log("line dropped (fault)");

    if (!imageOut.empty() && !sim::saveMemoryFile(imageOut, devices.front().memory(), error)) {
        std::cerr << "velmora-sim: --image-out: " << error << "\n";
        return kExitFailed;
    }
    return end == sim::LoopEnd::LineFailed ? kExitFailed : kExitOk;
}
