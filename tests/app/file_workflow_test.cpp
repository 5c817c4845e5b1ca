#include "app/file_workflow.h"

#include "../image/image_samples.h"
#include "image/envelope_builder.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using app::Setting;

struct Shown {
    std::string title, text;
};

struct Messages : app::MessageSink {
    std::vector<Shown> shown;
    bool answer = true;
    bool showMessage(std::string_view title, std::string_view text, app::MessageKind) override {
        shown.push_back({std::string(title), std::string(text)});
        return answer;
    }
};

struct Host : app::FileWorkflowHost {
    std::string caption = "Velmora";
    std::vector<Shown> errors;
    std::vector<std::string> profiles;
    std::vector<std::string> applied;
    bool busy = false;
    int recentChanges = 0, hwidClears = 0;
    void setCaption(const std::string& c) override { caption = c; }
    void showError(std::string_view title, std::string_view text) override {
        errors.push_back({std::string(title), std::string(text)});
    }
    bool deviceBusy() const override { return busy; }
    std::vector<std::string> profileNames() const override { return profiles; }
    void applyProfileForFile(const std::string& name) override { applied.push_back(name); }
    void recentFilesChanged() override { ++recentChanges; }
    void hardwareIdCleared() override { ++hwidClears; }
};

struct Views : app::ViewListener {
    int refresh = 0;
    void RefreshView() override { ++refresh; }
    void UpdateActionStates() override {}
    void ApplyPanelLayout() override {}
};

// A raw binary from address 0: 0xFF padding up to `at`, then `count` bytes, optionally with a version
// record inside.
std::vector<uint8_t> binaryAt(int at, int count, bool withRecord, uint8_t seed = 1) {
    std::vector<uint8_t> bytes(static_cast<size_t>(at + count), 0xFF);
    for (int i = 0; i < count; ++i)
        bytes[static_cast<size_t>(at + i)] = static_cast<uint8_t>(i * 7 + seed);
    if (withRecord) {
        const image::VersionRecord record = imagetest::makeRecord();
        std::copy(record.bytes.begin(), record.bytes.end(), bytes.begin() + at + 16);
    }
    return bytes;
}

const std::string kHex = ":0421000001020304D1\n:00000001FF\n";
const std::string kBadHex = ":0421000001020304FF\n:00000001FF\n";

class FileWorkflowTest : public ::testing::Test {
  protected:
    FileWorkflowTest() : store(dir / "prog.ini"), workflow(image, store, state, log, messages, view, host) {
        state.activeProfile = "default";
        state.pageSize = 128;
        listener.refresh = 0;
        view.attach(&listener);
        image.Clear();
        // Reload on change without asking unless a test says otherwise.
        store.writeInteger(Setting::ConfirmReload, 0, "default");
    }

