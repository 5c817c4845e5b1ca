#pragma once
// Running commands against a device: one exchange (build the frame, send it, check the echo, collect
// the answer, classify it, repeat as the command's exception mode says) and a whole action list.
// This is the only place where frames meet the serial port. The port must be open and configured.
//
// Buffers (ListBuffers, exchange/device_host.h) are addressed like the memory image (index = absolute
// address): for a device read the image's Data is the receive destination, for a write it is the send
// source; device options and the search use a record buffer of their own. An empty span means none.
// Data blocks never reach outside the spans given.

#include "exchange/device_host.h"
#include "exchange/exchange_context.h"
#include "exchange/exchange_result.h"

#include <cstdint>
#include <span>

namespace protocol {
class TprCOMMAND;
struct TIgnoreList;
} // namespace protocol

namespace exchange {

// One exchange of `command`:
//  - an empty frame sends nothing, pauses AnswerTimeout ms as stored (none when 0 or less) and succeeds;
//  - up to three attempts, each: clear the port's queues and any waiting input, write the frame; a
//    command without Answer template pauses AnswerTimeout ms as stored and succeeds without reading;
//    with Port settings/Echo on the frame's bytes must come back first (else −3 at once, not counted);
//    the first answer byte is awaited effectiveAnswerTimeout() ms (5000 when 0 or less) from when
//    the frame has left the wire, then bytes are collected until a gap of one character time + 20 ms
//    or until 2200 bytes; with the profile's Protocol/Answer end "template" (the default; "gap" turns
//    it off) the answer also ends as soon as the bytes form a whole answer or exception answer;
//  - no byte: −1, and exception mode 0 stops, 1 repeats, 2 turns it into 0;
//  - bytes matching neither template: −2, the bytes go to the error log, no repeat (with the
//    profile's Protocol/Repeat garbled answers on, ctx.settings.repeatGarbled(), mode 1 repeats);
//  - the line's wait hook ended a wait (the user cancelled): −6 at once, nothing counted or reported;
//  - an exception answer with code k: k in `ignore`, or k below 0 (the template captured no
//    ERRORCODE), counts as success; otherwise mode 0 gives k + 1, mode 1 repeats with k + 1, mode 2
//    turns it into 0;
//  - every attempt whose result is not 0 increments ctx.CommErrors.
// These rules after an attempt are nextStep (exchange/retry_policy.h).
// The outcome holds the result of the last attempt, the answer kind (−1 nothing matched, 1 answer,
// 2 exception) and the SIZE variable after a match (else 0). −4 when the frame does not fit the send
// buffer (nothing is sent; the device log says why).
ListOutcome ExecuteCommand(ExchangeContext& ctx, const protocol::TprCOMMAND& command,
                           const protocol::TIgnoreList* ignore, const ListBuffers& buffers);

// Runs the enabled steps of action list `listIndex` in order with the caller's buffers, after copying
// the password (ctx.state.password) into the frame context. Each step's result goes through
// ReportExchangeError; the outcome carries the first failing step's result (0 when all succeeded) and
// the answer kind and size of the last step run. A list that is missing, names a command that does not
// exist or has per-step lists of different lengths is refused before anything is sent: −5, with a
// message naming the list and the step (a device log line when Quiet). This is what a DeviceHost's
// runActionList does.
ListOutcome ExecuteActionList(ExchangeContext& ctx, int listIndex, const ListBuffers& buffers);

// The read timeout that ends an answer after its last byte at the given line speed:
// round(1000 / (bits per second div 10)) + 20 ms (21 at 9600, 111 at 110).
int answerGapMs(std::uint32_t bitsPerSecond);

} // namespace exchange
