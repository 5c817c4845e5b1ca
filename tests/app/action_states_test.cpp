#include "app/action_states.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// A description with one command and one step per list in `lists`; `badLists` get a step pointing past
// the commands instead.
protocol::TProtocol describe(std::initializer_list<int> lists, std::initializer_list<int> badLists = {}) {
    protocol::TProtocol p;
    protocol::PrepareActionLists(p);
    p.Commands.Add().Name = "READ";
    for (int list : lists)
        protocol::AddStep(p.ActionLists[static_cast<size_t>(list)], 0, true);
    for (int list : badLists)
        protocol::AddStep(p.ActionLists[static_cast<size_t>(list)], 5, true);
    return p;
}

TEST(ActionStatesTest, DeviceActionsFollowTheirLists) {
    // Options, read, write, erase, find, reset.
    using Enabled = std::array<bool, 6>;
    struct Case {
        const char* name;
        std::initializer_list<int> lists;
        std::initializer_list<int> badLists;
        Enabled enabled;
    };
    const Case cases[] = {
        {"all lists", {0, 3, 6, 8, 9, 10}, {}, {true, true, true, true, true, true}},
        {"only read", {3}, {}, {false, true, false, false, false, false}},
        {"lists of other operations do not count", {1, 2, 4, 5, 7}, {}, {}},
        {"steps without a command do not count", {}, {0, 3, 6, 8, 9, 10}, {}},
        {"write and reset", {6, 10}, {3}, {false, false, true, false, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const protocol::TProtocol p = describe(c.lists, c.badLists);
        app::ActionStateInput in;
        in.communicationDisabled = false;
        in.protocol = &p;
        const app::ActionStates s = app::computeActionStates(in);
        EXPECT_EQ((Enabled{s.devOpts, s.devRead, s.devWrite, s.devErase, s.devFind, s.devReset}), c.enabled);
    }
}

TEST(ActionStatesTest, BusyDisabledAndWriteBlocked) {
    const protocol::TProtocol p = describe({0, 3, 6, 8, 9, 10});
    struct Case {
        const char* name;
        bool busy, disabled, blocked, fileExists;
        bool fileActions, reload, read, write;
    };
    const Case cases[] = {
        {"idle and ready", false, false, false, true, true, true, true, true},
        {"busy disables everything", true, false, false, true, false, false, false, false},
        {"communication disabled keeps the file actions", false, true, false, true, true, true, false, false},
        {"damaged image blocks only the write", false, false, true, true, true, true, true, false},
        {"reload needs an existing file", false, false, false, false, true, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const app::ActionStates s =
            app::computeActionStates({c.busy, c.disabled, c.blocked, c.fileExists, &p});
        for (bool b : {s.profileBox, s.addressField, s.fileOptions, s.fileOpen, s.bufferClear, s.bufferLoadAt,
                       s.fileSave})
            EXPECT_EQ(b, c.fileActions);
        EXPECT_EQ(s.fileUpdate, c.reload);
        EXPECT_EQ(s.devRead, c.read);
        EXPECT_EQ(s.devWrite, c.write);
    }
}

TEST(ActionStatesTest, NoDescriptionOrMismatchedStepListsEnableNothing) {
    app::ActionStateInput in;
    in.communicationDisabled = false;
    EXPECT_FALSE(app::computeActionStates(in).devRead);

    protocol::TProtocol p = describe({3});
    p.ActionLists[3].StepCount = 0; // damaged: the step lists say one step, the count none
    EXPECT_EQ(app::commandStepCount(p, 3), 0);
    EXPECT_EQ(app::commandStepCount(p, 11), 0);
    EXPECT_EQ(app::commandStepCount(p, -1), 0);
}

} // namespace
