// SPDX-License-Identifier: MIT
// dmm-log: its command line, the record, CSV and summary texts, the output
// files and the warning throttle directly; and the built program end to end
// against the meter simulator on a pseudo-terminal.
#include <QtTest>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

#include <chrono>
#include <csignal>
#include <optional>
#include <vector>

#include <sys/stat.h>

#include "FileBytes.h"
#include "FrameDecoder.h"
#include "HexBytes.h"
#include "LogFile.h"
#include "LogLines.h"
#include "LogOptions.h"
#include "MqttMessages.h"
#include "MqttUrl.h"
#include "NumberText.h"
#include "Record.h"
#include "RecordFile.h"
#include "RecorderStore.h"
#include "SiUnits.h"
#include "SimProcess.h"
#include "SimScript.h"
#include "TableExport.h"
#include "ValueFormat.h"
#include "WarningThrottle.h"

using namespace dmm;
using namespace dmm::logtool;
using namespace std::chrono_literals;

namespace {

// Distinct readings, each independent of the one before, so every record
// can be told by what it shows.
const char* const kDistinctScript = "period 100\n"
                                    "show 6 -1.234\n"
                                    "show 6 12.34 m\n"
                                    "show 128 1.234 k\n"
                                    "show 128 _0.L_ k\n"
                                    "show 32 25.3\n"
                                    "show 8 10.00 n\n"
                                    "show 514 123.4 u\n"
                                    "show 1024 1.234 k\n";

// Frames without the identifier position for about 2.5 s (the meter seems
// silent, yet every read returns at once), then a meter with a low battery.
const char* const kWarningScript = "period 100\n"
                                   "repeat 25\n"
                                   "partial 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4 F0\n"
                                   "end\n"
                                   "repeat 1000\n"
                                   "show 6 1.234 lowbat\n"
                                   "end\n";

const QRegularExpression
    kIsoTime(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));

std::vector<TARecord> recordsOf(const QString& path, QString* error = nullptr)
{
    RecordBuffer buffer;
    std::vector<TARecord> records;
    if (!readRecordFile(path, buffer, error))
        return records;
    for (std::size_t i = 0; i < buffer.size(); ++i)
        records.push_back(buffer.at(i));
    return records;
}

// What the recorder makes of each frame of a script, read on its own.
std::vector<TARecord> recorderRecords(const char* script)
{
    std::vector<TARecord> records;
    const auto steps = sim::parseScript(script);
    if (!steps)
        return records;
    for (const sim::SimStep& step : *steps) {
        if (step.kind != sim::SimStep::Kind::Frame)
            continue;
        FrameDecoder decoder;
        CurrentReading reading;
        const auto frame = decoder.ReadMeterFrame(step.bytes);
        if (!frame)
            continue;
        applyFrame(reading, *frame);
        RecorderStore store(QDir::tempPath());
        if (store.appendReading(reading, "  0:00:00.0  "))
            records.push_back(store.buffer().at(0));
    }
    return records;
}

TARecord withoutTime(TARecord record)
{
    record.timeStamp = "";
    return record;
}

// The built dmm-log, its standard output collected line by line.
class LogProcess
{
public:
    explicit LogProcess(const QString& directory) { m_process.setWorkingDirectory(directory); }
    ~LogProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool start(const QStringList& arguments)
    {
        m_process.start(QStringLiteral(DMM_LOG_PATH), arguments);
        return m_process.waitForStarted(5000);
    }
    // Waits until `count` readings were printed.
    bool waitForLines(int count, std::chrono::milliseconds timeout = 10s)
    {
        QDeadlineTimer deadline(timeout);
        while (collect() < count && !deadline.hasExpired()) {
            if (m_process.state() == QProcess::NotRunning)
                return collect() >= count;
            m_process.waitForReadyRead(static_cast<int>(
                std::max<qint64>(1, std::min<qint64>(deadline.remainingTime(), 200))));
        }
        return collect() >= count;
    }
    // Exit status, or none when it did not end normally in time.
    std::optional<int> waitFinished(std::chrono::milliseconds timeout = 15s)
    {
        if (!m_process.waitForFinished(static_cast<int>(timeout.count())) ||
            m_process.exitStatus() != QProcess::NormalExit)
            return std::nullopt;
        collect();
        return m_process.exitCode();
    }
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }

    QStringList lines() const { return m_lines; }
    QString errors()
    {
        m_errors += QString::fromLocal8Bit(m_process.readAllStandardError());
        return m_errors;
    }

