#include "app/settings_form.h"
#include "protocol/vpdf_writer.h"
#include "support/files.h"
#include "support/paths.h"
#include "support/recorded_messages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <utility>

namespace {

namespace fs = std::filesystem;
using app::Setting;

struct CountingView : app::ViewListener {
    int refresh = 0, layout = 0;
    void RefreshView() override { ++refresh; }
    void UpdateActionStates() override {}
    void ApplyPanelLayout() override { ++layout; }
};

struct CountingProtocol : app::ProtocolLoader {
    std::vector<std::string> reads;
    void clear() override {}
    bool checkFile(const std::string&) override { return true; }
    int readFile(const std::string& path) override {
        reads.push_back(path);
        return 0;
    }
};

struct RecordingHost : app::ProfileHost {
    std::optional<base::CrcParameters> crc;
    std::optional<bool> fileWatch;
    std::function<void()> onFileWatch;
    void setImageCrcParams(const base::CrcParameters& p) override { crc = p; }
    void setFileWatch(bool on) override {
        fileWatch = on;
        if (onFileWatch)
            onFileWatch();
    }
};

struct FakeDevices : app::SerialDeviceList {
    std::vector<std::string> list;
    std::vector<std::string> devices() const override { return list; }
};

class SettingsFormTest : public ::testing::Test {
  protected:
    SettingsFormTest()
        : store(dir / "prog.ini"), profiles(store, state, host, protocol, messages, view, dir.path()),
          model(store, profiles, state, host, view) {
        view.attach(&viewListener);
        state.activeProfile = "default";
    }
    void writeIni(const std::string& text) { testsupport::writeText(dir / "prog.ini", text); }
    std::string ini() const { return testsupport::readText(dir / "prog.ini"); }

