#include "app/integer_text.h"
#include "app/settings_store.h"
#include "base/codepage.h"
#include "support/files.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using app::Setting;
using app::SettingsStore;

TEST(IntegerText, AcceptsDecimalAndHexOverTheUnsigned32BitRange) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"17", 17},
        {" 42\t", 42},
        {"-5", -5},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"2147483648", INT32_MIN},
        {"4294967295", -1}, // a CRC-32 initial value written as decimal
        {"-2147483648", INT32_MIN},
        {"0xFFFFFFFF", -1},
        {"0X1f", 31},
        {"$ff", 255},
        {"x10", 16},
        {"X10", 16},
        {"-$10", -16},
        {"0x00000000000000000001", 1},
        {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt},
        {"0x100000000", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"0xG", std::nullopt},
        {"true", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::parseInteger(c.text), c.value) << c.text;
}

TEST(SettingsStore, FirstStartReadsEveryDefaultAndCreatesNothing) {
    testsupport::TempDir dir;
    const fs::path file = dir / "sub/dir/prog.ini";
    SettingsStore store(file);
    for (const app::SettingKey& k : app::kSettingKeys) {
        const std::string section = app::settingSection(k.id, "default");
        SCOPED_TRACE(section + "/" + std::string(k.key));
        switch (k.type) {
        case app::SettingType::Integer:
            EXPECT_EQ(store.readInteger(k.id, "default", 1), k.number);
            break;
        case app::SettingType::Boolean:
            EXPECT_EQ(store.readBool(k.id, "default", 1), k.number != 0);
            break;
        case app::SettingType::String:
            EXPECT_EQ(store.readString(k.id, "default", 2), app::settingDefaultText(k.id, 2));
            break;
        }
    }
    EXPECT_EQ(store.readString(Setting::ProfileName, {}, 2), "NONAME2");
    EXPECT_EQ(store.readString(Setting::ActiveProfile), "default");
    EXPECT_FALSE(fs::exists(file));

    ASSERT_TRUE(store.writeInteger(Setting::WindowHeight, 700)) << store.lastError();
    EXPECT_EQ(testsupport::readText(file), "[Window]\nHight=700\n");
}

