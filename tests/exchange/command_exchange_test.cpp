// The exchange against a scripted device on the in-memory line, whose clock makes pauses and timeouts
// cost no real time; a few cases run over a real pseudo-terminal.

#include "exchange/command_exchange.h"
#include "exchange/exchange_errors.h"
#include "exchange_rig.h"
#include "support/scripted_peer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace exchangetest;
using testsupport::ScriptedPeer;

namespace {

constexpr int kRead = 3; // the sector-read list
constexpr std::uint32_t kPageAddress = 0x2100;

exchange::ListBuffers readInto(image::TDUMPVersionedFile& image) {
    exchange::ListBuffers buffers;
    buffers.receive = image.Data.span();
    buffers.receiveOffset = kPageAddress;
    return buffers;
}

ScriptedPeer::Script silent() {
    return [](const Bytes&, int) { return std::nullopt; };
}

Bytes normalAnswer() {
    return withCrc({0x11, 0x03, 0x04, 0xDE, 0xAD, 0xBE, 0xEF});
}
Bytes exceptionAnswer(std::uint8_t code) {
    return withCrc({0x11, 0x83, code});
}

} // namespace

TEST(CommandExchange, SilentDeviceByExceptionMode) {
    struct Case {
        int mode;
        std::size_t frames;
        int commErrors;
        std::int32_t result;
        bool message;
    };
    const Case cases[] = {{0, 1, 1, -1, true}, {1, 3, 3, -1, true}, {2, 1, 0, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        ExchangeRig rig;
        rig.addStep(kRead, rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException, c.mode));
        rig.ctx.CommErrors = 7;
        ScriptedPeer peer(*rig.line, silent());
        const auto out = exchange::ExecuteActionList(rig.ctx, kRead, readInto(rig.image));
        peer.stop();
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.answerKind, exchange::kAnswerNone);
        ASSERT_EQ(peer.frames().size(), c.frames);
        EXPECT_EQ(peer.frames()[0], withCrc({0x11, 0x03, 0, 0, 0, 2}));
        EXPECT_EQ(rig.ctx.CommErrors, 7 + c.commErrors);
        if (c.message) {
            ASSERT_EQ(rig.messages.texts.size(), 1u);
            EXPECT_EQ(rig.messages.texts[0], boxText("ОШИБКА! ", "Устройство не отвечает (READ)"));
            EXPECT_EQ(rig.messages.kinds[0], app::MessageKind::Error);
            EXPECT_EQ(rig.stops, 2); // the operation is ended before and after the message
        } else {
            EXPECT_TRUE(rig.messages.texts.empty());
            EXPECT_EQ(rig.stops, 0);
        }
    }
}

