// SPDX-License-Identifier: MIT
// The table for spreadsheets: SI values and symbols, date stamps in the
// records' spare bytes, dates inferred for records without one, and the
// recorder's own export and files left exactly as they were.
#include <QtTest>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "AtomicFile.h"
#include "DataListLine.h"
#include "ExportText.h"
#include "FrameDecoder.h"
#include "FunctionTexts.h"
#include "HexBytes.h"
#include "RecordDates.h"
#include "RecordFile.h"
#include "RecordStamp.h"
#include "RecorderStore.h"
#include "SiUnits.h"
#include "TableExport.h"
#include "ValueFormat.h"

using namespace dmm;

namespace {

// DC millivolts, ohms overload, degrees C, nanofarads, microamperes, hertz.
const char* const kFrames[] = {
    "0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4", "0A 10 20 30 40 5E 6B 76 81 90 A0 B0 C4 D0 E0",
    "0A 10 20 3A 4D 5C 67 79 8F 9E A1 B0 C0 D0 E0", "0A 10 20 30 4A 5E 6B 7F 8B 9E AB B0 C1 D4 E0",
    "0A 14 20 30 4A 5A 6D 78 8F 95 AE B0 C0 D2 E2", "0A 10 20 30 4A 5B 6D 78 8F 94 AE B0 C2 D0 E0"};

std::vector<CurrentReading> meterReadings()
{
    std::vector<CurrentReading> readings;
    FrameDecoder decoder;
    for (const char* hex : kFrames) {
        const auto frame = decoder.ReadMeterFrame(*sim::parseHexBytes(hex));
        CurrentReading reading;
        applyFrame(reading, *frame);
        readings.push_back(reading);
    }
    return readings;
}

QDateTime at(int year, int month, int day, int h, int m, int s, int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(h, m, s, ms));
}

// Logs `count` readings `stepMs` apart from `start` by a simulated clock.
void logRun(RecorderStore& store, QDateTime start, int count, int stepMs)
{
    const auto readings = meterReadings();
    auto now = std::make_shared<QDateTime>(start);
    store.setClock([now] { return *now; });
    for (int i = 0; i < count; ++i) {
        QVERIFY(store.appendReading(readings[std::size_t(i) % readings.size()]));
        *now = now->addMSecs(stepMs);
    }
}

// The same run as the recorder made it before readings carried a date: the
// time text alone.
void logRunWithoutDates(RecorderStore& store, QDateTime start, int count, int stepMs)
{
    const auto readings = meterReadings();
    for (int i = 0; i < count; ++i) {
        const QTime t = start.addMSecs(qint64(i) * stepMs).time();
        QVERIFY(store.appendReading(readings[std::size_t(i) % readings.size()],
                                    formatTimeStamp(t.hour(), t.minute(), t.second(), t.msec())));
    }
}

QStringList tableLines(const RecordBuffer& buffer, QDate firstDate, TableFormat format = {},
                       bool* inferred = nullptr)
{
    TableProducer table(format, firstDate, bufferRecords(buffer));
    QByteArray text;
    QByteArray block;
    while (table.nextBlock(block))
        ;
    text = block;
    if (inferred)
        *inferred = table.datesInferred();
    QStringList lines = QString::fromUtf8(text).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList timesOf(const QStringList& lines, QChar separator = ',')
{
    QStringList times;
    for (qsizetype i = 1; i < lines.size(); ++i)
        times << lines[i].section(separator, 0, 0);
    return times;
}

// The stored float from a value text of the table: the decimal number the
// text denotes, moved back to the stored unit by its exponent, rounded once.
float storedFrom(const QString& text, int decimalShift)
{
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    const QString mantissa = e < 0 ? text : text.left(e);
    const int exponent = (e < 0 ? 0 : text.mid(e + 1).toInt()) - decimalShift;
    const QByteArray decimal = (mantissa + QStringLiteral("e%1").arg(exponent)).toLatin1();
    return std::strtof(decimal.constData(), nullptr);
}

} // namespace

class TestTableExport : public QObject
{
    Q_OBJECT
private slots:
    void siUnits_data();
    void siUnits();
    void siValuesReadBackAsTheStoredFloat();