private:
    int collect()
    {
        m_pending += m_process.readAllStandardOutput();
        for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
            m_lines << QString::fromLocal8Bit(m_pending.left(end));
            m_pending.remove(0, end + 1);
        }
        return static_cast<int>(m_lines.size());
    }

    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    QString m_errors;
};

} // namespace

class TestDmmLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void durationTexts_data();
    void durationTexts();
    void arguments_data();
    void arguments();
    void outputPaths();

    void recordIsTheRecorders_data();
    void recordIsTheRecorders();
    void csvLines_data();
    void csvLines();
    void floatTextReadsBack_data();
    void floatTextReadsBack();
    void summaryAndSpan();
    void wholeUnitsAtTheEnd();
    void appendCutsIncompleteEnd();
    void warningThrottle();

    void logsWhatTheRecorderMakes();
    void intervalAndDuration();
    void sigtermEndsCleanly();
    void sigkillLeavesWholeRecords();
    void refusesToOverwrite();
    void nameThatIsNoUtf8IsKept();
    void appendsAfterCutRecord();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void warningsAndLoggingGoesOn();
    void mqttReadings_data();
    void mqttReadings();
    void mqttPasswordFile_data();
    void mqttPasswordFile();
};

void TestDmmLog::initTestCase()
{
    // The program converts with '.' from its first frame on.
    setDecimalSeparator('.');
}

// ---------------------------------------------------------------------------
// Command line

void TestDmmLog::durationTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("ms"); // -1: refused

    QTest::newRow("hours") << "2h" << qint64(7'200'000);
    QTest::newRow("minutes") << "30m" << qint64(1'800'000);
    QTest::newRow("seconds") << "45s" << qint64(45'000);
    QTest::newRow("combined") << "1h30m" << qint64(5'400'000);
    QTest::newRow("all three") << "1h1m1s" << qint64(3'661'000);
    QTest::newRow("bare seconds") << "90" << qint64(90'000);
    QTest::newRow("blanks around") << " 5s " << qint64(5'000);
    QTest::newRow("zero") << "0s" << qint64(-1);
    QTest::newRow("negative") << "-5s" << qint64(-1);
    QTest::newRow("fraction") << "1.5h" << qint64(5'400'000);
    QTest::newRow("fraction of a second") << "3.5s" << qint64(3'500);
    QTest::newRow("bare fraction") << "0.25" << qint64(250);
    QTest::newRow("too fine") << "0.0001s" << qint64(-1);
    QTest::newRow("rounds to nothing") << "0.000s" << qint64(-1);
    QTest::newRow("point alone") << "1.s" << qint64(-1);
    QTest::newRow("unknown unit") << "5d" << qint64(-1);
    QTest::newRow("unit alone") << "h" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
    QTest::newRow("blank inside") << "1h 30m" << qint64(-1);
    QTest::newRow("over a century") << "900000h" << qint64(-1);
    QTest::newRow("too many digits") << "9999999999999s" << qint64(-1);
}

void TestDmmLog::durationTexts()
{
    QFETCH(QString, text);
    QFETCH(qint64, ms);
    const auto duration = parseDuration(text);
    QCOMPARE(duration ? qint64(duration->count()) : qint64(-1), ms);
}

void TestDmmLog::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // part of the error; empty: accepted

    const QString port = QStringLiteral("--port=COM2");
    QTest::newRow("port only") << QStringList{port} << QString();
    QTest::newRow("everything") << QStringList{port,      "--interval", "10",    "--out",
                                               "a.g52",   "--csv",      "a.csv", "--duration",
                                               "2h",      "--count",    "5",     "--quiet",
                                               "--append"}
                                << QString();
    QTest::newRow("no port") << QStringList{"--out", "a.g52"} << "--port";
    QTest::newRow("interval 0 is Full Speed") << QStringList{port, "--interval", "0"} << QString();
    QTest::newRow("interval not a number")
        << QStringList{port, "--interval", "1.5"} << "--interval";
    QTest::newRow("interval negative") << QStringList{port, "--interval", "-1"} << "--interval";
    QTest::newRow("interval past 32-bit ms")
        << QStringList{port, "--interval", "2147484"} << "--interval";
    QTest::newRow("count 0") << QStringList{port, "--count", "0"} << "--count";
    QTest::newRow("duration bad") << QStringList{port, "--duration", "soon"} << "--duration";
    QTest::newRow("quiet with nowhere to log") << QStringList{port, "--quiet"} << "nothing to log";
    QTest::newRow("same file twice")
        << QStringList{port, "--out", "x", "--csv", "./x"} << "same file";
    QTest::newRow("option twice") << QStringList{port, "--count", "1", "--count", "2"}
                                  << "more than once";
    QTest::newRow("unknown option") << QStringList{port, "--fast"} << "fast";
    QTest::newRow("stray argument") << QStringList{port, "COM3"} << "COM3";
    QTest::newRow("empty file name") << QStringList{port, "--out", ""} << "file name";
}

void TestDmmLog::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const ParsedArguments parsed = parseLogArguments(QStringList{"dmm-log"} + arguments);
    if (error.isEmpty()) {
        QVERIFY2(parsed.options, qPrintable(parsed.error));
        QCOMPARE(parsed.options->port, QStringLiteral("COM2"));
    } else {
        QVERIFY(!parsed.options);
        QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
    }
}

void TestDmmLog::outputPaths()
{
    QCOMPARE(comPortNumber("COM2"), 2);
    QCOMPARE(comPortNumber("COM11"), 11); // the link's own answer: no such port
    QCOMPARE(comPortNumber("com2"), 0);   // a file of that name, not the naming
    QCOMPARE(comPortNumber("/dev/ttyUSB0"), 0);
    QCOMPARE(comPortNumber("./COM1"), 0);

    const ParsedArguments help = parseLogArguments({"dmm-log", "--help"});
    QVERIFY(help.helpRequested);
    QVERIFY(logHelpText().contains("--duration"));

    QTemporaryDir dir;
    const QString existing = dir.filePath("old.g52");
    TARecord logged;
    logged.timeStamp = formatTimeStamp(9, 5, 3, 400);
    const auto bytes = encodeARecord(logged);
    QVERIFY(writeFile(existing, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                           qsizetype(bytes.size()))));
    QVERIFY(outputPathProblem(existing, true, false).contains("exists"));
    QVERIFY(outputPathProblem(existing, true, true).isEmpty());
    QVERIFY(outputPathProblem(dir.filePath("new.g52"), true, false).isEmpty());
    QVERIFY(outputPathProblem(dir.path(), true, true).contains("directory"));
    // The logger reads such a name as 68-byte records.
    QVERIFY(outputPathProblem(dir.filePath("run.g51"), true, false).contains("68-byte"));
    QVERIFY(outputPathProblem(dir.filePath("run.g51.csv"), false, false).isEmpty());
    // A dangling link is not silently written through.
    QVERIFY(QFile::link(dir.filePath("nowhere"), dir.filePath("dangling.csv")));
    QVERIFY(outputPathProblem(dir.filePath("dangling.csv"), false, false).contains("exists"));
}

