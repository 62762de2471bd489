// SPDX-License-Identifier: MIT
// The 76- and 68-byte record layouts, byte for byte, and the time stamp text.
#include <QtTest>

#include "Record.h"

#include <cstring>

using namespace dmm;

namespace {

TARecord sampleRecord()
{
    TARecord r;
    r.display = "-1.234";
    r.exponent = "-3";
    r.function = 514;
    r.timeStamp = formatTimeStamp(13, 5, 9, 730);
    r.value = "-1.234";
    r.prefix = "m";
    r.unit = "A";
    r.fValue = -0.001234f;
    r.subDisplay = "";
    return r;
}

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT
private slots:
    void layoutIsByteExact();
    void roundTrips();
    void olderRecordHasNoSubDisplay();
    void bytesAfterTerminatorAreIgnored();
    void unterminatedFieldStopsAtItsEnd();
    void tooLongTextIsCutToTheField();
    void timeStamp_data();
    void timeStamp();
};

void TestRecord::layoutIsByteExact()
{
    const auto bytes = encodeARecord(sampleRecord());
    QCOMPARE(bytes.size(), std::size_t(76));
    const auto text = [&](int offset) {
        return QByteArray(reinterpret_cast<const char*>(&bytes[offset]));
    };
    QCOMPARE(text(0), QByteArray("-1.234"));
    QCOMPARE(bytes[6], 0);
    QCOMPARE(bytes[7], 0);
    QCOMPARE(text(8), QByteArray("-3"));
    QCOMPARE(bytes[12], 0x02); // 514 little-endian
    QCOMPARE(bytes[13], 0x02);
    QCOMPARE(bytes[14], 0x00);
    QCOMPARE(text(16), QByteArray(" 13:05:09.7  "));
    QCOMPARE(text(32), QByteArray("-1.234"));
    QCOMPARE(text(48), QByteArray("m"));
    QCOMPARE(text(56), QByteArray("A"));
    float f = 0;
    std::memcpy(&f, &bytes[64], 4);
    QCOMPARE(f, -0.001234f);
    QCOMPARE(bytes[68], 0);
}

void TestRecord::roundTrips()
{
    const TARecord r = sampleRecord();
    QCOMPARE(decodeARecord(encodeARecord(r)), r);
    TARecord negative = r;
    negative.function = -1;
    QCOMPARE(decodeARecord(encodeARecord(negative)).function, -1);
}

void TestRecord::olderRecordHasNoSubDisplay()
{
    TARecord r = sampleRecord();
    r.subDisplay = "PF";
    const auto bytes = encodeRecord(r);
    QCOMPARE(bytes.size(), std::size_t(68));
    const TARecord back = decodeRecord(bytes);
    QVERIFY(back.subDisplay.empty());
    QCOMPARE(back.value, r.value);
    QCOMPARE(back.fValue, r.fValue);
}

void TestRecord::bytesAfterTerminatorAreIgnored()
{
    auto bytes = encodeARecord(sampleRecord());
    bytes[7] = 'Z'; // after the display text's terminator
    QCOMPARE(decodeARecord(bytes).display.str(), std::string("-1.234"));
}

void TestRecord::unterminatedFieldStopsAtItsEnd()
{
    auto bytes = encodeARecord(sampleRecord());
    std::memset(&bytes[0], 'X', 8);  // display field without a terminator
    std::memset(&bytes[48], 'P', 8); // prefix field without a terminator
    const TARecord r = decodeARecord(bytes);
    QCOMPARE(r.display.str(), std::string("XXXXXXXX"));
    QCOMPARE(r.exponent.str(), std::string("-3"));
    QCOMPARE(r.prefix.str(), std::string("PPPPPPPP"));
    QCOMPARE(r.unit.str(), std::string("A"));
    // Written back, the field is the same eight bytes.
    QCOMPARE(encodeARecord(r), bytes);
}

void TestRecord::tooLongTextIsCutToTheField()
{
    TARecord r;
    r.display = "123456789";
    QCOMPARE(r.display.str(), std::string("1234567"));
    QCOMPARE(encodeARecord(r)[7], 0);
}

void TestRecord::timeStamp_data()
{
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("morning") << 9 << 5 << 3 << 450 << "  9:05:03.4  ";
    QTest::newRow("midnight") << 0 << 0 << 0 << 0 << "  0:00:00.0  ";
    QTest::newRow("last tenth") << 23 << 59 << 59 << 999 << " 23:59:59.9  ";
}

void TestRecord::timeStamp()
{
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(int, ms);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(formatTimeStamp(hour, minute, second, ms)), text);
}

QTEST_APPLESS_MAIN(TestRecord)
#include "tst_record.moc"