    void stampRoomHoldsEveryTextTheFormatterMakes();
    void stampReadsBack_data();
    void stampReadsBack();
    void stampNeedsRoom();
    void randomSpareBytesAreNeverStamped();
    void loggedRecordsCarryTheirDate();

    void timeTexts_data();
    void timeTexts();
    void runAcrossMidnightInOrder_data();
    void runAcrossMidnightInOrder();
    void leadingUnstampedCountBackFromFirstStamp();

    void recorderExportAndFilesUnchanged();

    void rows_data();
    void rows();
    void separators_data();
    void separators();
    void localeChoosesTheFormat();
    void pythonReadsTheTable();
};

void TestTableExport::siUnits_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<float>("stored");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("symbol");

    QTest::newRow("plain volts") << 4 << 1.5f << "1.5"
                                 << "V";
    QTest::newRow("AC volts") << 5 << 230.1f << "230.1"
                              << "V";
    QTest::newRow("DC millivolts") << 6 << 0.01234f << "0.01234"
                                   << "V";
    QTest::newRow("AC+DC volts") << 7 << -1.234f << "-1.234"
                                 << "V";
    QTest::newRow("nanofarads, stored in microfarads") << 8 << 0.02399f << "2.399e-08"
                                                       << "F";
    QTest::newRow("microfarads") << 8 << 12.34f << "1.234e-05"
                                 << "F";
    QTest::newRow("millifarads") << 8 << 12340.0f << "0.01234"
                                 << "F";
    QTest::newRow("capacitance overload") << 8 << 55.0f << "5.5e-05"
                                          << "F";
    QTest::newRow("negative capacitance") << 8 << -0.5f << "-5e-07"
                                          << "F";
    QTest::newRow("zero farads") << 8 << 0.0f << "0"
                                 << "F";
    QTest::newRow("degrees C") << 32 << 23.5f << "23.5"
                               << "\u00B0C";
    QTest::newRow("degrees F") << 64 << 74.3f << "74.3"
                               << "\u00B0F";
    QTest::newRow("ohms") << 128 << 1234.0f << "1234"
                          << "\u03A9";
    QTest::newRow("ohms overload") << 128 << 9900.0f << "9900"
                                   << "\u03A9";
    QTest::newRow("ohms with flag 0x100") << 384 << 1000.0f << "1000"
                                          << "\u03A9";
    QTest::newRow("AC amperes") << 513 << 0.5f << "0.5"
                                << "A";
    QTest::newRow("DC microamperes") << 514 << 0.0001234f << "0.0001234"
                                     << "A";
    QTest::newRow("AC+DC amperes") << 515 << 6.6f << "6.6"
                                   << "A";
    QTest::newRow("volt-amperes") << 516 << 1500.0f << "1500"
                                  << "VA";
    QTest::newRow("hertz") << 1024 << 50.01f << "50.01"
                           << "Hz";
    QTest::newRow("no annunciator") << 0 << 123.0f << "123"
                                    << "";
    QTest::newRow("flag 0x40000000 alone") << 0x40000000 << 1.0f << "1"
                                           << "";
    QTest::newRow("low battery DC volts") << int(0x80000006u) << 9.0f << "9"
                                          << "V";
    QTest::newRow("code the meter never sends") << 2 << 1.0f << "1"
                                                << "";
}

void TestTableExport::siUnits()
{
    QFETCH(int, function);
    QFETCH(float, stored);
    QFETCH(QString, value);
    QFETCH(QString, symbol);
    const SiUnit unit = siUnit(function);
    QCOMPARE(QString::fromUtf8(unit.symbol.data(), qsizetype(unit.symbol.size())), symbol);
    QCOMPARE(QString::fromStdString(siValueText(stored, unit.decimalShift)), value);
}

void TestTableExport::siValuesReadBackAsTheStoredFloat()
{
    std::mt19937 random(16);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t word = bits(random);
        float stored = 0;
        std::memcpy(&stored, &word, 4);
        if (!std::isfinite(stored))
            continue;
        for (const int shift : {0, -6}) {
            const std::string text = siValueText(stored, shift);
            QVERIFY2(storedFrom(QString::fromStdString(text), shift) == stored, text.c_str());
        }
    }
}