// ---------------------------------------------------------------------------
// Records and texts

void TestDmmLog::recordIsTheRecorders_data()
{
    QTest::addColumn<QStringList>("frames"); // read one after another

    QTest::newRow("DC volts") << QStringList{"0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"};
    QTest::newRow("overload ohms") << QStringList{"0A 10 20 30 40 5E 6B 76 81 90 A0 B0 C4 D0 E0"};
    QTest::newRow("degrees C") << QStringList{"0A 10 20 3A 4D 5C 67 79 8F 9E A1 B0 C0 D0 E0"};
    QTest::newRow("low battery") << QStringList{"0A 14 24 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"};
    QTest::newRow("AC+DC volts, unformatted")
        << QStringList{"0A 16 20 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4"};
    QTest::newRow("nano farads") << QStringList{"0A 10 20 30 4A 5E 6B 7F 8B 9E AB B0 C1 D4 E0"};
    QTest::newRow("micro amperes") << QStringList{"0A 14 20 30 4A 5A 6D 78 8F 95 AE B0 C0 D2 E2"};
    QTest::newRow("blank display: nothing logged")
        << QStringList{"0A 14 20 30 40 50 60 70 80 90 A0 B0 C0 D0 E4"};
    // Values the loop keeps from the reading before end up in the record too.
    QTest::newRow("after another reading")
        << QStringList{"0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4",
                       "0A 16 20 30 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4",
                       "0A 10 20 30 40 5E 6B 76 81 90 A0 B0 C4 D0 E0"};
}

