// SPDX-License-Identifier: MIT
// The comparator: its needle against the limits, what it takes from a reading,
// when the alarm sounds, and the limits it hands back to the main window.
#include <QtTest>

#include "ComparatorForm.h"
#include "ComparatorLogic.h"
#include "DlgHiLowForm.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <utility>
#include <vector>

using namespace dmm;

Q_DECLARE_METATYPE(dmm::AlarmTone)
Q_DECLARE_METATYPE(dmm::ComparatorNotice)

namespace {

CurrentReading reading(int function, const char* value, const char* digits, const char* prefix = "",
                       const char* unit = "V")
{
    CurrentReading r;
    r.iFunction = function;
    r.szValue = value;
    r.sDigits = digits;
    r.szPrefix = prefix;
    r.szUnit = unit;
    return r;
}

} // namespace

class TestComparator : public QObject
{
    Q_OBJECT
private slots:
    void needle_data();
    void needle();
    void handOver_data();
    void handOver();
    void nonNumberIsNotPosted();
    void tone_data();
    void tone();

    void createdHiddenAndPlaced();
    void limitsShownInTheGeneralConversion();
    void paintRewritesTheLimitsWithTheCurrentSeparator();
    void readingMovesTheNeedle();
    void alarmButtonToggles();
    void toneOnlyWhenAlarmIsOn();
    void acceptedLimitsAreWrittenBack();
    void refusedOrCancelledDialogChangesNothing();
    void panelsFollowTheFunction();
    void limitButtonHasAnAccessibleName();
    void notice_data();
    void notice();
    void desktopHearsWhenTheAlarmStartsAndEnds();
    void notifyChoiceIsWrittenBackOnOkOnly();

private:
    void deliver(TComparatorForm& form, const CurrentReading& r);
};

void TestComparator::needle_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("angle");
    QTest::newRow("0 with limits 1..3: lower end") << 0.0f << 3.0 << 1.0 << 130.0;
    QTest::newRow("1: at the lower limit") << 1.0f << 3.0 << 1.0 << 110.0;
    QTest::newRow("2: midway, straight up") << 2.0f << 3.0 << 1.0 << 90.0;
    QTest::newRow("3: at the upper limit") << 3.0f << 3.0 << 1.0 << 70.0;
    QTest::newRow("4: upper end") << 4.0f << 3.0 << 1.0 << 50.0;
    QTest::newRow("far above: stop at 50") << 1e6f << 3.0 << 1.0 << 50.0;
    QTest::newRow("far below: stop at 130") << -1e6f << 3.0 << 1.0 << 130.0;
    QTest::newRow("negative limits, midway") << -15.0f << -10.0 << -20.0 << 90.0;
    QTest::newRow("equal limits: no number, rest") << 2.0f << 2.0 << 2.0 << 130.0;
}

void TestComparator::needle()
{
    QFETCH(float, value);
    QFETCH(double, hi);
    QFETCH(double, low);
    QFETCH(double, angle);
    const double actual = comparatorNeedleAngle(value, hi, low);
    QVERIFY2(std::fabs(actual - angle) < 1e-4, qPrintable(QString::number(actual, 'g', 17)));
}

void TestComparator::handOver_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<float>("stored");
    QTest::newRow("number") << "1.500"
                            << "1.500" << 1.5f;
    QTest::newRow("negative number") << "-0.567"
                                     << "-0.567" << -0.567f;
    QTest::newRow("OL: half a band above the upper limit") << "OL"
                                                           << "OL" << 4.0f;
    QTest::newRow("O.L") << "O.L"
                         << "O.L" << 4.0f;
    QTest::newRow("-OL: half a band below the lower limit") << "-OL"
                                                            << "-OL" << 0.0f;
    QTest::newRow("-.OL") << "-.OL"
                          << "-.OL" << 0.0f;
}

