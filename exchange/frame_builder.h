#pragma once
// BuildFrame: a command template and the protocol variables become frame bytes with a running CRC.
// A pure function of the compiled template, the evaluator's variables, the frame context and the
// data source; it writes only into the given frame buffer.

#include "protocol/protocol_command.h"

#include <cstdint>
#include <span>
#include <string>

namespace exchange {

// The send buffer the exchange uses, and the value it is filled with before a frame is built.
inline constexpr size_t kSendBufferSize = 16385;
inline constexpr uint8_t kSendFill = 0xAA;

struct FrameResult {
    int32_t length = 0;  // bytes of the frame
    int32_t result = 0;  // 0, or the number (from 1) of the last field whose value could not be computed
    bool built = true;   // false: no frame (it would not fit the buffer, or no evaluator or CRC
                         // generator is bound); nothing may be sent and `message` says why
    std::string message; // UTF-8
};

// Builds `command`'s frame into `frame`. `source` is the data source addressed by absolute address
// (index = address), or null for none; `defaultOffset` is the address the caller works on (a
// DATABLOCK without a start begins there).
//
// Fields are emitted in order: PASSWORD, APP_CMPT, APP_VER, DATABLOCK, BYTES and one byte for any
// other field, every byte entering the CRC except those of fields containing PACK_CRC; PACK_CRC is
// set to the CRC before the first field and after each. A field whose value cannot be computed
// keeps its byte positions (left as they were in the buffer, outside the CRC) and its number becomes
// `result`; a DATABLOCK reaching outside the source copies only the bytes inside it and counts as
// such a field. APP_VER puts the 64 version bytes at every second position of a 128-byte stretch.
// A frame longer than `frame` is not built: built is false, length 0, and the buffer contents past
// the fields that fitted are unchanged.
FrameResult BuildFrame(const protocol::TprCOMMANDS& commands, const protocol::CompiledTemplate& command,
                       int64_t defaultOffset, const std::span<const uint8_t>* source,
                       std::span<uint8_t> frame);

// The same for a command of the collection; the message names the command.
FrameResult BuildFrame(const protocol::TprCOMMANDS& commands, const protocol::TprCOMMAND& command,
                       int64_t defaultOffset, const std::span<const uint8_t>* source,
                       std::span<uint8_t> frame);

} // namespace exchange
