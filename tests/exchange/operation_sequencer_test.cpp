#include "exchange/operation_sequencer.h"

#include "scripted_device_host.h"

#include <gtest/gtest.h>

namespace {

using exchange::MessageKind;
using exchange::OperationSequencer;
using Outcome = exchange::OperationSequencer::Outcome;
using testsupport::ScriptedDeviceHost;

// Ticks until the operation leaves the paging state; returns the number of ticks.
int runToEnd(OperationSequencer& seq, int limit = 100000) {
    int ticks = 0;
    while (seq.paging() && ticks < limit) {
        seq.tick();
        ++ticks;
    }
    return ticks;
}

std::vector<uint32_t> pageAddresses(const ScriptedDeviceHost& host, int list) {
    std::vector<uint32_t> out;
    for (const auto* c : host.callsOf(list))
        out.push_back(static_cast<uint32_t>(c->variables.at("ADDRESS")));
    return out;
}

TEST(OperationSequencerRead, WalksTheWindowPageByPage) {
    struct Case {
        int32_t start, end;
        uint16_t pageSize;
        size_t pages;
        uint32_t first, last;
        int finalProgress;
    };
    const Case cases[] = {
        {0x2100, 0x3FFF, 128, 62, 0x2100, 0x3F80, 98}, // the default window
        {0x2110, 0x3FFF, 128, 62, 0x2100, 0x3F80, 99}, // start inside a page is rounded down
        {0x2100, 0x2100, 128, 1, 0x2100, 0x2100, 100}, // one-byte window: no divisor
        {0x0000, 0x00FF, 256, 1, 0x0000, 0x0000, 0},   {0x2100, 0x2180, 128, 2, 0x2100, 0x2180, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.start << ".." << c.end);
        ScriptedDeviceHost host;
        host.window = {c.start, c.end};
        host.configuredPageSize = c.pageSize;
        OperationSequencer seq(host);
        ASSERT_TRUE(seq.startRead());
        EXPECT_TRUE(host.busyFlag);
        EXPECT_TRUE(seq.panelVisible());
        runToEnd(seq);
        auto pages = pageAddresses(host, exchange::kListReadPage);
        ASSERT_EQ(pages.size(), c.pages);
        EXPECT_EQ(pages.front(), c.first);
        EXPECT_EQ(pages.back(), c.last);
        EXPECT_EQ(seq.address(), c.last + c.pageSize);
        EXPECT_EQ(seq.outcome(), Outcome::Completed);
        EXPECT_EQ(seq.progress(), c.finalProgress);
        // before, pages, after, in that order
        EXPECT_EQ(host.calls.front().index, exchange::kListBeforeRead);
        EXPECT_EQ(host.calls.back().index, exchange::kListAfterRead);
        EXPECT_FALSE(host.open);
        EXPECT_FALSE(host.busyFlag);
        EXPECT_FALSE(seq.panelVisible());
        EXPECT_EQ(host.markNonBlanks, 1);
        ASSERT_EQ(host.log.size(), 1u);
        EXPECT_EQ(host.log[0], " Чтение завершено(0 сек)");
        EXPECT_TRUE(host.messages.empty());
    }
}

TEST(OperationSequencerRead, PagesLandAtTheirAddressAndVariablesFollow) {
    ScriptedDeviceHost host;
    OperationSequencer seq(host);
    ASSERT_TRUE(seq.startRead());
    // The "before" list still sees ADDRESS as the settings left it (not yet set here).
    EXPECT_EQ(host.calls[0].variables.count("ADDRESS"), 0u);
    runToEnd(seq);
    auto reads = host.callsOf(exchange::kListReadPage);
    for (size_t i = 0; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i]->variables.at("PAGE"), static_cast<double>(i));
        EXPECT_EQ(reads[i]->buffers.receiveOffset, 0x2100 + 128 * i);
    }
    EXPECT_EQ(host.data[0x2100], 1);
    EXPECT_EQ(host.data[0x3FFF], 62);
    EXPECT_EQ(host.startAddr, 0x2100);
    EXPECT_EQ(host.endAddr, 0x3FFF);
}

