// SPDX-License-Identifier: MIT
// The analog meter: what it derives from a reading, where its needle stands,
// and what a reading makes the window draw.
#include <QtTest>

#include "AnalogMeterForm.h"
#include "AnalogMeterLogic.h"
#include "NumberText.h"
#include "ValueFormat.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

#include <QLabel>

#include <cmath>
#include <limits>

using namespace dmm;

namespace {

CurrentReading reading(int function, int decimals, const char* value, const char* digits,
                       const char* prefix = "", const char* unit = "V")
{
    CurrentReading r;
    r.iFunction = function;
    r.iDecimals = decimals;
    r.szValue = value;
    r.sDigits = digits;
    r.szPrefix = prefix;
    r.szUnit = unit;
    return r;
}

// A frequency reading the "keeps the previous values" rows start from.
AnalogInputs afterFrequencyReading()
{
    AnalogInputs in;
    handOverAnalog(in, reading(1024, 2, "12.34", "1.234", "K", "Hz"));
    return in;
}

} // namespace

class TestAnalogMeter : public QObject
{
    Q_OBJECT
private slots:
    void handOver_data();
    void handOver();
    void fromTheMetersDisplay_data();
    void fromTheMetersDisplay();
    void noDigitsKeepPreviousValues_data();
    void noDigitsKeepPreviousValues();
    void needleAngle_data();
    void needleAngle();
    void face_data();
    void face();
    void multiplier_data();
    void multiplier();
    void needleEndTruncates_data();
    void needleEndTruncates();

    void placedUnderTheDigitalMeterAndVisible();
    void readingMovesNeedleAndFillsPanels();
    void sweepEndsExactlyOnTheNewAngle();
    void identicalReadingsDrawNothing();
    void functionChangeRedrawsTheFace();
    void capacitanceRedrawsEveryTime();
    void ohmsShowTheOhmSign();
    void showingAgainShowsTheCurrentFace();
    void readingIsDescribedForScreenReaders();
    void pivotSitsOnTheFaceArc();

private:
    void deliver(TAnalogMeterForm& form, const CurrentReading& r);
};

void TestAnalogMeter::handOver_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<int>("fullScale");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("multExp");
    QTest::addColumn<double>("angle");

    QTest::newRow("DC volts 3.000: straight up") << 5 << 3 << "3.000"
                                                 << "3.000" << false << 6000 << 3000 << 3 << 90.0;
    QTest::newRow("DC volts -1.500: minus lamp, |count|")
        << 5 << 3 << "-1.500"
        << "-1.500" << true << 6000 << 1500 << 3 << 120.0;
    QTest::newRow("frequency 12.34, d 2: ten thousand, x100")
        << 1024 << 2 << "12.34"
        << "1.234" << false << 10000 << 1234 << 2 << 135.192;
    QTest::newRow("AC volts 01.20: leading zero counts as a digit")
        << 6 << 2 << "01.20"
        << "0.120" << false << 6000 << 120 << 2 << 147.6;
    QTest::newRow("overload OL in ohms: 25-degree stop")
        << 128 << 1 << "OL"
        << "OL" << false << 6000 << 6500 << 1 << 25.0;
    QTest::newRow("negative overload -O.L") << 5 << 3 << "-O.L"
                                            << "-O.L" << true << 6000 << 6500 << 3 << 25.0;
    QTest::newRow("capacitance 12.34: two thousand")
        << 8 << 2 << "12.34"
        << "1.234" << false << 2000 << 1234 << 2 << 75.96;
    QTest::newRow("capacitance 1234 without point")
        << 8 << 3 << "1234"
        << "1.234" << false << 2000 << 1234 << 3 << 75.96;
    QTest::newRow("temperature 25, d 2: thousand") << 32 << 2 << "25"
                                                   << "2.5" << false << 1000 << 25 << 2 << 147.0;
    QTest::newRow("code 0 with d 3: two thousand, x100")
        << 0 << 3 << "123"
        << "0.123" << false << 2000 << 123 << 2 << 142.62;
    QTest::newRow("code 0 with d 1") << 0 << 1 << "12.3"
                                     << "1.23" << false << 1000 << 123 << 1 << 135.24;
    QTest::newRow("516: ten to the n") << 516 << 1 << "123.4"
                                       << "1.234" << false << 10000 << 1234 << 1 << 135.192;
    QTest::newRow("ohms 12.34: six thousand") << 128 << 1 << "12.34"
                                              << "1.234" << false << 6000 << 1234 << 1 << 125.32;
}

