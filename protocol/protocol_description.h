#pragma once
// TProtocol: a protocol description in memory. The comment, the eleven action lists that string
// commands together for each device operation, the commands, the device error texts, the ignore
// lists and the frame CRC parameters. All strings here are UTF-8; the file reader and writer convert
// to and from code page 1251.

#include "base/crc_generator.h"
#include "protocol/protocol_command.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace protocol {

// The number of action lists the system runs, by fixed index (read, write, erase, search, ...).
inline constexpr int kActionListCount = 11;

// One action list: per step the index of a command, the index of an ignore list (none when negative
// or outside the description's ignore lists) and an enabled flag (1 runs, 0 skips). The three lists
// have StepCount entries each in a sound description; a file may hold other lengths, which
// actionListFault reports.
struct TVLMAction {
    std::string Name;
    std::vector<int32_t> StepCommands;
    std::vector<int32_t> StepIgnoreLists;
    std::vector<uint8_t> StepEnabled;
    int32_t StepCount = 0;

    bool operator==(const TVLMAction&) const = default;
};

// A device error code and its text.
struct TPrException {
    int32_t Code = 0;
    std::string Text;

    bool operator==(const TPrException&) const = default;
};

// Device error codes a step may treat as success.
struct TIgnoreList {
    std::vector<int32_t> Codes;

    bool operator==(const TIgnoreList&) const = default;
};

using TIgnoreListCollection = std::vector<TIgnoreList>;

class TProtocol {
  public:
    // An empty description: no lists, no commands, CRC width 16 with zero parameters.
    TProtocol();
    // Copies bind the copy's commands to the copy's own CRC generator.
    TProtocol(const TProtocol& other);
    TProtocol& operator=(const TProtocol& other);

    std::string Comment;
    std::vector<TVLMAction> ActionLists;
    protocol::TprCOMMANDS Commands;
    std::vector<TPrException> Exceptions;
    TIgnoreListCollection IgnoreLists;
    base::TCRCGenerator CRCGenerator;

  private:
    void bindCommands();
};

// Empties Comment, Commands, ActionLists, Exceptions and IgnoreLists.
void ClearProtocol(TProtocol& protocol);

// Replaces ActionLists with lists named "0" ... "10", without steps.
void PrepareActionLists(TProtocol& protocol);

// Action list operations. Positions count from 0. Each keeps the three per-step lists and StepCount
// in step; out-of-range positions change nothing and return false (or −1).
void InitAction(const std::string& name, TVLMAction& action);
int32_t AddStep(TVLMAction& action, int32_t command, bool enabled); // → the new step's index
bool InsertStep(TVLMAction& action, int32_t position, int32_t command, bool enabled);
bool DeleteStep(TVLMAction& action, int32_t position);
bool MoveStep(TVLMAction& action, int32_t target, int32_t source);

// Ignore list operations.
int32_t AddIgnoreList(TProtocol& protocol);                              // → index of the new empty list
void DeleteIgnoreList(TProtocol& protocol, int32_t index);               // out of range: nothing happens
int32_t AddIgnoreCode(TProtocol& protocol, int32_t index, int32_t code); // → position, or −1
int32_t DeleteIgnoreCode(TProtocol& protocol, int32_t index, int32_t position); // → new length, or −1

// Exception operations.
TPrException MakeException(int32_t code, const std::string& text);
// Index of the last entry with `code`, or −1.
int32_t FindException(const std::vector<TPrException>& exceptions, int32_t code);

// The ignore list a step uses, or null when its index is negative or outside IgnoreLists.
const TIgnoreList* stepIgnoreList(const TProtocol& protocol, const TVLMAction& action, int32_t step);

// Why an action list must not run, or empty when it may. A list whose three per-step lists and
// StepCount differ in length, or whose step names a command index not below the command count, is
// kept as read but never run: the exchange asks this before sending anything. The message (UTF-8,
// Russian) names the list by index and name and the step (counted from 1).
std::optional<std::string> actionListFault(const TProtocol& protocol, int32_t listIndex);

} // namespace protocol