TEST(CommandExchange, DeviceAnswers) {
    struct Case {
        std::string name;
        int mode;
        std::vector<std::int32_t> ignored;                       // the step's ignore list
        std::vector<std::pair<std::int32_t, std::string>> table; // device error texts
        ScriptedPeer::Script device;
        std::int32_t result;
        std::int32_t answerKind;
        std::size_t frames;
        int commErrors;
        std::string message; // box text, empty for none
    };
    auto always = [](Bytes answer) { return [answer](const Bytes&, int) { return std::optional(answer); }; };
    const Case cases[] = {
        {"normal answer", 0, {}, {}, always(normalAnswer()), 0, 1, 1, 0, ""},
        {"ignored code", 0, {3, 5}, {}, always(exceptionAnswer(5)), 0, 2, 1, 0, ""},
        {"code with text",
         0,
         {4},
         {{5, "Сектор защищён"}},
         always(exceptionAnswer(5)),
         6,
         2,
         1,
         1,
         boxText("ОШИБКА #5", "Сектор защищён")},
        {"code without text",
         0,
         {},
         {{4, "другая"}},
         always(exceptionAnswer(5)),
         6,
         2,
         1,
         1,
         boxText("ОШИБКА #5", "Неизвестная ошибка")},
        {"last text wins",
         0,
         {},
         {{5, "первая"}, {5, "вторая"}},
         always(exceptionAnswer(5)),
         6,
         2,
         1,
         1,
         boxText("ОШИБКА #5", "вторая")},
        {"code 0",
         0,
         {},
         {{0, "ноль"}},
         always(exceptionAnswer(0)),
         1,
         2,
         1,
         1,
         boxText("ОШИБКА #0", "ноль")},
        {"repeated code",
         1,
         {},
         {},
         always(exceptionAnswer(5)),
         6,
         2,
         3,
         3,
         boxText("ОШИБКА #5", "Неизвестная ошибка")},
        {"code ignored by mode", 2, {}, {}, always(exceptionAnswer(5)), 0, 2, 1, 0, ""},
        {"second attempt answers",
         1,
         {},
         {},
         [](const Bytes&, int i) { return i == 0 ? std::nullopt : std::optional(normalAnswer()); },
         0,
         1,
         2,
         1,
         ""},
        {"unreadable answer is not repeated",
         1,
         {},
         {},
         always({0x11, 0x03, 0x04, 0x00}),
         -2,
         -1,
         1,
         1,
         boxText("ОШИБКА! ", "Получен не верный ответ (READ)")},
        {"bad CRC",
         0,
         {},
         {},
         always({0x11, 0x03, 0x04, 0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x00}),
         -2,
         -1,
         1,
         1,
         boxText("ОШИБКА! ", "Получен не верный ответ (READ)")},
        {"another slave",
         0,
         {},
         {},
         always(withCrc({0x12, 0x03, 0x04, 1, 2, 3, 4})),
         -2,
         -1,
         1,
         1,
         boxText("ОШИБКА! ", "Получен не верный ответ (READ)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeRig rig;
        const int ignore = protocol::AddIgnoreList(rig.protocol);
        for (auto code : c.ignored)
            protocol::AddIgnoreCode(rig.protocol, ignore, code);
        for (const auto& [code, text] : c.table)
            rig.protocol.Exceptions.push_back(protocol::MakeException(code, text));
        rig.addStep(kRead, rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException, c.mode), true,
                    ignore);
        ScriptedPeer peer(*rig.line, c.device);
        const auto out = exchange::ExecuteActionList(rig.ctx, kRead, readInto(rig.image));
        peer.stop();
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.answerKind, c.answerKind);
        EXPECT_EQ(peer.frames().size(), c.frames);
        EXPECT_EQ(rig.ctx.CommErrors, c.commErrors);
        if (c.message.empty()) {
            EXPECT_TRUE(rig.messages.texts.empty());
        } else {
            ASSERT_EQ(rig.messages.texts.size(), 1u);
            EXPECT_EQ(rig.messages.texts[0], c.message);
        }
        // The data block lands in the image only with a matching answer.
        const bool stored = c.answerKind == exchange::kAnswerNormal;
        EXPECT_EQ(rig.image.Data[kPageAddress], stored ? 0xDE : 0xFF);
        EXPECT_EQ(rig.image.Data[kPageAddress + 3], stored ? 0xEF : 0xFF);
        EXPECT_EQ(rig.image.Data[kPageAddress + 4], 0xFF);
        if (stored) {
            EXPECT_EQ(out.size, 4);
        }
        // Only answers matching no template reach the error log.
        EXPECT_EQ(rig.log.errorLogText().empty(), c.result != -2);
    }
}

TEST(CommandExchange, UnreadableAnswerGoesToTheErrorLogByteByByte) {
    ExchangeRig rig;
    rig.addStep(kRead, rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException));
    ScriptedPeer peer(*rig.line, [](const Bytes&, int) { return std::optional(Bytes{0x11, 0xAB, 0x0F}); });
    EXPECT_EQ(exchange::ExecuteActionList(rig.ctx, kRead, {}).result, -2);
    EXPECT_EQ(exchange::ExecuteActionList(rig.ctx, kRead, {}).result, -2);
    const std::string block = "-[ Ошибка ]------\n0x11\n0xAB\n0x0F\n";
    EXPECT_EQ(rig.log.errorLogText(), block + block);
}