TEST(OperationSequencerRead, PanelTextsFollowEachPage) {
    ScriptedDeviceHost host;
    host.msPerList = 700;
    host.errors = 7; // left from an earlier exchange: the opening panel counts from zero
    OperationSequencer seq(host);
    ASSERT_TRUE(seq.startRead());
    EXPECT_EQ(seq.addressText(), "0x0000");
    EXPECT_EQ(seq.elapsedText(), "0 сек");
    EXPECT_EQ(seq.commErrorsText(), "0");
    seq.tick();
    EXPECT_EQ(seq.addressText(), "0x00002180 (P:0)");
    EXPECT_EQ(seq.elapsedText(), "1 сек"); // 1400 ms: "before" and one page
    seq.tick();
    seq.tick();
    EXPECT_EQ(seq.addressText(), "0x00002280 (P:2)");
    EXPECT_EQ(seq.progress(), 3); // 128 * 2 / 7935 * 100 = 3.2
}

TEST(OperationSequencerRead, DeviceFailingTheThirdPageKeepsTheFirstTwo) {
    ScriptedDeviceHost host;
    host.script = [&host](const ScriptedDeviceHost::ListCall& call) {
        if (call.index == exchange::kListReadPage && call.variables.at("PAGE") == 2)
            return exchange::ListOutcome{6, 2, 0};
        return host.defaultAnswer(call);
    };
    OperationSequencer seq(host);
    ASSERT_TRUE(seq.startRead());
    runToEnd(seq);
    EXPECT_EQ(seq.outcome(), Outcome::Failed);
    EXPECT_EQ(seq.lastResult(), 6);
    EXPECT_EQ(host.callsOf(exchange::kListReadPage).size(), 3u);
    EXPECT_TRUE(host.callsOf(exchange::kListAfterRead).empty());
    EXPECT_EQ(host.startAddr, 0x2100);
    EXPECT_EQ(host.endAddr, 0x21FF);
    EXPECT_EQ(host.data[0x21FF], 2);
    EXPECT_EQ(host.data[0x2200], 0xFF);
    EXPECT_FALSE(host.open);
    EXPECT_FALSE(host.busyFlag);
    EXPECT_FALSE(seq.panelVisible());
    EXPECT_EQ(host.log, std::vector<std::string>{"Чтение остановлено: страница 2, адрес 0x00002200"});
}

TEST(OperationSequencerRead, CancelKeepsWhatWasReadAndClosesThePort) {
    ScriptedDeviceHost host;
    OperationSequencer seq(host);
    ASSERT_TRUE(seq.startRead());
    for (int i = 0; i < 5; ++i)
        seq.tick();
    seq.cancel();
    EXPECT_FALSE(seq.paging());
    EXPECT_EQ(seq.outcome(), Outcome::Cancelled);
    EXPECT_FALSE(host.open);
    EXPECT_FALSE(host.busyFlag);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(host.messages[0].text, "Операция прервана пользователем");
    // The five pages are marked, so a save keeps them.
    EXPECT_EQ(host.startAddr, 0x2100);
    EXPECT_EQ(host.endAddr, 0x2100 + 5 * 128 - 1);
    EXPECT_TRUE(host.filled[0x2100 + 5 * 128 - 1]);
    seq.tick(); // a late timer tick does nothing
    EXPECT_EQ(host.callsOf(exchange::kListReadPage).size(), 5u);
}

TEST(OperationSequencerRead, TicksDoNotReenterAndCancelWaitsForTheExchange) {
    ScriptedDeviceHost host;
    OperationSequencer seq(host);
    int listRuns = 0;
    host.duringList = [&] {
        ++listRuns;
        if (host.calls.back().index != exchange::kListReadPage)
            return;
        seq.tick(); // a timer message served while a device error box is open
        if (host.calls.back().variables.at("PAGE") == 1)
            seq.cancel();
    };
    ASSERT_TRUE(seq.startRead());
    runToEnd(seq);
    EXPECT_EQ(listRuns, 3); // before, page 0, page 1
    EXPECT_EQ(seq.outcome(), Outcome::Cancelled);
    EXPECT_EQ(host.endAddr, 0x21FF);
}

