#include "app/profiles.h"
#include "app/protocol_path.h"
#include "support/files.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using app::Setting;

const std::string kHowToFix = "Все комуникационные функции отключены.\r\r"
                              "   1. Вызовете диалог \"Настройки программы\"\r"
                              "   2. Выберите закладку \"Связь\"\r"
                              "   3. Выберите файл протокола, или создайте новый.";

struct Message {
    std::string title, text;
    app::MessageKind kind;
};

struct RecordingMessages : app::MessageSink {
    std::vector<Message> shown;
    bool showMessage(std::string_view title, std::string_view text, app::MessageKind kind) override {
        shown.push_back({std::string(title), std::string(text), kind});
        return true;
    }
};

struct CountingView : app::ViewListener {
    int refresh = 0, actions = 0, layout = 0;
    void RefreshView() override { ++refresh; }
    void UpdateActionStates() override { ++actions; }
    void ApplyPanelLayout() override { ++layout; }
};

struct ScriptedProtocol : app::ProtocolLoader {
    std::set<std::string> damaged; // paths whose trailer check fails
    std::map<std::string, int> readResults;
    std::vector<std::string> reads;
    int clears = 0;
    void clear() override { ++clears; }
    bool checkFile(const std::string& path) override { return !damaged.count(path); }
    int readFile(const std::string& path) override {
        reads.push_back(path);
        auto it = readResults.find(path);
        return it == readResults.end() ? 0 : it->second;
    }
};

struct RecordingHost : app::ProfileHost {
    std::optional<base::CrcParameters> crc;
    std::vector<std::int32_t> addresses;
    std::optional<bool> fileWatch;
    std::string currentFile;
    bool reloadSucceeds = false;
    int reloads = 0, forgets = 0;
    std::function<void()> duringReload;
    void setImageCrcParams(const base::CrcParameters& p) override { crc = p; }
    void deviceAddressChanged(std::int32_t a) override { addresses.push_back(a); }
    void setFileWatch(bool on) override { fileWatch = on; }
    std::string currentFileName() const override { return currentFile; }
    bool reloadCurrentFile() override {
        ++reloads;
        if (duringReload)
            duringReload();
        return reloadSucceeds;
    }
    void forgetCurrentFile() override {
        ++forgets;
        currentFile.clear();
    }
};

class ProfilesTest : public ::testing::Test {
  protected:
    ProfilesTest() : store(dir / "prog.ini") { view.attach(&viewListener); }

    app::Profiles& profiles() {
        if (!m_profiles)
            m_profiles =
                std::make_unique<app::Profiles>(store, state, host, protocol, messages, view, programDir);
        return *m_profiles;
    }
    void writeIni(const std::string& text) { testsupport::writeText(dir / "prog.ini", text); }
    std::string ini() const { return testsupport::readText(dir / "prog.ini"); }

    testsupport::TempDir dir;
    fs::path programDir = dir.path();
    app::SettingsStore store;
    app::MainState state;
    RecordingHost host;
    ScriptedProtocol protocol;
    RecordingMessages messages;
    CountingView viewListener;
    app::ViewNotifications view;

  private:
    std::unique_ptr<app::Profiles> m_profiles;
};

TEST_F(ProfilesTest, FirstStartWithoutSettingsFile) {
    ASSERT_TRUE(profiles().LoadProfile(store.readString(Setting::ActiveProfile)));
    EXPECT_EQ(state.activeProfile, "default");
    EXPECT_EQ(state.deviceAddress, 17);
    EXPECT_EQ(app::formatDeviceAddress(state.deviceAddress), "0x11");
    EXPECT_EQ(state.pageSize, 128);
    ASSERT_TRUE(host.crc);
    EXPECT_EQ(host.crc->width, 16);
    EXPECT_EQ(host.crc->polynom, 0x8005u);
    EXPECT_EQ(host.crc->initial, 0xFFFFu);
    EXPECT_TRUE(host.crc->reflected);
    EXPECT_FALSE(host.crc->tableSwap);
    EXPECT_EQ(host.crc->xorValue, 0u);
    EXPECT_TRUE(host.addresses.empty());
    EXPECT_EQ(host.fileWatch, false);
    EXPECT_TRUE(state.communicationDisabled);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Не указан файл описания протокола!\r" + kHowToFix);
    EXPECT_EQ(messages.shown[0].kind, app::MessageKind::Error);
    EXPECT_EQ(viewListener.actions, 1);
    EXPECT_TRUE(protocol.reads.empty());
    EXPECT_EQ(protocol.clears, 1);
    // Nothing is loaded yet at start-up: the profile's file name is not written over.
    EXPECT_EQ(ini(), "[Profiles]\nactive=default\n");
}