void TestTableExport::stampRoomHoldsEveryTextTheFormatterMakes()
{
    // Every function word the decoder can assemble, with every exponent text
    // its point and multiplier (and the capacitance adjustment) can give.
    const std::uint32_t flags[] = {0x80000000u, 0x40000000u, 0x20000000u, 0x2000u, 0x400u,
                                   0x200u,      0x100u,      0x80u,       0x40u,   0x20u,
                                   0x08u,       0x04u,       0x02u,       0x01u};
    const int flagCount = int(std::size(flags));
    std::size_t longestPrefix = 0;
    std::size_t longestUnit = 0;
    for (int combination = 0; combination < (1 << flagCount); ++combination) {
        std::uint32_t word = 0;
        for (int bit = 0; bit < flagCount; ++bit)
            if (combination & (1 << bit))
                word |= flags[bit];
        FixedText<8> unit;
        longestUnit = std::max(longestUnit, std::size_t(GetUnitText(word, unit)));
        const int function = int(word & 0x7FFFFFFFu);
        for (int exponent = -9; exponent <= 15; ++exponent) {
            FixedText<8> prefix;
            const int prefixExp = GetPrefixExp(function, std::to_string(exponent));
            longestPrefix =
                std::max(longestPrefix, std::size_t(GetPrefixText(function, prefixExp, prefix)));
        }
    }
    QVERIFY(longestPrefix <= kStampPrefixTextMax);
    QVERIFY(longestUnit <= kStampUnitTextMax);
}

void TestTableExport::stampReadsBack_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<qint64>("ms");

    QTest::newRow("no prefix, no unit") << ""
                                        << "" << qint64(0);
    QTest::newRow("nano farads") << "n"
                                 << "F" << at(2026, 12, 7, 23, 59, 59, 912).toMSecsSinceEpoch();
    QTest::newRow("kilo hertz") << "K"
                                << "Hz" << qint64(1'700'000'000'123);
    QTest::newRow("last millisecond stamps hold") << "M"
                                                  << "VA" << (qint64(1) << 48) - 1;
}

void TestTableExport::stampReadsBack()
{
    QFETCH(QString, prefix);
    QFETCH(QString, unit);
    QFETCH(qint64, ms);
    TARecord record;
    record.prefix = prefix.toStdString();
    record.unit = unit.toStdString();
    QVERIFY(!recordStamp(record));
    QVERIFY(setRecordStamp(record, ms));
    QCOMPARE(record.prefix.str(), prefix.toStdString());
    QCOMPARE(record.unit.str(), unit.toStdString());
    QCOMPARE(recordStamp(record), std::optional<std::int64_t>(ms));
    // Through the bytes of both record layouts.
    QCOMPARE(recordStamp(decodeARecord(encodeARecord(record))), std::optional<std::int64_t>(ms));
    QCOMPARE(recordStamp(decodeRecord(encodeRecord(record))), std::optional<std::int64_t>(ms));
}

void TestTableExport::stampNeedsRoom()
{
    TARecord record;
    record.prefix = "ab";
    record.unit = "V";
    const auto before = encodeARecord(record);
    QVERIFY(!setRecordStamp(record, 1000));
    QCOMPARE(encodeARecord(record), before);
    record.prefix = "m";
    QVERIFY(!setRecordStamp(record, -1));
    QVERIFY(!setRecordStamp(record, qint64(1) << 48));
    // A stamp read from a field whose text grew over it is not believed.
    QVERIFY(setRecordStamp(record, 1000));
    auto bytes = encodeARecord(record);
    bytes[56 + 2] = 'z'; // the unit "V" becomes "V?z..." with no terminator in its room
    bytes[56 + 1] = 'y';
    QVERIFY(!recordStamp(decodeARecord(bytes)));
}

void TestTableExport::randomSpareBytesAreNeverStamped()
{
    std::mt19937_64 random(1616);
    std::uniform_int_distribution<int> byte(0, 255);
    TARecord real;
    real.display = "1.234";
    real.exponent = "-2";
    real.timeStamp = " 12:00:00.0  ";
    real.value = "12.34";
    real.prefix = "m";
    real.unit = "V";
    const auto template_ = encodeARecord(real);
    // The bytes after each terminator, which other programs may fill with anything.
    std::vector<std::size_t> spare;
    for (const auto& [offset, size] : std::initializer_list<std::pair<std::size_t, std::size_t>>{
             {0, 8}, {8, 4}, {16, 16}, {32, 16}, {48, 8}, {56, 8}, {68, 8}}) {
        std::size_t i = offset;
        while (template_[i] != 0)
            ++i;
        for (++i; i < offset + size; ++i)
            spare.push_back(i);
    }
    for (int n = 0; n < 1'000'000; ++n) {
        auto bytes = template_;
        if (n % 2 == 0) {
            for (const std::size_t i : spare)
                bytes[i] = std::uint8_t(byte(random));
        } else {
            for (auto& b : bytes)
                b = std::uint8_t(byte(random));
        }
        if (recordStamp(decodeARecord(bytes)))
            QFAIL(qPrintable(QStringLiteral("record %1 read as stamped").arg(n)));
    }
}

