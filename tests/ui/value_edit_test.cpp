#include "app/ui/value_edit.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using app::TViewStyle;
using app::TViewStyles;
using app::ui::TMEdit;
using app::ui::TMValueEdit;

namespace {

// Types text key by key; keyClicks only takes Latin-1, so other characters go as plain key text.
void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

class ValueEditTest : public QObject {
    Q_OBJECT

  private slots:
    void typingIsFiltered_data();
    void typingIsFiltered();
    void notationSwitchKeepsValue();
    void notationButtonCycles();
    void valueIsClampedAndRewrittenOnFocusOut();
    void noLimitsByDefault();
    void loneMinusReadsZero();
    void arrowKeysStep();
    void autoRepeat_data();
    void autoRepeat();
    void readOnlyIgnoresSpins();
};

void ValueEditTest::typingIsFiltered_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<double>("precision");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("value");
    QTest::newRow("decimal drops letters") << int(TViewStyle::vsDEC) << 1.0 << "1A"
                                           << "1" << 1.0;
    QTest::newRow("hex upper-cases") << int(TViewStyle::vsHEX) << 1.0 << "ff"
                                     << "FF" << 255.0;
    QTest::newRow("binary drops other digits") << int(TViewStyle::vsBIN) << 1.0 << "1021"
                                               << "101" << 5.0;
    QTest::newRow("octal") << int(TViewStyle::vsOCT) << 1.0 << "7089"
                           << "70" << 56.0;
    QTest::newRow("negative decimal") << int(TViewStyle::vsDEC) << 1.0 << "-12"
                                      << "-12" << -12.0;
    QTest::newRow("comma as separator") << int(TViewStyle::vsDEC) << 0.01 << "3,2.5"
                                        << "3.25" << 3.25;
    QTest::newRow("no fraction in whole numbers") << int(TViewStyle::vsDEC) << 1.0 << "3.5"
                                                  << "35" << 35.0;
    QTest::newRow("cyrillic dropped") << int(TViewStyle::vsDEC) << 1.0 << "4Ж2"
                                      << "42" << 42.0;
}

void ValueEditTest::typingIsFiltered() {
    QFETCH(int, style);
    QFETCH(double, precision);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(double, value);
    TMEdit edit;
    edit.setViewStyle(static_cast<TViewStyle>(style));
    edit.setPrecision(precision);
    edit.clear();
    QSignalSpy changes(&edit, &TMEdit::changed);
    typeText(&edit, typed);
    QCOMPARE(edit.text(), shown);
    QCOMPARE(edit.Value(), value);
    QCOMPARE(changes.count(), typed.size());
}

void ValueEditTest::notationSwitchKeepsValue() {
    TMEdit edit;
    edit.setValue(255);
    edit.setViewStyle(TViewStyle::vsBIN);
    QCOMPARE(edit.text(), QString("11111111"));
    edit.setViewStyle(TViewStyle::vsHEX);
    QCOMPARE(edit.text(), QString("FF"));
    QCOMPARE(edit.cursorPosition(), 2);
    edit.setViewStyle(TViewStyle::vsOCT);
    QCOMPARE(edit.text(), QString("377"));
    edit.setViewStyle(TViewStyle::vsDEC);
    QCOMPARE(edit.text(), QString("255"));
    edit.setValue(12.6);
    QCOMPARE(edit.text(), QString("13"));
}

void ValueEditTest::notationButtonCycles() {
    TMValueEdit v;
    v.setViewStyles(TViewStyles{TViewStyle::vsDEC, TViewStyle::vsHEX});
    v.setViewStyle(TViewStyle::vsHEX);
    v.setValue(4096);
    QCOMPARE(v.notationButton()->text(), QString("HEX"));
    QTest::mouseClick(v.notationButton(), Qt::LeftButton);
    QCOMPARE(v.ViewStyle(), TViewStyle::vsDEC);
    QCOMPARE(v.edit()->text(), QString("4096"));
    QCOMPARE(v.notationButton()->text(), QString("DEC"));
    QTest::mouseClick(v.notationButton(), Qt::LeftButton);
    QCOMPARE(v.ViewStyle(), TViewStyle::vsHEX);
    QCOMPARE(v.edit()->text(), QString("1000"));
    v.setViewStyles(TViewStyles{TViewStyle::vsHEX});
    QTest::mouseClick(v.notationButton(), Qt::LeftButton);
    QCOMPARE(v.ViewStyle(), TViewStyle::vsHEX);
}

