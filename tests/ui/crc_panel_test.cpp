#include "app/ui/crc_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using app::ui::CrcPanel;

namespace {

// A panel whose messages are collected instead of shown in boxes.
struct Panel {
    Panel() {
        panel.setMessageHandler([this](const QString& m) { messages << m; });
    }
    CrcPanel panel;
    QStringList messages;
};

QString presetText(int index) {
    const auto& t = base::kCrcPresets[static_cast<std::size_t>(index)].text;
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

} // namespace

class CrcPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void presetFillsFieldsAndChecks_data();
    void presetFillsFieldsAndChecks();
    void presetFollowsTheControls();
    void storedParametersShowAsStored_data();
    void storedParametersShowAsStored();
    void otherStoredWidthKeepsThePage();
    void generatorShows();
    void nonNumericFieldIsRefused_data();
    void nonNumericFieldIsRefused();
    void exportWritesTheTable();
    void exportCancelledWritesNothing();
};

void CrcPanelTest::presetFillsFieldsAndChecks_data() {
    QTest::addColumn<int>("index");
    for (int i = 1; i < static_cast<int>(base::kCrcPresets.size()); ++i)
        QTest::newRow(base::kCrcPresets[static_cast<std::size_t>(i)].text.data()) << i;
}

void CrcPanelTest::presetFillsFieldsAndChecks() {
    QFETCH(int, index);
    const base::CrcPreset& p = base::kCrcPresets[static_cast<std::size_t>(index)];
    Panel t;
    t.panel.presetBox()->setCurrentIndex(index);
    QCOMPARE(t.panel.presetBox()->currentText(), presetText(index));
    QCOMPARE(t.panel.widthBox()->currentText(), p.width == 16 ? QString("16 бит") : QString("32 бит"));
    QCOMPARE(t.panel.polynomField()->text(), QString::fromUtf8(p.polynom.data(), p.polynom.size()));
    QCOMPARE(t.panel.initialField()->text(), QString::fromUtf8(p.initial.data(), p.initial.size()));
    QCOMPARE(t.panel.xorField()->text(), QString::fromUtf8(p.xorValue.data(), p.xorValue.size()));
    QCOMPARE(t.panel.reflectedBox()->isChecked(), p.reflected);
    QCOMPARE(t.panel.swapBox()->isChecked(), p.tableSwap);
    QTest::mouseClick(t.panel.calculateButton(), Qt::LeftButton);
    QCOMPARE(t.panel.checkText(), QString::fromStdString(base::formatCrcValue(p.check)));
    QVERIFY(t.messages.isEmpty());
}

void CrcPanelTest::presetFollowsTheControls() {
    Panel t;
    QCOMPARE(t.panel.presetBox()->currentIndex(), 0);
    t.panel.presetBox()->setCurrentIndex(1); // CRC-16/CITT
    t.panel.polynomField()->setText(" 0X1021\t");
    QCOMPARE(t.panel.presetBox()->currentIndex(), 1);
    t.panel.polynomField()->setText("1021");
    QCOMPARE(t.panel.presetBox()->currentIndex(), 0);
    t.panel.polynomField()->setText("0x1021");
    QCOMPARE(t.panel.presetBox()->currentIndex(), 1);
    t.panel.reflectedBox()->setChecked(true);
    QCOMPARE(t.panel.presetBox()->currentIndex(), 0);
    QCOMPARE(t.panel.polynomField()->text(), QString("0x1021")); // the custom entry sets nothing

    t.panel.presetBox()->setCurrentIndex(4); // MODBUS
    t.panel.swapBox()->setChecked(false);
    QCOMPARE(t.panel.presetBox()->currentIndex(), 0);
    t.panel.swapBox()->setChecked(true);
    QCOMPARE(t.panel.presetBox()->currentIndex(), 4);
    t.panel.widthBox()->setCurrentIndex(1);
    QCOMPARE(t.panel.presetBox()->currentIndex(), 0);
}

