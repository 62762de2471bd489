// SPDX-License-Identifier: MIT
// Recording runs end to end against the meter simulator: readings reach the
// chart, the status bar and the temporary file; a second Start opens the next
// file; unlinking stops the run. And a program killed outright in the middle
// of a run leaves every reading it had counted in its temporary file.
#include <QtTest>

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QToolButton>

#include <csignal>
#include <cstdio>

#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "PEGraph.h"
#include "Record.h"
#include "ShellFixture.h"
#include "SimProcess.h"

using namespace dmm;

namespace {

const char* const kChildFlag = "--recording-child";

QByteArray recordHex(const TARecord& record)
{
    const auto bytes = encodeARecord(record);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex();
}

QList<QByteArray> fileRecordsHex(const QString& path)
{
    QFile file(path);
    QList<QByteArray> records;
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QByteArray bytes = file.readAll();
    for (qsizetype at = 0; at + 76 <= bytes.size(); at += 76)
        records << bytes.mid(at, 76).toHex();
    return records;
}

// The child: the whole program linked to the simulator in `directory`,
// recording at Full Speed. Every time the status bar counts more readings it
// prints the new records, then the count.
int runRecordingChild(const QString& directory)
{
    ShellFixture shell(directory, 1);
    shell.clickLink();
    if (!QTest::qWaitFor([] { return bDataValid != 0; }, 10000))
        return 3;
    TGraphicalForm* recorder = shell.windows().GraphicalForm.get();
    recorder->sbtnRecordStart->click();
    int printed = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QString text = recorder->StatusPanels[1]->text();
        const int counted = text.section(QLatin1Char(':'), 1).trimmed().toInt();
        for (; printed < counted; ++printed)
            std::printf("record %s\n",
                        recordHex(recorder->recordBuffer().at(std::size_t(printed))).constData());
        std::printf("counted %d\n", counted);
        std::fflush(stdout);
    });
    poll.start(5);
    QTest::qWait(60000); // killed long before
    return 4;
}

} // namespace

class TestRecorderRun : public QObject
{
    Q_OBJECT
private slots:
    void runsAgainstTheSimulator();
    void killedProgramKeepsEveryCountedReading();
};

void TestRecorderRun::runsAgainstTheSimulator()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("steady"),
                       QStringLiteral("--period"), QStringLiteral("40")}));
    ShellFixture shell(sim.directory(), 1);
    TGraphicalForm* recorder = shell.windows().GraphicalForm.get();
    QVERIFY(recorder->isVisible());
    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(bDataValid != 0, 10000);

    recorder->sbtnRecordStart->click();
    QVERIFY(recorder->state().recording);
    QTRY_VERIFY_WITH_TIMEOUT(recorder->state().readingCount >= 3, 10000);
    const QString tmp1 = sim.directory() + QStringLiteral("/~KOPLX1.TMP");
    QTRY_COMPARE(QFileInfo(tmp1).size(), qint64(recorder->state().readingCount) * 76);
    QCOMPARE(float(recorder->chart()->GetYData(0, 199)), 1.234f);
    QCOMPARE(recorder->ReadingDataPanel->text(), QStringLiteral("1.234"));
    QVERIFY(recorder->StatusPanels[1]->text().startsWith(QStringLiteral("Data in buffer : ")));
    QCOMPARE(recorder->StatusPanels[0]->text(), QStringLiteral("Data Logging ..."));

    recorder->sbtnRecordStop->click();
    const int afterStop = recorder->state().readingCount;
    QCOMPARE(fileRecordsHex(tmp1).size(), afterStop);
    QTest::qWait(1200);
    QCOMPARE(recorder->state().readingCount, afterStop); // nothing after the stop

    recorder->sbtnRecordStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->state().readingCount > afterStop, 10000);
    QVERIFY(QFile::exists(sim.directory() + QStringLiteral("/~KOPLX2.TMP")));
    QCOMPARE(fileRecordsHex(tmp1).size(), afterStop); // the first run's file is closed

    shell.clickLink(); // unlink: the run stops
    QVERIFY(!recorder->state().recording);
    QVERIFY(recorder->sbtnRecordStop->isChecked());
    QVERIFY(!recorder->TimerLogger.isActive());
    QCOMPARE(recorder->StatusPanels[0]->text(), QString());
}

void TestRecorderRun::killedProgramKeepsEveryCountedReading()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("sweep"),
                       QStringLiteral("--period"), QStringLiteral("40")}));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kChildFlag), sim.directory()});
    QVERIFY(child.waitForStarted());

    QList<QByteArray> reported;
    int counted = 0;
    QByteArray pending;
    const auto readLines = [&] {
        pending += child.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.startsWith("record "))
                reported << line.mid(7);
            else if (line.startsWith("counted "))
                counted = line.mid(8).toInt();
        }
    };
    QTRY_VERIFY_WITH_TIMEOUT((readLines(), counted >= 5), 30000);
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(5000));
    readLines();
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const QList<QByteArray> onDisk =
        fileRecordsHex(sim.directory() + QStringLiteral("/~KOPLX1.TMP"));
    QVERIFY2(onDisk.size() >= counted,
             qPrintable(QStringLiteral("%1 on disk, %2 counted").arg(onDisk.size()).arg(counted)));
    QCOMPARE(reported.size(), counted);
    for (int i = 0; i < counted; ++i)
        QCOMPARE(onDisk[i], reported[i]);
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kChildFlag) == 0)
        return runRecordingChild(QString::fromLocal8Bit(argv[2]));
    TestRecorderRun test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recorderrun.moc"