    std::string file(const std::string& name, const std::vector<uint8_t>& bytes) {
        const fs::path p = dir / name;
        imagetest::writeFile(p, bytes);
        return p.string();
    }
    std::string file(const std::string& name, const std::string& text) {
        const fs::path p = dir / name;
        imagetest::writeFile(p, text);
        return p.string();
    }
    // Rewrites `path` and moves its modification time on, as an editor saving a new version does.
    void replace(const std::string& path, const std::vector<uint8_t>& bytes, int secondsLater) {
        const auto before = fs::last_write_time(path);
        imagetest::writeFile(path, bytes);
        fs::last_write_time(path, before + std::chrono::seconds(secondsLater));
    }
    bool logHas(std::string_view text) const {
        for (const std::string& line : log.lines())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    testsupport::TempDir dir;
    image::THEXFile image;
    app::SettingsStore store;
    app::MainState state;
    app::Log log;
    Messages messages;
    Views listener;
    app::ViewNotifications view;
    Host host;
    app::FileWorkflow workflow;
};

TEST_F(FileWorkflowTest, RecentListKeepsNewestSevenAndComparesExactly) {
    struct Case {
        const char* name;
        std::vector<std::string> before;
        std::string opened;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"first file", {}, "a", {"a"}},
        {"same file again stays once", {"a", "b"}, "a", {"a", "b"}},
        {"moved to the front", {"a", "b", "c"}, "c", {"c", "a", "b"}},
        {"seven kept, the oldest falls off",
         {"1", "2", "3", "4", "5", "6", "7"},
         "8",
         {"8", "1", "2", "3", "4", "5", "6"}},
        {"a dropped duplicate keeps the seventh",
         {"1", "2", "3", "4", "5", "6", "7"},
         "3",
         {"3", "1", "2", "4", "5", "6", "7"}},
        {"case differs: two files", {"App.hex"}, "app.hex", {"app.hex", "App.hex"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 1; i <= app::kRecentFileCount; ++i)
            store.writeString(Setting::RecentFile,
                              i <= static_cast<int>(c.before.size()) ? c.before[i - 1] : "", {}, i);
        ASSERT_TRUE(app::updateRecentFiles(store, c.opened));
        EXPECT_EQ(app::recentFiles(store), c.after);
        EXPECT_EQ(store.readString(Setting::RecentFile, {}, 8), "");
    }
}

TEST_F(FileWorkflowTest, OpenRecordsTheFile) {
    const std::string path = file("fw.bin", binaryAt(0x2100, 0x100, true));
    ASSERT_TRUE(workflow.openFile(path));
    EXPECT_EQ(host.caption, "Velmora    [ " + path + " ]");
    EXPECT_TRUE(logHas("Открыт файл: " + path));
    EXPECT_FALSE(logHas("Программа не умещается в памяти"));
    EXPECT_EQ(store.readString(Setting::LastFile), path);
    EXPECT_EQ(store.readString(Setting::ProfileFile, "default"), path);
    EXPECT_EQ(app::recentFiles(store), std::vector<std::string>{path});
    EXPECT_EQ(host.recentChanges, 1);
    EXPECT_TRUE(workflow.reloadEnabled());
    EXPECT_EQ(workflow.currentFileStamp(), app::fileStamp(path));
    EXPECT_EQ(workflow.lastFolder(), dir.path().string());
    EXPECT_GE(listener.refresh, 1);
    EXPECT_EQ(image.StartAddr, 0x2100);
    EXPECT_EQ(image.EndAddr, 0x21FF);
}

TEST_F(FileWorkflowTest, FailedLoadsReportAndNeverLieAboutTheCause) {
    store.writeBool(Setting::PreventUnmarked, true, "default");
    const std::string unmarked = file("plain.bin", binaryAt(0x2100, 0x40, false));
    const std::string badHex = file("bad.hex", kBadHex);
    const std::string missing = (dir / "missing.hex").string();

    EXPECT_FALSE(workflow.openFile(unmarked));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Файл:" + unmarked +
                                          " имеет недопустимый формат.\r"
                                          "Отсутствует метка версии образа или пакета.");
    EXPECT_EQ(image.EndAddr, -1);
    EXPECT_EQ(host.caption, "Velmora");

    // A file that cannot be read says so, even with "Prevent unmarked" on.
    // The reason follows the message, in the box and in the log.
    const std::vector<std::pair<std::string, std::string>> failures = {
        {badHex, "(строка 1: неверная контрольная сумма)"},
        {missing, "(файла нет, он не читается или это не обычный файл)"},
        {dir.path().string(), "(файла нет, он не читается или это не обычный файл)"},
    };
    for (const auto& [path, reason] : failures) {
        host.errors.clear();
        EXPECT_FALSE(workflow.openFile(path));
        ASSERT_EQ(host.errors.size(), 1u) << path;
        EXPECT_EQ(host.errors[0].title, "ОШИБКА! ");
        EXPECT_EQ(host.errors[0].text, "Не могу открыть файл: " + path + " " + reason);
        ASSERT_FALSE(log.lines().empty());
        EXPECT_NE(log.lines().back().find(host.errors[0].text), std::string::npos);
        EXPECT_EQ(image.EndAddr, -1);
    }
    EXPECT_TRUE(app::recentFiles(store).empty());
}

TEST_F(FileWorkflowTest, LoadAtAddressKeepsTheFirstFile) {
    const std::string first = file("first.bin", binaryAt(0x2100, 0x100, false));
    const std::string small = file("small.bin", std::vector<uint8_t>(16, 0x5A));
    ASSERT_TRUE(workflow.openFile(first));
    const auto stamp = workflow.currentFileStamp();

    const std::optional<std::int32_t> address = workflow.loadAddress(" 0x3000 ");
    ASSERT_EQ(address, 0x3000);
    ASSERT_TRUE(workflow.loadAt(*address, small, 3));
    EXPECT_EQ(image.Data[0x2100], 1);
    EXPECT_EQ(image.Data[0x3000], 0x5A);
    EXPECT_EQ(image.Filled[0x300F], 1);
    EXPECT_EQ(host.caption, "Velmora    [ " + first + " ]");
    EXPECT_EQ(workflow.currentFileStamp(), stamp);
    EXPECT_EQ(app::recentFiles(store), std::vector<std::string>{first});

    // A failed load on top loses nothing.
    const std::string badHex = file("bad.hex", kBadHex);
    EXPECT_FALSE(workflow.loadAt(0x4000, badHex, 1));
    EXPECT_EQ(image.Data[0x2100], 1);
    EXPECT_EQ(image.Data[0x3000], 0x5A);

    // Nothing is loaded while a device reads or writes the image, by any path.
    host.busy = true;
    EXPECT_FALSE(workflow.loadAt(0x2100, small, 3));
    EXPECT_FALSE(workflow.openFile(small));
    EXPECT_FALSE(workflow.reload());
    host.busy = false;
    EXPECT_EQ(image.Data[0x3000], 0x5A);
    EXPECT_EQ(image.Data[0x2100], 1);
}

