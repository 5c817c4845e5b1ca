#pragma once
// MatchAnswer: received bytes are matched against an answer or exception template while values are
// captured into protocol variables (RECIPIENT, SIZE, ADDR, ERRORCODE) and data blocks are stored.
// A pure function of the bytes, the compiled template and the evaluator's variables; it reads only
// the received bytes and writes only inside the destination.

#include "protocol/protocol_command.h"

#include <cstdint>
#include <span>

namespace exchange {

// 0 when `received` matches `answer`. Otherwise nonzero: the number (from 1) of the first field that
// failed, or the field count + 1 when every field matched but the number of bytes taken differs
// from the number received.
//
// `destination` is the buffer bracketed DATABLOCK fields store into and unbracketed ones verify
// against, addressed by absolute address (index = address), or null for none; `defaultOffset` is
// where a DATABLOCK without a start begins. Before the walk ERRORCODE is set to −1, PACK_CRC to the
// reset CRC, the size register to SIZE and the address register to 0. Captured variables keep the
// values written during the walk even when the match fails; stores into the destination are staged
// and written only when the whole template matched, so a block with a bad CRC never lands. A byte
// expected beyond the received ones, or a data block reaching outside the destination, fails its
// field without being read or written.
int32_t MatchAnswer(const protocol::TprCOMMANDS& commands, const protocol::CompiledTemplate& answer,
                    std::span<const uint8_t> received, const std::span<uint8_t>* destination,
                    int64_t defaultOffset);

// How far `received` is from matching `answer` in full (the same rule as MatchAnswer), checked
// without side effects: the protocol variables are left as they were and nothing is stored (the CRC
// register is reset by every match anyway). Returns received.size() when it matches now; a larger
// count when the bytes ran out, the least number of bytes that could match; 0 when the bytes there
// already rule a match out (or the template is empty). The exchange asks as bytes arrive, so that a
// complete answer ends at once.
uint64_t AnswerNeeds(const protocol::TprCOMMANDS& commands, const protocol::CompiledTemplate& answer,
                     std::span<const uint8_t> received, const std::span<uint8_t>* destination,
                     int64_t defaultOffset);

} // namespace exchange
