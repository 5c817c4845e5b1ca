#include "app/protocol_file_loader.h"
#include "app/ui/crc_panel.h"
#include "app/ui/main_window.h"
#include "app/ui/protocol_editor/protocol_editor.h"
#include "app/ui/settings_dialog.h"
#include "app/ui/value_edit.h"
#include "protocol/vpdf_writer.h"
#include "support/paths.h"
#include "support/recorded_messages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using app::Setting;
using app::ui::SettingsDialog;

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

bool writeDescription(const fs::path& p, const std::string& comment) {
    protocol::TProtocol description;
    description.Comment = comment;
    std::string error;
    return protocol::WriteProtocolFile(description, p, error);
}

struct Host : app::ProfileHost {
    std::optional<base::CrcParameters> crc;
    void setImageCrcParams(const base::CrcParameters& p) override { crc = p; }
};

struct Devices : app::SerialDeviceList {
    std::vector<std::string> list;
    std::vector<std::string> devices() const override { return list; }
};

// The dialog over a settings file in a fresh folder, with the real profile code and protocol loader.
struct Bench {
    testsupport::TempDir dir;
    app::SettingsStore store{dir / "prog.ini"};
    app::MainState state;
    Host host;
    protocol::TProtocol description;
    app::ProtocolFileLoader loader{description};
    testsupport::RecordedMessages messages;
    app::ViewNotifications view;
    app::Profiles profiles{store, state, host, loader, messages, view, dir.path()};
    Devices devices;
    SettingsDialog dialog{store, profiles, state, host, view, messages};

    explicit Bench(const std::string& ini = {}, bool arguments = false) {
        if (!ini.empty())
            writeText(dir / "prog.ini", ini);
        state.startedWithArguments = arguments;
        state.activeProfile = store.readString(Setting::ActiveProfile);
        dialog.setSerialDevices(devices);
    }
    std::string ini() const { return readText(dir / "prog.ini"); }
    void open() {
        dialog.prepare();
        dialog.show();
    }
};

// Every control as text, keyed by the control's name.
QMap<QString, QString> snapshot(const SettingsDialog& d) {
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    QStringList profiles, types;
    for (int i = 0; i < d.profileBox()->count(); ++i)
        profiles << d.profileBox()->itemText(i);
    for (int i = 0; i < d.fileTypeList()->count(); ++i)
        types << flag(d.fileTypeList()->item(i)->checkState() == Qt::Checked);
    const app::ui::CrcPanel& crc = *d.crcPanel();
    return {
        {"profile", d.profileBox()->currentText()},
        {"profiles", profiles.join('|')},
        {"delete", flag(d.deleteProfileButton()->isEnabled())},
        {"flashStart", d.flashStartEdit()->edit()->text()},
        {"flashEnd", d.flashEndEdit()->edit()->text()},
        {"ctrlArea", d.ctrlAreaEdit()->edit()->text()},
        {"pageSize", d.pageSizeEdit()->edit()->text()},
        {"password", d.passwordField()->text()},
        {"preventUnmarked", flag(d.preventUnmarkedBox()->isChecked())},
        {"useProfileAddress", flag(d.useProfileAddressBox()->isChecked())},
        {"memoryWindow", flag(d.memoryWindowBox()->isChecked())},
        {"checkFileUpdate", flag(d.checkFileUpdateBox()->isChecked())},
        {"reloadEnabled",
         flag(d.confirmReloadButton()->isEnabled() && d.reloadAutomaticallyButton()->isEnabled())},
        {"confirmReload", flag(d.confirmReloadButton()->isChecked())},
        {"errorsToLog", flag(d.errorsToLogBox()->isChecked())},
        {"reloadLastFile", flag(d.reloadLastFileBox()->isChecked())},
        {"port", d.portBox()->currentText()},
        {"baudRate", d.baudRateBox()->currentText()},
        {"stopBits", d.stopBitsBox()->currentText()},
        {"echo", flag(d.echoBox()->isChecked())},
        {"protocolFile", d.protocolFileBox()->currentText()},
        {"description", d.protocolDescriptionField()->toPlainText()},
        {"crc", QStringList{crc.widthBox()->currentText(), crc.polynomField()->text(),
                            crc.initialField()->text(), crc.xorField()->text(),
                            flag(crc.reflectedBox()->isChecked()), flag(crc.swapBox()->isChecked())}
                    .join(' ')},
        {"preset", crc.presetBox()->currentText()},
        {"fileTypes", types.join(QString())},
    };
}