TEST_F(FileWorkflowTest, LoadAddressText) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
        bool message;
    };
    const Case cases[] = {{"", std::nullopt, false}, {"  ", std::nullopt, false}, {"$10", 16, false},
                          {"x1F", 31, false},        {"4096", 4096, false},       {"abc", std::nullopt, true},
                          {"0x", std::nullopt, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        messages.shown.clear();
        EXPECT_EQ(workflow.loadAddress(c.text), c.value);
        EXPECT_EQ(!messages.shown.empty(), c.message);
    }
}

TEST_F(FileWorkflowTest, FilterPositionsMapToTypes) {
    EXPECT_EQ(app::openFilterFileType(1), image::kFileTypeDetect);
    EXPECT_EQ(app::openFilterFileType(2), image::kFileTypeHex);
    EXPECT_EQ(app::openFilterFileType(3), image::kFileTypeBinary);
    EXPECT_EQ(app::openFilterFileType(4), image::kFileTypeDetect);
    EXPECT_EQ(app::openFilterFileType(5), image::kFileTypeDetect);
}

TEST_F(FileWorkflowTest, ProfileChosenByLoadedFileType) {
    auto plain = imagetest::makePlainImage(imagetest::compressibleBytes(0x400, 3));
    std::vector<uint8_t> envelope;
    std::string error;
    ASSERT_TRUE(image::buildEnvelope(*plain, {"TEST", true}, envelope, error)) << error;
    const std::string env = file("fw.q7r", envelope);
    const std::string hex = file("fw.hex", kHex);

    host.profiles = {"default", "hexes", "envelopes", "also envelopes"};
    store.writeInteger(Setting::AssignFileType, 1, "hexes");
    store.writeInteger(Setting::AssignFileType, 4, "envelopes");
    store.writeInteger(Setting::AssignFileType, 6, "also envelopes");

    ASSERT_TRUE(workflow.openFile(env));
    EXPECT_EQ(image.FileType, image::kFileTypeEnvelope);
    ASSERT_TRUE(workflow.openFile(hex));
    EXPECT_EQ(host.applied, (std::vector<std::string>{"envelopes", "hexes"}));
}

TEST_F(FileWorkflowTest, FitCheck) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool fits;
    };
    std::vector<uint8_t> outside = binaryAt(0x2100, 0x100, false);
    outside.resize(0x5001, 0xFF);
    outside[0x5000] = 0x00;
    const Case cases[] = {
        {"padding below the window", binaryAt(0x2100, 0x100, false), true},
        {"byte after the window", outside, false},
        {"code below the window", binaryAt(0x100, 0x100, false), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        ASSERT_TRUE(workflow.LoadFile(image::kFileTypeBinary, -1, file("fit.bin", c.bytes), false));
        EXPECT_EQ(logHas("Программа не умещается в памяти"), !c.fits);
    }
}

TEST_F(FileWorkflowTest, WatchReloadsEachChangeOnceAndKeepsTheImageOnFailure) {
    const std::string path = file("fw.bin", binaryAt(0x2100, 0x100, false, 1));
    ASSERT_TRUE(workflow.openFile(path));
    EXPECT_FALSE(workflow.watchTick()) << "unchanged file";

    replace(path, binaryAt(0x2100, 0x100, false, 2), 10);
    EXPECT_TRUE(workflow.watchTick());
    EXPECT_TRUE(logHas("Файл изменен  ["));
    EXPECT_EQ(image.Data[0x2100], 2);
    EXPECT_FALSE(workflow.watchTick()) << "reloaded once";

    // During a device operation the watch waits; the change is picked up afterwards.
    replace(path, binaryAt(0x2100, 0x100, false, 3), 20);
    host.busy = true;
    EXPECT_FALSE(workflow.watchTick());
    EXPECT_EQ(image.Data[0x2100], 2);
    host.busy = false;
    EXPECT_TRUE(workflow.watchTick());
    EXPECT_EQ(image.Data[0x2100], 3);

    // A file that no longer loads leaves the image as it was ...
    const auto kept = image.Data[0x2150];
    const auto before = fs::last_write_time(path);
    imagetest::writeFile(fs::path(path), std::vector<uint8_t>(0x900000, 0x11)); // too large for the image
    fs::last_write_time(path, before + std::chrono::seconds(10));
    EXPECT_FALSE(workflow.watchTick());
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(image.Data[0x2100], 3);
    EXPECT_EQ(image.Data[0x2150], kept);
    EXPECT_EQ(image.FileName, path);
    EXPECT_FALSE(workflow.watchTick()) << "the failed version is not tried again";

    // ... and the next good version is reloaded.
    replace(path, binaryAt(0x2100, 0x100, false, 4), 10);
    EXPECT_TRUE(workflow.watchTick());
    EXPECT_EQ(image.Data[0x2100], 4);
}