void TestAnalogMeter::handOver()
{
    QFETCH(int, function);
    QFETCH(int, decimals);
    QFETCH(QString, value);
    QFETCH(QString, digits);
    AnalogInputs in;
    handOverAnalog(in, reading(function, decimals, value.toLatin1().constData(),
                               digits.toLatin1().constData(), "m", "W"));
    QCOMPARE(in.iFunction, function);
    QTEST(in.bNegative, "negative");
    QTEST(in.iFullScale, "fullScale");
    QTEST(in.iCount, "count");
    QTEST(in.iMultExp, "multExp");
    QCOMPARE(in.prefix.str(), std::string("m"));
    QCOMPARE(in.unit.str(), std::string("W"));
    QFETCH(double, angle);
    const double actual = analogNeedleAngle(in.iCount, in.iFullScale);
    QVERIFY2(std::fabs(actual - angle) < 1e-9, qPrintable(QString::number(actual, 'g', 17)));
}

void TestAnalogMeter::fromTheMetersDisplay_data()
{
    // The display as the meter sends it, formatted as the loop does, then handed over.
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<int>("fullScale");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("angle");
    QTest::newRow("DC volts 0.120, e 1") << "0.120"
                                         << "1" << 6 << "01.20" << false << 6000 << 120 << 147.6;
    QTest::newRow("DC volts -0.120, e 1: the sign keeps the leading zero")
        << "-0.120"
        << "1" << 6 << "-01.20" << true << 6000 << 120 << 147.6;
    QTest::newRow("DC volts -1.234, e 3") << "-1.234"
                                          << "3" << 6 << "-1234" << true << 6000 << 1234 << 125.32;
}

void TestAnalogMeter::fromTheMetersDisplay()
{
    QFETCH(QString, digits);
    QFETCH(QString, exponent);
    QFETCH(int, function);
    setDecimalSeparator('.');
    CurrentReading r;
    r.sDigits = digits.toLatin1().constData();
    r.sExponent = exponent.toLatin1().constData();
    r.iFunction = function;
    r.dwRawFunction = static_cast<std::uint32_t>(function);
    formatValue(r);
    QTEST(QString::fromStdString(r.szValue.str()), "value");
    AnalogInputs in;
    handOverAnalog(in, r);
    QTEST(in.bNegative, "negative");
    QTEST(in.iFullScale, "fullScale");
    QTEST(in.iCount, "count");
    QFETCH(double, angle);
    const double actual = analogNeedleAngle(in.iCount, in.iFullScale);
    QVERIFY2(std::fabs(actual - angle) < 1e-9, qPrintable(QString::number(actual, 'g', 17)));
}

void TestAnalogMeter::noDigitsKeepPreviousValues_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<bool>("negative");
    QTest::newRow("blank display") << 5 << "    "
                                   << "    " << false;
    QTest::newRow("text beginning with A") << 5 << "A 12"
                                           << "A 12" << false;
    QTest::newRow("ohms without a point: no digit text") << 128 << "1234"
                                                         << "1.234" << false;
    QTest::newRow("frequency without a point") << 1024 << "1234"
                                               << "1.234" << false;
    QTest::newRow("a lone minus") << 5 << "-"
                                  << "-" << true;
}

void TestAnalogMeter::noDigitsKeepPreviousValues()
{
    QFETCH(int, function);
    QFETCH(QString, value);
    QFETCH(QString, digits);
    AnalogInputs in = afterFrequencyReading();
    handOverAnalog(in, reading(function, 0, value.toLatin1().constData(),
                               digits.toLatin1().constData(), "", "V"));
    QCOMPARE(in.iFunction, function);
    QTEST(in.bNegative, "negative");
    QCOMPARE(in.unit.str(), std::string("V"));
    QCOMPARE(in.iCount, 1234);
    QCOMPARE(in.iFullScale, 10000);
    QCOMPARE(in.iMultExp, 2);
}

