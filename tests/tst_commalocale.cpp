// SPDX-License-Identifier: MIT
// The program under a comma locale (de_DE.UTF-8), started as main() starts it:
// before the first frame numbers use the locale's comma, from the first frame
// on a point, and the meter's fixed formats always a point. The settings file
// reads either separator, so a file written in either state starts the next
// run with its port and limits.
#include <QtTest>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <clocale>

#include "ComparatorForm.h"
#include "DlgHiLowForm.h"
#include "GlobalFlags.h"
#include "NumberText.h"
#include "SettingsFile.h"
#include "ShellFixture.h"
#include "SimProcess.h"

using namespace dmm;

class TestCommaLocale : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void settingsBeforeAnyFrame_data();
    void settingsBeforeAnyFrame();
    void firstFrameSwitchesToThePoint();
};

namespace {

void writeSettings(const QString& directory, const QByteArray& text)
{
    QFile file(QDir(directory).filePath(QStringLiteral("MLQDL.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray settingsText(const QString& directory)
{
    QFile file(QDir(directory).filePath(QStringLiteral("MLQDL.ini")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestCommaLocale::initTestCase()
{
    if (QLocale::system().decimalPoint() != QLatin1Char(','))
        QSKIP("the de_DE.UTF-8 locale is not installed (scripts/install-deps.sh makes it)");
    QCOMPARE(decimalSeparator(), ',');
}

void TestCommaLocale::settingsBeforeAnyFrame_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("low");
    QTest::newRow("points") << QByteArray("iPort=1\nfHiLimit=2.5\nfLowLimit=-0.25\n") << 2.5
                            << -0.25;
    QTest::newRow("commas") << QByteArray("iPort=1\r\nfHiLimit=2,5\r\nfLowLimit=-0,25\r\n") << 2.5
                            << -0.25;
}

void TestCommaLocale::settingsBeforeAnyFrame()
{
    QFETCH(QByteArray, file);
    QFETCH(double, hi);
    QFETCH(double, low);
    QTemporaryDir dir;
    writeSettings(dir.path(), file);
    {
        ShellFixture shell(dir.path(), 0);
        QCOMPARE(shell.main().dHiLimit, hi);
        QCOMPARE(shell.main().dLowLimit, low);
        TComparatorForm* comparator = shell.windows().ComparatorForm.get();
        comparator->show();
        comparator->grab();
        QCOMPARE(comparator->HiLimitPanel->text(), QStringLiteral("2,5"));
        QCOMPARE(comparator->LowLimitPanel->text(), QStringLiteral("-0,25"));
        // The limit dialog takes the locale's comma before the first frame.
        TDlgHiLowForm* dialog = shell.windows().DlgHiLowForm.get();
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->mkeHiLimit->setText(QStringLiteral("3,75"));
            dialog->bbtnOkClick();
        });
        comparator->bbtnHiLowLimitClick();
        QCOMPARE(shell.main().dHiLimit, 3.75);
        shell.main().close();
    }
    // Written with the comma, read back the same by the next run.
    QVERIFY(settingsText(dir.path()).contains("fHiLimit=3,75"));
    const Settings again = readSettingsFile(QDir(dir.path()).filePath(QStringLiteral("MLQDL.ini")));
    QCOMPARE(again.iPort, 1);
    QCOMPARE(again.fHiLimit, 3.75);
    QCOMPARE(again.fLowLimit, low);
}

void TestCommaLocale::firstFrameSwitchesToThePoint()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("steady"),
                       QStringLiteral("--period"), QStringLiteral("40")}));
    writeSettings(sim.directory(), "iPort=1\nfHiLimit=2,5\nfLowLimit=0,5\n");
    {
        ShellFixture shell(sim.directory(), 0);
        TComparatorForm* comparator = shell.windows().ComparatorForm.get();
        QTest::mouseClick(shell.main().sbtnComparator, Qt::LeftButton);
        shell.clickLink();
        QTRY_VERIFY_WITH_TIMEOUT(bDataValid != 0, 10000);
        QCOMPARE(decimalSeparator(), '.');
        QCOMPARE(QString::fromStdString(shell.main().reading().szValue.str()),
                 QStringLiteral("1.234"));
        QTRY_COMPARE(comparator->HiLimitPanel->text(), QStringLiteral("2.5"));
        QCOMPARE(comparator->LowLimitPanel->text(), QStringLiteral("0.5"));
        shell.clickLink();
        shell.main().close();
    }
    QVERIFY(settingsText(sim.directory()).contains("fHiLimit=2.5"));
    QVERIFY(settingsText(sim.directory()).contains("fLowLimit=0.5"));
}

int main(int argc, char* argv[])
{
    // Started as the program starts: the C library's numbers back to the
    // point, the user's separator kept for the program's own conversions.
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    useLocaleDecimalSeparator();
    TestCommaLocale test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commalocale.moc"
