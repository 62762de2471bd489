// SPDX-License-Identifier: MIT
// Value formatting per function code: value text, scale, value and the
// digital meter's text, including the unusual exponents.
#include <QtTest>

#include "NumberText.h"
#include "ValueFormat.h"

using namespace dmm;

namespace {

CurrentReading readingOf(const char* digits, const char* exponent, int function)
{
    CurrentReading r;
    r.sDigits = digits;
    r.sExponent = exponent;
    r.iFunction = function;
    r.dwRawFunction = static_cast<std::uint32_t>(function);
    return r;
}

} // namespace

class TestValueFormat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { setDecimalSeparator('.'); }
    void formats_data();
    void formats();
    void absurdExponentIsCutToTheField_data();
    void absurdExponentIsCutToTheField();
    void unformattedFunctionKeepsScaleAndValue();
    void noFunctionWithoutScaleThreeKeepsValueText();
    void notANumberKeepsValue();
    void prefixAndUnitFollowTheFrame();
    void ignoresTheLocaleSeparator();
};

void TestValueFormat::formats_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("meter");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("dValue");

    QTest::newRow("-1.234 V DC") << "-1.234"
                                 << "0" << 6 << "-1.234"
                                 << "-1.234" << 0 << -1.234;
    QTest::newRow("12.34 mV") << "1.234"
                              << "-2" << 6 << "12.34"
                              << "12.34" << 1 << 1.234;
    QTest::newRow("1234 V, no point") << "1.234"
                                      << "3" << 6 << "1234"
                                      << "1234" << 3 << 1.234;
    QTest::newRow("negative with d 3 is 5 wide") << "-1.234"
                                                 << "3" << 6 << "-1234"
                                                 << "-1234" << 3 << -1.234;
    QTest::newRow("leading zero kept: 01.20") << "0.120"
                                              << "1" << 6 << "01.20"
                                              << "01.20" << 1 << 0.12;
    QTest::newRow("negative leading zero: the sign counts in the width") << "-0.120"
                                                                         << "1" << 6 << "-01.20"
                                                                         << "-01.20" << 1 << -0.12;
    QTest::newRow("negative ohms, five wide") << "-1.234"
                                              << "4" << 128 << "-12.34"
                                              << "-12.34" << 1 << -1.234;
    QTest::newRow("plain volts") << "1.234"
                                 << "0" << 4 << "1.234"
                                 << "1.234" << 0 << 1.234;
    QTest::newRow("0x40000000 like volts") << "1.234"
                                           << "-1" << 0x40000000 << "123.4"
                                           << "123.4" << 2 << 1.234;
    QTest::newRow("123.4 uA") << "1.234"
                              << "-4" << 514 << "123.4"
                              << "123.4" << 2 << 1.234;
    QTest::newRow("AC amperes, exponent 0") << "1.234"
                                            << "0" << 513 << "1.234"
                                            << "1.234" << 0 << 1.234;
    QTest::newRow("AC amperes, positive exponent") << "1.234"
                                                   << "1" << 513 << "12.34"
                                                   << "12.34" << 1 << 1.234;
    QTest::newRow("12.34 MOhm") << "1.234"
                                << "7" << 128 << "12.34"
                                << "12.34" << 1 << 1.234;
    QTest::newRow("ohms, negative exponent") << "1.234"
                                             << "-1" << 384 << "0.1234"
                                             << "0.1234" << -1 << 1.234;
    QTest::newRow("12.34 Hz") << "1.234"
                              << "1" << 1024 << "12.34"
                              << "12.34" << 1 << 1.234;
    QTest::newRow("10.00 nF") << "1.000"
                              << "-2" << 8 << "10.00"
                              << "10.00" << 1 << 1.0;
    QTest::newRow("capacitance d 3") << "1.234"
                                     << "0" << 8 << "1234"
                                     << "1234" << 3 << 1.234;
    QTest::newRow("253 C: unit cut, d 2") << "2.53C"
                                          << "2" << 32 << "253"
                                          << "253" << 2 << 253.0;
    QTest::newRow("25.3 C") << "2.53C"
                            << "1" << 32 << "25.3"
                            << "25.3" << 1 << 25.3;
    QTest::newRow("-7.8 F") << "-0.78F"
                            << "1" << 64 << "-7.8"
                            << "-7.8" << 1 << -7.8;
    QTest::newRow("no function, 1234") << "1.234"
                                       << "3" << 0 << "1234"
                                       << "1234" << 3 << 1234.0;
    QTest::newRow("OL in ohms: raw text") << "OL"
                                          << "3" << 128 << "OL"
                                          << "OL" << 0 << 0.0;
    QTest::newRow("-O.L in volts: raw text") << "-O.L"
                                             << "1" << 6 << "-O.L"
                                             << "-O.L" << 1 << 0.0;
    QTest::newRow("blank display: raw text") << "    "
                                             << "3" << 0 << "    "
                                             << "    " << 3 << 0.0;
    QTest::newRow("text beginning with A") << "A203"
                                           << "3" << 6 << "A203"
                                           << "A203" << 3 << 0.0;
    QTest::newRow("AC+DC volts are not formatted") << "1.234"
                                                   << "0" << 7 << "1.234"
                                                   << "----" << 0 << 0.0;
    QTest::newRow("volt-amperes are not formatted") << "1.234"
                                                    << "0" << 516 << "1.234"
                                                    << "----" << 0 << 0.0;
    QTest::newRow("AC+DC amperes are not formatted") << "OL"
                                                     << "0" << 515 << "OL"
                                                     << "----" << 0 << 0.0;
    QTest::newRow("large negative exponent") << "1.234"
                                             << "-12" << 6 << "0.000000001234"
                                             << "0.000000001234" << -9 << 1.234;
}