TEST(CommandExchange, FramesWithoutAnswerAndEmptyFrames) {
    struct Case {
        std::string name;
        std::string command;
        std::string answer;
        int answerTimeout;
        std::size_t frames;
        std::vector<int> pauses;
    };
    const Case cases[] = {
        {"empty frame", "", kReadAnswer, 30, 0, {30}},
        {"empty frame, no pause", "", kReadAnswer, 0, 0, {}},
        {"no answer template", kReadCommand, "", 40, 1, {40}},
        {"no answer template, no pause", kReadCommand, "", 0, 1, {}},
        {"no answer template, negative timeout", kReadCommand, "", -5, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeRig rig;
        const int cmd = rig.addCommand("SEND", c.command, c.answer, kReadException, 1, c.answerTimeout);
        // A device that would answer: the exchange must not wait for it.
        ScriptedPeer peer(*rig.line, [](const Bytes&, int) { return std::optional(normalAnswer()); });
        const auto out = exchange::ExecuteCommand(rig.ctx, rig.command(cmd), nullptr, {});
        peer.stop();
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.answerKind, exchange::kAnswerNone);
        EXPECT_EQ(peer.frames().size(), c.frames);
        EXPECT_EQ(rig.pauses, c.pauses);
        EXPECT_EQ(rig.ctx.CommErrors, 0);
    }
}

TEST(CommandExchange, Echo) {
    struct Case {
        std::string name;
        bool echoSetting;
        std::function<Bytes(const Bytes&)> device; // what comes back for a frame
        std::int32_t result;
        int commErrors;
    };
    const Case cases[] = {
        {"echo expected and sent", true,
         [](const Bytes& f) {
             Bytes b = f;
             Bytes a = normalAnswer();
             b.insert(b.end(), a.begin(), a.end());
             return b;
         },
         0, 0},
        {"echo expected, only the answer", true, [](const Bytes&) { return normalAnswer(); }, -3, 0},
        {"echo expected, one byte differs", true,
         [](const Bytes& f) {
             Bytes b = f;
             b[3] ^= 0x40;
             return b;
         },
         -3, 0},
        {"echo not expected but sent", false,
         [](const Bytes& f) {
             Bytes b = f;
             Bytes a = normalAnswer();
             b.insert(b.end(), a.begin(), a.end());
             return b;
         },
         -2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeRig rig;
        ASSERT_TRUE(rig.settings.writeBool(app::Setting::Echo, c.echoSetting));
        rig.addStep(kRead, rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException, 1));
        ScriptedPeer peer(*rig.line, [&](const Bytes& f, int) { return std::optional(c.device(f)); });
        const auto out = exchange::ExecuteActionList(rig.ctx, kRead, readInto(rig.image));
        peer.stop();
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(peer.frames().size(), 1u); // an echo failure is never repeated
        EXPECT_EQ(rig.ctx.CommErrors, c.commErrors);
        if (c.result == -3) {
            ASSERT_EQ(rig.messages.texts.size(), 1u);
            EXPECT_EQ(rig.messages.texts[0], boxText("ОШИБКА! ", "Эхо пакета не получено (READ)"));
        }
    }
}

