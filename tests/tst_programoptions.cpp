// SPDX-License-Identifier: MIT
// The program answers --help and --version and exits, also where there is no
// display to open a window on.
#include <QtTest>

#include <QProcess>

class TestProgramOptions : public QObject
{
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
};

void TestProgramOptions::answersWithoutADisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("--help") << "--help"
                            << "Usage: dmmlogger [--help | --version]";
    QTest::newRow("--version") << "--version"
                               << "dmmlogger " DMM_VERSION;
}

void TestProgramOptions::answersWithoutADisplay()
{
    QFETCH(QString, option);
    QFETCH(QString, firstLine);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(DMM_LOGGER_PATH), {option});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(program.readAllStandardOutput());
    QCOMPARE(output.section(QLatin1Char('\n'), 0, 0), firstLine);
    QCOMPARE(program.readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TestProgramOptions)
#include "tst_programoptions.moc"