TEST_F(ProfilesTest, AppliesProfileValues) {
    testsupport::writeText(dir / "p/main.vpdf", "x");
    writeIni("[Profiles]\nReload last file=0\n"
             "[Bench\\Connection]\nDev address=0x105\nPassword=secret\nprotocolFile=\\p\\main.vpdf\n"
             "[Bench\\Options]\nUse profile address=1\nCheck file update=1\n"
             "[Bench\\Protocol]\nPagesize=0x10100\n"
             "[Bench\\Application]\nCRCwidth=32\nPolynom=0x04C11DB7\nInit=4294967295\nXORout=$FFFFFFFF\n"
             "Reflect=1\nSwapHILO=0\n");
    state.deviceAddress = 3;
    ASSERT_TRUE(profiles().LoadProfile(" Bench\t"));
    EXPECT_EQ(state.activeProfile, "Bench");
    EXPECT_EQ(state.deviceAddress, 0x105);
    EXPECT_EQ(app::formatDeviceAddress(state.deviceAddress), "0x05");
    EXPECT_EQ(host.addresses, std::vector<std::int32_t>{0x105});
    EXPECT_EQ(state.pageSize, 0x0100); // held as 16 bits
    EXPECT_EQ(state.password, "secret");
    EXPECT_EQ(host.fileWatch, true);
    ASSERT_TRUE(host.crc);
    EXPECT_EQ(host.crc->width, 32);
    EXPECT_EQ(host.crc->initial, 0xFFFFFFFFu); // not the default 0xFFFF
    EXPECT_EQ(host.crc->xorValue, 0xFFFFFFFFu);
    EXPECT_EQ(host.crc->polynom, 0x04C11DB7u);
    EXPECT_EQ(protocol.reads, std::vector<std::string>{(dir / "p/main.vpdf").string()});
    EXPECT_FALSE(state.communicationDisabled);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(store.readString(Setting::ActiveProfile), "Bench");
}

TEST_F(ProfilesTest, DeviceAddressKeptUnlessProfileSaysSo) {
    writeIni("[P\\Connection]\nDev address=99\n");
    state.deviceAddress = 5;
    profiles().LoadProfile("P");
    EXPECT_EQ(state.deviceAddress, 5);
    EXPECT_TRUE(host.addresses.empty());
}

TEST_F(ProfilesTest, ProtocolOutcomes) {
    testsupport::writeText(dir / "good.vpdf", "x");
    testsupport::writeText(dir / "bad.vpdf", "x");
    testsupport::writeText(dir / "torn.vpdf", "x");
    fs::create_directory(dir / "folder.vpdf");
    protocol.damaged.insert((dir / "torn.vpdf").string());
    protocol.readResults[(dir / "bad.vpdf").string()] = -1;
    protocol.readResults[(dir / "folder.vpdf").string()] = -3;
    struct Case {
        std::string stored;
        std::string message; // empty: none
        bool disabled;
        int reads;
    };
    const std::string missing = (dir / "missing.vpdf").string();
    const std::string folder = (dir / "folder.vpdf").string();
    const Case cases[] = {
        {"\\good.vpdf", "", false, 1},
        {"", "Не указан файл описания протокола!\r" + kHowToFix, true, 0},
        {missing, "Не найден файл описания протокола:\r    " + missing + "\r" + kHowToFix, true, 0},
        {folder, "Не могу прочитать файл описания протокола:\r    " + folder + "\r" + kHowToFix, true, 1},
        {"\\bad.vpdf", "Испорчен файл описания протокола: " + (dir / "bad.vpdf").string(), true, 1},
        {"\\torn.vpdf", "Поврежден файл описания протокола!\r" + kHowToFix, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(store.writeString(Setting::ProtocolPath, c.stored, "P"));
        messages.shown.clear();
        protocol.reads.clear();
        protocol.clears = 0;
        viewListener.actions = 0;
        state.communicationDisabled = !c.disabled;
        ASSERT_TRUE(profiles().LoadProfile("P"));
        EXPECT_EQ(state.communicationDisabled, c.disabled);
        EXPECT_EQ(protocol.reads.size(), static_cast<size_t>(c.reads));
        // Cleared before loading; a reader error discards the partly read description again.
        EXPECT_EQ(protocol.clears, c.reads == 1 && c.disabled ? 2 : 1);
        EXPECT_EQ(viewListener.actions, 1);
        if (c.message.empty()) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, c.message);
        }
    }
}

