#include "cli/address_list.h"

#include "cli/device_session.h"
#include "cli/exit_codes.h"
#include "exchange/device_options.h"
#include "exchange/ident_record.h"

#include <chrono>
#include <cstdio>

namespace cli {

namespace {

std::optional<int> oneAddress(const std::string& text) {
    uint32_t value = 0;
    if (!exchange::parseNumberText(text, 255, value))
        return std::nullopt;
    return static_cast<int>(value);
}

bool addRange(const std::string& item, std::vector<int>& out, std::string& error) {
    const size_t dash = item.find('-');
    const auto first = oneAddress(item.substr(0, dash));
    const auto last = dash == std::string::npos ? first : oneAddress(item.substr(dash + 1));
    if (!first || !last || *first > *last) {
        error = "'" + item + "' is not an address 1..255 or a range FIRST-LAST";
        return false;
    }
    for (int a = *first; a <= *last; ++a) {
        if (a == 0) {
            error = "address 0 is the broadcast, which no device answers; it cannot stand in a list";
            return false;
        }
        for (int seen : out)
            if (seen == a) {
                error = "address " + std::to_string(a) + " is given twice";
                return false;
            }
        out.push_back(a);
    }
    return true;
}

struct DeviceRow {
    int address = 0;
    std::optional<unsigned> serial;
    int exitCode = 0;
    double seconds = 0;
};

// The serial number from the identification record, quietly: a device that failed its job may not
// answer this either.
std::optional<unsigned> serialNumber(const CliContext& ctx) {
    CliContext quiet = ctx;
    quiet.quiet = true;
    quiet.json = false;
    quiet.trace.clear();
    auto session = DeviceSession::open(quiet);
    if (!session)
        return std::nullopt;
    session->host().setQuiet(true);
    exchange::DeviceOptions options(session->host());
    if (!options.readRecord())
        return std::nullopt;
    const unsigned serial = options.record().serialNumber;
    options.finish();
    return serial;
}

void printTable(const std::vector<DeviceRow>& rows, std::FILE* out) {
    std::fprintf(out, "address\tserial\tresult\tseconds\n");
    for (const auto& r : rows)
        std::fprintf(out, "%d\t%s\t%d\t%.1f\n", r.address, r.serial ? std::to_string(*r.serial).c_str() : "-",
                     r.exitCode, r.seconds);
}

} // namespace

std::optional<std::vector<int>> parseAddressList(const std::string& text, std::string& error) {
    std::vector<int> out;
    size_t from = 0;
    while (true) {
        const size_t comma = text.find(',', from);
        if (!addRange(text.substr(from, comma - from), out, error))
            return std::nullopt;
        if (comma == std::string::npos)
            return out;
        from = comma + 1;
    }
}

std::string addressedName(const std::string& pattern, int address) {
    std::string name = pattern;
    const std::string mark = "{address}";
    for (size_t at; (at = name.find(mark)) != std::string::npos;)
        name.replace(at, mark.size(), std::to_string(address));
    return name;
}

int runForEachAddress(CliContext& ctx, const std::string& list, const std::function<int(CliContext&)>& job) {
    std::string error;
    const auto addresses = parseAddressList(list, error);
    if (!addresses) {
        std::fprintf(stderr, "device: --address-list: %s\n", error.c_str());
        return kExitUsage;
    }
    std::vector<DeviceRow> rows;
    int worst = kExitOk;
    for (int address : *addresses) {
        CliContext one = ctx;
        one.address = std::to_string(address);
        one.traceAppend = !rows.empty(); // one trace for the whole job
        const auto started = std::chrono::steady_clock::now();
        DeviceRow row;
        row.address = address;
        row.exitCode = job(one);
        row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        // A device that did not answer its job would only make the table wait for it again.
        if (row.exitCode != kExitPortUnavailable && row.exitCode != kExitUsage &&
            row.exitCode != kExitCancelled && row.exitCode != kExitNoAnswer)
            row.serial = serialNumber(one);
        rows.push_back(row);
        worst = worseExitCode(worst, row.exitCode);
        // The same settings or port fail every device alike, and a cancel ends the whole job.
        if (row.exitCode == kExitUsage || row.exitCode == kExitPortUnavailable ||
            row.exitCode == kExitCancelled)
            break;
    }
    printTable(rows, ctx.json ? stderr : stdout);
    return worst;
}

} // namespace cli
