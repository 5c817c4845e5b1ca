#pragma once
// The JSON text form of protocol descriptions, for review and version control (docs/protocol-json.md
// describes it). Strings are UTF-8; templates appear in their stored form.

#include "protocol/protocol_description.h"

#include <nlohmann/json.hpp>

#include <string>

namespace cli {

using Json = nlohmann::ordered_json;

// The description as JSON. With `withChecks`, each command also gets "check": the check results of
// its command, answer and exception templates (0 = no fault).
Json protocolToJson(const protocol::TProtocol& protocol, bool withChecks);

// Fills `protocol` (bound to its evaluator by the caller) from JSON. Every key is required except
// "check", which is ignored. False with a message naming the key when a key is missing or has the
// wrong type or range; `protocol` may then be partly filled.
bool protocolFromJson(const Json& json, protocol::TProtocol& protocol, std::string& error);

} // namespace cli
