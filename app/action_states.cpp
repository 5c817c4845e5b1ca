#include "app/action_states.h"

#include "exchange/operation_sequencer.h"

#include <algorithm>

namespace app {

int commandStepCount(const protocol::TProtocol& protocol, int list) {
    if (list < 0 || static_cast<size_t>(list) >= protocol.ActionLists.size())
        return 0;
    const protocol::TVLMAction& action = protocol.ActionLists[static_cast<size_t>(list)];
    const auto commands = static_cast<std::int64_t>(protocol.Commands.Count());
    int count = 0;
    // In a damaged file StepCount and the step lists may disagree; only steps both agree on count.
    const size_t steps =
        std::min(action.StepCommands.size(), static_cast<size_t>(std::max(action.StepCount, 0)));
    for (size_t i = 0; i < steps; ++i)
        if (action.StepCommands[i] >= 0 && action.StepCommands[i] < commands)
            ++count;
    return count;
}

ActionStates computeActionStates(const ActionStateInput& input) {
    const bool idle = !input.busy;
    const bool ready = idle && !input.communicationDisabled;
    const auto hasSteps = [&](int list) {
        return input.protocol != nullptr && commandStepCount(*input.protocol, list) > 0;
    };

    ActionStates s;
    s.profileBox = s.addressField = s.fileOptions = s.fileOpen = s.bufferClear = s.bufferLoadAt = s.fileSave =
        idle;
    s.fileUpdate = idle && input.currentFileExists;
    // A device action needs a runnable step in its main list (for read and write, the page list).
    s.devOpts = ready && hasSteps(exchange::kListIdentRead);
    s.devRead = ready && hasSteps(exchange::kListReadPage);
    s.devWrite = ready && !input.writeBlocked && hasSteps(exchange::kListWritePage);
    s.devErase = ready && hasSteps(exchange::kListErase);
    s.devFind = ready && hasSteps(exchange::kListSearch);
    s.devReset = ready && hasSteps(exchange::kListReset);
    return s;
}

} // namespace app
