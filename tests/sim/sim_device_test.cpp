#include "sim/modbus_rtu.h"
#include "sim/sim_device.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using sim::DeviceConfig;
using sim::FaultPlan;
using sim::SimDevice;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint8_t kAddr = 17;

Bytes withCrc(Bytes frame) {
    sim::appendCrc(frame);
    return frame;
}

// A request to our device: address, function, data, CRC.
Bytes request(std::uint8_t function, Bytes data = {}, std::uint8_t address = kAddr) {
    Bytes f{address, function};
    f.insert(f.end(), data.begin(), data.end());
    return withCrc(f);
}

Bytes answer(std::uint8_t function, Bytes data = {}) {
    return request(function, std::move(data));
}

Bytes error(std::uint8_t function, std::uint8_t code) {
    return sim::exceptionFrame(kAddr, function, code);
}

Bytes be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

Bytes readReq(std::uint32_t address, std::uint16_t count) {
    Bytes d = be32(address);
    d.push_back(std::uint8_t(count >> 8));
    d.push_back(std::uint8_t(count));
    return request(sim::fn::kReadMemory, d);
}

Bytes writeData(std::uint32_t address, Bytes bytes, std::optional<std::uint16_t> count = {}) {
    Bytes d = be32(address);
    const std::uint16_t n = count.value_or(static_cast<std::uint16_t>(bytes.size()));
    d.push_back(std::uint8_t(n >> 8));
    d.push_back(std::uint8_t(n));
    d.insert(d.end(), bytes.begin(), bytes.end());
    return d;
}

Bytes writeReq(std::uint32_t address, Bytes bytes, std::optional<std::uint16_t> count = {}) {
    return request(sim::fn::kWriteMemory, writeData(address, std::move(bytes), count));
}

Bytes writeAck(std::uint32_t address, std::uint16_t count) {
    Bytes d = be32(address);
    d.push_back(std::uint8_t(count >> 8));
    d.push_back(std::uint8_t(count));
    return answer(sim::fn::kWriteMemory, d);
}

Bytes unlockReq(const std::string& password) {
    return request(sim::fn::kUnlock, Bytes(password.begin(), password.end()));
}

struct Step {
    Bytes request;
    Bytes expected; // empty: no answer
};

struct Scenario {
    const char* name;
    std::vector<Step> steps;
};

DeviceConfig config() {
    DeviceConfig c;
    c.password = "secret";
    return c;
}

// Memory of zeros except a blank record area, so that the device makes its default record.
std::vector<std::uint8_t> zeroMemory() {
    std::vector<std::uint8_t> memory(sim::kMemorySize, 0x00);
    std::fill_n(memory.begin() + config().ctrlArea, sim::kRecordSize, 0xFF);
    return memory;
}

SimDevice makeDevice(FaultPlan faults = {}) {
    return SimDevice(config(), {}, sim::RecordOverrides{}, std::move(faults));
}

void runScenario(SimDevice& device, const Scenario& s) {
    for (std::size_t i = 0; i < s.steps.size(); ++i) {
        const sim::Reply reply = device.handleFrame(s.steps[i].request);
        EXPECT_EQ(reply.bytes, s.steps[i].expected) << s.name << ", step " << i + 1 << ": " << reply.note;
    }
}

} // namespace

