// SPDX-License-Identifier: MIT
// The settings file: the all-or-nothing fallback, the three lines written,
// missing and unwritable files.
#include <QtTest>

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
    void unwritableDirectoryReportsAReason();
    void commaLocaleReadsAPointFile();
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
    QVERIFY(kFallbackSettings.fHiLimit > kFallbackSettings.fLowLimit);
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

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