void TestComparator::handOver()
{
    QFETCH(QString, value);
    QFETCH(QString, digits);
    ComparatorInputs in;
    const bool posted = handOverComparator(
        in, reading(128, value.toLatin1().constData(), digits.toLatin1().constData(), "K", "W"),
        3.0, 1.0);
    QVERIFY(posted);
    QTEST(in.value, "stored");
    QCOMPARE(in.iFunction, 128);
    QCOMPARE(in.prefix.str(), std::string("K"));
    QCOMPARE(in.unit.str(), std::string("W"));
}

void TestComparator::nonNumberIsNotPosted()
{
    ComparatorInputs in;
    QVERIFY(handOverComparator(in, reading(5, "1.500", "1.500"), 3.0, 1.0));
    for (const char* text : {"    ", "A123", "----"}) {
        QVERIFY2(!handOverComparator(in, reading(7, text, text, "m", "A"), 3.0, 1.0), text);
        QCOMPARE(in.value, 1.5f);
        QCOMPARE(in.iFunction, 7); // the texts are copied all the same
        QCOMPARE(in.unit.str(), std::string("A"));
    }
}

void TestComparator::tone_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("low");
    QTest::addColumn<int>("frequency");
    QTest::newRow("inside") << 2.0f << 3.0 << 1.0 << 0;
    QTest::newRow("equal to the upper limit") << 3.0f << 3.0 << 1.0 << 0;
    QTest::newRow("equal to the lower limit") << 1.0f << 3.0 << 1.0 << 0;
    QTest::newRow("above: high C") << 3.5f << 3.0 << 1.0 << 1047;
    QTest::newRow("below: C an octave down") << 0.5f << 3.0 << 1.0 << 523;
    // The reading is single precision, the limits double: 0.1f is a little
    // more than 0.1, 0.7f a little less than 0.7.
    QTest::newRow("0.1f against an upper limit of 0.1") << 0.1f << 0.1 << 0.0 << 1047;
    QTest::newRow("0.7f against a lower limit of 0.7") << 0.7f << 1.0 << 0.7 << 523;
    QTest::newRow("0.5f exact in both") << 0.5f << 0.5 << 0.0 << 0;
}

void TestComparator::tone()
{
    QFETCH(float, value);
    QFETCH(double, hi);
    QFETCH(double, low);
    QTEST(toneFrequency(alarmToneFor(value, hi, low)), "frequency");
}

void TestComparator::deliver(TComparatorForm& form, const CurrentReading& r)
{
    if (handOverComparator(form.inputs(), r, form.hiLimit(), form.lowLimit())) {
        postViewMessage(&form, WM_DMM_NEWDATA);
        QCoreApplication::sendPostedEvents(&form);
    }
}

void TestComparator::createdHiddenAndPlaced()
{
    QWidget mainWindow;
    mainWindow.resize(800, 90);
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(&mainWindow, &hi, &low);
    QVERIFY(form.isHidden());
    QCOMPARE(form.windowTitle(), QStringLiteral("Comparator"));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    const int f = 2 * sizingFrameHeight() + captionHeight();
    const int buttons = form.bbtnAlart->height() + form.bbtnHiLowLimit->height();
    QCOMPARE(outerSize(&form), QSize(201 + f, 122 + buttons + f + 2));
    const int screenHeight = screenMetrics().screen.height();
    const int mainHeight = outerHeight(&mainWindow);
    QCOMPARE(form.frameGeometry().topLeft(),
             QPoint(f, (screenHeight - mainHeight) / 4 + mainHeight + f));

    // The buttons under the dial, the limit panels beside the limit button.
    const QRect alarm = form.bbtnAlart->geometry();
    const QRect limits = form.bbtnHiLowLimit->geometry();
    QCOMPARE(alarm.width(), 201);
    QCOMPARE(alarm.top(), 123);
    QCOMPARE(limits.left(), alarm.left());
    QCOMPARE(limits.top(), alarm.bottom() + 2);
    QCOMPARE(form.Panel1->geometry(), QRect(limits.right() + 3, limits.top(),
                                            201 - limits.width() - 2, limits.height() / 2));
    QCOMPARE(form.Panel2->geometry(), form.Panel1->geometry().translated(0, limits.height() / 2));
    QCOMPARE(form.needlePivot(), QPoint(form.width() / 2, 99));
}

