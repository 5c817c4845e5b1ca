#pragma once
// A device host for the operation tests: settings, image and clock are plain members, the action
// lists answer through a script, and everything the operations ask for is recorded.

#include "exchange/device_host.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

class ScriptedDeviceHost : public exchange::DeviceHost {
  public:
    struct ListCall {
        int index;
        std::map<std::string, double> variables; // as they were when the list ran
        exchange::ListBuffers buffers;
    };
    struct Message {
        exchange::MessageKind kind;
        std::string text;
    };
    // Answers one list run. The default fills a read page with its page number and succeeds.
    using Script = std::function<exchange::ListOutcome(const ListCall&)>;

    exchange::FlashWindow window;
    uint16_t configuredPageSize = 128;
    bool openFails = false;
    Script script;
    uint32_t now = 1000;
    uint32_t msPerList = 0; // the clock advances this much during each list run

    std::vector<ListCall> calls;
    std::vector<Message> messages;
    std::vector<std::string> log;
    std::map<std::string, double> variables;
    std::vector<uint8_t> data = std::vector<uint8_t>(0x800001, 0x00);
    std::vector<uint8_t> filled = std::vector<uint8_t>(0x800001, 0);
    int32_t startAddr = -1, endAddr = -1, blockCount = 0;
    int opens = 0, closes = 0, markNonBlanks = 0, refreshes = 0, clears = 0;
    bool open = false, busyFlag = false, quiet = false;
    uint16_t errors = 0;
    std::function<void()> duringList; // runs inside every list run, e.g. to press cancel

    exchange::FlashWindow flashWindow() override { return window; }
    void applyPortSettings() override {
        m_pageSize = configuredPageSize;
        variables.clear();
        variables["PAGE"] = 0;
        variables["SIZE"] = m_pageSize;
    }
    uint16_t pageSize() override { return m_pageSize; }
    bool openPort() override {
        if (openFails)
            return false;
        ++opens;
        open = true;
        return true;
    }
    void closePort() override {
        if (open)
            ++closes;
        open = false;
    }
    bool portOpen() override { return open; }
    void setVariable(std::string_view name, double value) override { variables[std::string(name)] = value; }
    exchange::ListOutcome runActionList(int index, const exchange::ListBuffers& buffers) override {
        calls.push_back({index, variables, buffers});
        if (duringList)
            duringList();
        now += msPerList;
        exchange::ListOutcome out = script ? script(calls.back()) : defaultAnswer(calls.back());
        if (out.result != 0)
            ++errors;
        if (out.result < 0)
            closePort(); // a communication failure ends the exchange's port use
        return out;
    }
    uint16_t commErrors() override { return errors; }
    void resetCommErrors() override { errors = 0; }
    void setQuiet(bool q) override { quiet = q; }

    void clearImage() override {
        ++clears;
        std::fill(data.begin(), data.end() - 1, 0xFF);
        std::fill(filled.begin(), filled.end(), 0);
        startAddr = endAddr = -1;
        blockCount = 0;
    }
    std::span<uint8_t> imageData() override { return data; }
    int32_t imageStartAddr() override { return startAddr; }
    int32_t imageEndAddr() override { return endAddr; }
    int32_t imageBlockCount() override { return blockCount; }
    void narrowImage(int32_t low, int32_t high) override {
        startAddr = endAddr = -1;
        for (int32_t a = std::max(low, 0); a <= std::min(high, 0x800000); ++a) {
            if (filled[static_cast<size_t>(a)]) {
                if (startAddr < 0)
                    startAddr = a;
                endAddr = a;
            }
        }
        int32_t length = endAddr - startAddr + 1;
        blockCount = configuredPageSize ? (length + configuredPageSize - 1) / configuredPageSize : 0;
    }
    void markNonBlank() override {
        ++markNonBlanks;
        std::fill(filled.begin(), filled.end(), 0);
        auto first = std::find_if(data.begin(), data.end() - 1, [](uint8_t b) { return b != 0xFF; });
        if (first == data.end() - 1)
            return;
        auto last = std::find_if(data.rbegin() + 1, data.rend(), [](uint8_t b) { return b != 0xFF; });
        size_t lo = static_cast<size_t>(first - data.begin());
        size_t hi = static_cast<size_t>(data.rend() - last) - 1;
        std::fill(filled.begin() + static_cast<long>(lo), filled.begin() + static_cast<long>(hi) + 1, 1);
        startAddr = static_cast<int32_t>(lo);
        endAddr = static_cast<int32_t>(hi);
    }
    void refreshImage() override {
        ++refreshes;
        narrowImage(window.start, window.end);
    }

    void showMessage(exchange::MessageKind kind, std::string_view, std::string_view text) override {
        messages.push_back({kind, std::string(text)});
    }
    void deviceLog(std::string_view text) override { log.emplace_back(text); }
    bool busy() const override { return busyFlag; }
    void setBusy(bool b) override { busyFlag = b; }
    void bringToFront() override {}
    uint32_t tickCount() override { return now; }

    // Fills bytes first..last as loaded from a file.
    void fillImage(int32_t first, int32_t last, uint8_t value) {
        for (int32_t a = first; a <= last; ++a) {
            data[static_cast<size_t>(a)] = value;
            filled[static_cast<size_t>(a)] = 1;
        }
    }
    std::vector<const ListCall*> callsOf(int index) const {
        std::vector<const ListCall*> out;
        for (const auto& c : calls)
            if (c.index == index)
                out.push_back(&c);
        return out;
    }

    // A read page stores PageSize bytes of value (PAGE + 1) at ADDRESS.
    exchange::ListOutcome defaultAnswer(const ListCall& call) {
        if (call.index == 3 && !call.buffers.receive.empty()) {
            auto page = static_cast<uint8_t>(call.variables.at("PAGE") + 1);
            size_t at = call.buffers.receiveOffset;
            for (size_t i = 0; i < m_pageSize && at + i < call.buffers.receive.size(); ++i)
                call.buffers.receive[at + i] = page;
        }
        return {};
    }

  private:
    uint16_t m_pageSize = 0;
};

} // namespace testsupport
