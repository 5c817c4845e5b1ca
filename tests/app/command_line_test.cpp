#include "app/command_line.h"
#include "app/main_state.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using app::CommandLine;
using app::ShellAction;

CommandLine commandLine(std::vector<std::string> args, std::set<std::string> existing = {}) {
    return CommandLine(std::move(args), [existing](const std::string& p) { return existing.count(p) > 0; });
}

struct StartupCase {
    const char* name;
    std::vector<std::string> args;
    std::set<std::string> existing;
    std::optional<std::string> file;
    std::optional<std::int32_t> address;
    std::optional<std::string> letters;
};

TEST(CommandLineTest, SwitchesAndBarePaths) {
    const StartupCase cases[] = {
        {"file and address", {"/Fc:\\fw\\app.hex", "/A5"}, {}, "c:\\fw\\app.hex", 5, std::nullopt},
        {"lower-case switches", {"/fapp.hex", "/a0x1F", "/eqs"}, {}, "app.hex", 31, "qs"},
        {"blanks around arguments are trimmed", {"  /FA.hex\t", " /A  $10 "}, {}, "A.hex", 16, std::nullopt},
        {"two /F: the first wins",
         {"/Ffirst.hex", "/Fsecond.hex"},
         {},
         "first.hex",
         std::nullopt,
         std::nullopt},
        {"prefix match only", {"/FILE"}, {}, "ILE", std::nullopt, std::nullopt},
        {"empty /F loads nothing", {"/F"}, {}, "", std::nullopt, std::nullopt},
        {"empty /E", {"/E"}, {}, std::nullopt, std::nullopt, ""},
        {"bare file name opens", {"fw.hex"}, {}, "fw.hex", std::nullopt, std::nullopt},
        {"bare path before /F wins", {"fw.hex", "/Fother.hex"}, {}, "fw.hex", std::nullopt, std::nullopt},
        {"/F before bare path wins", {"/Fother.hex", "fw.hex"}, {}, "other.hex", std::nullopt, std::nullopt},
        {"existing absolute path is no /E switch",
         {"/etc/fw.hex"},
         {"/etc/fw.hex"},
         "/etc/fw.hex",
         std::nullopt,
         std::nullopt},
        {"missing path with a further slash is no /E switch",
         {"/etc/none.hex"},
         {},
         "/etc/none.hex",
         std::nullopt,
         std::nullopt},
        {"/A with a further slash is a path",
         {"/Applications/x.bin"},
         {},
         "/Applications/x.bin",
         std::nullopt,
         std::nullopt},
        {"existing folder named like /E is a path", {"/ex"}, {"/ex"}, "/ex", std::nullopt, std::nullopt},
        {"/F keeps a slash in its value",
         {"/F/home/u/fw.hex"},
         {},
         "/home/u/fw.hex",
         std::nullopt,
         std::nullopt},
        {"existing /F-like path wins as a path", {"/fw"}, {"/fw"}, "/fw", std::nullopt, std::nullopt},
        {"empty argument is ignored", {"", "/A7"}, {}, std::nullopt, 7, std::nullopt},
    };
    for (const StartupCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine cmd = commandLine(c.args, c.existing);
        EXPECT_TRUE(cmd.startedWithArguments());
        EXPECT_EQ(cmd.file(), c.file);
        EXPECT_EQ(cmd.address(), c.address);
        EXPECT_EQ(cmd.actionLetters(), c.letters);
    }
}

TEST(CommandLineTest, NoArgumentsGiveNoSwitches) {
    const CommandLine cmd = commandLine({});
    EXPECT_FALSE(cmd.startedWithArguments());
    EXPECT_EQ(cmd.file(), std::nullopt);
    EXPECT_EQ(cmd.GetSwitchValue("/F"), " ");
    EXPECT_EQ(cmd.GetSwitchValue("/A"), " ");
}

TEST(CommandLineTest, GetSwitchValueKeepsCaseAndSkipsPaths) {
    const CommandLine cmd = commandLine({"/etc", "/eQsU", "/xValue"}, {"/etc"});
    EXPECT_EQ(cmd.GetSwitchValue("/E"), "QsU");
    EXPECT_EQ(cmd.GetSwitchValue("/X"), "Value");
    EXPECT_EQ(cmd.GetSwitchValue("/F"), " ");
}

TEST(CommandLineTest, ActionVisibilityByLetters) {
    using Set = std::set<ShellAction>;
    struct Case {
        std::optional<std::string> letters;
        Set visible;
    };
    const Set all = {ShellAction::FileOpen,    ShellAction::FileUpdate, ShellAction::FileSave,
                     ShellAction::BufferClear, ShellAction::DevOpts,    ShellAction::DevRead,
                     ShellAction::DevWrite,    ShellAction::DevErase,   ShellAction::DevReset,
                     ShellAction::DevFind,     ShellAction::FileOptions};
    const Case cases[] = {
        {std::nullopt, all},
        {"", {ShellAction::FileOpen}},
        {"QSU",
         {ShellAction::FileOpen, ShellAction::FileUpdate, ShellAction::FileSave, ShellAction::DevRead}},
        {"LQSU", {ShellAction::FileUpdate, ShellAction::FileSave, ShellAction::DevRead}},
        {"eqs",
         {ShellAction::FileOpen, ShellAction::FileUpdate, ShellAction::FileSave, ShellAction::DevErase}},
        {"CPDRFO-1 ж",
         {ShellAction::FileOpen, ShellAction::BufferClear, ShellAction::DevOpts, ShellAction::DevWrite,
          ShellAction::DevReset, ShellAction::DevFind, ShellAction::FileOptions}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letters.value_or("<none>"));
        Set visible;
        for (int a = 0; a < static_cast<int>(ShellAction::Count); ++a)
            if (app::actionVisible(static_cast<ShellAction>(a), c.letters))
                visible.insert(static_cast<ShellAction>(a));
        EXPECT_EQ(visible, c.visible);
    }
}

TEST(CommandLineTest, DeviceAddressFallsBackWithAWarning) {
    struct Case {
        std::vector<std::string> args;
        std::int32_t expected;
        bool warned;
        const char* field;
    };
    const Case cases[] = {
        {{"/A0x1F"}, 31, false, "0x1F"}, {{"/AX2a"}, 42, false, "0x2A"}, {{"/A-1"}, -1, false, "0xFF"},
        {{"/Ahello"}, 17, true, "0x11"}, {{"/A"}, 17, true, "0x11"},     {{"/Ffw.hex"}, 17, false, "0x11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::string warning;
        const std::int32_t address = app::startupDeviceAddress(commandLine(c.args), 17, warning);
        EXPECT_EQ(address, c.expected);
        EXPECT_EQ(!warning.empty(), c.warned) << warning;
        EXPECT_EQ(app::formatDeviceAddress(address), c.field);
    }
}

} // namespace
