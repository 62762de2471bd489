// SPDX-License-Identifier: MIT
// The table for spreadsheets: SI values and symbols, date stamps in the
// records' spare bytes, dates inferred for records without one, and the
// recorder's own export and files left exactly as they were.
#include <QtTest>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <ctime>
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

using Stamp = std::optional<std::int64_t>;

// DC millivolts, ohms overload, degrees C, nanofarads, microamperes, hertz.
const char* const kFrames[] = {
    "0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4", "0A 10 20 30 40 5E 6B 76 81 90 A0 B0 C4 D0 E0",
    "0A 10 20 3A 4D 5C 67 79 8F 9E A1 B0 C0 D0 E0", "0A 10 20 30 4A 5E 6B 7F 8B 9E AB B0 C1 D4 E0",
    "0A 14 20 30 4A 5A 6D 78 8F 95 AE B0 C0 D2 E2", "0A 10 20 30 4A 5B 6D 78 8F 94 AE B0 C2 D0 E0"};

QDateTime at(int year, int month, int day, int h, int m, int s, int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(h, m, s, ms));
}

// Logs `count` readings of kFrames in turn, `stepMs` apart from `start`: by a
// simulated clock (stamped), or as the recorder did before readings carried a
// date, with the time text alone.
void logRun(RecorderStore& store, QDateTime start, int count, int stepMs, bool stamped = true)
{
    FrameDecoder decoder;
    std::vector<CurrentReading> readings;
    for (const char* hex : kFrames)
        applyFrame(readings.emplace_back(), *decoder.ReadMeterFrame(*sim::parseHexBytes(hex)));
    auto now = std::make_shared<QDateTime>(start);
    store.setClock([now] { return *now; });
    for (int i = 0; i < count; ++i, *now = now->addMSecs(stepMs)) {
        const CurrentReading& reading = readings[std::size_t(i) % readings.size()];
        const QTime t = now->time();
        QVERIFY(stamped ? store.appendReading(reading)
                        : store.appendReading(reading, formatTimeStamp(t.hour(), t.minute(),
                                                                       t.second(), t.msec())));
    }
}

QStringList tableLines(const RecordBuffer& buffer, QDate firstDate, TableFormat format = {},
                       bool* inferred = nullptr)
{
    RecordRuns records(buffer);
    TableProducer table(format, firstDate, records);
    QByteArray block;
    while (table.nextBlock(block))
        ;
    if (inferred)
        *inferred = table.datesInferred();
    return QString::fromUtf8(block).split('\n', Qt::SkipEmptyParts);
}

// The stored float from a value text of the table: the decimal number the
// text denotes, moved back to the stored unit by its exponent, rounded once.
float storedFrom(const QString& text, int decimalShift)
{
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    const int exponent = (e < 0 ? 0 : text.mid(e + 1).toInt()) - decimalShift;
    const QString mantissa = e < 0 ? text : text.left(e);
    return std::strtof((mantissa + QStringLiteral("e%1").arg(exponent)).toLatin1().constData(),
                       nullptr);
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
    void stamps_data();
    void stamps();
    void randomSpareBytesAreNeverStamped();

    void runAcrossMidnightInOrder_data();
    void runAcrossMidnightInOrder();

    void recorderExportAndFilesUnchanged();

    void rows_data();
    void rows();
    void utcAcrossAClockChange_data();
    void utcAcrossAClockChange();
    void separators_data();
    void separators();
    void pythonReadsTheTable();
};

