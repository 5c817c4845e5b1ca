#include "app/program_version.h"
#include "app/ui/about_box.h"
#include "app/ui/address_dialog.h"
#include "app/ui/crc_panel.h"
#include "app/ui/dump_model.h"
#include "app/ui/main_window.h"
#include "app/ui/settings_dialog.h"
#include "app/ui/value_edit.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/recorded_messages.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

std::vector<uint8_t> firmwareAt(int at, int count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(at + count), 0xFF);
    for (int i = 0; i < count; ++i)
        bytes[static_cast<size_t>(at + i)] = static_cast<uint8_t>(i);
    return bytes;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir m_dir;
    std::string path(const char* name) const { return (m_dir.path() + "/" + name).toStdString(); }
    std::string settingsFile() const { return path("prog.ini"); }
    std::string writeFirmware(const char* name) {
        const std::string p = path(name);
        const std::vector<uint8_t> bytes = firmwareAt(0x2100, 0x100);
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p;
    }
    std::unique_ptr<app::ui::MainWindow> start(std::vector<std::string> args,
                                               testsupport::RecordedMessages& messages) {
        return std::make_unique<app::ui::MainWindow>(app::CommandLine(std::move(args)), settingsFile(),
                                                     &messages);
    }

  private slots:
    void init() { QFile::remove(QString::fromStdString(settingsFile())); }

    void startsWithNothing() {
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        QCOMPARE(w->windowTitle(), QStringLiteral("Velmora"));
        QVERIFY(!messages.texts.empty()); // no protocol description: communication is switched off
        QVERIFY(w->state().communicationDisabled);
        QVERIFY(w->action("FileOpen")->isEnabled());
        QVERIFY(!w->action("FileUpdate")->isEnabled());
        QVERIFY(!w->action("DevRead")->isEnabled());
        QCOMPARE(w->dumpModel().rowCount(), 0x1F0);
        QCOMPARE(w->statusText(0), QStringLiteral("Нач. адр: —  Кон. адр: —"));
        QCOMPARE(w->panelFlags(), 0x77);
        QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("AddressField"))->text(), QStringLiteral("0x11"));
    }

    void actionLetters_data() {
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QStringList>("visible");
        QTest::newRow("none") << ""
                              << QStringList{"FileOpen", "FileUpdate", "DevRead", "DevWrite", "FileOptions"};
        QTest::newRow("/EQSU") << "/EQSU" << QStringList{"FileOpen", "FileUpdate", "FileSave", "DevRead"};
        QTest::newRow("/ELQSU") << "/ELQSU" << QStringList{"FileUpdate", "FileSave", "DevRead"};
        QTest::newRow("/eqs lower case") << "/eqs" << QStringList{"FileOpen", "FileUpdate", "FileSave"};
        QTest::newRow("/E alone") << "/E" << QStringList{"FileOpen"};
    }
    void actionLetters() {
        QFETCH(QString, arg);
        QFETCH(QStringList, visible);
        testsupport::RecordedMessages messages;
        std::vector<std::string> args;
        if (!arg.isEmpty())
            args.push_back(arg.toStdString());
        auto w = start(args, messages);
        for (const char* name : {"FileOpen", "FileUpdate", "FileSave", "BufferClear", "DevOpts", "DevRead",
                                 "DevWrite", "DevErase", "DevReset", "DevFind", "FileOptions"}) {
            const bool expected = arg.isEmpty() || visible.contains(QString::fromLatin1(name));
            QVERIFY2(w->action(name)->isVisible() == expected, name);
        }
    }

    void lastFileReopenedOnlyWithoutArguments() {
        const std::string fw = writeFirmware("fw.bin");
        {
            app::SettingsStore store(settingsFile());
            store.writeString(app::Setting::LastFile, fw);
        }
        testsupport::RecordedMessages messages;
        {
            auto w = start({}, messages);
            QCOMPARE(w->windowTitle(), QString::fromStdString("Velmora    [ " + fw + " ]"));
            QCOMPARE(w->statusText(0), QStringLiteral("Нач. адр: 0x2100h  Кон. адр:0x21FFh"));
            QVERIFY(w->action("FileUpdate")->isEnabled());
        }
        {
            auto w = start({"/A5"}, messages);
            QCOMPARE(w->windowTitle(), QStringLiteral("Velmora"));
            QCOMPARE(w->image().EndAddr, -1);
        }
        {
            // A bare path opens like /F.
            auto w = start({fw}, messages);
            QCOMPARE(w->image().StartAddr, 0x2100);
        }
        {
            // A file that is gone: nothing loaded, the last-file key cleared.
            app::SettingsStore store(settingsFile());
            store.writeString(app::Setting::LastFile, path("gone.bin"));
            auto w = start({}, messages);
            QCOMPARE(store.readString(app::Setting::LastFile), std::string());
            QVERIFY(!w->action("FileUpdate")->isEnabled());
        }
    }

    // --help and --version answer on stdout without a display and leave the settings alone (a bare
    // path argument would clear the last file).
    void informationOptionsNeedNoWindow() {
        {
            app::SettingsStore store(settingsFile());
            store.writeString(app::Setting::LastFile, "/home/user/fw.hex");
        }
        const std::string program = (testsupport::binaryDir() / "app/ui/velmora").string();
        for (const char* option : {"--help", "--version"}) {
            const auto r =
                testsupport::runProcess("/usr/bin/env", {"-u", "DISPLAY", "QT_QPA_PLATFORM=none", program,
                                                         "--settings", settingsFile(), option});
            QCOMPARE(r.exitCode, 0);
            QVERIFY2(r.out.find("velmora") != std::string::npos, r.out.c_str());
        }
        app::SettingsStore store(settingsFile());
        QCOMPARE(store.readString(app::Setting::LastFile), std::string("/home/user/fw.hex"));
    }

    // A settings file that exists but cannot be read is refused before any window, not replaced by
    // defaults that would then be saved over it.
    void unreadableSettingsFileIsRefused() {
        const std::string program = (testsupport::binaryDir() / "app/ui/velmora").string();
        const std::string folder = std::filesystem::path(settingsFile()).parent_path().string();
        const auto r = testsupport::runProcess(
            "/usr/bin/env", {"QT_QPA_PLATFORM=offscreen", "timeout", "20", program, "--settings", folder});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.find(folder) != std::string::npos, r.err.c_str());
    }

    // The desktop's usual keys reach the actions: F5 reloads the open file.
    void refreshKeyReloadsTheFile() {
        const std::string fw = writeFirmware("fw.bin");
        testsupport::RecordedMessages messages;
        auto w = start({"/F" + fw}, messages);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        std::vector<uint8_t> changed = firmwareAt(0x2100, 0x100);
        changed[0x2100] = 0x5A;
        std::ofstream(fw, std::ios::binary)
            .write(reinterpret_cast<const char*>(changed.data()), changed.size());
        QTest::keyClick(w.get(), Qt::Key_F5);
        QCOMPARE(w->image().Data[0x2100], 0x5A);
        QVERIFY(w->action("FileUpdate")->shortcut() == QKeySequence(QKeySequence::Refresh));
    }

    void profileBoxInReadingOrder() {
        const std::vector<std::string> stored = {"beta", "жук", "Ель", "Alpha", "Ёлка", "Ж"};
        {
            app::SettingsStore store(settingsFile());
            for (size_t i = 0; i < stored.size(); ++i)
                store.writeString(app::Setting::ProfileName, stored[i], {}, static_cast<int>(i + 1));
            store.writeInteger(app::Setting::ProfileCount, static_cast<int>(stored.size()));
            store.writeString(app::Setting::ActiveProfile, "жук");
        }
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        auto* box = w->findChild<QComboBox*>(QStringLiteral("ProfileBox"));
        QVERIFY(box);
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        QCOMPARE(shown, (QStringList{"Alpha", "beta", "Ёлка", "Ель", "Ж", "жук"}));
        QCOMPARE(box->currentText(), QStringLiteral("жук"));
    }

    void deviceAddressAndClose() {
        testsupport::RecordedMessages messages;
        {
            auto w = start({"/A0x1F"}, messages);
            QCOMPARE(w->state().deviceAddress, 31);
            QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("AddressField"))->text(),
                     QStringLiteral("0x1F"));
            w->close();
        }
        app::SettingsStore store(settingsFile());
        QVERIFY(!store.find("default\\Connection", "Dev address")); // not saved when started with arguments
        {
            auto w = start({"/Ahello"}, messages);
            QCOMPARE(w->state().deviceAddress, 17);
            QVERIFY(w->log().lines().back().find("hello") != std::string::npos);
        }
        {
            auto w = start({}, messages);
            w->findChild<QLineEdit*>(QStringLiteral("AddressField"))->setText(QStringLiteral("$22"));
            QCOMPARE(w->state().deviceAddress, 0x22);
            w->findChild<QLineEdit*>(QStringLiteral("AddressField"))
                ->setText(QStringLiteral("zz")); // ignored
            QCOMPARE(w->state().deviceAddress, 0x22);
            w->close();
        }
        QCOMPARE(store.readInteger(app::Setting::DevAddress, "default"), 0x22);
        QVERIFY(store.find("Window", "Hight"));
    }

    void panelFlagsAndMemoryWindow() {
        {
            app::SettingsStore store(settingsFile());
            store.writeBool(app::Setting::ShowDump, false);
            store.writeBool(app::Setting::MemoryWindow, false);
        }
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        QCOMPARE(w->panelFlags(), 0x76);
        QVERIFY(!w->action("ViewDumpPanel")->isChecked());
        QCOMPARE(w->dumpModel().rowCount(), 4096);
        w->action("ViewLogPanel")->trigger();
        QCOMPARE(w->panelFlags(), 0x72);
        app::SettingsStore store(settingsFile());
        QVERIFY(!store.readBool(app::Setting::ShowInfo));
    }

    void editsMarkTheImage() {
        const std::string fw = writeFirmware("fw.bin");
        testsupport::RecordedMessages messages;
        auto w = start({"/F" + fw}, messages);
        w->action("BufferEditEnable")->setChecked(true);
        const QModelIndex cell = w->dumpModel().index(0x30, 1); // address 0x2400, outside the file
        QVERIFY(w->dumpModel().setData(cell, QStringLiteral("1f"), Qt::EditRole));
        QCOMPARE(int(w->image().Data[0x2400]), 0x1F);
        QCOMPARE(w->statusText(0), QStringLiteral("Нач. адр: 0x2100h  Кон. адр:0x2400h"));
        QVERIFY(!w->dumpModel().setData(cell, QStringLiteral("G1"), Qt::EditRole));
    }

    void jumpsAndLog() {
        const std::string fw = writeFirmware("fw.bin");
        testsupport::RecordedMessages messages;
        auto w = start({"/F" + fw}, messages);
        w->resize(565, 400);
        w->show();
        QTableView& view = w->dumpView();
        w->action("BufferJmpEnd")->trigger(); // EndAddr 0x21FF: row of 0x21EF
        QCOMPARE(view.rowAt(0), 0x21E - 0x210);
        w->action("BufferJmpBegining")->trigger();
        QCOMPARE(view.rowAt(0), 0);
        w->jumpTo(0x3000);
        QCOMPARE(view.rowAt(0), 0x300 - 0x210);
        w->jumpTo(0x1000); // outside the rows shown: nothing happens
        QCOMPARE(view.rowAt(0), 0x300 - 0x210);

        auto* list = w->findChild<QListWidget*>();
        QVERIFY(list->count() >= 1);
        QAction* clear = nullptr;
        for (QAction* a : list->actions())
            if (a->text() == QStringLiteral("Очистить"))
                clear = a;
        QVERIFY(clear);
        clear->trigger();
        QCOMPARE(list->count(), 0);
        w->log().AddLogLine("next");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->currentRow(), 0);

        // Raw answers are appended to the error log, the newest kept in view.
        auto* errors = w->findChild<QPlainTextEdit*>(QStringLiteral("ErrorLogText"));
        QVERIFY(errors);
        const std::vector<std::uint8_t> answer(40, 0x5A);
        for (int i = 0; i < 20; ++i)
            w->log().ShowRawAnswer(answer);
        QString expected = QString::fromStdString(w->log().errorLogText());
        expected.chop(1);
        QCOMPARE(errors->toPlainText(), expected);
        QScrollBar* bar = errors->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void addressDialogStartsEmptyWithItsCallersCaption() {
        const std::string fw = writeFirmware("fw.bin");
        testsupport::RecordedMessages messages;
        auto w = start({"/F" + fw}, messages);
        w->resize(565, 400);
        w->show();
        app::ui::AddressDialog& dialog = w->addressDialog();
        QStringList captions;
        QStringList fieldsOnShow;
        QList<bool> focusInField;
        // Types an address into the dialog each time it comes up, then cancels or confirms.
        auto answer = [&](const QString& typed, bool confirm) {
            QTimer::singleShot(0, &dialog, [&, typed, confirm] {
                captions << dialog.windowTitle();
                fieldsOnShow << dialog.field().text();
                focusInField << (dialog.focusWidget() == &dialog.field());
                dialog.field().setText(typed);
                confirm ? dialog.accept() : dialog.reject();
            });
        };
        answer(QStringLiteral("0x3000"), true);
        w->action("BufferJmpAddress")->trigger();
        QCOMPARE(w->dumpView().rowAt(0), 0x300 - 0x210);
        answer(QStringLiteral("0x10"), false); // cancelled: no file dialog follows
        w->action("BufferLoadAt")->trigger();
        answer(QStringLiteral("nonsense"), true);
        w->action("BufferJmpAddress")->trigger();
        QCOMPARE(w->dumpView().rowAt(0), 0x300 - 0x210);
        QCOMPARE(captions,
                 QStringList({QStringLiteral("Перейти к адресу"), QStringLiteral("Загрузка по адресу"),
                              QStringLiteral("Перейти к адресу")}));
        QCOMPARE(fieldsOnShow, QStringList({QString(), QString(), QString()}));
        QCOMPARE(focusInField, QList<bool>({true, true, true}));
    }

    void aboutBoxNamesTheProgramVersion() {
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        const QString version = QString::fromStdString(app::programVersionText());
        QVERIFY(version != QStringLiteral("NONE"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d(b\\d+)?$")).match(version).hasMatch());
        QCOMPARE(w->aboutBox().titleText(), QStringLiteral("Velmora v") + version);
        QCOMPARE(w->aboutBox().windowTitle(), QStringLiteral("О программе"));
    }

    void watchedFileIsReloadedAfterTheUserAgrees() {
        {
            std::ofstream(settingsFile()) << "[Profiles]\nactive=default\ncount=1\nprofile1=default\n"
                                          << "[default\\Options]\nCheck file update=1\nConfirm reload=1\n";
        }
        const std::string fw = writeFirmware("watched.bin");
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        QVERIFY(w->files().openFile(fw));
        QCOMPARE(int(w->image().Data[0x2100]), 0x00);
        const size_t asked = messages.texts.size();
        {
            std::fstream f(fw, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(0x2100);
            f.put('\x5A');
        }
        // A distinct time stamp even on file systems with coarse times.
        std::filesystem::last_write_time(fw, std::filesystem::last_write_time(fw) + std::chrono::seconds(2));
        QTRY_COMPARE_WITH_TIMEOUT(int(w->image().Data[0x2100]), 0x5A, 5000);
        QCOMPARE(messages.texts.size(), asked + 1); // the question before the reload
    }

    void clearAndRecentFiles() {
        const std::string fw = writeFirmware("fw.bin");
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        QVERIFY(w->files().openFile(fw));
        QCOMPARE(w->windowTitle(), QString::fromStdString("Velmora    [ " + fw + " ]"));
        auto* open = w->findChild<QToolButton*>(QStringLiteral("FileOpenButton"));
        QVERIFY(open && open->menu());
        QCOMPARE(open->menu()->actions().size(), 1);
        QCOMPARE(open->menu()->actions().first()->text(), QString::fromStdString(fw));
        w->action("BufferClear")->trigger();
        QCOMPARE(w->windowTitle(), QStringLiteral("Velmora"));
        QVERIFY(!w->action("FileUpdate")->isEnabled());
        QCOMPARE(w->statusText(0), QStringLiteral("Нач. адр: —  Кон. адр: —"));
        QCOMPARE(w->statusText(1), QStringLiteral("Длина: 0x00(0) байт [0 блоков]"));
    }

    // One current file, and no contents replaced behind the user's back.
    void oneCurrentFileNothingLostSilently() {
        const std::string fw = writeFirmware("fw.bin");
        {
            std::ofstream(settingsFile()) << "[Profiles]\nReload last file=1\nactive=A\ncount=2\nprofile1=A\n"
                                          << "profile2=B\n[Data]\nFile=" << fw << "\n";
        }
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        auto* box = w->findChild<QComboBox*>(QStringLiteral("ProfileBox"));
        const auto switchTo = [&](const QString& name) {
            box->setCurrentIndex(box->findText(name));
            emit box->activated(box->currentIndex());
        };
        // Start-up with the reload option on reopens the last file and keeps it recorded.
        QCOMPARE(w->windowTitle(), QString::fromStdString("Velmora    [ " + fw + " ]"));
        QCOMPARE(w->settings().readString(app::Setting::LastFile), fw);

        // An edited byte is not thrown away by a profile switch the user declines.
        w->action("BufferEditEnable")->setChecked(true);
        QVERIFY(w->dumpModel().setData(w->dumpModel().index(0, 1), QStringLiteral("5A"), Qt::EditRole));
        messages.answer = false;
        const size_t before = messages.kinds.size();
        switchTo(QStringLiteral("B"));
        QCOMPARE(
            std::count(messages.kinds.begin() + before, messages.kinds.end(), app::MessageKind::Question), 1);
        QCOMPARE(int(w->image().Data[0x2100]), 0x5A);
        messages.answer = true;
        switchTo(QStringLiteral("A"));
        QCOMPARE(int(w->image().Data[0x2100]), 0x00);

        // After a clear there is no current file: a profile switch loads nothing back.
        w->action("BufferClear")->trigger();
        switchTo(QStringLiteral("B"));
        QCOMPARE(w->image().EndAddr, -1);
        QCOMPARE(w->windowTitle(), QStringLiteral("Velmora"));
        QVERIFY(!w->action("FileUpdate")->isEnabled());

        // "Prevent unmarked" refuses a file loaded on top without touching the contents below it.
        w->settings().writeBool(app::Setting::PreventUnmarked, true, "B");
        QVERIFY(w->dumpModel().setData(w->dumpModel().index(0x10, 1), QStringLiteral("A5"), Qt::EditRole));
        const std::string small = path("small.bin");
        std::ofstream(small, std::ios::binary) << std::string(16, '\x11');
        QVERIFY(!w->files().loadAt(0x3000, small, 3));
        QVERIFY(messages.last().find("Отсутствует метка версии") != std::string::npos);
        QCOMPARE(int(w->image().Data[0x2200]), 0xA5);
        QCOMPARE(int(w->image().Data[0x3000]), 0xFF);
    }

    // The bars and panels show and hide only through the panel flags, and the window's height follows.
    void panelsOnlyThroughTheirFlags() {
        testsupport::RecordedMessages messages;
        auto w = start({}, messages);
        w->resize(565, 600);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (QToolBar* bar : w->findChildren<QToolBar*>())
            if (bar->parent() == w.get())
                QVERIFY(!bar->isMovable() && !bar->isFloatable());
        std::unique_ptr<QMenu> menu(w->createPopupMenu());
        QStringList items;
        for (QAction* a : menu->actions())
            items << a->objectName();
        QCOMPARE(items, (QStringList{"ViewDumpPanel", "ViewProgrammingPanel", "ViewLogPanel", "ViewJmpPanel",
                                     "ViewAddressPanel", "ViewProfilePanel"}));
        menu->actions()[0]->trigger(); // the dump off: only the log below the bars
        QCOMPARE(w->panelFlags() & app::ui::kPanelDump, 0);
        const int logOnly = w->height();
        w->action("ViewLogPanel")->trigger(); // nothing but the bars
        const int bars = w->height();
        QCOMPARE(logOnly, bars + 100);
        w->action("ViewDumpPanel")->trigger(); // the dump comes back with room to show rows
        QTRY_VERIFY(w->dumpView().height() >= 100);
        // The status panels stay while a hint is about: no status tips replace them.
        QVERIFY(w->action("DevWrite")->statusTip().isEmpty());
        QCOMPARE(w->action("DevWrite")->toolTip(), QStringLiteral("Записать в память устройства"));
    }

    // The status line follows every setting it is computed from.
    void statusLineFollowsTheSettingsDialog() {
        const std::string fw = writeFirmware("fw.bin");
        testsupport::RecordedMessages messages;
        auto w = start({"/F" + fw}, messages);
        QCOMPARE(w->statusText(2).size(), QStringLiteral("CRC: 0x0000").size());
        app::ui::SettingsDialog& d = w->settingsDialog();
        d.prepare();
        d.crcPanel()->setValues({32, "0x04C11DB7", "0xFFFFFFFF", true, "0xFFFFFFFF", false});
        d.pageSizeEdit()->setValue(64);
        QVERIFY(d.confirm());
        // CRC-32 of the bytes 00..FF, laid out by the file.
        QCOMPARE(w->statusText(2), QStringLiteral("CRC: 0x29058C73"));
        QCOMPARE(w->statusText(1), QStringLiteral("Длина: 0x100(256) байт [4 блоков]"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
