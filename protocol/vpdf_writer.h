#pragma once
// Writing protocol description files (.vpdf), the counterpart of vpdf_reader.h.

#include "protocol/protocol_description.h"

#include <filesystem>
#include <string>

namespace protocol {

// The file bytes of a description, trailer included. Refuses (returns false, `error` holds a UTF-8
// message naming the item) what the format cannot hold instead of cutting or wrapping it: text
// with a character outside code page 1251; a name, template or text over 255 code page 1251
// bytes; a comment over 65025 bytes; more than 255 entries in a per-step list; more than 65535
// commands, lists, codes or exceptions; ExceptionMode, AnswerTimeout, FrameInterval, StepCount,
// command indices, ignore codes, exception codes or the CRC width outside 0..65535; an ignore list
// index outside −1..65535 (−1, meaning none, is written as 65535).
bool SerializeProtocol(const TProtocol& protocol, std::string& bytes, std::string& error);

// Writes the description to `path` through a temporary file and a rename, so an existing file is
// replaced only by a complete new one. False with a message in `error` when the description is
// refused or the file cannot be written; nothing is written then.
bool WriteProtocolFile(const TProtocol& protocol, const std::filesystem::path& path, std::string& error);

} // namespace protocol
