// SPDX-License-Identifier: MIT
// Frame decoding: the segment table, the display text, the exponent, the
// function word, every rotation, and the read rules around partial reads.
#include <QtTest>

#include "FrameDecoder.h"

using namespace dmm;

namespace {

std::vector<std::uint8_t> bytesOf(const QString& hex)
{
    std::vector<std::uint8_t> out;
    for (const QString& part : hex.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.push_back(static_cast<std::uint8_t>(part.toUInt(nullptr, 16)));
    return out;
}

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT
private slots:
    void segmentTable_data();
    void segmentTable();
    void decodes_data();
    void decodes();
    void decodesEveryRotation_data() { decodes_data(); }
    void decodesEveryRotation();
    void rejectsFrameWithoutIdentifier();
    void partialReadDecodesLastCompleteRead();
    void partialReadAtStartUpFails();
    void emptyOrFailedReadGivesNothing();
    void failedDecodeStillStoresTheRead();
};

void TestDecoder::segmentTable_data()
{
    QTest::addColumn<int>("segments");
    QTest::addColumn<QChar>("character");
    const std::pair<int, char> table[] = {
        {0, ' '},   {22, 'L'},  {30, 'C'},  {50, 'u'},  {64, '-'},  {66, 'r'},
        {78, 'F'},  {82, 'c'},  {86, 't'},  {94, 'E'},  {98, 'n'},  {114, 'o'},
        {118, 'b'}, {124, '5'}, {126, '6'}, {160, '1'}, {168, '7'}, {190, '0'},
        {218, '2'}, {228, '4'}, {230, 'H'}, {238, 'A'}, {242, 'd'}, {248, '3'},
        {252, '9'}, {254, '8'}, {1, '?'},   {255, '?'}, {176, '?'},
    };
    for (const auto& [segments, character] : table)
        QTest::addRow("%d", segments) << segments << QChar::fromLatin1(character);
}

void TestDecoder::segmentTable()
{
    QFETCH(int, segments);
    QFETCH(QChar, character);
    QCOMPARE(QChar::fromLatin1(SegmentToChar(static_cast<std::uint8_t>(segments))), character);
}

void TestDecoder::decodes_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<quint32>("function");

    // Frames in position order; the meter may start anywhere in them.
    QTest::newRow("worked example, -1.234 V DC") << "0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"
                                                 << "-1.234"
                                                 << "0" << 6u;
    QTest::newRow("12.34 mV DC: point exponent 1, milli")
        << "0A 14 20 30 4A 5A 6D 79 8F 94 AE B0 C0 D1 E4"
        << "1.234"
        << "-2" << 6u;
    QTest::newRow("0.120 V AC") << "0A 12 20 3E 4B 51 6A 7A 8D 9E AB B0 C0 D0 E4"
                                << "0.120"
                                << "0" << 5u;
    QTest::newRow("1.234 kOhm") << "0A 10 20 30 4A 5B 6D 78 8F 94 AE B1 C4 D0 E0"
                                << "1.234"
                                << "3" << 128u;
    QTest::newRow("12.34 MOhm") << "0A 10 20 30 4A 5A 6D 79 8F 94 AE B2 C4 D0 E0"
                                << "1.234"
                                << "7" << 128u;
    QTest::newRow("overload O.L in ohms") << "0A 10 20 30 40 5E 6B 77 81 90 A0 B2 C4 D0 E0"
                                          << "O.L"
                                          << "7" << 128u;
    QTest::newRow("negative OL with low battery keeps bit 31")
        << "0A 10 24 31 40 5E 6B 76 81 90 A0 B0 C4 D0 E0"
        << "-OL"
        << "3" << 0x80000080u;
    QTest::newRow("25.3 C: the fourth character is the unit")
        << "0A 10 20 3A 4D 5C 67 79 8F 9E A1 B0 C0 D0 E0"
        << "2.53C"
        << "1" << 32u;
    QTest::newRow("253 C without point: exponent forced to 2")
        << "0A 10 20 3A 4D 5C 67 78 8F 9E A1 B0 C0 D0 E0"
        << "2.53C"
        << "2" << 32u;
    // A weak battery must not skip the temperature adjustment (253 C would become 2530).
    QTest::newRow("253 C with low battery still adjusted")
        << "0A 10 24 3A 4D 5C 67 78 8F 9E A1 B0 C0 D0 E0"
        << "2.53C"
        << "2" << 0x80000020u;
    QTest::newRow("778 F") << "0A 10 20 38 4A 58 6A 7E 8F 9E A4 B0 C0 D0 E0"
                           << "7.78F"
                           << "2" << 64u;
    QTest::newRow("10.00 nF: capacitance adds 6") << "0A 10 20 30 4A 5E 6B 7F 8B 9E AB B0 C1 D4 E0"
                                                  << "1.000"
                                                  << "-2" << 8u;
    QTest::newRow("capacitance with low battery still adds 6")
        << "0A 10 24 30 4A 5E 6B 7F 8B 9E AB B0 C1 D4 E0"
        << "1.000"
        << "-2" << 0x80000008u;
    QTest::newRow("123.4 uA DC") << "0A 14 20 30 4A 5A 6D 78 8F 95 AE B0 C0 D2 E2"
                                 << "1.234"
                                 << "-4" << 514u;
    QTest::newRow("12.34 Hz") << "0A 10 20 30 4A 5A 6D 79 8F 94 AE B0 C2 D0 E0"
                              << "1.234"
                              << "1" << 1024u;
    QTest::newRow("blank display") << "0A 10 20 30 40 50 60 70 80 90 A0 B0 C0 D0 E0"
                                   << "    "
                                   << "3" << 0u;
    QTest::newRow("blank display with minus") << "0A 10 20 31 40 50 60 70 80 90 A0 B0 C0 D0 E0"
                                              << "-    "
                                              << "3" << 0u;
    QTest::newRow("blank display with low battery is still no function")
        << "0A 10 24 30 40 50 60 70 80 90 A0 B0 C0 D0 E0"
        << "    "
        << "3" << 0x80000000u;
    QTest::newRow("0x40000006 becomes DC volts") << "0A 14 22 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"
                                                 << "1.234"
                                                 << "0" << 6u;
    QTest::newRow("0x40000006 with low battery stays")
        << "0A 14 26 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"
        << "1.234"
        << "0" << 0xC0000006u;
    QTest::newRow("AC+DC volts") << "0A 16 20 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"
                                 << "1.234"
                                 << "0" << 7u;
    QTest::newRow("ohms with flag 0x100") << "0A 10 28 30 4A 5B 6D 78 8F 94 AE B0 C4 D0 E0"
                                          << "1.234"
                                          << "0" << 384u;
    QTest::newRow("volt-amperes") << "0A 10 20 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E6"
                                  << "1.234"
                                  << "0" << 516u;
    QTest::newRow("text beginning with A has no point")
        << "0A 14 20 3E 4E 5A 6D 7E 8B 98 AF B0 C0 D0 E4"
        << "A203"
        << "3" << 6u;
    QTest::newRow("unknown segment pattern shows ?")
        << "0A 14 20 30 4B 5B 6D 78 8F 94 AE B0 C0 D0 E4"
        << "?.234"
        << "0" << 6u;
    QTest::newRow("position 15 is ignored, missing 14 counts as 0")
        << "0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 F3"
        << "-1.234"
        << "0" << 2u;
    QTest::newRow("a repeated position takes the later byte")
        << "0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 12 E4"
        << "-1.234"
        << "0" << 5u;
}

