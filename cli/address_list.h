#pragma once
// One job for several devices on the same bus (--address-list 1,5,9-12): the job runs for each
// address in turn, goes on past a device that failed, and ends with a table of the devices and the
// exit status of the worst result.

#include "cli/cli_context.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// "1,5,9-12": addresses 1..255, each once, in the order given. Empty with a message in `error` for
// anything else; address 0 (broadcast, which no device answers) is refused.
std::optional<std::vector<int>> parseAddressList(const std::string& text, std::string& error);

// A read's output name for one device: each "{address}" in `pattern` replaced by the address.
std::string addressedName(const std::string& pattern, int address);

// Runs `job` with ctx.address set to each address in `list`, then prints the table (address, serial
// number, result, seconds). Returns the worst exit status.
int runForEachAddress(CliContext& ctx, const std::string& list, const std::function<int(CliContext&)>& job);

} // namespace cli
