// SPDX-License-Identifier: MIT
// The table from the tools: dmm-export --table and --info on recordings with
// and without date stamps, and dmm-log --csv giving the rows dmm-export
// --table gives for the same run.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "FrameDecoder.h"
#include "HexBytes.h"
#include "RecordFile.h"
#include "RecorderStore.h"
#include "SimProcess.h"
#include "ValueFormat.h"

using namespace dmm;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Run runTool(const QString& program, const QStringList& arguments, const QString& directory = {},
            const QString& zone = {})
{
    QProcess process;
    if (!zone.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TZ"), zone);
        process.setProcessEnvironment(environment);
    }
    if (!directory.isEmpty())
        process.setWorkingDirectory(directory);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

Run exportTool(const QStringList& arguments)
{
    return runTool(QStringLiteral(DMM_EXPORT_PATH), arguments);
}

QStringList linesOf(const QByteArray& text)
{
    QStringList lines = QString::fromUtf8(text).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Millivolts, then ohms: a run of `count` readings `stepMs` apart from
// 2026-12-07 23:59:59.000, logged with date stamps or with time texts only.
void saveRun(const QString& path, bool stamped, int count = 4, int stepMs = 400)
{
    FrameDecoder decoder;
    CurrentReading reading;
    applyFrame(reading,
               *decoder.ReadMeterFrame(*sim::parseHexBytes("0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 "
                                                           "C0 D0 E4")));
    RecorderStore store(QDir::tempPath());
    const QDateTime start(QDate(2026, 12, 7), QTime(23, 59, 59));
    auto now = std::make_shared<QDateTime>(start);
    store.setClock([now] { return *now; });
    for (int i = 0; i < count; ++i) {
        const QTime t = now->time();
        if (stamped)
            store.appendReading(reading);
        else
            store.appendReading(reading,
                                formatTimeStamp(t.hour(), t.minute(), t.second(), t.msec()));
        *now = now->addMSecs(stepMs);
    }
    QVERIFY(saveRecordFile(path, store.buffer()));
}

// Saved with its file last written on 1 January 2030, a date no stamp holds.
QString savedRun(const QDir& dir, bool stamped, int count = 4)
{
    const QString path = dir.filePath(stamped ? "stamped.g52" : "plain.g52");
    saveRun(path, stamped, count);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) ||
        !file.setFileTime(QDateTime(QDate(2030, 1, 1), QTime(12, 0)),
                          QFileDevice::FileModificationTime))
        qWarning("cannot date %s", qPrintable(path));
    return path;
}

QStringList tableOf(const QStringList& times)
{
    QStringList lines{"time,value,unit,display,subdisplay"};
    for (const QString& time : times)
        lines << time + ",-1.234,V,-1.234,";
    return lines;
}

} // namespace

class TestTableTools : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void utcTimesAreTheSameInEveryZone_data();
    void utcTimesAreTheSameInEveryZone();
    void table_data();
    void table();
    void badTableArguments_data();
    void badTableArguments();
    void logCsvAndExportTableGiveTheSameRows();
    void helpShowsUnitSignsInUtf8_data();
    void helpShowsUnitSignsInUtf8();
    void versionOnEveryProgram_data();
    void versionOnEveryProgram();

private:
    QTemporaryDir m_dir;
};

void TestTableTools::initTestCase()
{
    // The runs are logged by a clock in UTC, so that their stamps are known.
    qputenv("TZ", "UTC");
}

void TestTableTools::utcTimesAreTheSameInEveryZone_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<bool>("stamped");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("first"); // the first row's time
    const QStringList utc{"--utc"};
    const QStringList dated{"--utc", "--date", "2026-12-07"};
    QTest::newRow("Tokyo, local") << "Asia/Tokyo" << true << QStringList{}
                                  << "2026-12-08T08:59:59.000";
    QTest::newRow("Tokyo, stamped") << "Asia/Tokyo" << true << utc << "2026-12-07T23:59:59.000Z";
    QTest::newRow("New York, stamped")
        << "America/New_York" << true << utc << "2026-12-07T23:59:59.000Z";
    QTest::newRow("Tokyo, inferred") << "Asia/Tokyo" << false << dated << "2026-12-07T14:59:59.0Z";
    QTest::newRow("New York, inferred")
        << "America/New_York" << false << dated << "2026-12-08T04:59:59.0Z";
}