TEST(CommandExchange, AnswerCollectionStopsAt2200Bytes) {
    struct Case {
        std::string answer;
        std::int32_t result;
    };
    // 2300 bytes arrive without a gap: the first 2200 are matched as they are.
    const Case cases[] = {{"<OMITTED(2200)>;", 0}, {"<OMITTED(2300)>;", -2}, {"<OMITTED(2199)>;", -2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ExchangeRig rig;
        ASSERT_TRUE(rig.settings.writeString(app::Setting::AnswerEnd, "gap", rig.state.activeProfile));
        const int cmd = rig.addCommand("BIG", kReadCommand, c.answer, "", 0, 200);
        ScriptedPeer peer(*rig.line, [](const Bytes&, int) { return std::optional(Bytes(2300, 0x5A)); });
        const auto out = exchange::ExecuteCommand(rig.ctx, rig.command(cmd), nullptr, {});
        peer.stop();
        EXPECT_EQ(out.result, c.result);
        if (c.result == -2) { // the error log shows exactly the 2200 collected bytes
            EXPECT_EQ(std::count(rig.log.errorLogText().begin(), rig.log.errorLogText().end(), '\n'), 2201);
        }
    }
}

TEST(CommandExchange, DontShowErrMsgsRoutesMessagesToTheDeviceLog) {
    ExchangeRig rig;
    ASSERT_TRUE(rig.settings.writeBool(app::Setting::DontShowErrMsgs, true));
    rig.state.deviceAddress = 0x111; // the bus and the log use the low byte
    rig.log.setDeviceAddressSource([&] { return rig.state.deviceAddress; });
    app::SetProtocolVariables(rig.ctx, rig.around);
    rig.protocol.Exceptions.push_back(protocol::MakeException(5, "Сектор\rзащищён"));
    const int read = rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException);
    rig.addStep(kRead, read);
    rig.addStep(8, read);
    ScriptedPeer peer(*rig.line, [](const Bytes&, int i) {
        return i == 0 ? std::nullopt : std::optional(exceptionAnswer(5));
    });
    EXPECT_EQ(exchange::ExecuteActionList(rig.ctx, kRead, {}).result, -1);
    EXPECT_EQ(exchange::ExecuteActionList(rig.ctx, 8, {}).result, 6);
    peer.stop();
    EXPECT_TRUE(rig.messages.texts.empty());
    ASSERT_EQ(peer.frames().size(), 2u);
    EXPECT_EQ(peer.frames()[0][0], 0x11);
    const auto& lines = rig.log.lines();
    ASSERT_EQ(lines.size(), 2u);
    auto endsWith = [](const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    };
    EXPECT_TRUE(endsWith(lines[0], "]  (A=#17) ОШИБКА!  - Устройство не отвечает (READ)")) << lines[0];
    EXPECT_TRUE(endsWith(lines[1], "]  (A=#17) ОШИБКА #5 - Сектор защищён")) << lines[1];
}

TEST(CommandExchange, ErrorTextsKeepTheirLineBreaksInTheBox) {
    ExchangeRig rig;
    rig.protocol.Exceptions.push_back(protocol::MakeException(5, "Сектор\rзащищён"));
    EXPECT_FALSE(exchange::ReportExchangeError(rig.ctx, 6, "READ"));
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_EQ(rig.messages.texts[0], boxText("ОШИБКА #5", "Сектор\rзащищён"));
    EXPECT_EQ(rig.stops, 0); // a device error leaves stopping to the caller
    rig.ctx.Quiet = true;
    EXPECT_FALSE(exchange::ReportExchangeError(rig.ctx, -1, "READ"));
    EXPECT_TRUE(exchange::ReportExchangeError(rig.ctx, 0, "READ"));
    EXPECT_EQ(rig.messages.texts.size(), 1u);
}

TEST(CommandExchange, ActionListStepsAndFaults) {
    struct Case {
        std::string name;
        std::function<void(ExchangeRig&, int command)> build;
        std::int32_t result;
        std::size_t frames;
        std::string messagePart; // empty: no message
    };
    const Case cases[] = {
        {"disabled steps are skipped",
         [](ExchangeRig& r, int c) {
             r.addStep(kRead, c, false);
             r.addStep(kRead, c, true, 0); // code 5 ignored
             r.addStep(kRead, c, false);
         },
         0, 1, ""},
        {"ignore list index outside the lists means none",
         [](ExchangeRig& r, int c) { r.addStep(kRead, c, true, 9); }, 6, 1, "ОШИБКА #5"},
        {"an empty list succeeds", [](ExchangeRig&, int) {}, 0, 0, ""},
        {"step naming no command",
         [](ExchangeRig& r, int c) {
             r.addStep(kRead, c);
             r.addStep(kRead, 42);
         },
         -5, 0, "шаг 2"},
        {"per-step lists of different lengths",
         [](ExchangeRig& r, int c) {
             r.addStep(kRead, c);
             r.protocol.ActionLists[kRead].StepEnabled.pop_back();
         },
         -5, 0, "Чтение сектора"},
        {"list index outside the description", [](ExchangeRig& r, int) { r.protocol.ActionLists.resize(3); },
         -5, 0, "3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeRig rig;
        rig.protocol.ActionLists[kRead].Name = "Чтение сектора";
        const int ignore = protocol::AddIgnoreList(rig.protocol);
        protocol::AddIgnoreCode(rig.protocol, ignore, 5);
        c.build(rig, rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException));
        ScriptedPeer peer(*rig.line, [](const Bytes&, int) { return std::optional(exceptionAnswer(5)); });
        const auto out = exchange::ExecuteActionList(rig.ctx, kRead, {});
        peer.stop();
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(peer.frames().size(), c.frames);
        if (c.messagePart.empty()) {
            EXPECT_TRUE(rig.messages.texts.empty());
        } else {
            ASSERT_EQ(rig.messages.texts.size(), 1u);
            EXPECT_NE(rig.messages.texts[0].find(c.messagePart), std::string::npos) << rig.messages.texts[0];
        }
    }
}

