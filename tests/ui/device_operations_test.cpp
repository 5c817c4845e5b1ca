#include "app/ui/device_settings_dialog.h"
#include "app/ui/dump_model.h"
#include "app/ui/main_window.h"
#include "app/ui/search_dialog.h"
#include "app/ui/settings_dialog.h"
#include "app/ui/version_panel.h"
#include "exchange/operation_sequencer.h"
#include "image/file_type.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"
#include "support/bus_relay.h"
#include "support/files.h"
#include "support/paths.h"
#include "support/recorded_messages.h"
#include "support/sim_process.h"
#include "support/when_shown.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <fstream>
#include <functional>

namespace {

// Answers the next file dialog with `path`, once it is on screen.
void chooseFile(QObject& owner, const QString& path) {
    const auto dialog = []() -> QFileDialog* {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(widget); d && d->isVisible())
                return d;
        return nullptr;
    };
    testsupport::whenReady(
        owner, [dialog] { return dialog() != nullptr; },
        [dialog, path] {
            dialog()->selectFile(path);
            static_cast<QDialog*>(dialog())->accept(); // QFileDialog hides the public accept
        });
}

// Runs `beforeYes` when a question is asked, then answers it with Yes.
struct AnsweringMessages : testsupport::RecordedMessages {
    std::function<void()> beforeYes;
    bool showMessage(std::string_view title, std::string_view text, app::MessageKind kind) override {
        if (kind == app::MessageKind::Question && beforeYes)
            beforeYes();
        return RecordedMessages::showMessage(title, text, kind);
    }
};

uint8_t pattern(size_t a) {
    return static_cast<uint8_t>(a * 7 + 3);
}

} // namespace

class DeviceOperationsTest : public QObject {
    Q_OBJECT
  private:
    testsupport::TempDir m_dir;
    std::string ini() const { return (m_dir / "prog.ini").string(); }