void TestComparator::limitsShownInTheGeneralConversion()
{
    double hi = 1.50;
    double low = 0.00001;
    TComparatorForm form(nullptr, &hi, &low);
    QCOMPARE(form.hiLimit(), 1.5);
    QCOMPARE(form.HiLimitPanel->text(), QStringLiteral("1.5"));
    QCOMPARE(form.LowLimitPanel->text(), QStringLiteral("1E-5"));
    QVERIFY(!form.alarmOn());
    QCOMPARE(form.bbtnAlart->text(), QStringLiteral("OFF"));
}

void TestComparator::paintRewritesTheLimitsWithTheCurrentSeparator()
{
    // A comma locale before the first frame, "." from the first frame on.
    setDecimalSeparator(',');
    double hi = 2.5;
    double low = -0.25;
    TComparatorForm form(nullptr, &hi, &low);
    QCOMPARE(form.HiLimitPanel->text(), QStringLiteral("2,5"));
    setDecimalSeparator('.');
    form.grab(); // a paint
    setDecimalSeparator(',');
    QCOMPARE(form.HiLimitPanel->text(), QStringLiteral("2.5"));
    QCOMPARE(form.LowLimitPanel->text(), QStringLiteral("-0.25"));
    setDecimalSeparator('.');
}

void TestComparator::readingMovesTheNeedle()
{
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(nullptr, &hi, &low);
    form.show();
    QCOMPARE(form.needleAngle(), 130.0);
    deliver(form, reading(5, "2.000", "2.000"));
    QCOMPARE(form.needleAngle(), 90.0);
    QCOMPARE(form.previousNeedleAngle(), 130.0);
    deliver(form, reading(5, "OL", "OL"));
    QCOMPARE(form.needleAngle(), 50.0);
    deliver(form, reading(5, "A---", "A---")); // not told: the needle stays
    QCOMPARE(form.needleAngle(), 50.0);
    QCOMPARE(form.previousNeedleAngle(), 90.0);
}

void TestComparator::alarmButtonToggles()
{
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(nullptr, &hi, &low);
    QTest::mouseClick(form.bbtnAlart, Qt::LeftButton);
    QVERIFY(form.alarmOn());
    QCOMPARE(form.bbtnAlart->text(), QStringLiteral("ON"));
    QTest::mouseClick(form.bbtnAlart, Qt::LeftButton);
    QVERIFY(!form.alarmOn());
    QCOMPARE(form.bbtnAlart->text(), QStringLiteral("OFF"));
}

void TestComparator::toneOnlyWhenAlarmIsOn()
{
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(nullptr, &hi, &low);
    std::vector<std::pair<int, int>> tones;
    form.setTonePlayer([&tones](int hz, int ms) { tones.emplace_back(hz, ms); });

    deliver(form, reading(5, "5.000", "5.000"));
    QVERIFY(tones.empty()); // alarm off: the needle moves, nothing sounds
    QCOMPARE(form.needleAngle(), 50.0);

    form.bbtnAlartClick();
    deliver(form, reading(5, "5.000", "5.000"));
    deliver(form, reading(5, "3.000", "3.000")); // on the limit: quiet
    deliver(form, reading(5, "2.000", "2.000"));
    deliver(form, reading(5, "0.500", "0.500"));
    deliver(form, reading(5, "-OL", "-OL"));
    deliver(form, reading(5, "OL", "OL"));
    const std::vector<std::pair<int, int>> expected{
        {1047, 100}, {523, 100}, {523, 100}, {1047, 100}};
    QCOMPARE(tones, expected);

    form.bbtnAlartClick();
    deliver(form, reading(5, "9.000", "9.000"));
    QCOMPARE(tones.size(), expected.size());
}

