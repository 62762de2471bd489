// SPDX-License-Identifier: MIT
// The recorder at the edges: a temporary file the disk refuses is told once
// per outage (whatever runs it touches) and again at Stop, each reading is
// synced before the next one comes, Open of a FIFO returns at once, Save
// onto a file another program writes is refused, and a termination signal
// ends the program as its close command does.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolButton>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "AppWindows.h"
#include "BusyLog.h"
#include "DelayedSync.h"
#include "FillableDisk.h"
#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "MainWindow.h"
#include "MessageBox.h"
#include "Record.h"
#include "ShellFixture.h"
#include "SimProcess.h"
#include "TerminationSignals.h"

#include "MeterReadings.h"

using namespace dmm;
using namespace std::chrono_literals;

namespace {

void startRun(TGraphicalForm& form)
{
    form.sbtnRecordStart->setChecked(true);
    form.sbtnRecordStartClick();
}

// The recorder alone, with its file dialogs and message boxes answered here.
struct Recorder
{
    QTemporaryDir dir;
    QString folder = dir.path();
    QWidget strip;
    CurrentReading reading;
    QList<MessageBoxRequest> boxes;
    QList<bool> loggingWhileAsked;
    QString openPath;
    QString savePath;
    std::optional<FillableDisk> disk;
    std::unique_ptr<TGraphicalForm> form;

    explicit Recorder(bool onFillableDisk = false)
    {
        if (onFillableDisk) {
            QDir().mkpath(folder = dir.filePath(QStringLiteral("disk")));
            disk.emplace(folder);
        }
        setMessageBoxHandler([this](const MessageBoxRequest& request) {
            boxes << request;
            // Whether a reading could still be logged while the box is open.
            loggingWhileAsked << (form && (form->TimerLogger.isActive() ||
                                           form->state().recording ||
                                           form->state().logTickPending));
            return int(QMessageBox::Ok);
        });
        bBusy = false;
        bDataValid = 1;
        reading = acVoltsReading(" 2.000");
        form = std::make_unique<TGraphicalForm>(&strip, &reading, folder);
        form->setFileChoosers([this] { return openPath; }, [this] { return savePath; });
    }
    ~Recorder()
    {
        form.reset();
        setMessageBoxHandler({});
        bDataValid = 0;
    }
    QStringList captions() const
    {
        QStringList list;
        for (const MessageBoxRequest& box : boxes)
            list << box.caption;
        return list;
    }
    void log(int count)
    {
        for (int i = 0; i < count; ++i)
            form->store().appendReading(reading, timeStampNow());
    }
};

// Whether the process catches SIGTERM (its SigCgt mask has the bit).
bool catchesTerm(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const qsizetype at = text.indexOf("SigCgt:");
    const qulonglong mask = at < 0 ? 0 : text.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16);
    return ((mask >> (SIGTERM - 1)) & 1) != 0;
}

qint64 sizeOf(const QString& path)
{
    return QFileInfo(path).size();
}

std::atomic<int> g_syncs{0};

int countedSync(int fd)
{
    ++g_syncs;
    return ::fdatasync(fd);
}

} // namespace

class TestRecorderEdges : public QObject
{
    Q_OBJECT
private slots:
    void fullDiskIsToldOncePerEpisodeAndAgainAtStop();
    void missedReadingsGoInOnceThereIsRoomAlsoAfterStop();
    void fullDiskIsToldOnceAcrossStopAndStart();
    void eachReadingIsSyncedBeforeTheNextPoll();
    void readingsInNoFileAreNamedAtExit();
    void openOfAFifoReturnsAtOnce();
    void saveOntoAFileBeingLoggedIsRefused();
    void saveOntoTheRunsOwnTemporaryFileIsRefused();
    void savedRunsFileIsDeleted_data();
    void savedRunsFileIsDeleted();
    void numberingSkipsEveryStaleRun();
    void descriptorsStayBoundedOverManyRuns();
    void terminationSignal_data();
    void terminationSignal();
    void terminationSignalEndsTheProgramWithStatusZero_data();
    void terminationSignalEndsTheProgramWithStatusZero();
};