void TestDmmLog::recordIsTheRecorders()
{
    QFETCH(QStringList, frames);
    const QDateTime time(QDate(2024, 5, 1), QTime(9, 5, 3, 456));
    FrameDecoder decoder;
    CurrentReading reading;
    for (const QString& hex : frames) {
        const auto bytes = sim::parseHexBytes(hex.toStdString());
        QVERIFY(bytes);
        const auto frame = decoder.ReadMeterFrame(*bytes);
        QVERIFY(frame);
        applyFrame(reading, *frame);

        RecorderStore store(QDir::tempPath());
        store.setClock([&] { return time; });
        const bool logged = store.appendReading(reading);
        const auto record = makeLogRecord(reading, time);
        QCOMPARE(record.has_value(), logged);
        if (!logged)
            continue;
        QCOMPARE(encodeARecord(*record), encodeARecord(store.buffer().at(0)));
        QCOMPARE(record->timeStamp.str(), std::string("  9:05:03.4  "));
    }
}

void TestDmmLog::csvLines_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("function");
    QTest::addColumn<float>("fValue");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("utcFrom"); // the reading's zone, for --utc; empty: local

    QTest::newRow("milli volts") << "12.34"
                                 << "m" << 6 << 0.01234f
                                 << "2024-05-01T09:05:03.456,0.01234,V,12.34m," << QByteArray();
    QTest::newRow("ohms overload")
        << "OL"
        << "K" << 128 << 9900.0f << "2024-05-01T09:05:03.456,,\u03A9,OLK," << QByteArray();
    QTest::newRow("negative, no prefix")
        << "-1.234"
        << "" << 6 << -1.234f << "2024-05-01T09:05:03.456,-1.234,V,-1.234," << QByteArray();
    // Capacitance is stored in microfarads, written in farads.
    QTest::newRow("nano farads") << "23.99"
                                 << "n" << 8 << 0.02399f
                                 << "2024-05-01T09:05:03.456,2.399e-08,F,23.99n," << QByteArray();
    QTest::newRow("comma is quoted")
        << "1,5"
        << "" << 0 << 1.5f << "2024-05-01T09:05:03.456,1.5,,\"1,5\"," << QByteArray();
    QTest::newRow("UTC from Tokyo")
        << "1.234"
        << "" << 6 << 1.234f << "2024-05-01T00:05:03.456Z,1.234,V,1.234,"
        << QByteArray("Asia/Tokyo");
    QTest::newRow("UTC from New York")
        << "1.234"
        << "" << 6 << 1.234f << "2024-05-01T13:05:03.456Z,1.234,V,1.234,"
        << QByteArray("America/New_York");
}

void TestDmmLog::csvLines()
{
    QFETCH(QString, value);
    QFETCH(QString, prefix);
    QFETCH(int, function);
    QFETCH(float, fValue);
    QFETCH(QString, line);
    QFETCH(QByteArray, utcFrom);
    TARecord record;
    record.value = value.toStdString();
    record.prefix = prefix.toStdString();
    record.function = function;
    record.fValue = fValue;
    const QDateTime local(QDate(2024, 5, 1), QTime(9, 5, 3, 456));
    TableFormat format;
    format.utc = !utcFrom.isEmpty();
    const QDateTime time =
        format.utc ? QDateTime(local.date(), local.time(), QTimeZone(utcFrom)) : local;
    QCOMPARE(QString::fromUtf8(csvLine(time, record, format)), line + '\n');
    QCOMPARE(QString::fromStdString(csvHeader()), "time,value,unit,display,subdisplay\n");
    // Midnight still shows its milliseconds.
    QCOMPARE(isoLocalTime(QDateTime(QDate(2024, 12, 31), QTime(0, 0))),
             std::string("2024-12-31T00:00:00.000"));
}

void TestDmmLog::floatTextReadsBack_data()
{
    QTest::addColumn<float>("value");
    QTest::newRow("0.001234") << 0.001234f;
    QTest::newRow("-6.6") << -6.6f;
    QTest::newRow("1e-9") << 1e-9f;
    QTest::newRow("9.9e7") << 9.9e7f;
    QTest::newRow("1100") << 1100.0f;
    QTest::newRow("0") << 0.0f;
}

void TestDmmLog::floatTextReadsBack()
{
    QFETCH(float, value);
    const std::string text = floatText(value);
    QCOMPARE(std::strtof(text.c_str(), nullptr), value);
    QVERIFY2(text.size() <= 12, text.c_str());
}

