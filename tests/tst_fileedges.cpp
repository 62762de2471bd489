// SPDX-License-Identifier: MIT
// Files at the edges: the temporary file through a full disk, dmm-export and
// dmm-log onto devices, terminals, the meter's port, FIFOs, folders that
// refuse a temporary file, names that are no UTF-8 and files another program
// is writing, dmm-log under a file-size limit, and --append onto the wrong
// kind of file or rows of another form.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <dirent.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "BusyLog.h"
#include "FileBytes.h"
#include "FileChecks.h"
#include "FillableDisk.h"
#include "LogLines.h"
#include "PtyPair.h"
#include "Record.h"
#include "RecorderStore.h"
#include "SimProcess.h"
#include "StoreFailures.h"

using namespace dmm;
using namespace std::chrono_literals;

namespace {

QByteArray recordBytes(const TARecord& r)
{
    const auto bytes = encodeARecord(r);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QByteArray recordBytes(int i)
{
    TARecord r;
    r.display = "1.234";
    r.value = "1.234";
    r.exponent = "0";
    r.function = 6;
    r.timeStamp = formatTimeStamp(9, 5, i % 60, 400);
    r.unit = "V";
    r.fValue = 1.0f + float(i);
    return recordBytes(r);
}

// The run's records as the temporary file must hold them.
QByteArray runBytes(const RecordBuffer& buffer)
{
    QByteArray bytes;
    for (std::size_t i = 0; i < buffer.size(); ++i)
        bytes += recordBytes(buffer.at(i));
    return bytes;
}

struct Run
{
    int status = -1; // -1: did not end normally in time
    QString err;
};

Run run(const QString& program, const QStringList& arguments, const QString& directory,
        const std::function<void()>& inChild = {})
{
    QProcess process;
    process.setWorkingDirectory(directory);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(program, arguments);
    const bool ended =
        process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit;
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    return {ended ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Runs `program` with `arguments` given as bytes: a name that is no UTF-8
// reaches it as it is (QProcess would pass its own text of it).
Run runWithBytes(const QString& program, const QList<QByteArray>& arguments,
                 const QString& directory, const std::function<void()>& inChild = {})
{
    QString script = QStringLiteral("exec \"$0\"");
    for (const QByteArray& argument : arguments) {
        script += QStringLiteral(" \"$(printf '");
        for (const char c : argument)
            script += QStringLiteral("\\%1").arg(uchar(c), 3, 8, QLatin1Char('0'));
        script += QStringLiteral("')\"");
    }
    return run(QStringLiteral("/bin/sh"), {"-c", script, program}, directory, inChild);
}

// The kinds of target a write meets. Device nodes are made in the test's own
// folder, never the system's: a writer that replaces its target would break
// the machine's device for everything after.
enum class Target
{
    FullDevice,
    NullDevice,
    Terminal,   // a pseudo-terminal other than the meter's
    MetersPort, // the simulator's COM1
    Fifo,
    RefusingFolder, // a writable file in a folder where no new file can be made
    CommaCsv,       // a ';' CSV with a decimal comma and local times
    UtcCsv,         // the same with UTC times
    NoUtf8Name,     // a new workbook "out\xff.xlsx"
    NoUtf8Folder,   // a new workbook in the folder "d\xff"
};

const QStringList asNobody{"--reuid=65534", "--regid=65534", "--clear-groups"};
const QByteArray kCommaCsv =
    "time;value;unit;display;subdisplay\n2026-12-07T23:59:59.912;1,234;V;1,234;\n";
const QByteArray kUtcCsv =
    "time;value;unit;display;subdisplay\n2026-12-07T22:59:59.912Z;1,234;V;1,234;\n";

QByteArray targetName(Target kind)
{
    switch (kind) {
    case Target::MetersPort:
        return "COM1";
    case Target::NoUtf8Name:
        return "out\xff.xlsx";
    case Target::NoUtf8Folder:
        return "d\xff/out.xlsx";
    default:
        return "target";
    }
}

// Makes `kind` at `name`; a reason to skip when this machine cannot.
std::optional<QString> makeTarget(Target kind, const QByteArray& name, std::optional<PtyPair>& pty)
{
    const bool root = ::geteuid() == 0;
    switch (kind) {
    case Target::FullDevice:
    case Target::NullDevice:
        if (!root)
            return QStringLiteral("device nodes need root");
        if (::mknod(name.constData(), S_IFCHR | 0666,
                    makedev(1, kind == Target::FullDevice ? 7 : 3)) != 0)
            return QStringLiteral("mknod: ") + systemReason(errno);
        return std::nullopt;
    case Target::Terminal:
        pty.emplace();
        if (!pty->isValid() || ::symlink(QFile::encodeName(pty->slavePath()), name) != 0)
            return QStringLiteral("no pseudo-terminal");
        return std::nullopt;
    case Target::Fifo:
        if (::mkfifo(name.constData(), 0666) != 0)
            return QStringLiteral("mkfifo: ") + systemReason(errno);
        return std::nullopt;
    case Target::RefusingFolder:
        if (!root || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            return QStringLiteral("needs root and setpriv to run the writer as another user");
        // The build may sit in a folder only root may enter (a checkout in /root).
        for (const char* tool : {DMM_EXPORT_PATH, DMM_LOG_PATH})
            if (run(QStringLiteral("setpriv"), asNobody + QStringList{tool, "--help"}, {}).status !=
                0)
                return QStringLiteral("another user cannot run the tools in this build folder");
        if (!writeFile(QFile::decodeName(name), "old bytes\n") || ::chmod(name, 0666) != 0)
            return QStringLiteral("cannot make the old file");
        return std::nullopt;
    case Target::CommaCsv:
    case Target::UtcCsv:
        writeFile(QFile::decodeName(name), kind == Target::CommaCsv ? kCommaCsv : kUtcCsv);
        return std::nullopt;
    case Target::NoUtf8Folder:
        ::mkdir("d\xff", 0755); // in the current folder, the test's
        return std::nullopt;
    case Target::MetersPort:
    case Target::NoUtf8Name:
        return std::nullopt;
    }
    return std::nullopt;
}

// Whether the target is what it was (a refused write) or what was written.
bool targetIsRight(Target kind, const QByteArray& name, bool written)
{
    struct stat st
    {
    };
    if (::stat(name.constData(), &st) != 0)
        return false;
    if (S_ISFIFO(st.st_mode))
        return kind == Target::Fifo;
    if (S_ISCHR(st.st_mode))
        return kind == Target::FullDevice || kind == Target::NullDevice ||
               kind == Target::Terminal || kind == Target::MetersPort;
    QByteArray bytes(qsizetype(st.st_size), '\0');
    FILE* stream = std::fopen(name.constData(), "rb");
    const bool read = stream && std::fread(bytes.data(), 1, std::size_t(bytes.size()), stream) ==
                                    std::size_t(bytes.size());
    if (stream)
        std::fclose(stream);
    const QByteArray old = kind == Target::CommaCsv ? kCommaCsv : kUtcCsv;
    switch (kind) {
    case Target::RefusingFolder:
        return read && bytes == "old bytes\n";
    case Target::CommaCsv:
    case Target::UtcCsv:
        return read &&
               (written ? bytes.startsWith(old) && bytes.size() > old.size() : bytes == old);
    case Target::NoUtf8Name:
    case Target::NoUtf8Folder:
        return read && bytes.startsWith("PK\x03\x04"); // a zip, as a workbook is
    default:
        return false;
    }
}

// The names in `folder`, as bytes.
QList<QByteArray> entries(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir))
            names << QByteArray(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

CurrentReading readingOf(int i)
{
    CurrentReading r;
    r.sDigits = std::to_string(i) + ".5";
    r.szValue = r.sDigits;
    r.sExponent = std::string("0");
    r.iFunction = 6;
    r.szUnit = "V";
    return r;
}

} // namespace

class TestFileEdges : public QObject
{
    Q_OBJECT
private slots:
    void tempFileKeepsWholeRecordsThroughAFullDisk();
    void writeTargets_data();
    void writeTargets();
    void logWriteFailureCutsToWholeUnits_data();
    void logWriteFailureCutsToWholeUnits();
    void logCountsEachOutputWhenTheyDiffer();
    void appendIsRefused_data();
    void appendIsRefused();
    void fileBeingLoggedIsNotReplaced();
};

void TestFileEdges::tempFileKeepsWholeRecordsThroughAFullDisk()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(folder));
    FillableDisk disk(folder);
    StoreFailures view;
    RecorderStore store(folder, &view);
    QVERIFY(store.tempFiles().createNext());
    const QString path = store.tempFiles().currentFileName();
    int logged = 0;
    const auto logSome = [&](int count) {
        for (int i = 0; i < count; ++i) {
            store.appendReading(readingOf(logged++), timeStampNow());
            // Whole records only, at every moment, and each one the run's.
            const QByteArray file = readAll(path);
            if (file.size() % qsizetype(kARecordSize) != 0 ||
                !runBytes(store.buffer()).startsWith(file))
                return false;
        }
        return true;
    };

    QVERIFY(logSome(5));
    disk.fill(path);
    QVERIFY(logSome(60));
    QVERIFY(store.tempFiles().missedRecords() > 0);
    QCOMPARE(view.failures, QStringList{path + ": " + systemReason(disk.fullErrno())});

    // Space returns: the missed records follow in order, and the episode ends.
    disk.free();
    QVERIFY(logSome(1));
    QCOMPARE(store.tempFiles().missedRecords(), 0);
    QCOMPARE(readAll(path), runBytes(store.buffer()));

    // A second episode is told again.
    disk.fill(path);
    QVERIFY(logSome(60));
    QCOMPARE(view.failures.size(), 2);
    disk.free();
    store.tempFiles().close();
    QCOMPARE(readAll(path), runBytes(store.buffer()));
    QCOMPARE(store.buffer().size(), std::size_t(logged));
}

// dmm-export and dmm-log onto each kind of target ("TARGET" in the options).
void TestFileEdges::writeTargets_data()
{
    QTest::addColumn<Target>("kind");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString full = systemReason(ENOSPC);
    const QString fifo = QStringLiteral("target: not a regular file but a FIFO");
    const QString device = QStringLiteral("target: not a regular file but a character device");
    const QStringList out{"-o", "TARGET"};
    const QStringList book{"--table", "-o", "TARGET"};
    const QStringList append{"--csv", "TARGET", "--append", "--separator", ";"};
    QTest::newRow("export full device") << Target::FullDevice << out << 1 << full;
    QTest::newRow("export null device") << Target::NullDevice << out << 0 << QString();
    QTest::newRow("export FIFO") << Target::Fifo << out << 1 << fifo;
    QTest::newRow("export into a folder refusing a temporary file")
        << Target::RefusingFolder << out << 1 << "refuses a temporary file";
    QTest::newRow("export workbook named with a byte that is no UTF-8")
        << Target::NoUtf8Name << book << 0 << "dmm-export: 3 readings";
    QTest::newRow("export workbook into a folder named so")
        << Target::NoUtf8Folder << book << 0 << "dmm-export: 3 readings";
    QTest::newRow("log --out full device")
        << Target::FullDevice << QStringList{"--out", "TARGET"} << 1 << device;
    QTest::newRow("log --csv null device")
        << Target::NullDevice << QStringList{"--csv", "TARGET"} << 1 << device;
    QTest::newRow("log --csv --append another terminal")
        << Target::Terminal << QStringList{"--csv", "TARGET", "--append"} << 1 << device;
    QTest::newRow("log --out --append the meter's port")
        << Target::MetersPort << QStringList{"--out", "TARGET", "--append"} << 1
        << "COM1: is the meter's port (--port); the readings go to a regular file";
    QTest::newRow("log --out FIFO") << Target::Fifo << QStringList{"--out", "TARGET"} << 1 << fifo;
    QTest::newRow("log --csv FIFO") << Target::Fifo << QStringList{"--csv", "TARGET"} << 1 << fifo;
    QTest::newRow("log --append a decimal point to a decimal comma")
        << Target::CommaCsv << append << 1
        << "target: its values have a decimal comma: add to it with --decimal-comma";
    QTest::newRow("log --append UTC times to local ones")
        << Target::CommaCsv << append + QStringList{"--decimal-comma", "--utc"} << 1
        << "target: its times are local: add to it without --utc";
    QTest::newRow("log --append local times to UTC ones")
        << Target::UtcCsv << append + QStringList{"--decimal-comma"} << 1
        << "target: its times are UTC (ending in Z): add to it with --utc";
    QTest::newRow("log --append rows of the same form")
        << Target::UtcCsv << append + QStringList{"--decimal-comma", "--utc"} << 0
        << "2 readings logged";
}

void TestFileEdges::writeTargets()
{
    QFETCH(Target, kind);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, message);
    SimProcess sim;
    const QString folder = sim.directory();
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    const QByteArray name = targetName(kind);
    // Names that are no UTF-8 are beyond QTemporaryDir's clean-up.
    const auto cleanUp = qScopeGuard([&] {
        ::unlink(name);
        ::rmdir("d\xff");
        QDir::setCurrent(here);
    });
    std::optional<PtyPair> pty;
    if (const auto skip = makeTarget(kind, name, pty))
        QSKIP(qPrintable(*skip));
    const bool log = !options.contains("-o");
    QString program = QString::fromUtf8(log ? DMM_LOG_PATH : DMM_EXPORT_PATH);
    QList<QByteArray> arguments;
    if (log) {
        options = QStringList{"--port", "COM1"} + options + QStringList{"--count", "2", "--quiet"};
        QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    } else {
        options << "run.g52";
        QVERIFY(writeFile(folder + QStringLiteral("/run.g52"),
                          recordBytes(1) + recordBytes(2) + recordBytes(3)));
    }
    if (kind == Target::RefusingFolder) { // root may make files anywhere
        options = asNobody + QStringList{program} + options;
        program = QStringLiteral("setpriv");
    }
    for (const QString& option : options)
        arguments << (option == "TARGET" ? name : QFile::encodeName(option));
    const QByteArray where = name.contains('/') ? name.left(name.indexOf('/')) : ".";
    QList<QByteArray> expected = entries(where);
    if (kind == Target::NoUtf8Name || kind == Target::NoUtf8Folder) {
        expected << name.mid(name.lastIndexOf('/') + 1);
        std::sort(expected.begin(), expected.end());
    }

    const Run result = runWithBytes(program, arguments, folder);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(targetIsRight(kind, name, status == 0));
    QCOMPARE(entries(where), expected);
}

void TestFileEdges::logWriteFailureCutsToWholeUnits_data()
{
    QTest::addColumn<QString>("option");
    QTest::newRow("--out") << "--out";
    QTest::newRow("--csv") << "--csv";
}

void TestFileEdges::logWriteFailureCutsToWholeUnits()
{
    QFETCH(QString, option);
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    // Room for the header and three records or lines, and part of one more.
    const Run result =
        run(QStringLiteral(DMM_LOG_PATH),
            {"--port", "COM1", option, "log", "--count", "50", "--quiet"}, sim.directory(), [] {
                const rlimit limit{250, 250};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains("log: " + systemReason(EFBIG)), qPrintable(result.err));
    const QByteArray file = readAll(sim.directory() + QStringLiteral("/log"));
    QVERIFY(!file.isEmpty());
    QVERIFY(option == "--out" ? file.size() % 76 == 0 : file.endsWith('\n'));
}

// The CSV runs out of room before the record file: the summary says what
// each file holds.
void TestFileEdges::logCountsEachOutputWhenTheyDiffer()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    // An earlier run's CSV; the size limit leaves it room for two more lines
    // of about 40 bytes, and the record file room for 26 records.
    QByteArray csv = QByteArray::fromStdString(logtool::csvHeader());
    while (csv.size() < 2000)
        csv += "2024-05-01T09:05:03.456,1.234,V,1.234,\n";
    writeFile(sim.directory() + QStringLiteral("/log.csv"), csv);
    const rlimit limit{rlim_t(csv.size() + 100), rlim_t(csv.size() + 100)};
    const Run result = run(QStringLiteral(DMM_LOG_PATH),
                           {"--port", "COM1", "--out", "log.g52", "--csv", "log.csv", "--append",
                            "--count", "50", "--quiet"},
                           sim.directory(), [limit] { ::setrlimit(RLIMIT_FSIZE, &limit); });
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains("log.g52 holds 3 readings, log.csv holds 2 readings"),
             qPrintable(result.err));
}