// Checks the entries of `expected` ("name=value") against the dialog's controls.
void compareControls(const SettingsDialog& d, const QStringList& expected) {
    const QMap<QString, QString> shown = snapshot(d);
    for (const QString& entry : expected) {
        const qsizetype eq = entry.indexOf('=');
        const QString name = entry.left(eq);
        QVERIFY2(shown.contains(name), qPrintable(name));
        QCOMPARE(name + "=" + shown.value(name), entry);
    }
}

// The user chooses an entry from a combo box's list.
void choose(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

const std::string kTwoProfiles =
    "[Profiles]\ncount=2\nprofile1=work\nprofile2=bench\nactive=work\n"
    "Reload last file=1\n"
    "[Port settings]\nport=4\nbaudrate=12\nStop bits=2\nEcho=1\n"
    "[Errors]\nDontShowErrMsgs=1\n"
    "[View]\nMemory window=0\n"
    "[work\\Connection]\nFLASH start=4096\nFLASH end=0x8FFFF\nCtrl_area=256\n"
    "Password=секрет\n"
    "[work\\Options]\nCheck file update=1\nConfirm reload=0\nPrevent unmarked=1\n"
    "Use profile address=1\nAssign file type=5\n"
    "[work\\Protocol]\nPagesize=256\n"
    "[work\\Application]\nCRCwidth=32\nPolynom=0x04C11DB7\nInit=-1\nXORout=-1\n"
    "Reflect=1\nSwapHILO=0\n"
    "[bench\\Connection]\nFLASH start=0\n"
    "[bench\\Application]\nCRCwidth=8\nPolynom=7\n";

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void fillsTheControlsFromTheActiveProfile_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("first start, no settings file") << QString()
                                                       << QStringList{"profile=default",
                                                                      "profiles=",
                                                                      "delete=0",
                                                                      "flashStart=2100",
                                                                      "flashEnd=3FFF",
                                                                      "ctrlArea=F00",
                                                                      "pageSize=80",
                                                                      "password=",
                                                                      "memoryWindow=1",
                                                                      "checkFileUpdate=0",
                                                                      "reloadEnabled=0",
                                                                      "confirmReload=1",
                                                                      "port=COM1",
                                                                      "baudRate=19200",
                                                                      "stopBits=1.5",
                                                                      "echo=0",
                                                                      "protocolFile=",
                                                                      "crc=16 бит 0x8005 0xFFFF 0x0000 1 0",
                                                                      "preset=(собственные установки)",
                                                                      "fileTypes=000"};
        QTest::newRow("every key written") << QString::fromStdString(kTwoProfiles)
                                           << QStringList{"profile=work",
                                                          "profiles=bench|work",
                                                          "delete=1",
                                                          "flashStart=1000",
                                                          "flashEnd=8FFFF",
                                                          "ctrlArea=100",
                                                          "pageSize=100",
                                                          "password=секрет",
                                                          "preventUnmarked=1",
                                                          "useProfileAddress=1",
                                                          "memoryWindow=0",
                                                          "checkFileUpdate=1",
                                                          "reloadEnabled=1",
                                                          "confirmReload=0",
                                                          "errorsToLog=1",
                                                          "reloadLastFile=1",
                                                          "port=COM5",
                                                          "baudRate=115200",
                                                          "stopBits=2",
                                                          "echo=1",
                                                          "crc=32 бит 0x04C11DB7 0xFFFFFFFF 0xFFFFFFFF 1 0",
                                                          "preset=CRC32/Ethernet",
                                                          "fileTypes=101"};
        QTest::newRow("16 bits keeps both flags as stored")
            << QString("[Profiles]\nactive=p\n[p\\Application]\nCRCwidth=16\nPolynom=0x1021\nReflect=0\n"
                       "SwapHILO=1\nXORout=0x12345\n")
            << QStringList{"crc=16 бит 0x1021 0xFFFF 0x12345 0 1", "preset=(собственные установки)"};
    }
    void fillsTheControlsFromTheActiveProfile() {
        QFETCH(QString, ini);
        QFETCH(QStringList, expected);
        Bench b(ini.toStdString());
        b.open();
        QCOMPARE(b.dialog.pages()->currentIndex(), int(SettingsDialog::kMainPage));
        compareControls(b.dialog, expected);
        QVERIFY(b.messages.texts.empty());
    }

    void okWritesTheControlsInOrder() {
        Bench b;
        b.open();
        b.dialog.profileBox()->setEditText(QStringLiteral("  Стенд\t"));
        retype(b.dialog.flashStartEdit()->edit(), "1000");
        retype(b.dialog.passwordField(), "pw");
        b.dialog.checkFileUpdateBox()->click();
        QVERIFY(b.dialog.reloadAutomaticallyButton()->isEnabled());
        b.dialog.reloadAutomaticallyButton()->click();
        b.dialog.fileTypeList()->item(1)->setCheckState(Qt::Checked);
        choose(b.dialog.crcPanel()->presetBox(), "CRC-16/CITT");
        choose(b.dialog.baudRateBox(), "9600");
        choose(b.dialog.findChild<QComboBox*>(QStringLiteral("parity")), "чётная");
        choose(b.dialog.findChild<QComboBox*>(QStringLiteral("answerEnd")), "по паузе");
        b.dialog.okButton()->click();

        QVERIFY(b.dialog.isHidden());
        QVERIFY(b.messages.saw("Не указан файл описания протокола")); // the profile applied again
        QCOMPARE(b.state.activeProfile, std::string("Стенд"));
        QCOMPARE(b.ini(),
                 std::string(
                     "[Protocols]\ncount=0\n\n"
                     "[Profiles]\nprofile1=Стенд\ncount=1\nactive=Стенд\nReload last file=0\n\n"
                     "[Port settings]\nport=0\nbaudrate=6\nStop bits=1\nParity=2\nEcho=0\n\n"
                     "[Errors]\nDontShowErrMsgs=0\n\n"
                     "[Стенд\\Options]\nAssign file type=2\nUse profile address=0\nCheck file update=1\n"
                     "Prevent unmarked=0\nConfirm reload=0\n\n"
                     "[Стенд\\Connection]\nFLASH start=4096\nFLASH end=16383\nCtrl_area=3840\nPassword=pw\n"
                     "protocolFile=\n\n"
                     "[View]\nMemory window=1\n\n"
                     "[Стенд\\Protocol]\nPagesize=128\nAnswer end=gap\nRepeat garbled answers=0\n\n"
                     "[Стенд\\Application]\nCRCwidth=16\nPolynom=4129\nInit=65535\nXORout=0\nReflect=0\n"
                     "SwapHILO=0\n"));
        QVERIFY(b.host.crc);
        QCOMPARE(b.host.crc->polynom, 0x1021u);
    }

    void cancelWritesNothingAndAppliesTheProfileAgain() {
        std::string ini = kTwoProfiles;
        ini.insert(ini.find("Password="), "protocolFile=\\gone.vpdf\n");
        Bench b(ini);
        const QSignalSpy applied(&b.dialog, &SettingsDialog::settingsApplied);
        b.open();
        retype(b.dialog.flashStartEdit()->edit(), "0");
        retype(b.dialog.passwordField(), "other");
        b.dialog.profileBox()->setEditText(QStringLiteral("new"));
        b.dialog.cancelButton()->click();

        QVERIFY(b.dialog.isHidden());
        QCOMPARE(applied.count(), 1);
        QCOMPARE(b.state.activeProfile, std::string("work"));
        QCOMPARE(b.store.readInteger(Setting::FlashStart, "work"), 4096);
        QCOMPARE(b.store.readString(Setting::Password, "work"), std::string("секрет"));
        QCOMPARE(b.profiles.profileList(), (std::vector<std::string>{"work", "bench"}));
        QVERIFY(b.messages.saw("Не найден файл описания протокола:\r    " + (b.dir / "gone.vpdf").string()));

        // The next opening shows the stored values again.
        b.open();
        compareControls(b.dialog, {"flashStart=1000", "password=секрет", "profile=work"});
    }

    void firstStartWithAnEmptyProfileList() {
        Bench b;
        b.open();
        compareControls(b.dialog, {"profile=default", "profiles=", "delete=0"});
        b.dialog.okButton()->click();
        QCOMPARE(b.profiles.profileList(), std::vector<std::string>{"default"});
        QCOMPARE(b.store.readString(Setting::ActiveProfile), std::string("default"));

        b.open();
        compareControls(b.dialog, {"profile=default", "profiles=default", "delete=1"});
    }

    void storedWidthEightKeepsTheBufferPage() {
        Bench b(kTwoProfiles);
        b.open();
        b.dialog.crcPanel()->polynomField()->setText(QStringLiteral("0x1EDC6F41"));
        choose(b.dialog.profileBox(), "bench");
        // The other keys come from "bench", the CRC page stays as the user left it.
        compareControls(b.dialog, {"profile=bench", "delete=1", "flashStart=0", "ctrlArea=F00",
                                   "crc=32 бит 0x1EDC6F41 0xFFFFFFFF 0xFFFFFFFF 1 0"});
        b.dialog.okButton()->click();
        QCOMPARE(b.store.readInteger(Setting::CrcWidth, "bench"), 32);
        QCOMPARE(b.store.readInteger(Setting::CrcPolynom, "bench"), 0x1EDC6F41);
        QCOMPARE(b.state.activeProfile, std::string("bench"));
    }

    void refusedOkWritesNothing_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("polynomial") << "polynom"
                                    << "12G"
                                    << "Поле \"Полином\"";
        QTest::newRow("initial value empty") << "initial"
                                             << ""
                                             << "Поле \"Начальное значение\"";
        QTest::newRow("XOR prefix only") << "xorValue"
                                         << "0x"
                                         << "Поле \"Наложить по XOR\"";
        QTest::newRow("FLASH start above end") << "flashStart"
                                               << "A0000"
                                               << "Начало памяти программ больше конца памяти программ";
        QTest::newRow("profile name with a bracket") << "profile"
                                                     << "a[b"
                                                     << "Недопустимое имя профиля";
        QTest::newRow("empty profile name") << "profile"
                                            << "  "
                                            << "Недопустимое имя профиля";
        // Shown whole rather than cut to 15 characters and written back shortened.
        QTest::newRow("stored password of 16 characters")
            << "storedPassword"
            << "пароль-из-16-зн."
            << "Пароль доступа для записи во FLASH память длиннее";
    }
    void refusedOkWritesNothing() {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, message);
        std::string ini = kTwoProfiles;
        if (control == "storedPassword")
            ini.replace(ini.find("секрет"), std::string("секрет").size(), text.toStdString());
        Bench b(ini);
        b.open();
        const std::string before = b.ini();
        if (control == "storedPassword")
            QCOMPARE(b.dialog.passwordField()->text(), text);
        else if (control == "flashStart")
            retype(b.dialog.flashStartEdit()->edit(), text);
        else if (control == "profile")
            b.dialog.profileBox()->setEditText(text);
        else
            b.dialog.crcPanel()->findChild<QLineEdit*>(control)->setText(text);
        const QSignalSpy applied(&b.dialog, &SettingsDialog::settingsApplied);
        b.dialog.okButton()->click();

        QVERIFY(b.messages.saw(message.toStdString()));
        QVERIFY(b.dialog.isVisible());
        QCOMPARE(applied.count(), 0);
        QCOMPARE(b.ini(), before);
    }

    void argumentModeHidesTheProfileProtocolAndCrc_data() {
        QTest::addColumn<bool>("arguments");
        QTest::newRow("started without arguments") << false;
        QTest::newRow("started with arguments") << true;
    }
    void argumentModeHidesTheProfileProtocolAndCrc() {
        QFETCH(bool, arguments);
        Bench b(kTwoProfiles, arguments);
        for (int opening = 0; opening < 2; ++opening) {
            b.open();
            QCOMPARE(b.dialog.profileGroup()->isHidden(), arguments);
            QCOMPARE(b.dialog.protocolGroup()->isHidden(), arguments);
            QCOMPARE(b.dialog.pages()->isTabVisible(SettingsDialog::kBufferPage), !arguments);
            QVERIFY(!b.dialog.pages()->isTabVisible(SettingsDialog::kDialogsPage));
            b.dialog.okButton()->click();
            QVERIFY(b.dialog.isHidden());
        }
        QCOMPARE(b.state.activeProfile, std::string("work"));
        QCOMPARE(b.store.readInteger(Setting::CrcWidth, "work"), 32);
    }

    void portListWithDevicePaths_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        const QStringList usb{"/dev/ttyUSB0", "/dev/ttyACM0"};
        QTest::newRow("numbered port, device chosen")
            << "" << usb << "COM3" << 22 << "/dev/ttyACM0" << 2 << "/dev/ttyACM0";
        QTest::newRow("present device, COM5 chosen")
            << "/dev/ttyUSB0" << usb << "/dev/ttyUSB0" << 22 << "COM5" << 4 << "";
        QTest::newRow("device unplugged, kept")
            << "/dev/ttyUSB7" << usb << "/dev/ttyUSB7" << 23 << "" << 2 << "/dev/ttyUSB7";
        QTest::newRow("no devices at all") << "" << QStringList{} << "COM3" << 20 << "COM20" << 19 << "";
        QTest::newRow("path typed") << "" << usb << "COM3" << 22 << "/dev/serial/by-id/usb-FTDI-if00" << 2
                                    << "/dev/serial/by-id/usb-FTDI-if00";
        QTest::newRow("no port typed: refused") << "" << usb << "COM3" << 22 << "ttyUSB0" << 2 << "";
    }
    void portListWithDevicePaths() {
        QFETCH(QString, stored);
        QFETCH(QStringList, present);
        QFETCH(QString, shown);
        QFETCH(int, count);
        QFETCH(QString, chosen);
        QFETCH(int, port);
        QFETCH(QString, device);
        std::string ini = "[Port settings]\nport=2\n";
        if (!stored.isEmpty())
            ini += "device=" + stored.toStdString() + "\n";
        Bench b(ini);
        for (const QString& p : present)
            b.devices.list.push_back(p.toStdString());
        b.open();
        QCOMPARE(b.dialog.portBox()->currentText(), shown);
        QCOMPARE(b.dialog.portBox()->count(), count);
        QCOMPARE(b.dialog.portBox()->itemText(0), QStringLiteral("COM1"));
        QCOMPARE(b.dialog.portBox()->itemData(2, Qt::ToolTipRole).toString(),
                 QStringLiteral("COM3 = /dev/ttyS2"));
        const bool typed = !chosen.isEmpty() && b.dialog.portBox()->findText(chosen) < 0;
        if (typed)
            retype(b.dialog.portBox()->lineEdit(), chosen);
        else if (!chosen.isEmpty())
            choose(b.dialog.portBox(), chosen);
        b.dialog.okButton()->click();
        // Text that is no port keeps the dialog open with a message, and nothing is written.
        const bool refused = typed && !chosen.startsWith(QLatin1Char('/'));
        QCOMPARE(b.dialog.isVisible(), refused);
        QCOMPARE(b.messages.saw("\"ttyUSB0\" - не порт"), refused);
        if (refused)
            b.dialog.reject();
        QCOMPARE(b.store.readInteger(Setting::PortIndex), port);
        QCOMPARE(QString::fromStdString(b.store.readString(Setting::PortDevice)), device);

        b.open();
        QCOMPARE(b.dialog.portBox()->currentText(),
                 device.isEmpty() ? QStringLiteral("COM%1").arg(port + 1) : device);
    }

    void profileBoxTypingChoosingAndDeleting() {
        Bench b(kTwoProfiles);
        b.open();
        const struct {
            const char* typed;
            bool deletable;
        } typing[] = {{"wor", false}, {"work", true}, {" bench\t", true}, {"Bench", false}, {"", false}};
        for (const auto& t : typing) {
            b.dialog.profileBox()->setEditText(QString::fromUtf8(t.typed));
            QVERIFY2(b.dialog.deleteProfileButton()->isEnabled() == t.deletable, t.typed);
            compareControls(b.dialog, {"flashStart=1000"}); // typing loads nothing
        }

        choose(b.dialog.profileBox(), "bench");
        compareControls(b.dialog, {"profile=bench", "delete=1", "flashStart=0", "flashEnd=3FFF"});

        b.dialog.deleteProfileButton()->click();
        compareControls(b.dialog, {"profile=", "profiles=work", "delete=0"});
        QCOMPARE(b.profiles.profileList(), std::vector<std::string>{"work"});
        QVERIFY(!b.store.find("bench\\Connection", "FLASH start"));
        QVERIFY(b.dialog.isVisible());
    }

    void protocolFileBrowseEditAndStore() {
        Bench b;
        const fs::path file = b.dir / "p" / "bus.vpdf";
        fs::create_directories(file.parent_path());
        QVERIFY(writeDescription(file, "Стенд: чтение"));
        b.open();
        b.dialog.setProtocolFileChooser([] { return QString(); });
        b.dialog.browseProtocolButton()->click(); // cancelled: nothing changes
        compareControls(b.dialog, {"protocolFile=", "description="});

        b.dialog.setProtocolFileChooser([&] { return QString::fromStdString(file.string()); });
        b.dialog.browseProtocolButton()->click();
        compareControls(
            b.dialog, {"protocolFile=" + QString::fromStdString(file.string()), "description=Стенд: чтение"});

        // The edit button hands the path over; the description is read again afterwards.
        QStringList requested;
        connect(&b.dialog, &SettingsDialog::editProtocolRequested, this, [&](const QString& path) {
            requested << path;
            QVERIFY(writeDescription(file, "Стенд: запись"));
        });
        b.dialog.editProtocolButton()->click();
        QCOMPARE(requested, QStringList{QString::fromStdString(file.string())});
        compareControls(b.dialog, {"description=Стенд: запись"});

        b.dialog.okButton()->click();
        QCOMPARE(b.store.readString(Setting::ProtocolPath, "default"), std::string("\\p\\bus.vpdf"));
        QCOMPARE(b.store.readString("Protocols", "Protocol_0", ""), file.string());
        QVERIFY(!b.state.communicationDisabled);

        // A file chosen from the list shows its own description.
        const fs::path other = b.dir / "other.vpdf";
        QVERIFY(writeDescription(other, "Другой"));
        b.store.writeString("Protocols", "Protocol_1", other.string());
        b.store.writeInteger("Protocols", "count", 2);
        b.open();
        choose(b.dialog.protocolFileBox(), QString::fromStdString(other.string()));
        compareControls(b.dialog, {"description=Другой"});

        // A path typed by hand shows its description when the field is left.
        QLineEdit* typed = b.dialog.protocolFileBox()->lineEdit();
        typed->setText(QString::fromStdString(file.string()));
        emit typed->editingFinished();
        compareControls(b.dialog, {"description=Стенд: запись"});
        typed->setText(QString::fromStdString((b.dir / "missing.vpdf").string()));
        emit typed->editingFinished();
        compareControls(b.dialog, {"description="});
    }

    void valueEditsHoldTheirLimits_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("written");
        QTest::newRow("FLASH end above 1048575") << "flashEnd"
                                                 << "FFFFFFF"
                                                 << "FFFFF" << 1048575;
        QTest::newRow("page size below 32") << "pageSize"
                                            << "1"
                                            << "20" << 32;
        QTest::newRow("page size above 4096") << "pageSize"
                                              << "2000"
                                              << "1000" << 4096;
        QTest::newRow("service area above 65535") << "ctrlArea"
                                                  << "12345"
                                                  << "FFFF" << 65535;
    }
    void valueEditsHoldTheirLimits() {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, written);
        Bench b;
        b.open();
        auto* field = b.dialog.findChild<app::ui::TMValueEdit*>(edit)->edit();
        retype(field, typed);
        QCOMPARE(field->text(), typed);
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(field, &out);
        QCOMPARE(field->text(), shown);
        b.dialog.okButton()->click();
        const Setting key = edit == "flashEnd"   ? Setting::FlashEnd
                            : edit == "pageSize" ? Setting::PageSize
                                                 : Setting::CtrlArea;
        QCOMPARE(b.store.readInteger(key, "default"), written);
    }

    void mainWindowOpensTheDialogModally() {
        testsupport::TempDir dir;
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine(std::vector<std::string>{}), dir / "prog.ini", &messages);
        bool wasModal = false;
        QTimer::singleShot(0, &w, [&] {
            auto* d = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
            QVERIFY(d == &w.settingsDialog());
            wasModal = d->isModal() && d->windowTitle() == QStringLiteral("Настройки программы");
            d->profileBox()->setEditText(QStringLiteral("Стенд"));
            d->okButton()->click();
        });
        w.action("FileOptions")->trigger();
        QVERIFY(wasModal);
        QCOMPARE(w.state().activeProfile, std::string("Стенд"));
        // The main window's profile box was refilled with the new profile selected.
        QComboBox* mainBox = nullptr;
        for (QComboBox* box : w.findChildren<QComboBox*>())
            if (qobject_cast<QToolBar*>(box->parent()))
                mainBox = box;
        QVERIFY(mainBox);
        QCOMPARE(mainBox->count(), 1);
        QCOMPARE(mainBox->currentText(), QStringLiteral("Стенд"));
    }

    void editButtonOpensTheChosenDescriptionInTheEditor() {
        testsupport::TempDir dir;
        const std::filesystem::path description = dir / "bus.vpdf";
        std::filesystem::copy_file(testsupport::binaryDir() / "examples" / "sim.vpdf", description);
        std::ofstream(dir / "prog.ini")
            << "[Profiles]\nactive=default\ncount=1\nprofile1=default\n"
            << "[default\\Connection]\nprotocolFile=" << description.string() << "\n";
        testsupport::RecordedMessages messages;
        app::ui::MainWindow w(app::CommandLine(std::vector<std::string>{}), dir / "prog.ini", &messages);
        QString editorPath;
        std::size_t editorCommands = 0;
        QTimer::singleShot(0, &w, [&] {
            SettingsDialog& d = w.settingsDialog();
            QTimer::singleShot(0, &d, [&] {
                auto* editor =
                    qobject_cast<app::ui::editor::ProtocolEditor*>(QApplication::activeModalWidget());
                if (editor) {
                    editorPath = QString::fromStdString(editor->model().currentPath().string());
                    editorCommands = editor->model().description().Commands.Count();
                    editor->reject();
                }
            });
            d.editProtocolButton()->click();
            d.cancelButton()->click();
        });
        w.action("FileOptions")->trigger();
        QCOMPARE(editorPath, QString::fromStdString(description.string()));
        QVERIFY(editorCommands > 0);
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