TEST(SimDevice, AnswersEachFunctionAndRefusesBadRequests) {
    const Bytes blank8(8, 0xFF);
    const Bytes someData{0x12, 0x34, 0x56};
    const std::vector<Scenario> scenarios{
        {"read memory inside the window",
         {{readReq(0x2100, 8), answer(0x43,
                                      [&] {
                                          Bytes d{0x00, 0x08};
                                          d.insert(d.end(), blank8.begin(), blank8.end());
                                          return d;
                                      }())}}},
        {"read at the very end of memory", {{readReq(0x7FFFFF, 1), answer(0x43, {0x00, 0x01, 0xFF})}}},
        {"read past the end of memory", {{readReq(0x7FFFFF, 2), error(0x43, 2)}}},
        {"read of zero bytes", {{readReq(0x2100, 0), error(0x43, 3)}}},
        {"read of more than 2048 bytes", {{readReq(0x2100, 2049), error(0x43, 3)}}},
        {"read with a short request", {{request(0x43, {0, 0, 0x21}), error(0x43, 3)}}},
        {"write while locked", {{writeReq(0x2100, someData), error(0x44, 0x10)}}},
        {"erase while locked", {{request(0x45), error(0x45, 0x10)}}},
        {"wrong password",
         {{unlockReq("Secret"), error(0x47, 0x11)}, {writeReq(0x2100, someData), error(0x44, 0x10)}}},
        {"password that only starts right", {{unlockReq("secret1"), error(0x47, 0x11)}}},
        {"write, then read back",
         {{unlockReq("secret"), answer(0x47)},
          {writeReq(0x2180, someData), writeAck(0x2180, 3)},
          {readReq(0x2180, 4), answer(0x43, {0x00, 0x04, 0x12, 0x34, 0x56, 0xFF})}}},
        {"write below the FLASH window",
         {{unlockReq("secret"), answer(0x47)}, {writeReq(0x20FF, {1}), error(0x44, 2)}}},
        {"write past the FLASH window",
         {{unlockReq("secret"), answer(0x47)}, {writeReq(0x3FFF, {1, 2}), error(0x44, 2)}}},
        {"write across a page boundary",
         {{unlockReq("secret"), answer(0x47)}, {writeReq(0x217F, {1, 2}), error(0x44, 2)}}},
        {"write of more than a page",
         {{unlockReq("secret"), answer(0x47)}, {writeReq(0x2100, Bytes(129, 0)), error(0x44, 3)}}},
        {"write whose count disagrees with its data",
         {{unlockReq("secret"), answer(0x47)}, {writeReq(0x2100, {1, 2}, 3), error(0x44, 3)}}},
        {"write of zero bytes",
         {{unlockReq("secret"), answer(0x47)}, {writeReq(0x2100, {}), error(0x44, 3)}}},
        {"writing over programmed bytes needs an erase",
         {{unlockReq("secret"), answer(0x47)},
          {writeReq(0x2100, {0x0F}), writeAck(0x2100, 1)},
          {writeReq(0x2100, {0xF0}), error(0x44, 0x12)},
          {request(0x45), answer(0x45)},
          {writeReq(0x2100, {0xF0}), writeAck(0x2100, 1)}}},
        {"lock ends the unlocked state",
         {{unlockReq("secret"), answer(0x47)},
          {request(0x48), answer(0x48)},
          {request(0x45), error(0x45, 0x10)}}},
        {"reset locks too",
         {{unlockReq("secret"), answer(0x47)},
          {request(0x46), answer(0x46)},
          {request(0x45), error(0x45, 0x10)}}},
        {"unknown function", {{request(0x20), error(0x20, 1)}}},
        {"identity request with data", {{request(0x11, {0}), error(0x11, 3)}}},
        {"erase with data", {{request(0x45, {0}), error(0x45, 3)}}},
        {"frame for another address", {{request(0x11, {}, 18), {}}}},
        {"frame with a wrong CRC",
         {{[] {
               Bytes f = request(0x11);
               f.back() ^= 1;
               return f;
           }(),
           {}}}},
        {"frame shorter than four bytes", {{{kAddr, 0x11, 0x00}, {}}}},
        {"function code with the exception bit", {{request(0x91), {}}}},
        {"broadcast read is ignored", {{request(0x43, {0, 0, 0x21, 0, 0, 1}, 0), {}}}},
        {"broadcast unlock and write are carried out silently",
         {{request(0x47, {'s', 'e', 'c', 'r', 'e', 't'}, 0), {}},
          {request(0x44, writeData(0x2200, {0x42}), 0), {}},
          {readReq(0x2200, 1), answer(0x43, {0x00, 0x01, 0x42})}}},
    };
    for (const auto& s : scenarios) {
        SimDevice device = makeDevice();
        runScenario(device, s);
    }
}

TEST(SimDevice, EraseClearsOnlyTheFlashWindow) {
    SimDevice device(config(), zeroMemory(), sim::RecordOverrides{});
    ASSERT_FALSE(device.handleFrame(unlockReq("secret")).bytes.empty());
    ASSERT_EQ(device.handleFrame(request(0x45)).bytes, answer(0x45));
    const auto& m = device.memory();
    EXPECT_EQ(m[0x20FF], 0x00);
    EXPECT_EQ(m[0x2100], 0xFF);
    EXPECT_EQ(m[0x3FFF], 0xFF);
    EXPECT_EQ(m[0x4000], 0x00);
}