void TestTableTools::utcTimesAreTheSameInEveryZone()
{
    QFETCH(QString, zone);
    QFETCH(bool, stamped);
    QFETCH(QStringList, options);
    QFETCH(QString, first);
    const Run run = runTool(QStringLiteral(DMM_EXPORT_PATH),
                            QStringList{"--table"} + options +
                                QStringList{savedRun(m_dir.path(), stamped, 1)},
                            {}, zone);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(linesOf(run.out).value(1).section(',', 0, 0), first);
}

void TestTableTools::table_data()
{
    QTest::addColumn<bool>("stamped");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("info"); // how --info ends; empty: not asked

    QTest::newRow("stamped, across midnight")
        << true << 4 << QStringList{}
        << tableOf({"2026-12-07T23:59:59.000", "2026-12-07T23:59:59.400", "2026-12-07T23:59:59.800",
                    "2026-12-08T00:00:00.200"})
        << "4 readings, each with its recorded date"
        << "\"firstTime\":\"2026-12-07T23:59:59.000\",\"firstTimeStamped\":true,"
           "\"lastTime\":\"2026-12-08T00:00:00.200\",\"lastTimeStamped\":true}";
    QTest::newRow("unstamped, from the file's date")
        << false << 4 << QStringList{}
        << tableOf({"2029-12-31T23:59:59.0", "2029-12-31T23:59:59.4", "2029-12-31T23:59:59.8",
                    "2030-01-01T00:00:00.2"})
        << "dates inferred (readings without a date stamp) from the file's modification date, "
           "2030-01-01"
        << "\"firstTime\":\"2029-12-31T23:59:59.0\",\"firstTimeStamped\":false,"
           "\"lastTime\":\"2030-01-01T00:00:00.2\",\"lastTimeStamped\":false}";
    QTest::newRow("unstamped, from --date")
        << false << 4 << QStringList{"--date", "2026-11-30"}
        << tableOf({"2026-11-30T23:59:59.0", "2026-11-30T23:59:59.4", "2026-11-30T23:59:59.8",
                    "2026-12-01T00:00:00.2"})
        << "dates inferred (readings without a date stamp) from --date 2026-11-30 for the first "
           "reading"
        << "";
    QTest::newRow("decimal comma, semicolon")
        << true << 1 << QStringList{"--separator", ";", "--decimal-comma"}
        << QStringList{"time;value;unit;display;subdisplay",
                       "2026-12-07T23:59:59.000;-1,234;V;-1,234;"}
        << "each with its recorded date"
        << "";
}

void TestTableTools::table()
{
    QFETCH(bool, stamped);
    QFETCH(int, count);
    QFETCH(QStringList, options);
    QFETCH(QStringList, lines);
    QFETCH(QString, note);
    QFETCH(QString, info);
    const QString path = savedRun(m_dir.path(), stamped, count);
    const Run run = exportTool(QStringList{"--table"} + options + QStringList{path});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(linesOf(run.out), lines); // a '\r' would show in the lines
    QVERIFY2(run.err.contains(note), qPrintable(run.err));

    const QString csv = m_dir.filePath("out.csv");
    const Run toFile = exportTool(QStringList{"--table", "-o", csv} + options + QStringList{path});
    QCOMPARE(toFile.exitCode, 0);
    QVERIFY(toFile.out.isEmpty());
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), run.out);

    if (!info.isEmpty()) {
        const Run described = exportTool({"--info", path});
        QCOMPARE(described.exitCode, 0);
        QVERIFY2(QString::fromUtf8(described.out).trimmed().endsWith(info),
                 described.out.constData());
    }
}

