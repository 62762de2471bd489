// SPDX-License-Identifier: MIT
// The alarm's range as written, its hysteresis and its states.
#include <QtTest>

#include "AlarmRange.h"

#include <limits>

using namespace dmm;

class TestAlarmRange : public QObject
{
    Q_OBJECT
private slots:
    void transitions_data();
    void transitions();
    void parse_data();
    void parse();
    void hysteresis_data();
    void hysteresis();
};

void TestAlarmRange::transitions_data()
{
    // readings: "VALUE UNIT" separated by ';', +OL/-OL for overloads; states:
    // the state after each reading.
    QTest::addColumn<QString>("range");
    QTest::addColumn<double>("hysteresis");
    QTest::addColumn<QString>("readings");
    QTest::addColumn<QString>("states");
    QTest::newRow("inside stays normal") << "3:4.2" << 0.1 << "3.5 V;3 V;4.2 V"
                                         << "normal normal normal";
    QTest::newRow("a first reading beyond is a change") << "3:4.2" << 0.1 << "5 V"
                                                        << "high";
    QTest::newRow("high, held by the hysteresis, then back")
        << "3:4.2" << 0.1 << "4.25 V;4.15 V;4.1 V;4.09 V"
        << "high high normal normal";
    QTest::newRow("low, held by the hysteresis, then back")
        << "3:4.2" << 0.1 << "2.9 V;3.05 V;3.1 V"
        << "low low normal";
    QTest::newRow("high straight to low") << "3:4.2" << 0.1 << "4.3 V;2.5 V"
                                          << "high low";
    QTest::newRow("no hysteresis: back at the limit") << "3:4.2" << 0.0 << "4.3 V;4.2 V"
                                                      << "high normal";
    QTest::newRow("open low side") << ":4.2" << 0.1 << "-1000 V;4.3 V;-1000 V"
                                   << "normal high normal";
    QTest::newRow("open high side") << "3:" << 0.1 << "1000 V;2.9 V;3.05 V;3.1 V"
                                    << "normal low low normal";
    QTest::newRow("overload upwards") << "3:4.2" << 0.1 << "+OL V;3.5 V"
                                      << "high normal";
    QTest::newRow("overload downwards") << "3:4.2" << 0.1 << "-OL V;3.5 V"
                                        << "low normal";
    QTest::newRow("overload upwards, high side open") << "3:" << 0.1 << "+OL V"
                                                      << "normal";
    QTest::newRow("overload downwards, low side open") << ":4.2" << 0.1 << "-OL V"
                                                       << "normal";
    QTest::newRow("another function leaves the state") << "3:4.2" << 0.1 << "4.3 V;1 Ω;1000 Ω;3.5 V"
                                                       << "high high high normal";
    QTest::newRow("another function first: its unit rules") << "3:4.2" << 0.1 << "5 Ω;5 V;3.5 Ω"
                                                            << "high high normal";
    QTest::newRow("a reading without a unit changes nothing") << "3:4.2" << 0.1 << "5 -"
                                                              << "normal";
}

namespace {

AlarmRange rangeOf(const QString& text)
{
    const auto parsed = parseAlarmRange(text.toStdString());
    if (!parsed.range)
        qFatal("bad range in the table: %s", qPrintable(text));
    return *parsed.range;
}

} // namespace

void TestAlarmRange::transitions()
{
    QFETCH(QString, range);
    QFETCH(double, hysteresis);
    QFETCH(QString, readings);
    QFETCH(QString, states);
    AlarmMachine machine(rangeOf(range), hysteresis);
    QStringList seen;
    for (const QString& reading : readings.split(u';')) {
        const QString value = reading.section(u' ', 0, 0);
        const QString unit = reading.section(u' ', 1, 1);
        const double inf = std::numeric_limits<double>::infinity();
        const double number = value == u"+OL" ? inf : value == u"-OL" ? -inf : value.toDouble();
        const AlarmState before = machine.state();
        const bool changed = machine.take(number, unit == u"-" ? "" : unit.toStdString());
        QCOMPARE(changed, machine.state() != before);
        seen << QString::fromLatin1(alarmStateName(machine.state()));
    }
    QCOMPARE(seen.join(u' '), states);
}