TEST_F(FileWorkflowTest, WatchAsksWhenConfirmReloadIsSet) {
    store.writeInteger(Setting::ConfirmReload, 1, "default");
    const std::string path = file("fw.bin", binaryAt(0x2100, 0x100, false, 1));
    ASSERT_TRUE(workflow.openFile(path));

    messages.answer = false;
    replace(path, binaryAt(0x2100, 0x100, false, 2), 10);
    EXPECT_FALSE(workflow.watchTick());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(image.Data[0x2100], 1);
    EXPECT_FALSE(workflow.watchTick()) << "asked once per change";

    messages.answer = true;
    replace(path, binaryAt(0x2100, 0x100, false, 3), 10);
    EXPECT_TRUE(workflow.watchTick());
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(image.Data[0x2100], 3);
}

TEST_F(FileWorkflowTest, ReloadAndClear) {
    const std::string path = file("fw.bin", binaryAt(0x2100, 0x100, false));
    ASSERT_TRUE(workflow.openFile(path));
    EXPECT_TRUE(workflow.reload());

    workflow.clearBuffer();
    EXPECT_EQ(host.caption, "Velmora");
    EXPECT_FALSE(workflow.reloadEnabled());
    EXPECT_EQ(store.readString(Setting::LastFile), "");
    EXPECT_EQ(store.readString(Setting::ProfileFile, "default"), "");
    EXPECT_EQ(host.hwidClears, 1);
    const app::ImageStatusTexts status = app::imageStatusTexts(image, 0x2100, 0x3FFF, 128);
    EXPECT_EQ(status.range, "Нач. адр: —  Кон. адр: —");

    // Reload after clear: the file name is gone.
    EXPECT_FALSE(workflow.reload());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Файл не найден !");

    EXPECT_FALSE(workflow.openRecentFile((dir / "gone.bin").string()));
    EXPECT_EQ(messages.shown.back().text, "Файл не найден: " + (dir / "gone.bin").string());
}

TEST_F(FileWorkflowTest, StatusTexts) {
    ASSERT_TRUE(workflow.openFile(file("fw.bin", binaryAt(0x2100, 0x1F00, false))));
    app::ImageStatusTexts status = app::imageStatusTexts(image, 0x2100, 0x3FFF, 128);
    EXPECT_EQ(status.range, "Нач. адр: 0x2100h  Кон. адр:0x3FFFh");
    EXPECT_EQ(status.size, "Длина: 0x1F00(7936) байт [62 блоков]");
    ASSERT_TRUE(status.crc);
    EXPECT_EQ(status.crc->rfind("CRC: 0x", 0), 0u);
    EXPECT_EQ(status.crc->size(), 15u) << "32-bit image CRC: eight digits";
    image.SetCRCParams(16, 0x8005, 0, false, true, 0xFFFF);
    status = app::imageStatusTexts(image, 0x2100, 0x3FFF, 128);
    ASSERT_TRUE(status.crc);
    EXPECT_EQ(status.crc->size(), 11u) << "16-bit image CRC: four digits";
    image.SetCRCParams(8, 0x07, 0, false, false, 0);
    EXPECT_FALSE(app::imageStatusTexts(image, 0x2100, 0x3FFF, 128).crc);

    status = app::imageStatusTexts(image, 0x2100, 0x3FFF, 100);
    EXPECT_EQ(status.size, "Длина: 0x1F00(7936) байт [80 блоков]");
    status = app::imageStatusTexts(image, 0x2100, 0x3FFF, 0); // a page size of 0 counts as 1
    EXPECT_EQ(status.size, "Длина: 0x1F00(7936) байт [7936 блоков]");
}

TEST_F(FileWorkflowTest, SaveReportsFailures) {
    ASSERT_TRUE(workflow.openFile(file("fw.hex", kHex)));
    const fs::path out = dir / "out.hex";
    EXPECT_TRUE(workflow.save(out.string(), 1));
    EXPECT_EQ(image::detectFileType(out.string()), image::kFileTypeHex);
    EXPECT_FALSE(workflow.save((dir / "no such folder" / "x.bin").string(), 2));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("Не могу сохранить файл: "), std::string::npos);
}

} // namespace