TEST(OperationSequencerRead, FailingBeforeListEndsAtOnce) {
    ScriptedDeviceHost host;
    host.script = [](const ScriptedDeviceHost::ListCall&) { return exchange::ListOutcome{-1, -1, 0}; };
    OperationSequencer seq(host);
    EXPECT_FALSE(seq.startRead());
    EXPECT_EQ(seq.outcome(), Outcome::Failed);
    EXPECT_EQ(seq.lastResult(), -1);
    EXPECT_EQ(host.calls.size(), 1u);
    EXPECT_FALSE(host.busyFlag);
    EXPECT_FALSE(host.open);
}

TEST(OperationSequencerWrite, SendsTheFilledPagesOfTheWindow) {
    struct Case {
        const char* name;
        int32_t first, last; // filled bytes
        std::vector<uint32_t> pages;
        std::vector<double> sizes;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {"one short page", 0x2100, 0x2150, {0x2100}, {0x51}, {0}},
        {"short last page", 0x2100, 0x2200, {0x2100, 0x2180, 0x2200}, {128, 128, 1}, {0, 33, 67}},
        {"start inside a page", 0x2140, 0x21BF, {0x2100, 0x2180}, {128, 64}, {0, 100}},
        {"clipped to the window", 0x0000, 0x2100, {0x2100}, {1}, {0}},
        {"clipped at the end", 0x3F00, 0x5000, {0x3F00, 0x3F80}, {128, 128}, {0, 50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDeviceHost host;
        host.fillImage(c.first, c.last, 0x5A);
        OperationSequencer seq(host);
        ASSERT_TRUE(seq.startWrite());
        std::vector<int> progress;
        while (seq.paging()) {
            seq.tick();
            progress.push_back(seq.progress());
        }
        EXPECT_EQ(progress, c.progress);
        EXPECT_EQ(seq.outcome(), Outcome::Completed);
        EXPECT_EQ(pageAddresses(host, exchange::kListWritePage), c.pages);
        std::vector<double> sizes;
        for (const auto* call : host.callsOf(exchange::kListWritePage)) {
            sizes.push_back(call->variables.at("SIZE"));
            EXPECT_EQ(call->buffers.sendOffset, call->variables.at("ADDRESS"));
        }
        EXPECT_EQ(sizes, c.sizes);
        EXPECT_EQ(host.calls.front().index, exchange::kListBeforeWrite);
        EXPECT_EQ(host.calls.back().index, exchange::kListAfterWrite);
        ASSERT_EQ(host.log.size(), 1u);
        EXPECT_EQ(host.log[0], "Программирование завершено (0 сек)");
        EXPECT_FALSE(host.busyFlag);
        EXPECT_FALSE(host.open);
    }
}

TEST(OperationSequencerWrite, StartPageCountsFromTheWindowStart) {
    ScriptedDeviceHost host;
    host.fillImage(0x2300, 0x2400, 1);
    OperationSequencer seq(host);
    ASSERT_TRUE(seq.startWrite());
    EXPECT_EQ(seq.page(), 4);
    runToEnd(seq);
    auto writes = host.callsOf(exchange::kListWritePage);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0]->variables.at("PAGE"), 4);
    EXPECT_EQ(writes[2]->variables.at("PAGE"), 6);
}

TEST(OperationSequencerWrite, AfterListFailureIsLoggedAsNotCompleted) {
    ScriptedDeviceHost host;
    host.fillImage(0x2100, 0x21FF, 1);
    host.script = [](const ScriptedDeviceHost::ListCall& call) {
        return exchange::ListOutcome{call.index == exchange::kListAfterWrite ? 3 : 0, 1, 0};
    };
    OperationSequencer seq(host);
    ASSERT_TRUE(seq.startWrite());
    runToEnd(seq);
    EXPECT_EQ(seq.outcome(), Outcome::Failed);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log[0], "Программирование не завершено(0 сек)");
}

TEST(OperationSequencerWrite, PageFailureStopsWithoutAfterList) {
    ScriptedDeviceHost host;
    host.fillImage(0x2100, 0x23FF, 1);
    host.script = [](const ScriptedDeviceHost::ListCall& call) {
        bool fail = call.index == exchange::kListWritePage && call.variables.at("PAGE") == 1;
        return exchange::ListOutcome{fail ? -1 : 0, 1, 0};
    };
    OperationSequencer seq(host);
    ASSERT_TRUE(seq.startWrite());
    runToEnd(seq);
    EXPECT_EQ(seq.outcome(), Outcome::Failed);
    EXPECT_TRUE(host.callsOf(exchange::kListAfterWrite).empty());
    EXPECT_FALSE(host.busyFlag);
    EXPECT_EQ(host.log, std::vector<std::string>{"Запись остановлена: страница 1, адрес 0x00002180"});
}