void TestDmmLog::summaryAndSpan()
{
    QCOMPARE(spanText(4567ms), std::string("4.5 s"));
    QCOMPARE(spanText(184'500ms), std::string("3 min 04.5 s"));
    QCOMPARE(spanText(std::chrono::milliseconds(2 * 3'600'000 + 3 * 60'000 + 4'000)),
             std::string("2 h 03 min 04.0 s"));
    QCOMPARE(spanText(std::chrono::milliseconds(30LL * 24 * 3'600'000)),
             std::string("720 h 00 min 00.0 s"));
    QCOMPARE(summaryText(0, {}, {}), std::string("0 readings logged"));
    const QDateTime first(QDate(2024, 5, 1), QTime(23, 59, 59, 500));
    QCOMPARE(summaryText(3, first, first.addMSecs(1000)),
             std::string("3 readings logged from 2024-05-01T23:59:59.500 to "
                         "2024-05-02T00:00:00.500 (1.0 s)"));
}

void TestDmmLog::wholeUnitsAtTheEnd()
{
    QCOMPARE(wholeRecordsSize(0, 76), qint64(0));
    QCOMPARE(wholeRecordsSize(75, 76), qint64(0));
    QCOMPARE(wholeRecordsSize(152, 76), qint64(152));
    QCOMPARE(wholeRecordsSize(190, 76), qint64(152));
    QCOMPARE(wholeLinesEnd("a,b\nc,d\nc,", 100), qint64(108));
    QCOMPARE(wholeLinesEnd("a,b\n", 0), qint64(4));
    QCOMPARE(wholeLinesEnd("no line end", 0), qint64(-1));
}

void TestDmmLog::appendCutsIncompleteEnd()
{
    QTemporaryDir dir;
    // A text file whose last line end lies further back than one read block.
    const QString csv = dir.filePath("long.csv");
    const QByteArray whole =
        QByteArray::fromStdString(csvHeader()) + QByteArray(100'000, 'x') + '\n';
    QVERIFY(writeFile(csv, whole + QByteArray(70'000, 'y')));
    QString error;
    {
        LogFile file;
        QVERIFY2(file.open(csv, LogFile::Kind::Lines, true, TableFormat{}, &error),
                 qPrintable(error));
        QCOMPARE(file.bytesCut(), qint64(70'000));
        QVERIFY(file.write("next\n", &error));
    }
    QCOMPARE(readAll(csv), whole + "next\n");

    // Not a single line end: not the tool's file, so nothing is cut.
    QVERIFY(writeFile(csv, "partial"));
    {
        LogFile file;
        QVERIFY(!file.open(csv, LogFile::Kind::Lines, true, TableFormat{}, &error));
        QCOMPARE(readAll(csv), QByteArray("partial"));
    }

    // Without --append an existing file is never opened.
    LogFile refused;
    QVERIFY(!refused.open(csv, LogFile::Kind::Records, false, {}, &error));
    QVERIFY(error.startsWith(csv));
}

void TestDmmLog::warningThrottle()
{
    WarningThrottle throttle(60s);
    QCOMPARE(throttle.warn(MeterWarning::LowBattery, 0ms), 1);
    QCOMPARE(throttle.warn(MeterWarning::LowBattery, 500ms), 0);
    QCOMPARE(throttle.warn(MeterWarning::LowBattery, 59'999ms), 0);
    // The other warning is its own story.
    QCOMPARE(throttle.warn(MeterWarning::NoData, 1s), 1);
    QCOMPARE(throttle.warn(MeterWarning::LowBattery, 60s), 3);
    // A low-battery reading ends a silence but not the low battery.
    throttle.readingDecoded(true);
    QCOMPARE(throttle.warn(MeterWarning::NoData, 61s), 1);
    QCOMPARE(throttle.warn(MeterWarning::LowBattery, 61s), 0);
    // A good battery again: the next low battery is news.
    throttle.readingDecoded(false);
    QCOMPARE(throttle.warn(MeterWarning::LowBattery, 62s), 1);
}

// ---------------------------------------------------------------------------
// The program against the simulator

void TestDmmLog::logsWhatTheRecorderMakes()
{
    SimProcess sim;
    QVERIFY(sim.directory().size() > 0);
    const QString script = sim.directory() + "/distinct.txt";
    QVERIFY(writeFile(script, kDistinctScript));
    QVERIFY(sim.start({"--script", script}));

    LogProcess log(sim.directory());
    QVERIFY(log.start({"--port", "COM1", "--out", "run.g52", "--csv", "run.csv", "--count", "5"}));
    const auto status = log.waitFinished();
    QVERIFY2(status, qPrintable(log.errors()));
    QCOMPARE(*status, 0);

    const std::vector<TARecord> expected = recorderRecords(kDistinctScript);
    QCOMPARE(expected.size(), std::size_t(8));
    QString error;
    const auto records = recordsOf(sim.directory() + "/run.g52", &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(records.size(), std::size_t(5));
    QCOMPARE(QFileInfo(sim.directory() + "/run.g52").size(), qint64(5 * 76));
    for (const TARecord& record : records) {
        const bool known = std::any_of(expected.begin(), expected.end(), [&](const TARecord& e) {
            return withoutTime(e) == withoutTime(record);
        });
        QVERIFY2(known, (record.display.str() + " " + record.exponent.str()).c_str());
        QVERIFY(QRegularExpression("^ [ \\d]\\d:\\d\\d:\\d\\d\\.\\d  $")
                    .match(QString::fromStdString(record.timeStamp.str()))
                    .hasMatch());
    }

    const QList<QByteArray> csv = readAll(sim.directory() + "/run.csv").split('\n');
    QCOMPARE(csv.size(), 1 + 5 + 1); // header, lines, nothing after the last line end
    QCOMPARE(csv.first(), QByteArray("time,value,unit,display,subdisplay"));
    for (int i = 0; i < 5; ++i) {
        const QList<QByteArray> fields = csv[i + 1].split(',');
        QCOMPARE(fields.size(), 5);
        QVERIFY(kIsoTime.match(QString::fromLatin1(fields[0])).hasMatch());
        // The same moment as the record's time stamp, to the tenth of a second.
        const QTime time =
            QTime::fromString(QString::fromLatin1(fields[0]).mid(11), "HH:mm:ss.zzz");
        QCOMPARE(records[i].timeStamp.str(),
                 formatTimeStamp(time.hour(), time.minute(), time.second(), time.msec()));
        const SiUnit unit = siUnit(records[i].function);
        // An overload has no value; which readings of the script are picked
        // depends on the pace.
        QCOMPARE(fields[1].toStdString(), isOverload(records[i])
                                              ? std::string()
                                              : siValueText(records[i].fValue, unit.decimalShift));
        QCOMPARE(fields[2].toStdString(), std::string(unit.symbol));
        QCOMPARE(fields[3].toStdString(), records[i].value.str() + records[i].prefix.str());
    }
    QCOMPARE(log.lines().size(), 5);
    QVERIFY(log.errors().contains("5 readings logged from"));
}

void TestDmmLog::intervalAndDuration()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    // The device path form, and an interval of 1 s for 3.5 s: the first reading
    // at the first poll, then one after each of the ticks at 1, 2 and 3 s, the
    // last of which may come too late.
    LogProcess log(sim.directory());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(log.start({"--port", sim.devicePath(), "--interval", "1", "--duration", "3.5s", "--csv",
                       "interval.csv", "--quiet"}));
    const auto status = log.waitFinished();
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(status, qPrintable(log.errors()));
    QCOMPARE(*status, 0);
    QVERIFY2(elapsed >= 3400 && elapsed < 5500, qPrintable(QString::number(elapsed)));
    const QList<QByteArray> lines =
        readAll(sim.directory() + "/interval.csv").trimmed().split('\n');
    const qsizetype readings = lines.size() - 1;
    QVERIFY2(readings >= 3 && readings <= 4, qPrintable(QString::number(readings)));
    QVERIFY(log.lines().isEmpty()); // --quiet
    QVERIFY(log.errors().contains("every 1 s"));
}

void TestDmmLog::sigtermEndsCleanly()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "sweep", "--period", "100"}));
    LogProcess log(sim.directory());
    QVERIFY(log.start({"--port", "COM1", "--out", "term.g52"}));
    QVERIFY2(log.waitForLines(2), qPrintable(log.errors()));
    log.signal(SIGTERM);
    const auto status = log.waitFinished();
    QVERIFY2(status, qPrintable(log.errors()));
    QCOMPARE(*status, 0);
    const qint64 size = QFileInfo(sim.directory() + "/term.g52").size();
    QCOMPARE(size % 76, 0);
    QString error;
    const auto records = recordsOf(sim.directory() + "/term.g52", &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // Every reading printed is in the file, and nothing else.
    QCOMPARE(qsizetype(records.size()), log.lines().size());
    QVERIFY(log.errors().contains(QStringLiteral("%1 readings logged from").arg(records.size())));
}

void TestDmmLog::sigkillLeavesWholeRecords()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "sweep", "--period", "100"}));
    LogProcess log(sim.directory());
    QVERIFY(log.start({"--port", "COM1", "--out", "kill.g52", "--csv", "kill.csv"}));
    QVERIFY2(log.waitForLines(3), qPrintable(log.errors()));
    log.signal(SIGKILL);
    QVERIFY(!log.waitFinished()); // killed, not ended
    QCOMPARE(QFileInfo(sim.directory() + "/kill.g52").size() % 76, 0);
    const auto records = recordsOf(sim.directory() + "/kill.g52");
    QVERIFY(records.size() >= 3);
    QVERIFY(readAll(sim.directory() + "/kill.csv").endsWith('\n'));
}

void TestDmmLog::refusesToOverwrite()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("keep.g52"), "precious"));
    QVERIFY(writeFile(dir.filePath("keep.csv"), "precious"));
    // Refused before the port is even looked at.
    for (const QStringList& output :
         {QStringList{"--out", "keep.g52"}, QStringList{"--csv", "keep.csv"}}) {
        LogProcess log(dir.path());
        QVERIFY(log.start(QStringList{"--port", "/nonexistent/tty"} + output));
        const auto status = log.waitFinished(5s);
        QVERIFY(status);
        QCOMPARE(*status, 1);
        QVERIFY2(log.errors().contains("exists; give --append"), qPrintable(log.errors()));
    }
    QCOMPARE(readAll(dir.filePath("keep.g52")), QByteArray("precious"));
    QCOMPARE(readAll(dir.filePath("keep.csv")), QByteArray("precious"));
}

