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

Run runTool(const QString& program, const QStringList& arguments, const QString& directory = {})
{
    QProcess process;
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

QStringList column(const QStringList& lines, int index, QChar separator = ',')
{
    QStringList values;
    for (qsizetype i = 1; i < lines.size(); ++i)
        values << lines[i].section(separator, index, index);
    return values;
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

void setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

const QStringList kMidnightTimes = {"2026-12-07T23:59:59.000", "2026-12-07T23:59:59.400",
                                    "2026-12-07T23:59:59.800", "2026-12-08T00:00:00.200"};

} // namespace

class TestTableTools : public QObject
{
    Q_OBJECT
private slots:
    void stampedRunAcrossMidnight();
    void unstampedDates_data();
    void unstampedDates();
    void decimalCommaWithSemicolon();
    void outputFileHoldsTheTable();
    void infoGivesFirstAndLastTime_data();
    void infoGivesFirstAndLastTime();
    void badTableArguments_data();
    void badTableArguments();
    void logCsvAndExportTableGiveTheSameRows();

private:
    QTemporaryDir m_dir;
};

void TestTableTools::stampedRunAcrossMidnight()
{
    const QString path = m_dir.filePath("stamped.g52");
    saveRun(path, true);
    setModified(path, QDateTime(QDate(2030, 1, 1), QTime(12, 0))); // not used: stamps hold
    const Run run = exportTool({"--table", path});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = linesOf(run.out);
    QCOMPARE(lines.value(0), QStringLiteral("time,value,unit,display,subdisplay"));
    QCOMPARE(column(lines, 0), kMidnightTimes);
    QCOMPARE(column(lines, 1), QStringList(4, "-1.234"));
    QCOMPARE(column(lines, 2), QStringList(4, "V"));
    QVERIFY2(run.err.contains("4 readings, each with its recorded date"), qPrintable(run.err));
    QVERIFY(!run.out.contains('\r'));
}

void TestTableTools::unstampedDates_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("firstTime");
    QTest::addColumn<QString>("lastTime");
    QTest::addColumn<QString>("closing");

    QTest::newRow("from the file's date") << QStringList{} << "2026-12-07T23:59:59.0"
                                          << "2026-12-08T00:00:00.2"
                                          << "file's modification date, 2026-12-08";
    QTest::newRow("from --date") << QStringList{"--date", "2026-11-30"} << "2026-11-30T23:59:59.0"
                                 << "2026-12-01T00:00:00.2"
                                 << "--date 2026-11-30 for the first reading";
}

void TestTableTools::unstampedDates()
{
    QFETCH(QStringList, options);
    QFETCH(QString, firstTime);
    QFETCH(QString, lastTime);
    QFETCH(QString, closing);
    const QString path = m_dir.filePath("plain.g52");
    saveRun(path, false);
    setModified(path, QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
    const Run run = exportTool(QStringList{"--table"} + options + QStringList{path});
    QCOMPARE(run.exitCode, 0);
    const QStringList times = column(linesOf(run.out), 0);
    QCOMPARE(times.size(), 4);
    QCOMPARE(times.first(), firstTime);
    QCOMPARE(times.last(), lastTime);
    QVERIFY2(run.err.contains("dates inferred") && run.err.contains(closing), qPrintable(run.err));
}

void TestTableTools::decimalCommaWithSemicolon()
{
    const QString path = m_dir.filePath("comma.g52");
    saveRun(path, true, 1);
    const Run run = exportTool({"--table", "--separator", ";", "--decimal-comma", path});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(linesOf(run.out), QStringList({"time;value;unit;display;subdisplay",
                                            "2026-12-07T23:59:59.000;-1,234;V;-1.234;"}));
}

void TestTableTools::outputFileHoldsTheTable()
{
    const QString path = m_dir.filePath("out.g52");
    saveRun(path, true);
    const QString csv = m_dir.filePath("out.csv");
    const Run toFile = exportTool({"--table", "-o", csv, path});
    QCOMPARE(toFile.exitCode, 0);
    QVERIFY(toFile.out.isEmpty());
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), exportTool({"--table", path}).out);
}

void TestTableTools::infoGivesFirstAndLastTime_data()
{
    QTest::addColumn<bool>("stamped");
    QTest::addColumn<QString>("times");

    QTest::newRow("stamped")
        << true
        << "\"firstTime\":\"2026-12-07T23:59:59.000\",\"firstTimeStamped\":true,"
           "\"lastTime\":\"2026-12-08T00:00:00.200\",\"lastTimeStamped\":true}";
    QTest::newRow("inferred")
        << false
        << "\"firstTime\":\"2026-12-07T23:59:59.0\",\"firstTimeStamped\":false,"
           "\"lastTime\":\"2026-12-08T00:00:00.2\",\"lastTimeStamped\":false}";
}

void TestTableTools::infoGivesFirstAndLastTime()
{
    QFETCH(bool, stamped);
    QFETCH(QString, times);
    const QString path = m_dir.filePath("info.g52");
    saveRun(path, stamped);
    setModified(path, QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
    const Run run = exportTool({"--info", path});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(QString::fromUtf8(run.out).trimmed().endsWith(times), run.out.constData());
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
    const QString path = m_dir.filePath("args.g52");
    saveRun(path, true, 1);
    const Run run = exportTool(arguments + QStringList{path});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void TestTableTools::logCsvAndExportTableGiveTheSameRows()
{
    SimProcess sim;
    QFile script(sim.directory() + "/run.txt");
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("period 100\n"
                 "show 128 1.234 k\n"
                 "show 8 23.99 n\n");
    script.close();
    QVERIFY(sim.start({"--script", script.fileName()}));
    const Run log = runTool(QStringLiteral(DMM_LOG_PATH),
                            {"--port", "COM1", "--out", "run.g52", "--csv", "run.csv", "--count",
                             "6", "--quiet", "--separator", ";", "--decimal-comma"},
                            sim.directory());
    QVERIFY2(log.exitCode == 0, qPrintable(log.err));

    QFile csv(sim.directory() + "/run.csv");
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray logged = csv.readAll();
    const Run table = exportTool(
        {"--table", "--separator", ";", "--decimal-comma", sim.directory() + "/run.g52"});
    QCOMPARE(table.exitCode, 0);
    QCOMPARE(linesOf(table.out).size(), 7);
    QCOMPARE(linesOf(table.out), linesOf(logged));
    // Farads, not microfarads, and the ohm sign.
    const QStringList lines = linesOf(logged).mid(1);
    for (const QString& line : lines)
        QVERIFY2(line.endsWith(";2,399e-08;F;23.99n;") || line.endsWith(";1234;\u03A9;1.234K;"),
                 qPrintable(line));
}

QTEST_GUILESS_MAIN(TestTableTools)
#include "tst_tabletools.moc"