void TestTableExport::siUnits_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<float>("stored");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("symbol");
    const auto row = [](const char* name, int function, float stored, const char* value,
                        const char* symbol) {
        QTest::newRow(name) << function << stored << QString(value) << QString::fromUtf8(symbol);
    };
    row("plain volts", 4, 1.5f, "1.5", "V");
    row("AC volts", 5, 230.1f, "230.1", "V");
    row("DC millivolts", 6, 0.01234f, "0.01234", "V");
    row("AC+DC volts", 7, -1.234f, "-1.234", "V");
    row("nanofarads, stored in microfarads", 8, 0.02399f, "2.399e-08", "F");
    row("microfarads", 8, 12.34f, "1.234e-05", "F");
    row("millifarads", 8, 12340.0f, "0.01234", "F");
    row("capacitance overload", 8, 55.0f, "5.5e-05", "F");
    row("negative capacitance", 8, -0.5f, "-5e-07", "F");
    row("zero farads", 8, 0.0f, "0", "F");
    row("degrees C", 32, 23.5f, "23.5", "\u00B0C");
    row("degrees F", 64, 74.3f, "74.3", "\u00B0F");
    row("ohms", 128, 1234.0f, "1234", "\u03A9");
    row("ohms overload", 128, 9900.0f, "9900", "\u03A9");
    row("ohms with flag 0x100", 384, 1000.0f, "1000", "\u03A9");
    row("AC amperes", 513, 0.5f, "0.5", "A");
    row("DC microamperes", 514, 0.0001234f, "0.0001234", "A");
    row("AC+DC amperes", 515, 6.6f, "6.6", "A");
    row("volt-amperes", 516, 1500.0f, "1500", "VA");
    row("hertz", 1024, 50.01f, "50.01", "Hz");
    row("no annunciator", 0, 123.0f, "123", "");
    row("flag 0x40000000 alone", 0x40000000, 1.0f, "1", "");
    row("low battery DC volts", int(0x80000006u), 9.0f, "9", "V");
    row("code the meter never sends", 2, 1.0f, "1", "");
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
        const std::uint32_t word = bits(random);
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
    for (int combination = 0; combination < (1 << std::size(flags)); ++combination) {
        std::uint32_t word = 0;
        for (std::size_t bit = 0; bit < std::size(flags); ++bit)
            word |= (combination >> bit) & 1 ? flags[bit] : 0;
        FixedText<8> unit;
        QVERIFY(std::size_t(GetUnitText(word, unit)) <= kStampUnitTextMax);
        const int function = int(word & 0x7FFFFFFFu);
        for (int exponent = -9; exponent <= 15; ++exponent) {
            FixedText<8> prefix;
            const int prefixExp = GetPrefixExp(function, std::to_string(exponent));
            QVERIFY(std::size_t(GetPrefixText(function, prefixExp, prefix)) <= kStampPrefixTextMax);
        }
    }
}

void TestTableExport::stamps_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<bool>("stamped");
    const auto row = [](const char* name, const char* prefix, const char* unit, qint64 ms,
                        bool stamped) {
        QTest::newRow(name) << QString(prefix) << QString(unit) << ms << stamped;
    };
    row("no prefix, no unit", "", "", 0, true);
    row("nano farads", "n", "F", at(2026, 12, 7, 23, 59, 59, 912).toMSecsSinceEpoch(), true);
    row("kilo hertz", "K", "Hz", 1'700'000'000'123, true);
    row("last millisecond stamps hold", "M", "VA", (qint64(1) << 48) - 1, true);
    row("prefix without room", "ab", "V", 1000, false);
    row("before 1970", "m", "V", -1, false);
    row("past 48 bits", "m", "V", qint64(1) << 48, false);
}

void TestTableExport::stamps()
{
    QFETCH(QString, prefix);
    QFETCH(QString, unit);
    QFETCH(qint64, ms);
    QFETCH(bool, stamped);
    TARecord record;
    record.prefix = prefix.toStdString();
    record.unit = unit.toStdString();
    const auto before = encodeARecord(record);
    QVERIFY(!recordStamp(record));
    QCOMPARE(setRecordStamp(record, ms), stamped);
    if (!stamped) {
        QCOMPARE(encodeARecord(record), before);
        return;
    }
    QCOMPARE(record.prefix.str(), prefix.toStdString());
    QCOMPARE(record.unit.str(), unit.toStdString());
    QCOMPARE(recordStamp(record), Stamp(ms));
    // Through the bytes of both record layouts.
    QCOMPARE(recordStamp(decodeARecord(encodeARecord(record))), Stamp(ms));
    QCOMPARE(recordStamp(decodeRecord(encodeRecord(record))), Stamp(ms));
}

void TestTableExport::randomSpareBytesAreNeverStamped()
{
    TARecord real;
    real.display = "1.234";
    real.exponent = "-2";
    real.timeStamp = " 12:00:00.0  ";
    real.value = "12.34";
    real.prefix = "m";
    real.unit = "V";
    const auto template_ = encodeARecord(real);

    // A stamp under a unit text that grew over it is not believed.
    TARecord grown = real;
    QVERIFY(setRecordStamp(grown, 1000));
    auto grownBytes = encodeARecord(grown);
    grownBytes[56 + 1] = 'y'; // "V" runs on with no terminator in its room
    grownBytes[56 + 2] = 'z';
    QVERIFY(!recordStamp(decodeARecord(grownBytes)));

    // The bytes after each terminator, which other programs may fill with anything.
    std::vector<bool> spare(template_.size());
    for (const auto& [offset, size] : std::initializer_list<std::pair<std::size_t, std::size_t>>{
             {0, 8}, {8, 4}, {16, 16}, {32, 16}, {48, 8}, {56, 8}, {68, 8}}) {
        std::size_t i = offset;
        while (template_[i] != 0)
            ++i;
        while (++i < offset + size)
            spare[i] = true;
    }
    std::mt19937_64 random(1616);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 1'000'000; ++n) {
        auto bytes = template_;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (n % 2 == 1 || spare[i]) // every byte in every second record
                bytes[i] = std::uint8_t(byte(random));
        if (recordStamp(decodeARecord(bytes)))
            QFAIL(qPrintable(QStringLiteral("record %1 read as stamped").arg(n)));
    }
}

