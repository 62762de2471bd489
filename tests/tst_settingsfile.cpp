// SPDX-License-Identifier: MIT
// The settings file: the all-or-nothing fallback, the three lines written,
// missing and unwritable files.
#include <QtTest>

#include <future>
#include <sys/stat.h>
#include <thread>

#include "NumberText.h"
#include "SettingsFile.h"

using namespace dmm;

class TestSettingsFile : public QObject
{
    Q_OBJECT
private slots:
    void init() { setDecimalSeparator('.'); }
    void parse_data();
    void parse();
    void pathUsesTheStartupDirectory();
    void missingFileGivesFallbacks();
    void writesExactlyThreeLines();
    void writeReplacesOtherLines();
    void notifyChoiceIsAFourthLineOnlyWhenOn();
    void unwritableDirectoryReportsAReason();
    void commaLocaleReadsAPointFile();
    void onlyARegularFileIsRead_data();
    void onlyARegularFileIsRead();
    void onlyTheHeadOfALongFileIsRead();
};

void TestSettingsFile::parse_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("port");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("low");

    QTest::newRow("all good") << QStringList{"iPort=3", "fHiLimit=2.5", "fLowLimit=-1"} << 3 << 2.5
                              << -1.0;
    QTest::newRow("any order, extra lines")
        << QStringList{"x=1", "fLowLimit=1", "iPort=4", "fHiLimit=1E3"} << 4 << 1000.0 << 1.0;
    QTest::newRow("one bad limit resets the port too")
        << QStringList{"iPort=3", "fHiLimit=abc", "fLowLimit=1"} << 2 << 1.0 << 0.0;
    QTest::newRow("no iPort line") << QStringList{"fHiLimit=5", "fLowLimit=1"} << 2 << 1.0 << 0.0;
    QTest::newRow("empty port value")
        << QStringList{"iPort=", "fHiLimit=5", "fLowLimit=1"} << 2 << 1.0 << 0.0;
    QTest::newRow("port not an integer")
        << QStringList{"iPort=1.5", "fHiLimit=5", "fLowLimit=1"} << 2 << 1.0 << 0.0;
    QTest::newRow("missing low limit") << QStringList{"iPort=3", "fHiLimit=5"} << 2 << 1.0 << 0.0;
    QTest::newRow("blanks around values")
        << QStringList{"iPort= 5 ", "fHiLimit= 2 ", "fLowLimit=1"} << 5 << 2.0 << 1.0;
    QTest::newRow("port above 8 is kept")
        << QStringList{"iPort=10", "fHiLimit=2", "fLowLimit=1"} << 10 << 2.0 << 1.0;
    QTest::newRow("empty file") << QStringList{} << 2 << 1.0 << 0.0;
    QTest::newRow("keys in any case")
        << QStringList{"IPORT=3", "fhilimit=2.5", "FLOWLIMIT=-1"} << 3 << 2.5 << -1.0;
    QTest::newRow("first of two spellings counts")
        << QStringList{"iport=4", "iPort=5", "FHiLimit=2", "fLowLimit=1"} << 4 << 2.0 << 1.0;
}

void TestSettingsFile::parse()
{
    QFETCH(QStringList, lines);
    QFETCH(int, port);
    QFETCH(double, hi);
    QFETCH(double, low);
    const Settings s = parseSettings(lines);
    QCOMPARE(s.iPort, port);
    QCOMPARE(s.fHiLimit, hi);
    QCOMPARE(s.fLowLimit, low);
}

void TestSettingsFile::pathUsesTheStartupDirectory()
{
    QCOMPARE(settingsFilePath(QStringLiteral("/home/user/bench")),
             QStringLiteral("/home/user/bench/MLQDL.ini"));
    QCOMPARE(settingsFilePath(QStringLiteral("/")), QStringLiteral("/MLQDL.ini"));
}

void TestSettingsFile::missingFileGivesFallbacks()
{
    QTemporaryDir dir;
    const Settings s = readSettingsFile(dir.filePath(QStringLiteral("MLQDL.ini")));
    QCOMPARE(s.iPort, 2);
}

void TestSettingsFile::writesExactlyThreeLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MLQDL.ini"));
    QVERIFY(writeSettingsFile(path, Settings{4, 1.5, 0.001}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(file.readAll()),
             QStringLiteral("iPort=4\nfHiLimit=1.5\nfLowLimit=0.001\n"));
    const Settings back = readSettingsFile(path);
    QCOMPARE(back.iPort, 4);
    QCOMPARE(back.fHiLimit, 1.5);
    QCOMPARE(back.fLowLimit, 0.001);
}