void TestDmmLog::nameThatIsNoUtf8IsKept()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    QProcess process;
    process.setWorkingDirectory(sim.directory());
    process.start("/bin/sh", {"-c",
                              "exec \"$0\" --port COM1 --count 1 --quiet "
                              "--out \"$(printf 'o\\351.g52')\"",
                              DMM_LOG_PATH});
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitCode(), 0);
    struct stat written
    {
    };
    QCOMPARE(::stat(QFile::encodeName(sim.directory()) + "/o\xe9.g52", &written), 0);
    QCOMPARE(written.st_size, 76);
}

void TestDmmLog::appendsAfterCutRecord()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    TARecord old;
    old.display = "9.999";
    old.exponent = "0";
    old.function = 6;
    old.timeStamp = formatTimeStamp(9, 5, 3, 400);
    old.fValue = 9.999f;
    const auto bytes = encodeARecord(old);
    const QByteArray one(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
    // Two records, then part of a third that a crash cut short.
    QVERIFY(writeFile(sim.directory() + "/more.g52", one + one + one.left(30)));
    QVERIFY(
        writeFile(sim.directory() + "/more.csv",
                  "time,value,unit,display,subdisplay\n2024-05-01T09:05:03.456,1,V,1,\n2024-05"));

    LogProcess log(sim.directory());
    QVERIFY(log.start(
        {"--port", "COM1", "--out", "more.g52", "--csv", "more.csv", "--append", "--count", "2"}));
    const auto status = log.waitFinished();
    QVERIFY2(status, qPrintable(log.errors()));
    QCOMPARE(*status, 0);
    QVERIFY(log.errors().contains("more.g52: cut 30 bytes"));

    const QByteArray file = readAll(sim.directory() + "/more.g52");
    QCOMPARE(file.size(), 4 * 76);
    QCOMPARE(file.left(2 * 76), one + one);
    const auto records = recordsOf(sim.directory() + "/more.g52");
    QCOMPARE(records[2].display.str(), std::string("1.234"));
    QCOMPARE(records[3].fValue, 1.234f);

    const QList<QByteArray> lines = readAll(sim.directory() + "/more.csv").split('\n');
    QCOMPARE(lines.size(), 1 + 1 + 2 + 1); // one header only, the old line, two new
    QCOMPARE(lines[1], QByteArray("2024-05-01T09:05:03.456,1,V,1,"));
    QVERIFY(lines[2].endsWith(",1.234,V,1.234,"));
}

