#pragma once
// Reading protocol description files (.vpdf): the magic "PRTCL", the tagged sections of comment,
// commands, action lists, ignore lists, device error texts and CRC parameters, all little-endian,
// strings as a length byte and that many code page 1251 bytes. The file ends with a CRC-32 of
// everything before it, which only CheckProtocolFileCRC looks at.

#include "protocol/protocol_description.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace protocol {

// Results of the readers.
inline constexpr int kReadOk = 0;
inline constexpr int kReadDamaged = -1; // wrong magic or tag, the file ends inside a field, or over 64 MiB
inline constexpr int kReadMissing = -2; // the file does not exist
// The path exists but cannot be read as a file (no permission, a folder, a FIFO, a device): never taken
// for a missing file, so nobody starts a new description that would replace it.
inline constexpr int kReadUnreadable = -3;

// Reads a whole description into `protocol`. Commands, Exceptions and IgnoreLists are replaced by
// the file's; ActionLists grows to the file's count but never shrinks (lists beyond the file's
// count keep what the caller put there); the CRC parameters are applied with SetParameters.
// Templates are assigned through the command setters, so they are checked with the evaluator the
// commands are bound to. Values written as 16 bits come back zero-extended (−1 as 65535).
// On −1, −2 or −3 `protocol` is left exactly as it was: a partly read description is never used.
int ReadProtocolFile(TProtocol& protocol, const std::filesystem::path& path);
int ReadProtocolBytes(TProtocol& protocol, std::span<const uint8_t> bytes);

// Reads only the magic, the comment and the command list tag and sets `protocol.Comment`.
// 0, −1, −2 or −3 as above; on failure the comment is left unchanged.
int ReadProtocolComment(TProtocol& protocol, const std::filesystem::path& path);
int ReadProtocolCommentBytes(TProtocol& protocol, std::span<const uint8_t> bytes);

// True when the last four bytes of the file (little-endian) equal the CRC-32 of all bytes before
// them; `computed` gets that CRC-32. True also when the file does not exist or cannot be read, so
// that opening it reports why. A file shorter than four bytes fails.
bool CheckProtocolFileCRC(const std::filesystem::path& path, uint32_t& computed);
bool CheckProtocolBytesCRC(std::span<const uint8_t> bytes, uint32_t& computed);

} // namespace protocol