void TestAnalogMeter::needleAngle_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("fullScale");
    QTest::addColumn<double>("angle");
    QTest::newRow("zero") << 0 << 6000 << 150.0;
    QTest::newRow("full scale") << 6000 << 6000 << 30.0;
    QTest::newRow("negative count uses its size") << -3000 << 6000 << 90.0;
    QTest::newRow("a little over: not yet the stop") << 6200 << 6000 << 26.0;
    QTest::newRow("overload count: stop") << 6500 << 6000 << 25.0;
    QTest::newRow("far over: stop") << 1000000 << 6000 << 25.0;
    QTest::newRow("zero full scale, zero count: no number") << 0 << 0 << 25.0;
    QTest::newRow("zero full scale, some count: infinite") << 12 << 0 << 25.0;
    QTest::newRow("most negative count") << std::numeric_limits<int>::min() << 6000 << 25.0;
}

void TestAnalogMeter::needleAngle()
{
    QFETCH(int, count);
    QFETCH(int, fullScale);
    QFETCH(double, angle);
    QCOMPARE(analogNeedleAngle(count, fullScale), angle);
}

void TestAnalogMeter::face_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("face");
    QTest::newRow("0: 0..20") << 0 << 15;
    QTest::newRow("4: 0..10") << 4 << 13;
    QTest::newRow("32") << 32 << 13;
    QTest::newRow("64") << 64 << 13;
    QTest::newRow("516") << 516 << 13;
    QTest::newRow("1024") << 1024 << 13;
    QTest::newRow("8: 0..2") << 8 << 14;
    QTest::newRow("5: 0..6") << 5 << 30;
    QTest::newRow("128") << 128 << 30;
    QTest::newRow("384") << 384 << 30;
    QTest::newRow("unlisted 7") << 7 << 30;
    QTest::newRow("unlisted 0x40000000") << 0x40000000 << 30;
}

void TestAnalogMeter::face()
{
    QFETCH(int, function);
    QTEST(dialFaceFor(function), "face");
}

void TestAnalogMeter::multiplier_data()
{
    QTest::addColumn<int>("exponent");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "x1";
    QTest::newRow("1") << 1 << "x10";
    QTest::newRow("2") << 2 << "x100";
    QTest::newRow("3") << 3 << "x1000";
    QTest::newRow("negative") << -1 << "x0";
    QTest::newRow("past an int") << 10 << "x10000000000";
}

void TestAnalogMeter::multiplier()
{
    QFETCH(int, exponent);
    QTEST(multiplierText(exponent), "text");
}

void TestAnalogMeter::needleEndTruncates_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<int>("length");
    QTest::addColumn<QPoint>("end");
    QTest::newRow("90: straight up") << 90.0 << 100 << QPoint(0, -100);
    QTest::newRow("150: zero mark") << 150.0 << 100 << QPoint(-86, -50);
    // The factor is a hair below pi/180: the sine of 30 degrees stays under one half.
    QTest::newRow("30: full-scale mark") << 30.0 << 100 << QPoint(86, -49);
    QTest::newRow("25: stop") << 25.0 << 100 << QPoint(90, -42);
    QTest::newRow("180: just short of the left") << 180.0 << 100 << QPoint(-99, 0);
    QTest::newRow("comparator 110") << 110.0 << 70 << QPoint(-23, -65);
    QTest::newRow("comparator 50") << 50.0 << 70 << QPoint(44, -53);
    QTest::newRow("no number: stays at the pivot") << std::nan("") << 100 << QPoint(0, 0);
}

void TestAnalogMeter::needleEndTruncates()
{
    QFETCH(double, angle);
    QFETCH(int, length);
    QTEST(needleEnd(angle, length), "end");
}