void TestDmmLog::portThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing device") << "/nonexistent/ttyUSB9"
                                    << "No such file or directory";
    QTest::newRow("no such COM number") << "COM11"
                                        << "Port 11 does not exist";
    QTest::newRow("not a terminal") << "/dev/null"
                                    << "/dev/null";
}

void TestDmmLog::portThatCannotBeOpened()
{
    QFETCH(QString, port);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    LogProcess log(dir.path());
    QVERIFY(log.start({"--port", port, "--out", "never.g52"}));
    const auto status = log.waitFinished(5s);
    QVERIFY(status);
    QCOMPARE(*status, 2);
    QVERIFY2(log.errors().contains(reason), qPrintable(log.errors()));
    QVERIFY(log.errors().contains("Error[E9001]"));
    // No output file is left behind for a run that never started.
    QVERIFY(!QFile::exists(dir.filePath("never.g52")));
}

void TestDmmLog::warningsAndLoggingGoesOn()
{
    SimProcess sim;
    const QString script = sim.directory() + "/warnings.txt";
    QVERIFY(writeFile(script, kWarningScript));
    QVERIFY(sim.start({"--script", script, "--wait-reader"}));
    LogProcess log(sim.directory());
    QVERIFY(log.start({"--port", "COM1", "--count", "3"}));
    const auto status = log.waitFinished(20s);
    QVERIFY2(status, qPrintable(log.errors()));
    QCOMPARE(*status, 0);
    const QString errors = log.errors();
    // Each once: the frames with a low battery all come within a minute.
    QCOMPARE(errors.count("Warning[W8004] No data received."), 1);
    QCOMPARE(errors.count("Warning[W8000] The battery power of the DMM is low."), 1);
    QVERIFY(errors.indexOf("W8004") < errors.indexOf("W8000"));
    // Low-battery readings are logged, as the warning's Continue logs them.
    QCOMPARE(log.lines().size(), 3);
    QVERIFY(log.lines().first().contains("1.234 V"));
}