TEST(CommandExchange, PasswordGoesIntoTheFrame) {
    ExchangeRig rig;
    rig.state.password = "Пароль";
    rig.addStep(kRead, rig.addCommand("LOGIN", "RECIPIENT;0x41;PASSWORD;", ""));
    ScriptedPeer peer(*rig.line, silent());
    EXPECT_EQ(exchange::ExecuteActionList(rig.ctx, kRead, {}).result, 0);
    peer.stop();
    ASSERT_EQ(peer.frames().size(), 1u);
    EXPECT_EQ(peer.frames()[0], (Bytes{0x11, 0x41, 0xCF, 0xE0, 0xF0, 0xEE, 0xEB, 0xFC})); // code page 1251
}

TEST(CommandExchange, FrameLargerThanTheSendBufferIsNotSent) {
    ExchangeRig rig;
    rig.addStep(kRead, rig.addCommand("HUGE", "BYTES(0,16000);BYTES(1,1000);", kReadAnswer));
    ScriptedPeer peer(*rig.line, silent());
    const auto out = exchange::ExecuteActionList(rig.ctx, kRead, {});
    peer.stop();
    EXPECT_EQ(out.result, exchange::kFrameNotBuilt);
    EXPECT_TRUE(peer.frames().empty());
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_NE(rig.messages.texts[0].find("HUGE"), std::string::npos);
}

// A field that cannot be computed is still sent as 0xAA, and the device log names the command and
// the field.
TEST(CommandExchange, UncomputableFieldIsSentAsAaAndLogged) {
    ExchangeRig rig;
    const int cmd = rig.addCommand("ODD", "RECIPIENT;NOSUCHNAME;", "");
    ScriptedPeer peer(*rig.line, silent());
    exchange::ExecuteCommand(rig.ctx, rig.command(cmd), nullptr, {});
    peer.stop();
    ASSERT_EQ(peer.frames().size(), 1u);
    ASSERT_GE(peer.frames()[0].size(), 2u);
    EXPECT_EQ(peer.frames()[0][1], 0xAA);
    bool logged = false;
    for (const std::string& line : rig.log.lines())
        logged =
            logged || (line.find("ODD") != std::string::npos && line.find("поле 2") != std::string::npos);
    EXPECT_TRUE(logged);
}

TEST(CommandExchange, AnswerGapFollowsTheLineSpeed) {
    const std::pair<std::uint32_t, int> cases[] = {{9600, 21},   {110, 111},   {300, 53}, {19200, 21},
                                                   {115200, 20}, {256000, 20}, {5, 1020}};
    for (auto [bits, gap] : cases)
        EXPECT_EQ(exchange::answerGapMs(bits), gap) << bits;
}

// One burst of an answer and the pause after it.
struct Burst {
    Bytes bytes;
    int pauseAfterMs;
};