void TestTableExport::loggedRecordsCarryTheirDate()
{
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    const QDateTime start = at(2026, 12, 7, 9, 5, 3, 456);
    logRun(store, start, 6, 1000);
    QCOMPARE(store.buffer().size(), std::size_t(6));
    for (std::size_t i = 0; i < store.buffer().size(); ++i)
        QCOMPARE(recordStamp(store.buffer().at(i)),
                 std::optional<std::int64_t>(start.addMSecs(qint64(i) * 1000).toMSecsSinceEpoch()));
    QCOMPARE(store.buffer().at(0).timeStamp.str(), std::string("  9:05:03.4  "));

    // Saved and opened again, and in the run's temporary file.
    QVERIFY(store.tempFiles().createNext());
    logRun(store, start, 1, 0);
    store.tempFiles().close();
    const QString saved = dir.filePath("run.g52");
    QVERIFY(saveRecordFile(saved, store.buffer()));
    for (const QString& path : {saved, store.tempFiles().fileName(1)}) {
        RecordBuffer loaded;
        QVERIFY(readRecordFile(path, loaded));
        QCOMPARE(recordStamp(loaded.at(loaded.size() - 1)),
                 std::optional<std::int64_t>(start.toMSecsSinceEpoch()));
    }
}

void TestTableExport::timeTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms"); // -1: no time

    QTest::newRow("morning") << "  9:05:03.4  " << 32703400;
    QTest::newRow("last tenth of the day") << " 23:59:59.9  " << 86399900;
    QTest::newRow("midnight") << "  0:00:00.0  " << 0;
    QTest::newRow("no padding") << "12:30:00.5" << 45000500;
    QTest::newRow("not a time") << "t" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("hour 24") << " 24:00:00.0  " << -1;
    QTest::newRow("one-digit minutes") << " 12:5:00.0  " << -1;
    QTest::newRow("hundredths") << " 12:05:00.05 " << -1;
}

void TestTableExport::timeTexts()
{
    QFETCH(QString, text);
    QFETCH(int, ms);
    const auto parsed = timeOfDayMs(text.toStdString());
    QCOMPARE(parsed.value_or(-1), ms);
}

void TestTableExport::runAcrossMidnightInOrder_data()
{
    QTest::addColumn<bool>("stamped");
    QTest::addColumn<QDate>("firstDate"); // given, or invalid: from the last date
    QTest::addColumn<QStringList>("times");

    const QStringList stamped = {"2026-12-07T23:59:58.500", "2026-12-07T23:59:59.200",
                                 "2026-12-07T23:59:59.900", "2026-12-08T00:00:00.600",
                                 "2026-12-08T00:00:01.300"};
    const QStringList inferred = {"2026-12-07T23:59:58.5", "2026-12-07T23:59:59.2",
                                  "2026-12-07T23:59:59.9", "2026-12-08T00:00:00.6",
                                  "2026-12-08T00:00:01.3"};
    QTest::newRow("stamped") << true << QDate() << stamped;
    QTest::newRow("stamped, a wrong date given is not used")
        << true << QDate(2000, 1, 1) << stamped;
    QTest::newRow("unstamped, dated from the last reading") << false << QDate() << inferred;
    QTest::newRow("unstamped, first date given") << false << QDate(2026, 12, 7) << inferred;
}

