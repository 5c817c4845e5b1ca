#include "app/log.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

namespace {

using namespace std::chrono;

struct RecordingSink : app::LogSink {
    std::vector<std::string> lines;
    std::vector<std::string> blocks;
    int cleared = 0;
    void lineAdded(const std::string& line) override { lines.push_back(line); }
    void logCleared() override { ++cleared; }
    void errorLogAdded(const std::string& block) override { blocks.push_back(block); }
};

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        std::setlocale(LC_TIME, "C");
    }
    // 2026-01-02 03:04:05 UTC, advancing one second per line.
    app::Log::Clock steppingClock() {
        return [this] { return system_clock::from_time_t(1767323045) + seconds(m_ticks++); };
    }
    int m_ticks = 0;
};

TEST_F(LogTest, LinesCarryTimestampAndDeviceAddressLowByte) {
    app::Log log(steppingClock());
    std::int32_t address = 17;
    log.setDeviceAddressSource([&] { return address; });
    log.AddLogLine("Загружен файл");
    log.AddDeviceLogLine("Чтение");
    address = 5;
    log.AddDeviceLogLine("T");
    address = 0x1FF; // only the low byte goes on the bus
    log.AddDeviceLogLine("T");
    address = -1;
    log.AddDeviceLogLine("T");

    const std::vector<std::string> expected = {
        "[01/02/26 03:04:05]  Загружен файл", "[01/02/26 03:04:06]  (A=#17) Чтение",
        "[01/02/26 03:04:07]  (A=#5) T",      "[01/02/26 03:04:08]  (A=#255) T",
        "[01/02/26 03:04:09]  (A=#255) T",
    };
    EXPECT_EQ(log.lines(), expected);
}

TEST_F(LogTest, WithoutAddressSourceTheFirstStartAddressIsUsed) {
    app::Log log(steppingClock());
    log.AddDeviceLogLine("x");
    EXPECT_EQ(log.lines().at(0), "[01/02/26 03:04:05]  (A=#17) x");
}

TEST_F(LogTest, TextsBecomeOneLine) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"Не указан файл описания протокола!\rВсе комуникационные функции отключены.\r\r   1. Вызовете",
         "Не указан файл описания протокола! Все комуникационные функции отключены. 1. Вызовете"},
        {"a \r\n b", "a b"},
        {"\rleading and trailing\r", "leading and trailing"},
        {"tab\there", "tab here"},
        {"esc\x1b[2Jseq", "esc [2Jseq"},
        {"\xC0\xE1\xE2", "Абв"}, // code page 1251 bytes given by mistake are still shown readably
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::singleLineText(c.in), c.out) << c.in;
}

TEST_F(LogTest, SinkSeesLinesAndClearStartsAfresh) {
    RecordingSink sink;
    app::Log log(steppingClock());
    log.attach(&sink);
    log.AddLogLine("one");
    log.AddLogLine("two");
    EXPECT_EQ(log.copyText(), "[01/02/26 03:04:05]  one\n[01/02/26 03:04:06]  two");
    log.clear();
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(sink.cleared, 1);
    log.AddLogLine("three");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "[01/02/26 03:04:07]  three");
    EXPECT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines.back(), log.lines()[0]);
}

TEST_F(LogTest, EveryUnreadableAnswerAddsItsOwnBlock) {
    RecordingSink sink;
    app::Log log(steppingClock());
    log.attach(&sink);
    const std::uint8_t first[] = {0x11, 0x83, 0x0A};
    const std::uint8_t second[] = {0xFF};
    log.ShowRawAnswer(first);
    log.ShowRawAnswer(second);
    log.ShowRawAnswer({});
    EXPECT_EQ(log.errorLogText(), "-[ Ошибка ]------\n0x11\n0x83\n0x0A\n"
                                  "-[ Ошибка ]------\n0xFF\n"
                                  "-[ Ошибка ]------\n");
    ASSERT_EQ(sink.blocks.size(), 3u);
    EXPECT_EQ(sink.blocks[1], "-[ Ошибка ]------\n0xFF\n");
    log.clearErrorLog();
    EXPECT_EQ(log.errorLogText(), "");
}

} // namespace