void TestDmmLog::mqttReadings_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("function");
    QTest::addColumn<float>("fValue");
    QTest::addColumn<QString>("payload"); // after the time
    QTest::newRow("milli volts")
        << "12.34"
        << "m" << 6 << 0.01234f
        << "\"value\":0.01234,\"unit\":\"V\",\"display\":\"12.34m\",\"function\":6,"
           "\"functionName\":\"DC V\",\"overload\":false,\"seq\":7}";
    QTest::newRow("ohms overload: no value")
        << "OL"
        << "K" << 128 << 9900.0f
        << "\"value\":null,\"unit\":\"\u03A9\",\"display\":\"OLK\",\"function\":128,"
           "\"functionName\":\"\u03A9\",\"overload\":true,\"seq\":7}";
}

void TestDmmLog::mqttReadings()
{
    QFETCH(QString, value);
    QFETCH(QString, prefix);
    QFETCH(int, function);
    QFETCH(float, fValue);
    TARecord record;
    record.value = value.toStdString();
    record.prefix = prefix.toStdString();
    record.function = function;
    record.fValue = fValue;
    const QString payload = QString::fromStdString(
        readingPayload(7, QDateTime(QDate(2024, 5, 1), QTime(9, 5, 3, 456)), record));
    QVERIFY2(payload.startsWith("{\"time\":\"2024-05-01T09:05:03.456"), qPrintable(payload));
    QTEST(payload.section(',', 1), "payload");
}

void TestDmmLog::mqttPasswordFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // the password, or the error after the path
    QTest::newRow("line end") << QByteArray("right\n") << "right";
    QTest::newRow("Windows line end") << QByteArray("right\r\n") << "right";
    QTest::newRow("no line end") << QByteArray("right") << "right";
    QTest::newRow("first line only") << QByteArray("right\nsecond\n") << "right";
    QTest::newRow("empty first line")
        << QByteArray("\nright\n") << ": holds no password on its first line";
}

void TestDmmLog::mqttPasswordFile()
{
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("password");
    QVERIFY(writeFile(path, text));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QString error;
    const QByteArray password = readMqttPasswordFile(path, &error);
    QTEST(error.isEmpty() ? QString::fromUtf8(password) : error.mid(path.size()), "expected");
}

QTEST_GUILESS_MAIN(TestDmmLog)
#include "tst_dmmlog.moc"