// dmm-log --append onto a file it must not touch; "" as contents: a stopped
// run's temporary file, which the recorder still holds.
void TestFileEdges::appendIsRefused_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("message");
    const QByteArray csv =
        QByteArray::fromStdString(logtool::csvHeader()) + "2024-05-01T09:05:03.456,1\n";
    const QByteArray notes = "Meeting notes: bring the meter.\n";
    QByteArray untimed = recordBytes(3);
    untimed.replace(16, 16, QByteArray(16, 'x')); // a text that never ends
    QTest::newRow("--out onto a CSV") << "--out" << csv << "not a recording";
    QTest::newRow("--out onto notes") << "--out" << notes << "not a recording";
    QTest::newRow("--out onto a long text") << "--out" << notes.repeated(10) << "not a recording";
    QTest::newRow("--out onto unterminated texts") << "--out" << untimed << "not a recording";
    QTest::newRow("--csv onto a recording")
        << "--csv" << recordBytes(1) + recordBytes(2) + "partial"
        << "not its CSV";
    QTest::newRow("--csv onto notes") << "--csv" << notes << "not its CSV";
    QTest::newRow("--out onto a held temporary file")
        << "--out" << QByteArray() << "in use by another program";
}

void TestFileEdges::appendIsRefused()
{
    QFETCH(QString, option);
    QFETCH(QByteArray, contents);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString file = dir.filePath("file");
    std::optional<RecorderStore> store;
    if (contents.isEmpty()) {
        store.emplace(dir.path());
        QVERIFY(store->tempFiles().createNext());
        store->appendReading(readingOf(1), timeStampNow());
        store->tempFiles().close(); // a stopped run's file stays held
        file = store->tempFiles().currentFileName();
        contents = readAll(file);
    } else {
        QVERIFY(writeFile(file, contents));
    }
    const Run result = run(
        QStringLiteral(DMM_LOG_PATH),
        {"--port", "/nonexistent/tty", option, QFileInfo(file).fileName(), "--append"}, dir.path());
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(readAll(file), contents);
}

void TestFileEdges::fileBeingLoggedIsNotReplaced()
{
    BusyLog log;
    QVERIFY(log.start());
    QVERIFY(writeFile(log.directory() + QStringLiteral("/other.g52"), recordBytes(1)));

    const Run result = run(QStringLiteral(DMM_EXPORT_PATH),
                           {"--list", "-o", "busy.g52", "other.g52"}, log.directory());
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains("in use by another program: dmm-log"), qPrintable(result.err));

    // dmm-log still writes into the file that is on the disk.
    const qint64 before = QFileInfo(log.file()).size();
    QTRY_VERIFY(QFileInfo(log.file()).size() > before);
    QCOMPARE(log.stop(), 0);
    QCOMPARE(readAll(log.file()).size() % 76, 0); // whole 76-byte records
}

QTEST_MAIN(TestFileEdges)
#include "tst_fileedges.moc"