TEST_F(ProfilesTest, ProfileListAndSelection) {
    struct Case {
        std::string ini;
        std::string active;
        std::vector<std::string> names;
        int selected;
    };
    const Case cases[] = {
        {"", "default", {}, -1},
        {"[Profiles]\ncount=2\nprofile1=A\n", "NONAME2", {"A", "NONAME2"}, 1},
        {"[Profiles]\ncount=3\nprofile1=A\nprofile2=B\nprofile3=A\n", "A", {"A", "B", "A"}, 2},
        {"[Profiles]\ncount=2\nprofile1=A\nprofile2=B\n", "a", {"A", "B"}, -1},
        {"[Profiles]\ncount=-4\nprofile1=A\n", "A", {}, -1},
        {"[Profiles]\ncount=junk\nprofile1=A\n", "A", {}, -1},
    };
    for (const Case& c : cases) {
        writeIni(c.ini);
        state.activeProfile = c.active;
        const app::ProfileListFill fill = profiles().FillProfileList();
        EXPECT_EQ(fill.names, c.names) << c.ini;
        EXPECT_EQ(fill.selected, c.selected) << c.ini;
    }
    writeIni("[Profiles]\ncount=2000000000\n");
    EXPECT_EQ(profiles().profileList().size(), static_cast<size_t>(app::kMaxListEntries));
}

TEST_F(ProfilesTest, AddingProfiles) {
    writeIni("[Profiles]\ncount=1\nprofile1=A\n");
    EXPECT_EQ(profiles().addProfile("  B\t"), "B");
    EXPECT_EQ(profiles().addProfile("A"), "A");
    EXPECT_EQ(profiles().addProfile("Стенд 2"), "Стенд 2");
    EXPECT_EQ(profiles().profileList(), (std::vector<std::string>{"A", "B", "Стенд 2"}));
    EXPECT_EQ(store.readString(Setting::ActiveProfile), "Стенд 2");
    EXPECT_EQ(state.activeProfile, "Стенд 2");
    EXPECT_TRUE(messages.shown.empty());

    const std::string before = ini();
    for (const char* bad : {"", "  \t ", "a[b", "x]", "a\tb", "line\nbreak", "bell\x07"}) {
        EXPECT_FALSE(profiles().addProfile(bad)) << bad;
        EXPECT_FALSE(profiles().DeleteProfile(bad)) << bad;
        EXPECT_FALSE(profiles().LoadProfile(bad)) << bad;
    }
    EXPECT_EQ(messages.shown.size(), 21u);
    EXPECT_NE(messages.shown[0].text.find("Недопустимое имя профиля"), std::string::npos);
    EXPECT_EQ(ini(), before);
    EXPECT_EQ(state.activeProfile, "Стенд 2");
}