void ValueEditTest::valueIsClampedAndRewrittenOnFocusOut() {
    QWidget window;
    auto* v = new TMValueEdit(&window);
    auto* other = new QLineEdit(&window);
    v->setViewStyle(TViewStyle::vsHEX);
    v->setMinimum(0);
    v->setMaximum(1048575);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    v->edit()->setFocus();
    v->edit()->selectAll();
    QTest::keyClicks(v->edit(), "1FFFFF");
    QCOMPARE(v->edit()->text(), QString("1FFFFF"));
    QCOMPARE(v->Value(), 1048575.0); // a reader never sees the typed excess
    QCOMPARE(v->IValue(), 1048575);
    other->setFocus();
    QTRY_COMPARE(v->edit()->text(), QString("FFFFF"));

    v->setValue(-5);
    QCOMPARE(v->edit()->text(), QString("0"));
    v->setMinimum(32);
    v->setMaximum(4096);
    QCOMPARE(v->edit()->text(), QString("20")); // new limits rewrite a value outside them
}

void ValueEditTest::noLimitsByDefault() {
    TMEdit edit;
    edit.setValue(-70000);
    QCOMPARE(edit.Value(), -70000.0);
    edit.setValue(5e6);
    QCOMPARE(edit.text(), QString("5000000"));
}

void ValueEditTest::loneMinusReadsZero() {
    TMEdit edit;
    edit.clear();
    QTest::keyClicks(&edit, "-");
    QCOMPARE(edit.text(), QString("-")); // still typing: left alone
    QCOMPARE(edit.Value(), 0.0);
    edit.normalize();
    QCOMPARE(edit.text(), QString("0"));
}

void ValueEditTest::arrowKeysStep() {
    TMEdit edit;
    edit.setPrecision(0.1);
    edit.setValue(1);
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QString("1.1"));
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    QCOMPARE(edit.text(), QString("0.9"));
    edit.setViewStyle(TViewStyle::vsHEX); // a fraction cannot be shown: the step is 1
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QString("2"));
    QCOMPARE(edit.Value(), 2.0);
}

void ValueEditTest::autoRepeat_data() {
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<int>("expected");
    QTest::newRow("click up") << true << 80 << 101;
    QTest::newRow("click down") << false << 80 << 99;
    QTest::newRow("half a second") << true << 550 << 101;
    QTest::newRow("one second") << true << 1000 << 105;
    QTest::newRow("two seconds down") << false << 2000 << 85;
}

void ValueEditTest::autoRepeat() {
    QFETCH(bool, up);
    QFETCH(int, holdMs);
    QFETCH(int, expected);
    std::chrono::milliseconds now{50'000};
    TMValueEdit v;
    v.setClock([&now] { return now; });
    v.setValue(100);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QToolButton* button = up ? v.upButton() : v.downButton();
    QTest::mousePress(button, Qt::LeftButton);
    // The repeat timer fires on its own; the simulated clock alone decides how many steps are due.
    for (int t = 100; t <= holdMs; t += 100) {
        now += std::chrono::milliseconds{100};
        QTest::qWait(130);
        if (t <= 500)
            QCOMPARE(v.IValue(), 100); // nothing before the delay is over
    }
    if (holdMs >= 700)
        QVERIFY(v.IValue() != 100); // the timer stepped while held
    now = std::chrono::milliseconds{50'000 + holdMs};
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(v.IValue(), expected);
}

void ValueEditTest::readOnlyIgnoresSpins() {
    TMValueEdit v;
    v.setValue(7);
    v.setReadOnly(true);
    QTest::mouseClick(v.upButton(), Qt::LeftButton);
    QTest::keyClick(v.edit(), Qt::Key_Up);
    QCOMPARE(v.IValue(), 7);
}

QTEST_MAIN(ValueEditTest)
#include "value_edit_test.moc"
