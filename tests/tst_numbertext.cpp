// SPDX-License-Identifier: MIT
// The general number-to-text conversion and the text-to-number conversions.
#include <QtTest>

#include "NumberText.h"

#include <cmath>
#include <limits>

using namespace dmm;

class TestNumberText : public QObject
{
    Q_OBJECT
private slots:
    void general_data();
    void general();
    void parse_data();
    void parse();
    void integer_data();
    void integer();
    void separatorIsProgramWide();
};

void TestNumberText::general_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("precision"); // 0: the default, 15 digits
    QTest::addColumn<QString>("text");
    QTest::newRow("1.5") << 1.5 << 0 << "1.5";
    QTest::newRow("100") << 100.0 << 0 << "100";
    QTest::newRow("0.001") << 0.001 << 0 << "0.001";
    QTest::newRow("1E-5") << 1e-5 << 0 << "1E-5";
    QTest::newRow("0.0001 still fixed") << 0.0001 << 0 << "0.0001";
    QTest::newRow("negative") << -2.5 << 0 << "-2.5";
    QTest::newRow("negative zero") << -0.0 << 0 << "0";
    QTest::newRow("zero") << 0.0 << 0 << "0";
    QTest::newRow("15 integer digits fit") << 123456789012345.0 << 0 << "123456789012345";
    QTest::newRow("16 integer digits do not") << 1e15 << 0 << "1E15";
    QTest::newRow("rounding decides: 999999999999999.9") << 999999999999999.9 << 0 << "1E15";
    QTest::newRow("one third") << 1.0 / 3.0 << 0 << "0.333333333333333";
    QTest::newRow("two thirds") << 2.0 / 3.0 << 0 << "0.666666666666667";
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << 0 << "0.3";
    QTest::newRow("large") << 1.5e20 << 0 << "1.5E20";
    QTest::newRow("small negative") << -2.25e-7 << 0 << "-2.25E-7";
    QTest::newRow("float limit") << double(1.1f) << 0 << "1.10000002384186";
    QTest::newRow("7 digits") << 3.14159265 << 7 << "3.141593";
    QTest::newRow("7 digits, float") << double(0.001234f) << 7 << "0.001234";
    QTest::newRow("7 digits, big") << 12345678.0 << 7 << "1.234568E7";
    QTest::newRow("9900") << 9900.0 << 7 << "9900";
    QTest::newRow("16 digits asked for") << 2.0 / 3.0 << 16 << "0.6666666666666666";
}

void TestNumberText::general()
{
    QFETCH(double, value);
    QFETCH(int, precision);
    QFETCH(QString, text);
    setDecimalSeparator('.');
    const std::string actual =
        precision == 0 ? formatGeneral(value) : formatGeneral(value, precision, '.');
    QCOMPARE(QString::fromStdString(actual), text);
}

void TestNumberText::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "1.5" << QChar('.') << true << 1.5;
    QTest::newRow("blanks around") << "  -1.5 " << QChar('.') << true << -1.5;
    QTest::newRow("comma separator") << "1,5" << QChar(',') << true << 1.5;
    QTest::newRow("comma when point is used") << "1,5" << QChar('.') << false << 0.0;
    QTest::newRow("exponent") << "1.234E-3" << QChar('.') << true << 0.001234;
    QTest::newRow("plus sign") << "+3" << QChar('.') << true << 3.0;
    QTest::newRow("leading point") << ".5" << QChar('.') << true << 0.5;
    QTest::newRow("trailing point") << "5." << QChar('.') << true << 5.0;
    QTest::newRow("empty") << "" << QChar('.') << false << 0.0;
    QTest::newRow("blanks only") << "    " << QChar('.') << false << 0.0;
    QTest::newRow("letters") << "abc" << QChar('.') << false << 0.0;
    QTest::newRow("overload") << "O.L" << QChar('.') << false << 0.0;
    QTest::newRow("minus and blanks") << "-    " << QChar('.') << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << QChar('.') << false << 0.0;
    QTest::newRow("inner blank") << "1 2" << QChar('.') << false << 0.0;
    QTest::newRow("exponent without digits") << "1E" << QChar('.') << false << 0.0;
    QTest::newRow("point only") << "." << QChar('.') << false << 0.0;
    QTest::newRow("infinity text") << "inf" << QChar('.') << false << 0.0;
}

void TestNumberText::parse()
{
    QFETCH(QString, text);
    QFETCH(QChar, separator);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto parsed = parseDecimal(text.toStdString(), separator.toLatin1());
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
}

void TestNumberText::integer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("3") << "3" << true << 3;
    QTest::newRow("blanks") << " -12 " << true << -12;
    QTest::newRow("float") << "1.5" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("too big") << "99999999999" << false << 0;
}

void TestNumberText::integer()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    const auto parsed = parseInteger(text.toStdString());
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
}

void TestNumberText::separatorIsProgramWide()
{
    setDecimalSeparator(',');
    QCOMPARE(QString::fromStdString(formatGeneral(1.5)), QStringLiteral("1,5"));
    QCOMPARE(parseDecimal("2,5"), std::optional<double>(2.5));
    setDecimalSeparator('.');
    QCOMPARE(QString::fromStdString(formatGeneral(1.5)), QStringLiteral("1.5"));
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