void TestAnalogMeter::deliver(TAnalogMeterForm& form, const CurrentReading& r)
{
    handOverAnalog(form.inputs(), r);
    postViewMessage(&form, WM_DMM_NEWDATA);
    QCoreApplication::sendPostedEvents(&form);
}

void TestAnalogMeter::placedUnderTheDigitalMeterAndVisible()
{
    QWidget mainWindow;
    mainWindow.resize(800, 90);
    QWidget digitalMeter;
    digitalMeter.resize(200, 120);
    TAnalogMeterForm form(&mainWindow, &digitalMeter);
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("Analog Meter"));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    // Placed before the window system has framed it: the client area is the
    // outer size less the style's frame (the offscreen platform draws none).
    const int frame = dialogFrameHeight();
    QCOMPARE(form.width(), screenMetrics().screen.width() / 4 - 2 * frame);
    QCOMPARE(form.height(), 178 + 2 * frame);
    QCOMPARE(form.frameGeometry().top(), outerHeight(&mainWindow) + outerHeight(&digitalMeter));
    QCOMPARE(form.frameGeometry().left(), 0);
}

void TestAnalogMeter::readingMovesNeedleAndFillsPanels()
{
    TAnalogMeterForm form(nullptr, nullptr);
    QCOMPARE(form.angle(), 150.0);
    deliver(form, reading(1024, 2, "12.34", "1.234", "K", "Hz"));
    QTRY_VERIFY(!form.isSweeping());
    QVERIFY(std::fabs(form.angle() - 135.192) < 1e-9);
    QCOMPARE(form.previousAngle(), 150.0);
    QCOMPARE(form.MultPanel->text(), QStringLiteral("x100"));
    QCOMPARE(form.UnitPanel->text(), QStringLiteral("K"));
    QCOMPARE(form.FuncPanel->text(), QStringLiteral("Hz"));
    QCOMPARE(form.drawnFace(), 13);

    deliver(form, reading(128, 1, "OL", "OL", "M", "W"));
    QTRY_VERIFY(!form.isSweeping());
    QCOMPARE(form.shownAngle(), 25.0);
    QCOMPARE(form.MultPanel->text(), QStringLiteral("x10"));
}

void TestAnalogMeter::sweepEndsExactlyOnTheNewAngle()
{
    TAnalogMeterForm form(nullptr, nullptr);
    deliver(form, reading(5, 3, "3.000", "3.000"));
    QTRY_VERIFY(!form.isSweeping());
    const int framesBefore = form.needleFrameCount();
    deliver(form, reading(5, 3, "0.271", "0.271"));
    QVERIFY(form.isSweeping());
    const double target = 144.58; // 271 of 6000
    QCOMPARE(form.angle(), target);
    QVERIFY(form.shownAngle() != target); // the needle travels there
    QTRY_VERIFY(!form.isSweeping());
    QVERIFY(form.shownAngle() == form.angle()); // exactly, not within a rounding
    QCOMPARE(form.needleFrameCount() - framesBefore, TAnalogMeterForm::kSweepSteps);
}

void TestAnalogMeter::identicalReadingsDrawNothing()
{
    TAnalogMeterForm form(nullptr, nullptr);
    deliver(form, reading(5, 3, "-1.500", "-1.500", "", "V"));
    QTRY_VERIFY(!form.isSweeping());
    QCOMPARE(form.angle(), 120.0);
    QCoreApplication::processEvents();
    const int frames = form.needleFrameCount();
    const int repaints = form.repaintRequestCount();
    const int dials = form.dialDrawCount();

    deliver(form, reading(5, 3, "-1.500", "-1.500", "", "V"));
    QVERIFY(!form.isSweeping());
    QCOMPARE(form.previousAngle(), 120.0);
    QCOMPARE(form.needleFrameCount(), frames);
    QCOMPARE(form.repaintRequestCount(), repaints);
    QCOMPARE(form.dialDrawCount(), dials);
}

