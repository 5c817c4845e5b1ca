// velmora-cli device: read, write, erase, reset, find and ident over the profile's serial line, run by
// the same operations as the desktop program's device menu.

#include "app/integer_text.h"
#include "base/codepage.h"
#include "cli/address_list.h"
#include "cli/cli_context.h"
#include "cli/device_files.h"
#include "cli/device_session.h"
#include "cli/exit_codes.h"
#include "cli/interrupt_catcher.h"
#include "cli/job_events.h"
#include "cli/path_arguments.h"
#include "cli/terminal_line.h"
#include "cli/write_resume.h"
#include "exchange/device_options.h"
#include "exchange/device_search.h"
#include "exchange/ident_record.h"
#include "exchange/operation_sequencer.h"
#include "image/file_type.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <unistd.h>
#include <vector>

namespace cli {

namespace {

// The progress panel as one line on a terminal.
class ProgressLine {
  public:
    explicit ProgressLine(bool quiet) : m_enabled(!quiet && isatty(STDERR_FILENO)) {}
    ~ProgressLine() { end(); }
    void show(const std::string& text) {
        if (m_enabled)
            showProgressLine(text);
    }
    void end() { endProgressLine(); }

  private:
    bool m_enabled;
};

std::string panelText(const exchange::OperationSequencer& seq) {
    return std::string(exchange::kCaptionProgress) + " " + std::to_string(seq.progress()) + "%  " +
           std::string(exchange::kCaptionAddress) + " " + seq.addressText() + "  " +
           std::string(exchange::kCaptionCommErrors) + " " + seq.commErrorsText() + "  " +
           std::string(exchange::kCaptionElapsed) + " " + seq.elapsedText();
}

// The panel once the last page is done: 100 % at that page's address.
std::string finalPanelText(const exchange::OperationSequencer& seq, uint32_t lastAddress, int32_t lastPage) {
    char where[40];
    std::snprintf(where, sizeof where, "0x%08X (P:%d)", static_cast<unsigned>(lastAddress),
                  static_cast<int>(lastPage));
    return std::string(exchange::kCaptionProgress) + " 100%  " + std::string(exchange::kCaptionAddress) +
           " " + where + "  " + std::string(exchange::kCaptionCommErrors) + " " + seq.commErrorsText() +
           "  " + std::string(exchange::kCaptionElapsed) + " " + seq.elapsedText();
}

// Ticks a read or write to its end, pages back to back; Ctrl-C cancels.
void runPaging(exchange::OperationSequencer& seq, const InterruptCatcher& interrupt, bool quiet,
               JobEvents* events = nullptr) {
    ProgressLine line(quiet);
    while (seq.paging()) {
        if (interrupt.interrupted()) {
            line.end();
            seq.cancel();
            break;
        }
        if (events)
            events->beforeTick(seq);
        const uint32_t address = seq.address();
        const int32_t page = seq.page();
        seq.tick();
        if (events)
            events->afterTick(seq);
        const bool done = seq.outcome() == exchange::OperationSequencer::Outcome::Completed;
        line.show(done ? finalPanelText(seq, address, page) : panelText(seq));
    }
}

int exitCodeOf(DeviceSession& session, const exchange::OperationSequencer& seq) {
    return exitCodeOfOutcome(seq.outcome(), seq.lastResult(), session.host().portFailed());
}

// Where a command's own report goes: the standard output unless it carries JSON events.
std::FILE* reportOutput(const CliContext& ctx) {
    return ctx.json ? stderr : stdout;
}

// Saves the read to `out`; when that fails after all, to a fallback file whose path is printed, so
// that the read is not lost.
int saveRead(DeviceSession& session, const std::string& out, int code) {
    image::FileResult saved = saveImageFile(session.image(), out);
    if (saved)
        return code;
    std::fprintf(stderr, "%s\n", saved.message.c_str());
    const std::string fallback = saveFallbackFile(session.image(), out);
    if (!fallback.empty())
        std::fprintf(stderr, "device read: the bytes read are saved in %s instead\n", fallback.c_str());
    return kExitFailed;
}

int readCommand(CliContext& ctx, const std::string& out) {
    auto session = DeviceSession::open(ctx);
    if (!session)
        return kExitUsage;
    InterruptCatcher interrupt;
    JobEvents events(ctx.json, *session, "read");
    const exchange::FlashWindow window = session->flashWindow();
    events.start(window.start, window.end);
    exchange::OperationSequencer seq(session->host());
    if (seq.startRead())
        runPaging(seq, interrupt, ctx.quiet, &events);
    const int code = exitCodeOf(*session, seq);
    if (session->dryRun()) // the simulated device's blank memory is no file to keep
        return events.finish(code, seq.lastResult());
    // A failed or cancelled read keeps what it read so far, as the program's image does.
    if (code != kExitOk) {
        if (seq.outcome() == exchange::OperationSequencer::Outcome::Refused || session->image().StartAddr < 0)
            return events.finish(code, seq.lastResult());
        std::fprintf(stderr, "device read: the bytes read before the end are saved in %s\n", out.c_str());
    }
    const int saved = saveRead(*session, out, code);
    return events.finish(saved, seq.lastResult(),
                         saved == kExitOk ? std::optional<uint32_t>(session->image().CRC) : std::nullopt);
}

// The filled bytes of the image within [start, end], to compare a read-back with.
struct WrittenRange {
    int32_t start = -1, end = -1;
    std::vector<uint8_t> data, filled;
};

int verify(DeviceSession& session, const WrittenRange& written, const InterruptCatcher& interrupt, bool quiet,
           std::FILE* report) {
    session.host().windowOverride = exchange::FlashWindow{written.start, written.end};
    exchange::OperationSequencer seq(session.host());
    if (seq.startRead())
        runPaging(seq, interrupt, quiet);
    session.host().windowOverride.reset();
    if (seq.outcome() != exchange::OperationSequencer::Outcome::Completed)
        return exitCodeOf(session, seq);
    const auto& data = session.image().Data;
    size_t compared = 0;
    for (size_t i = 0; i < written.data.size(); ++i) {
        if (!written.filled[i])
            continue;
        const size_t address = static_cast<size_t>(written.start) + i;
        if (data[address] != written.data[i]) {
            std::fprintf(stderr, "device write: verify failed at 0x%08zX: written 0x%02X, read 0x%02X\n",
                         address, written.data[i], data[address]);
            return kExitVerifyMismatch;
        }
        ++compared;
    }
    std::fprintf(report, "verified %zu bytes (0x%08X..0x%08X)\n", compared,
                 static_cast<unsigned>(written.start), static_cast<unsigned>(written.end));
    return kExitOk;
}

// The image's filled bytes as they are before the write.
WrittenRange writtenRange(const image::THEXFile& image) {
    WrittenRange written;
    if (image.StartAddr < 0)
        return written;
    written.start = image.StartAddr;
    written.end = image.EndAddr;
    const auto first = static_cast<size_t>(written.start);
    const auto count = static_cast<size_t>(written.end - written.start + 1);
    written.data.assign(image.Data.data() + first, image.Data.data() + first + count);
    written.filled.assign(image.Filled.data() + first, image.Filled.data() + first + count);
    return written;
}

struct WriteOptions {
    std::string in;
    bool verify = false;
    bool resume = false;     // go on after the checkpoint of a write that broke off
    bool windowOnly = false; // write the window's part of a file that does not fit
};

// The firmware's data outside the FLASH window, refused unless only the window's part is asked for.
// A window that is no window is left to the write, which refuses it with its own message.
bool fitsOrWindowOnly(const WriteOptions& o, const app::DataOutsideWindow& outside,
                      const exchange::FlashWindow& window) {
    if (outside.bytes == 0 || o.windowOnly)
        return true;
    std::fprintf(stderr,
                 "device write: %s holds %zu bytes outside the FLASH window 0x%08X..0x%08X, at %s; "
                 "--window-only writes just the window's part\n",
                 o.in.c_str(), outside.bytes, static_cast<unsigned>(window.start),
                 static_cast<unsigned>(window.end), outsideWindowText(outside).c_str());
    return false;
}

int writeCommand(CliContext& ctx, const WriteOptions& o) {
    auto session = DeviceSession::open(ctx);
    if (!session)
        return kExitUsage;
    image::THEXFile& image = session->image();
    image::FileResult loaded = image.LoadFromFile(image::kFileTypeDetect, -1, false, o.in);
    if (!loaded) {
        std::fprintf(stderr, "%s\n",
                     loaded.message.empty() ? ("cannot load " + o.in).c_str() : loaded.message.c_str());
        return kExitUsage;
    }
    const exchange::FlashWindow window = session->flashWindow();
    app::DataOutsideWindow outside;
    if (window.start >= 0 && window.start <= window.end)
        outside = app::dataOutsideWindow(image, window.start, window.end);
    if (!fitsOrWindowOnly(o, outside, window))
        return kExitRefused;
    session->host().narrowImage(window.start, window.end);
    // The verify and the result cover the whole image, also when a resume writes only its rest.
    const WrittenRange written = o.verify ? writtenRange(image) : WrittenRange{};
    const uint32_t crc = image.CRC;
    WriteResume resume(*session, o.resume);
    if (!resume.prepare())
        return kExitRefused;
    session->host().narrowImage(window.start, window.end);

    InterruptCatcher interrupt;
    JobEvents events(ctx.json, *session, "write");
    events.onPageDone = [&resume](int32_t page, uint32_t address) { resume.pageDone(page, address); };
    events.start(image.StartAddr, image.EndAddr);
    exchange::OperationSequencer seq(session->host());
    if (seq.startWrite())
        runPaging(seq, interrupt, ctx.quiet, &events);
    resume.finish(seq.outcome() == exchange::OperationSequencer::Outcome::Completed);
    int code = exitCodeOf(*session, seq);
    const int32_t lastResult = seq.lastResult();
    if (code == kExitOk && o.verify)
        code = verify(*session, written, interrupt, ctx.quiet, reportOutput(ctx));
    events.finish(code, lastResult, crc);
    if (code == kExitOk && outside.bytes > 0)
        std::fprintf(reportOutput(ctx), "left out %zu bytes outside the FLASH window, at %s\n", outside.bytes,
                     outsideWindowText(outside).c_str());
    return code;
}

int singleListCommand(CliContext& ctx, bool reset) {
    InterruptCatcher interrupt;
    auto session = DeviceSession::open(ctx);
    if (!session)
        return kExitUsage;
    JobEvents events(ctx.json, *session, reset ? "reset" : "erase");
    events.start();
    exchange::OperationSequencer seq(session->host());
    if (reset)
        seq.reset();
    else
        seq.erase();
    return events.finish(exitCodeOf(*session, seq), seq.lastResult());
}

struct FindOptions {
    std::string range;                // FIRST-LAST
    std::optional<int> answerTimeout; // ms, for the search list's commands
};

// "FIRST-LAST" or one address, each 0..255 (decimal, or hexadecimal after 0x, x or $).
bool parseAddressRange(const std::string& text, int& first, int& last) {
    const size_t dash = text.find('-');
    auto one = [](const std::string& part, int& value) {
        uint32_t v = 0;
        if (!exchange::parseNumberText(part, 255, v))
            return false;
        value = static_cast<int>(v);
        return true;
    };
    if (dash == std::string::npos)
        return one(text, first) && one(text, last);
    return one(text.substr(0, dash), first) && one(text.substr(dash + 1), last) && first <= last;
}

// The search list's commands wait this long for an answer in this run only.
void setSearchAnswerTimeout(protocol::TProtocol& protocol, int ms) {
    const auto& lists = protocol.ActionLists;
    if (static_cast<size_t>(exchange::kListSearch) >= lists.size())
        return;
    for (int32_t index : lists[exchange::kListSearch].StepCommands)
        if (index >= 0 && static_cast<size_t>(index) < protocol.Commands.Count())
            protocol.Commands[static_cast<size_t>(index)].AnswerTimeout = ms;
}

int findCommand(CliContext& ctx, const FindOptions& options) {
    int first = 0, last = exchange::kLastSearchAddress;
    if (!options.range.empty() && !parseAddressRange(options.range, first, last)) {
        std::fprintf(stderr, "device find: --range '%s' is not FIRST-LAST with 0 <= FIRST <= LAST <= 255\n",
                     options.range.c_str());
        return kExitUsage;
    }
    InterruptCatcher interrupt;
    auto session = DeviceSession::open(ctx);
    if (!session)
        return kExitUsage;
    if (options.answerTimeout)
        setSearchAnswerTimeout(session->protocol(), *options.answerTimeout);
    exchange::DeviceSearch search(session->host());
    JobEvents events(ctx.json, *session, "find");
    events.start();
    if (!search.start(first, last))
        return events.finish(session->host().portFailed() ? kExitPortUnavailable : kExitRefused, 0);
    // Each device is printed as soon as it answered, so a cancelled search still lists what it found.
    size_t printed = 0;
    auto printNew = [&] {
        for (; printed < search.devices().size(); ++printed) {
            const auto& d = search.devices()[printed];
            if (ctx.json)
                emitFound(d.address, d.serialNumber, d.identText);
            else
                std::printf("%s\t%u\t%s\n", d.addressText.c_str(), static_cast<unsigned>(d.serialNumber),
                            d.identText.c_str());
        }
        std::fflush(stdout);
    };
    {
        ProgressLine line(ctx.quiet);
        while (search.running()) {
            if (interrupt.interrupted()) {
                search.cancel();
                break;
            }
            search.tick();
            if (search.devices().size() > printed) {
                line.end();
                printNew();
            }
            line.show(search.progressText() + "  " +
                      exchange::hexText(static_cast<uint32_t>(search.address()), 2));
        }
    }
    printNew();
    if (search.outcome() == exchange::DeviceSearch::Outcome::Cancelled) {
        std::fprintf(stderr, "%s\n", std::string(exchange::kTextCancelled).c_str());
        return events.finish(kExitCancelled, 0);
    }
    if (search.devices().empty())
        std::fprintf(stderr, "device find: no device answered\n");
    return events.finish(kExitOk, 0);
}

// The record's fields by the names --set and --json use.
enum class Field { Network, Length, DeviceId, SystemTable, Serial, Ident, Version };
const std::map<std::string, Field> kFields = {
    {"network_number", Field::Network}, {"length", Field::Length},
    {"device_id", Field::DeviceId},     {"system_table_address", Field::SystemTable},
    {"serial_number", Field::Serial},   {"ident_string", Field::Ident},
    {"version_text", Field::Version},
};

struct FieldChange {
    Field field;
    std::string name, value;
};

bool parseChanges(const std::vector<std::string>& sets, std::vector<FieldChange>& changes) {
    for (const auto& s : sets) {
        const size_t eq = s.find('=');
        auto it = eq == std::string::npos ? kFields.end() : kFields.find(s.substr(0, eq));
        if (it == kFields.end()) {
            std::fprintf(stderr,
                         "device ident: '%s' is not FIELD=VALUE with FIELD one of network_number, length, "
                         "device_id, system_table_address, serial_number, ident_string, version_text\n",
                         s.c_str());
            return false;
        }
        changes.push_back({it->second, it->first, s.substr(eq + 1)});
    }
    // The length decides the room of both texts, so it goes first.
    std::stable_sort(changes.begin(), changes.end(), [](const FieldChange& a, const FieldChange& b) {
        return a.field == Field::Length && b.field != Field::Length;
    });
    return true;
}

// A text with a character whose byte would read back as a blank (or that code page 1251 lacks).
bool storable(const FieldChange& c) {
    const std::optional<std::string> bad = exchange::unstorableCharacter(c.value);
    if (!bad)
        return true;
    std::fprintf(stderr,
                 "device ident: %s: the character '%s' cannot be stored in the identification record (its "
                 "code page 1251 byte reads back as a blank, or there is none)\n",
                 c.name.c_str(), bad->c_str());
    return false;
}

// The record's number fields: the largest value each takes and where it is kept.
struct NumberField {
    Field field;
    uint32_t max;
    void (*store)(exchange::IdentRecord&, uint32_t);
};
const NumberField kNumberFields[] = {
    {Field::Network, 255,
     [](exchange::IdentRecord& r, uint32_t v) { r.networkNumber = static_cast<uint8_t>(v); }},
    {Field::Length, exchange::kIdentMaxLength,
     [](exchange::IdentRecord& r, uint32_t v) { r.length = static_cast<uint8_t>(v); }},
    {Field::DeviceId, 255,
     [](exchange::IdentRecord& r, uint32_t v) { r.deviceId = static_cast<uint8_t>(v); }},
    {Field::SystemTable, 0xFFFF,
     [](exchange::IdentRecord& r, uint32_t v) { r.systemTableAddress = static_cast<uint16_t>(v); }},
    {Field::Serial, 0xFFFF,
     [](exchange::IdentRecord& r, uint32_t v) { r.serialNumber = static_cast<uint16_t>(v); }},
};

bool applyNumber(exchange::IdentRecord& r, const FieldChange& c, const NumberField& f) {
    uint32_t v = 0;
    if (!exchange::parseNumberText(c.value, f.max, v)) {
        std::fprintf(
            stderr,
            "device ident: %s must be a number 0..%u (decimal, or hexadecimal after 0x, x or $), not '%s'\n",
            c.name.c_str(), f.max, c.value.c_str());
        return false;
    }
    f.store(r, v);
    return true;
}

bool applyIdentString(exchange::IdentRecord& r, const FieldChange& c) {
    if (!storable(c))
        return false;
    auto cp = base::utf8ToCp1251(c.value);
    const int room = exchange::identStringRoom(r.length);
    if (!cp || static_cast<int>(cp->size()) > room) {
        std::fprintf(
            stderr,
            "device ident: ident_string takes at most %d characters of code page 1251 with length %d\n", room,
            r.length);
        return false;
    }
    r.identString = c.value;
    return true;
}

bool applyVersionText(exchange::IdentRecord& r, const FieldChange& c) {
    if (!storable(c))
        return false;
    auto fitted = exchange::fitVersionText(c.value, r.length);
    if (fitted.text.size() != c.value.size() || !base::utf8ToCp1251(c.value)) {
        std::fprintf(stderr,
                     "device ident: version_text takes at most %d bytes of code page 1251 with length %d "
                     "(a line break takes two)\n",
                     exchange::versionTextRoom(r.length), r.length);
        return false;
    }
    r.versionText = c.value;
    return true;
}

bool applyChange(exchange::IdentRecord& r, const FieldChange& c) {
    for (const NumberField& f : kNumberFields)
        if (f.field == c.field)
            return applyNumber(r, c, f);
    return c.field == Field::Ident ? applyIdentString(r, c) : applyVersionText(r, c);
}

// The record as a table, as JSON (--json of ident) or as one `ident` event among the job's events.
void printRecord(const exchange::IdentRecord& r, bool json, bool event) {
    if (json || event) {
        nlohmann::ordered_json j;
        if (event)
            j["event"] = "ident";
        j["network_number"] = r.networkNumber;
        j["length"] = r.length;
        j["device_id"] = r.deviceId;
        j["system_table_address"] = r.systemTableAddress;
        j["serial_number"] = r.serialNumber;
        j["ident_string"] = r.identString;
        j["version_text"] = r.versionText;
        std::printf("%s\n", j.dump(event ? -1 : 2).c_str());
        return;
    }
    std::printf("network_number\t%s\n", exchange::hexText(r.networkNumber, 2).c_str());
    std::printf("length\t%u\n", static_cast<unsigned>(r.length));
    std::printf("device_id\t%s\n", exchange::hexText(r.deviceId, 2).c_str());
    std::printf("system_table_address\t%s\n", exchange::hexText(r.systemTableAddress, 4).c_str());
    std::printf("serial_number\t%u\n", static_cast<unsigned>(r.serialNumber));
    std::printf("ident_string\t%s\n", r.identString.c_str());
    std::string version = r.versionText;
    std::replace(version.begin(), version.end(), '\n', ' ');
    std::printf("version_text\t%s\n", version.c_str());
}

int identJob(DeviceSession& session, const std::vector<FieldChange>& changes, bool json, bool event) {
    InterruptCatcher interrupt;
    exchange::DeviceOptions options(session.host());
    if (!options.readRecord())
        return interrupt.interrupted()       ? kExitCancelled
               : session.host().portFailed() ? kExitPortUnavailable
                                             : exitCodeOfResult(options.lastResult());
    exchange::IdentRecord record = options.record();
    if (changes.empty()) {
        options.finish();
        printRecord(record, json, event);
        return kExitOk;
    }
    for (const auto& c : changes) {
        if (!applyChange(record, c)) {
            options.finish();
            return kExitUsage;
        }
    }
    // A text the new length no longer has room for is cut, as the settings dialog does.
    record.versionText = exchange::fitVersionText(record.versionText, record.length).text;
    auto cp = base::utf8ToCp1251(record.identString);
    if (cp && static_cast<int>(cp->size()) > exchange::identStringRoom(record.length))
        record.identString =
            base::cp1251ToUtf8(cp->substr(0, static_cast<size_t>(exchange::identStringRoom(record.length))));
    exchange::DeviceOptions::WriteResult result = options.writeRecord(record);
    if (result != exchange::DeviceOptions::WriteResult::Written) {
        options.finish();
        return options.lastResult() != 0 ? exitCodeOfResult(options.lastResult()) : kExitFailed;
    }
    printRecord(options.record(), json, event);
    return kExitOk;
}

int identCommand(CliContext& ctx, bool json, const std::vector<std::string>& sets) {
    std::vector<FieldChange> changes;
    if (!parseChanges(sets, changes))
        return kExitUsage;
    auto session = DeviceSession::open(ctx);
    if (!session)
        return kExitUsage;
    JobEvents events(ctx.json, *session, "ident");
    events.start();
    return events.finish(identJob(*session, changes, json, ctx.json), 0);
}

// Adds --address-list to a device command: its job runs once, or once for each address of the list.
void addJob(CLI::App* command, CliContext& ctx, std::function<int(CliContext&)> job) {
    auto list = std::make_shared<std::string>();
    command->add_option(
        "--address-list", *list,
        "Run the job for each of these bus addresses in turn, e.g. 1,5,9-12 (a read names its "
        "files with {address} in OUT)");
    command->callback(
        [&ctx, list, job] { ctx.exitCode = list->empty() ? job(ctx) : runForEachAddress(ctx, *list, job); });
}

// A read's file for the device the job runs for.
std::string readOutput(const CliContext& ctx, const std::string& pattern) {
    const std::optional<int32_t> address = ctx.address ? app::parseInteger(*ctx.address) : std::nullopt;
    return address ? addressedName(pattern, *address) : pattern;
}

} // namespace

void registerDeviceCommands(CLI::App& app, CliContext& ctx) {
    CLI::App* device = app.add_subcommand("device", "Read, write, erase, reset, find and identify devices");
    device->require_subcommand(1);

    auto* read = device->add_subcommand(
        "read", "Read the profile's FLASH window into a file (Intel HEX for .hex, else binary)");
    auto readOut = std::make_shared<std::string>();
    read->add_option("OUT", *readOut, "File to write")->required()->check(writableOutputFile());
    addJob(read, ctx, [readOut](CliContext& c) { return readCommand(c, readOutput(c, *readOut)); });

    auto* write = device->add_subcommand("write", "Program a firmware file into the device");
    auto writeOptions = std::make_shared<WriteOptions>();
    write->add_option("IN", writeOptions->in, "Firmware file (Intel HEX, binary or packed envelope)")
        ->required();
    write->add_flag("--verify", writeOptions->verify, "Read the written range back and compare");
    write->add_flag("--resume", writeOptions->resume,
                    "Go on after the last page the device acknowledged in a write that broke off");
    write->add_flag("--window-only", writeOptions->windowOnly,
                    "Write just the part inside the FLASH window of a file with data outside it");
    addJob(write, ctx, [writeOptions](CliContext& c) { return writeCommand(c, *writeOptions); });

    addJob(device->add_subcommand("erase", "Erase the device's program memory"), ctx,
           [](CliContext& c) { return singleListCommand(c, false); });
    addJob(device->add_subcommand("reset", "Restart the device"), ctx,
           [](CliContext& c) { return singleListCommand(c, true); });
    auto* find = device->add_subcommand(
        "find", "Search the bus (addresses 0..255): address, serial number, identification text");
    auto findOptions = std::make_shared<FindOptions>();
    find->add_option("--range", findOptions->range, "Addresses to search, FIRST-LAST (default 0-255)");
    find->add_option("--answer-timeout", findOptions->answerTimeout,
                     "Answer timeout in ms of the search commands for this run")
        ->check(CLI::Range(1, 60000));
    find->callback([&ctx, findOptions] { ctx.exitCode = findCommand(ctx, *findOptions); });

    auto* ident =
        device->add_subcommand("ident", "Show the identification record; --set writes changed fields back");
    auto json = std::make_shared<bool>(false);
    auto sets = std::make_shared<std::vector<std::string>>();
    ident->add_flag("--json", *json, "Print the record as JSON");
    ident
        ->add_option("--set", *sets,
                     "FIELD=VALUE: network_number, length, device_id, system_table_address, serial_number, "
                     "ident_string, version_text")
        ->take_all();
    addJob(ident, ctx, [json, sets](CliContext& c) { return identCommand(c, *json, *sets); });
}

} // namespace cli