    void writeSettings(
        const std::string& port,
        const std::string& protocolFile = (testsupport::binaryDir() / "examples" / "sim.vpdf").string()) {
        std::ofstream f(ini());
        f << "[Profiles]\nactive=default\n[Port settings]\nbaudrate=12\ndevice=" << port << "\n"
          << "[default\\Connection]\nprotocolFile=" << protocolFile
          << "\nFLASH start=0x2100\nFLASH end=0x3FFF\n[default\\Protocol]\nPagesize=128\n";
    }
    // The simulator's description with a 10 ms answer timeout for its search command: the silent
    // addresses of a whole-bus search then take seconds instead of most of a minute. Empty when the
    // description cannot be made.
    std::string quickSearchProtocol() {
        protocol::TProtocol description;
        if (protocol::ReadProtocolFile(description, testsupport::binaryDir() / "examples" / "sim.vpdf") !=
            protocol::kReadOk)
            return {};
        for (int32_t index : description.ActionLists[exchange::kListSearch].StepCommands)
            description.Commands[static_cast<size_t>(index)].AnswerTimeout = 10;
        const std::string path = (m_dir / "quick-search.vpdf").string();
        std::string error;
        return protocol::WriteProtocolFile(description, path, error) ? path : std::string();
    }
    // A binary file of 16 KiB from address 0: the pattern from `from` up, 0xFF below it.
    std::string patternFile(const char* name, size_t from) {
        const std::string p = (m_dir / name).string();
        std::vector<char> bytes(0x4000, '\xFF');
        for (size_t a = from; a < bytes.size(); ++a)
            bytes[a] = static_cast<char>(pattern(a));
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::string memory() { return patternFile("mem.bin", 0x2000); }
    // The pattern inside the FLASH window only, 0xFF around it.
    std::string firmware() { return patternFile("fw.bin", 0x2100); }
    bool logHas(app::ui::MainWindow& w, std::string_view text) {
        for (const std::string& line : w.log().lines())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

  private slots:
    void readsTheDeviceWithProgress() {
        testsupport::SimProcess sim({"--image-in", memory()});
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        QVERIFY(!w.state().communicationDisabled);
        QVERIFY(w.action("DevRead")->isEnabled());
        w.action("BufferEditEnable")->setChecked(true);
        const QModelIndex cell = w.dumpModel().index(0, 1);
        QVERIFY(w.dumpModel().flags(cell) & Qt::ItemIsEditable);
        w.action("DevRead")->trigger();
        QVERIFY(w.sequencer().paging());
        QVERIFY(w.busy());
        QVERIFY(!w.action("FileOpen")->isEnabled());
        // Nothing changes the image while the device is read into it.
        QVERIFY(!w.action("BufferLoadAt")->isEnabled());
        QVERIFY(!(w.dumpModel().flags(cell) & Qt::ItemIsEditable));
        QVERIFY(!w.dumpModel().setData(cell, QStringLiteral("5A"), Qt::EditRole));
        QVERIFY(w.findChild<QPushButton*>(QStringLiteral("ProgressCancel"))->isVisibleTo(&w));
        QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 60000);
        QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Completed));
        QVERIFY(logHas(w, "Чтение завершено("));
        for (size_t a = 0x2100; a < 0x4000; ++a)
            QCOMPARE(int(w.image().Data[a]), int(pattern(a)));
        QVERIFY(!w.busy());
        QVERIFY(w.action("FileOpen")->isEnabled());
        QVERIFY(w.action("BufferLoadAt")->isEnabled());
        QVERIFY(w.dumpModel().flags(cell) & Qt::ItemIsEditable);
        QVERIFY(!w.findChild<QPushButton*>(QStringLiteral("ProgressCancel"))->isVisibleTo(&w));
        QCOMPARE(w.statusText(0), QStringLiteral("Нач. адр: 0x2100h  Кон. адр:0x3FFFh"));
    }

    void writesTheImageWithProgressTexts() {
        const std::string out = (m_dir / "written.bin").string();
        {
            testsupport::SimProcess sim({"--image-out", out});
            writeSettings(sim.linePath());
            testsupport::RecordedMessages messages;
            app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
            QVERIFY(w.files().LoadFile(image::kFileTypeBinary, 0, firmware(), false));
            w.action("DevWrite")->trigger();
            QVERIFY(w.sequencer().paging());
            auto label = [&](const char* name) { return w.findChild<QLabel*>(QLatin1String(name))->text(); };
            // Texts while the write runs: address and page, errors, elapsed seconds.
            QTRY_VERIFY_WITH_TIMEOUT(w.sequencer().page() >= 2, 30000);
            const QRegularExpression address(
                QStringLiteral("^Адрес доступа: 0x0000[0-9A-F]{4} \\(P:\\d+\\)$"));
            QVERIFY2(address.match(label("ProgressAddress")).hasMatch(),
                     qPrintable(label("ProgressAddress")));
            QCOMPARE(label("ProgressErrors"), QStringLiteral("Ошибок связи: 0"));
            QVERIFY2(QRegularExpression(QStringLiteral("^Прошло времени: \\d+ сек$"))
                         .match(label("ProgressElapsed"))
                         .hasMatch(),
                     qPrintable(label("ProgressElapsed")));
            QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 120000);
            QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Completed));
            QVERIFY(!w.findChild<QPushButton*>(QStringLiteral("ProgressCancel"))->isVisibleTo(&w));
            QVERIFY(w.action("FileOpen")->isEnabled());
            sim.stop(); // writes its memory out
        }
        std::ifstream f(out, std::ios::binary);
        const std::vector<char> written((std::istreambuf_iterator<char>(f)),
                                        std::istreambuf_iterator<char>());
        QVERIFY(written.size() >= 0x4000);
        for (size_t a = 0x2100; a < 0x4000; ++a)
            QCOMPARE(int(uint8_t(written[a])), int(pattern(a)));
    }

    void windowKeepsServingWhileTheDeviceThinks() {
        // Each answer takes 700 ms; a timer of the window must keep firing meanwhile.
        testsupport::SimProcess sim({"--image-in", memory(), "--reply-delay", "700"});
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestGap = 0;
        int fired = 0;
        QTimer probe;
        probe.setInterval(20);
        connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - last);
            last = now;
            ++fired;
        });
        clock.start();
        probe.start();
        w.action("DevRead")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w.sequencer().page() >= 3, 20000);
        probe.stop();
        w.findChild<QPushButton*>(QStringLiteral("ProgressCancel"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 10000);
        QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Cancelled));
        QVERIFY2(fired > 50, qPrintable(QString::number(fired)));
        QVERIFY2(longestGap < 400, qPrintable(QString::number(longestGap)));
        // The pages read before the cancel arrived whole.
        for (size_t a = 0x2100; a < 0x2100 + 3 * 128; ++a)
            QCOMPARE(int(w.image().Data[a]), int(pattern(a)));
    }

    void cancelEndsALongAnswerWaitAtOnce() {
        // The device thinks for 3 s; a real click on "Отмена" while the window waits ends the read.
        testsupport::SimProcess sim({"--image-in", memory(), "--reply-delay", "3000"});
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        auto* cancel = w.findChild<QPushButton*>(QStringLiteral("ProgressCancel"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.action("DevRead")->trigger(); // returns after the first exchange, once the panel is up
        QVERIFY(cancel->isVisible());
        QElapsedTimer sinceClick;
        QTimer::singleShot(300, &w, [&] { // inside the wait for the first page's answer
            sinceClick.start();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging() && !w.sequencer().panelVisible(), 10000);
        QVERIFY2(sinceClick.elapsed() < 1000, qPrintable(QString::number(sinceClick.elapsed())));
        QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Cancelled));
    }

    void cancelAndCloseEndTheRead() {
        // Each answer 30 ms late, so the read is still under way when it is cancelled or closed.
        testsupport::SimProcess sim({"--image-in", memory(), "--reply-delay", "30"});
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        {
            app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
            w.action("DevRead")->trigger();
            QTest::qWait(50);
            w.findChild<QPushButton*>(QStringLiteral("ProgressCancel"))->click();
            QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 10000);
            QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Cancelled));
            QVERIFY(!w.busy());
        }
        {
            app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
            w.action("DevRead")->trigger();
            QTest::qWait(50);
            w.close();
            QVERIFY(!w.sequencer().paging());
            QVERIFY(!w.busy());
        }
    }

    void searchFindsTwoDevicesAndSetsTheRecipient() {
        testsupport::SimProcess low({"--address", "5", "--serial", "7", "--ident", "Low"});
        testsupport::SimProcess high({"--address", "240", "--serial", "8", "--ident", "High"});
        testsupport::BusRelay bus({low.linePath(), high.linePath()});
        const std::string description = quickSearchProtocol();
        QVERIFY(!description.empty());
        writeSettings(bus.busPath(), description);
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        QVERIFY(w.action("DevFind")->isEnabled());
        w.action("DevFind")->trigger();
        app::ui::SearchDialog& dialog = w.searchDialog();
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.searching());
        QVERIFY(!dialog.setAddressButton().isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.searching(), 120000);
        QCOMPARE(dialog.progressText(), QStringLiteral("100%"));
        QCOMPARE(dialog.grid().rowCount(), 2);
        QCOMPARE(dialog.grid().item(0, 0)->text(), QStringLiteral("0x05"));
        QCOMPARE(dialog.grid().item(0, 2)->text(), QStringLiteral("7"));
        QCOMPARE(dialog.grid().item(0, 3)->text(), QStringLiteral("Low"));
        QCOMPARE(dialog.grid().item(1, 0)->text(), QStringLiteral("0xF0"));
        QVERIFY(dialog.setAddressButton().isEnabled());

        dialog.grid().selectRow(1);
        dialog.setAddressButton().click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(w.state().deviceAddress, 240);
        QCOMPARE(w.settings().readInteger(app::Setting::SearchDevAddress), 240);
    }

    void closingTheSearchStopsItAtOnce() {
        testsupport::SimProcess sim({"--address", "200"});
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        w.action("DevFind")->trigger();
        app::ui::SearchDialog& dialog = w.searchDialog();
        QVERIFY(dialog.searching());
        dialog.close();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.searching());
        QVERIFY(!w.busy());
    }

    void deviceOptionsRoundTrip() {
        testsupport::SimProcess sim({"--serial", "4660", "--ident", "Old"});
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        QVERIFY(w.action("DevOpts")->isEnabled());
        app::ui::DeviceSettingsDialog& dialog = w.deviceSettingsDialog();

        exchange::IdentRecord seen;
        testsupport::whenShown(dialog, [&] {
            seen = dialog.record();
            exchange::IdentRecord edited = seen;
            edited.identString = "New"; // the room the record length leaves: three characters
            edited.serialNumber = 77;
            dialog.setRecord(edited);
            dialog.accept();
        });
        w.action("DevOpts")->trigger();
        QCOMPARE(seen.serialNumber, 4660);
        QCOMPARE(seen.identString, std::string("Old"));
        QVERIFY(!w.busy());

        testsupport::whenShown(dialog, [&] {
            seen = dialog.record();
            dialog.reject();
        });
        w.action("DevOpts")->trigger();
        QCOMPARE(seen.serialNumber, 77);
        QCOMPARE(seen.identString, std::string("New"));
        QVERIFY(!w.busy());
    }

    // "Ok" with a field that cannot be written keeps the dialog open with a message naming the field
    // and writes nothing; the good values then go through.
    void deviceOptionsRefusesWhatItCannotWrite() {
        testsupport::SimProcess sim({"--serial", "4660", "--ident", "Old"});
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        app::ui::DeviceSettingsDialog& dialog = w.deviceSettingsDialog();
        const struct {
            const char* field;
            QString typed;
            std::string named;
        } rows[] = {
            {"networkNumber", QStringLiteral("zz"), "\"Сетевой номер устройства:\": \"zz\""},
            {"deviceId", QStringLiteral("0x100"), "\"Идентификатор устройства (HEX)\""},
            {"systemTableAddress", QString(), "\"Адрес системной таблицы (HEX)\""},
            {"identString", QStringLiteral("яд"), "Символ \"я\" в поле \"Строка идентификации устройства\""},
        };
        std::vector<std::string> refused;
        testsupport::whenShown(dialog, [&] {
            for (const auto& row : rows) {
                auto* edit = dialog.findChild<QLineEdit*>(QString::fromLatin1(row.field));
                const QString before = edit->text();
                edit->setText(row.typed);
                messages.texts.clear();
                dialog.accept();
                refused.push_back(dialog.isVisible() && messages.texts.size() == 1 &&
                                          messages.texts[0].find(row.named) != std::string::npos
                                      ? row.field
                                      : "");
                edit->setText(before);
            }
            auto* serial = dialog.findChild<QSpinBox*>(QStringLiteral("serialNumber"));
            serial->clear();
            messages.texts.clear();
            dialog.accept();
            refused.push_back(dialog.isVisible() && messages.texts.size() == 1 ? "serialNumber" : "");
            serial->setValue(77);
            dialog.accept();
        });
        w.action("DevOpts")->trigger();
        QCOMPARE(refused, std::vector<std::string>({"networkNumber", "deviceId", "systemTableAddress",
                                                    "identString", "serialNumber"}));

        exchange::IdentRecord seen;
        testsupport::whenShown(dialog, [&] {
            seen = dialog.record();
            dialog.reject();
        });
        w.action("DevOpts")->trigger();
        QCOMPARE(seen.serialNumber, 77);
        QCOMPARE(int(seen.networkNumber), 17);
        QCOMPARE(seen.identString, std::string("Old"));
        QVERIFY(!w.busy());
    }

    // What was read is the contents now: no file behind it, its version record shown, nothing replaces
    // it when the settings dialog closes, and the next operation sees the address the read ended at.
    void aReadIsKeptAndShowsItsVersion() {
        // The sample firmware as the device's memory.
        auto sample = std::make_unique<image::THEXFile>();
        QVERIFY(
            sample->LoadFromFile(image::kFileTypeHex, -1, false,
                                 (testsupport::sourceDir() / "examples" / "sample-firmware.hex").string()));
        const std::string memoryFile = (m_dir / "sample.bin").string();
        QVERIFY(sample->SaveBinaryFile(memoryFile));
        testsupport::SimProcess sim({"--image-in", memoryFile});
        writeSettings(sim.linePath());
        { std::ofstream(ini(), std::ios::app) << "[Profiles]\nReload last file=1\n"; }
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        QVERIFY(w.files().openFile(firmware()));
        w.action("DevRead")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 60000);
        QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Completed));
        QCOMPARE(w.windowTitle(), QStringLiteral("Velmora"));
        QVERIFY(!w.action("FileUpdate")->isEnabled());
        QCOMPARE(w.image().VersionPos, sample->VersionPos);
        QVERIFY(!w.image().Damaged());
        QVERIFY(w.findChild<app::ui::VersionPanel*>()->height() > 1);
        QCOMPARE(w.exchangeContext().address, 0x4000u);

        w.settingsDialog().prepare();
        w.settingsDialog().reject();
        for (size_t a = 0x2100; a < 0x4000; ++a)
            QCOMPARE(int(w.image().Data[a]), int(sample->Data[a]));
    }

    // A failed page ends the read before its message shows: no panel, no busy flag under the box.
    void aFailedReadEndsBeforeItsMessage() {
        testsupport::SimProcess sim({"--image-in", memory(), "--drop-after", "4"});
        writeSettings(sim.linePath());
        struct Sink : testsupport::RecordedMessages {
            std::function<void()> onShow;
            bool showMessage(std::string_view title, std::string_view text, app::MessageKind kind) override {
                if (onShow)
                    onShow();
                return RecordedMessages::showMessage(title, text, kind);
            }
        } messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        auto* cancel = w.findChild<QPushButton*>(QStringLiteral("ProgressCancel"));
        QList<bool> busyAtBox, panelAtBox;
        messages.onShow = [&] {
            busyAtBox << w.busy();
            panelAtBox << cancel->isVisibleTo(&w);
        };
        w.action("DevRead")->trigger();
        QVERIFY(cancel->isVisibleTo(&w));
        QCOMPARE(w.focusWidget(), cancel); // so Esc, Enter and Space cancel
        QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 60000);
        QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Failed));
        QVERIFY(!busyAtBox.isEmpty());
        QCOMPARE(busyAtBox, QList<bool>(busyAtBox.size(), false));
        QCOMPARE(panelAtBox, QList<bool>(panelAtBox.size(), false));
    }

    void exchangeLogTracesFramesWhileChecked() {
        testsupport::SimProcess sim;
        writeSettings(sim.linePath());
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
        const std::string trace = (m_dir / "window.trace").string();
        chooseFile(w, QString::fromStdString(trace));
        w.action("DevTrace")->trigger();
        QVERIFY(w.action("DevTrace")->isChecked());
        w.action("DevReset")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.busy(), 10000);
        const std::string traced = testsupport::readText(trace);
        QVERIFY2(
            QRegularExpression(
                QStringLiteral("^\\d+\tTX\t[^\t]+\t0\t-\t[0-9A-F ]+\n\\d+\tRX\t[^\t]+\t0\t0\t[0-9A-F ]+\n"))
                .match(QString::fromStdString(traced))
                .hasMatch(),
            traced.c_str());
        w.action("DevTrace")->trigger(); // off: the file gets nothing more
        QVERIFY(!w.action("DevTrace")->isChecked());
        w.action("DevReset")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.busy(), 10000);
        QCOMPARE(testsupport::readText(trace), traced);
    }

    void aFailedWriteResumesAfterItsLastPage() {
        const std::string port = (m_dir / "ttyResume").string();
        const std::string half = (m_dir / "half.bin").string(), full = (m_dir / "full.bin").string();
        // frames 1 and 2 unlock and erase, frame 23 writes page 20
        auto sim = std::make_unique<testsupport::SimProcess>(
            std::vector<std::string>{"--drop-after", "23", "--image-out", half, "--link", port});
        writeSettings(port);
        AnsweringMessages messages;
        messages.beforeYes = [&] {
            QVERIFY(sim->waitExit(std::chrono::seconds(5)).has_value());
            sim = std::make_unique<testsupport::SimProcess>(
                std::vector<std::string>{"--image-in", half, "--image-out", full, "--link", port});
        };
        {
            app::ui::MainWindow w(app::CommandLine({}), ini(), &messages);
            QVERIFY(w.files().LoadFile(image::kFileTypeBinary, 0, firmware(), false));
            w.action("DevWrite")->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(messages.saw("Продолжить запись"), 120000);
            QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 120000);
            QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Completed));
            QVERIFY(messages.saw("Продолжить запись с адреса 0x00002B80?"));
            // The image shown is whole again.
            QCOMPARE(w.image().StartAddr, 0x2100);
        }
        sim->stop();
        std::ifstream f(full, std::ios::binary);
        const std::vector<char> written((std::istreambuf_iterator<char>(f)),
                                        std::istreambuf_iterator<char>());
        QVERIFY(written.size() >= 0x4000);
        for (size_t a = 0x2100; a < 0x4000; ++a)
            QCOMPARE(int(uint8_t(written[a])), int(pattern(a)));
    }
};

QTEST_MAIN(DeviceOperationsTest)
#include "device_operations_test.moc"