void TestTableExport::runAcrossMidnightInOrder()
{
    QFETCH(bool, stamped);
    QFETCH(QDate, firstDate);
    QFETCH(QStringList, times);
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    const QDateTime start = at(2026, 12, 7, 23, 59, 58, 500);
    if (stamped)
        logRun(store, start, 5, 700);
    else
        logRunWithoutDates(store, start, 5, 700);
    const QDate lastDate(2026, 12, 8); // the file's date
    const QDate first =
        firstDate.isValid() ? firstDate : firstRecordDate(bufferRecords(store.buffer()), lastDate);
    bool inferred = false;
    const QStringList lines = tableLines(store.buffer(), first, {}, &inferred);
    QCOMPARE(lines.value(0), QStringLiteral("time,value,unit,display,subdisplay"));
    QCOMPARE(timesOf(lines), times);
    QCOMPARE(inferred, !stamped);
}

void TestTableExport::leadingUnstampedCountBackFromFirstStamp()
{
    // Readings from an older file, then logging went on after midnight.
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    logRunWithoutDates(store, at(2026, 12, 6, 23, 0, 0), 2, 4'200'000);
    logRun(store, at(2026, 12, 7, 1, 0, 0), 2, 1000);
    const QDate first = firstRecordDate(bufferRecords(store.buffer()), QDate(1999, 1, 1));
    QCOMPARE(first, QDate(2026, 12, 6));
    QCOMPARE(timesOf(tableLines(store.buffer(), first)),
             QStringList({"2026-12-06T23:00:00.0", "2026-12-07T00:10:00.0",
                          "2026-12-07T01:00:00.000", "2026-12-07T01:00:01.000"}));
}

void TestTableExport::recorderExportAndFilesUnchanged()
{
    // The same readings logged with date stamps and as before without: the
    // text export, the data list and every byte a reader uses agree.
    QTemporaryDir dir;
    RecorderStore stamped(dir.path());
    RecorderStore plain(dir.path());
    const QDateTime start = at(2026, 12, 7, 23, 59, 0, 250);
    logRun(stamped, start, 450, 500);
    logRunWithoutDates(plain, start, 450, 500);
    const RecordBuffer& a = stamped.buffer();
    const RecordBuffer& b = plain.buffer();
    QCOMPARE(a.size(), b.size());
    QCOMPARE(exportText(a, {0, a.size()}), exportText(b, {0, b.size()}));

    const QString path = dir.filePath("stamped.g52");
    QVERIFY(saveRecordFile(path, a));
    RecordBuffer opened;
    QVERIFY(readRecordFile(path, opened));
    QCOMPARE(exportText(opened, {0, opened.size()}), exportText(b, {0, b.size()}));
    for (std::size_t i = 0; i < a.size(); ++i) {
        QVERIFY(opened.at(i) == b.at(i)); // texts up to their terminators, code, float
        QCOMPARE(dataListLine(i, opened.at(i)), dataListLine(i, b.at(i)));
        QVERIFY(recordStamp(opened.at(i)));
        // Outside the prefix's and the unit's spare bytes the records are the same bytes.
        const auto x = encodeARecord(opened.at(i));
        const auto y = encodeARecord(b.at(i));
        for (std::size_t k = 0; k < kARecordSize; ++k) {
            const bool stampByte = (k >= 48 + 2 && k < 56) || (k >= 56 + 3 && k < 64);
            if (!stampByte)
                QCOMPARE(x[k], y[k]);
        }
    }
}

void TestTableExport::rows_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("decimalComma");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("row");

    QTest::newRow("comma, decimal point")
        << QChar(',') << false << "time,value,unit,display,subdisplay"
        << "2026-12-07T23:59:59.9,2.399e-08,F,23.99n,0.98";
    QTest::newRow("semicolon, decimal comma")
        << QChar(';') << true << "time;value;unit;display;subdisplay"
        << "2026-12-07T23:59:59.9;2,399e-08;F;23.99n;0.98";
    QTest::newRow("comma, decimal comma: the value is quoted")
        << QChar(',') << true << "time,value,unit,display,subdisplay"
        << "2026-12-07T23:59:59.9,\"2,399e-08\",F,23.99n,0.98";
    QTest::newRow("tab") << QChar('\t') << false << "time\tvalue\tunit\tdisplay\tsubdisplay"
                         << "2026-12-07T23:59:59.9\t2.399e-08\tF\t23.99n\t0.98";
}