void TestTableTools::badTableArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("with --list") << QStringList{"--table", "--list"} << "--table";
    QTest::newRow("with --pages") << QStringList{"--table", "--pages", "1"} << "--table";
    QTest::newRow("no such date") << QStringList{"--table", "--date", "2026-13-01"} << "--date";
    QTest::newRow("--date without --table") << QStringList{"--date", "2026-12-07"} << "--date";
    QTest::newRow("--decimal-comma without --table")
        << QStringList{"--decimal-comma"} << "--decimal-comma";
    QTest::newRow("two-character separator")
        << QStringList{"--table", "--separator", ";;"} << "--separator";
}

void TestTableTools::badTableArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = exportTool(arguments + QStringList{savedRun(m_dir.path(), true, 1)});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void TestTableTools::logCsvAndExportTableGiveTheSameRows()
{
    SimProcess sim;
    QFile script(sim.directory() + "/run.txt");
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("period 100\nshow 128 1.234 k\nshow 8 23.99 n\nshow 128 _0.L_ k\n");
    script.close();
    QVERIFY(sim.start({"--script", script.fileName()}));
    const Run log = runTool(QStringLiteral(DMM_LOG_PATH),
                            {"--port", "COM1", "--out", "run.g52", "--csv", "run.csv", "--count",
                             "6", "--quiet", "--separator", ";", "--decimal-comma"},
                            sim.directory());
    QVERIFY2(log.exitCode == 0, qPrintable(log.err));

    QFile csv(sim.directory() + "/run.csv");
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList logged = linesOf(csv.readAll());
    const Run table = exportTool(
        {"--table", "--separator", ";", "--decimal-comma", sim.directory() + "/run.g52"});
    QCOMPARE(table.exitCode, 0);
    QCOMPARE(logged.size(), 7);
    QCOMPARE(linesOf(table.out), logged);
    // Farads, not microfarads, the ohm sign, and no value for an overload.
    int overloads = 0;
    for (const QString& line : logged.mid(1)) {
        overloads += line.endsWith(";;\u03A9;O,LK;");
        QVERIFY2(line.endsWith(";2,399e-08;F;23,99n;") || line.endsWith(";1234;\u03A9;1,234K;") ||
                     line.endsWith(";;\u03A9;O,LK;"),
                 qPrintable(line));
    }
    QVERIFY(overloads > 0);
}

void TestTableTools::helpShowsUnitSignsInUtf8_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("dmm-export") << QStringLiteral(DMM_EXPORT_PATH);
    QTest::newRow("dmm-log") << QStringLiteral(DMM_LOG_PATH);
}

void TestTableTools::helpShowsUnitSignsInUtf8()
{
    QFETCH(QString, program);
    const Run run = runTool(program, {"--help"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("V, A, \xCE\xA9, F") && run.out.contains("\xC2\xB0" "C"),
             run.out.constData());
}

void TestTableTools::versionOnEveryProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("dmm-export") << QStringLiteral(DMM_EXPORT_PATH);
    QTest::newRow("dmm-log") << QStringLiteral(DMM_LOG_PATH);
    QTest::newRow("dmm-sim") << QStringLiteral(DMM_SIM_PATH);
    QTest::newRow("dmm-decode") << QStringLiteral(DMM_DECODE_PATH);
}

void TestTableTools::versionOnEveryProgram()
{
    QFETCH(QString, program);
    const Run run = runTool(program, {"--version"});
    QCOMPARE(run.exitCode, 0);
    static const QRegularExpression line(QStringLiteral("^dmm-[a-z]+ \\d+\\.\\d+\\.\\d+\n$"));
    QVERIFY2(line.match(QString::fromUtf8(run.out)).hasMatch(), run.out.constData());
    QVERIFY(QString::fromUtf8(run.out).startsWith(QString(QTest::currentDataTag()) + ' '));
}

QTEST_GUILESS_MAIN(TestTableTools)
#include "tst_tabletools.moc"