void TestComparator::acceptedLimitsAreWrittenBack()
{
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(nullptr, &hi, &low);
    form.show();
    deliver(form, reading(5, "2.000", "2.000", "m", "V"));
    const double angleBefore = form.needleAngle();

    TDlgHiLowForm* dialog = form.limitDialog();
    QVERIFY(dialog);
    bool sawPrefix = false;
    QTimer::singleShot(0, dialog, [dialog, &sawPrefix] {
        sawPrefix = dialog->prefix == QStringLiteral("m") && dialog->pendingHi == 3.0;
        dialog->mkeHiLimit->setText(QStringLiteral("2.5"));
        dialog->mkeLowLimit->setText(QStringLiteral("-0.25"));
        QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton);
    });
    form.bbtnHiLowLimitClick();
    QVERIFY(sawPrefix);
    QCOMPARE(form.hiLimit(), 2.5);
    QCOMPARE(form.lowLimit(), -0.25);
    QCOMPARE(hi, 2.5);
    QCOMPARE(low, -0.25);
    QCOMPARE(form.HiLimitPanel->text(), QStringLiteral("2.5"));
    QCOMPARE(form.LowLimitPanel->text(), QStringLiteral("-0.25"));
    QCOMPARE(form.needleAngle(), angleBefore); // until the next reading

    deliver(form, reading(5, "2.500", "2.500", "m", "V"));
    QVERIFY(std::fabs(form.needleAngle() - 70.0) < 1e-4);
}

void TestComparator::refusedOrCancelledDialogChangesNothing()
{
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(nullptr, &hi, &low);
    std::vector<MessageBoxRequest> boxes;
    setMessageBoxHandler([&boxes](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return int(QMessageBox::Ok);
    });
    TDlgHiLowForm* dialog = form.limitDialog();
    bool stayedOpen = false;
    QTimer::singleShot(0, dialog, [dialog, &stayedOpen] {
        dialog->mkeHiLimit->setText(QStringLiteral("1"));
        QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton); // 1 > 1 fails: E9008
        stayedOpen = dialog->isVisible();
        QTest::mouseClick(dialog->bbtnCancel, Qt::LeftButton);
    });
    form.bbtnHiLowLimitClick();
    setMessageBoxHandler({});
    QVERIFY(stayedOpen);
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes.front().caption, QStringLiteral("Error[E9008]"));
    QCOMPARE(hi, 3.0);
    QCOMPARE(low, 1.0);
    QCOMPARE(form.hiLimit(), 3.0);
    QCOMPARE(form.HiLimitPanel->text(), QStringLiteral("3"));
}