void CrcPanelTest::storedParametersShowAsStored_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<uint>("polynom");
    QTest::addColumn<uint>("initial");
    QTest::addColumn<uint>("xorValue");
    QTest::addColumn<bool>("reflected");
    QTest::addColumn<bool>("swap");
    QTest::addColumn<QString>("polynomText");
    QTest::addColumn<QString>("initialText");
    QTest::addColumn<QString>("xorText");
    QTest::addColumn<int>("preset");
    QTest::newRow("16 bits, neither flag") << 16 << 0x1021u << 0xFFFFu << 0u << false << false << "0x1021"
                                           << "0xFFFF"
                                           << "0x0000" << 1;
    QTest::newRow("16 bits, reflected only") << 16 << 0x8005u << 0u << 0u << true << false << "0x8005"
                                             << "0x0000"
                                             << "0x0000" << 3;
    QTest::newRow("16 bits, both") << 16 << 0x8005u << 0xFFFFu << 0u << true << true << "0x8005"
                                   << "0xFFFF"
                                   << "0x0000" << 4;
    QTest::newRow("16 bits, wider value kept") << 16 << 0x18005u << 0xABu << 0u << true << true << "0x18005"
                                               << "0x00AB"
                                               << "0x0000" << 0;
    QTest::newRow("32 bits") << 32 << 0x04C11DB7u << 0xFFFFFFFFu << 0xFFFFFFFFu << true << false
                             << "0x04C11DB7"
                             << "0xFFFFFFFF"
                             << "0xFFFFFFFF" << 5;
    QTest::newRow("32 bits, swap kept") << 32 << 0x1u << 0u << 0u << false << true << "0x00000001"
                                        << "0x00000000"
                                        << "0x00000000" << 0;
}

void CrcPanelTest::storedParametersShowAsStored() {
    QFETCH(int, width);
    QFETCH(uint, polynom);
    QFETCH(uint, initial);
    QFETCH(uint, xorValue);
    QFETCH(bool, reflected);
    QFETCH(bool, swap);
    QFETCH(QString, polynomText);
    QFETCH(QString, initialText);
    QFETCH(QString, xorText);
    QFETCH(int, preset);
    Panel t;
    // Start from the opposite flags so that a value left over would show.
    t.panel.reflectedBox()->setChecked(!reflected);
    t.panel.swapBox()->setChecked(!swap);
    QVERIFY(t.panel.showStored(width, polynom, initial, xorValue, reflected, swap));
    QCOMPARE(t.panel.widthBox()->currentIndex(), width / 16 - 1);
    QCOMPARE(t.panel.polynomField()->text(), polynomText);
    QCOMPARE(t.panel.initialField()->text(), initialText);
    QCOMPARE(t.panel.xorField()->text(), xorText);
    QCOMPARE(t.panel.reflectedBox()->isChecked(), reflected);
    QCOMPARE(t.panel.swapBox()->isChecked(), swap);
    QCOMPARE(t.panel.presetBox()->currentIndex(), preset);
    // What "Ok" would write back is what was stored.
    const auto p = t.panel.parameters();
    QVERIFY(p.has_value());
    QCOMPARE(p->width, width);
    QCOMPARE(p->polynom, polynom);
    QCOMPARE(p->initial, initial);
    QCOMPARE(p->xorValue, xorValue);
    QCOMPARE(p->reflected, reflected);
    QCOMPARE(p->tableSwap, swap);
}

void CrcPanelTest::otherStoredWidthKeepsThePage() {
    Panel t;
    t.panel.presetBox()->setCurrentIndex(5);
    for (int width : {0, 8, 24, 64})
        QVERIFY(!t.panel.showStored(width, 0x7, 0x7, 0x7, false, true));
    QCOMPARE(t.panel.presetBox()->currentIndex(), 5);
    QCOMPARE(t.panel.polynomField()->text(), QString("0x04C11DB7"));
    QVERIFY(!t.panel.swapBox()->isChecked());
}