TEST(SimDevice, ResetTakesTheNetworkNumberOfTheRecord) {
    SimDevice device = makeDevice();
    sim::IdentRecord rec = device.record();
    rec[4] = 0x22;
    ASSERT_EQ(device.handleFrame(request(0x42, Bytes(rec.begin(), rec.end()))).bytes, answer(0x42));
    // Still the old address until the reset; the reset itself is answered from the old one.
    EXPECT_EQ(device.address(), kAddr);
    EXPECT_EQ(device.handleFrame(request(0x46)).bytes, answer(0x46));
    EXPECT_EQ(device.address(), 0x22);
    EXPECT_TRUE(device.handleFrame(request(0x11)).bytes.empty());
    EXPECT_FALSE(device.handleFrame(request(0x11, {}, 0x22)).bytes.empty());
}

TEST(SimDevice, RecordWritesAreCheckedAndKeptWhole) {
    struct Case {
        const char* name;
        std::size_t length;
        std::uint8_t address;
        std::uint8_t recordLength;
        Bytes expected;
    };
    const std::vector<Case> cases{
        {"valid record", 256, 0x30, 128, answer(0x42)},
        {"record length 0", 256, 0x30, 0, answer(0x42)},
        {"record length above 128", 256, 0x30, 129, error(0x42, 3)},
        {"network number 0", 256, 0, 20, error(0x42, 3)},
        {"network number 248", 256, 248, 20, error(0x42, 3)},
        {"short record", 255, 0x30, 20, error(0x42, 3)},
    };
    for (const auto& c : cases) {
        SimDevice device = makeDevice();
        const sim::IdentRecord before = device.record();
        Bytes rec(c.length, 0xA5);
        rec[4] = c.address;
        rec[5] = c.recordLength;
        EXPECT_EQ(device.handleFrame(request(0x42, rec)).bytes, c.expected) << c.name;
        const sim::IdentRecord after = device.record();
        if (c.expected == answer(0x42)) {
            EXPECT_TRUE(std::equal(after.begin(), after.end(), rec.begin())) << c.name;
        } else {
            EXPECT_EQ(after, before) << c.name;
        }
        // The read answer always carries the record as stored.
        Bytes read(2 + sim::kRecordSize);
        read[0] = 0x01;
        std::copy(after.begin(), after.end(), read.begin() + 2);
        EXPECT_EQ(device.handleFrame(request(0x41)).bytes, answer(0x41, read)) << c.name;
    }
}

TEST(SimDevice, FaultsChangeTheAnswersOfTheChosenFrames) {
    const Bytes identity = makeDevice().handleFrame(request(0x11)).bytes;
    Bytes badCrc = identity;
    badCrc.back() ^= 0xFF;
    const Bytes garbage{0x00, 0xFF, 0x55, 0xAA, 0x13, 0x37, 0xC3};
    struct Case {
        const char* name;
        FaultPlan faults;
        std::vector<Bytes> expected; // answers to five identity requests
    };
    FaultPlan silent;
    silent.silentFirst = 2;
    FaultPlan errorFromThird;
    errorFromThird.errors.push_back({0x11, 4, {3, 0}});
    FaultPlan errorOnlySecond;
    errorOnlySecond.errors.push_back({0x11, 6, {2, 2}});
    errorOnlySecond.errors.push_back({0x43, 4, {1, 0}});
    FaultPlan corrupt;
    corrupt.corruptCrc.push_back({2, 3});
    FaultPlan trash;
    trash.garbage.push_back({4, 0});
    const std::vector<Case> cases{
        {"silent for two frames", silent, {{}, {}, identity, identity, identity}},
        {"device error from the third request on",
         errorFromThird,
         {identity, identity, error(0x11, 4), error(0x11, 4), error(0x11, 4)}},
        {"device error on the second request only",
         errorOnlySecond,
         {identity, error(0x11, 6), identity, identity, identity}},
        {"corrupted CRC on frames 2 to 3", corrupt, {identity, badCrc, badCrc, identity, identity}},
        {"garbage from frame 4 on", trash, {identity, identity, identity, garbage, garbage}},
    };
    for (const auto& c : cases) {
        SimDevice device = makeDevice(c.faults);
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(device.handleFrame(request(0x11)).bytes, c.expected[i])
                << c.name << ", frame " << i + 1;
    }
}