TEST(OperationSequencer, RefusesBeforeOpeningThePort) {
    struct Case {
        const char* name;
        std::function<void(ScriptedDeviceHost&)> setup;
        bool write;
        std::string message;
    };
    const Case cases[] = {
        {"page size 0, read", [](ScriptedDeviceHost& h) { h.configuredPageSize = 0; }, false,
         std::string(exchange::kTextPageSizeZero)},
        {"page size 0, write",
         [](ScriptedDeviceHost& h) {
             h.configuredPageSize = 0;
             h.fillImage(0x2100, 0x2101, 0);
         },
         true, std::string(exchange::kTextPageSizeZero)},
        {"window upside down",
         [](ScriptedDeviceHost& h) {
             h.window = {0x4000, 0x3FFF};
         },
         false, std::string(exchange::kTextBadFlashWindow)},
        {"window above the image",
         [](ScriptedDeviceHost& h) {
             h.window = {0, 0x800000};
         },
         false, std::string(exchange::kTextBadFlashWindow)},
        {"negative start",
         [](ScriptedDeviceHost& h) {
             h.window = {-128, 0x100};
         },
         false, std::string(exchange::kTextBadFlashWindow)},
        {"nothing in the window", [](ScriptedDeviceHost& h) { h.fillImage(0x0000, 0x20FF, 0); }, true,
         std::string(exchange::kTextNothingToWrite)},
        {"empty image", [](ScriptedDeviceHost&) {}, true, std::string(exchange::kTextNothingToWrite)},
        {"port cannot be opened", [](ScriptedDeviceHost& h) { h.openFails = true; }, false,
         "Не могу открыть порт!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDeviceHost host;
        c.setup(host);
        OperationSequencer seq(host);
        EXPECT_FALSE(c.write ? seq.startWrite() : seq.startRead());
        EXPECT_EQ(seq.outcome(), Outcome::Refused);
        EXPECT_EQ(host.opens, 0);
        EXPECT_TRUE(host.calls.empty());
        EXPECT_FALSE(host.busyFlag);
        EXPECT_EQ(host.clears, 0);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
        EXPECT_EQ(host.messages[0].text, c.message);
    }
}

TEST(OperationSequencer, RefusesWhileAnotherOperationIsBusy) {
    ScriptedDeviceHost host;
    host.busyFlag = true;
    host.fillImage(0x2100, 0x2101, 0);
    OperationSequencer seq(host);
    EXPECT_FALSE(seq.startRead());
    EXPECT_FALSE(seq.startWrite());
    EXPECT_FALSE(seq.erase());
    EXPECT_EQ(host.opens, 0);
    EXPECT_TRUE(host.messages.empty());
}

TEST(OperationSequencer, EraseAndResetLogTheirOutcome) {
    struct Case {
        bool reset;
        int32_t result;
        const char* log;
    };
    const Case cases[] = {
        {false, 0, "Приложение стерто."},
        {false, 3, "Ошибка стирания приложения!"},
        {true, 0, "Устройство перезапущено."},
        {true, -1, "Ошибка перезапуска приложения!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        ScriptedDeviceHost host;
        host.script = [&](const ScriptedDeviceHost::ListCall&) {
            return exchange::ListOutcome{c.result, 1, 0};
        };
        bool busyDuring = false;
        host.duringList = [&] { busyDuring = host.busyFlag; };
        OperationSequencer seq(host);
        EXPECT_EQ(c.reset ? seq.reset() : seq.erase(), c.result == 0);
        ASSERT_EQ(host.calls.size(), 1u);
        EXPECT_EQ(host.calls[0].index, c.reset ? exchange::kListReset : exchange::kListErase);
        EXPECT_TRUE(busyDuring);
        EXPECT_FALSE(seq.panelVisible());
        EXPECT_EQ(host.log, std::vector<std::string>{c.log});
        EXPECT_FALSE(host.open);
        EXPECT_FALSE(host.busyFlag);
        EXPECT_EQ(seq.outcome(), c.result == 0 ? Outcome::Completed : Outcome::Failed);
    }
}

} // namespace