TEST_F(ProfilesTest, DeletingProfiles) {
    const std::string sections = "[X\\Connection]\nDev address=1\n[X\\Options]\nPrevent unmarked=1\n"
                                 "[X\\Protocol]\nPagesize=64\n[X\\Application]\nCRCwidth=32\n";
    struct Case {
        std::string list;
        std::string name;
        std::vector<std::string> after;
        std::string keysAfter; // the Profiles section as it must read afterwards
    };
    const Case cases[] = {
        {"count=3\nprofile1=A\nprofile2=X\nprofile3=B\n",
         "X",
         {"A", "B"},
         "count=2\nprofile1=A\nprofile2=B\n"},
        {"count=4\nprofile1=X\nprofile2=A\nprofile3=X\nprofile4=B\n",
         " X ",
         {"A", "B"},
         "count=2\nprofile1=A\nprofile2=B\n"},
        {"count=2\nprofile1=A\nprofile2=B\n", "X", {"A", "B"}, "count=2\nprofile1=A\nprofile2=B\n"},
        {"count=2\nprofile1=X\n", "X", {"NONAME2"}, "count=1\nprofile1=NONAME2\n"},
        {"count=1\nprofile1=x\n", "X", {"x"}, "count=1\nprofile1=x\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list + " - " + c.name);
        writeIni("[Profiles]\n" + c.list + sections);
        ASSERT_TRUE(profiles().DeleteProfile(c.name));
        EXPECT_EQ(profiles().profileList(), c.after);
        EXPECT_EQ(ini(), "[Profiles]\n" + c.keysAfter +
                             "[X\\Protocol]\nPagesize=64\n[X\\Application]\nCRCwidth=32\n");
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ProfilesTest, ReloadLastFileNeverLoopsIntoAnotherProfileSwitch) {
    writeIni("[Profiles]\nReload last file=1\n[Data]\nFile=/fw/app.hex\n");
    host.currentFile = "/fw/app.hex";
    bool nestedResult = true;
    bool mayApplyDuring = true;
    host.duringReload = [&] {
        // A load that would pick a profile by file type.
        mayApplyDuring = profiles().mayApplyProfileForLoadedFile("Other");
        nestedResult = profiles().LoadProfile("Other");
    };
    host.reloadSucceeds = true;
    // The profile applied at start-up, and the same one applied again, reload nothing.
    ASSERT_TRUE(profiles().LoadProfile("Start"));
    ASSERT_TRUE(profiles().LoadProfile("Start"));
    EXPECT_EQ(host.reloads, 0);
    EXPECT_EQ(store.readString(Setting::LastFile), "/fw/app.hex");
    ASSERT_TRUE(profiles().LoadProfile("A"));
    EXPECT_EQ(host.reloads, 1);
    EXPECT_FALSE(mayApplyDuring);
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(state.activeProfile, "A");
    EXPECT_EQ(store.readString(Setting::LastFile), "/fw/app.hex");
    EXPECT_EQ(store.readString(Setting::ProfileFile, "A"), "/fw/app.hex");

    EXPECT_TRUE(profiles().mayApplyProfileForLoadedFile("Other"));
    EXPECT_FALSE(profiles().mayApplyProfileForLoadedFile("A"));

    host.duringReload = nullptr;
    host.reloadSucceeds = false;
    ASSERT_TRUE(profiles().LoadProfile("B"));
    EXPECT_EQ(host.forgets, 1);
    EXPECT_EQ(store.readString(Setting::LastFile), "");
    EXPECT_EQ(store.readString(Setting::ProfileFile, "B"), "");
}

TEST(ProtocolPath, StoredAndExpandedForms) {
    struct Case {
        std::string programDir;
        std::string chosen;
        std::string stored;
    };
    const Case store[] = {
        {"/opt/velmora", "/opt/velmora/p/x.vpdf", "\\p\\x.vpdf"},
        {"/opt/velmora/", "/opt/velmora/x.vpdf", "\\x.vpdf"},
        {"/opt/velmora", " \t/opt/velmora/x.vpdf  ", "\\x.vpdf"},
        {"/opt/Velmora", "/opt/velmora/x.vpdf", "/opt/velmora/x.vpdf"}, // compared exactly
        {"/opt/velmora", "/opt/velmoraX/x.vpdf", "/opt/velmoraX/x.vpdf"},
        {"/opt/velmora", "/opt/velmora/", "/opt/velmora/"},
        {"/opt/velmora", "/opt/velmora/a\\b.vpdf", "/opt/velmora/a\\b.vpdf"},
        {"/opt/velmora", "/srv/x.vpdf", "/srv/x.vpdf"},
        {"/opt/velmora", "", ""},
    };
    for (const Case& c : store)
        EXPECT_EQ(app::StoreProtocolPath(c.chosen, c.programDir), c.stored) << c.chosen;

    const Case expand[] = {
        {"/opt/velmora", "/opt/velmora/p/x.vpdf", "\\p\\x.vpdf"},
        {"/opt/velmora/", "/opt/velmora/x.vpdf", "\\x.vpdf"},
        {"/opt/velmora", "\\", "\\"},
        {"/opt/velmora", "/srv/x.vpdf", "/srv/x.vpdf"},
        {"/opt/velmora", "C:\\fw\\x.vpdf", "C:\\fw\\x.vpdf"},
        {"/opt/velmora", "", ""},
    };
    for (const Case& c : expand)
        EXPECT_EQ(app::ExpandProtocolPath(c.stored, c.programDir), c.chosen) << c.stored;
}

TEST_F(ProfilesTest, ProtocolFileInsideTheProgramFolderFollowsAMove) {
    const fs::path before = dir / "install";
    testsupport::writeText(before / "protocols/Прибор.vpdf", "x");
    {
        app::Profiles p(store, state, host, protocol, messages, view, before);
        const std::string stored = p.StoreProtocolPath((before / "protocols/Прибор.vpdf").string());
        EXPECT_EQ(stored, "\\protocols\\Прибор.vpdf");
        ASSERT_TRUE(store.writeString(Setting::ProtocolPath, stored, "default"));
    }
    const fs::path after = dir / "moved";
    fs::rename(before, after);
    app::Profiles p(store, state, host, protocol, messages, view, after);
    ASSERT_TRUE(p.LoadProfile("default"));
    EXPECT_FALSE(state.communicationDisabled);
    EXPECT_EQ(protocol.reads, std::vector<std::string>{(after / "protocols/Прибор.vpdf").string()});
}

TEST_F(ProfilesTest, ProtocolFileList) {
    testsupport::writeText(dir / "a.vpdf", "x");
    testsupport::writeText(dir / "c.vpdf", "x");
    const std::string a = (dir / "a.vpdf").string(), b = (dir / "b.vpdf").string(),
                      c = (dir / "c.vpdf").string();
    writeIni("[Protocols]\ncount=4\nProtocol_0=" + a + "\nProtocol_1=" + b + "\nProtocol_2=" + c +
             "\nProtocol_3=\n");
    EXPECT_EQ(profiles().readProtocolFileList(), (std::vector<std::string>{a, c}));

    ASSERT_TRUE(profiles().saveProtocolFileList(" " + a + " "));
    ASSERT_TRUE(profiles().saveProtocolFileList(""));
    EXPECT_EQ(ini(), "[Protocols]\ncount=2\nProtocol_0=" + a + "\nProtocol_1=" + c + "\n");
    const std::string d = (dir / "d.vpdf").string();
    ASSERT_TRUE(profiles().saveProtocolFileList(d));
    EXPECT_EQ(state.protocolFileList, (std::vector<std::string>{a, c, d}));
    EXPECT_EQ(store.readInteger(Setting::ProtocolCount), 3);
    EXPECT_EQ(store.readString(Setting::ProtocolFile, {}, 2), d);
}

TEST_F(ProfilesTest, ReadOnlySettingsAreReportedOnceAcrossSwitches) {
    fs::create_directory(dir / "prog.ini"); // cannot be read, so it is never written
    ASSERT_TRUE(profiles().LoadProfile("A"));
    ASSERT_TRUE(profiles().LoadProfile("B"));
    int notSaved = 0;
    for (const Message& m : messages.shown)
        notSaved += m.text.starts_with("Не удалось сохранить настройки.");
    EXPECT_EQ(notSaved, 1);
    EXPECT_EQ(state.activeProfile, "B");
    EXPECT_FALSE(profiles().addProfile("C"));
}

} // namespace