void TestRecorderEdges::fullDiskIsToldOncePerEpisodeAndAgainAtStop()
{
    Recorder r(true);
    FillableDisk& disk = *r.disk;
    startRun(*r.form);
    const QString path = r.form->store().tempFiles().currentFileName();
    r.log(3);
    disk.fill(path);
    // More than the rest of a memory page of the small file system holds.
    r.log(80);
    // The box waits for the event loop: logging is not held up by it.
    QCOMPARE(r.form->state().readingCount, 83);
    QTRY_COMPARE(r.captions(), QStringList{"Error[E9094]"});
    QCOMPARE(r.boxes.first().detail, path);
    QVERIFY(r.boxes.first().text.contains(QString::fromLocal8Bit(strerror(disk.fullErrno()))));
    QCOMPARE(sizeOf(path) % qint64(kARecordSize), 0);

    // Stop while the file still misses readings: said again, with how many.
    r.form->sbtnRecordStop->setChecked(true);
    r.form->sbtnRecordStopClick();
    QCOMPARE(r.captions(), (QStringList{"Error[E9094]", "Error[E9094]"}));
    QCOMPARE(r.boxes.last().detail, path);
    QVERIFY(
        r.boxes.last().text.contains(QString::number(83 - sizeOf(path) / qint64(kARecordSize))));
    QCOMPARE(r.loggingWhileAsked.last(), false);
    disk.free();
}

void TestRecorderEdges::missedReadingsGoInOnceThereIsRoomAlsoAfterStop()
{
    Recorder r(true);
    startRun(*r.form);
    const QString path = r.form->store().tempFiles().currentFileName();
    const auto logDistinct = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            r.form->store().appendReading(r.reading,
                                          formatTimeStamp(1, i / 600, i / 10 % 60, i % 10 * 100));
    };
    logDistinct(0, 3);
    r.disk->fill(path);
    logDistinct(3, 83);
    QVERIFY(sizeOf(path) < 83 * qint64(kARecordSize));
    r.form->sbtnRecordStop->setChecked(true);
    r.form->sbtnRecordStopClick();
    r.disk->free();
    QTRY_COMPARE(sizeOf(path), 83 * qint64(kARecordSize));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray expected;
    for (int i = 0; i < 83; ++i) {
        const auto bytes = encodeARecord(r.form->store().buffer().at(std::size_t(i)));
        expected.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    QVERIFY(file.readAll() == expected);
}

void TestRecorderEdges::fullDiskIsToldOnceAcrossStopAndStart()
{
    Recorder r(true);
    startRun(*r.form);
    const QString first = r.form->store().tempFiles().currentFileName();
    r.log(3);
    r.disk->fill(first);
    r.log(80);
    QTRY_COMPARE(r.captions(), QStringList{"Error[E9094]"});
    r.form->sbtnRecordStop->setChecked(true);
    r.form->sbtnRecordStopClick(); // tells how many readings the file missed
    QCOMPARE(r.captions().size(), 2);

    // Start again while the disk is still full: both runs' files miss
    // readings, the new one's writes and the retries of the first alternate.
    startRun(*r.form);
    const QString second = r.form->store().tempFiles().currentFileName();
    QSignalSpy retries(&r.form->store().tempFileRetryTimer(), &QTimer::timeout);
    for (int round = 0; round < 3; ++round) {
        r.log(40);
        QVERIFY(retries.wait(3000));
    }
    QCoreApplication::processEvents();
    QCOMPARE(r.captions(), (QStringList{"Error[E9094]", "Error[E9094]"}));

    // Every reading kept: each file takes all of its own once there is room.
    r.disk->free();
    QTRY_COMPARE(sizeOf(first), 83 * qint64(kARecordSize));
    QTRY_COMPARE(sizeOf(second), 120 * qint64(kARecordSize));
    QCOMPARE(r.captions().size(), 2);
}

void TestRecorderEdges::eachReadingIsSyncedBeforeTheNextPoll()
{
    DelayedSync::setSyncFunctionForTests(countedSync);
    const auto realSync = qScopeGuard([] { DelayedSync::setSyncFunctionForTests(nullptr); });
    Recorder r;
    startRun(*r.form);
    g_syncs = 0;
    // Readings come at most every 500 ms (Full Speed): each is on the disk
    // well before the next one arrives.
    for (int reading = 1; reading <= 3; ++reading) {
        r.log(1);
        QTRY_COMPARE_WITH_TIMEOUT(g_syncs.load(), reading, 250);
    }
}

