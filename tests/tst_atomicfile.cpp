// SPDX-License-Identifier: MIT
// The one writer of whole files at its edges: a producer that cancels, the old
// file's permissions, names near the length limit, a killed write's leftover,
// this program's own held files, a dangling link.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "AtomicFile.h"
#include "FileBytes.h"
#include "FileChecks.h"
#include "FileLocks.h"

using namespace dmm;

namespace {

QStringList entries(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT
private slots:
    void producerThatCancelsReplacesNothing_data();
    void producerThatCancelsReplacesNothing();
    void replacementIsWritten_data();
    void replacementIsWritten();
    void leftoverOfAKilledWriteIsRemoved();
    void fileThisProgramHoldsIsNamed();
    void danglingLinkIsWrittenThrough();
    void heldFileIsKnownUnderAnyName_data();
    void heldFileIsKnownUnderAnyName();
    void notRegularFileIsNamedByItsKind_data();
    void notRegularFileIsNamedByItsKind();
    void holderWithoutANameIsGivenByItsPid();
};

// The producer's input failed in the call that sets the flag, whatever it returns.
void TestAtomicFile::producerThatCancelsReplacesNothing_data()
{
    QTest::addColumn<bool>("returned");
    QTest::newRow("ends: returns false") << false;
    QTest::newRow("returns a last block") << true;
}

void TestAtomicFile::producerThatCancelsReplacesNothing()
{
    QFETCH(bool, returned);
    QTemporaryDir dir;
    const QString out = dir.filePath("out.txt");
    QVERIFY(writeFile(out, "old\n"));
    JobControl job;
    int calls = 0;
    const auto produce = [&](QByteArray& block) {
        block = "part\n";
        if (++calls < 3)
            return true;
        job.cancel = true;
        return returned;
    };
    const auto reason = writeFileAtomically(out, produce, &job);
    QCOMPARE(reason.value_or("written"), "Cancelled");
    QCOMPARE(readAll(out), "old\n");
    QCOMPARE(entries(dir), QStringList{"out.txt"});
}

// A new or an existing file written whole: the old file's permissions kept,
// names up to the folder's limit (the temporary's name is cut to fit).
void TestAtomicFile::replacementIsWritten_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode"); // the old file's; 0: none
    QTest::newRow("0600, a private recording") << "run.g52" << 0600;
    QTest::newRow("0604") << "run.g52" << 0604;
    QTest::newRow("250 bytes, new") << QString(246, 'n') + ".g52" << 0;
    QTest::newRow("255 bytes, replaced") << QString(251, 'n') + ".g52" << 0644;
    QTest::newRow("255 bytes, two-byte letters") << "x" + QString(127, QChar(0xE9)) << 0644;
}

void TestAtomicFile::replacementIsWritten()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString out = dir.filePath(name);
    QVERIFY(mode == 0 || (writeFile(out, "old\n") &&
                          ::chmod(QFile::encodeName(out).constData(), mode_t(mode)) == 0));
    const mode_t oldMask = ::umask(022);
    const auto reason = writeFileAtomically(out, QByteArray("new\n"));
    ::umask(oldMask);
    QCOMPARE(reason.value_or("written"), "written");
    QCOMPARE(readAll(out), "new\n");
    QCOMPARE(entries(dir), QStringList{name});
    struct stat st
    {
    };
    QVERIFY(::stat(QFile::encodeName(out).constData(), &st) == 0);
    QCOMPARE(int(st.st_mode & 07777), mode == 0 ? 0644 : mode);
}

void TestAtomicFile::leftoverOfAKilledWriteIsRemoved()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("run.g52"), "old\n"));
    for (const char* name : {"run.g52.09abcdef", "run.g52.00c0ffee", "run.g52.notes", "x.0a1b2c3d"})
        QVERIFY(writeFile(dir.filePath(name), "left\n"));
    // Another write of the same target, still under way.
    const int held = ::open(QFile::encodeName(dir.filePath("run.g52.00c0ffee")), O_RDONLY);
    QVERIFY(held >= 0 && lockExclusive(held));

    QCOMPARE(writeFileAtomically(dir.filePath("run.g52"), QByteArray("new\n")).value_or("written"),
             "written");
    ::close(held);
    QCOMPARE(entries(dir),
             (QStringList{"run.g52", "run.g52.00c0ffee", "run.g52.notes", "x.0a1b2c3d"}));
}

