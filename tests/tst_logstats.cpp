// SPDX-License-Identifier: MIT
// dmm-log --stats against the simulator: a row per interval as each closes,
// the last one marked partial when the run stops inside it, and the refusals
// before the port is touched.
#include <QtTest>

#include <QProcess>
#include <QRegularExpression>

#include "SimProcess.h"

namespace {

QList<QByteArray> linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n');
}

} // namespace

class TestLogStats : public QObject
{
    Q_OBJECT
private slots:
    void rowsPerIntervalAndThePartialLast();
    void refusesAnExistingFile();
};

void TestLogStats::rowsPerIntervalAndThePartialLast()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    QProcess log;
    log.setWorkingDirectory(sim.directory());
    // Five readings at Full Speed, about 500 ms apart, over about three intervals
    // of 1 s; the run stops right after the last reading, inside its interval.
    log.start(QStringLiteral(DMM_LOG_PATH), {"--port", "COM1", "--count", "5", "--quiet", "--csv",
                                             "run.csv", "--stats", "stats.csv", "--every", "1s"});
    QVERIFY(log.waitForFinished(20'000));
    QVERIFY2(log.exitStatus() == QProcess::NormalExit && log.exitCode() == 0,
             log.readAllStandardError().constData());

    const QList<QByteArray> lines = linesOf(sim.directory() + "/stats.csv");
    QCOMPARE(lines.first(), "start,end,function,unit,count,overloads,min,min time,max,max time,"
                            "mean,stddev,first,last,partial");
    QCOMPARE(lines.last(), ""); // the file ends with a line end
    const QList<QByteArray> rows = lines.mid(1, lines.size() - 2);
    QVERIFY2(rows.size() >= 2 && rows.size() <= 4, qPrintable(QString::number(rows.size())));
    // DC 1.234 V throughout; 1 s intervals on whole seconds.
    static const QRegularExpression row(
        "^\\d{4}-\\d\\d-\\d\\dT(\\d\\d):(\\d\\d):(\\d\\d)\\.000,"
        "\\d{4}-\\d\\d-\\d\\dT(\\d\\d):(\\d\\d):(\\d\\d)\\.000,DC V,V,([123]),0,"
        "1\\.234,[-0-9T:.]{23},1\\.234,[-0-9T:.]{23},1\\.234,(|0),1\\.234,1\\.234,(|partial)$");
    int counted = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const auto match = row.match(QString::fromUtf8(rows[i]));
        QVERIFY2(match.hasMatch(), rows[i].constData());
        const QTime start(match.captured(1).toInt(), match.captured(2).toInt(),
                          match.captured(3).toInt());
        const QTime end(match.captured(4).toInt(), match.captured(5).toInt(),
                        match.captured(6).toInt());
        QCOMPARE(start.secsTo(end) % 86400, 1);
        counted += match.captured(7).toInt();
        // Only the last interval was cut short.
        QCOMPARE(match.captured(9), i + 1 == rows.size() ? "partial" : "");
    }
    QCOMPARE(counted, 5);
    QCOMPARE(linesOf(sim.directory() + "/run.csv").size(), 1 + 5 + 1);
}

void TestLogStats::refusesAnExistingFile()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    QFile existing(sim.directory() + "/stats.csv");
    QVERIFY(existing.open(QIODevice::WriteOnly));
    QCOMPARE(existing.write("kept\n"), 5);
    existing.close();
    QProcess log;
    log.setWorkingDirectory(sim.directory());
    log.start(QStringLiteral(DMM_LOG_PATH), {"--port", "COM1", "--count", "2", "--append",
                                             "--stats", "stats.csv", "--every", "1m"});
    QVERIFY(log.waitForFinished(20'000));
    QCOMPARE(log.exitCode(), 1);
    QVERIFY2(log.readAllStandardError().contains(
                 "stats.csv: exists; statistics go to a new file, never added to one"),
             "");
    QCOMPARE(linesOf(sim.directory() + "/stats.csv").first(), "kept");
}

QTEST_GUILESS_MAIN(TestLogStats)
#include "tst_logstats.moc"
