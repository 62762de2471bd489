// SPDX-License-Identifier: MIT
// Engineering prefix and unit texts per function code.
#include <QtTest>

#include "FunctionTexts.h"

using namespace dmm;

class TestFunctionTexts : public QObject
{
    Q_OBJECT
private slots:
    void prefix_data();
    void prefix();
    void unit_data();
    void unit();
};

void TestFunctionTexts::prefix_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<int>("prefixExp");
    QTest::addColumn<QString>("prefix");

    QTest::newRow("DC mV") << 6 << "-2" << -3 << "m";
    QTest::newRow("AC mV, -1") << 5 << "-1" << -3 << "m";
    QTest::newRow("volts, exponent 0: no prefix") << 6 << "0" << 1 << "";
    QTest::newRow("volts with kilo: no prefix") << 7 << "3" << 1 << "";
    QTest::newRow("plain volts never") << 4 << "-2" << 0 << "";
    QTest::newRow("capacitance nano") << 8 << "-2" << -9 << "n";
    QTest::newRow("capacitance nano, 0") << 8 << "0" << -9 << "n";
    QTest::newRow("capacitance micro") << 8 << "3" << -6 << "u";
    QTest::newRow("capacitance milli") << 8 << "4" << -3 << "m";
    QTest::newRow("capacitance 5") << 8 << "5" << 0 << "";
    QTest::newRow("ohms mega") << 128 << "7" << 6 << "M";
    QTest::newRow("ohms kilo") << 384 << "3" << 3 << "K";
    QTest::newRow("ohms -1") << 128 << "-1" << 0 << "";
    QTest::newRow("ohms -4") << 128 << "-4" << -3 << "m";
    QTest::newRow("ohms giga has no letter") << 128 << "9" << 9 << "";
    QTest::newRow("hertz kilo") << 1024 << "5" << 3 << "K";
    QTest::newRow("amperes micro") << 514 << "-4" << -6 << "u";
    QTest::newRow("amperes micro -3") << 513 << "-3" << -6 << "u";
    QTest::newRow("amperes milli") << 515 << "-1" << -3 << "m";
    QTest::newRow("amperes 0") << 514 << "0" << 0 << "";
    QTest::newRow("volt-amperes kilo") << 516 << "5" << 3 << "K";
    QTest::newRow("volt-amperes 3") << 516 << "3" << 0 << "";
    QTest::newRow("temperature") << 32 << "-2" << 0 << "";
    QTest::newRow("no function") << 0 << "-2" << 0 << "";
    QTest::newRow("exponent not an integer") << 128 << "x" << 0 << "";
}

void TestFunctionTexts::prefix()
{
    QFETCH(int, function);
    QFETCH(QString, exponent);
    QFETCH(int, prefixExp);
    QFETCH(QString, prefix);
    const int exp = GetPrefixExp(function, exponent.toStdString());
    QCOMPARE(exp, prefixExp);
    FixedText<8> text;
    QCOMPARE(GetPrefixText(function, exp, text), prefix.size());
    QCOMPARE(QString::fromStdString(text.str()), prefix);
}

void TestFunctionTexts::unit_data()
{
    QTest::addColumn<quint32>("word");
    QTest::addColumn<QString>("unit");
    QTest::newRow("4") << 4u << "V";
    QTest::newRow("7") << 7u << "V";
    QTest::newRow("8") << 8u << "F";
    QTest::newRow("32") << 32u << "C";
    QTest::newRow("64") << 64u << "F";
    QTest::newRow("128") << 128u << "W";
    QTest::newRow("384") << 384u << "W";
    QTest::newRow("513") << 513u << "A";
    QTest::newRow("516") << 516u << "VA";
    QTest::newRow("1024") << 1024u << "Hz";
    QTest::newRow("0") << 0u << "";
    QTest::newRow("0x40000000") << 0x40000000u << "";
    QTest::newRow("low battery ohms") << 0x80000080u << "W";
    QTest::newRow("low battery temperature") << 0x80000020u << "C";
}

void TestFunctionTexts::unit()
{
    QFETCH(quint32, word);
    QFETCH(QString, unit);
    FixedText<8> text;
    QCOMPARE(GetUnitText(word, text), unit.size());
    QCOMPARE(QString::fromStdString(text.str()), unit);
}

QTEST_APPLESS_MAIN(TestFunctionTexts)
#include "tst_functiontexts.moc"