void TestAtomicFile::fileThisProgramHoldsIsNamed()
{
    QTemporaryDir dir;
    const QString temp = dir.filePath("~KOPLX1.TMP");
    QVERIFY(writeFile(temp, "records\n"));
    QVERIFY(QFile::link(temp, dir.filePath("link.g52")));
    const int fd = ::open(QFile::encodeName(temp), O_RDONLY);
    QVERIFY(fd >= 0 && lockExclusive(fd));
    registerHeldFile(temp, "the temporary file of the current run");

    const auto reason = writeFileAtomically(dir.filePath("link.g52"), QByteArray("new\n"));
    forgetHeldFile(temp);
    ::close(fd);
    QCOMPARE(reason.value_or("written"),
             "held by this program: the temporary file of the current run");
    QCOMPARE(readAll(temp), "records\n");
}

void TestAtomicFile::danglingLinkIsWrittenThrough()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("runs"));
    QVERIFY(QFile::link("runs/missing.g52", dir.filePath("link.g52"))); // relative to the link
    QCOMPARE(writeFileAtomically(dir.filePath("link.g52"), QByteArray("new\n")).value_or("written"),
             "written");
    QVERIFY(QFileInfo(dir.filePath("link.g52")).isSymLink());
    QCOMPARE(readAll(dir.filePath("runs/missing.g52")), "new\n");
    QCOMPARE(QDir(dir.filePath("runs")).entryList(QDir::Files), QStringList{"missing.g52"});
}

void TestAtomicFile::heldFileIsKnownUnderAnyName_data()
{
    QTest::addColumn<QString>("name"); // of the held runs/~KOPLX1.TMP
    QTest::newRow("./") << "runs/./~KOPLX1.TMP";
    QTest::newRow("//") << "runs//~KOPLX1.TMP";
    QTest::newRow("linked folder") << "linked/~KOPLX1.TMP";
}

void TestAtomicFile::heldFileIsKnownUnderAnyName()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("runs") && QFile::link("runs", dir.filePath("linked")));
    const QString held = dir.filePath("runs/~KOPLX1.TMP");
    QVERIFY(writeFile(held, "records\n"));
    registerHeldFile(held, "the temporary file of the current run");
    const auto reason = heldByThisProgramReason(dir.filePath(name));
    forgetHeldFile(held);
    QCOMPARE(reason.value_or("not held"),
             "held by this program: the temporary file of the current run");
}

void TestAtomicFile::notRegularFileIsNamedByItsKind_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("regular file") << "file"
                                  << "regular";
    QTest::newRow("folder") << "folder"
                            << "not a regular file but a folder";
    QTest::newRow("link to a folder") << "link"
                                      << "not a regular file but a folder";
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file but a FIFO";
    QTest::newRow("socket") << "socket"
                            << "not a regular file but a socket";
}

void TestAtomicFile::notRegularFileIsNamedByItsKind()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("file"), "x") && QDir(dir.path()).mkdir("folder"));
    QVERIFY(QFile::link("folder", dir.filePath("link")));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(dir.filePath("socket"));
    QVERIFY(size_t(socketPath.size()) < sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    const auto reason = notRegularFileReason(dir.filePath(name));
    ::close(fd);
    QTEST(reason.value_or("regular"), "reason");
}

void TestAtomicFile::holderWithoutANameIsGivenByItsPid()
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("run.g52"));
    QVERIFY(writeFile(dir.filePath("run.g52"), "x"));
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t child = ::fork();
    if (child == 0) { // a holder whose name reads empty
        ::prctl(PR_SET_NAME, "");
        const int fd = ::open(path.constData(), O_RDONLY);
        const char locked = lockExclusive(fd) ? '1' : '0';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &locked, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    const bool locked = ::read(ready[0], &byte, 1) == 1 && byte == '1';
    const auto holder = lockHolderName(dir.filePath("run.g52"));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    QVERIFY(locked);
    QCOMPARE(holder.value_or("none"), QStringLiteral("pid %1").arg(child));
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