void TestAlarmRange::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // NAME|LOW|HIGH, "-" for open; or the error
    QTest::newRow("both") << "3.0:4.2"
                          << "|3|4.2";
    QTest::newRow("high only") << ":4.2"
                               << "|-|4.2";
    QTest::newRow("low only") << "3.0:"
                              << "|3|-";
    QTest::newRow("exponent and sign") << "-1e-3:2.5E2"
                                       << "|-0.001|250";
    QTest::newRow("named") << "bench=0:10"
                           << "bench|0|10";
    QTest::newRow("LOW above HIGH") << "5:3"
                                    << "LOW must be below HIGH";
    QTest::newRow("LOW equal to HIGH") << "3:3"
                                       << "LOW must be below HIGH";
    QTest::newRow("both empty") << ":"
                                << "both sides are empty: give LOW, HIGH or both";
    QTest::newRow("garbage") << "3:abc"
                             << "\"abc\" is no number (write 4.2, -0.5 or 1e-3)";
    QTest::newRow("decimal comma") << "3,5:4"
                                   << "\"3,5\" is no number (write 4.2, -0.5 or 1e-3)";
    QTest::newRow("no colon") << "4.2"
                              << "LOW:HIGH expected, such as 3.0:4.2, :4.2 or 3.0:";
    QTest::newRow("two colons") << "1:2:3"
                                << "LOW:HIGH expected, such as 3.0:4.2, :4.2 or 3.0:";
    QTest::newRow("empty name") << "=1:2"
                                << "the meter's NAME before \"=\" is empty";
}

void TestAlarmRange::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    const AlarmArgumentResult result = parseAlarmArgument(text.toStdString());
    const auto side = [](const std::optional<double>& value) {
        return value ? QString::number(*value) : QStringLiteral("-");
    };
    const QString actual = result.alarm ? QString::fromStdString(result.alarm->name) + u'|' +
                                              side(result.alarm->range.low) + u'|' +
                                              side(result.alarm->range.high)
                                        : QString::fromStdString(result.error);
    QCOMPARE(actual, parsed);
}

void TestAlarmRange::hysteresis_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("given");  // empty: the default
    QTest::addColumn<QString>("result"); // the amount, or the error
    QTest::newRow("default: 1 % of the width") << "3:4.2"
                                               << ""
                                               << "0.012";
    QTest::newRow("default: 1 % of a lone high limit") << ":-50"
                                                       << ""
                                                       << "0.5";
    QTest::newRow("default: 1 % of a lone low limit") << "200:"
                                                      << ""
                                                      << "2";
    QTest::newRow("default: a lone limit of 0 has none") << "0:"
                                                         << ""
                                                         << "0";
    QTest::newRow("an amount") << "3:4.2"
                               << "0.05"
                               << "0.05";
    QTest::newRow("none asked for") << "0:10"
                                    << "0"
                                    << "0";
    QTest::newRow("a percentage") << "0:10"
                                  << "5%"
                                  << "0.5";
    QTest::newRow("as wide as the range") << "0:10"
                                          << "10"
                                          << "the hysteresis must be smaller than HIGH - LOW";
    QTest::newRow("negative") << "0:10"
                              << "-1"
                              << "not read";
    QTest::newRow("garbage") << "0:10"
                             << "1x"
                             << "not read";
}

void TestAlarmRange::hysteresis()
{
    QFETCH(QString, range);
    QFETCH(QString, given);
    QFETCH(QString, result);
    std::optional<AlarmHysteresis> read = kDefaultAlarmHysteresis;
    if (!given.isEmpty())
        read = parseAlarmHysteresis(given.toStdString());
    if (!read) {
        QCOMPARE(QStringLiteral("not read"), result);
        return;
    }
    std::string error;
    const auto amount = alarmHysteresis(rangeOf(range), *read, &error);
    QCOMPARE(amount ? QString::number(*amount) : QString::fromStdString(error), result);
}

QTEST_GUILESS_MAIN(TestAlarmRange)
#include "tst_alarmrange.moc"