void TestSettingsFile::writeReplacesOtherLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MLQDL.ini"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("[section]\nfoo=bar\niPort=7\n");
    old.close();
    QVERIFY(writeSettingsFile(path, Settings{3, 2, 1}));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("iPort=3\nfHiLimit=2\nfLowLimit=1\n"));
}

void TestSettingsFile::notifyChoiceIsAFourthLineOnlyWhenOn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MLQDL.ini"));
    QVERIFY(writeSettingsFile(path, Settings{3, 2, 1, true}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("iPort=3\nfHiLimit=2\nfLowLimit=1\nbNotifyDesktop=1\n"));
    QVERIFY(readSettingsFile(path).bNotifyDesktop);
    // Kept apart from the three: a bad limit does not take the choice away.
    QVERIFY(
        parseSettings({"iPort=3", "fHiLimit=x", "fLowLimit=1", "bNotifyDesktop=1"}).bNotifyDesktop);
    QVERIFY(!parseSettings({"iPort=3", "fHiLimit=2", "fLowLimit=1", "bNotifyDesktop=0"})
                 .bNotifyDesktop);
}

void TestSettingsFile::unwritableDirectoryReportsAReason()
{
    QString reason;
    QVERIFY(!writeSettingsFile(QStringLiteral("/nonexistent-dir/MLQDL.ini"), Settings{}, &reason));
    QVERIFY(!reason.isEmpty());
}

void TestSettingsFile::commaLocaleReadsAPointFile()
{
    // Before the first frame the program converts with the locale's separator;
    // a file written with "." must still read back.
    setDecimalSeparator(',');
    const Settings s = parseSettings({"iPort=3", "fHiLimit=2.5", "fLowLimit=1,5"});
    QCOMPARE(s.fHiLimit, 2.5);
    QCOMPARE(s.fLowLimit, 1.5);
    QCOMPARE(settingsLines(Settings{3, 2.5, 1})[1], QStringLiteral("fHiLimit=2,5"));
}

void TestSettingsFile::onlyARegularFileIsRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("link to an endless device") << "zero";
    QTest::newRow("directory") << "dir";
    QTest::newRow("link to a regular file") << "link";
}

void TestSettingsFile::onlyARegularFileIsRead()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MLQDL.ini"));
    int expectedPort = 2;
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == "zero") {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (kind == "dir") {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("MLQDL.ini")));
    } else {
        const QString real = dir.filePath(QStringLiteral("real.ini"));
        QVERIFY(writeSettingsFile(real, Settings{6, 2, 1}));
        QVERIFY(QFile::link(real, path));
        expectedPort = 6;
    }

    // Read on a thread, so a read that blocks fails the test instead of hanging it.
    std::promise<Settings> promise;
    std::future<Settings> result = promise.get_future();
    std::thread reader([&promise, path] { promise.set_value(readSettingsFile(path)); });
    const bool done = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!done && kind == "fifo") {
        // Let the blocked open go: a writer comes and goes.
        QFile writer(path);
        if (writer.open(QIODevice::WriteOnly))
            writer.close();
    }
    if (!done && kind == "zero") {
        reader.detach(); // reads forever; the process ends it
        QFAIL("the read did not end");
    }
    reader.join();
    QVERIFY2(done, "the read did not end");
    QCOMPARE(result.get().iPort, expectedPort);
}

void TestSettingsFile::onlyTheHeadOfALongFileIsRead()
{
    // The port line lies past the first 64 KB: it is not read, so all three
    // take their fallbacks.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("MLQDL.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("fHiLimit=5\nfLowLimit=4\n");
    const QByteArray comment = "; " + QByteArray(77, 'x') + "\n";
    while (file.size() < 64 * 1024 + 100)
        file.write(comment);
    file.write("iPort=3\n");
    file.close();
    QCOMPARE(readSettingsFile(path).iPort, 2);
    QCOMPARE(readSettingsFile(path).fHiLimit, 1.0);

    // The same lines within the first 64 KB are read.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("fHiLimit=5\nfLowLimit=4\n");
    while (file.size() < 64 * 1024 - 200)
        file.write(comment);
    file.write("iPort=3\n");
    file.close();
    QCOMPARE(readSettingsFile(path).iPort, 3);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