void TestTableExport::runAcrossMidnightInOrder_data()
{
    QTest::addColumn<int>("unstamped");   // the first readings, logged without a date
    QTest::addColumn<QDate>("lastDate");  // the file's date
    QTest::addColumn<QDate>("firstDate"); // given to the table, or invalid: from lastDate

    QTest::newRow("stamped") << 0 << QDate(2026, 12, 8) << QDate();
    QTest::newRow("stamped, a wrong date given is not used") << 0 << QDate() << QDate(2000, 1, 1);
    QTest::newRow("unstamped, dated from the last reading") << 5 << QDate(2026, 12, 8) << QDate();
    QTest::newRow("unstamped, first date given") << 5 << QDate() << QDate(2026, 12, 7);
    QTest::newRow("leading unstamped count back from the first stamp, not the file's date")
        << 4 << QDate(1999, 1, 1) << QDate();
}

void TestTableExport::runAcrossMidnightInOrder()
{
    QFETCH(int, unstamped);
    QFETCH(QDate, lastDate);
    QFETCH(QDate, firstDate);
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    const QDateTime start = at(2026, 12, 7, 23, 59, 58, 500);
    logRun(store, start, unstamped, 700, false);
    logRun(store, start.addMSecs(700 * unstamped), 5 - unstamped, 700);
    if (!firstDate.isValid()) {
        RecordRuns records(store.buffer());
        firstDate = firstRecordDate(records, lastDate);
    }
    bool inferred = false;
    const QStringList lines = tableLines(store.buffer(), firstDate, {}, &inferred);
    QCOMPARE(lines.value(0), QStringLiteral("time,value,unit,display,subdisplay"));
    // Tenths as the time text has them, milliseconds from a stamp.
    const QStringList times = {"2026-12-07T23:59:58.5", "2026-12-07T23:59:59.2",
                               "2026-12-07T23:59:59.9", "2026-12-08T00:00:00.6",
                               "2026-12-08T00:00:01.3"};
    QCOMPARE(lines.size(), 6);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(lines[i + 1].section(',', 0, 0), times[i] + (i < unstamped ? "" : "00"));
    QCOMPARE(inferred, unstamped > 0);
}

