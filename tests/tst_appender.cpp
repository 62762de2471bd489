// SPDX-License-Identifier: MIT
// The appender of records and lines at its edges: a lock another program
// holds, a sync that fails (at the end, or on the sync thread), a CSV of
// other options, a time text past midnight.
#include <QtTest>

#include <QFile>
#include <QTemporaryDir>

#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "DelayedSync.h"
#include "FileBytes.h"
#include "LogFile.h"
#include "LogLines.h"
#include "LogOptions.h"
#include "LogSession.h"
#include "RecordAppender.h"
#include "RecorderStore.h"
#include "SimProcess.h"
#include "StoreFailures.h"

#include "MeterReadings.h"

using namespace dmm;
using namespace dmm::logtool;

namespace {

std::atomic<bool> g_syncFails{false};

int failingSync(int fd)
{
    if (!g_syncFails)
        return ::fdatasync(fd);
    errno = EIO;
    return -1;
}

QByteArray recordBytes(const char* timeText)
{
    TARecord record;
    record.display = "1.234";
    record.timeStamp = timeText;
    const auto bytes = encodeARecord(record);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

class TestAppender : public QObject
{
    Q_OBJECT
private slots:
    void init() { g_syncFails = false; }
    void initTestCase() { DelayedSync::setSyncFunctionForTests(failingSync); }
    void cleanupTestCase() { DelayedSync::setSyncFunctionForTests(nullptr); }
    void lockHeldByAnotherIsRefused_data();
    void lockHeldByAnotherIsRefused();
    void csvOfOtherOptions_data();
    void csvOfOtherOptions();
    void timeTextPastMidnightIsNoRecord();
    void failedLastSyncEndsDmmLogWithStatusOne();
    void failedDelayedSyncReachesTheStoresView();
    void openingAnotherFileLetsTheFirstGo();
};

void TestAppender::lockHeldByAnotherIsRefused_data()
{
    QTest::addColumn<int>("lock");
    QTest::newRow("exclusive") << LOCK_EX;
    // A reader that locks what it reads (a backup) keeps writers out too.
    QTest::newRow("shared") << LOCK_SH;
}

void TestAppender::lockHeldByAnotherIsRefused()
{
    QFETCH(int, lock);
    QTemporaryDir dir;
    const QString path = dir.filePath("held.g52");
    const QByteArray before = recordBytes("  9:05:03.4  ") + "partial";
    QVERIFY(writeFile(path, before));
    QFile holder(path);
    QVERIFY(holder.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(holder.handle(), lock | LOCK_NB), 0);
    DelayedSync sync;
    RecordAppender file(RecordAppender::Kind::Records, RecordAppender::OnFailure::CutBack, sync);
    QString reason;
    QVERIFY(!file.openForAppend(path, {}, &reason));
    QVERIFY2(reason.startsWith("in use by another program"), qPrintable(reason));
    QCOMPARE(readAll(path), before);
}

void TestAppender::csvOfOtherOptions_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<char>("separator");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("own ';' CSV") << QByteArray("time;value;unit;display;subdisplay\n") << ';'
                                 << true;
    QTest::newRow("',' CSV, ';' asked")
        << QByteArray("time,value,unit,display,subdisplay\n") << ';' << false;
    QTest::newRow("';' CSV, ',' asked")
        << QByteArray("time;value;unit;display;subdisplay\n") << ',' << false;
}

void TestAppender::csvOfOtherOptions()
{
    QFETCH(QByteArray, header);
    QFETCH(char, separator);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    const QString path = dir.filePath("c.csv");
    const QByteArray before = header + "2024-05-01T09:05:03.456;1,5;V;1,5;\n2024";
    QVERIFY(writeFile(path, before));
    const TableFormat format{separator, separator == ';'};
    QCOMPARE(outputPathProblem(path, false, true, format).isEmpty(), accepted);
    LogFile file;
    QString error;
    QCOMPARE(file.open(path, LogFile::Kind::Lines, true, format, &error), accepted);
    if (!accepted)
        QCOMPARE(readAll(path), before);
}

void TestAppender::timeTextPastMidnightIsNoRecord()
{
    QVERIFY(isPlausibleRecord(recordBytes(" 23:59:59.9  ")));
    QVERIFY(!isPlausibleRecord(recordBytes(" 24:00:00.0  ")));
}

void TestAppender::failedLastSyncEndsDmmLogWithStatusOne()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    LogOptions options;
    options.port = sim.devicePath();
    options.outPath = sim.directory() + "/run.g52";
    options.quiet = true;
    std::FILE* err = std::tmpfile();
    LogSession session(options, stdout, err);
    QSignalSpy finished(&session, &LogSession::finished);
    QCOMPARE(session.start(), kExitOk);
    QTRY_VERIFY(session.readingsLogged() >= 1);
    g_syncFails = true;
    session.stop(kExitOk);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), 1);
    std::rewind(err);
    char text[4096] = {};
    const size_t got = std::fread(text, 1, sizeof text - 1, err);
    std::fclose(err);
    QVERIFY2(QByteArray(text, qsizetype(got)).contains("run.g52: Input/output error"), text);
}

void TestAppender::failedDelayedSyncReachesTheStoresView()
{
    QTemporaryDir dir;
    StoreFailures view;
    RecorderStore store(dir.path(), &view);
    QVERIFY(store.tempFiles().createNext());
    g_syncFails = true;
    const CurrentReading reading = acVoltsReading(" 2.000");
    QVERIFY(store.appendReading(reading, "  9:05:03.4  "));
    QTRY_COMPARE(view.failures.size(), 1);
    QVERIFY2(view.failures[0].endsWith(": Input/output error"), qPrintable(view.failures[0]));
}

void TestAppender::openingAnotherFileLetsTheFirstGo()
{
    QTemporaryDir dir;
    for (const char* name : {"a.g52", "b.g52"})
        QVERIFY(writeFile(dir.filePath(name), recordBytes("  9:05:03.4  ")));
    DelayedSync sync;
    RecordAppender file(RecordAppender::Kind::Records, RecordAppender::OnFailure::CutBack, sync);
    QString reason;
    QVERIFY(file.openForAppend(dir.filePath("a.g52"), {}, &reason));
    QVERIFY(file.openForAppend(dir.filePath("b.g52"), {}, &reason));
    QFile first(dir.filePath("a.g52"));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(first.handle(), LOCK_EX | LOCK_NB), 0);
}

QTEST_GUILESS_MAIN(TestAppender)
#include "tst_appender.moc"
