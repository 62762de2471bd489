// SPDX-License-Identifier: MIT
// The simulator's frame encoder against the decoder: whatever display the
// encoder is asked for, the decoder reads back in every rotation.
#include <QtTest>

#include "FrameDecoder.h"
#include "FrameEncoder.h"
#include "HexBytes.h"

using namespace dmm;
using namespace dmm::sim;

Q_DECLARE_METATYPE(dmm::sim::MeterDisplay)

namespace {

using DP = DecimalPoint;
using M = Multiplier;

MeterDisplay shown(std::uint32_t function, const char* text, M multiplier = M::None)
{
    const auto display = displayFor(function, text, multiplier);
    if (!display)
        qFatal("no display for %s", text);
    return *display;
}

QString describe(const std::optional<DecodedFrame>& frame)
{
    if (!frame)
        return QStringLiteral("no frame");
    return QStringLiteral("\"%1\" E%2 function 0x%3")
        .arg(QString::fromStdString(frame->display), QString::fromStdString(frame->exponent))
        .arg(frame->function, 0, 16);
}

} // namespace

class TestFrameEncoder : public QObject
{
    Q_OBJECT
private slots:
    void workedExampleBytes();
    void bytesAreInPositionOrder();
    void everyCharacterInEveryPlace();
    void unknownCharacterShowsAsQuestionMark();
    void roundTrip_data();
    void roundTrip();
    void displayText_data();
    void displayText();
};

void TestFrameEncoder::workedExampleBytes()
{
    MeterDisplay display;
    display.characters = {'1', '2', '3', '4'};
    display.point = DP::BeforeSecond;
    display.minus = true;
    display.flags = functionBit::Dc | functionBit::Volt;
    const Frame frame = encodeFrame(display);
    QCOMPARE(QString::fromStdString(hexText(frame)),
             QStringLiteral("0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"));
    QCOMPARE(QString::fromStdString(hexText(rotated(frame, 8))),
             QStringLiteral("8F 94 AE B0 C0 D0 E4 0A 14 20 31 4A 5B 6D 78"));
}

void TestFrameEncoder::bytesAreInPositionOrder()
{
    MeterDisplay display;
    display.characters = {'8', '8', '8', '8'};
    display.flags = functionBit::Annunciators;
    display.multiplier = M::Mega;
    const Frame frame = encodeFrame(display);
    for (int p = 0; p < kFrameSize; ++p)
        QCOMPARE(frame[static_cast<std::size_t>(p)] >> 4, p);
}

void TestFrameEncoder::everyCharacterInEveryPlace()
{
    const std::string table = " LCu-rFctEnobHAd0123456789";
    for (std::size_t place = 0; place < 4; ++place) {
        for (const char c : table) {
            MeterDisplay display;
            display.characters = {'1', '2', '3', '4'};
            display.characters[place] = c;
            // An "L" in the third place is an overload and an "A" in the first
            // drops the point: both have rows of their own.
            if ((place == 2 && c == 'L') || (place == 0 && c == 'A'))
                continue;
            std::string expected = {display.characters[0], '.', display.characters[1],
                                    display.characters[2], display.characters[3]};
            if (expected == " .   ")
                expected = "    ";
            const auto decoded = decodeFrame(encodeFrame(display));
            QVERIFY2(decoded && decoded->display == expected,
                     qPrintable(QStringLiteral("'%1' in place %2 gave %3")
                                    .arg(QChar::fromLatin1(c))
                                    .arg(place + 1)
                                    .arg(describe(decoded))));
        }
    }
}

void TestFrameEncoder::unknownCharacterShowsAsQuestionMark()
{
    QVERIFY(!isDisplayable('X'));
    QCOMPARE(SegmentToChar(segmentsFor('X')), '?');
    MeterDisplay display;
    display.characters = {'1', 'X', '3', '4'};
    QCOMPARE(decodeFrame(encodeFrame(display))->display, std::string("1.?34"));
}