// The device's answer arrives in bursts, the pauses below the 20 ms end-of-answer gap unless said
// otherwise; the exchange ends it by the template (the default) or by the gap after its last byte
// ("gap"). The bytes the device sends are the same for both rules.
TEST(CommandExchange, AnswerEndsByTemplateOrByGap) {
    const Bytes answer = normalAnswer();
    const Bytes head(answer.begin(), answer.begin() + 4), tail(answer.begin() + 4, answer.end());
    Bytes withGarbage = answer;
    withGarbage.insert(withGarbage.end(), {0x00, 0x55});
    struct Case {
        const char* name;
        std::vector<Burst> bursts;
        std::int32_t byTemplate, byGap;
        std::size_t errorLogBytesByGap; // the raw answer the gap rule shows
    };
    const Case cases[] = {
        {"answer in three bursts",
         {{head, 15}, {{tail[0]}, 15}, {Bytes(tail.begin() + 1, tail.end()), 0}},
         0,
         0,
         0},
        // The bytes after a whole answer are left for the next purge by the template rule.
        {"trailing garbage in the same burst", {{withGarbage, 0}}, 0, -2, withGarbage.size()},
        {"exception answer, then noise at once", {{exceptionAnswer(2), 0}, {{0x7E, 0x7E}, 0}}, 3, -2, 7},
        // Bytes that fit no template fall back to the gap under both rules.
        {"garbage in two bursts", {{{0x42, 0x42, 0x42}, 15}, {{0x42, 0x42}, 0}}, -2, -2, 5},
        // A pause longer than the wait for the next byte ends the answer under both rules.
        {"answer broken by a long pause", {{head, 100}, {tail, 0}}, -2, -2, head.size()},
    };
    for (const auto& c : cases) {
        for (const bool gap : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (gap ? ", gap" : ", template"));
            ExchangeRig rig;
            if (gap) {
                ASSERT_TRUE(
                    rig.settings.writeString(app::Setting::AnswerEnd, "gap", rig.state.activeProfile));
            }
            const int cmd = rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException, 0, 200);
            rig.line->onWrite = [&](const Bytes&, testsupport::FakeLineState& line) {
                std::chrono::milliseconds at{0};
                for (const Burst& b : c.bursts) {
                    line.arriveAfter(at, b.bytes);
                    at += std::chrono::milliseconds(b.pauseAfterMs);
                }
            };
            const auto out =
                exchange::ExecuteCommand(rig.ctx, rig.command(cmd), nullptr, readInto(rig.image));
            EXPECT_EQ(out.result, gap ? c.byGap : c.byTemplate);
            if (out.result == 0) {
                EXPECT_EQ(rig.image.Data[kPageAddress + 3], 0xEF);
            }
            const std::string& raw = rig.log.errorLogText();
            if (gap && c.errorLogBytesByGap > 0) {
                EXPECT_EQ(static_cast<std::size_t>(std::count(raw.begin(), raw.end(), '\n')),
                          c.errorLogBytesByGap + 1);
            }
        }
    }
}

// The exchange over a real pseudo-terminal, where the device's bursts and pauses take real time and the
// POSIX line's waits alone end the answer (the gap rule).
TEST(CommandExchangeOverPty, AnswerAtOnceInBurstsOrNone) {
    const Bytes answer = normalAnswer();
    const Bytes head(answer.begin(), answer.begin() + 4), tail(answer.begin() + 4, answer.end());
    struct Case {
        const char* name;
        std::vector<Burst> bursts;
        std::int32_t result;
    };
    const Case cases[] = {
        {"at once", {{answer, 0}}, 0},
        {"in three bursts", {{head, 2}, {{tail[0]}, 2}, {Bytes(tail.begin() + 1, tail.end()), 0}}, 0},
        {"silent device", {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeRig rig(RigLine::Pty);
        ASSERT_TRUE(rig.settings.writeString(app::Setting::AnswerEnd, "gap", rig.state.activeProfile));
        const int cmd = rig.addCommand("READ", kReadCommand, kReadAnswer, kReadException, 0, 200);
        Bytes frame;
        std::thread device([&] {
            frame = rig.pty->read(1, std::chrono::milliseconds(2000)); // the frame has begun
            const Bytes rest =
                rig.pty->readUntilGap(std::chrono::milliseconds(4), std::chrono::milliseconds(1000));
            frame.insert(frame.end(), rest.begin(), rest.end());
            for (const Burst& b : c.bursts) {
                rig.pty->write(b.bytes);
                std::this_thread::sleep_for(std::chrono::milliseconds(b.pauseAfterMs));
            }
        });
        const auto out = exchange::ExecuteCommand(rig.ctx, rig.command(cmd), nullptr, readInto(rig.image));
        device.join();
        EXPECT_EQ(frame, withCrc({0x11, 0x03, 0, 0, 0, 2}));
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(rig.image.Data[kPageAddress + 3], c.result == 0 ? 0xEF : 0xFF);
    }
}