TEST(SimDevice, InjectedErrorsAreNotCarriedOut) {
    FaultPlan faults;
    faults.errors.push_back({0x45, 5, {1, 1}});
    SimDevice device(config(), zeroMemory(), sim::RecordOverrides{}, faults);
    device.handleFrame(unlockReq("secret"));
    EXPECT_EQ(device.handleFrame(request(0x45)).bytes, error(0x45, 5));
    EXPECT_EQ(device.memory()[0x2100], 0x00);
    EXPECT_EQ(device.handleFrame(request(0x45)).bytes, answer(0x45));
    EXPECT_EQ(device.memory()[0x2100], 0xFF);
}

TEST(SimDevice, DropAfterHangsUpAfterTheAnswer) {
    FaultPlan faults;
    faults.dropAfter = 2;
    SimDevice device = makeDevice(faults);
    EXPECT_FALSE(device.handleFrame(request(0x11)).hangUp);
    const sim::Reply second = device.handleFrame(request(0x11));
    EXPECT_TRUE(second.hangUp);
    EXPECT_FALSE(second.bytes.empty());
}

TEST(SimDevice, ConfigurationChecks) {
    struct Case {
        const char* name;
        DeviceConfig config;
        bool valid;
    };
    auto with = [](auto change) {
        DeviceConfig c;
        change(c);
        return c;
    };
    const std::vector<Case> cases{
        {"defaults", DeviceConfig{}, true},
        {"window start after end", with([](DeviceConfig& c) { c.flashStart = 0x4000; }), false},
        {"window past memory", with([](DeviceConfig& c) { c.flashEnd = sim::kMemorySize; }), false},
        {"page size 0", with([](DeviceConfig& c) { c.pageSize = 0; }), false},
        {"page size 4097", with([](DeviceConfig& c) { c.pageSize = 4097; }), false},
        {"record overlaps the window start", with([](DeviceConfig& c) { c.ctrlArea = 0x2001; }), false},
        {"record just below the window", with([](DeviceConfig& c) { c.ctrlArea = 0x2000; }), true},
        {"record just above the window", with([](DeviceConfig& c) { c.ctrlArea = 0x4000; }), true},
        {"record past memory", with([](DeviceConfig& c) { c.ctrlArea = sim::kMemorySize - 255; }), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sim::validateConfig(c.config).empty(), c.valid) << c.name;
}

TEST(SimDevice, ArbitraryFramesGetWellFormedAnswersOrNone) {
    // Random requests with a correct CRC reach every function's checks; the sanitizer build watches
    // for reads and writes outside the buffers.
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    const std::uint8_t functions[] = {0x11, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x03};
    SimDevice device(DeviceConfig{}, {}, sim::RecordOverrides{});
    for (int i = 0; i < 20000; ++i) {
        Bytes frame(2 + next() % 300);
        for (auto& b : frame)
            b = static_cast<std::uint8_t>(next());
        frame[0] = next() % 8 == 0 ? 0 : device.address();
        frame[1] = functions[next() % std::size(functions)];
        if (frame[1] == 0x43 || frame[1] == 0x44) {
            // Mostly addresses near the FLASH window, so that some requests pass the checks.
            frame.resize(std::max<std::size_t>(frame.size(), 8));
            frame[2] = 0;
            frame[3] = 0;
            frame[4] = static_cast<std::uint8_t>(0x20 + next() % 0x22);
            frame[6] = 0;
        }
        if (frame[1] == 0x42 && next() % 2 == 0)
            frame.resize(2 + sim::kRecordSize);
        if (frame[1] == 0x47 || frame[1] == 0x45 || frame[1] == 0x46)
            frame.resize(2);
        const std::uint8_t target = frame[0];
        sim::appendCrc(frame);
        const sim::Reply reply = device.handleFrame(frame);
        if (reply.bytes.empty())
            continue;
        EXPECT_NE(target, 0) << "a broadcast was answered";
        EXPECT_TRUE(sim::hasValidCrc(reply.bytes)) << reply.note;
        EXPECT_EQ(reply.bytes[1] & 0x7F, frame[1]) << reply.note;
        ASSERT_GE(device.address(), 1);
        ASSERT_LE(device.address(), 247);
    }
}
