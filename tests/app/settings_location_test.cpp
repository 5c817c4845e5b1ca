#include "app/settings_location.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(SettingsLocation, PortableFileThenXdgThenHome) {
    testsupport::TempDir dir;
    const fs::path portableDir = dir / "portable";
    const fs::path plainDir = dir / "plain";
    fs::create_directories(portableDir);
    fs::create_directories(plainDir);
    std::ofstream(portableDir / "prog.ini") << "[Profiles]\n";

    struct Case {
        std::string explicitPath;
        fs::path programDir;
        app::SettingsEnvironment env;
        fs::path expected;
    };
    const Case cases[] = {
        {"", portableDir, {"/xdg", "/home/u"}, portableDir / "prog.ini"},
        {"", plainDir, {"/xdg", "/home/u"}, "/xdg/velmora/prog.ini"},
        {"", plainDir, {"", "/home/u"}, "/home/u/.config/velmora/prog.ini"},
        {"", plainDir, {"relative/dir", "/home/u"}, "/home/u/.config/velmora/prog.ini"},
        {"", "", {"/xdg", "/home/u"}, "/xdg/velmora/prog.ini"},
        {"/etc/other.ini", portableDir, {"/xdg", "/home/u"}, "/etc/other.ini"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::resolveSettingsPath(c.explicitPath, c.programDir, c.env), c.expected)
            << c.programDir << " " << c.env.xdgConfigHome;
}

TEST(SettingsLocation, ProgramDirectoryIsThatOfTheRunningExecutable) {
    const fs::path dir = app::programDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(fs::exists(dir / "test_app"));
}

} // namespace