void CrcPanelTest::generatorShows() {
    Panel t;
    t.panel.showGenerator(base::TCRCGenerator(16, 0x8005, 0xFFFF, true, true, 0));
    QCOMPARE(t.panel.presetBox()->currentIndex(), 4);
    t.panel.showGenerator(base::TCRC32Generator());
    QCOMPARE(t.panel.presetBox()->currentIndex(), 5);
    t.panel.showGenerator(base::TCRCGenerator(8, 0x7, 0, false, false, 0));
    QCOMPARE(t.panel.widthBox()->currentIndex(), 1);
    QCOMPARE(t.panel.polynomField()->text(), QString("0x00000007"));

    base::TCRCGenerator g;
    t.panel.presetBox()->setCurrentIndex(2);
    QVERIFY(t.panel.applyTo(g));
    QCOMPARE(g.Polynom(), 0x8408u);
    QVERIFY(g.Reflected());
}

void CrcPanelTest::nonNumericFieldIsRefused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::newRow("polynomial letters") << "polynom"
                                        << "abc"
                                        << "Полином";
    QTest::newRow("initial empty") << "initial"
                                   << ""
                                   << "Начальное значение";
    QTest::newRow("xor bare prefix") << "xorValue"
                                     << "0x"
                                     << "Наложить по XOR";
    QTest::newRow("polynomial too wide") << "polynom"
                                         << "0x100000000"
                                         << "Полином";
    QTest::newRow("xor cyrillic") << "xorValue"
                                  << "0хFF"
                                  << "Наложить по XOR"; // Cyrillic х
}

void CrcPanelTest::nonNumericFieldIsRefused() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, label);
    Panel t;
    t.panel.presetBox()->setCurrentIndex(4);
    QVERIFY(t.panel.calculate());
    t.panel.findChild<QLineEdit*>(field)->setText(text);

    QVERIFY(!t.panel.calculate());
    QVERIFY(t.panel.checkText().isEmpty());
    QCOMPARE(t.messages.size(), 1);
    QVERIFY2(t.messages[0].contains(label), qPrintable(t.messages[0]));

    base::TCRCGenerator g(32, 1, 2, false, false, 3);
    QVERIFY(!t.panel.applyTo(g));
    QCOMPARE(g.Polynom(), 1u); // left alone

    QTemporaryDir dir;
    int asked = 0;
    t.panel.setPathChooser([&] {
        ++asked;
        return dir.filePath("table.c");
    });
    QVERIFY(!t.panel.exportTable());
    QCOMPARE(asked, 0);
    QVERIFY(!t.panel.exportTableTo(dir.filePath("table.c")));
    QVERIFY(!QFile::exists(dir.filePath("table.c")));
    QCOMPARE(t.messages.size(), 4);
}

void CrcPanelTest::exportWritesTheTable() {
    QTemporaryDir dir;
    Panel t;
    t.panel.setPathChooser([&] { return dir.filePath("modbus.c"); });
    t.panel.presetBox()->setCurrentIndex(4);
    QTest::mouseClick(t.panel.exportButton(), Qt::LeftButton);
    QFile file(dir.filePath("modbus.c"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 34); // 33 lines and the empty rest after the last line feed
    QCOMPARE(lines[0], QByteArray("usigned int CRC_table[256]={"));
    QVERIFY(lines[1].startsWith("              0x0000,0xC0C1,0xC181,"));
    QVERIFY(lines[32].endsWith("};"));

    t.panel.presetBox()->setCurrentIndex(5);
    QVERIFY(t.panel.exportTableTo(dir.filePath("crc32.c")));
    QFile file32(dir.filePath("crc32.c"));
    QVERIFY(file32.open(QIODevice::ReadOnly));
    QVERIFY(file32.readAll().split('\n')[1].startsWith("              0x00000000,0x77073096,"));

    // A folder that does not exist: a message, nothing written.
    QVERIFY(!t.panel.exportTableTo(dir.filePath("missing/table.c")));
    QCOMPARE(t.messages.size(), 1);
}

void CrcPanelTest::exportCancelledWritesNothing() {
    QTemporaryDir dir;
    Panel t;
    t.panel.presetBox()->setCurrentIndex(1);
    t.panel.setPathChooser([] { return QString(); });
    QVERIFY(!t.panel.exportTable());
    QVERIFY(QDir(dir.path()).isEmpty());
    QVERIFY(t.messages.isEmpty());
}

QTEST_MAIN(CrcPanelTest)
#include "crc_panel_test.moc"