void TestRecorderEdges::readingsInNoFileAreNamedAtExit()
{
    Recorder r(true);
    startRun(*r.form);
    const QString path = r.form->store().tempFiles().currentFileName();
    r.log(3);
    r.disk->fill(path);
    r.log(80);
    const qint64 missed = 83 - sizeOf(path) / qint64(kARecordSize);
    // Standard error into a file beside the full disk while the program ends.
    const QString errors = r.dir.filePath(QStringLiteral("stderr.txt"));
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int into = ::open(QFile::encodeName(errors).constData(), O_WRONLY | O_CREAT, 0600);
    ::dup2(into, 2);
    r.form->endForExit();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(into);
    ::close(saved);
    QFile text(errors);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString said = QString::fromLocal8Bit(text.readAll());
    QVERIFY2(said.startsWith(QStringLiteral("dmmlogger: %1 readings of this run are in no file: "
                                            "%2 could not take them (")
                                 .arg(missed)
                                 .arg(path)),
             qPrintable(said));
    r.disk->free();
}

void TestRecorderEdges::openOfAFifoReturnsAtOnce()
{
    Recorder r;
    r.openPath = r.dir.filePath(QStringLiteral("x.g52"));
    QVERIFY(::mkfifo(QFile::encodeName(r.openPath).constData(), 0666) == 0);
    {
        // Opens the FIFO for writing after a while, so that a reader that blocks
        // in its open() is let go and the test fails instead of hanging.
        std::jthread rescue([path = QFile::encodeName(r.openPath)](std::stop_token stop) {
            std::mutex mutex;
            std::unique_lock lock(mutex);
            if (!std::condition_variable_any().wait_for(lock, stop, 5s, [] { return false; }) &&
                !stop.stop_requested())
                ::close(::open(path.constData(), O_WRONLY | O_NONBLOCK));
        });
        r.form->sbtnOpenFileClick();
    }
    QCOMPARE(r.captions(), QStringList{"Error[E9004]"});
    QVERIFY2(r.boxes.first().detail.contains("FIFO"), qPrintable(r.boxes.first().detail));
    QVERIFY(r.form->state().bufferEmpty);
}

void TestRecorderEdges::saveOntoAFileBeingLoggedIsRefused()
{
    BusyLog log;
    QVERIFY(log.start());
    Recorder r;
    r.log(5);
    r.savePath = log.file();
    QVERIFY(!r.form->sbtnSaveFileClick());
    QCOMPARE(r.captions(), QStringList{"Error[E9005]"});
    QVERIFY2(r.boxes.first().detail.contains("in use by another program: dmm-log"),
             qPrintable(r.boxes.first().detail));
    QVERIFY(r.form->state().unsavedData);
    // dmm-log's file is still the one on the disk, and it goes on growing.
    const qint64 before = sizeOf(log.file());
    QTRY_VERIFY(sizeOf(log.file()) > before);
    QCOMPARE(log.stop(), 0);
}

void TestRecorderEdges::saveOntoTheRunsOwnTemporaryFileIsRefused()
{
    Recorder r;
    startRun(*r.form);
    r.log(3);
    r.savePath = r.form->store().tempFiles().currentFileName();
    QVERIFY(!r.form->sbtnSaveFileClick());
    QCOMPARE(r.captions(), QStringList{"Error[E9005]"});
    QCOMPARE(r.boxes.first().detail,
             r.savePath + ": held by this program: the temporary file of the current run");
    QCOMPARE(sizeOf(r.savePath), 3 * qint64(kARecordSize));
}

void TestRecorderEdges::savedRunsFileIsDeleted_data()
{
    QTest::addColumn<bool>("stopBeforeSave");
    QTest::addColumn<bool>("clearedAndLoggedAgain"); // the run's readings gone before the save
    QTest::addColumn<bool>("kept");
    QTest::newRow("stopped, then saved: deleted") << true << false << false;
    QTest::newRow("saved while running: kept") << false << false << true;
    QTest::newRow("cleared, other readings saved: kept") << true << true << true;
}

void TestRecorderEdges::savedRunsFileIsDeleted()
{
    QFETCH(bool, stopBeforeSave);
    QFETCH(bool, clearedAndLoggedAgain);
    QFETCH(bool, kept);
    Recorder r;
    startRun(*r.form);
    const QString path = r.form->store().tempFiles().currentFileName();
    r.log(3);
    if (stopBeforeSave) {
        r.form->sbtnRecordStop->setChecked(true);
        r.form->sbtnRecordStopClick();
    }
    if (clearedAndLoggedAgain) {
        QVERIFY(r.form->sbtnClearClick());
        r.log(2);
    }
    r.savePath = r.dir.filePath(QStringLiteral("bench1.g52"));
    QVERIFY(r.form->sbtnSaveFileClick());
    QCOMPARE(QFile::exists(path), kept);
    QCOMPARE(r.form->recordingName(), QStringLiteral("bench1"));
}