void TestTableExport::recorderExportAndFilesUnchanged()
{
    // The same readings logged with date stamps and as before without: the
    // text export, the data list and every byte a reader uses agree; the
    // stamps survive the saved file and the run's temporary file.
    QTemporaryDir dir;
    RecorderStore stamped(dir.path());
    RecorderStore plain(dir.path());
    const QDateTime start = at(2026, 12, 7, 23, 59, 0, 250);
    QVERIFY(stamped.tempFiles().createNext());
    logRun(stamped, start, 450, 500);
    stamped.tempFiles().close();
    logRun(plain, start, 450, 500, false);
    const RecordBuffer& b = plain.buffer();
    QCOMPARE(b.at(0).timeStamp.str(), std::string(" 23:59:00.2  "));
    QCOMPARE(exportText(stamped.buffer(), {0, b.size()}), exportText(b, {0, b.size()}));
    const QString saved = dir.filePath("stamped.g52");
    QVERIFY(saveRecordFile(saved, stamped.buffer()));
    for (const QString& path : {saved, stamped.tempFiles().fileName(1)}) {
        RecordBuffer opened;
        QVERIFY(readRecordFile(path, opened));
        QCOMPARE(opened.size(), b.size());
        QCOMPARE(exportText(opened, {0, b.size()}), exportText(b, {0, b.size()}));
        for (std::size_t i = 0; i < b.size(); ++i) {
            QVERIFY(opened.at(i) == b.at(i)); // texts up to their terminators, code, float
            QCOMPARE(dataListLine(i, opened.at(i)), dataListLine(i, b.at(i)));
            QCOMPARE(recordStamp(opened.at(i)), Stamp(start.toMSecsSinceEpoch() + 500 * qint64(i)));
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
}

void TestTableExport::rows_data()
{
    QTest::addColumn<QString>("locale"); // empty: the separator and decimal comma given
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("decimalComma");
    QTest::addColumn<QStringList>("lines");
    const auto row = [](const char* name, const char* locale, char separator, bool decimalComma,
                        const char* header, const char* line) {
        QTest::newRow(name) << QString(locale) << QChar(separator) << decimalComma
                            << QStringList({header, line});
    };
    row("English locale: comma, decimal point", "en_US", 0, false,
        "time,value,unit,display,subdisplay", "2026-12-07T23:59:59.9,2.399e-08,F,23.99n,0.98");
    row("German locale: semicolon, decimal comma", "de_DE", 0, false,
        "time;value;unit;display;subdisplay", "2026-12-07T23:59:59.9;2,399e-08;F;23,99n;0,98");
    row("comma, decimal comma: value and display texts quoted", "", ',', true,
        "time,value,unit,display,subdisplay",
        "2026-12-07T23:59:59.9,\"2,399e-08\",F,\"23,99n\",\"0,98\"");
    row("tab", "", '\t', false, "time\tvalue\tunit\tdisplay\tsubdisplay",
        "2026-12-07T23:59:59.9\t2.399e-08\tF\t23.99n\t0.98");
    row("colon: the time is quoted", "", ':', false, "time:value:unit:display:subdisplay",
        "\"2026-12-07T23:59:59.9\":2.399e-08:F:23.99n:0.98");
    row("overload: no value", "", ',', false, "time,value,unit,display,subdisplay",
        "2026-12-07T23:59:59.9,,F,O.Ln,0.98");
}

void TestTableExport::rows()
{
    QFETCH(QString, locale);
    QFETCH(QChar, separator);
    QFETCH(bool, decimalComma);
    QFETCH(QStringList, lines);
    TARecord record;
    record.function = 8;
    record.timeStamp = " 23:59:59.9  ";
    const bool overload = QByteArray(QTest::currentDataTag()).startsWith("overload");
    record.value = overload ? "O.L" : "23.99";
    record.prefix = "n";
    record.unit = "F";
    record.fValue = overload ? 5.5f : 0.02399f;
    record.subDisplay = "0.98";
    RecordBuffer buffer;
    buffer.append(record);
    const TableFormat format = locale.isEmpty() ? TableFormat{separator.toLatin1(), decimalComma}
                                                : tableFormatFor(QLocale(locale));
    QCOMPARE(tableLines(buffer, QDate(2026, 12, 7), format), lines);
}

void TestTableExport::utcAcrossAClockChange_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QStringList>("times"); // of 01:59:59.0 and 03:00:00.0 local
    QTest::newRow("New York, clocks forward")
        << QByteArray("America/New_York") << QDate(2026, 3, 8)
        << QStringList{"2026-03-08T06:59:59.0Z", "2026-03-08T07:00:00.0Z"};
    QTest::newRow("Lord Howe, half an hour forward")
        << QByteArray("Australia/Lord_Howe") << QDate(2026, 10, 4)
        << QStringList{"2026-10-03T15:29:59.0Z", "2026-10-03T16:00:00.0Z"};
}

// The zone's offset is looked up once per quarter hour, not once a day.
void TestTableExport::utcAcrossAClockChange()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDate, date);
    QFETCH(QStringList, times);
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", zone);
    ::tzset();
    RecordBuffer buffer;
    for (const char* time : {"  1:59:59.0  ", "  3:00:00.0  "}) {
        TARecord record;
        record.timeStamp = time;
        buffer.append(record);
    }
    TableFormat format;
    format.utc = true;
    const QStringList lines = tableLines(buffer, date, format);
    qputenv("TZ", saved);
    ::tzset();
    QCOMPARE(QStringList({lines.value(1).section(',', 0, 0), lines.value(2).section(',', 0, 0)}),
             times);
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
    // The units of kFrames in turn.
    const QStringList symbols = {"V", "\u03A9", "\u00B0C", "F", "A", "Hz"};

    for (const TableFormat format : {TableFormat{',', false}, TableFormat{';', true}}) {
        RecordRuns records(buffer);
        TableProducer table(format, QDate(2026, 12, 7), records);
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
            "    v = float(r[1].replace(',', '.') if comma else r[1]) if r[1] else None\n"
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
            const QString& symbol = symbols[qsizetype(i) % symbols.size()];
            QCOMPARE(fields[2], symbol);
            // The ohms reading of kFrames is an overload: no value.
            if (symbol == "\u03A9")
                QCOMPARE(fields[1], QStringLiteral("None"));
            else
                QCOMPARE(storedFrom(fields[1], symbol == "F" ? -6 : 0), record.fValue);
            // The display as the meter showed it, its point as the table's decimal
            // mark, quotes and commas in it read back.
            QCOMPARE(fields[3], QString::fromStdString(record.value.str() + record.prefix.str())
                                    .replace('.', format.decimalComma ? ',' : '.'));
            QCOMPARE(fields[4], QStringLiteral("5"));
        }
        QCOMPARE(lines.first().section('\t', 0, 0), QStringLiteral("2026-12-07T23:59:59.000"));
        QCOMPARE(lines[4].section('\t', 0, 0), QStringLiteral("2026-12-08T00:00:00.200"));
    }
}

QTEST_GUILESS_MAIN(TestTableExport)
#include "tst_tableexport.moc"