void TestTableExport::rows()
{
    QFETCH(QChar, separator);
    QFETCH(bool, decimalComma);
    QFETCH(QString, header);
    QFETCH(QString, row);
    TARecord record;
    record.function = 8;
    record.timeStamp = " 23:59:59.9  ";
    record.value = "23.99";
    record.prefix = "n";
    record.unit = "F";
    record.fValue = 0.02399f;
    record.subDisplay = "0.98";
    RecordBuffer buffer;
    buffer.append(record);
    const TableFormat format{separator.toLatin1(), decimalComma};
    QCOMPARE(tableLines(buffer, QDate(2026, 12, 7), format), QStringList({header, row}));
}

void TestTableExport::separators_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("separator"); // -1: refused

    QTest::newRow("semicolon") << ";" << int(';');
    QTest::newRow("comma") << "," << int(',');
    QTest::newRow("tab by name") << "tab" << int('\t');
    QTest::newRow("tab character") << "\t" << int('\t');
    QTest::newRow("pipe") << "|" << int('|');
    QTest::newRow("two characters") << ";;" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("digit") << "1" << -1;
    QTest::newRow("decimal point") << "." << -1;
    QTest::newRow("minus sign") << "-" << -1;
    QTest::newRow("quote") << "\"" << -1;
    QTest::newRow("letter") << "x" << -1;
    QTest::newRow("line end") << "\n" << -1;
}

void TestTableExport::separators()
{
    QFETCH(QString, text);
    QFETCH(int, separator);
    const auto parsed = tableSeparator(text);
    QCOMPARE(parsed ? int(*parsed) : -1, separator);
}

void TestTableExport::localeChoosesTheFormat()
{
    const TableFormat german = tableFormatFor(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(german.separator, ';');
    QVERIFY(german.decimalComma);
    const TableFormat english = tableFormatFor(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(english.separator, ',');
    QVERIFY(!english.decimalComma);
}

void TestTableExport::pythonReadsTheTable()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    logRun(store, at(2026, 12, 7, 23, 59, 59), 12, 300);
    TARecord quoted = store.buffer().at(0);
    quoted.value = "1,5\"";
    quoted.fValue = -0.000123f;
    store.bufferForLoading().append(quoted);
    const RecordBuffer& buffer = store.buffer();

    for (const TableFormat format : {TableFormat{',', false}, TableFormat{';', true}}) {
        TableProducer table(format, QDate(2026, 12, 7), bufferRecords(buffer));
        const QString path = dir.filePath("table.csv");
        QVERIFY(
            !writeFileAtomically(path, [&](QByteArray& block) { return table.nextBlock(block); }));

        // Python prints each row's fields, the value as the float it read.
        const char* const script =
            "import csv, sys\n"
            "sep, comma = sys.argv[2], sys.argv[3] == '1'\n"
            "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
            "    rows = list(csv.reader(f, delimiter=sep))\n"
            "assert rows[0] == ['time', 'value', 'unit', 'display', 'subdisplay'], rows[0]\n"
            "for r in rows[1:]:\n"
            "    v = float(r[1].replace(',', '.') if comma else r[1])\n"
            "    print(r[0], repr(v), r[2], r[3], len(r), sep='\\t')\n";
        QProcess process;
        process.start(python, {"-c", script, path, QString(QChar(format.separator)),
                               format.decimalComma ? "1" : "0"});
        QVERIFY(process.waitForFinished(30000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        const QStringList lines =
            QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), qsizetype(buffer.size()));
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            const TARecord& record = buffer.at(i);
            const QStringList fields = lines[qsizetype(i)].split('\t');
            QCOMPARE(fields.size(), 5);
            const SiUnit unit = siUnit(record.function);
            QCOMPARE(storedFrom(fields[1], unit.decimalShift), record.fValue);
            QCOMPARE(fields[2],
                     QString::fromUtf8(unit.symbol.data(), qsizetype(unit.symbol.size())));
            QCOMPARE(fields[3], QString::fromStdString(record.value.str() + record.prefix.str()));
            QCOMPARE(fields[4], QStringLiteral("5"));
        }
        QCOMPARE(lines.first().section('\t', 0, 0), QStringLiteral("2026-12-07T23:59:59.000"));
        QCOMPARE(lines[4].section('\t', 0, 0), QStringLiteral("2026-12-08T00:00:00.200"));
    }
}

QTEST_GUILESS_MAIN(TestTableExport)
#include "tst_tableexport.moc"