void TestAnalogMeter::functionChangeRedrawsTheFace()
{
    TAnalogMeterForm form(nullptr, nullptr);
    deliver(form, reading(6, 2, "01.20", "0.120"));
    QCOMPARE(form.drawnFunction(), 6);
    QCOMPARE(form.drawnFace(), 30);
    const int dials = form.dialDrawCount();

    deliver(form, reading(6, 2, "02.40", "0.240"));
    QCOMPARE(form.dialDrawCount(), dials); // same code: lamp, panels and needle only

    deliver(form, reading(1024, 2, "12.34", "1.234", "K", "Hz"));
    QCOMPARE(form.dialDrawCount(), dials + 1);
    QCOMPARE(form.drawnFunction(), 1024);
    QCOMPARE(form.drawnFace(), 13);
    QTRY_VERIFY(!form.isSweeping());
}

void TestAnalogMeter::capacitanceRedrawsEveryTime()
{
    TAnalogMeterForm form(nullptr, nullptr);
    deliver(form, reading(8, 2, "12.34", "1.234", "u", "F"));
    QCOMPARE(form.drawnFace(), 14);
    const int dials = form.dialDrawCount();
    deliver(form, reading(8, 2, "12.34", "1.234", "u", "F"));
    QCOMPARE(form.dialDrawCount(), dials + 1);
    QCOMPARE(form.UnitPanel->text(), QStringLiteral("u"));
}

void TestAnalogMeter::ohmsShowTheOhmSign()
{
    TAnalogMeterForm form(nullptr, nullptr);
    deliver(form, reading(128, 1, "12.34", "1.234", "K", "W"));
    QCOMPARE(form.FuncPanel->text(), QString(QChar(0x03A9)));
    QCOMPARE(form.UnitPanel->text(), QStringLiteral("K"));
    QCOMPARE(form.FuncPanel->alignment(), Qt::Alignment(Qt::AlignCenter));

    deliver(form, reading(32, 2, "25", "2.5", "", "C"));
    QCOMPARE(form.FuncPanel->text(), QStringLiteral("C"));
    QCOMPARE(form.FuncPanel->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(form.UnitPanel->alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

void TestAnalogMeter::showingAgainShowsTheCurrentFace()
{
    TAnalogMeterForm form(nullptr, nullptr);
    form.hide();
    // Hidden: the loop updates the inputs but posts nothing.
    handOverAnalog(form.inputs(), reading(8, 2, "12.34", "1.234", "u", "F"));
    QCOMPARE(form.drawnFace(), 30);
    form.show();
    QCOMPARE(form.drawnFace(), 14);
    QCOMPARE(form.UnitPanel->text(), QStringLiteral("u"));
    QCOMPARE(form.angle(), 150.0); // the needle waits for the next reading
}

void TestAnalogMeter::readingIsDescribedForScreenReaders()
{
    TAnalogMeterForm form(nullptr, nullptr);
    QCOMPARE(form.accessibleName(), QStringLiteral("Analog Meter"));
    deliver(form, reading(5, 3, "-1.500", "-1.500", "m", "V"));
    const QString description = form.accessibleDescription();
    QVERIFY2(description.contains(QStringLiteral("-1500")), qPrintable(description));
    QVERIFY2(description.contains(QStringLiteral("x1000")), qPrintable(description));
    QVERIFY2(description.contains(QStringLiteral("mV")), qPrintable(description));
}

void TestAnalogMeter::pivotSitsOnTheFaceArc()
{
    // The face's arc centre is 90 pixels in from its left edge; the face sits
    // 9 pixels into the frame. Odd and even client widths alike.
    for (const int width : {320, 321, 198}) {
        TAnalogMeterForm form(nullptr, nullptr);
        form.setFixedSize(width, form.height());
        QCOMPARE(form.frameLeft() + 9 + 90, form.needlePivot().x());
        QCOMPARE(form.needlePivot(), QPoint(width / 2, 132));
        QCOMPARE(form.Panel1->geometry(), QRect((width - 72) / 2, 78, 72, 20));
    }
}

QTEST_MAIN(TestAnalogMeter)
#include "tst_analogmeter.moc"