TEST(SettingsStore, HandWrittenFileWithOddSpacingCommentsAndDuplicates) {
    testsupport::TempDir dir;
    const fs::path file = dir / "prog.ini";
    testsupport::writeText(file, "stray=before any section\n"
                                 "; a comment\n"
                                 "  [ Port Settings ]  \n"
                                 "BAUDRATE   =   12   \n"
                                 "baudrate=3\n"
                                 "# another comment\n"
                                 "Echo=1\n"
                                 "not a key line\n"
                                 "[default\\Connection]\n"
                                 "Password=\"  spaced  \"\n"
                                 "protocolFile=\\p\\x.vpdf\n"
                                 "FLASH start=  0x4000\n"
                                 "FLASH end=junk\n"
                                 "[port settings]\n"
                                 "Stop bits=2\n"
                                 "baudrate=5\n"
                                 "[Errors]\n"
                                 "DontShowErrMsgs=\n"
                                 "[ПРОФИЛЬ\\Connection]\n"
                                 "Dev address=5\n");
    SettingsStore store(file);
    struct Case {
        const char* section;
        const char* key;
        const char* value; // null: absent
    };
    const Case cases[] = {
        {"Port settings", "baudrate", "12"}, // first of the duplicates wins, case ignored
        {"PORT SETTINGS", "Stop bits", "2"}, // found in the repeated section
        {"Port settings", "Echo", "1"},
        {"Port settings", "stray", nullptr},
        {"default\\Connection", "password", "  spaced  "},
        {"default\\connection", "protocolFile", "\\p\\x.vpdf"},
        {"Errors", "DontShowErrMsgs", ""},
        {"профиль\\connection", "Dev address", "5"},
        {"Missing", "x", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> v = store.find(c.section, c.key);
        if (c.value) {
            ASSERT_TRUE(v.has_value()) << c.section << "/" << c.key;
            EXPECT_EQ(*v, c.value) << c.section << "/" << c.key;
        } else {
            EXPECT_FALSE(v.has_value()) << c.section << "/" << c.key;
        }
    }
    EXPECT_EQ(store.readInteger(Setting::BaudRateIndex), 12);
    EXPECT_EQ(store.readInteger(Setting::FlashStart, "default"), 0x4000);
    EXPECT_EQ(store.readInteger(Setting::FlashEnd, "default"), 0x3FFF); // not a number: default
    EXPECT_FALSE(store.readBool(Setting::DontShowErrMsgs));             // empty: default
    EXPECT_EQ(store.readInteger(Setting::DevAddress, "Профиль"), 5);
}

TEST(SettingsStore, RewritesKeepCommentsUnknownKeysAndLayout) {
    testsupport::TempDir dir;
    const fs::path file = dir / "prog.ini";
    testsupport::writeText(file, "; settings\n"
                                 "[View]\n"
                                 "ShowDump = 0\n"
                                 "Mystery=42\n"
                                 "\n"
                                 "; about the port\n"
                                 "[Port settings]\n"
                                 "baudrate=3\n"
                                 "BaudRate=4\n"
                                 "[port settings]\n"
                                 "baudrate=9\n");
    SettingsStore store(file);
    ASSERT_TRUE(store.writeInteger("port settings", "BAUDRATE", 7));
    ASSERT_TRUE(store.writeBool("View", "ShowInfo", false));
    ASSERT_TRUE(store.writeString("View", "ShowDump", "1"));
    ASSERT_TRUE(store.writeString("Data", "File", " /tmp/a b.hex"));
    EXPECT_EQ(testsupport::readText(file), "; settings\n"
                                           "[View]\n"
                                           "ShowDump=1\n"
                                           "Mystery=42\n"
                                           "ShowInfo=0\n"
                                           "\n"
                                           "; about the port\n"
                                           "[Port settings]\n"
                                           "baudrate=7\n"
                                           "BaudRate=4\n"
                                           "[port settings]\n"
                                           "baudrate=9\n"
                                           "\n"
                                           "[Data]\n"
                                           "File=\" /tmp/a b.hex\"\n");
    EXPECT_EQ(store.readInteger(Setting::BaudRateIndex), 7);
    EXPECT_EQ(store.readString(Setting::LastFile), " /tmp/a b.hex");

    // Deleting a key removes every duplicate, so it really reads as absent afterwards.
    ASSERT_TRUE(store.deleteKey(Setting::BaudRateIndex));
    EXPECT_EQ(store.readInteger(Setting::BaudRateIndex), 8);
    ASSERT_TRUE(store.eraseSection("PORT SETTINGS"));
    EXPECT_EQ(testsupport::readText(file), "; settings\n"
                                           "[View]\n"
                                           "ShowDump=1\n"
                                           "Mystery=42\n"
                                           "ShowInfo=0\n"
                                           "\n"
                                           "; about the port\n"
                                           "[Data]\n"
                                           "File=\" /tmp/a b.hex\"\n");
}

TEST(SettingsStore, ValuesReadBackExactly) {
    testsupport::TempDir dir;
    SettingsStore store(dir / "prog.ini");
    const std::string values[] = {"",       " lead", "trail\t",         "\"quoted\"",
                                  "\"",     "a=b=c", "; not a comment", "[not a section]",
                                  "Пароль", "\\",    "C:\\fw\\app.hex"};
    for (const std::string& v : values) {
        ASSERT_TRUE(store.writeString(Setting::Password, v, "p")) << v;
        SettingsStore fresh(dir / "prog.ini");
        EXPECT_EQ(fresh.readString(Setting::Password, "p"), v);
    }
}

TEST(SettingsStore, RefusesWhatCannotBeStoredAndKeepsTheFile) {
    testsupport::TempDir dir;
    const fs::path file = dir / "prog.ini";
    SettingsStore store(file);
    ASSERT_TRUE(store.writeString("A", "k", "v"));
    const std::string before = testsupport::readText(file);
    struct Case {
        std::string section, key, value;
    };
    const Case cases[] = {
        {"bad]name", "k", "v"},
        {"", "k", "v"},
        {"A", "", "v"},
        {"A", "k=x", "v"},
        {"A", "[k", "v"},
        {"A", ";k", "v"},
        {"A", "k\n", "v"},
        {"A\nB", "k", "v"},
        {"A", "k", "v\nx=y"},
        {"A", "k", "v\r"},
        {"A", "k", std::string("v\0w", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(store.writeString(c.section, c.key, c.value)) << c.section << "/" << c.key;
        EXPECT_FALSE(store.lastError().empty());
    }
    EXPECT_EQ(testsupport::readText(file), before);
    EXPECT_EQ(store.readString("A", "k", ""), "v");
}

TEST(SettingsStore, UnreadableFileIsNeverOverwritten) {
    testsupport::TempDir dir;
    const fs::path file = dir / "prog.ini";
    fs::create_directory(file); // exists, but reading it fails
    SettingsStore store(file);
    EXPECT_EQ(store.readInteger(Setting::WindowHeight), 680);
    EXPECT_FALSE(store.writeInteger(Setting::WindowHeight, 1));
    EXPECT_NE(store.lastError().find("prog.ini"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(file));
}

TEST(SettingsStore, BatchSavesOnceAndDropsWhatItCouldNotSave) {
    testsupport::TempDir dir;
    SettingsStore store(dir / "prog.ini");
    const SettingsStore disk(dir / "prog.ini");
    {
        SettingsStore::Batch batch(store);
        for (int i = 1; i <= 8; ++i)
            ASSERT_TRUE(store.writeString(Setting::RecentFile, "f" + std::to_string(i), {}, i));
        EXPECT_EQ(store.readString(Setting::RecentFile, {}, 8), "f8"); // seen at once ...
        EXPECT_EQ(disk.readString(Setting::RecentFile, {}, 8), "");    // ... on disk only at the end
    }
    EXPECT_EQ(disk.readString(Setting::RecentFile, {}, 8), "f8");
    EXPECT_EQ(store.savesDone(), 1);
    // A value the key has already writes nothing.
    EXPECT_TRUE(store.writeString(Setting::RecentFile, "f8", {}, 8));
    EXPECT_EQ(store.savesDone(), 1);

    // A batch that cannot be saved reports why and leaves the store as the file is.
    testsupport::writeText(dir / "blocker", "a file where a folder should be");
    SettingsStore blocked(dir / "blocker/prog.ini");
    SettingsStore::Batch batch(blocked);
    EXPECT_TRUE(blocked.writeInteger(Setting::WindowHeight, 1));
    EXPECT_FALSE(batch.commit());
    EXPECT_FALSE(blocked.lastError().empty());
    EXPECT_EQ(blocked.readInteger(Setting::WindowHeight), 680);
}

TEST(SettingsStore, UnwritableFolderReportsAndKeepsState) {
    testsupport::TempDir dir;
    testsupport::writeText(dir / "blocker", "a file where a folder should be");
    SettingsStore store(dir / "blocker/prog.ini");
    EXPECT_FALSE(store.writeInteger(Setting::WindowHeight, 1));
    EXPECT_FALSE(store.lastError().empty());
    EXPECT_EQ(store.readInteger(Setting::WindowHeight), 680);
}

TEST(SettingsStore, CodePage1251FileIsReadAndRewrittenAsUtf8) {
    testsupport::TempDir dir;
    const fs::path file = dir / "prog.ini";
    const std::string utf8 = "; Настройки\r\n[Profiles]\r\ncount=1\r\nprofile1=Стенд\r\nactive=Стенд\r\n"
                             "[Стенд\\Connection]\r\nprotocolFile=\\протоколы\\МВ.vpdf\r\n";
    testsupport::writeText(file, *base::utf8ToCp1251(utf8));
    SettingsStore store(file);
    EXPECT_EQ(store.readString(Setting::ActiveProfile), "Стенд");
    EXPECT_EQ(store.readString(Setting::ProtocolPath, "стенд"), "\\протоколы\\МВ.vpdf");

    ASSERT_TRUE(store.writeInteger(Setting::PageSize, 256, "Стенд"));
    const std::string after = testsupport::readText(file);
    EXPECT_TRUE(base::isValidUtf8(after));
    EXPECT_EQ(after, utf8 + "\r\n[Стенд\\Protocol]\r\nPagesize=256\r\n");
}

TEST(SettingsStore, ChangesByAnotherProgramAreSeen) {
    testsupport::TempDir dir;
    const fs::path file = dir / "prog.ini";
    SettingsStore first(file);
    SettingsStore second(file);
    EXPECT_EQ(first.readInteger(Setting::PortIndex), 0);
    ASSERT_TRUE(second.writeInteger(Setting::PortIndex, 3));
    EXPECT_EQ(first.readInteger(Setting::PortIndex), 3);
    ASSERT_TRUE(first.writeInteger(Setting::BaudRateIndex, 1)); // keeps the other program's key
    EXPECT_EQ(second.readInteger(Setting::PortIndex), 3);
    EXPECT_EQ(second.readInteger(Setting::BaudRateIndex), 1);
}

TEST(SettingsStore, KeepsModeAndSymbolicLink) {
    testsupport::TempDir dir;
    const fs::path real = dir / "real.ini";
    testsupport::writeText(real, "[A]\nk=1\n");
    ::chmod(real.c_str(), 0600);
    fs::create_symlink(real, dir / "prog.ini");
    SettingsStore store(dir / "prog.ini");
    ASSERT_TRUE(store.writeString("A", "k", "2")) << store.lastError();
    EXPECT_TRUE(fs::is_symlink(dir / "prog.ini"));
    EXPECT_EQ(testsupport::readText(real), "[A]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A writer killed at an arbitrary moment loses none of the writes it completed, and the file it leaves
// is always a whole settings file.
TEST(SettingsStore, KilledWriterLosesNothingWrittenBefore) {
    testsupport::TempDir dir;
    const fs::path file = dir / "prog.ini";
    for (int round = 0; round < 3; ++round) {
        int acks[2];
        ASSERT_EQ(::pipe(acks), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(acks[0]);
            SettingsStore store(file);
            for (int i = 0;; ++i) {
                const std::string key = "k" + std::to_string(round) + "_" + std::to_string(i);
                if (!store.writeInteger("Round" + std::to_string(round), key, i))
                    ::_exit(3);
                const char ack = 1;
                if (::write(acks[1], &ack, 1) != 1)
                    ::_exit(4);
            }
        }
        ::close(acks[1]);
        int done = 0;
        char ack;
        const int target = 20 + round * 17;
        while (done < target && ::read(acks[0], &ack, 1) == 1)
            ++done;
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(acks[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped on its own with " << status;

        SettingsStore store(file);
        for (int r = 0; r <= round; ++r) {
            const int written = r == round ? done : 20 + r * 17;
            for (int i = 0; i < written; ++i)
                ASSERT_EQ(store.readInteger("Round" + std::to_string(r),
                                            "k" + std::to_string(r) + "_" + std::to_string(i), -1),
                          i);
        }
        const std::string text = testsupport::readText(file);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
    }
}

} // namespace