void TestFrameEncoder::roundTrip_data()
{
    QTest::addColumn<MeterDisplay>("display");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<uint>("function");

    // Every function code of the decoder's table.
    QTest::newRow("0 no annunciator") << shown(0, "0123") << "0.123"
                                      << "3" << 0u;
    QTest::newRow("4 volts") << shown(4, "1.234") << "1.234"
                             << "0" << 4u;
    QTest::newRow("5 AC mV") << shown(5, "123.4", M::Milli) << "1.234"
                             << "-1" << 5u;
    QTest::newRow("6 DC mV") << shown(6, "12.34", M::Milli) << "1.234"
                             << "-2" << 6u;
    QTest::newRow("6 DC V negative") << shown(6, "-1.234") << "-1.234"
                                     << "0" << 6u;
    QTest::newRow("6 DC V kilo") << shown(6, "1000", M::Kilo) << "1.000"
                                 << "6" << 6u;
    QTest::newRow("7 AC+DC volts") << shown(7, "1.234") << "1.234"
                                   << "0" << 7u;
    QTest::newRow("8 capacitance nF") << shown(8, "10.00", M::Nano) << "1.000"
                                      << "-2" << 8u;
    QTest::newRow("8 capacitance uF") << shown(8, "1.234", M::Micro) << "1.234"
                                      << "0" << 8u;
    QTest::newRow("8 capacitance mF") << shown(8, "1234", M::Milli) << "1.234"
                                      << "6" << 8u;
    QTest::newRow("32 degrees C") << shown(32, "25.3") << "2.53C"
                                  << "1" << 32u;
    QTest::newRow("32 degrees C no point") << shown(32, "253") << "2.53C"
                                           << "2" << 32u;
    QTest::newRow("32 degrees C negative") << shown(32, "-10.5") << "-1.05C"
                                           << "1" << 32u;
    QTest::newRow("64 degrees F") << shown(64, "77.5") << "7.75F"
                                  << "1" << 64u;
    QTest::newRow("128 ohms") << shown(128, "123.4") << "1.234"
                              << "2" << 128u;
    QTest::newRow("128 kilohms") << shown(128, "1.234", M::Kilo) << "1.234"
                                 << "3" << 128u;
    QTest::newRow("128 megohms") << shown(128, "12.34", M::Mega) << "1.234"
                                 << "7" << 128u;
    QTest::newRow("384 ohms") << shown(384, "123.4") << "1.234"
                              << "2" << 384u;
    QTest::newRow("513 AC amperes") << shown(513, "1.234") << "1.234"
                                    << "0" << 513u;
    QTest::newRow("514 DC microamperes") << shown(514, "123.4", M::Micro) << "1.234"
                                         << "-4" << 514u;
    QTest::newRow("515 AC+DC milliamperes") << shown(515, "12.34", M::Milli) << "1.234"
                                            << "-2" << 515u;
    QTest::newRow("516 kilovolt-amperes") << shown(516, "123.4", M::Kilo) << "1.234"
                                          << "5" << 516u;
    QTest::newRow("1024 hertz") << shown(1024, "50.00") << "5.000"
                                << "1" << 1024u;
    QTest::newRow("1024 kilohertz") << shown(1024, "1.234", M::Kilo) << "1.234"
                                    << "3" << 1024u;
    QTest::newRow("0x40000000") << shown(0x40000000, "1.234") << "1.234"
                                << "0" << 0x40000000u;

    // The flags that the decoder drops or keeps.
    QTest::newRow("0x40000000 with DC volts is DC volts") << shown(0x40000006, "1.234") << "1.234"
                                                          << "0" << 6u;
    QTest::newRow("0x40000000 with AC volts is AC volts") << shown(0x40000005, "1.234") << "1.234"
                                                          << "0" << 5u;
    QTest::newRow("flags 0x100 0x2000 0x20000000") << shown(0x20002100, "1.234") << "1.234"
                                                   << "0" << 0x20002100u;
    QTest::newRow("low battery, DC volts") << shown(0x80000006, "1.234") << "1.234"
                                           << "0" << 0x80000006u;
    QTest::newRow("low battery keeps 0x40000000 with DC volts")
        << shown(0xC0000006, "1.234") << "1.234"
        << "0" << 0xC0000006u;
    // The decoder adjusts a temperature's exponent whatever the battery says.
    QTest::newRow("low battery, degrees C") << shown(0x80000020, "25.3") << "2.53C"
                                            << "1" << 0x80000020u;
    QTest::newRow("low battery, capacitance") << shown(0x80000008, "10.00", M::Nano) << "1.000"
                                              << "-2" << 0x80000008u;

    // Overloads, blanks and the text without a point.
    QTest::newRow("overload dp 0") << overloadDisplay(128, DP::None) << "OL"
                                   << "3" << 128u;
    QTest::newRow("overload dp 1") << overloadDisplay(128, DP::BeforeFourth) << "OL."
                                   << "2" << 128u;
    QTest::newRow("overload dp 2") << overloadDisplay(128, DP::BeforeThird) << "O.L"
                                   << "1" << 128u;
    QTest::newRow("overload dp 4") << overloadDisplay(128, DP::BeforeSecond) << ".OL"
                                   << "0" << 128u;
    QTest::newRow("overload negative") << overloadDisplay(6, DP::BeforeSecond, true) << "-.OL"
                                       << "0" << 6u;
    QTest::newRow("overload mega") << overloadDisplay(128, DP::BeforeThird, false, M::Mega) << "O.L"
                                   << "7" << 128u;
    QTest::newRow("overload low battery") << overloadDisplay(0x80000080, DP::None) << "OL"
                                          << "3" << 0x80000080u;
    QTest::newRow("overload degrees C") << overloadDisplay(32, DP::None) << "OL"
                                        << "2" << 32u;
    QTest::newRow("overload degrees F") << overloadDisplay(64, DP::BeforeThird) << "O.L"
                                        << "1" << 64u;
    QTest::newRow("blank") << blankDisplay(6) << "    "
                           << "3" << 6u;
    QTest::newRow("blank with minus") << blankDisplay(6, true) << "-    "
                                      << "3" << 6u;
    QTest::newRow("blank, no annunciator") << blankDisplay() << "    "
                                           << "3" << 0u;
    QTest::newRow("A first: no point") << shown(6, "Auto") << "Auto"
                                       << "3" << 6u;
}

