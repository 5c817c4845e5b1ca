#pragma once
// Which actions and controls of the main window are enabled, from the program's state. The window
// applies the result after every UpdateActionStates notification.

#include "protocol/protocol_description.h"

namespace app {

struct ActionStateInput {
    bool busy = false;                             // a device operation or search runs
    bool communicationDisabled = true;             // no usable protocol description
    bool writeBlocked = false;                     // the loaded image's version record marks it damaged
    bool currentFileExists = false;                // the image's file name names an existing file
    const protocol::TProtocol* protocol = nullptr; // the loaded description; null counts as empty
};

struct ActionStates {
    bool profileBox = false;
    bool addressField = false;
    bool fileOptions = false;
    bool fileOpen = false;
    bool bufferClear = false;
    bool bufferLoadAt = false; // also the dump's cell editing: both change the image a device operation uses
    bool fileSave = false;
    bool fileUpdate = false;
    bool devOpts = false;
    bool devRead = false;
    bool devWrite = false;
    bool devErase = false;
    bool devFind = false;
    bool devReset = false;

    bool operator==(const ActionStates&) const = default;
};

// The steps of action list `list` that point at an existing command (a step whose command index is
// outside the description's commands runs nothing). 0 when the list does not exist.
int commandStepCount(const protocol::TProtocol& protocol, int list);

// Idle = not busy; ready = idle and communication enabled. The file actions need idle (reload also an
// existing file); each device action needs ready and at least one step of its list that points at a
// command; write also needs an image that is not write blocked.
ActionStates computeActionStates(const ActionStateInput& input);

} // namespace app