void TestRecorderEdges::numberingSkipsEveryStaleRun()
{
    Recorder r;
    for (int n = 1; n <= 10001; ++n)
        QFile(r.dir.filePath(QStringLiteral("~KOPLX%1.TMP").arg(n))).open(QIODevice::WriteOnly);
    startRun(*r.form);
    QCOMPARE(r.captions(), QStringList{});
    QCOMPARE(r.form->store().tempFiles().currentFileName(),
             r.dir.filePath(QStringLiteral("~KOPLX10002.TMP")));
}

void TestRecorderEdges::descriptorsStayBoundedOverManyRuns()
{
    Recorder r;
    const auto openDescriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    const auto run = [&r] {
        startRun(*r.form);
        r.log(1);
        r.form->sbtnRecordStop->setChecked(true);
        r.form->sbtnRecordStopClick();
    };
    run();
    const uint before = openDescriptors();
    for (int i = 0; i < 40; ++i)
        run();
    QVERIFY2(openDescriptors() <= before + 10,
             qPrintable(QStringLiteral("%1 then %2").arg(before).arg(openDescriptors())));
    QCOMPARE(r.captions(), QStringList{});
}

void TestRecorderEdges::terminationSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("saved");
    QTest::newRow("SIGTERM, unsaved run") << SIGTERM << false;
    QTest::newRow("SIGHUP, unsaved run") << SIGHUP << false;
    QTest::newRow("SIGINT, saved run") << SIGINT << true;
}

void TestRecorderEdges::terminationSignal()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, saved);
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    const QString settings = sim.directory() + QStringLiteral("/MLQDL.ini");
    const QString tempFile = sim.directory() + QStringLiteral("/~KOPLX1.TMP");
    auto shell = std::make_unique<ShellFixture>(sim.directory(), 1);
    TerminationSignals termination;
    termination.endProgramWith(&shell->main());
    TGraphicalForm* recorder = shell->windows().GraphicalForm.get();
    shell->clickLink();
    QTRY_VERIFY(bDataValid != 0);
    startRun(*recorder);
    QTRY_VERIFY(recorder->state().readingCount >= 3);
    if (saved) {
        recorder->setFileChoosers({}, [&] { return sim.directory() + QStringLiteral("/a.g52"); });
        QVERIFY(recorder->sbtnSaveFileClick());
    }
    QVERIFY(QFile::remove(settings));

    QSignalSpy closed(&shell->main(), &TFormMain::closed);
    ::raise(signalNumber);
    QVERIFY(closed.wait(10000));
    QVERIFY(QFile::exists(settings));
    QVERIFY(!shell->main().serialLink().isOpen());
    QVERIFY(!recorder->state().recording);
    QVERIFY(shell->boxCaptions().isEmpty());
    const int logged = recorder->state().readingCount;
    QCOMPARE(sizeOf(tempFile), qint64(logged) * qint64(kARecordSize));

    shell.reset(); // the windows go as at the end of the program
    QCOMPARE(QFile::exists(tempFile), !saved);
}

void TestRecorderEdges::terminationSignalEndsTheProgramWithStatusZero_data()
{
    QTest::addColumn<bool>("sizeLimit");
    QTest::newRow("settings written") << false;
    // Every file the program writes is limited to a few bytes: the settings
    // written at its end fail with a reason instead of a SIGXFSZ killing it.
    QTest::newRow("file size limit") << true;
}

void TestRecorderEdges::terminationSignalEndsTheProgramWithStatusZero()
{
    QFETCH(bool, sizeLimit);
    QTemporaryDir dir;
    QProcess program;
    program.setWorkingDirectory(dir.path());
    if (sizeLimit)
        program.setChildProcessModifier([] {
            // The program's own setting counts, not one it inherited from a test.
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{16, 16};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    program.start(QStringLiteral(DMM_PROGRAM_PATH), {});
    QVERIFY(program.waitForStarted());
    // Sent once the program catches it (its SigCgt mask has the bit).
    QTRY_VERIFY_WITH_TIMEOUT(catchesTerm(program.processId()), 20000);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    if (sizeLimit)
        QVERIFY(program.readAllStandardError().contains("File too large"));
    else
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("MLQDL.ini"))));
}

QTEST_MAIN(TestRecorderEdges)
#include "tst_recorderedges.moc"