void TestDecoder::decodes()
{
    QFETCH(QString, frame);
    QFETCH(QString, display);
    QFETCH(QString, exponent);
    QFETCH(quint32, function);

    const auto decoded = decodeFrame(bytesOf(frame));
    QVERIFY(decoded.has_value());
    QCOMPARE(QString::fromStdString(decoded->display), display);
    QCOMPARE(QString::fromStdString(decoded->exponent), exponent);
    QCOMPARE(decoded->function, function);
}

void TestDecoder::decodesEveryRotation()
{
    QFETCH(QString, frame);
    auto bytes = bytesOf(frame);
    if (QByteArray(QTest::currentDataTag()).contains("repeated"))
        QSKIP("rotating a frame with a repeated position changes which byte comes later");
    const auto reference = decodeFrame(bytes);
    QVERIFY(reference.has_value());
    for (int shift = 1; shift < kFrameSize; ++shift) {
        std::rotate(bytes.begin(), bytes.begin() + 1, bytes.end());
        QCOMPARE(decodeFrame(bytes), reference);
    }
}

void TestDecoder::rejectsFrameWithoutIdentifier()
{
    QVERIFY(!decodeFrame(bytesOf("1A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4")).has_value());
    QVERIFY(!decodeFrame(bytesOf("0B 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4")).has_value());
    QVERIFY(!decodeFrame(Frame{}).has_value());
}

void TestDecoder::partialReadDecodesLastCompleteRead()
{
    FrameDecoder decoder;
    const auto good = bytesOf("0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4");
    const auto first = decoder.ReadMeterFrame(good);
    QVERIFY(first.has_value());
    const auto partial = bytesOf("0A 10 20 30 40 50 60");
    const auto again = decoder.ReadMeterFrame(partial);
    QCOMPARE(again, first);
}

void TestDecoder::partialReadAtStartUpFails()
{
    FrameDecoder decoder;
    QVERIFY(!decoder.ReadMeterFrame(bytesOf("0A 14 20 31 4A 5B 6D")).has_value());
}

void TestDecoder::emptyOrFailedReadGivesNothing()
{
    FrameDecoder decoder;
    const auto good = bytesOf("0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4");
    QVERIFY(decoder.ReadMeterFrame(good).has_value());
    QVERIFY(!decoder.ReadMeterFrame({}).has_value());
    QVERIFY(!decoder.ReadMeterFrame(good, true).has_value());
}

void TestDecoder::failedDecodeStillStoresTheRead()
{
    FrameDecoder decoder;
    QVERIFY(decoder.ReadMeterFrame(bytesOf("0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4")));
    const auto garbage = bytesOf("11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
    QVERIFY(!decoder.ReadMeterFrame(garbage).has_value());
    // A partial read now repeats the garbage, not the earlier good frame.
    QVERIFY(!decoder.ReadMeterFrame(bytesOf("0A 14")).has_value());
}

QTEST_APPLESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