void TestValueFormat::formats()
{
    QFETCH(QString, digits);
    QFETCH(QString, exponent);
    QFETCH(int, function);
    QFETCH(QString, value);
    QFETCH(QString, meter);
    QFETCH(int, decimals);
    QFETCH(double, dValue);

    CurrentReading r =
        readingOf(digits.toLatin1().constData(), exponent.toLatin1().constData(), function);
    const MeterText meterText = formatValue(r);
    QCOMPARE(QString::fromStdString(r.szValue.str()), value);
    QVERIFY(meterText.has_value());
    QCOMPARE(QString::fromStdString(*meterText), meter);
    QCOMPARE(r.iDecimals, decimals);
    QVERIFY(qAbs(r.dValue - dValue) < 1e-9);
}

void TestValueFormat::absurdExponentIsCutToTheField_data()
{
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<QString>("value");
    // A negative precision means "as if omitted" (6 decimals) in C; the text
    // would be longer than the field and is cut to its 15 characters.
    QTest::newRow("e 20") << "20"
                          << "123400000000000";
    QTest::newRow("e -30") << "-30"
                           << "0.0000000000000";
}

void TestValueFormat::absurdExponentIsCutToTheField()
{
    QFETCH(QString, exponent);
    QFETCH(QString, value);
    CurrentReading r = readingOf("1.234", exponent.toLatin1().constData(), 6);
    formatValue(r);
    QCOMPARE(QString::fromStdString(r.szValue.str()), value);
    QCOMPARE(r.szValue.chars().back(), '\0');
}

void TestValueFormat::unformattedFunctionKeepsScaleAndValue()
{
    CurrentReading r = readingOf("1.234", "-2", 6);
    formatValue(r);
    r.sDigits = "5.678";
    r.sExponent = "0";
    r.iFunction = 7;
    formatValue(r);
    QCOMPARE(r.iDecimals, 1);
    QCOMPARE(r.dValue, 1.234);
    QCOMPARE(QString::fromStdString(r.szValue.str()), QStringLiteral("5.678"));
}

void TestValueFormat::noFunctionWithoutScaleThreeKeepsValueText()
{
    CurrentReading r = readingOf("1.234", "-2", 6);
    formatValue(r);
    r.sDigits = "5.678";
    r.sExponent = "2";
    r.iFunction = 0;
    QVERIFY(!formatValue(r).has_value());
    QCOMPARE(QString::fromStdString(r.szValue.str()), QStringLiteral("12.34"));
    QCOMPARE(r.dValue, 567.8);
}

void TestValueFormat::notANumberKeepsValue()
{
    CurrentReading r = readingOf("1.234", "-2", 6);
    formatValue(r);
    r.sDigits = "-OL";
    formatValue(r);
    QCOMPARE(r.dValue, 1.234);
    QCOMPARE(QString::fromStdString(r.szValue.str()), QStringLiteral("-OL"));
}

void TestValueFormat::prefixAndUnitFollowTheFrame()
{
    CurrentReading r;
    const MeterText meter = applyFrame(r, DecodedFrame{"1.234", "-4", 0x80000202u});
    QCOMPARE(r.iFunction, 514);
    QCOMPARE(r.dwRawFunction, 0x80000202u);
    QCOMPARE(QString::fromStdString(*meter), QStringLiteral("123.4"));
    QCOMPARE(r.iPrefixExp, -6);
    QCOMPARE(QString::fromStdString(r.szPrefix.str()), QStringLiteral("u"));
    QCOMPARE(QString::fromStdString(r.szUnit.str()), QStringLiteral("A"));
}

void TestValueFormat::ignoresTheLocaleSeparator()
{
    // The program's separator may still be the locale's; the loop's formats always use '.'.
    setDecimalSeparator(',');
    CurrentReading r = readingOf("1.234", "-2", 6);
    formatValue(r);
    setDecimalSeparator('.');
    QCOMPARE(QString::fromStdString(r.szValue.str()), QStringLiteral("12.34"));
}

QTEST_APPLESS_MAIN(TestValueFormat)
#include "tst_valueformat.moc"