    testsupport::TempDir dir;
    app::SettingsStore store;
    app::MainState state;
    RecordingHost host;
    CountingProtocol protocol;
    testsupport::RecordedMessages messages;
    CountingView viewListener;
    app::ViewNotifications view;
    app::Profiles profiles;
    app::SettingsDialogModel model;
};

TEST_F(SettingsFormTest, FillsFromDefaultsOnFirstStart) {
    app::SettingsForm form;
    form.crc = {32, "1", "2", false, "3", true}; // the defaults must replace what the page showed
    model.open(form);

    EXPECT_TRUE(form.profileNames.empty());
    EXPECT_EQ(form.profileName, "default");
    EXPECT_FALSE(app::profileDeleteEnabled(form));
    EXPECT_EQ(form.flashStart, 0x2100);
    EXPECT_EQ(form.flashEnd, 0x3FFF);
    EXPECT_EQ(form.ctrlArea, 0xF00);
    EXPECT_EQ(form.pageSize, 128);
    EXPECT_TRUE(form.memoryWindow);
    EXPECT_TRUE(form.confirmReload);
    EXPECT_FALSE(app::reloadChoiceEnabled(form));
    EXPECT_EQ(form.portIndex, 0);
    EXPECT_EQ(form.baudRateIndex, 8);
    EXPECT_EQ(form.stopBitsIndex, 1);
    EXPECT_EQ(app::currentPortChoice(form), "COM1");
    EXPECT_EQ(form.crc.width, 16);
    EXPECT_EQ(form.crc.polynom, "0x8005");
    EXPECT_EQ(form.crc.initial, "0xFFFF");
    EXPECT_EQ(form.crc.xorValue, "0x0000");
    EXPECT_TRUE(form.crc.reflected);
    EXPECT_FALSE(form.crc.tableSwap);
    EXPECT_EQ(form.fileTypes, (std::array<bool, 3>{false, false, false}));
    EXPECT_TRUE(form.protocolFile.empty());
    EXPECT_FALSE(form.argumentMode);
    EXPECT_FALSE(fs::exists(dir / "prog.ini")); // filling writes nothing

    // "Ok" on a first start adds the shown name as the first profile.
    ASSERT_TRUE(model.accept(form).ok);
    EXPECT_EQ(profiles.profileList(), std::vector<std::string>{"default"});
    EXPECT_EQ(store.readString(Setting::ActiveProfile), "default");
}

TEST_F(SettingsFormTest, FillsFromHandWrittenFile) {
    testsupport::writeText(dir / "p" / "x.vpdf", "not a description");
    writeIni("[Profiles]\ncount=2\nprofile1=Стенд\nprofile2=Alpha\nactive=Стенд\nReload last file=1\n"
             "[Port settings]\nport=25\nbaudrate=12\nStop bits=2\nEcho=1\ndevice= /dev/ttyUSB3 \nParity=2\n"
             "[Errors]\nDontShowErrMsgs=1\n[View]\nMemory window=0\n"
             "[Protocols]\ncount=2\nProtocol_0=/no/such/file.vpdf\nProtocol_1=" +
             (dir / "p" / "x.vpdf").string() +
             "\n"
             "[Стенд\\Connection]\nFLASH start=0x100\nFLASH end=$FFFF\nCtrl_area=x20\nPassword=секрет\n"
             "protocolFile=\\p\\x.vpdf\n"
             "[Стенд\\Options]\nUse profile address=1\nCheck file update=1\nPrevent unmarked=1\n"
             "Assign file type=5\nConfirm reload=0\n"
             "[Стенд\\Protocol]\nPagesize=256\nAnswer end=gap\nRepeat garbled answers=1\n"
             "[Стенд\\Application]\nCRCwidth=32\nPolynom=0x04C11DB7\nInit=-1\nXORout=4294967295\nReflect=0\n"
             "SwapHILO=1\n");
    state.activeProfile = "Стенд";
    app::SettingsForm form;
    model.open(form);

    EXPECT_EQ(form.profileNames, (std::vector<std::string>{"Alpha", "Стенд"}));
    EXPECT_TRUE(app::profileDeleteEnabled(form));
    EXPECT_EQ(form.flashStart, 0x100);
    EXPECT_EQ(form.flashEnd, 0xFFFF);
    EXPECT_EQ(form.ctrlArea, 0x20);
    EXPECT_EQ(form.pageSize, 256);
    EXPECT_EQ(form.password, "секрет");
    EXPECT_TRUE(form.useProfileAddress && form.checkFileUpdate && form.preventUnmarked);
    EXPECT_TRUE(app::reloadChoiceEnabled(form));
    EXPECT_FALSE(form.confirmReload);
    EXPECT_FALSE(form.memoryWindow);
    EXPECT_TRUE(form.dontShowErrMsgs && form.reloadLastFile && form.echo);
    EXPECT_EQ(form.portIndex, 0); // 25 is no entry of the list
    EXPECT_EQ(form.portDevice, "/dev/ttyUSB3");
    EXPECT_EQ(app::currentPortChoice(form), "/dev/ttyUSB3");
    EXPECT_EQ(form.baudRateIndex, 12);
    EXPECT_EQ(form.stopBitsIndex, 2);
    EXPECT_EQ(form.parityIndex, 2);
    EXPECT_TRUE(form.answerEndByGap && form.repeatGarbled);
    EXPECT_EQ(form.crc.width, 32);
    EXPECT_EQ(form.crc.polynom, "0x04C11DB7");
    EXPECT_EQ(form.crc.initial, "0xFFFFFFFF");
    EXPECT_EQ(form.crc.xorValue, "0xFFFFFFFF");
    EXPECT_FALSE(form.crc.reflected); // shown as stored, never forced on
    EXPECT_TRUE(form.crc.tableSwap);
    EXPECT_EQ(form.fileTypes, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(form.protocolFile, (dir.path() / "p/x.vpdf").string());
    EXPECT_EQ(form.protocolFiles, std::vector<std::string>{(dir / "p" / "x.vpdf").string()});
    EXPECT_TRUE(form.protocolDescription.empty()); // unreadable description

    // Choosing the other profile reloads the profile values but keeps the global ones.
    model.fill(form, "Alpha");
    EXPECT_EQ(form.flashStart, 0x2100);
    EXPECT_EQ(form.password, "");
    EXPECT_EQ(form.crc.polynom, "0x8005");
    EXPECT_FALSE(form.answerEndByGap || form.repeatGarbled);
    EXPECT_TRUE(form.echo);
}

TEST_F(SettingsFormTest, WritesOnOkInTheirOrder) {
    // Starting from no file, sections and keys appear in the order they are first written.
    app::SettingsForm form;
    model.open(form);
    form.profileName = "  Стенд\t";
    form.flashStart = 0x1000;
    form.password = "pw";
    form.checkFileUpdate = true;
    form.fileTypes = {false, true, true};
    form.crc = {16, "$1021", "0", false, "x0", false};
    bool crcBeforeWatch = false, confirmBeforeWatch = true, watched = false;
    host.onFileWatch = [&] {
        if (std::exchange(watched, true))
            return; // the first call is the one of "Ok"
        crcBeforeWatch = store.find("Стенд\\Application", "SwapHILO").has_value();
        confirmBeforeWatch = store.find("Стенд\\Options", "Confirm reload").has_value();
    };

    const int saves = store.savesDone();
    ASSERT_TRUE(model.accept(form).ok) << ini();
    // All of it reaches the disk in one save of the file, and applying the profile adds none.
    EXPECT_EQ(store.savesDone(), saves + 1);
    model.finish();
    EXPECT_EQ(store.savesDone(), saves + 1);
    // (The list entry is written before the count that makes it part of the list.)
    EXPECT_EQ(ini(),
              "[Protocols]\ncount=0\n\n"
              "[Profiles]\nprofile1=Стенд\ncount=1\nactive=Стенд\nReload last file=0\n\n"
              "[Port settings]\nport=0\nbaudrate=8\nStop bits=1\nParity=0\nEcho=0\n\n"
              "[Errors]\nDontShowErrMsgs=0\n\n"
              "[Стенд\\Options]\nAssign file type=6\nUse profile address=0\nCheck file update=1\n"
              "Prevent unmarked=0\nConfirm reload=1\n\n"
              "[Стенд\\Connection]\nFLASH start=4096\nFLASH end=16383\nCtrl_area=3840\nPassword=pw\n"
              "protocolFile=\n\n"
              "[View]\nMemory window=1\n\n"
              "[Стенд\\Protocol]\nPagesize=128\nAnswer end=template\nRepeat garbled answers=0\n\n"
              "[Стенд\\Application]\nCRCwidth=16\nPolynom=4129\nInit=0\nXORout=0\nReflect=0\nSwapHILO=0\n");
    EXPECT_EQ(state.activeProfile, "Стенд");
    // The file-watch timer follows the written key before Confirm reload is written.
    EXPECT_EQ(host.fileWatch, true);
    EXPECT_TRUE(crcBeforeWatch);
    EXPECT_FALSE(confirmBeforeWatch);
    // The image CRC comes from what was written.
    ASSERT_TRUE(host.crc);
    EXPECT_EQ(host.crc->polynom, 0x1021u);
    EXPECT_FALSE(host.crc->reflected);
}

TEST_F(SettingsFormTest, ValueEditsAreRoundedHalvesToEvenAndHeldInLimits) {
    const struct {
        double flashStart, flashEnd, ctrlArea, pageSize;
        std::int32_t start, end, ctrl, page;
    } cases[] = {
        {8448.5, 8449.5, 2.5, 127.5, 8448, 8450, 2, 128},
        {-3, 2e6, 70000, 5000, 0, 1048575, 65535, 4096},
        {0, 0, 0, 1, 0, 0, 0, 32},
    };
    for (const auto& c : cases) {
        app::SettingsForm form;
        model.open(form);
        form.flashStart = c.flashStart;
        form.flashEnd = c.flashEnd;
        form.ctrlArea = c.ctrlArea;
        form.pageSize = c.pageSize;
        ASSERT_TRUE(model.accept(form).ok);
        EXPECT_EQ(store.readInteger(Setting::FlashStart, "default"), c.start) << c.flashStart;
        EXPECT_EQ(store.readInteger(Setting::FlashEnd, "default"), c.end) << c.flashEnd;
        EXPECT_EQ(store.readInteger(Setting::CtrlArea, "default"), c.ctrl) << c.ctrlArea;
        EXPECT_EQ(store.readInteger(Setting::PageSize, "default"), c.page) << c.pageSize;
    }
}

TEST_F(SettingsFormTest, RefusalsLeaveTheFileByteIdentical) {
    const std::string original = "; hand-written\r\n[Profiles]\r\ncount=1\r\nprofile1=default\r\n"
                                 "[default\\Connection]\r\nFLASH start=0x2100\r\n";
    const struct {
        const char* what;
        std::function<void(app::SettingsForm&)> change;
        std::string message; // a part of the message
    } cases[] = {
        {"polynom", [](app::SettingsForm& f) { f.crc.polynom = "0x80G5"; }, "Поле \"Полином\": '0x80G5'"},
        {"initial", [](app::SettingsForm& f) { f.crc.initial = ""; }, "Поле \"Начальное значение\""},
        {"xor", [](app::SettingsForm& f) { f.crc.xorValue = "0x100000000"; }, "Поле \"Наложить по XOR\""},
        {"flash range", [](app::SettingsForm& f) { f.flashStart = f.flashEnd + 1; },
         "Начало памяти программ больше"},
        {"profile name", [](app::SettingsForm& f) { f.profileName = "a]b"; }, "Недопустимое имя профиля"},
        {"blank profile", [](app::SettingsForm& f) { f.profileName = " \t"; }, "Недопустимое имя профиля"},
        {"password", [](app::SettingsForm& f) { f.password = "абвгдеёжзийклмно"; }, "длиннее 15"},
        {"port", [](app::SettingsForm& f) { f.portIndex = 20; }, "\"Порт\""},
        {"baud rate", [](app::SettingsForm& f) { f.baudRateIndex = -1; }, "\"Скорость\""},
        {"width", [](app::SettingsForm& f) { f.crc.width = 8; }, "\"Разрядность\""},
    };
    for (const auto& c : cases) {
        writeIni(original);
        app::SettingsForm form;
        model.open(form);
        c.change(form);
        const app::SettingsApplyResult result = model.accept(form);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_NE(result.message.find(c.message), std::string::npos) << c.what << ": " << result.message;
        EXPECT_EQ(ini(), original) << c.what;
        EXPECT_FALSE(host.crc) << c.what;
        EXPECT_EQ(state.activeProfile, "default") << c.what;
    }
    // Fifteen Cyrillic characters are a valid password.
    app::SettingsForm form;
    model.open(form);
    form.password = "абвгдеёжзийклмн";
    EXPECT_TRUE(model.accept(form).ok);
}

TEST_F(SettingsFormTest, StoredWidthEightKeepsTheShownCrcAndOkWritesTheShownWidth) {
    writeIni("[Profiles]\ncount=2\nprofile1=a\nprofile2=b\n"
             "[a\\Application]\nCRCwidth=32\nPolynom=0x04C11DB7\nInit=0\nXORout=0\nReflect=1\n"
             "[b\\Application]\nCRCwidth=8\nPolynom=7\nInit=0\nXORout=0\n");
    state.activeProfile = "a";
    app::SettingsForm form;
    model.open(form);
    const base::CrcPanelValues shown = form.crc;
    model.fill(form, "b");
    form.profileName = "b";
    EXPECT_EQ(form.crc.width, shown.width);
    EXPECT_EQ(form.crc.polynom, shown.polynom);
    ASSERT_TRUE(model.accept(form).ok);
    EXPECT_EQ(store.readInteger(Setting::CrcWidth, "b"), 32);
    EXPECT_EQ(static_cast<std::uint32_t>(store.readInteger(Setting::CrcPolynom, "b")), 0x04C11DB7u);
    EXPECT_EQ(state.activeProfile, "b");
}

TEST_F(SettingsFormTest, ArgumentModeFollowsTheStartFlag) {
    for (bool withArguments : {false, true}) {
        state.startedWithArguments = withArguments;
        app::SettingsForm form;
        model.open(form);
        EXPECT_EQ(form.argumentMode, withArguments);
        // The hidden pages still write their filled values.
        ASSERT_TRUE(model.accept(form).ok);
        EXPECT_EQ(store.readInteger(Setting::CrcPolynom, "default"), 0x8005);
    }
}

TEST_F(SettingsFormTest, PortChoices) {
    const struct {
        const char* choice;
        bool accepted;
        int index;
        const char* device;
    } cases[] = {
        {"COM1", true, 0, ""},
        {"com20", true, 19, ""},
        {" COM7 ", true, 6, ""},
        {"COM21", false, 4, "/dev/x"},
        {"COM0", false, 4, "/dev/x"},
        {"COM05", false, 4, "/dev/x"},
        {"COM", false, 4, "/dev/x"},
        {"COM1x", false, 4, "/dev/x"},
        {"ttyUSB0", false, 4, "/dev/x"},
        {"", false, 4, "/dev/x"},
        {"/dev/ttyACM0", true, 4, "/dev/ttyACM0"},
    };
    for (const auto& c : cases) {
        app::SettingsForm form;
        form.portIndex = 4;
        form.portDevice = "/dev/x";
        EXPECT_EQ(app::choosePort(form, c.choice), c.accepted) << c.choice;
        EXPECT_EQ(form.portIndex, c.index) << c.choice;
        EXPECT_EQ(form.portDevice, c.device) << c.choice;
    }

    FakeDevices devices;
    devices.list = {"/dev/ttyUSB0"};
    app::SettingsForm form;
    form.portDevice = "/dev/serial/by-id/gone";
    const std::vector<std::string> choices = app::portChoices(form, devices);
    ASSERT_EQ(choices.size(), 22u);
    EXPECT_EQ(choices[0], "COM1");
    EXPECT_EQ(choices[19], "COM20");
    EXPECT_EQ(choices[20], "/dev/ttyUSB0");
    EXPECT_EQ(choices[21], "/dev/serial/by-id/gone"); // the stored choice stays visible
}

TEST_F(SettingsFormTest, DevicePathIsWrittenAndNumberedPortClearsIt) {
    app::SettingsForm form;
    model.open(form);
    ASSERT_TRUE(app::choosePort(form, "/dev/ttyUSB1"));
    ASSERT_TRUE(model.accept(form).ok);
    EXPECT_EQ(store.readString(Setting::PortDevice), "/dev/ttyUSB1");

    model.open(form);
    EXPECT_EQ(app::currentPortChoice(form), "/dev/ttyUSB1");
    ASSERT_TRUE(app::choosePort(form, "COM3"));
    ASSERT_TRUE(model.accept(form).ok);
    EXPECT_FALSE(store.find(settingSection(Setting::PortDevice), "device"));
    EXPECT_EQ(store.readInteger(Setting::PortIndex), 2);
}

TEST_F(SettingsFormTest, AfterStepsReapplyTheProfileOnCancelAndOk) {
    const fs::path file = dir / "p.vpdf";
    testsupport::writeText(file, "first");
    writeIni("[Profiles]\ncount=1\nprofile1=default\n[default\\Connection]\nprotocolFile=" + file.string() +
             "\n");

    struct Step {
        const char* what;
        std::function<void(app::SettingsForm&)> between; // after open, before finish
        bool ok;
        size_t reads; // protocol reads by finish
        int refreshes;
    } steps[] = {
        {"cancel, nothing changed", [](app::SettingsForm&) {}, false, 1, 0},
        {"cancel, file changed", [&](app::SettingsForm&) { testsupport::writeText(file, "second"); }, false,
         2, 0},
        {"ok, flash end changed", [](app::SettingsForm& f) { f.flashEnd = 0x7FFF; }, true, 1, 1},
    };
    for (const Step& s : steps) {
        app::SettingsForm form;
        model.open(form);
        s.between(form);
        if (s.ok) {
            ASSERT_TRUE(model.accept(form).ok) << s.what;
        }
        protocol.reads.clear();
        viewListener.refresh = 0;
        host.crc.reset();
        const int layouts = viewListener.layout;
        model.finish();
        EXPECT_EQ(protocol.reads.size(), s.reads) << s.what;
        EXPECT_EQ(viewListener.refresh, s.refreshes) << s.what;
        EXPECT_EQ(viewListener.layout, layouts + 1) << s.what;
        EXPECT_TRUE(host.crc) << s.what; // LoadProfile ran
    }
}

TEST_F(SettingsFormTest, DeletingAProfileRefillsAndEmptiesTheBox) {
    writeIni("[Profiles]\ncount=3\nprofile1=b\nprofile2=a\nprofile3=c\n");
    app::SettingsForm form;
    model.open(form);
    EXPECT_EQ(form.profileNames, (std::vector<std::string>{"a", "b", "c"}));
    form.profileName = " b";
    EXPECT_TRUE(app::profileDeleteEnabled(form));
    ASSERT_TRUE(model.deleteProfile(form));
    EXPECT_EQ(form.profileNames, (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(form.profileName.empty());
    EXPECT_FALSE(app::profileDeleteEnabled(form));
}

TEST_F(SettingsFormTest, ProtocolFileDescriptionAndChecksum) {
    protocol::TProtocol description;
    description.Comment = "Стенд: чтение и запись";
    std::string error;
    const fs::path good = dir / "good.vpdf";
    ASSERT_TRUE(protocol::WriteProtocolFile(description, good, error)) << error;
    testsupport::writeText(dir / "garbage.vpdf", "PRTCX garbage");

    const struct {
        std::string path;
        std::string comment;
        bool checksum;
    } cases[] = {
        {"", "", false},
        {(dir / "missing.vpdf").string(), "", false},
        {(dir / "garbage.vpdf").string(), "", true},
        {good.string(), "Стенд: чтение и запись", true},
    };
    for (const auto& c : cases) {
        app::SettingsForm form;
        model.chooseProtocolFile(form, c.path);
        EXPECT_EQ(form.protocolFile, c.path);
        EXPECT_EQ(form.protocolDescription, c.comment) << c.path;
        EXPECT_EQ(app::protocolFileChecksum(c.path) != 0, c.checksum) << c.path;
    }
}

TEST(SerialDevices, ListsNumberedDevicesInNaturalOrder) {
    testsupport::TempDir dev;
    for (const char* name : {"ttyS10", "ttyS2", "ttyS", "ttyUSB0", "ttyACM1", "ttyACM0", "tty0", "null",
                             "serial/by-id/usb-FTDI_A-if00"})
        testsupport::writeText(dev / name, "");
    const std::vector<std::string> expected{
        (dev / "ttyS2").string(),   (dev / "ttyS10").string(),
        (dev / "ttyUSB0").string(), (dev / "ttyACM0").string(),
        (dev / "ttyACM1").string(), (dev / "serial/by-id/usb-FTDI_A-if00").string()};
    EXPECT_EQ(app::SystemSerialDevices(dev.path()).devices(), expected);
    EXPECT_TRUE(app::SystemSerialDevices(dev / "missing").devices().empty());
}

} // namespace