void TestComparator::panelsFollowTheFunction()
{
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(nullptr, &hi, &low);
    deliver(form, reading(128, "1.234", "1.234", "K", "W"));
    QCOMPARE(form.HiFuncPanel->text(), QString(QChar(0x03A9)));
    QCOMPARE(form.LowFuncPanel->text(), QString(QChar(0x03A9)));
    QCOMPARE(form.HiUnitPanel->text(), QStringLiteral("K"));
    QCOMPARE(form.HiFuncPanel->alignment(), Qt::Alignment(Qt::AlignCenter));

    deliver(form, reading(64, "77.0", "77.0F", "", "F"));
    QCOMPARE(form.HiFuncPanel->text(), QStringLiteral("F"));
    QCOMPARE(form.LowFuncPanel->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(form.LowUnitPanel->alignment(), Qt::AlignRight | Qt::AlignVCenter);

    deliver(form, reading(5, "1.234", "1.234", "m", "V"));
    QCOMPARE(form.HiUnitPanel->text(), QStringLiteral("m")); // the prefix is never Greek here
    QCOMPARE(form.HiUnitPanel->alignment(), Qt::Alignment(Qt::AlignCenter));
}

void TestComparator::limitButtonHasAnAccessibleName()
{
    double hi = 3.0;
    double low = 1.0;
    TComparatorForm form(nullptr, &hi, &low);
    form.show();
    QVERIFY(form.bbtnHiLowLimit->text().isEmpty()); // glyph only
    QVERIFY(!form.bbtnHiLowLimit->accessibleName().isEmpty());
    QVERIFY(!form.bbtnHiLowLimit->toolTip().isEmpty());
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(form.bbtnHiLowLimit);
    QVERIFY(button);
    QVERIFY(!button->text(QAccessible::Name).isEmpty());
    QVERIFY(!form.HiLimitPanel->accessibleName().isEmpty());

    deliver(form, reading(5, "5.000", "5.000", "m", "V"));
    QVERIFY2(form.accessibleDescription().contains(QStringLiteral("NG")),
             qPrintable(form.accessibleDescription()));
    deliver(form, reading(5, "2.000", "2.000", "m", "V"));
    QVERIFY2(form.accessibleDescription().contains(QStringLiteral("GO")),
             qPrintable(form.accessibleDescription()));
}

void TestComparator::notice_data()
{
    QTest::addColumn<AlarmTone>("before");
    QTest::addColumn<AlarmTone>("now");
    QTest::addColumn<ComparatorNotice>("notice");
    QTest::newRow("stays inside") << AlarmTone::None << AlarmTone::None << ComparatorNotice::None;
    QTest::newRow("leaves upwards")
        << AlarmTone::None << AlarmTone::High << ComparatorNotice::Started;
    QTest::newRow("leaves downwards")
        << AlarmTone::None << AlarmTone::Low << ComparatorNotice::Started;
    QTest::newRow("stays above") << AlarmTone::High << AlarmTone::High << ComparatorNotice::None;
    QTest::newRow("crosses to below")
        << AlarmTone::High << AlarmTone::Low << ComparatorNotice::Started;
    QTest::newRow("comes back from above")
        << AlarmTone::High << AlarmTone::None << ComparatorNotice::Ended;
    QTest::newRow("comes back from below")
        << AlarmTone::Low << AlarmTone::None << ComparatorNotice::Ended;
}

void TestComparator::notice()
{
    QFETCH(AlarmTone, before);
    QFETCH(AlarmTone, now);
    QTEST(comparatorNotice(before, now), "notice");
}

void TestComparator::desktopHearsWhenTheAlarmStartsAndEnds()
{
    double hi = 3.0;
    double low = 1.0;
    bool notify = true;
    TComparatorForm form(nullptr, &hi, &low);
    form.setNotifyTarget(&notify);
    QStringList heard;
    form.setNotifier(
        [&heard](const QString& summary, const QString& body) { heard << summary + " | " + body; });
    for (const char* value : {"2.000", "5.000", "4.000", "2.000", "0.500", "-OL", "2.500"})
        deliver(form, reading(5, value, value, "m", "V"));
    QCOMPARE(heard,
             QStringList({"Comparator: above the upper limit | 5 mV (limits 1 to 3 mV)",
                          "Comparator: back within the limits | 2 mV (limits 1 to 3 mV)",
                          "Comparator: below the lower limit | 0.5 mV (limits 1 to 3 mV)",
                          "Comparator: back within the limits | 2.5 mV (limits 1 to 3 mV)"}));

    // Without the choice, the desktop hears nothing.
    bool off = false;
    TComparatorForm quiet(nullptr, &hi, &low);
    quiet.setNotifyTarget(&off);
    heard.clear();
    quiet.setNotifier([&heard](const QString& summary, const QString&) { heard << summary; });
    deliver(quiet, reading(5, "5.000", "5.000", "m", "V"));
    QVERIFY(heard.isEmpty());
}

void TestComparator::notifyChoiceIsWrittenBackOnOkOnly()
{
    double hi = 3.0;
    double low = 1.0;
    bool notify = false;
    TComparatorForm form(nullptr, &hi, &low);
    form.setNotifyTarget(&notify);
    TDlgHiLowForm* dialog = form.limitDialog();
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->cbNotify->setChecked(true);
        dialog->bbtnCancel->click();
    });
    form.bbtnHiLowLimitClick();
    QVERIFY(!notify && !form.notifiesDesktop());
    bool wasShownOff = true;
    QTimer::singleShot(0, dialog, [dialog, &wasShownOff] {
        wasShownOff = !dialog->cbNotify->isChecked();
        dialog->cbNotify->setChecked(true);
        dialog->bbtnOk->click();
    });
    form.bbtnHiLowLimitClick();
    QVERIFY(wasShownOff);
    QVERIFY(notify && form.notifiesDesktop());
}

QTEST_MAIN(TestComparator)
#include "tst_comparator.moc"