void TestFrameEncoder::roundTrip()
{
    QFETCH(MeterDisplay, display);
    QFETCH(QString, text);
    QFETCH(QString, exponent);
    QFETCH(uint, function);
    const DecodedFrame expected{text.toStdString(), exponent.toStdString(), function};

    const Frame frame = encodeFrame(display);
    for (int start = 0; start < kFrameSize; ++start) {
        const auto decoded = decodeFrame(rotated(frame, start));
        QVERIFY2(decoded == expected,
                 qPrintable(QStringLiteral("rotation %1 (%2): got %3, expected %4")
                                .arg(start)
                                .arg(QString::fromStdString(hexText(rotated(frame, start))))
                                .arg(describe(decoded), describe(expected))));
    }
}

void TestFrameEncoder::displayText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("decoded");

    QTest::newRow("point before second") << "1.234" << true << "1.234";
    QTest::newRow("point before fourth") << "123.4" << true << "1.234";
    QTest::newRow("no point") << "1234" << true << "1.234";
    QTest::newRow("minus") << "-12.34" << true << "-1.234";
    QTest::newRow("blanks as underscores") << "_0.L_" << true << "O.L";
    QTest::newRow("all blank") << "____" << true << "    ";
    QTest::newRow("three characters") << "1.23" << false << "";
    QTest::newRow("five characters") << "12345" << false << "";
    QTest::newRow("two points") << "1.2.34" << false << "";
    QTest::newRow("point first") << ".1234" << false << "";
    QTest::newRow("point last") << "1234." << false << "";
    QTest::newRow("not in the segment table") << "12X4" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TestFrameEncoder::displayText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, decoded);
    const auto display = displayFor(6, text.toStdString());
    QCOMPARE(display.has_value(), valid);
    if (valid)
        QCOMPARE(QString::fromStdString(decodeFrame(encodeFrame(*display))->display), decoded);
}

QTEST_GUILESS_MAIN(TestFrameEncoder)
#include "tst_frameencoder.moc"
