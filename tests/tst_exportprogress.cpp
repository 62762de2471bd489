// SPDX-License-Identifier: MIT
// dmm-export's progress line: its text and when it is drawn, and that a
// terminal on standard error sees it while a pipe or --quiet does not.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "ProgressLine.h"
#include "RecordBuffer.h"
#include "RecordFile.h"

using namespace dmm;
using namespace dmm::exporttool;

namespace {

const QByteArray kClosing = "dmm-export: 3000 readings; dates inferred (readings without a date "
                            "stamp) from --date 2026-12-07 for the first reading\n";

// A recording of 3000 readings, three runs as the tool reads them.
QString makeRecording(const QTemporaryDir& dir)
{
    RecordBuffer buffer;
    TARecord record;
    record.value = "1.234";
    record.unit = "V";
    record.function = 6;
    record.fValue = 1.234f;
    for (int i = 0; i < 3000; ++i) {
        record.timeStamp = "  1:00:00.0  ";
        buffer.append(record);
    }
    const QString path = dir.filePath(QStringLiteral("run.g52"));
    return saveRecordFile(path, buffer) ? path : QString();
}

QStringList tableArguments(const QString& recording)
{
    return {QStringLiteral("--table"), QStringLiteral("--date"), QStringLiteral("2026-12-07"),
            recording};
}

// The tool run with its standard error on a pseudo-terminal: all the
// terminal received (its line ends as the terminal gives them, CR LF).
QByteArray stderrOnTerminal(const QStringList& arguments)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return "no pseudo-terminal";
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DMM_PROGRESS_AFTER_MS"), QStringLiteral("0"));
    tool.setProcessEnvironment(environment);
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QString::fromLocal8Bit(ptsname(master)));
    tool.start(QStringLiteral(DMM_EXPORT_PATH), arguments);
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return "the tool failed";
    QByteArray seen;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char bytes[4096];
    for (ssize_t n; (n = ::read(master, bytes, sizeof bytes)) > 0;)
        seen.append(bytes, n);
    ::close(master);
    return seen;
}

} // namespace

class TestExportProgress : public QObject
{
    Q_OBJECT

private slots:
    void text_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing read yet")
            << qint64(0) << qint64(100) << qint64(1500)
            << QStringLiteral("0% (0 of 100 readings), working out the time left");
        QTest::newRow("seconds left, rounded up")
            << qint64(42) << qint64(100) << qint64(4200)
            << QStringLiteral("42% (42 of 100 readings), 0:06 left");
        QTest::newRow("minutes left") << qint64(1000000) << qint64(10000000) << qint64(20000)
                                      << QStringLiteral("10% (1000000 of 10000000 readings), "
                                                        "3:00 left");
        QTest::newRow("past an hour") << qint64(1) << qint64(1000) << qint64(5000)
                                      << QStringLiteral("0% (1 of 1000 readings), 1:23:15 left");
        QTest::newRow("all read") << qint64(100) << qint64(100) << qint64(9000)
                                  << QStringLiteral("100% (100 of 100 readings), finishing");
    }
    void text()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(progressText(done, total, elapsedMs)), expected);
    }

    void due_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<qint64>("lastDrawnMs"); // -1: none yet
        QTest::addColumn<bool>("finished");
        QTest::addColumn<bool>("due");
        QTest::newRow("within the first second") << qint64(999) << qint64(-1) << true << false;
        QTest::newRow("after the first second") << qint64(1000) << qint64(-1) << false << true;
        QTest::newRow("soon after the last") << qint64(1200) << qint64(1000) << false << false;
        QTest::newRow("a quarter second after") << qint64(1250) << qint64(1000) << false << true;
        QTest::newRow("finished at once") << qint64(1001) << qint64(1000) << true << true;
    }
    void due()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(qint64, lastDrawnMs);
        QFETCH(bool, finished);
        QFETCH(bool, due);
        const std::optional<qint64> last =
            lastDrawnMs < 0 ? std::nullopt : std::optional<qint64>(lastDrawnMs);
        QCOMPARE(progressDue(elapsedMs, last, finished), due);
    }

    void redrawReplacesTheLine()
    {
        QCOMPARE(QByteArray::fromStdString(progressRedraw("5% (1 of 20 readings), 0:01 left")),
                 QByteArray("\r5% (1 of 20 readings), 0:01 left\x1b[K"));
    }

    void aTerminalSeesTheProgress()
    {
        QTemporaryDir dir;
        const QString recording = makeRecording(dir);
        QVERIFY(!recording.isEmpty());
        const QByteArray seen = stderrOnTerminal(tableArguments(recording));
        // The first run's line, the last one's, then the line cleared for the
        // closing words.
        QVERIFY2(seen.startsWith("\r34% (1024 of 3000 readings), "), seen.constData());
        QVERIFY2(seen.contains("\r100% (3000 of 3000 readings), finishing\x1b[K\r\x1b[K" +
                               kClosing.chopped(1) + "\r\n"),
                 seen.constData());
    }

    void quietLeavesItOut()
    {
        QTemporaryDir dir;
        const QString recording = makeRecording(dir);
        QVERIFY(!recording.isEmpty());
        const QByteArray seen =
            stderrOnTerminal(QStringList{QStringLiteral("--quiet")} + tableArguments(recording));
        QCOMPARE(seen, kClosing.chopped(1) + "\r\n");
    }

    void aPipeSeesNone()
    {
        QTemporaryDir dir;
        const QString recording = makeRecording(dir);
        QVERIFY(!recording.isEmpty());
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DMM_PROGRESS_AFTER_MS"), QStringLiteral("0"));
        tool.setProcessEnvironment(environment);
        tool.setStandardOutputFile(QProcess::nullDevice());
        tool.start(QStringLiteral(DMM_EXPORT_PATH), tableArguments(recording));
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(tool.readAllStandardError(), kClosing);
    }
};

QTEST_GUILESS_MAIN(TestExportProgress)
#include "tst_exportprogress.moc"
